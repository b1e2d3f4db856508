// tagora-dump run as users run it, against the build tree's registry.
#include "tagora_files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace tagora_files;
using testing_support::readBytes;
using testing_support::writeBytes;

namespace {

struct ToolRun {
    int status = -1;
    std::string out, err;
};

class DumpTool : public ::testing::Test {
protected:
    ToolRun run(std::vector<std::string> args) {
        args.insert(args.begin(), TAGORA_DUMP);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string out = m_dir.str("stdout"), err = m_dir.str("stderr");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = 0;
        ToolRun r;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(spawned, 0);
        if (spawned != 0) return r;
        // Bounded: a tool that waits on its input is killed and fails.
        const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
        pollfd done{pidfd, POLLIN, 0};
        const bool ended = pidfd >= 0 && ::poll(&done, 1, 30000) == 1;
        EXPECT_TRUE(ended) << "tagora-dump did not end";
        if (!ended) ::kill(pid, SIGKILL);
        if (pidfd >= 0) ::close(pidfd);
        int status = 0;
        waitpid(pid, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = readBytes(out);
        r.err = readBytes(err);
        return r;
    }

    std::string file(const std::string& bytes, const std::string& name = "picture.jpg") {
        writeBytes(m_dir / name, bytes);
        return m_dir.str(name);
    }

    /// True when python3 parses the text as JSON; skips without python3.
    bool validJson(const std::string& text) {
        if (std::system("python3 -c '' 2>/dev/null") != 0) return true;
        writeBytes(m_dir / "check.json", text);
        const std::string command = "python3 -c 'import json,sys; json.load(open(sys.argv[1], encoding=\"utf-8\"))' '" +
                                    m_dir.str("check.json") + "'";
        return std::system(command.c_str()) == 0;
    }

    testing_support::TempDir m_dir;
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST_F(DumpTool, PrintsSegmentsDirectoriesCommentAndThumbnailAsJson) {
    const ToolRun r = run({file(fullFile(true))});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_TRUE(validJson(r.out)) << r.out;
    EXPECT_TRUE(contains(r.out, R"({"code": 65504, "length": 16, "name": "JFIF"})")) << r.out;
    for (const char* name : {"IFD Main", "IFD Thumbnail", "IFD Sub", "IFD Interoperability", "IFD Gps"})
        EXPECT_TRUE(contains(r.out, std::string("\"name\": \"") + name + "\"")) << name;
    EXPECT_TRUE(contains(r.out, R"({"id": 2, "type": 5, "count": 3, "name": "GPSLatitude", "mean": "緯度（数値）", "valueString": "35/1,40/1,1234/100"})"))
        << r.out;
    EXPECT_TRUE(contains(r.out, R"({"id": 36867, "type": 2, "count": 20, "name": "DateTimeOriginal")")) << r.out;
    EXPECT_TRUE(contains(r.out, R"("userComment": "AB")"));
    EXPECT_TRUE(contains(r.out, "\"thumbnail\": {\"form\": \"jpeg\", \"length\": " +
                                    std::to_string(thumbnailJpeg().size()) + "}"));
}

TEST_F(DumpTool, SavesTheThumbnailTurnedWhenAsked) {
    const std::string source = file(fullFile(false));
    const std::string target = m_dir.str("thumb.jpg");
    ToolRun r = run({"--thumbnail", target, source});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readBytes(target), thumbnailJpeg());
    r = run({"--rotate", "3", "--thumbnail", target, source});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(jpegSize(readBytes(target)), std::make_pair(16, 24));

    const std::string strip = m_dir.str("strip.tif");
    r = run({file(stripOnlyFile(true), "strip.jpg"), "--thumbnail", strip});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, R"("thumbnail": {"form": "tiff", "length": 62})")) << r.out;
    EXPECT_EQ(readBytes(strip).size(), 62u);
}

TEST_F(DumpTool, ThumbnailFailuresAreReportedWithTheirOwnStatus) {
    const std::string source = file(fullFile(true));
    ToolRun r = run({"--rotate", "4", source});
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(contains(r.err, "cannot be turned")) << r.err;
    r = run({"--thumbnail", m_dir.str("thumb.jpg"), file(jfifOnlyFile(), "plain.jpg")});
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(contains(r.out, R"("thumbnail": {"form": "none", "length": 0})")) << r.out;
    EXPECT_FALSE(std::filesystem::exists(m_dir / "thumb.jpg"));
    r = run({"--thumbnail", m_dir.str("no/such/folder.jpg"), source});
    EXPECT_EQ(r.status, 4);
    // A FIFO in the thumbnail's place is refused, not waited on.
    ASSERT_EQ(::mkfifo(m_dir.str("thumb-fifo.jpg").c_str(), 0600), 0);
    EXPECT_EQ(run({"--thumbnail", m_dir.str("thumb-fifo.jpg"), source}).status, 4);
}

