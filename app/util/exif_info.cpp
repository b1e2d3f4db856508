#include "app/util/exif_info.h"

#include "app/util/date_time.h"
#include "app/util/jpeg_info.h"
#include "platform/com/creation.h"
#include "platform/com/dispatch_call.h"
#include "platform/com/registration_advice.h"
#include "platform/com/variant.h"

#include <atomic>
#include <cstdio>
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

IDispatch* exifControl() {
    if (t_exifCtl) return t_exifCtl.get();
    const HRESULT hr = platform::com::createObject(kExifCtlProgId, t_exifCtl);
    if (FAILED(hr) || !t_exifCtl) {
        t_exifCtl.reset();
        if (!g_reportedMissing.exchange(true)) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
            std::string advice = platform::com::registrationAdviceText(
                kExifCtlProgId, platform::com::adviseRegistration(kExifCtlProgId, "libtagora.so"));
            for (char& c : advice)
                if (c == '\r') c = '\n';
            std::cerr << "ミロフォト: " << kExifCtlProgId << " を作成できません (" << code
                      << ")。撮影日時は表示されません。\n" << advice << std::endl;
        }
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

std::string readDate(IDispatch* control, std::string_view path) {
    // LoadHeader(path) through the dispatch interface; S_FALSE and an empty
    // result when the file does not load.
    Variant fileName{std::string_view(path)};
    Variant loaded;
    if (invoke(control, kLoadHeader, DISPATCH_METHOD, &fileName, 1, &loaded) != S_OK) return {};
    const ComPtr<IDispatch> exif = dispatchOf(loaded);
    if (!exif) return {};

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
        return parseDateText(date) ? date : std::string();
    }
}

}  // namespace

std::string ReadShootingDate(std::string_view path) {
    try {
        IDispatch* control = exifControl();
        return control ? readDate(control, path) : std::string();
    } catch (...) {
        return {};
    }
}

void ReleaseShootingDateReader() { t_exifCtl.reset(); }

}  // namespace mirofoto
