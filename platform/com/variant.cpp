// VARIANT handling and conversion with the results Windows gives:
// DISP_E_TYPEMISMATCH when a value has no form in the wanted type,
// DISP_E_OVERFLOW when it does not fit, DISP_E_BADVARTYPE for a type this
// runtime does not know. Text conversions use "." as the decimal point,
// whatever the locale.
#include "platform/com/variant.h"

#include "platform/automation_number.h"
#include "platform/com/bstr.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

bool isKnownBase(VARTYPE base) {
    switch (base) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_VARIANT:
    case VT_UNKNOWN:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT: return true;
    default: return false;  // records among them: this runtime has no IRecordInfo
    }
}

// Whether a variant may hold this type at all.
HRESULT checkVartype(VARTYPE vt) {
    const VARTYPE base = vt & VT_TYPEMASK;
    const VARTYPE extra = vt & ~VT_TYPEMASK;
    if (extra & ~(VT_ARRAY | VT_BYREF)) return DISP_E_BADVARTYPE;
    if (!isKnownBase(base)) return DISP_E_BADVARTYPE;
    if (base == VT_VARIANT && !extra) return DISP_E_BADVARTYPE;
    if ((base == VT_EMPTY || base == VT_NULL) && extra) return DISP_E_BADVARTYPE;
    return S_OK;
}

bool isIntegerType(VARTYPE vt) {
    switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT: return true;
    default: return false;
    }
}

// A number on its way between types: exact when it came from an integer.
struct Number {
    bool exact = true;
    __int128 integer = 0;
    double real = 0;
};

Number integerValue(const VARIANT& v) {
    Number n;
    switch (v.vt) {
    case VT_I1: n.integer = v.cVal; break;
    case VT_UI1: n.integer = v.bVal; break;
    case VT_I2: n.integer = v.iVal; break;
    case VT_UI2: n.integer = v.uiVal; break;
    case VT_I4: n.integer = v.lVal; break;
    case VT_UI4: n.integer = v.ulVal; break;
    case VT_I8: n.integer = v.llVal; break;
    case VT_UI8: n.integer = v.ullVal; break;
    case VT_INT: n.integer = v.intVal; break;
    case VT_UINT: n.integer = v.uintVal; break;
    default: break;
    }
    return n;
}

std::string trimmedAscii(std::u16string_view text, bool& ok) {
    std::size_t b = 0, e = text.size();
    auto space = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u3000'; };
    while (b < e && space(text[b])) ++b;
    while (e > b && space(text[e - 1])) --e;
    std::string out;
    ok = true;
    for (std::size_t i = b; i < e; ++i) {
        if (text[i] > 0x7F) {
            ok = false;
            return {};
        }
        out += static_cast<char>(text[i]);
    }
    return out;
}

// Text as a number, by the rules the EXIF model shares.
HRESULT parseNumber(BSTR text, Number& out) {
    platform::AutomationNumber n;
    switch (platform::parseAutomationNumber(platform::com::bstrView(text), n)) {
    case platform::NumberText::NotANumber: return DISP_E_TYPEMISMATCH;
    case platform::NumberText::Overflow: return DISP_E_OVERFLOW;
    case platform::NumberText::Ok: break;
    }
    out.exact = n.exact;
    out.integer = n.negative ? -static_cast<__int128>(n.magnitude) : static_cast<__int128>(n.magnitude);
    out.real = n.real;
    return S_OK;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string formatReal(double d, int precision) {
    if (d == 0) return "0";  // also for -0
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::general, precision);
    std::string s(buffer, r.ptr);
    for (char& c : s)
        if (c == 'e') c = 'E';
    return s;
}

