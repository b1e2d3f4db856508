#include "tagora/com/conversions.h"

#include "platform/codepage.h"
#include "platform/com/bstr.h"
#include "platform/com/variant.h"
#include "tagora/exif/tag_table.h"

#include <new>

namespace tagora::com {

using platform::com::Variant;

HRESULT toBstr(std::u16string_view utf16, BSTR* out) noexcept {
    if (!out) return E_POINTER;
    *out = platform::com::bstrFromUtf16(utf16);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT toBstr(std::string_view utf8, BSTR* out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        return toBstr(platform::utf8ToUtf16(utf8), out);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT cp932ToBstr(std::string_view cp932, BSTR* out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        return toBstr(platform::cp932ToUtf8(cp932), out);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

std::string nativePath(BSTR fileName) { return platform::com::pathFromBstr(fileName); }

void toVariant(const tagora::Variant& in, VARIANT* out) noexcept {
    VariantInit(out);
    using tagora::VarType;
    switch (in.vt) {
    case VarType::I1: out->vt = VT_I1, out->cVal = static_cast<CHAR>(in.m_int); break;
    case VarType::UI1: out->vt = VT_UI1, out->bVal = static_cast<BYTE>(in.m_int); break;
    case VarType::I2: out->vt = VT_I2, out->iVal = static_cast<SHORT>(in.m_int); break;
    case VarType::UI2: out->vt = VT_UI2, out->uiVal = static_cast<USHORT>(in.m_int); break;
    case VarType::I4: out->vt = VT_I4, out->lVal = static_cast<LONG>(in.m_int); break;
    case VarType::UI4: out->vt = VT_UI4, out->ulVal = static_cast<ULONG>(in.m_int); break;
    case VarType::R4: out->vt = VT_R4, out->fltVal = static_cast<FLOAT>(in.m_real); break;
    case VarType::R8: out->vt = VT_R8, out->dblVal = in.m_real; break;
    case VarType::Bool: out->vt = VT_BOOL, out->boolVal = in.m_int ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VarType::Error: out->vt = VT_ERROR, out->scode = static_cast<SCODE>(in.m_int); break;
    case VarType::Null: out->vt = VT_NULL; break;
    case VarType::Bstr:
        // Elements are never text; should one be, an unallocated string
        // leaves the variant empty.
        if (BSTR b = platform::com::bstrFromUtf16(in.m_text)) out->vt = VT_BSTR, out->bstrVal = b;
        break;
    case VarType::Empty: break;
    }
}

HRESULT toModel(const VARIANT& in, tagora::VarType target, tagora::Variant& out) noexcept {
    try {
        Variant v;
        if (const HRESULT hr = VariantCopyInd(&v, &in); FAILED(hr)) return hr;
        if (v.vt & (VT_BYREF | VT_ARRAY)) return DISP_E_TYPEMISMATCH;
        using tagora::VarType;
        switch (v.vt) {
        case VT_EMPTY: out = tagora::Variant::empty(); return S_OK;
        case VT_NULL: out = tagora::Variant::null(); return S_OK;
        case VT_I1: out = tagora::Variant::i1(static_cast<std::int8_t>(v.cVal)); return S_OK;
        case VT_UI1: out = tagora::Variant::ui1(v.bVal); return S_OK;
        case VT_I2: out = tagora::Variant::i2(v.iVal); return S_OK;
        case VT_UI2: out = tagora::Variant::ui2(v.uiVal); return S_OK;
        case VT_I4: out = tagora::Variant::i4(v.lVal); return S_OK;
        case VT_UI4: out = tagora::Variant::ui4(v.ulVal); return S_OK;
        case VT_R4: out = tagora::Variant::r4(v.fltVal); return S_OK;
        case VT_R8: out = tagora::Variant::r8(v.dblVal); return S_OK;
        case VT_BOOL: out = tagora::Variant::boolean(v.boolVal != VARIANT_FALSE); return S_OK;
        case VT_ERROR: out = tagora::Variant::error(v.scode); return S_OK;
        case VT_BSTR: {
            const auto text = platform::com::bstrView(v.bstrVal);
            out = tagora::Variant::text(std::u16string(text));
            return S_OK;
        }
        default: break;
        }
        // A kind the model does not hold: let the runtime convert it to the
        // element's own type, which the model then stores unchanged.
        if (target == VarType::Empty) {
            out = tagora::Variant::empty();
            return S_OK;
        }
        const HRESULT hr = v.changeType(static_cast<VARTYPE>(target));
        if (FAILED(hr)) return hr;
        if (v.vt != static_cast<VARTYPE>(target)) return DISP_E_TYPEMISMATCH;
        return toModel(v, target, out);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

tagora::VarType elementVarType(std::uint16_t type) {
    using namespace tagora::fieldtype;
    using tagora::VarType;
    switch (type) {
    case kByte:
    case kUndefined: return VarType::UI1;
    case kAscii:
    case kSByte: return VarType::I1;
    case kShort: return VarType::UI2;
    case kLong:
    case kRational: return VarType::UI4;
    case kSShort: return VarType::I2;
    case kSLong:
    case kSRational: return VarType::I4;
    case kFloat: return VarType::R4;
    case kDouble: return VarType::R8;
    default: return VarType::Empty;
    }
}

}  // namespace tagora::com
