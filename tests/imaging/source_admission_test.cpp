// What the album run looks at before the image library sees a picture:
// headers the library would take ages over, precisions it cannot decode,
// and the one memory budget that every decode at once must fit.
#include "app/albumoutput/image_derivation.h"
#include "app/albumoutput/picture_pipeline.h"
#include "app/util/decode_budget.h"
#include "app/util/jpeg_header.h"
#include "platform/jpeg_segments.h"
#include "tests/imaging/jpeg_fixtures.h"
#include "tests/support/test_support.h"

#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace mirofoto;
using imaging_test::JpegOptions;
using testing_support::TempDir;
using testing_support::writeBytes;

namespace {

constexpr std::uint64_t kMiB = 1u << 20;

// The JPEG with n APP2 segments of 100 payload bytes right after its start.
std::string withApp2Segments(const std::string& jpeg, std::size_t n) {
    std::string segment = "\xFF\xE2";
    segment += '\0';
    segment += char(102);
    segment += std::string(100, 'i');
    std::string out = jpeg.substr(0, 2);
    for (std::size_t i = 0; i < n; ++i) out += segment;
    return out + jpeg.substr(2);
}

// The JPEG with the precision byte of its frame header changed.
std::string withPrecision(std::string jpeg, int bits) {
    std::size_t at = imaging_test::findMarker(jpeg, 0xC0);
    if (at == std::string::npos) at = imaging_test::findMarker(jpeg, 0xC2);
    jpeg[at + 4] = static_cast<char>(bits);
    return jpeg;
}

// A header alone: start marker, a frame header, the start of a scan.
std::string header(unsigned char frame, int width, int height, const std::vector<int>& factors, int scanComponents) {
    std::string sof = {'\xFF', char(frame), '\0', char(8 + 3 * factors.size()), 8, char(height >> 8), char(height),
                       char(width >> 8), char(width), char(factors.size())};
    for (std::size_t i = 0; i < factors.size(); ++i) sof += {char(i + 1), char(factors[i]), 0};
    std::string sos = {'\xFF', '\xDA', '\0', char(6 + 2 * scanComponents), char(scanComponents)};
    for (int i = 0; i < scanComponents; ++i) sos += {char(i + 1), 0};
    sos += {0, 63, 0};
    return "\xFF\xD8" + sof + sos;
}

class ScopedBudget {
public:
    explicit ScopedBudget(const char* mib) {
        ::setenv(std::string(kDecodeMemoryVariable).c_str(), mib, 1);
    }
    ~ScopedBudget() { ::unsetenv(std::string(kDecodeMemoryVariable).c_str()); }
};

}  // namespace

