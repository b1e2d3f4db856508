// A calendar date and time of day, as the album shows shooting dates.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mirofoto {

struct DateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;

    bool operator==(const DateTime&) const = default;
};

/// The caption form of a shooting date: "yyyy年mm月dd日 hh時nn分", every part
/// zero-padded (year to four digits, the others to two), 24-hour clock.
std::string formatShootingDate(const DateTime& value);

/// Parses "yyyy/mm/dd hh:mm:ss" strictly: exactly that layout, a real
/// Gregorian date (years 100 to 9999) and a real time of day. Nothing else
/// is accepted, so EXIF's "0000:00:00 00:00:00" placeholder means no date.
std::optional<DateTime> parseDateText(std::string_view text);

/// The "yyyy/mm/dd hh:mm:ss" text of a date, the form parseDateText reads.
std::string dateText(const DateTime& value);

/// Parses a shooting date as cameras and editors write it: spaces around it
/// are ignored; a four-digit year, month and day separated by ":", "/" or
/// "-" (the same one twice), optionally followed by spaces and hour and
/// minute, with or without seconds, separated by ":". Every field after the
/// year has one or two digits; a missing time is midnight and missing
/// seconds are 0. The date must exist (years 100 to 9999) and the time be a
/// time of day; anything else, EXIF's "0000:00:00 00:00:00" placeholder
/// included, is no date.
std::optional<DateTime> parseShootingDate(std::string_view text);

}  // namespace mirofoto
