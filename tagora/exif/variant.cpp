#include "tagora/exif/variant.h"

#include "platform/automation_number.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace tagora {
namespace {

bool isInteger(VarType t) {
    switch (t) {
    case VarType::I1: case VarType::UI1: case VarType::I2: case VarType::UI2:
    case VarType::I4: case VarType::UI4: case VarType::Bool:
        return true;
    default:
        return false;
    }
}

struct Range {
    std::int64_t lo, hi;
};

Range rangeOf(VarType t) {
    switch (t) {
    case VarType::I1: return {INT8_MIN, INT8_MAX};
    case VarType::UI1: return {0, UINT8_MAX};
    case VarType::I2: return {INT16_MIN, INT16_MAX};
    case VarType::UI2: return {0, UINT16_MAX};
    case VarType::I4: return {INT32_MIN, INT32_MAX};
    case VarType::UI4: return {0, UINT32_MAX};
    default: return {0, 0};
    }
}

std::u16string ascii16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// Number from any convertible source; a text that is no number is a type
// mismatch.
HResult toDouble(const Variant& in, double& out) {
    switch (in.vt) {
    case VarType::Empty: out = 0; return kOk;
    case VarType::R4: case VarType::R8: out = in.m_real; return kOk;
    case VarType::Bstr: {
        // The runtime's own rules, shared with the COM layer's conversions.
        platform::AutomationNumber n;
        switch (platform::parseAutomationNumber(in.m_text, n)) {
        case platform::NumberText::NotANumber: return kTypeMismatch;
        case platform::NumberText::Overflow: return kOverflow;
        case platform::NumberText::Ok: break;
        }
        out = n.value();
        return kOk;
    }
    default:
        if (isInteger(in.vt)) { out = static_cast<double>(in.m_int); return kOk; }
        return kTypeMismatch;
    }
}

std::string formatReal(double v, int digits) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v < 0 ? "-1.#INF" : "1.#INF";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", digits, v);
    return buf;
}

}  // namespace

HResult changeType(const Variant& in, VarType to, Variant& out) {
    if (in.vt == to) {
        out = in;
        return kOk;
    }
    if (to == VarType::Empty) {
        out = Variant::empty();
        return kOk;
    }
    if (in.vt == VarType::Null || in.vt == VarType::Error)
        return kTypeMismatch;

    if (to == VarType::Bstr) {
        std::string s;
        switch (in.vt) {
        case VarType::Empty: break;
        case VarType::R4: s = formatReal(in.m_real, 7); break;
        case VarType::R8: s = formatReal(in.m_real, 15); break;
        default:
            if (!isInteger(in.vt))
                return kTypeMismatch;
            s = std::to_string(in.m_int);
        }
        out = Variant::text(ascii16(s));
        return kOk;
    }

    if (to == VarType::Bool) {
        double v;
        const HResult hr = toDouble(in, v);
        if (hr != kOk)
            return hr;
        out = Variant::boolean(v != 0);
        return kOk;
    }

    if (to == VarType::R4 || to == VarType::R8) {
        double v;
        const HResult hr = toDouble(in, v);
        if (hr != kOk)
            return hr;
        if (to == VarType::R4) {
            if (std::isfinite(v) && std::fabs(v) > FLT_MAX)
                return kOverflow;
            out = Variant::r4(static_cast<float>(v));
        } else {
            out = Variant::r8(v);
        }
        return kOk;
    }

    if (!isInteger(to))
        return kTypeMismatch;
    const Range r = rangeOf(to);
    std::int64_t value;
    if (in.vt == VarType::Bool && r.lo == 0) {
        // The runtime stores true into an unsigned type as all bits set.
        value = in.m_int ? r.hi : 0;
    } else if (isInteger(in.vt)) {
        value = in.m_int;
    } else {
        double v;
        const HResult hr = toDouble(in, v);
        if (hr != kOk)
            return hr;
        if (!std::isfinite(v))
            return kOverflow;
        // Round half to even, as the automation conversions do.
        const double rounded = std::nearbyint(v);
        if (rounded < static_cast<double>(r.lo) || rounded > static_cast<double>(r.hi))
            return kOverflow;
        value = static_cast<std::int64_t>(rounded);
    }
    if (value < r.lo || value > r.hi)
        return kOverflow;
    out = Variant();
    out.vt = to;
    out.m_int = value;
    return kOk;
}

}  // namespace tagora
