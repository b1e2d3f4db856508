// What a publish decides without a network: which target texts may be
// stored, which files go up and in which order, what is removed, how the
// manifest survives damage, and which message a failure of rclone gets.
#include "app/publish/publish_manifest.h"
#include "app/publish/publish_plan.h"
#include "app/publish/publish_target.h"
#include "app/publish/publisher.h"

#include <gtest/gtest.h>

using namespace mirofoto::publish;

namespace {

struct TargetCase {
    const char* text;
    bool accepted;
};

// A secret in any spelling rclone accepts is refused; paths to key files
// and the host's own parameters are not secrets.
const TargetCase kTargets[] = {
    {"myserver:public_html/album", true},
    {":sftp,host=example.org,user=me:/var/www/album", true},
    {":sftp,host=example.org,user=me,key_file=~/.ssh/id_ed25519:/srv", true},
    {":sftp,host=example.org,ask_password=false:/srv", true},
    {"/srv/www/album", true},
    {":s3,provider=AWS,access_key_id=AKIA:bucket/album", true},
    {":sftp,host=example.org,pass=obscured:/srv", false},
    {":sftp,host=example.org,PASS=x:/srv", false},
    {":sftp,host=example.org,key-pem=\"-----BEGIN,KEY\":/srv", false},
    {":sftp,host=example.org,key_file_pass=x:/srv", false},
    {":ftp,host=example.org,password=x:/srv", false},
    {":s3,provider=AWS,secret_access_key=x:bucket", false},
    {":webdav,url=https://example.org,bearer_token=x:", false},
    {"myserver,pass=x:album", false},
    {"", false},
    {"myserver:album\nother", false},
    {" myserver:album", false},
    {":", false},
};

TEST(PublishTarget, SecretsAndBrokenTextsAreRefused) {
    for (const TargetCase& c : kTargets)
        EXPECT_EQ(targetProblem(c.text).empty(), c.accepted) << c.text << " → " << targetProblem(c.text);
}

TEST(PublishTarget, PathsBelowATargetAndItsHost) {
    EXPECT_EQ(targetPath("remote:", "a/b"), "remote:a/b");
    EXPECT_EQ(targetPath("remote:base", "a"), "remote:base/a");
    EXPECT_EQ(targetPath("/srv/x/", "a"), "/srv/x/a");
    EXPECT_EQ(targetHost(":sftp,host=example.org,port=2222:/x"), "example.org");
    EXPECT_EQ(targetHost("remote:x"), "");
}

FileMap files(std::initializer_list<std::pair<const char*, FileFacts>> list) {
    FileMap m;
    for (const auto& [p, f] : list) m[p] = f;
    return m;
}

TEST(PublishPlan, SendsWhatTheTargetLacksOrWhatChangedAndKeepsTheRest) {
    const FileMap local = files({{"a/x_s.jpg", {10, 1}},
                                 {"a/x_l.jpg", {20, 2}},
                                 {"a/x.htm", {5, 3}},
                                 {"index.htm", {7, 4}},
                                 {"images/bg.jpg", {3, 5}},
                                 {"a/y_s.jpg", {10, 6}},
                                 {"a/z_s.jpg", {10, 7}}});
    Manifest sent;
    sent.existed = true;
    sent.files = files({{"a/x_s.jpg", {10, 1}},   // unchanged
                        {"a/x_l.jpg", {20, 99}},  // content changed since
                        {"a/x.htm", {5, 3}},      // cut short on the target (below)
                        {"index.htm", {7, 4}},    // gone from the target
                        {"old/p.htm", {1, 8}},    // album removed, still on the target
                        {"old/q.jpg", {1, 9}}});  // album removed, already gone there
    const RemoteListing remote{{"a/x_s.jpg", 10}, {"a/x_l.jpg", 20}, {"a/x.htm", 2},  {"images/bg.jpg", 3},
                               {"old/p.htm", 1},  {"mine.html", 4},  {"a/y_s.jpg", 10}};
    const PublishPlan plan = makePlan(local, sent, remote);
    // images/bg.jpg and a/y_s.jpg stand on the target but were never
    // recorded as sent: their content there is unknown, so they go.
    EXPECT_EQ(plan.send[0], (std::vector<std::string>{"a/x_l.jpg", "a/y_s.jpg", "a/z_s.jpg", "images/bg.jpg"}));
    EXPECT_EQ(plan.send[1], (std::vector<std::string>{"a/x.htm"}));
    EXPECT_EQ(plan.send[2], (std::vector<std::string>{"index.htm"}));
    EXPECT_EQ(plan.remove, (std::vector<std::string>{"old/p.htm"}));
    EXPECT_EQ(plan.forget, (std::vector<std::string>{"old/q.jpg"}));
    EXPECT_EQ(plan.unchanged, 1u);
    EXPECT_EQ(plan.sendBytes, 20u + 10 + 10 + 3 + 5 + 7);
    EXPECT_FALSE(plan.firstPublish);
}

TEST(PublishPlan, FirstPublishNeverRemovesWhatIsAlreadyThere) {
    const PublishPlan plan = makePlan(files({{"index.htm", {1, 1}}}), Manifest{}, {{"index.htm", 1}, {"x.htm", 1}});
    EXPECT_TRUE(plan.firstPublish);
    EXPECT_EQ(plan.sendCount(), 1u);
    EXPECT_TRUE(plan.remove.empty());
}

TEST(PublishPlan, AFileThatCouldNotBeReadIsNeitherRemovedNorForgotten) {
    Manifest sent;
    sent.existed = true;
    sent.files = files({{"a/x.jpg", {10, 1}}, {"a/y.jpg", {10, 2}}, {"a/gone.jpg", {10, 3}}});
    const RemoteListing remote{{"a/x.jpg", 10}, {"a/gone.jpg", 10}};
    const PublishPlan plan = makePlan(FileMap{}, sent, remote, {"a/x.jpg", "a/y.jpg"});
    EXPECT_EQ(plan.remove, (std::vector<std::string>{"a/gone.jpg"}));
    EXPECT_TRUE(plan.forget.empty());
    EXPECT_EQ(plan.sendCount(), 0u);
}

TEST(PublishManifest, RoundTripsAndADamagedFileReadsAsNone) {
    Manifest m;
    m.target = ":sftp,host=h:/x y";
    m.files = files({{"a b/c.jpg", {123, 0xfedcba9876543210ull}}, {"index.htm", {0, 0}}});
    const std::string text = manifestText(m);
    Manifest back;
    ASSERT_TRUE(parseManifest(text, back));
    EXPECT_EQ(back.target, m.target);
    ASSERT_EQ(back.files.size(), 2u);
    EXPECT_EQ(back.files["a b/c.jpg"].hash, 0xfedcba9876543210ull);
    EXPECT_EQ(back.files["a b/c.jpg"].size, 123u);
    std::string cut = text.substr(0, text.size() - 30);
    EXPECT_FALSE(parseManifest(cut, back));
    std::string flipped = text;
    flipped[flipped.find("123")] = '9';
    EXPECT_FALSE(parseManifest(flipped, back));
}

struct FailureCase {
    const char* rclone;
    const char* expected;
};

const FailureCase kFailures[] = {
    {"NewFs: couldn't connect SSH: ssh: handshake failed: ssh: unable to authenticate, attempted methods [none "
     "publickey], no supported methods remain",
     "認証を拒否"},
    {"couldn't connect SSH: dial tcp 127.0.0.1:22998: connect: connection refused", "接続できません"},
    {"dial tcp: lookup nohost.example: no such host", "接続できません"},
    {"ssh: handshake failed: knownhosts: key mismatch", "記録された鍵と違います"},
    {"ssh: handshake failed: knownhosts: key is unknown", "ホスト鍵が"},
    {"Failed to copy: write /srv/a.jpg: no space left on device", "空きがありません"},
    {"Failed to copy: 507 Insufficient Storage", "空きがありません"},
    {"something else entirely", "公開できませんでした: something else entirely"},
};

TEST(PublishFailure, RcloneWordsBecomeTheReasonInJapanese) {
    for (const FailureCase& c : kFailures)
        EXPECT_NE(failureMessage(c.rclone, ":sftp,host=h:/x").find(c.expected), std::string::npos)
            << c.rclone << " → " << failureMessage(c.rclone, ":sftp,host=h:/x");
}

}  // namespace
