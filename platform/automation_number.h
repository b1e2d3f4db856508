// Text read as a number by the rules of the automation runtime's
// conversions. Kept free of COM so that the EXIF model, which knows no COM,
// reads text exactly as VariantChangeType does.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

/// A number read from text: an integer held exactly, or a real number.
struct AutomationNumber {
    bool exact = true;  ///< an integer: negative and magnitude hold it
    bool negative = false;
    std::uint64_t magnitude = 0;
    double real = 0;  ///< the value when not exact

    double value() const {
        if (!exact) return real;
        const double m = static_cast<double>(magnitude);
        return negative ? -m : m;
    }
};

enum class NumberText { Ok, NotANumber, Overflow };

/// Reads the text as the automation runtime does. Blanks around it (space,
/// tab, CR, LF, the ideographic space) are ignored. Then either a decimal
/// number: an optional sign, digits with an optional fraction, an optional
/// exponent ("1e3"), "." as the decimal point whatever the locale; or "&H"
/// and up to 8 hexadecimal digits, "&O" and up to 11 octal digits, a 32-bit
/// value read as signed ("&HFFFFFFFF" is -1). Integers are exact up to
/// 2^64 - 1; larger ones and anything with a fraction or exponent are real.
/// Overflow for a real beyond the double range or a hexadecimal or octal
/// value beyond 32 bits; NotANumber for anything else.
NumberText parseAutomationNumber(std::u16string_view text, AutomationNumber& out);

}  // namespace platform
