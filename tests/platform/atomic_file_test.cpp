#include "platform/atomic_file.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>

using testing_support::readBytes;
using testing_support::TempDir;
using testing_support::writeBytes;
namespace fs = std::filesystem;

TEST(AtomicFile, ReplacesWholeFilesAndReportsFailuresWithoutLeftovers) {
    TempDir tmp;
    const std::string file = tmp.str("page.htm");
    ASSERT_TRUE(platform::writeFileAtomically(file, "first"));
    ASSERT_TRUE(platform::writeFileAtomically(file, std::string("second\0x", 8)));
    EXPECT_EQ(readBytes(file), std::string("second\0x", 8));

    std::string error;
    EXPECT_FALSE(platform::writeFileAtomically(tmp.str("missing/page.htm"), "x", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(tmp / "missing"));

    // A folder standing where the file must go: the rename fails, the folder
    // and its contents stay, no temporary file is left.
    writeBytes(tmp / "dir.htm/inner", "keep");
    EXPECT_FALSE(platform::writeFileAtomically(tmp.str("dir.htm"), "x", &error));
    EXPECT_EQ(readBytes(tmp / "dir.htm/inner"), "keep");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(tmp.path())) ++entries;
    EXPECT_EQ(entries, 2);  // page.htm and dir.htm
}
