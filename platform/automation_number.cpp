#include "platform/automation_number.h"

#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace platform {
namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u3000'; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

NumberText parseHexOrOctal(const std::string& s, AutomationNumber& out) {
    const bool hex = s[1] == 'H' || s[1] == 'h';
    const unsigned base = hex ? 16 : 8;
    if (s.size() == 2) return NumberText::NotANumber;
    std::uint64_t v = 0;
    for (std::size_t i = 2; i < s.size(); ++i) {
        const char c = s[i];
        unsigned d = base;
        if (isDigit(c)) d = unsigned(c - '0');
        else if (hex && c >= 'a' && c <= 'f') d = unsigned(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F') d = unsigned(c - 'A' + 10);
        if (d >= base) return NumberText::NotANumber;
        v = v * base + d;
        if (v > 0xFFFFFFFFu) return NumberText::Overflow;
    }
    const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    out = AutomationNumber{};
    out.negative = value < 0;
    out.magnitude = value < 0 ? std::uint64_t(-std::int64_t(value)) : std::uint64_t(value);
    return NumberText::Ok;
}

}  // namespace

NumberText parseAutomationNumber(std::u16string_view text, AutomationNumber& out) {
    std::size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    std::string s;
    for (std::size_t i = b; i < e; ++i) {
        if (text[i] > 0x7F) return NumberText::NotANumber;
        s += static_cast<char>(text[i]);
    }
    if (s.empty()) return NumberText::NotANumber;
    if (s.size() >= 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o'))
        return parseHexOrOctal(s, out);

    std::size_t i = 0;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
    const std::size_t integerStart = i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    bool real = false;
    if (i < s.size() && s[i] == '.') {
        real = true;
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return NumberText::NotANumber;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        real = true;
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t exponentDigits = 0;
        while (i < s.size() && isDigit(s[i])) ++i, ++exponentDigits;
        if (exponentDigits == 0) return NumberText::NotANumber;
    }
    if (i != s.size()) return NumberText::NotANumber;

    if (!real) {
        std::uint64_t v = 0;
        bool fits = true;
        for (std::size_t k = integerStart; k < s.size() && fits; ++k) {
            const unsigned d = unsigned(s[k] - '0');
            fits = v <= (UINT64_MAX - d) / 10;
            v = v * 10 + d;
        }
        if (fits) {
            out = AutomationNumber{};
            out.negative = negative && v != 0;
            out.magnitude = v;
            return NumberText::Ok;
        }
    }
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    const double d = strtod_l(s.c_str(), nullptr, cLocale);
    if (std::isinf(d)) return NumberText::Overflow;
    out = AutomationNumber{};
    out.exact = false;
    out.real = d;
    return NumberText::Ok;
}

}  // namespace platform
