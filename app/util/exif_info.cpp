#include "app/util/exif_info.h"

#include "app/util/jpeg_info.h"
#include "platform/com/creation.h"
#include "platform/codepage.h"
#include "platform/com/dispatch_call.h"
#include "platform/com/error_info.h"
#include "platform/com/registration_advice.h"
#include "platform/com/variant.h"
#include "platform/format.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <iostream>

namespace mirofoto {
namespace {

using platform::com::ComPtr;
using platform::com::Variant;

constexpr const char* kExifCtlProgId = "Tagora.ExifCtl";
constexpr DISPID kLoadHeader = 2;
constexpr LONG kDateTimeOriginal = 36867;

thread_local ComPtr<IDispatch> t_exifCtl;
std::atomic<bool> g_reportedMissing{false};

IDispatch* exifControl(std::string* why) {
    if (t_exifCtl) return t_exifCtl.get();
    const HRESULT hr = platform::com::createObject(kExifCtlProgId, t_exifCtl);
    if (FAILED(hr) || !t_exifCtl) {
        t_exifCtl.reset();
        const std::string text = std::string(kExifCtlProgId) + " を作成できません (" + platform::hexCode(static_cast<std::uint32_t>(hr)) + ")";
        if (!g_reportedMissing.exchange(true)) {
            std::string advice = platform::com::registrationAdviceText(
                kExifCtlProgId, platform::com::adviseRegistration(kExifCtlProgId, "libtagora.so"));
            for (char& c : advice)
                if (c == '\r') c = '\n';
            std::cerr << "ミロフォト: " << text << "。撮影日時は表示されません。\n" << advice << std::endl;
        }
        if (why) *why = text;
        return nullptr;
    }
    return t_exifCtl.get();
}

// The object a call returned as VT_DISPATCH, or null.
ComPtr<IDispatch> dispatchOf(Variant& v) {
    if (v.vt != VT_DISPATCH || !v.pdispVal) return {};
    return ComPtr<IDispatch>::share(v.pdispVal);
}

HRESULT invoke(IDispatch* object, DISPID id, WORD flags, Variant* args, UINT count, Variant* result) {
    DISPPARAMS params{args, nullptr, count, 0};
    EXCEPINFO exception{};
    UINT argErr = 0;
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &argErr);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

// The date, or the empty text and in why the reason.
std::string readDate(IDispatch* control, std::string_view path, std::string& why) {
    // LoadHeader(path) through the dispatch interface; S_FALSE and an empty
    // result when the file does not load, with the reason in the thread's
    // error information. The path crosses as a BSTR that keeps every byte of
    // a name that is not UTF-8.
    const std::u16string fileNameText = platform::pathToUtf16(path);
    Variant fileName{std::u16string_view(fileNameText)};
    Variant loaded;
    const HRESULT hr = invoke(control, kLoadHeader, DISPATCH_METHOD, &fileName, 1, &loaded);
    const ComPtr<IDispatch> exif = hr == S_OK ? dispatchOf(loaded) : ComPtr<IDispatch>();
    if (!exif) {
        const auto reason = platform::com::takeErrorText();
        why = "EXIF を読み込めません: " + (reason ? *reason : "LoadHeader " + platform::hexCode(static_cast<std::uint32_t>(hr)));
        return {};
    }

    why = "撮影日時 (DateTimeOriginal) がありません";
    Variant sub;
    if (FAILED(platform::com::getProperty(exif.get(), "IFDSub", &sub))) return {};
    const ComPtr<IDispatch> ifd = dispatchOf(sub);
    if (!ifd) return {};
    Variant tags;
    if (FAILED(platform::com::getProperty(ifd.get(), "Tags", &tags))) return {};
    const ComPtr<IDispatch> collection = dispatchOf(tags);
    if (!collection) return {};

    // Walk the collection with its enumerator, as For Each does.
    Variant enumVariant;
    if (FAILED(invoke(collection.get(), DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr, 0,
                      &enumVariant)))
        return {};
    if (enumVariant.vt != VT_UNKNOWN && enumVariant.vt != VT_DISPATCH) return {};
    if (!enumVariant.punkVal) return {};
    ComPtr<IEnumVARIANT> items;
    if (FAILED(enumVariant.punkVal->QueryInterface(IID_IEnumVARIANT, items.putVoid())) || !items) return {};

    for (;;) {
        Variant item;
        ULONG fetched = 0;
        if (items->Next(1, &item, &fetched) != S_OK || fetched != 1) return {};
        const ComPtr<IDispatch> tag = dispatchOf(item);
        if (!tag) continue;
        Variant id;
        if (FAILED(platform::com::getProperty(tag.get(), "ID", &id))) continue;
        if (id.toLong() != kDateTimeOriginal) continue;
        // Only the first tag 36867 counts, whatever it holds.
        Variant text;
        if (FAILED(platform::com::getProperty(tag.get(), "ValueString", &text))) return {};
        const auto value = text.toUtf8();
        if (!value) return {};
        std::string date = ExifDateToDateText(*value);
        if (!date.empty()) return date;
        why = "撮影日時が日付ではありません: \"" + *value + "\"";
        return {};
    }
}

}  // namespace

std::string ReadShootingDate(std::string_view path, std::string* why) {
    std::string reason;
    std::string date;
    try {
        if (IDispatch* control = exifControl(&reason)) date = readDate(control, path, reason);
    } catch (const std::exception& e) {
        reason = e.what();
    }
    if (why) *why = date.empty() ? reason : std::string();
    return date;
}

namespace {

// The Exif object of the loaded header, or null (the thread's error
// information taken).
ComPtr<IDispatch> loadHeader(IDispatch* control, std::string_view path) {
    const std::u16string fileNameText = platform::pathToUtf16(path);
    Variant fileName{std::u16string_view(fileNameText)};
    Variant loaded;
    if (invoke(control, kLoadHeader, DISPATCH_METHOD, &fileName, 1, &loaded) != S_OK) {
        platform::com::takeErrorText();
        return {};
    }
    return dispatchOf(loaded);
}

int orientationOf(IDispatch* exif) {
    Variant main;
    if (FAILED(platform::com::getProperty(exif, "IFDMain", &main))) return 0;
    const ComPtr<IDispatch> ifd = dispatchOf(main);
    if (!ifd) return 0;
    Variant tags;
    if (FAILED(platform::com::getProperty(ifd.get(), "Tags", &tags))) return 0;
    const ComPtr<IDispatch> collection = dispatchOf(tags);
    if (!collection) return 0;
    Variant id(static_cast<LONG>(274));
    Variant item;
    if (FAILED(invoke(collection.get(), DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &id, 1, &item))) {
        platform::com::takeErrorText();
        return 0;
    }
    const ComPtr<IDispatch> tag = dispatchOf(item);
    if (!tag) return 0;
    Variant index(static_cast<LONG>(0));
    Variant value;
    if (FAILED(invoke(tag.get(), 6, DISPATCH_PROPERTYGET, &index, 1, &value))) {
        platform::com::takeErrorText();
        return 0;
    }
    return static_cast<int>(value.toLong().value_or(0));
}

// The control only writes a thumbnail into a named file. Each thread hands
// it a file of its own that lives in memory (named through /proc), so a
// thumbnail costs no disk write, and no file is left behind by a crash.
int threadMemoryFile() {
    struct File {
        int fd = ::memfd_create("mirofoto-exif-thumbnail", MFD_CLOEXEC);
        ~File() {
            if (fd >= 0) ::close(fd);
        }
    };
    thread_local File file;
    return file.fd;
}

std::string thumbnailOf(IDispatch* exif) {
    constexpr DISPID kSaveThumbnail = 1;
    const int fd = threadMemoryFile();
    if (fd < 0) return {};
    const std::string name = "/proc/self/fd/" + std::to_string(fd);
    const std::u16string nameText = platform::pathToUtf16(name);
    Variant target{std::u16string_view(nameText)};
    Variant written;
    const HRESULT hr = invoke(exif, kSaveThumbnail, DISPATCH_METHOD, &target, 1, &written);
    std::string bytes;
    struct stat st {};
    if (SUCCEEDED(hr) && written.toLong().value_or(0) != 0 && ::fstat(fd, &st) == 0 && st.st_size > 0) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        bytes.resize(done);
    } else {
        platform::com::takeErrorText();
    }
    // The memory goes back at once (the next thumbnail truncates it anyway).
    [[maybe_unused]] const int truncated = ::ftruncate(fd, 0);
    return bytes;
}

}  // namespace

int ReadExifOrientation(std::string_view path, IDispatch* control) {
    try {
        std::string why;
        if (!control) control = exifControl(&why);
        if (!control) return 0;
        const ComPtr<IDispatch> exif = loadHeader(control, path);
        return exif ? orientationOf(exif.get()) : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

ExifPreviewHeader ReadExifPreviewHeader(std::string_view path, IDispatch* control) {
    ExifPreviewHeader header;
    try {
        std::string why;
        if (!control) control = exifControl(&why);
        if (!control) return {};
        const ComPtr<IDispatch> exif = loadHeader(control, path);
        if (!exif) return {};
        header.orientation = orientationOf(exif.get());
        header.thumbnail = thumbnailOf(exif.get());
    } catch (const std::exception&) {
        header.thumbnail.clear();
    }
    return header;
}

void ReleaseShootingDateReader() { t_exifCtl.reset(); }

}  // namespace mirofoto
