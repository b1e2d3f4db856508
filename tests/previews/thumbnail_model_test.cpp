// The thumbnail page's model without a window: ticks and turns through the
// settings folder, the comment writes it refuses, the EXIF command and the
// order in which previews are asked for.
#include "app/previews/thumbnail_model.h"
#include "app/util/jpeg_info.h"
#include "platform/codepage.h"
#include "samples/photo_maker.h"
#include "tests/support/program_home.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <numeric>

#include <unistd.h>

using namespace mirofoto;
using testing_support::readBytes;
using testing_support::TempDir;
using testing_support::writeBytes;

namespace {

// A model over an album folder of the names given (any bytes: only the
// comment tests need real JPEG files), every cell built.
struct Album {
    ProgramHome home;
    TempDir photos;
    AlbumSettings settings = AlbumSettings::defaults();
    FolderSettingsStore store;
    ThumbnailModel model{store, settings};

    void open(const std::vector<std::string>& names, int columns = 4) {
        for (const std::string& name : names)
            if (!std::filesystem::exists(photos / name)) writeBytes(photos / name, "x");
        settings.columns = static_cast<std::int16_t>(columns);
        store.setImageFolder(photos.str());
        model.clear();
        model.show(folder(), "album");
        const auto scan = model.beginScan();
        ASSERT_TRUE(scan);
        // Dates come from the EXIF reader only where a test gives them.
        model.setDetailsReader([](const std::string& path) { return readImageDetails(path, [](const std::string&) { return std::string(); }); });
        ASSERT_TRUE(model.listed(scan->epoch, scanImageEntries(scan->folder, home.path("temp"))));
        while (model.buildCell(nullptr) >= 0) {
        }
    }
    std::string folder() const { return photos.str() + "/"; }
    ThumbnailView view(int vScroll, int pageHeight, bool shown = true) const {
        return {cellTemplate(120, 90, 15, 15), vScroll, pageHeight, shown};
    }
    // The cells asked for, in order, until nothing more is wanted.
    std::vector<int> drain(const ThumbnailView& v, const std::function<bool(const std::string&)>& busy = {}) {
        std::vector<int> cells;
        while (const auto r = model.nextPreview(v, busy)) cells.push_back(r->cell);
        return cells;
    }
};

}  // namespace

TEST(ThumbnailModel, TicksAndTurnsRoundTripThroughTheSettingsFolder) {
    Album a;
    a.open({"a.jpg", "b.jpg", "c.jpg"});
    EXPECT_TRUE(a.model.ticked(1));  // nothing stored: ticked
    ASSERT_TRUE(a.model.setTicked(1, false));
    EXPECT_EQ(a.model.turnQuarter(0, true), 270);  // never turned, turned left
    EXPECT_EQ(a.model.turnQuarter(2, false), 90);
    EXPECT_EQ(a.model.turnQuarter(2, false), 180);

    // What another reader of the same settings folder finds.
    FolderSettingsStore again(a.photos.str());
    ThumbnailModel other(again, a.settings);
    other.show(a.folder(), "album");
    other.listed(other.beginScan()->epoch, std::vector<ImageEntry>(a.model.entries()));
    EXPECT_FALSE(other.ticked(1));
    EXPECT_TRUE(other.ticked(0));
    EXPECT_EQ(other.previewRequest(0, PreviewRequest::Thumbnail).storedTurn, 270);
    EXPECT_EQ(other.previewRequest(2, PreviewRequest::Enlarged).storedTurn, 180);
    EXPECT_EQ(other.previewRequest(1, PreviewRequest::Thumbnail).storedTurn, std::nullopt);

    // While an album run reads them, ticks and turns stay as they are.
    a.model.setRunInProgress(true);
    EXPECT_FALSE(a.model.setTicked(1, true));
    EXPECT_FALSE(a.model.turnQuarter(0, false));
    EXPECT_FALSE(again.imageTickedOnPage("album", "b.jpg"));
    EXPECT_EQ(again.turn(a.folder() + "a.jpg"), 270);
}

// Cells of 120 × 90 pixels at 15 twips: thumbnails 1800 × 1350 twips, frames
// 2850 high; row r's thumbnail stands at r × 2850 + 530 − scroll × 100.
struct InViewCase {
    const char* name;
    int columns, cells, vScroll, pageHeight;
    std::vector<int> expected;
};

