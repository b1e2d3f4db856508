// The update run's decision for one copy, on its own: a table over what may
// have changed since the copy was recorded (the source's size, times,
// inode and content, the box, the quality, the turn, the copy file itself).
#include "app/albumoutput/update_plan.h"
#include "app/settings/album_settings.h"
#include "samples/photo_maker.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <functional>

using namespace mirofoto;

namespace {

constexpr int kWidth = 1600, kHeight = 1200;

struct Now {
    SourceStamp stamp;
    CopyStamp copy;
    std::string source = "p.jpg";
    AlbumSettings settings = AlbumSettings::defaults();
    int turn = 0;
};

struct Row {
    const char* what;
    std::function<void(Now&)> change;
    CopyDecision enlarged;
    CopyDecision thumbnail;
};

}  // namespace

TEST(UpdateDecision, EachChangeMakesKeepsOrLetsTheContentDecide) {
    using D = CopyDecision;
    const Row rows[] = {
        {"nothing changed", [](Now&) {}, D::Keep, D::Keep},
        {"source touched (modification time)", [](Now& n) { n.stamp.mtimeNs += 1; }, D::KeepIfSame, D::KeepIfSame},
        {"source's change time", [](Now& n) { n.stamp.ctimeNs += 1; }, D::KeepIfSame, D::KeepIfSame},
        {"source copied back (new inode)", [](Now& n) { n.stamp.inode += 1; }, D::KeepIfSame, D::KeepIfSame},
        {"source of another size", [](Now& n) { n.stamp.size += 1; }, D::Make, D::Make},
        {"another picture under the copy's name", [](Now& n) { n.source = "q.jpg"; }, D::Make, D::Make},
        {"thumbnail box", [](Now& n) { n.settings.thumbWidth = 100; }, D::Keep, D::Make},
        // The thumbnail is resampled from the enlarged copy's pixels.
        {"enlarged box", [](Now& n) { n.settings.largeWidth = 400; }, D::Make, D::Make},
        {"thumbnail quality", [](Now& n) { n.settings.thumbQuality = 61; }, D::Keep, D::Make},
        {"enlarged quality", [](Now& n) { n.settings.largeQuality = 89; }, D::Make, D::Keep},
        {"turn", [](Now& n) { n.turn = 90; }, D::Make, D::Make},
        {"copy rewritten (modification time)", [](Now& n) { n.copy.mtimeNs += 1; }, D::Make, D::Make},
        {"copy truncated", [](Now& n) { n.copy.size -= 1; }, D::Make, D::Make},
        {"copy replaced (new inode)", [](Now& n) { n.copy.inode += 1; }, D::Make, D::Make},
    };
    Now then;
    then.stamp = {5000, 1'000'000'000, 1'000'000'005, 77};
    then.copy = {900, 2'000'000'000, 88};
    const CopyRecipes recorded = copyRecipes(kWidth, kHeight, then.settings, then.turn);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Now now = then;
        row.change(now);
        const CopyRecipes recipes = copyRecipes(kWidth, kHeight, now.settings, now.turn);
        const auto decide = [&](const std::string& recordedRecipe, const std::string& recipe) {
            const CopyEntry entry{"p.jpg", then.stamp, 0x1234, kWidth, kHeight, recordedRecipe, then.copy};
            return decideCopy(AlbumFolderAction::Update, &entry, now.copy, now.source, now.stamp, &recipe);
        };
        EXPECT_EQ(decide(recorded.enlarged, recipes.enlarged), row.enlarged);
        EXPECT_EQ(decide(recorded.thumbnail, recipes.thumbnail), row.thumbnail);
    }
}

// Without a record, a copy file or a source to vouch for it, a copy is
// made; "HTML only" keeps any regular file standing there, an update only
// what the record vouches for.
TEST(UpdateDecision, NothingToVouchForACopyMakesIt) {
    const SourceStamp stamp{5000, 1, 2, 3};
    const CopyStamp copy{900, 4, 5};
    const std::string recipe = "r";
    const CopyEntry entry{"p.jpg", stamp, 0, kWidth, kHeight, recipe, copy};
    EXPECT_EQ(decideCopy(AlbumFolderAction::Update, &entry, copy, "p.jpg", stamp, &recipe), CopyDecision::Keep);
    EXPECT_EQ(decideCopy(AlbumFolderAction::Update, nullptr, copy, "p.jpg", stamp, &recipe), CopyDecision::Make);
    EXPECT_EQ(decideCopy(AlbumFolderAction::Update, &entry, std::nullopt, "p.jpg", stamp, &recipe),
              CopyDecision::Make);
    EXPECT_EQ(decideCopy(AlbumFolderAction::Update, &entry, copy, "p.jpg", std::nullopt, &recipe),
              CopyDecision::Make);
    EXPECT_EQ(decideCopy(AlbumFolderAction::Update, &entry, copy, "p.jpg", stamp, nullptr), CopyDecision::Make);
    EXPECT_EQ(decideCopy(AlbumFolderAction::Make, &entry, copy, "p.jpg", stamp, &recipe), CopyDecision::Make);
    EXPECT_EQ(decideCopy(AlbumFolderAction::KeepCopies, nullptr, copy, "p.jpg", std::nullopt, nullptr),
              CopyDecision::Keep);
    EXPECT_EQ(decideCopy(AlbumFolderAction::KeepCopies, &entry, std::nullopt, "p.jpg", stamp, &recipe),
              CopyDecision::Make);
}

// "Keep if the same content": the worker hashes the source and keeps the
// copy only when the hash is still the recorded one.
TEST(UpdateDecision, TheContentHashSettlesAChangedStamp) {
    testing_support::TempDir tmp;
    samples::PhotoSpec spec;
    spec.width = 64;
    spec.height = 48;
    samples::writePhotoJpeg(tmp.str("p.jpg"), spec);
    const std::uint64_t hash = *contentHash(tmp.str("p.jpg"));
    for (const bool same : {true, false}) {
        SCOPED_TRACE(same);
        SourceCheck check;
        check.keepEnlargedIfSame = check.keepThumbnailIfSame = true;
        check.expectedHash = same ? hash : hash + 1;
        bool makeEnlarged = true, makeThumbnail = true;
        check.measure(tmp.str("p.jpg"), makeEnlarged, makeThumbnail);
        EXPECT_TRUE(check.measured);
        EXPECT_EQ(makeEnlarged, !same);
        EXPECT_EQ(makeThumbnail, !same);
        EXPECT_EQ(check.keptEnlarged, same);
        EXPECT_EQ(check.keptThumbnail, same);
    }
}
