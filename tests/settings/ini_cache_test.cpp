// Readers read the settings file at every call but parse it only once per
// change of the file; a change by someone else, however alike in size and
// time, is never missed.
#include "app/settings/ini_store.h"
#include "platform/codepage.h"
#include "platform/ini.h"
#include "tests/support/test_support.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace mirofoto;
using testing_support::readBytes;
using testing_support::TempDir;
using testing_support::writeBytes;
namespace fs = std::filesystem;

namespace {

std::uint64_t parses() { return platform::profileCounters().parses; }

// Gives the file the modification time it had before, as a change within the
// granularity of its time stamps would look.
void keepTime(const std::string& file, const struct stat& before) {
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

}  // namespace

TEST(IniReadCache, ParsesOncePerChangeAndSeesEveryChange) {
    TempDir dir;
    const std::string file = dir.str("設定.ini");
    std::string text = "[チェック]\r\n";
    for (int i = 0; i < 300; ++i) text += "旅行/IMG_" + std::to_string(i) + ".JPG=1\r\n";
    writeBytes(file, *platform::utf8ToCp932(text));

    std::uint64_t before = parses();
    for (int i = 0; i < 300; ++i) EXPECT_EQ(ReadIniValue("チェック", "旅行/img_" + std::to_string(i) + ".jpg", 255, file), "1");
    EXPECT_EQ(parses() - before, 1u);

    // Another program changes one value in place: same inode, same size,
    // the old modification time.
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    std::string bytes = readBytes(file);
    const auto at = bytes.find("IMG_7.JPG=1");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 10] = '0';
    {
        const int fd = ::open(file.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
    }
    keepTime(file, st);
    EXPECT_EQ(ReadIniValue("チェック", "旅行/IMG_7.JPG", 255, file), "0");

    // ... or replaces it by a rename, with the same size and time.
    bytes[at + 10] = '1';
    writeBytes(dir / "new.ini", bytes);
    keepTime(dir.str("new.ini"), st);
    fs::rename(dir / "new.ini", file);
    EXPECT_EQ(ReadIniValue("チェック", "旅行/IMG_7.JPG", 255, file), "1");

    // Our own write is seen at once, and reading goes on from one parse.
    ASSERT_EQ(WriteIniValue("チェック", "旅行/IMG_7.JPG", "0", file), "1");
    before = parses();
    for (int i = 0; i < 50; ++i) EXPECT_EQ(ReadIniValue("チェック", "旅行/IMG_7.JPG", 255, file), "0");
    EXPECT_EQ(parses() - before, 1u);

    // A file that goes away gives the defaults again.
    fs::remove(file);
    EXPECT_EQ(ReadIniValue("チェック", "旅行/IMG_7.JPG", 255, file), "");
}

// The parsed form answers as the line-by-line search did: letter case,
// repeated sections, the first of two keys, a broken header, text before
// any section, and a UTF-16 file.
TEST(IniReadCache, AnswersLikeTheFileItself) {
    TempDir dir;
    const std::string cp932 = dir.str("a.ini");
    writeBytes(cp932, "k=before any section\r\n[Sec]\r\nKey=1\r\nkey=2\r\n[other]\r\nx=3\r\n[sec]\r\nlate=4\r\n"
                      "[broken\r\nlate2=5\r\n[\x83\x41]\r\nv=6\r\n");
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    } cases[] = {{"sec", "KEY", "1"}, {"SEC", "late", "4"}, {"sec", "late2", ""}, {"other", "x", "3"},
                 {"", "k", ""},       {"ア", "v", "6"},      {"ｱ", "v", ""}};
    for (const Case& c : cases) EXPECT_EQ(ReadIniValue(c.section, c.key, 255, cp932), c.value) << c.section << c.key;

    const std::string utf16 = dir.str("u.ini");
    ASSERT_EQ(WriteIniValue("写真", "é.jpg", "90", utf16), "1");  // CP932 lacks é: the file becomes UTF-16
    EXPECT_EQ(ReadIniValue("写真", "É.jpg", 255, utf16), "");       // only ASCII letters fold
    EXPECT_EQ(ReadIniValue("写真", "é.JPG", 255, utf16), "90");
}
