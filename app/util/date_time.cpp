#include "app/util/date_time.h"

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

bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

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
    if (d.year < 100 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > daysInMonth(d.year, d.month))
        return std::nullopt;
    if (d.hour > 23 || d.minute > 59 || d.second > 59) return std::nullopt;
    return d;
}

std::string formatShootingDate(const DateTime& v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d年%02d月%02d日 %02d時%02d分", v.year, v.month, v.day, v.hour, v.minute);
    return buf;
}

}  // namespace mirofoto
