// Whole publishes by "mirofoto publish" of albums the album run made: to a
// real OpenSSH server on 127.0.0.1 and to rclone's local backend. The target
// must end equal to the output folder, file for file and byte for byte,
// beside the files the program never sent.
#include "app/albumoutput/album_names.h"
#include "app/albumoutput/album_run_checks.h"
#include "app/publish/publish_manifest.h"
#include "app/publish/publish_plan.h"
#include "tests/albumrun/album_run_fixture.h"
#include "tests/publish/ssh_server.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <regex>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace fs = std::filesystem;
using namespace mirofoto;
using testing_support::readBytes;
using testing_support::writeBytes;

namespace {

class Silent : public AlbumRunObserver {
public:
    platform::MsgResult ask(AlbumQuestion, std::string_view, platform::MsgButtons, platform::MsgIcon) override {
        return platform::MsgResult::No;
    }
    void tell(std::string_view, platform::MsgIcon) override {}
};

struct Outcome {
    int code = -1;
    std::string out, err;
    /// The files rclone's statistics counted as transferred.
    int transfers() const {
        std::smatch m;
        return std::regex_search(out, m, std::regex("rclone の転送 ([0-9]+)")) ? std::stoi(m[1]) : -1;
    }
};

// Every regular file below the folder with its bytes; the names a publish
// never sends (the run lock, records) are left out.
std::map<std::string, std::string> tree(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string name = e.path().filename().string();
        if (!e.is_regular_file() || name.starts_with(".mirofoto-")) continue;
        files[e.path().lexically_relative(root).generic_string()] = readBytes(e.path());
    }
    return files;
}

// When each file of the folder last changed (its status), to see which
// files a publish wrote.
std::map<std::string, std::int64_t> changeTimes(const fs::path& root) {
    std::map<std::string, std::int64_t> times;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        if (e.is_regular_file() && ::stat(e.path().c_str(), &st) == 0)
            times[e.path().lexically_relative(root).generic_string()] =
                std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    }
    return times;
}

int sendGroupOfPath(const std::string& path) { return static_cast<int>(publish::sendGroupOf(path)); }

std::set<std::string> written(const std::map<std::string, std::int64_t>& before,
                              const std::map<std::string, std::int64_t>& after) {
    std::set<std::string> out;
    for (const auto& [p, t] : after)
        if (!before.count(p) || before.at(p) != t) out.insert(p);
    return out;
}

class PublishTest : public albumrun_testing::AlbumRunTest {
protected:
    std::string site;  ///< the target folder
    fs::path homeFolder;
    std::optional<std::string> oldHome;
    AlbumRunRequest req;

    void SetUp() override {
        AlbumRunTest::SetUp();
        site = tmp.str("site");
        homeFolder = tmp / "home";
        fs::create_directories(homeFolder / ".ssh");
        if (const char* h = std::getenv("HOME")) oldHome = h;
        // rclone's configuration and the known hosts are this test's own.
        ::setenv("HOME", homeFolder.c_str(), 1);
        photo("a.jpg", 160, 120);
        photo("旅行/x.jpg", 160, 120);
        photo("旅行/y.jpg", 120, 160);
        photo("旅行/z.jpg", 160, 100);
        photo("山/m.jpg", 160, 120);
        req = request({{root, "r"}, {"旅行", "t"}, {"山", "m"}});
    }
    void TearDown() override {
        if (oldHome) ::setenv("HOME", oldHome->c_str(), 1);
        else ::unsetenv("HOME");
    }

    void makeAlbum() {
        AlbumRunRequest r = req;
        r.existing = ExistingAlbumPolicy::Update;
        r.threads = 1;  // the album is only the material here
        Silent silent;
        ASSERT_TRUE(GenerateAlbum(r, silent).finished);
    }

