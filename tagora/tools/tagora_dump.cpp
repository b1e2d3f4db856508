// tagora-dump: prints what Tagora reads from a JPEG file as JSON: the
// collected segments, the five directories with every tag, the user comment
// and the thumbnail; optionally turns the thumbnail and saves it. It is a
// client of the registered control like any other: it creates
// "Tagora.ExifCtl" by ProgID and uses only the control's interfaces.
#include "platform/codepage.h"
#include "platform/com/bstr.h"
#include "platform/com/creation.h"
#include "platform/com/error_info.h"
#include "platform/com/registration_advice.h"
#include "platform/com/registry.h"
#include "platform/com/variant.h"
#include "platform/format.h"
#include "tagora/com/tagora.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>

using namespace platform::com;
using platform::hexCode;

namespace {

enum Exit { kOk = 0, kNotLoaded = 1, kUsage = 2, kNoTagora = 3, kThumbnailFailed = 4 };

const char* const kUsageText =
    "usage: tagora-dump [--thumbnail FILE] [--rotate CODE] JPEG\n"
    "  Prints the file's segments, EXIF directories, user comment and thumbnail as JSON.\n"
    "  --thumbnail FILE  save the thumbnail (JPEG, or TIFF for strip data) to FILE\n"
    "  --rotate CODE     turn the JPEG thumbnail first: 1 = 90, 2 = 180, 3 = 270 degrees clockwise\n";

// ---------------------------------------------------------------------------
// JSON text

/// A JSON string literal of UTF-16 text: quotes, backslashes and control
/// characters escaped, other characters as UTF-8, lone surrogates as \u
/// escapes (JSON allows them; UTF-8 cannot carry them).
std::string jsonString(std::u16string_view text) {
    std::string out = "\"";
    char buf[8];
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'"') out += "\\\"";
        else if (c == u'\\') out += "\\\\";
        else if (c == u'\n') out += "\\n";
        else if (c == u'\r') out += "\\r";
        else if (c == u'\t') out += "\\t";
        else if (c < 0x20 || c == 0x7F) {
            std::snprintf(buf, sizeof buf, "\\u%04X", unsigned(c));
            out += buf;
        } else if (c < 0x80) {
            out += char(c);
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            out += platform::utf16ToUtf8(text.substr(i, 2));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            std::snprintf(buf, sizeof buf, "\\u%04X", unsigned(c));
            out += buf;
        } else {
            out += platform::utf16ToUtf8(text.substr(i, 1));
        }
    }
    return out + "\"";
}

std::string jsonString(BSTR b) { return jsonString(bstrView(b)); }

// ---------------------------------------------------------------------------
// Reading through the control

/// The number of elements a tag holds, found from the index range its Value
/// accepts (the interface has no count). An ASCII tag's count includes the
/// terminating NUL, which is no element.
std::int64_t elementCount(ITag* tag, LONG type) {
    const auto valid = [&](std::int64_t index) {
        Variant v;
        return tag->get_Value(static_cast<LONG>(index), &v) == S_OK;
    };
    const std::int64_t extra = type == tagora::ttASCII ? 1 : 0;
    if (!valid(0)) return extra;
    // valid(lo) holds and valid(hi) does not.
    std::int64_t lo = 0, hi = 1;
    constexpr std::int64_t kLimit = 0x7FFFFFFF;
    while (hi <= kLimit && valid(hi)) lo = hi, hi *= 2;
    if (hi > kLimit) hi = kLimit + 1;
    while (hi - lo > 1) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        (valid(mid) ? lo : hi) = mid;
    }
    return lo + 1 + extra;
}