TEST(JpegHeader, TheCoefficientBufferOfWhatDecodesInOnePassIsNotCounted) {
    struct Case {
        const char* name;
        unsigned char frame;
        std::vector<int> factors;  // per component, horizontal << 4 | vertical
        int scanComponents;
        std::uint64_t coefficients;  // of a 16384 x 16384 picture held whole, 0 when not held
    } cases[] = {
        {"progressive 4:4:4", 0xC2, {0x11, 0x11, 0x11}, 1, 16384ull * 16384 * 3 * 2},
        {"progressive 4:2:0", 0xC2, {0x22, 0x11, 0x11}, 1, 16384ull * 16384 * 2 * 3 / 2},
        {"progressive grey", 0xC2, {0x11}, 1, 16384ull * 16384 * 2},
        {"sequential, one scan per component", 0xC1, {0x11, 0x11, 0x11}, 1, 16384ull * 16384 * 3 * 2},
        {"baseline, interleaved", 0xC0, {0x22, 0x11, 0x11}, 3, 0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(dir / "h.jpg", header(c.frame, 16384, 16384, c.factors, c.scanComponents));
        const JpegHeader h = readJpegHeader(dir.str("h.jpg"));
        ASSERT_EQ(h.walk, JpegHeader::Walk::Complete);
        EXPECT_EQ(h.width, 16384);
        EXPECT_EQ(h.buffersWholePicture() ? h.coefficientBytes() : 0, c.coefficients);
        EXPECT_GE(h.decodeMemoryEstimate(), c.coefficients);
        if (c.coefficients == 0) {
            EXPECT_LT(h.decodeMemoryEstimate(), 64 * kMiB);
        }
    }
}

TEST(DecodeMemoryBudget, ParallelReservationsNeverTogetherExceedIt) {
    DecodeMemoryBudget budget(1000);
    EXPECT_FALSE(budget.reserve(1001));  // alone too large: refused at once
    std::atomic<std::uint64_t> held{0}, most{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const auto r = budget.reserve(300 + 100 * (t % 4));
                ASSERT_TRUE(r);
                const std::uint64_t now = held += r->bytes();
                for (std::uint64_t m = most; now > m && !most.compare_exchange_weak(m, now);) {
                }
                held -= r->bytes();
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_LE(most.load(), 1000u);
    EXPECT_LE(budget.peak(), 1000u);
    EXPECT_EQ(budget.inUse(), 0u);

    struct Text {
        const char* text;
        std::uint64_t bytes;
    } texts[] = {{"2048", 2048 * kMiB}, {"1", kMiB}, {nullptr, kDefaultDecodeMemory}, {"", kDefaultDecodeMemory},
                 {"0", kDefaultDecodeMemory}, {"-5", kDefaultDecodeMemory}, {"1G", kDefaultDecodeMemory},
                 {"99999999999999999999", kDefaultDecodeMemory}};
    for (const Text& t : texts) EXPECT_EQ(decodeMemoryFromText(t.text), t.bytes) << (t.text ? t.text : "(unset)");
}

// Each picture the image library must never see, with the reason the run
// gives for it; and the cases just inside each limit, which are made.
TEST(MakeAlbumImages, PicturesRefusedBeforeTheLibrarySeesThemSayWhy) {
    const std::string photo = imaging_test::makeJpeg(800, 600);
    const std::string progressive = imaging_test::makeJpeg(800, 600, JpegOptions{.progressive = true});
    TempDir dir;
    writeBytes(dir / "in.jpg", photo);
    const std::size_t own = readJpegHeader(dir.str("in.jpg")).segments;
    const std::size_t limit = platform::jpeg::kMaxHeaderSegments;
    struct Case {
        const char* name;
        std::string bytes;
        const char* budgetMiB;  // the variable, or unset
        const char* reason;     // nullptr: the copies are made
    } cases[] = {
        {"1,025 segments before the image data", withApp2Segments(photo, limit + 1 - own), nullptr,
         "JPEGのヘッダーのセグメントが多すぎます（画像データの前に 1024 個まで）"},
        {"1,024 segments", withApp2Segments(photo, limit - own), nullptr, nullptr},
        {"12-bit samples", withPrecision(photo, 12), nullptr, "12 ビット精度のJPEGファイルには対応していません"},
        {"alone larger than the budget", progressive, "1",
         "展開に約 2 MiB のメモリが必要で、上限の 1 MiB を超えます（上限は環境変数 MIROFOTO_DECODE_MEMORY_MIB "
         "で変えられます）"},
        {"within the budget", progressive, "2", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScopedBudget budget(c.budgetMiB ? c.budgetMiB : "");
        writeBytes(dir / "in.jpg", c.bytes);
        std::vector<AlbumImageRequest> requests = {{dir.str("in_l.jpg"), 360, 480, 90, true},
                                                   {dir.str("in_s.jpg"), 90, 120, 60, true}};
        ImageFailure failure;
        const bool made = MakeAlbumImages(dir.str("in.jpg"), requests, true, &failure);
        EXPECT_EQ(made, c.reason == nullptr) << failure.reason.text;
        if (c.reason) {
            EXPECT_EQ(describePictureFailure(dir.str("in.jpg"), failure).reason, c.reason);
        }
        EXPECT_EQ(std::filesystem::exists(dir / "in_s.jpg"), made);
        std::filesystem::remove(dir / "in_s.jpg");
        std::filesystem::remove(dir / "in_l.jpg");
    }
}