TEST(ThumbnailModel, PreviewsAreAskedForTheCellsInViewTopDown) {
    const std::vector<InViewCase> cases = {
        {"first row only", 4, 10, 0, 3000, {0, 1, 2, 3}},
        {"second row starts at the page's bottom: out", 4, 10, 0, 3380, {0, 1, 2, 3}},
        {"second row reaches in", 4, 10, 0, 3400, {0, 1, 2, 3, 4, 5, 6, 7}},
        {"first row scrolled away", 3, 10, 30, 3000, {3, 4, 5}},
        {"only the built cells", 3, 4, 30, 3000, {3}},
        {"no columns are one column", 0, 5, 0, 6500, {0, 1, 2}},
        {"scrolled past the last row", 2, 3, 100, 3000, {}},
    };
    for (const InViewCase& c : cases) {
        SCOPED_TRACE(c.name);
        Album a;
        std::vector<std::string> names;
        for (int i = 0; i < c.cells; ++i) names.push_back("p" + std::to_string(10 + i) + ".jpg");
        a.open(names, c.columns);
        const ThumbnailView v = a.view(c.vScroll, c.pageHeight);
        EXPECT_EQ(a.model.cellsInView(v), c.expected);
        EXPECT_EQ(a.drain(v), c.expected);
        EXPECT_EQ(a.model.settled(v), c.expected.empty());  // all asked for, none answered yet
    }
}

