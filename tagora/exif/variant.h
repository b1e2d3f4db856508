// The value type that tag elements are read and written through, with the
// automation conversions the tag members need. The COM layer maps it onto
// VARIANT one to one: the type numbers are the VARTYPE numbers, and a failed
// conversion reports the same code VariantChangeType does.
#pragma once

#include "tagora/exif/errors.h"

#include <cstdint>
#include <string>

namespace tagora {

enum class VarType : std::uint16_t {
    Empty = 0,   // VT_EMPTY
    Null = 1,    // VT_NULL
    I2 = 2,      // VT_I2
    I4 = 3,      // VT_I4
    R4 = 4,      // VT_R4
    R8 = 5,      // VT_R8
    Bstr = 8,    // VT_BSTR (UTF-16 text)
    Error = 10,  // VT_ERROR (kParamNotFound marks an omitted argument)
    Bool = 11,   // VT_BOOL (true is -1)
    I1 = 16,     // VT_I1
    UI1 = 17,    // VT_UI1
    UI2 = 18,    // VT_UI2
    UI4 = 19,    // VT_UI4
};

/// One automation value. Integer kinds (and Bool, Error) keep their value in
/// m_int, the two float kinds in m_real, text in m_text.
struct Variant {
    VarType vt = VarType::Empty;
    std::int64_t m_int = 0;
    double m_real = 0;
    std::u16string m_text;

    static Variant empty() { return {}; }
    static Variant null() { return of(VarType::Null, 0); }
    static Variant i1(std::int8_t v) { return of(VarType::I1, v); }
    static Variant ui1(std::uint8_t v) { return of(VarType::UI1, v); }
    static Variant i2(std::int16_t v) { return of(VarType::I2, v); }
    static Variant ui2(std::uint16_t v) { return of(VarType::UI2, v); }
    static Variant i4(std::int32_t v) { return of(VarType::I4, v); }
    static Variant ui4(std::uint32_t v) { return of(VarType::UI4, v); }
    static Variant boolean(bool v) { return of(VarType::Bool, v ? -1 : 0); }
    static Variant error(HResult code) { return of(VarType::Error, code); }
    /// The marker a caller passes for an omitted optional argument.
    static Variant missing() { return error(kParamNotFound); }
    static Variant r4(float v) { Variant x; x.vt = VarType::R4; x.m_real = v; return x; }
    static Variant r8(double v) { Variant x; x.vt = VarType::R8; x.m_real = v; return x; }
    static Variant text(std::u16string v) { Variant x; x.vt = VarType::Bstr; x.m_text = std::move(v); return x; }

    bool operator==(const Variant&) const = default;

private:
    static Variant of(VarType t, std::int64_t v) { Variant x; x.vt = t; x.m_int = v; return x; }
};

/// Converts in to the type to, as VariantChangeType does for these types:
/// kOk and the converted value in out; kOverflow when the value does not fit
/// the target; kTypeMismatch when it cannot be converted at all (null, error
/// values, text that is no number). Floats round half to even. Targets
/// supported: Empty, I1, UI1, I2, UI2, I4, UI4, R4, R8, Bool, Bstr.
HResult changeType(const Variant& in, VarType to, Variant& out);

}  // namespace tagora