std::string dumpTag(ITag* tag, const std::string& indent) {
    EXIFTAG id{};
    TAGTYPE type{};
    tag->get_ID(&id);
    tag->get_Type(&type);
    Bstr name, mean, value;
    tag->get_Name(name.put());
    tag->get_Mean(mean.put());
    tag->get_ValueString(value.put());
    std::ostringstream out;
    out << indent << "{\"id\": " << long(id) << ", \"type\": " << long(type)
        << ", \"count\": " << elementCount(tag, type) << ", \"name\": " << jsonString(name.get())
        << ", \"mean\": " << jsonString(mean.get()) << ", \"valueString\": " << jsonString(value.get()) << "}";
    return out.str();
}

std::string dumpDirectory(IIfd* ifd) {
    Bstr name;
    ifd->get_Name(name.put());
    std::ostringstream out;
    out << "    {\n      \"name\": " << jsonString(name.get()) << ",\n      \"tags\": [";
    ComPtr<ITags> tags;
    LONG count = 0;
    if (SUCCEEDED(ifd->get_Tags(tags.put())) && tags) tags->get_Count(&count);
    for (LONG i = 0; i < count; ++i) {
        ComPtr<ITag> tag;
        if (FAILED(tags->get_ItemByIndex(i, tag.put())) || !tag) continue;
        out << (i ? ",\n" : "\n") << dumpTag(tag.get(), "        ");
    }
    out << (count ? "\n      ]\n    }" : "]\n    }");
    return out.str();
}

std::string dumpMarkers(IExif* exif) {
    LONG count = 0;
    exif->get_MarkerCount(&count);
    std::ostringstream out;
    out << "[";
    for (LONG i = 0; i < count; ++i) {
        ComPtr<IMarker> marker;
        if (FAILED(exif->get_MarkerItem(i, marker.put())) || !marker) continue;
        LONG code = 0, length = 0;
        marker->get_Code(&code);
        marker->get_Length(&length);
        Bstr name;
        marker->get_Name(name.put());
        out << (i ? ",\n" : "\n") << "    {\"code\": " << code << ", \"length\": " << length
            << ", \"name\": " << jsonString(name.get()) << "}";
    }
    out << (count ? "\n  ]" : "]");
    return out.str();
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

/// Saves the thumbnail to path; the JSON of its form and length, or nothing
/// when there is none (or it could not be written).
std::optional<std::string> saveThumbnail(IExif* exif, const std::string& path) {
    const Bstr name = Bstr::ofPath(path);
    LONG written = 0;
    if (exif->SaveThumbnail(name.get(), &written) != S_OK || !written) return std::nullopt;
    const auto bytes = readFile(path);
    if (!bytes) return std::nullopt;
    const char* form = bytes->rfind("\xFF\xD8", 0) == 0 ? "jpeg"
                       : (bytes->rfind("II", 0) == 0 || bytes->rfind("MM", 0) == 0) ? "tiff"
                                                                                      : "unknown";
    return "{\"form\": \"" + std::string(form) + "\", \"length\": " + std::to_string(bytes->size()) + "}";
}

/// Saves the thumbnail into a temporary file to learn its form and length.
std::optional<std::string> measureThumbnail(IExif* exif) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tagora-dump-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return std::nullopt;
    ::close(fd);
    auto result = saveThumbnail(exif, pattern);
    std::remove(pattern.c_str());
    return result;
}

struct Options {
    std::string file;
    std::optional<std::string> thumbnail;
    std::optional<LONG> rotate;
};

std::optional<Options> parseArguments(int argc, char** argv) {
    Options o;
    bool haveFile = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--thumbnail" || a == "--rotate") && i + 1 < argc) {
            const std::string v = argv[++i];
            if (a == "--thumbnail") {
                o.thumbnail = v;
            } else {
                char* end = nullptr;
                errno = 0;
                const long code = std::strtol(v.c_str(), &end, 10);
                if (v.empty() || *end || errno || code < -0x7FFFFFFFL || code > 0x7FFFFFFFL) return std::nullopt;
                o.rotate = static_cast<LONG>(code);
            }
        } else if (a == "--") {
            if (i + 2 != argc || haveFile) return std::nullopt;
            o.file = argv[++i];
            haveFile = true;
        } else if (!a.empty() && a[0] == '-') {
            return std::nullopt;
        } else {
            if (haveFile) return std::nullopt;
            o.file = a;
            haveFile = true;
        }
    }
    if (!haveFile) return std::nullopt;
    return o;
}

