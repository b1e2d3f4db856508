#include "app/albumoutput/shooting_date.h"

#include <cstdio>

namespace mirofoto {
namespace {

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads one run of 1..maxDigits decimal digits at pos; false when there is none
// or it is longer.
bool readNumber(std::string_view s, std::size_t& pos, std::size_t maxDigits, int& out) {
    std::size_t n = 0;
    int value = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
        if (++n > maxDigits) return false;
        value = value * 10 + (s[pos] - '0');
        ++pos;
    }
    out = value;
    return n > 0;
}

bool expect(std::string_view s, std::size_t& pos, char c) {
    if (pos >= s.size() || s[pos] != c) return false;
    ++pos;
    return true;
}

}  // namespace

bool isValidDateTime(const DateTime& v) {
    if (v.year < 1 || v.year > 9999 || v.month < 1 || v.month > 12) return false;
    if (v.day < 1 || v.day > daysInMonth(v.year, v.month)) return false;
    return v.hour >= 0 && v.hour <= 23 && v.minute >= 0 && v.minute <= 59 && v.second >= 0 && v.second <= 59;
}

std::optional<DateTime> parseDateText(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);

    DateTime v;
    std::size_t pos = 0;
    if (!readNumber(text, pos, 4, v.year) || !expect(text, pos, '/') || !readNumber(text, pos, 2, v.month) ||
        !expect(text, pos, '/') || !readNumber(text, pos, 2, v.day))
        return std::nullopt;
    if (pos < text.size()) {
        if (!expect(text, pos, ' ')) return std::nullopt;
        while (pos < text.size() && text[pos] == ' ') ++pos;
        if (!readNumber(text, pos, 2, v.hour) || !expect(text, pos, ':') || !readNumber(text, pos, 2, v.minute))
            return std::nullopt;
        if (pos < text.size() && (!expect(text, pos, ':') || !readNumber(text, pos, 2, v.second)))
            return std::nullopt;
        if (pos != text.size()) return std::nullopt;
    }
    if (!isValidDateTime(v)) return std::nullopt;
    return v;
}

std::string formatShootingDate(const DateTime& v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d年%02d月%02d日 %02d時%02d分", v.year, v.month, v.day, v.hour, v.minute);
    return buf;
}

}  // namespace mirofoto