TEST(ThumbnailModel, TurnedCellComesFirstAndStaleAnswersAreDropped) {
    Album a;
    a.open({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg"});
    const ThumbnailView shown = a.view(0, 3000), hidden = a.view(0, 3000, false);
    // Off screen nothing is asked for; a turned cell is, even out of view.
    EXPECT_TRUE(a.drain(hidden).empty());
    a.model.turnQuarter(5, false);
    a.model.turnQuarter(5, false);  // twice before it was served: asked for once
    const auto turned = a.model.nextPreview(hidden, {});
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->cell, 5);
    EXPECT_TRUE(turned->force);
    EXPECT_EQ(turned->storedTurn, 180);
    EXPECT_FALSE(a.model.nextPreview(hidden, {}));
    // A file being made is not asked for again meanwhile.
    const std::string busy = a.model.entries()[1].thumbnailPath();
    EXPECT_EQ(a.drain(shown, [&](const std::string& f) { return f == busy; }), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(a.drain(shown), (std::vector<int>{1}));

    for (int i : {0, 1, 2, 3}) {
        PreviewRequest answer = a.model.previewRequest(i, PreviewRequest::Thumbnail);
        answer.epoch = a.model.epoch();
        answer.ticket = 1;  // the cell's first request
        EXPECT_TRUE(a.model.previewFinished(answer, true));
    }
    // An enlarged preview's stand-in is the cell's thumbnail file only while
    // that file is current: made, and not waiting to be made anew.
    EXPECT_EQ(a.model.previewRequest(2, PreviewRequest::Enlarged).standInFile, a.model.entries()[2].thumbnailPath());
    EXPECT_EQ(a.model.previewRequest(4, PreviewRequest::Enlarged).standInFile, "");  // never made
    EXPECT_EQ(a.model.previewRequest(5, PreviewRequest::Enlarged).standInFile, "");  // turned, being made
    EXPECT_EQ(a.model.previewRequest(2, PreviewRequest::Thumbnail).standInFile, "");
    EXPECT_FALSE(a.model.settled(shown));  // the turned cell still waits
    // A second turn makes the first answer stale, and any stand-in for it.
    EXPECT_TRUE(a.model.awaiting(*turned));
    a.model.turnQuarter(5, true);
    EXPECT_FALSE(a.model.awaiting(*turned));
    EXPECT_FALSE(a.model.previewFinished(*turned, true));
    const auto again = a.model.nextPreview(shown, {});
    ASSERT_TRUE(again);
    EXPECT_EQ(again->storedTurn, 90);
    EXPECT_TRUE(a.model.previewFinished(*again, false));
    EXPECT_FALSE(a.model.awaiting(*again));  // answered: a late stand-in must not cover it
    EXPECT_FALSE(a.model.hasPicture(5));
    EXPECT_TRUE(a.model.settled(shown));

    // F5: every cell in view made anew; after a clear nothing old is taken.
    a.model.setRedraw(true);
    a.model.drawVisible(shown);
    EXPECT_FALSE(a.model.redraw());
    const auto remade = a.model.nextPreview(shown, {});
    ASSERT_TRUE(remade);
    EXPECT_TRUE(remade->force);
    a.model.clear();
    EXPECT_FALSE(a.model.previewFinished(*remade, true));
    EXPECT_TRUE(a.model.redraw());
}

// The stand-ins of a screen are asked for at once and once, ahead of the
// files; one that comes back after its cell's file, or after the cell was
// made anew, must not cover what the cell shows.
TEST(ThumbnailModel, StandInsOfTheCellsInViewComeFirstAndOnce) {
    Album a;
    a.open({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg"});
    const ThumbnailView shown = a.view(0, 3000), hidden = a.view(0, 3000, false);
    EXPECT_TRUE(a.model.standInsWanted(hidden).empty());
    const std::vector<PreviewRequest> first = a.model.standInsWanted(shown);
    std::vector<int> cells;
    for (const PreviewRequest& r : first) {
        cells.push_back(r.cell);
        EXPECT_TRUE(r.standInOnly);
        EXPECT_EQ(r.destination, a.model.entries()[r.cell].thumbnailPath());
        EXPECT_TRUE(a.model.awaiting(r));
    }
    EXPECT_EQ(cells, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(a.model.standInsWanted(shown).empty());

    // A file follows without a stand-in of its own once its cell shows one;
    // one asked for before its stand-in came makes one too.
    EXPECT_TRUE(a.model.takeStandIn(first[0]));
    EXPECT_FALSE(a.model.takeStandIn(first[0]));  // shown already
    const auto file0 = a.model.nextPreview(shown, {});
    ASSERT_TRUE(file0);
    EXPECT_EQ(file0->cell, 0);
    EXPECT_FALSE(file0->withStandIn);
    const auto file1 = a.model.nextPreview(shown, {});
    ASSERT_TRUE(file1);
    EXPECT_TRUE(file1->withStandIn);
    EXPECT_TRUE(a.model.takeStandIn(*file1));
    EXPECT_FALSE(a.model.takeStandIn(first[1]));  // the early one, come late: the same picture
    EXPECT_TRUE(a.model.awaiting(first[0]));  // still shown while the file is made
    EXPECT_TRUE(a.model.previewFinished(*file0, true));
    EXPECT_FALSE(a.model.awaiting(first[0]));
    EXPECT_FALSE(a.model.awaiting(*file0));

    // A turned cell gets a stand-in of its new turn; the old one is stale.
    a.model.turnQuarter(1, false);
    const std::vector<PreviewRequest> turned = a.model.standInsWanted(shown);
    ASSERT_EQ(turned.size(), 1u);
    EXPECT_EQ(turned[0].cell, 1);
    EXPECT_EQ(turned[0].storedTurn, 90);
    EXPECT_FALSE(a.model.awaiting(first[1]));
    EXPECT_TRUE(a.model.takeStandIn(turned[0]));  // the new turn's replaces the old
    EXPECT_TRUE(a.model.awaiting(first[2]));
    a.model.clear();
    EXPECT_FALSE(a.model.awaiting(first[2]));
    EXPECT_FALSE(a.model.awaiting(turned[0]));
}

TEST(ThumbnailModel, CommentWritesAndTheReasonsTheyAreRefused) {
    Album a;
    samples::PhotoSpec spec;
    spec.width = 64;
    spec.height = 48;
    const std::string jpeg = samples::makePhotoJpeg(spec);
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> prepare;
        std::string typed;
        std::string box;  // what the box holds afterwards
        CommentResult::Outcome outcome;
        std::string says;  // part of the message
    };
    const std::vector<Case> cases = {
        {"written, trimmed", {}, "  駅前の桜 ", "駅前の桜", CommentResult::Written, "コメントを書き込みました: c10.jpg"},
        {"only spaces around: unchanged", {}, "  ", "", CommentResult::Unchanged, ""},
        {"no Shift_JIS form", {}, " 😀", "😀", CommentResult::Refused, "書き込めない文字"},
        {"too long", {}, std::string(70000, 'a'), std::string(70000, 'a'), CommentResult::Refused, "長すぎます"},
        {"not a JPEG", [](const std::string& p) { writeBytes(p, "GIF89a"); }, "夏", "夏", CommentResult::Refused,
         "JPEGファイルではありません"},
        {"removed since listed", [](const std::string& p) { std::filesystem::remove(p); }, "夏", "夏",
         CommentResult::Refused, "見つかりません"},
    };
    std::vector<std::string> names;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        names.push_back("c" + std::to_string(10 + i) + ".jpg");
        writeBytes(a.photos / names.back(), jpeg);
    }
    a.open(names);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const std::string path = a.folder() + names[i];
        if (c.prepare) c.prepare(path);
        const std::string before = std::filesystem::exists(path) ? readBytes(path) : std::string();
        const CommentResult r = a.model.commitComment(static_cast<int>(i), c.typed);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.text, c.box);
        EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
        if (c.outcome == CommentResult::Written) {
            EXPECT_EQ(ReadJpegComment(path), r.text);
            EXPECT_EQ(a.model.entries()[i].comment, r.text);
            continue;
        }
        EXPECT_EQ(std::filesystem::exists(path) ? readBytes(path) : std::string(), before);  // the file as it was
        if (c.outcome == CommentResult::Refused) {
            EXPECT_NE(r.message.find("入力したコメントはそのまま残っています。"), std::string::npos);
            // Told once for this text.
            const CommentResult again = a.model.commitComment(static_cast<int>(i), c.typed);
            EXPECT_EQ(again.outcome, CommentResult::Refused);
            EXPECT_TRUE(again.message.empty());
        }
    }
}

TEST(ThumbnailModel, ExifCommandStoresMissingTurnsAndRemakesThoseCells) {
    Album a;
    a.open({"kept.jpg", "o1.jpg", "o6.jpg", "o8.jpg"});
    const std::map<std::string, int> orientation = {
        {"kept.jpg", 6}, {"o1.jpg", 1}, {"o6.jpg", 6}, {"o8.jpg", 8}};
    const auto read = [&](const std::string& path) { return orientation.at(path.substr(a.folder().size())); };
    ASSERT_TRUE(a.store.setTurn(a.folder() + "kept.jpg", 0));  // the user's own choice stays
    const ThumbnailView shown = a.view(0, 3000);
    while (const auto r = a.model.nextPreview(shown, {})) a.model.previewFinished(*r, true);
    ASSERT_TRUE(a.model.settled(shown));

    a.model.setRunInProgress(true);
    EXPECT_FALSE(a.model.beginExifTurns(a.folder()));
    a.model.setRunInProgress(false);
    ASSERT_TRUE(a.model.beginExifTurns(a.photos.str()));  // without the final "/"
    EXPECT_FALSE(a.model.beginExifTurns(a.folder()));     // one at a time
    int steps = 1;
    while (a.model.exifTurnStep(read)) ++steps;
    EXPECT_EQ(steps, 4);
    const ExifTurnsResult done = a.model.finishExifTurns();
    EXPECT_EQ(done.stored, 2);
    EXPECT_EQ(done.message, "2枚の画像の回転をEXIFの向きに合わせて設定しました。\r画像ファイルそのものは変更していません。");
    EXPECT_EQ(a.store.turn(a.folder() + "kept.jpg"), 0);
    EXPECT_EQ(a.store.turn(a.folder() + "o6.jpg"), 90);
    EXPECT_EQ(a.store.turn(a.folder() + "o8.jpg"), 270);
    // The turned pictures are made anew, turned.
    std::vector<int> remade;
    while (const auto r = a.model.nextPreview(shown, {})) {
        EXPECT_TRUE(r->force);
        EXPECT_EQ(r->storedTurn, r->cell == 2 ? 90 : 270);
        remade.push_back(r->cell);
    }
    EXPECT_EQ(remade, (std::vector<int>{2, 3}));

    ASSERT_TRUE(a.model.beginExifTurns(a.folder()));
    while (a.model.exifTurnStep(read)) {
    }
    const ExifTurnsResult nothing = a.model.finishExifTurns();
    EXPECT_EQ(nothing.stored, 0);
    EXPECT_EQ(nothing.message, "EXIFの向きで回転する画像はありませんでした。");
}

TEST(ThumbnailModel, AReadOnlyPictureKeepsItsFileAndSaysWhy) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write a read-only file";
    Album a;
    writeBytes(a.photos / "p.jpg", samples::makePhotoJpeg(samples::PhotoSpec{}));
    a.open({"p.jpg"});
    const std::string path = a.folder() + "p.jpg", before = readBytes(path);
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    const CommentResult r = a.model.commitComment(0, "夏");
    EXPECT_EQ(r.outcome, CommentResult::Refused);
    EXPECT_NE(r.message.find("ファイルに書き込む権限がありません。"), std::string::npos) << r.message;
    EXPECT_EQ(readBytes(path), before);
}