// Stores the number in an integer type of the given range, rounding a real
// number half to even as the automation conversions do.
template <class T>
HRESULT storeInteger(const Number& n, T& out) {
    constexpr long double lo = static_cast<long double>(std::numeric_limits<T>::min());
    constexpr long double hi = static_cast<long double>(std::numeric_limits<T>::max());
    if (n.exact) {
        if (n.integer < static_cast<__int128>(std::numeric_limits<T>::min()) ||
            n.integer > static_cast<__int128>(std::numeric_limits<T>::max()))
            return DISP_E_OVERFLOW;
        out = static_cast<T>(n.integer);
        return S_OK;
    }
    if (std::isnan(n.real)) return DISP_E_OVERFLOW;
    const long double r = std::nearbyint(static_cast<long double>(n.real));
    if (r < lo || r > hi) return DISP_E_OVERFLOW;
    out = static_cast<T>(static_cast<__int128>(r));
    return S_OK;
}

HRESULT storeNumber(const Number& n, VARTYPE vt, VARIANT& out) {
    HRESULT hr = S_OK;
    switch (vt) {
    case VT_I1: hr = storeInteger(n, out.cVal); break;
    case VT_UI1: hr = storeInteger(n, out.bVal); break;
    case VT_I2: hr = storeInteger(n, out.iVal); break;
    case VT_UI2: hr = storeInteger(n, out.uiVal); break;
    case VT_I4: hr = storeInteger(n, out.lVal); break;
    case VT_UI4: hr = storeInteger(n, out.ulVal); break;
    case VT_I8: hr = storeInteger(n, out.llVal); break;
    case VT_UI8: hr = storeInteger(n, out.ullVal); break;
    case VT_INT: hr = storeInteger(n, out.intVal); break;
    case VT_UINT: hr = storeInteger(n, out.uintVal); break;
    case VT_R8: out.dblVal = n.exact ? static_cast<double>(n.integer) : n.real; break;
    case VT_R4: {
        const double d = n.exact ? static_cast<double>(n.integer) : n.real;
        if (std::fabs(d) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
        out.fltVal = static_cast<float>(d);
        break;
    }
    default: return DISP_E_BADVARTYPE;
    }
    if (SUCCEEDED(hr)) out.vt = vt;
    return hr;
}

// The numeric value of a plain (not by-reference) variant.
HRESULT numberOf(const VARIANT& in, Number& n) {
    switch (in.vt) {
    case VT_EMPTY: n = Number{}; return S_OK;
    case VT_BOOL: n = Number{}, n.integer = in.boolVal ? -1 : 0; return S_OK;
    case VT_R4: n.exact = false, n.real = in.fltVal; return S_OK;
    case VT_R8: n.exact = false, n.real = in.dblVal; return S_OK;
    case VT_BSTR: return parseNumber(in.bstrVal, n);
    case VT_CY:
    case VT_DATE:
    case VT_DECIMAL: return DISP_E_BADVARTYPE;
    default:
        if (isIntegerType(in.vt)) {
            n = integerValue(in);
            return S_OK;
        }
        return DISP_E_TYPEMISMATCH;
    }
}

HRESULT toText(const VARIANT& in, USHORT flags, VARIANT& out) {
    std::string text;
    switch (in.vt) {
    case VT_EMPTY: break;
    case VT_BOOL:
        if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) text = in.boolVal ? "True" : "False";
        else text = in.boolVal ? "-1" : "0";
        break;
    case VT_R4: text = formatReal(in.fltVal, 7); break;
    case VT_R8: text = formatReal(in.dblVal, 15); break;
    case VT_ARRAY | VT_UI1: {
        // The bytes of the array become the bytes of the string.
        SAFEARRAY* psa = in.parray;
        if (!psa) return DISP_E_TYPEMISMATCH;
        BSTR b = SysAllocStringByteLen(static_cast<const char*>(psa->pvData), psa->rgsabound[0].cElements);
        if (!b) return E_OUTOFMEMORY;
        out.vt = VT_BSTR;
        out.bstrVal = b;
        return S_OK;
    }
    case VT_CY:
    case VT_DATE:
    case VT_DECIMAL: return DISP_E_BADVARTYPE;
    default:
        if (!isIntegerType(in.vt)) return DISP_E_TYPEMISMATCH;
        {
            const Number n = integerValue(in);
            text = n.integer < 0 ? "-" + std::to_string(static_cast<unsigned long long>(-n.integer))
                                 : std::to_string(static_cast<unsigned long long>(n.integer));
        }
    }
    BSTR b = platform::com::bstrFromUtf8(text);
    if (!b) return E_OUTOFMEMORY;
    out.vt = VT_BSTR;
    out.bstrVal = b;
    return S_OK;
}

