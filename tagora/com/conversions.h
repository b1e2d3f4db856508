// The COM boundary of Tagora: the model's UTF-8 text becomes BSTRs, BSTR
// file names become native paths, and the model's values travel as VARIANTs.
#pragma once

#include "platform/com/com.h"
#include "tagora/exif/variant.h"

#include <string>
#include <string_view>

namespace tagora::com {

/// A new BSTR in *out; E_POINTER for a null out, E_OUTOFMEMORY when the
/// string cannot be allocated.
HRESULT toBstr(std::string_view utf8, BSTR* out) noexcept;
HRESULT toBstr(std::u16string_view utf16, BSTR* out) noexcept;
/// Text of the system code page (CP932) as a new BSTR; bytes that are no
/// CP932 show as U+FFFD.
HRESULT cp932ToBstr(std::string_view cp932, BSTR* out) noexcept;

/// The native path a BSTR file name stands for: the bytes the caller's
/// bstrFromPath() was given, names that are not UTF-8 included.
std::string nativePath(BSTR fileName);

/// The model's value as a VARIANT (the type numbers are the same).
void toVariant(const tagora::Variant& in, VARIANT* out) noexcept;

/// The model's form of a caller's VARIANT, for storing into an element of
/// the type target. By-reference values are resolved. Values of the kinds
/// the model holds pass unchanged (the model converts them itself, with the
/// same rules and codes); any other kind (64-bit integers, dates, currency,
/// objects) is converted here to target by the automation runtime, and its
/// code is returned when that fails.
HRESULT toModel(const VARIANT& in, tagora::VarType target, tagora::Variant& out) noexcept;

/// The variant type an element of the field type is handed out as.
tagora::VarType elementVarType(std::uint16_t fieldType);

/// Runs body, turning what it throws into a result code: E_OUTOFMEMORY when
/// memory runs out, E_UNEXPECTED for anything else. No exception leaves a
/// COM member.
template <class F>
HRESULT guarded(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace tagora::com