    pid_t start(const std::vector<std::string>& args, const std::string& name) {
        const std::string out = tmp.str(name + ".out"), err = tmp.str(name + ".err");
        std::vector<std::string> all{MIROFOTO_BIN, "publish"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        return pid;
    }

    Outcome publish(const std::string& target, std::vector<std::string> more = {}) {
        static int count = 0;
        const std::string name = "publish" + std::to_string(++count);
        std::vector<std::string> args{"--output", output, "--to", target};
        args.insert(args.end(), more.begin(), more.end());
        const pid_t pid = start(args, name);
        int status = 0;
        ::waitpid(pid, &status, 0);
        Outcome o;
        o.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        o.out = readBytes(tmp / (name + ".out"));
        o.err = readBytes(tmp / (name + ".err"));
        return o;
    }

    /// The target holds the output folder, and the user's files beside it.
    void expectPublished(const std::map<std::string, std::string>& usersFiles = {}) {
        std::map<std::string, std::string> expected = tree(output);
        expected.insert(usersFiles.begin(), usersFiles.end());
        const auto there = tree(site);
        EXPECT_EQ(there.size(), expected.size());
        for (const auto& [p, bytes] : expected) {
            const auto it = there.find(p);
            if (it == there.end()) ADD_FAILURE() << "missing on the target: " << p;
            else EXPECT_TRUE(it->second == bytes) << "differs on the target: " << p;
        }
    }

    std::string sftpTarget(const publish_testing::SshServer& server, const std::string& key) {
        writeBytes(homeFolder / ".ssh/known_hosts", server.knownHostsLine());
        return server.target(site, key);
    }
};

#define START_SERVER(server)                                             \
    publish_testing::SshServer server;                                   \
    ASSERT_TRUE(server.problem().empty()) << server.problem()

TEST_F(PublishTest, OverSftpOnlyWhatChangedGoesUpAndOnlyOurFilesAreRemoved) {
    START_SERVER(server);
    const std::string target = sftpTarget(server, server.userKey());
    makeAlbum();
    const std::map<std::string, std::string> mine{{"mine.html", "the user's own page"}};
    writeBytes(tmp / "site/mine.html", mine.begin()->second);

    Outcome first = publish(target);
    ASSERT_EQ(first.code, 0) << first.err;
    expectPublished(mine);
    EXPECT_EQ(first.transfers(), int(tree(output).size()));

    auto before = changeTimes(site);
    Outcome again = publish(target);
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(again.transfers(), 0);
    EXPECT_TRUE(written(before, changeTimes(site)).empty());

    // One new picture and one turn: what changes is exactly what the run
    // wrote with different bytes.
    const auto albumBefore = tree(output);
    photo("旅行/w.jpg", 160, 120);
    ASSERT_TRUE(stored().setTurn(root + "旅行/x.jpg", 90));
    makeAlbum();
    std::set<std::string> changed;
    for (const auto& [p, bytes] : tree(output))
        if (!albumBefore.count(p) || albumBefore.at(p) != bytes) changed.insert(p);
    ASSERT_GE(changed.size(), 5u);  // the new copies and page, the turned copies, the thumbnail page
    before = changeTimes(site);
    Outcome update = publish(target);
    ASSERT_EQ(update.code, 0) << update.err;
    EXPECT_EQ(written(before, changeTimes(site)), changed);
    EXPECT_EQ(update.transfers(), int(changed.size()));
    expectPublished(mine);

    // An album left out: its files go from the target, the user's file in
    // its folder stays (and so does the folder that holds it).
    const std::string mountainFolder = EncodedName("山");
    ASSERT_TRUE(fs::exists(fs::path(site) / mountainFolder));
    const std::map<std::string, std::string> mineToo{{"mine.html", "the user's own page"},
                                                     {mountainFolder + "/notes.txt", "mine"}};
    writeBytes(fs::path(site) / mountainFolder / "notes.txt", "mine");
    req = request({{root, "r"}, {"旅行", "t"}});
    makeAlbum();
    ASSERT_FALSE(fs::exists(fs::path(output) / mountainFolder));
    Outcome removal = publish(target);
    ASSERT_EQ(removal.code, 0) << removal.err;
    expectPublished(mineToo);
}

TEST_F(PublishTest, KilledMidwayTheNextPublishEndsEqualAndNoRcloneIsLeft) {
    START_SERVER(server);
    const std::string target = sftpTarget(server, server.userKey());
    makeAlbum();
    // Slow and one file at a time, so that the kill falls in the transfer.
    ::setenv("RCLONE_BWLIMIT", "20k", 1);
    ::setenv("RCLONE_TRANSFERS", "1", 1);
    const pid_t pid = start({"--output", output, "--to", target}, "killed");
    ::unsetenv("RCLONE_BWLIMIT");
    ::unsetenv("RCLONE_TRANSFERS");
    const bool begun =
        testing_support::waitUntil([&] { return fs::exists(site) && !tree(site).empty(); }, std::chrono::seconds(10));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ASSERT_TRUE(begun);
    ASSERT_LT(tree(site).size(), tree(output).size()) << "the publish ended before the kill";
    // rclone dies with its parent: no process is left that names our target.
    const auto rcloneLeft = [&] {
        for (const auto& e : fs::directory_iterator("/proc")) {
            const std::string cmdline = readBytes(e.path() / "cmdline");
            if (cmdline.find(site) != std::string::npos && cmdline.find("copy") != std::string::npos) return true;
        }
        return false;
    };
    EXPECT_TRUE(testing_support::waitUntil([&] { return !rcloneLeft(); }, std::chrono::seconds(5)));

    Outcome after = publish(target);
    ASSERT_EQ(after.code, 0) << after.err;
    expectPublished();
}

TEST_F(PublishTest, AWrongKeyOrAnUnknownHostIsRefusedWithItsReason) {
    START_SERVER(server);
    makeAlbum();
    Outcome wrongKey = publish(sftpTarget(server, server.strangerKey()));
    EXPECT_EQ(wrongKey.code, 1);
    EXPECT_NE(wrongKey.err.find("サーバーが認証を拒否しました"), std::string::npos) << wrongKey.err;

    const std::string target = server.target(site, server.userKey());
    writeBytes(homeFolder / ".ssh/known_hosts", "");
    Outcome unknown = publish(target);
    EXPECT_EQ(unknown.code, 1);
    EXPECT_NE(unknown.err.find("known_hosts にありません"), std::string::npos) << unknown.err;
    EXPECT_FALSE(fs::exists(site));
}

// A copy that does not go holds back the pages that may link to it and the
// removals; the next publish sends them.
TEST_F(PublishTest, APageNeverGoesUpBeforeTheCopiesItLinksTo) {
    makeAlbum();
    ASSERT_EQ(publish(site).code, 0);
    const auto albumBefore = tree(output);
    photo("旅行/w.jpg", 160, 120);
    req = request({{root, "r"}, {"旅行", "t"}});
    makeAlbum();
    std::string blocked;
    for (const auto& [p, bytes] : tree(output))
        if (!albumBefore.count(p) && sendGroupOfPath(p) == 0) blocked = p;
    ASSERT_FALSE(blocked.empty());
    // Where the new copy goes, the target has a folder: rclone cannot write
    // that one file, and does write the others.
    writeBytes(fs::path(site) / blocked / "in_the_way", "x");
    const std::string mountainFolder = EncodedName("山");

    const auto before = changeTimes(site);
    Outcome held = publish(site);
    EXPECT_EQ(held.code, 3) << held.err;
    EXPECT_NE(held.err.find("控えました"), std::string::npos) << held.err;
    const std::set<std::string> sent = written(before, changeTimes(site));
    EXPECT_FALSE(sent.empty());
    for (const std::string& p : sent) EXPECT_EQ(sendGroupOfPath(p), 0) << "a page went up: " << p;
    EXPECT_TRUE(fs::exists(fs::path(site) / mountainFolder));

    fs::remove_all(fs::path(site) / blocked);
    Outcome after = publish(site);
    ASSERT_EQ(after.code, 0) << after.err;
    expectPublished();
}

TEST_F(PublishTest, ADryRunListsThePlanAndChangesNothing) {
    makeAlbum();
    ASSERT_EQ(publish(site).code, 0);
    photo("旅行/w.jpg", 160, 120);
    makeAlbum();
    const auto siteBefore = changeTimes(site);
    const std::string manifest = publish::manifestFile(output, site);
    const std::string manifestBefore = readBytes(manifest);
    Outcome dry = publish(site, {"--dry-run"});
    ASSERT_EQ(dry.code, 0) << dry.err;
    EXPECT_NE(dry.out.find("送る: " + EncodedName("旅行") + "/"), std::string::npos) << dry.out;
    // A new picture leaves the menu page as it was.
    EXPECT_EQ(dry.out.find("送る: index.htm"), std::string::npos) << dry.out;
    EXPECT_EQ(changeTimes(site), siteBefore);
    EXPECT_EQ(readBytes(manifest), manifestBefore);
    EXPECT_NE(manifestBefore, "");
}

TEST_F(PublishTest, RefusalsBeforeAnythingIsSent) {
    makeAlbum();
    EXPECT_EQ(publish(":sftp,host=127.0.0.1,pass=secret:/x").code, 2);
    {
        bool busy = false;
        std::error_code ec;
        OutputFolderLock lock = OutputFolderLock::acquire(output, busy, ec);
        ASSERT_TRUE(lock.held());
        Outcome locked = publish(site);
        EXPECT_EQ(locked.code, 1);
        EXPECT_NE(locked.err.find("実行中"), std::string::npos) << locked.err;
    }
    ::setenv("MIROFOTO_RCLONE", "/nonexistent/rclone", 1);
    Outcome missing = publish(site);
    ::unsetenv("MIROFOTO_RCLONE");
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("apt install rclone"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(site));
}

}  // namespace