// ---- dates and comments, read after the list ----

namespace {

// Batches of dates and comments asked for with the view until none is left,
// each answered (or not) at once; the cells in the order asked for.
std::vector<int> askAll(Album& a, const ThumbnailView& v, int size, bool answer = true) {
    std::vector<int> asked;
    while (const auto b = a.model.nextDetailsBatch(v, size)) {
        EXPECT_LE(b->cells.size(), static_cast<std::size_t>(size));
        EXPECT_EQ(b->paths.front(), a.model.entries()[b->cells.front()].path());
        if (answer) a.model.detailsArrived(b->epoch, b->cells, std::vector<ImageDetails>(b->cells.size(), {"", "c"}));
        asked.insert(asked.end(), b->cells.begin(), b->cells.end());
    }
    return asked;
}

std::vector<std::string> names(int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back("p" + std::to_string(100 + i) + ".jpg");
    return out;
}

}  // namespace

TEST(ThumbnailModel, DatesAndCommentsOfTheCellsInViewAreReadFirstEachOnce) {
    Album a;
    a.open(names(60));  // four columns, fifteen rows
    const ThumbnailView middle = a.view(6 * 2850 / 100, 4000);  // rows 6 and 7
    const std::vector<int> inView = a.model.cellsInView(middle);
    ASSERT_EQ(inView.front(), 24);
    EXPECT_FALSE(a.model.detailsInView(middle));
    // The view alone first, even with room for more; then the rest in name
    // order, none asked for twice while its answer is under way.
    const auto first = a.model.nextDetailsBatch(middle, 40);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->cells, inView);
    EXPECT_EQ(a.model.nextDetailsBatch(middle, 3)->cells, (std::vector<int>{0, 1, 2}));
    // A scroll to the end: its cells jump the queue.
    const ThumbnailView end = a.view(14 * 2850 / 100, 4000);
    std::vector<int> rest = askAll(a, end, 7);
    EXPECT_EQ(std::vector<int>(rest.begin(), rest.begin() + 4), a.model.cellsInView(end));
    EXPECT_TRUE(std::is_sorted(rest.begin() + 4, rest.end()));
    EXPECT_FALSE(a.model.allDetailsRead());  // the first two batches are not answered
    rest.insert(rest.end(), inView.begin(), inView.end());
    rest.insert(rest.end(), {0, 1, 2});
    std::sort(rest.begin(), rest.end());
    std::vector<int> every(60);
    std::iota(every.begin(), every.end(), 0);
    EXPECT_EQ(rest, every);
    a.model.detailsArrived(first->epoch, first->cells, std::vector<ImageDetails>(first->cells.size()));
    EXPECT_TRUE(a.model.detailsInView(middle));
}