HRESULT toBool(const VARIANT& in, VARIANT& out) {
    bool value = false;
    if (in.vt == VT_BSTR) {
        bool ascii;
        const std::string s = trimmedAscii(platform::com::bstrView(in.bstrVal), ascii);
        if (ascii && equalsIgnoringCase(s, "true")) value = true;
        else if (ascii && equalsIgnoringCase(s, "false")) value = false;
        else {
            Number n;
            const HRESULT hr = parseNumber(in.bstrVal, n);
            if (hr == DISP_E_OVERFLOW) value = true;  // too large for any type, but not zero
            else if (FAILED(hr)) return hr;
            else value = n.exact ? n.integer != 0 : n.real != 0;
        }
    } else {
        Number n;
        const HRESULT hr = numberOf(in, n);
        if (FAILED(hr)) return hr;
        value = n.exact ? n.integer != 0 : n.real != 0;
    }
    out.vt = VT_BOOL;
    out.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// The default member's value of an automation object (DISPID_VALUE).
HRESULT defaultValue(IDispatch* object, VARIANT& value) {
    if (!object) return DISP_E_TYPEMISMATCH;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    const HRESULT hr = object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                      &value, nullptr, nullptr);
    return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

HRESULT coerce(VARIANT& out, const VARIANT& in, USHORT flags, VARTYPE vt) {
    if (in.vt == vt) return VariantCopy(&out, &in);
    if (vt == VT_EMPTY) return S_OK;
    if (vt == VT_NULL) {
        if (in.vt != VT_EMPTY) return DISP_E_TYPEMISMATCH;
        out.vt = VT_NULL;
        return S_OK;
    }
    if (vt == (VT_ARRAY | VT_UI1)) {
        if (in.vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
        const UINT bytes = SysStringByteLen(in.bstrVal);
        SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, bytes);
        if (!psa) return E_OUTOFMEMORY;
        if (bytes) std::memcpy(psa->pvData, in.bstrVal, bytes);
        out.vt = vt;
        out.parray = psa;
        return S_OK;
    }
    if (vt & VT_ARRAY) return DISP_E_TYPEMISMATCH;
    if ((in.vt & VT_ARRAY) && vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
    if (in.vt & VT_ARRAY && in.vt != (VT_ARRAY | VT_UI1)) return DISP_E_TYPEMISMATCH;

    if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        if (in.vt != VT_DISPATCH && in.vt != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
        if (!in.punkVal) {
            out.vt = vt;
            out.punkVal = nullptr;
            return S_OK;
        }
        void* p = nullptr;
        const HRESULT hr = in.punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &p);
        if (FAILED(hr)) return hr;
        out.vt = vt;
        out.punkVal = static_cast<IUnknown*>(p);
        return S_OK;
    }
    if (in.vt == VT_DISPATCH) {
        if (flags & VARIANT_NOVALUEPROP) return DISP_E_TYPEMISMATCH;
        platform::com::Variant value;
        const HRESULT hr = defaultValue(in.pdispVal, value);
        if (FAILED(hr)) return hr;
        platform::com::Variant plain = platform::com::Variant::copyOf(value);
        return coerce(out, plain, flags | VARIANT_NOVALUEPROP, vt);
    }
    if (in.vt == VT_NULL || in.vt == VT_ERROR || in.vt == VT_UNKNOWN) return DISP_E_TYPEMISMATCH;

    switch (vt) {
    case VT_BSTR: return toText(in, flags, out);
    case VT_BOOL: return toBool(in, out);
    case VT_ERROR: return DISP_E_TYPEMISMATCH;
    case VT_CY:
    case VT_DATE:
    case VT_DECIMAL:
    case VT_VARIANT: return DISP_E_BADVARTYPE;
    default: {
        if (!isIntegerType(vt) && vt != VT_R4 && vt != VT_R8) return DISP_E_BADVARTYPE;
        if (in.vt == VT_BOOL && isIntegerType(vt)) {
            // A boolean is taken bit for bit: True (-1) is 255 as a byte.
            out.llVal = 0;
            switch (vt) {
            case VT_I1: out.cVal = static_cast<CHAR>(in.boolVal); break;
            case VT_UI1: out.bVal = static_cast<BYTE>(in.boolVal); break;
            case VT_I2: out.iVal = in.boolVal; break;
            case VT_UI2: out.uiVal = static_cast<USHORT>(in.boolVal); break;
            case VT_I4:
            case VT_INT: out.lVal = in.boolVal; break;
            case VT_UI4:
            case VT_UINT: out.ulVal = static_cast<ULONG>(static_cast<LONG>(in.boolVal)); break;
            case VT_I8: out.llVal = in.boolVal; break;
            case VT_UI8: out.ullVal = static_cast<ULONGLONG>(static_cast<LONGLONG>(in.boolVal)); break;
            }
            out.vt = vt;
            return S_OK;
        }
        Number n;
        const HRESULT hr = numberOf(in, n);
        if (FAILED(hr)) return hr;
        return storeNumber(n, vt, out);
    }
    }
}

}  // namespace

