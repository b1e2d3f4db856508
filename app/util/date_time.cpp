#include "app/util/date_time.h"

#include <chrono>
#include <cstdio>

namespace mirofoto {
namespace {

bool digits(std::string_view s, std::size_t pos, std::size_t count, int& value) {
    value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

bool isCalendarDate(int y, int m, int d) {
    return y >= 100 && y <= 9999 && std::chrono::year_month_day(std::chrono::year(y), std::chrono::month(unsigned(m)),
                                                                 std::chrono::day(unsigned(d)))
                                         .ok();
}

// Reads a field of one or two digits at pos; false when there is none.
bool shortField(std::string_view s, std::size_t& pos, int& value) {
    std::size_t n = 0;
    while (n < 2 && pos + n < s.size() && s[pos + n] >= '0' && s[pos + n] <= '9') ++n;
    if (n == 0 || !digits(s, pos, n, value)) return false;
    pos += n;
    return true;
}

bool isTimeOfDay(const DateTime& d) { return d.hour <= 23 && d.minute <= 59 && d.second <= 59; }

}  // namespace

std::optional<DateTime> parseDateText(std::string_view text) {
    // yyyy/mm/dd hh:mm:ss
    if (text.size() != 19 || text[4] != '/' || text[7] != '/' || text[10] != ' ' || text[13] != ':' ||
        text[16] != ':')
        return std::nullopt;
    DateTime d;
    if (!digits(text, 0, 4, d.year) || !digits(text, 5, 2, d.month) || !digits(text, 8, 2, d.day) ||
        !digits(text, 11, 2, d.hour) || !digits(text, 14, 2, d.minute) || !digits(text, 17, 2, d.second))
        return std::nullopt;
    if (!isCalendarDate(d.year, d.month, d.day) || !isTimeOfDay(d)) return std::nullopt;
    return d;
}

std::string dateText(const DateTime& v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", v.year, v.month, v.day, v.hour, v.minute, v.second);
    return buf;
}

std::optional<DateTime> parseShootingDate(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    const std::string_view s = text.substr(first, text.find_last_not_of(' ') - first + 1);
    DateTime d;
    if (s.size() < 5 || !digits(s, 0, 4, d.year)) return std::nullopt;
    const char separator = s[4];
    if (separator != ':' && separator != '/' && separator != '-') return std::nullopt;
    std::size_t pos = 5;
    if (!shortField(s, pos, d.month) || pos >= s.size() || s[pos++] != separator || !shortField(s, pos, d.day))
        return std::nullopt;
    if (pos < s.size()) {
        // The time stands apart from the date by at least one space.
        if (s[pos] != ' ') return std::nullopt;
        while (s[pos] == ' ') ++pos;  // the text ends in no space
        if (!shortField(s, pos, d.hour) || pos >= s.size() || s[pos++] != ':' || !shortField(s, pos, d.minute))
            return std::nullopt;
        if (pos < s.size() && (s[pos++] != ':' || !shortField(s, pos, d.second))) return std::nullopt;
        if (pos != s.size()) return std::nullopt;
    }
    if (!isCalendarDate(d.year, d.month, d.day) || !isTimeOfDay(d)) return std::nullopt;
    return d;
}

std::string formatShootingDate(const DateTime& v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d年%02d月%02d日 %02d時%02d分", v.year, v.month, v.day, v.hour, v.minute);
    return buf;
}

}  // namespace mirofoto