TEST(ThumbnailModel, AStaleBatchOfDatesAndCommentsIsDropped) {
    Album a;
    const ThumbnailView v = a.view(0, 4000);
    const std::vector<ImageDetails> old(8, ImageDetails{"2001/01/01 00:00:00", "old"});
    for (const bool closing : {false, true}) {
        SCOPED_TRACE(closing ? "window closed" : "folder listed anew");
        a.open(names(8));
        const auto before = a.model.nextDetailsBatch(v, 8);
        ASSERT_TRUE(before);
        if (closing) a.model.dropPending();
        else a.open(names(8));
        EXPECT_TRUE(a.model.detailsArrived(before->epoch, before->cells, old).empty());
        EXPECT_EQ(a.model.detailsReadCount(), 0);
        EXPECT_EQ(a.model.entries()[0].comment, "");
    }
    a.open(names(8));
    EXPECT_EQ(askAll(a, v, 100).size(), 8u);  // a new list asks for every picture again
    EXPECT_TRUE(a.model.allDetailsRead());
}

TEST(ThumbnailModel, ACommentLeftBeforeTheReadArrivesIsComparedWithTheFileAndKept) {
    Album a;
    samples::PhotoSpec spec;
    spec.width = 64;
    spec.height = 48;
    spec.commentCp932 = *platform::utf8ToCp932("古い");
    for (const char* name : {"a.jpg", "b.jpg"}) writeBytes(a.photos / name, samples::makePhotoJpeg(spec));
    a.open({"a.jpg", "b.jpg"});
    const auto batch = a.model.nextDetailsBatch(a.view(0, 4000), 8);
    ASSERT_TRUE(batch);
    std::vector<ImageDetails> answers;  // the worker reads the old comments...
    for (const std::string& path : batch->paths) answers.push_back(a.model.detailsReader()(path));
    // ...while the user leaves a new one in the first box, and the second
    // box with what the file holds: compared with the file, not with an
    // empty text, so nothing is written there.
    const std::string second = readBytes(a.photos / "b.jpg");
    EXPECT_EQ(a.model.commitComment(0, "新しい").outcome, CommentResult::Written);
    EXPECT_EQ(a.model.commitComment(1, "古い").outcome, CommentResult::Unchanged);
    EXPECT_EQ(readBytes(a.photos / "b.jpg"), second);
    // The late answer changes neither.
    EXPECT_TRUE(a.model.detailsArrived(batch->epoch, batch->cells, answers).empty());
    EXPECT_EQ(a.model.entries()[0].comment, "新しい");
    EXPECT_EQ(ReadJpegComment(a.folder() + "a.jpg"), "新しい");
}