TEST_F(DumpTool, AFileThatDoesNotLoadFailsWithTagorasReason) {
    ASSERT_EQ(::mkfifo(m_dir.str("fifo.jpg").c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {
        {m_dir.str("missing.jpg"), "(fopen error: No such file or directory)"},
        {file(std::string("II*\0\x08\0\0\0", 8), "t.tif"), "(tiff format is not supported)"},
        {m_dir.str(), "(fopen error: a folder, not a file)"},
        {m_dir.str("fifo.jpg"), "(fopen error: not a regular file)"},  // refused, never waited on
        {file("\xFF\xD8\xFF\xE1", "cut.jpg"), "inside a segment header; LoadMarker error)"},
    };
    for (const auto& [path, reason] : cases) {
        const ToolRun r = run({path});
        EXPECT_EQ(r.status, 1) << path;
        EXPECT_TRUE(r.out.empty());
        EXPECT_TRUE(contains(r.err, ": the file cannot be loaded (")) << r.err;
        EXPECT_TRUE(contains(r.err, reason)) << r.err;
    }
    // A name that is not UTF-8 is shown escaped.
    const ToolRun r = run({m_dir.str("\x8E\xCA.jpg")});
    EXPECT_TRUE(contains(r.err, "/\\x8E\\xCA.jpg: the file cannot be loaded")) << r.err;
}

TEST_F(DumpTool, ANameThatIsNotUtf8LoadsAndIsShownEscaped) {
    const std::string path = file(fullFile(true), "\x8E\xCA\x90\x5E.jpg");  // "写真.jpg" in Shift_JIS
    const ToolRun r = run({path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, R"(\uDC8Eʐ^.jpg",)")) << r.out;
    EXPECT_TRUE(contains(r.out, R"("valueString": "2004:05:06 12:34:56")")) << r.out;
    // The thumbnail goes to such a name as well.
    const std::string thumb = m_dir.str("\x90\x5E_s.jpg");
    EXPECT_EQ(run({"--thumbnail", thumb, path}).status, 0);
    EXPECT_EQ(readBytes(thumb), thumbnailJpeg());
}

TEST_F(DumpTool, WrongArgumentsShowTheUsage) {
    const std::string source = file(fullFile(true));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"--rotate", "x", source}, {"--rotate"}, {"--bogus", source}, {source, source},
          {"--rotate", "99999999999", source}}) {
        const ToolRun r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(contains(r.err, "usage: tagora-dump")) << r.err;
    }
    // "--" lets a file name start with a dash.
    const std::string dashed = file(fullFile(true), "-dash.jpg");
    ASSERT_EQ(::chdir(m_dir.str().c_str()), 0);
    EXPECT_EQ(run({"--", "-dash.jpg"}).status, 0);
}

TEST_F(DumpTool, EveryTextIsEscapedForJson) {
    // Quotes, backslashes and control characters in names and values.
    using exif_fixture::Field;
    const std::string name = "a\"b\\c\td\x01.jpg";
    const std::string path = file(fileWithSubFields({Field::bytes(37510, 7, std::string("UNICODE\0\"\0\\\0\x1F\0", 14)),
                                                     Field::bytes(37510 + 1, 7, std::string("\"\\", 2))}),
                                  name);
    const ToolRun r = run({path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(validJson(r.out)) << r.out;
    EXPECT_TRUE(contains(r.out, R"(a\"b\\c\td\u0001.jpg")")) << r.out;
    EXPECT_TRUE(contains(r.out, R"("userComment": "\"\\\u001F")")) << r.out;
    EXPECT_TRUE(contains(r.out, R"("valueString": "\"\\")")) << r.out;
}

TEST_F(DumpTool, WithoutTagoraRegisteredItSaysSoAndNamesTheCommandThatRegistersIt) {
    const char* old = std::getenv("MIROFOTO_REGISTRY");
    const std::string saved = old ? old : "";
    // The build tree's registry with the module's path moved away.
    std::string moved = readBytes(saved);
    const std::string module = TAGORA_MODULE;
    ASSERT_NE(moved.find(module), std::string::npos);
    moved.replace(moved.find(module), module.size(), "/moved/away/libtagora.so");
    writeBytes(m_dir / "moved.ini", moved);
    const std::string regsvr = std::filesystem::path(TAGORA_DUMP).parent_path().string() + "/regsvr";
    struct Case {
        std::string registry, problem;
    } cases[] = {
        {m_dir.str("empty.ini"), "it is not registered in " + m_dir.str("empty.ini")},
        {m_dir.str("moved.ini"), "its module /moved/away/libtagora.so is missing"},
    };
    for (const Case& c : cases) {
        ::setenv("MIROFOTO_REGISTRY", c.registry.c_str(), 1);
        const ToolRun r = run({file(fullFile(true))});
        EXPECT_EQ(r.status, 3);
        EXPECT_TRUE(contains(r.err, "Tagora.ExifCtl")) << r.err;
        EXPECT_TRUE(contains(r.err, c.problem)) << r.err;
        // The command with real paths: regsvr and the module beside the tool.
        EXPECT_TRUE(contains(r.err, "with: MIROFOTO_REGISTRY=" + c.registry + " " + regsvr + " " + module)) << r.err;
    }
    if (old) ::setenv("MIROFOTO_REGISTRY", saved.c_str(), 1);
    else ::unsetenv("MIROFOTO_REGISTRY");
}
