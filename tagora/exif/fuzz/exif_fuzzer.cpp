// Loads arbitrary bytes as a JPEG file and drives every accessor of the
// model over what came out: tags read and formatted, elements read,
// written and appended, directories changed, the user comment read and
// written, the thumbnail saved into memory and turned.
#include "tagora/exif/exif.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace tagora;

namespace {

// Bytes from the end of the input steer the calls; the input itself is the
// file.
struct Steer {
    const std::uint8_t* p;
    std::size_t n;
    std::size_t i = 0;
    std::uint8_t next() { return n ? p[(i++) % n] : 0; }
};

Variant variantFrom(Steer& s) {
    switch (s.next() % 9) {
    case 0: return Variant::i4(static_cast<std::int32_t>(s.next() << 24 | s.next() << 8 | s.next()));
    case 1: return Variant::r8(static_cast<double>(static_cast<std::int8_t>(s.next())) * 1e7 + 0.5);
    case 2: return Variant::text(u"12");
    case 3: return Variant::text(u"x写");
    case 4: return Variant::missing();
    case 5: return Variant::null();
    case 6: return Variant::ui4(0xFFFFFFFFu);
    case 7: return Variant::boolean(s.next() & 1);
    default: return Variant::empty();
    }
}

void exercise(Ifd& ifd, Steer& s) {
    volatile std::size_t sink = 0;
    for (std::size_t i = 0; i < ifd.count(); ++i) {
        const auto tag = ifd.at(i);
        sink += tag->valueString().size() + tag->name().size() + tag->mean().size() + tag->data().size();
        Variant v;
        for (std::int64_t index : {std::int64_t(0), std::int64_t(tag->count()) - 1, std::int64_t(tag->count())}) {
            if (tag->value(index, v) == kOk)
                sink += static_cast<std::size_t>(v.vt);
            if (tag->valueSecond(index, v) == kOk)
                sink += static_cast<std::size_t>(v.vt);
        }
        if (ifd.find(tag->id()) == nullptr)
            sink += 1;
        if (tag->owner().get() != &ifd)
            __builtin_trap();
    }
    if (ifd.count() == 0)
        return;
    // Changes: put, push, retype, remove, set.
    const auto tag = ifd.at(s.next() % ifd.count());
    const Variant a = variantFrom(s), b = variantFrom(s);
    tag->putValue(s.next() % 4, a);
    tag->putValueSecond(0, b);
    tag->pushValue(a, (s.next() & 1) ? &b : nullptr);
    sink += tag->valueString().size();
    if (s.next() % 4 == 0)
        tag->setType(s.next() % 14);
    if (s.next() % 3 == 0)
        ifd.remove(tag->id());
    if (s.next() % 3 == 0)
        ifd.set(static_cast<std::uint16_t>(s.next()), s.next() % 14, s.next() % 5, nullptr);
    for (std::size_t i = 0; i < ifd.count(); ++i)
        if (!ifd.find(ifd.at(i)->id()) && ifd.at(i)->id() == ifd.at(i)->id())
            sink += 1;
    (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Exif exif;
    if (!exif.loadBytes(std::string_view(reinterpret_cast<const char*>(data), size)))
        return 0;
    Steer steer{data, size < 16 ? size : 16, 0};
    steer.p = data + (size - steer.n);

    volatile std::size_t sink = 0;
    for (std::size_t i = 0; i < exif.markerCount(); ++i) {
        const auto m = exif.markerItem(static_cast<std::int64_t>(i));
        sink += m->code() + m->length() + m->data().size() + m->name().size();
        if (m->data().size() != std::size_t(m->length()) + 2)
            __builtin_trap();
    }
    sink += exif.userComment().size();

    // Thumbnail first, while the thumbnail directory is as loaded.
    if (auto bytes = exif.thumbnailFileBytes())
        sink += bytes->size();
    if (!exif.jpegThumbnail().empty() && steer.next() % 4 == 0) {
        const auto before = exif.jpegThumbnail();
        if (!exif.rotateThumbnail(1 + steer.next() % 3) && exif.jpegThumbnail() != before)
            __builtin_trap();
    }

    for (const auto* ifd : {&exif.ifdMain(), &exif.ifdThumbnail(), &exif.ifdSub(), &exif.ifdInteroperability(),
                            &exif.ifdGps()})
        exercise(**ifd, steer);

    exif.setUserComment(u"メモ");
    sink += exif.userComment().size();
    if (auto bytes = exif.thumbnailFileBytes())
        sink += bytes->size();
    (void)sink;
    return 0;
}
