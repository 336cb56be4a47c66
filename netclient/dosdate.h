#pragma once

// The DOS layout of dates and times that the NetWare client uses in its
// records:
//   date (16 bits): year - 1980 in bits 9-15, month in bits 5-8, day in bits 0-4
//   time (16 bits): hours in bits 11-15, minutes in bits 5-10, seconds / 2 in bits 0-4
//   date and time (32 bits): date << 16 | time
// A date the layout cannot hold (before 1980, after 2107, or not a calendar
// date) packs as 0, and 0 unpacks to day 0, month 0: no valid calendar date.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string_view>

#include "netclient/nwclient.h"

namespace dosdate {

bool isCalendarDate(int year, int month, int day);

// 0 when the date does not fit the layout or is not a calendar date.
std::uint16_t packDate(int year, int month, int day);
// Seconds are kept to two-second steps; 0 when out of range.
std::uint16_t packTime(int hours, int minutes, int seconds);

// A host time stamp in local time. The date and time are both 0 when the
// date does not fit.
std::uint16_t packLocalDate(std::time_t when);
std::uint32_t packLocalDateTime(std::time_t when);

void unpackDate(std::uint16_t packed, DateRecord& date);
void unpackDateTime(std::uint32_t packed, DateRecord& date, TimeRecord& time);

// "YYYY-MM-DD" (exactly that shape, blanks around it allowed) to a packed date;
// nothing when the text is not such a date. A calendar date outside the
// layout's years gives 0.
std::optional<std::uint16_t> parseIsoDate(std::string_view text);

}  // namespace dosdate
