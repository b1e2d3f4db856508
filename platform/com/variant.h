// An owning VARIANT for C++ code, and the omitted-argument marker.
#pragma once

#include "platform/com/com.h"

#include <optional>
#include <string>
#include <string_view>

namespace platform::com {

/// A VARIANT that clears itself. It adds no members, so a Variant is a
/// VARIANT and arrays of them can be handed to DISPPARAMS.
class Variant : public VARIANT {
public:
    Variant() { VariantInit(this); }
    Variant(LONG v) : Variant() { vt = VT_I4, lVal = v; }
    Variant(double v) : Variant() { vt = VT_R8, dblVal = v; }
    Variant(bool v) : Variant() { vt = VT_BOOL, boolVal = v ? VARIANT_TRUE : VARIANT_FALSE; }
    /// A VT_BSTR from UTF-8 text.
    Variant(std::string_view utf8);
    Variant(const char* utf8) : Variant(std::string_view(utf8)) {}
    Variant(std::u16string_view utf16);
    /// Shares the object (adds a reference).
    Variant(IDispatch* p) : Variant() {
        vt = VT_DISPATCH, pdispVal = p;
        if (p) p->AddRef();
    }
    Variant(const Variant& o) : Variant() { VariantCopy(this, &o); }
    Variant(Variant&& o) noexcept : Variant() { *static_cast<VARIANT*>(this) = o, VariantInit(&o); }
    /// A deep copy of a plain VARIANT (by-reference values are resolved).
    static Variant copyOf(const VARIANT& v) {
        Variant r;
        VariantCopyInd(&r, &v);
        return r;
    }
    /// Takes over a VARIANT the caller owns; the source is left empty.
    static Variant adopt(VARIANT& v) {
        Variant r;
        *static_cast<VARIANT*>(&r) = v;
        VariantInit(&v);
        return r;
    }
    /// A VT_ERROR holding the code.
    static Variant error(SCODE code) {
        Variant r;
        r.vt = VT_ERROR, r.scode = code;
        return r;
    }
    /// What a caller passes for an optional argument it leaves out.
    static Variant missing() { return error(DISP_E_PARAMNOTFOUND); }

    ~Variant() { VariantClear(this); }
    Variant& operator=(const Variant& o) {
        if (this != &o) VariantCopy(this, &o);
        return *this;
    }
    Variant& operator=(Variant&& o) noexcept {
        if (this != &o) {
            VariantClear(this);
            *static_cast<VARIANT*>(this) = o;
            VariantInit(&o);
        }
        return *this;
    }

    void clear() { VariantClear(this); }
    /// Gives the value away; this variant is empty afterwards.
    VARIANT detach() {
        VARIANT v = *this;
        VariantInit(this);
        return v;
    }
    /// Converts this variant in place.
    HRESULT changeType(VARTYPE type, USHORT flags = 0) { return VariantChangeType(this, this, flags, type); }
    /// The value converted to text, or nothing when it does not convert.
    std::optional<std::string> toUtf8() const;
    /// The value converted to a 32-bit integer, or nothing.
    std::optional<LONG> toLong() const;
    bool isMissing() const { return vt == VT_ERROR && scode == DISP_E_PARAMNOTFOUND; }
};

static_assert(sizeof(Variant) == sizeof(VARIANT));

}  // namespace platform::com
