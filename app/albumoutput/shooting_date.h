// The shooting date of a picture as the album pages show it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mirofoto {

/// A calendar date and time of day (Gregorian, no time zone). A picture
/// without a shooting date holds an empty std::optional<DateTime>.
struct DateTime {
    int year = 0;
    int month = 0;   ///< 1 to 12
    int day = 0;     ///< 1 to the length of the month
    int hour = 0;    ///< 0 to 23
    int minute = 0;  ///< 0 to 59
    int second = 0;  ///< 0 to 59

    bool operator==(const DateTime&) const = default;
};

/// True when the fields name a real moment: year 1 to 9999, a month and day
/// that exist in it (leap years counted), a time of day within 00:00:00 and
/// 23:59:59.
bool isValidDateTime(const DateTime& value);

/// Reads the date text the EXIF date reader gives ("2004/05/06 12:34:56").
/// The time may be left out or given without seconds; every part may have
/// fewer digits ("2004/5/6 7:08"). Blanks around the text are ignored.
/// Empty optional for any other text and for a date that does not exist.
std::optional<DateTime> parseDateText(std::string_view text);

/// The caption form of a shooting date: "yyyy年mm月dd日 hh時nn分", every part
/// zero-padded (year to four digits, the others to two), 24-hour clock.
std::string formatShootingDate(const DateTime& value);

}  // namespace mirofoto