void VariantInit(VARIANTARG* pvarg) {
    if (!pvarg) return;
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
    pvarg->llVal = 0;
    pvarg->pRecInfo = nullptr;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
    if (!pvarg) return E_INVALIDARG;
    const HRESULT check = checkVartype(pvarg->vt);
    if (FAILED(check)) return check;
    if (!(pvarg->vt & VT_BYREF)) {
        if (pvarg->vt & VT_ARRAY) {
            const HRESULT hr = SafeArrayDestroy(pvarg->parray);
            if (FAILED(hr)) return hr;
        } else if (pvarg->vt == VT_BSTR) {
            SysFreeString(pvarg->bstrVal);
        } else if (pvarg->vt == VT_DISPATCH || pvarg->vt == VT_UNKNOWN) {
            if (pvarg->punkVal) pvarg->punkVal->Release();
        }
    }
    VariantInit(pvarg);
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
    if (!pvargDest || !pvargSrc) return E_INVALIDARG;
    if (pvargDest == pvargSrc) return S_OK;
    HRESULT hr = checkVartype(pvargSrc->vt);
    if (FAILED(hr)) return hr;
    VARIANT copy = *pvargSrc;
    if (!(copy.vt & VT_BYREF)) {
        if (copy.vt & VT_ARRAY) {
            hr = SafeArrayCopy(pvargSrc->parray, &copy.parray);
            if (FAILED(hr)) return hr;
        } else if (copy.vt == VT_BSTR && pvargSrc->bstrVal) {
            copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<const char*>(pvargSrc->bstrVal),
                                                 SysStringByteLen(pvargSrc->bstrVal));
            if (!copy.bstrVal) return E_OUTOFMEMORY;
        } else if ((copy.vt == VT_DISPATCH || copy.vt == VT_UNKNOWN) && copy.punkVal) {
            copy.punkVal->AddRef();
        }
    }
    hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *pvargDest = copy;
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
    if (!pvarDest || !pvargSrc) return E_INVALIDARG;
    if (!(pvargSrc->vt & VT_BYREF)) return VariantCopy(pvarDest, pvargSrc);
    HRESULT hr = checkVartype(pvargSrc->vt);
    if (FAILED(hr)) return hr;
    if (!pvargSrc->byref) return E_INVALIDARG;
    const VARTYPE target = pvargSrc->vt & ~VT_BYREF;

    VARIANT result;
    VariantInit(&result);
    if (target == VT_VARIANT) {
        const VARIANT* inner = pvargSrc->pvarVal;
        if (inner->vt == (VT_VARIANT | VT_BYREF)) return E_INVALIDARG;
        hr = VariantCopyInd(&result, inner);
    } else {
        // A shallow plain variant over the referenced value, then a copy.
        VARIANT shallow;
        VariantInit(&shallow);
        if (target & VT_ARRAY) {
            shallow.parray = *pvargSrc->pparray;
        } else {
            switch (target) {
            case VT_I1:
            case VT_UI1: shallow.bVal = *pvargSrc->pbVal; break;
            case VT_I2:
            case VT_UI2:
            case VT_BOOL: std::memcpy(&shallow.iVal, pvargSrc->byref, 2); break;
            case VT_I4:
            case VT_UI4:
            case VT_INT:
            case VT_UINT:
            case VT_R4:
            case VT_ERROR: std::memcpy(&shallow.lVal, pvargSrc->byref, 4); break;
            case VT_I8:
            case VT_UI8:
            case VT_R8:
            case VT_CY:
            case VT_DATE: std::memcpy(&shallow.llVal, pvargSrc->byref, 8); break;
            case VT_BSTR: shallow.bstrVal = *pvargSrc->pbstrVal; break;
            case VT_DISPATCH:
            case VT_UNKNOWN: shallow.punkVal = *pvargSrc->ppunkVal; break;
            case VT_DECIMAL: shallow.decVal = *pvargSrc->pdecVal; break;
            default: return DISP_E_BADVARTYPE;
            }
        }
        shallow.vt = target;
        hr = VariantCopy(&result, &shallow);
    }
    if (FAILED(hr)) return hr;
    // The destination may be the source itself: clearing a by-reference
    // variant frees nothing, so the order is safe.
    hr = VariantClear(pvarDest);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    *pvarDest = result;
    return S_OK;
}