int run(const Options& options) {
    ComPtr<IExifCtl> control;
    if (const HRESULT hr = createObject(kExifCtlProgId, control); FAILED(hr) || !control) {
        const RegistrationAdvice a = adviseRegistration(kExifCtlProgId, "libtagora.so");
        std::cerr << "tagora-dump: cannot create " << kExifCtlProgId << " (" << hexCode(hr) << "): "
                  << (a.problem == RegistrationAdvice::Problem::NotRegistered ? "it is not registered in " + a.registry
                      : a.problem == RegistrationAdvice::Problem::ModuleMissing
                          ? "its module " + a.registeredModule + " is missing (moved or deleted)"
                          : "its module " + a.registeredModule + " does not load")
                  << "\nregister it" << (a.asAdministrator ? " as root" : "") << " with: " << a.command << "\n";
        return kNoTagora;
    }
    ComPtr<IExif> exif;
    // A name that is not UTF-8 reaches the control byte for byte, and is
    // shown escaped.
    const Bstr fileName = Bstr::ofPath(options.file);
    if (control->LoadHeader(fileName.get(), exif.put()) != S_OK || !exif) {
        const auto why = takeErrorText();
        std::cerr << "tagora-dump: " << platform::displayName(options.file) << ": the file cannot be loaded ("
                  << (why ? *why : std::string("missing, unreadable or no JPEG")) << ")\n";
        return kNotLoaded;
    }

    std::ostringstream out;
    out << "{\n  \"file\": " << jsonString(platform::pathToUtf16(options.file)) << ",\n";
    out << "  \"markers\": " << dumpMarkers(exif.get()) << ",\n";
    out << "  \"directories\": [\n";
    HRESULT (IExif::*const directories[])(IIfd**) = {&IExif::get_IFDMain, &IExif::get_IFDThumbnail,
                                                      &IExif::get_IFDSub, &IExif::get_IFDInteroperability,
                                                      &IExif::get_IFDGps};
    bool first = true;
    for (auto get : directories) {
        ComPtr<IIfd> ifd;
        if (FAILED((exif.get()->*get)(ifd.put())) || !ifd) continue;
        out << (first ? "" : ",\n") << dumpDirectory(ifd.get());
        first = false;
    }
    out << "\n  ],\n";
    Bstr comment;
    exif->get_UserComment(comment.put());
    out << "  \"userComment\": " << jsonString(comment.get()) << ",\n";

    // The directories are printed before the thumbnail is saved: saving
    // strip data sets the thumbnail directory's strip tags to the new file.
    int status = kOk;
    if (options.rotate && exif->RotateThumbnail(*options.rotate) != S_OK) {
        std::cerr << "tagora-dump: the thumbnail cannot be turned with code " << *options.rotate
                  << " (codes 1 to 3 turn a JPEG thumbnail)\n";
        status = kThumbnailFailed;
    }
    std::optional<std::string> thumbnail;
    if (status == kOk && options.thumbnail) {
        thumbnail = saveThumbnail(exif.get(), *options.thumbnail);
        if (!thumbnail) {
            std::cerr << "tagora-dump: " << platform::displayName(*options.thumbnail)
                      << ": no thumbnail written (the file has none, or it cannot be created)\n";
            status = kThumbnailFailed;
        }
    } else {
        thumbnail = measureThumbnail(exif.get());
    }
    out << "  \"thumbnail\": " << thumbnail.value_or("{\"form\": \"none\", \"length\": 0}") << "\n}\n";
    std::cout << out.str() << std::flush;
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parseArguments(argc, argv);
    if (!options) {
        std::cerr << kUsageText;
        return kUsage;
    }
    const int status = run(*options);
    CoUninitialize();
    return status;
}
