// The program without a usable image library: every image operation fails
// cleanly and the reason is told once.
#include "app/albumoutput/image_derivation.h"
#include "app/util/imgctl.h"
#include "tests/imaging/jpeg_fixtures.h"
#include "tests/support/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

using namespace mirofoto;
using testing_support::TempDir;
namespace fs = std::filesystem;

namespace {

int countOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1)) ++n;
    return n;
}

}  // namespace

TEST(ImgctlMissing, AMissingFileIsNamedAndEveryOperationFails) {
    TempDir dir;
    const std::string missing = dir.str("nowhere/libimgctl.so");
    const ImgctlLibrary lib({missing});
    EXPECT_FALSE(lib.loaded());
    EXPECT_NE(lib.loadError().find(missing), std::string::npos) << lib.loadError();

    const auto src = imaging_test::writeJpeg(dir / "a.jpg", 64, 48);
    EXPECT_EQ(lib.toDIB(src), 0);
    EXPECT_FALSE(lib.resizeDIB(1, 10, 10));
    EXPECT_FALSE(lib.turnDIB(1, 90));
    EXPECT_FALSE(lib.dibToJPG(dir.str("x.jpg"), 1, 80, true));
    lib.deleteDIB(1);
    EXPECT_FALSE(MakeAlbumImage(lib, src, dir.str("a_s.jpg"), 90, 120, true, 60, true));
    EXPECT_FALSE(RotateImageFile(lib, src, 90));
    EXPECT_FALSE(fs::exists(dir / "a_s.jpg"));
}

TEST(ImgctlMissing, ALibraryWithoutAllFiveFunctionsIsNotUsed) {
    const ImgctlLibrary lib({INCOMPLETE_IMGCTL_PATH});
    EXPECT_FALSE(lib.loaded());
    const std::string& why = lib.loadError();
    EXPECT_NE(why.find(INCOMPLETE_IMGCTL_PATH), std::string::npos) << why;
    EXPECT_NE(why.find("ResizeDIB"), std::string::npos) << why;
    EXPECT_NE(why.find("TurnDIB"), std::string::npos) << why;
    EXPECT_NE(why.find("DIBtoJPG"), std::string::npos) << why;
    EXPECT_EQ(why.find("ToDIB,"), std::string::npos) << why;  // it has that one
    // The stand-in's ToDIB answers 1, but must never be called.
    EXPECT_EQ(lib.toDIB("/any"), 0);
}

TEST(ImgctlMissing, TheNextCandidateIsTriedAfterAFailure) {
    const ImgctlLibrary lib({"/nonexistent/libimgctl.so", INCOMPLETE_IMGCTL_PATH, IMGCTL_PATH});
    EXPECT_TRUE(lib.loaded());
    EXPECT_TRUE(lib.loadError().empty());
}

TEST(ImgctlMissing, TheProgramSaysOnceWhichFileItCouldNotLoad) {
    TempDir dir;
    const std::string missing = dir.str("gone/libimgctl.so");
    ::setenv("MIROFOTO_IMGCTL", missing.c_str(), 1);
    const auto src = imaging_test::writeJpeg(dir / "a.jpg", 64, 48);

    ::testing::internal::CaptureStderr();
    const bool first = MakeAlbumImage(src, dir.str("a_s.jpg"), 90, 120, true, 60, true);
    const bool second = MakeAlbumImage(src, dir.str("a_l.jpg"), 360, 480, true, 90, true);
    const bool turned = RotateImageFile(src, 90);
    const std::string said = ::testing::internal::GetCapturedStderr();
    ::unsetenv("MIROFOTO_IMGCTL");

    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    EXPECT_FALSE(turned);
    EXPECT_EQ(countOf(said, "読み込めませんでした"), 1) << said;
    EXPECT_NE(said.find("「" + missing + "」"), std::string::npos) << said;
    EXPECT_NE(ImgctlLibrary::instance().loadError().find(missing), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "a_s.jpg"));
    EXPECT_FALSE(fs::exists(dir / "a_l.jpg"));
}