HRESULT VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID, USHORT wFlags, VARTYPE vt) {
    if (!pvargDest || !pvarSrc) return E_INVALIDARG;
    if ((vt & VT_BYREF) || FAILED(checkVartype(vt))) return DISP_E_BADVARTYPE;
    VARIANT source;
    VariantInit(&source);
    HRESULT hr = VariantCopyInd(&source, pvarSrc);
    if (FAILED(hr)) return hr;
    VARIANT result;
    VariantInit(&result);
    hr = coerce(result, source, wFlags, vt);
    VariantClear(&source);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    const HRESULT cleared = VariantClear(pvargDest);
    if (FAILED(cleared)) {
        VariantClear(&result);
        return cleared;
    }
    *pvargDest = result;
    return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
    return VariantChangeTypeEx(pvargDest, pvarSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}

namespace platform::com {

Variant::Variant(std::string_view utf8) : Variant() {
    vt = VT_BSTR;
    bstrVal = bstrFromUtf8(utf8);
}

Variant::Variant(std::u16string_view utf16) : Variant() {
    vt = VT_BSTR;
    bstrVal = bstrFromUtf16(utf16);
}

std::optional<std::string> Variant::toUtf8() const {
    Variant text;
    if (FAILED(VariantChangeType(&text, this, 0, VT_BSTR))) return std::nullopt;
    return utf8FromBstr(text.bstrVal);
}

std::optional<LONG> Variant::toLong() const {
    Variant number;
    if (FAILED(VariantChangeType(&number, this, 0, VT_I4))) return std::nullopt;
    return number.lVal;
}

}  // namespace platform::com
