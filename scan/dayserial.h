#pragma once

// Day serials: a calendar day as the number of days since 30 December 1899
// (1 January 1970 is 25569), the form the date pickers and the settings file
// hold dates in. Gregorian calendar throughout, years 1 to 9999.

#include <cstdint>
#include <optional>

struct CalendarDay {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..length of the month
    friend bool operator==(const CalendarDay&, const CalendarDay&) = default;
};

inline constexpr std::int32_t kUnixEpochDaySerial = 25569;

bool isLeapYear(int year);
// 0 for a month outside 1..12.
int daysInMonth(int year, int month);
// Nothing for a day that does not exist: year outside 1..9999, month outside
// 1..12, day outside 1..length of the month (29 February only in leap years).
std::optional<std::int32_t> daySerial(int year, int month, int day);
// The calendar day of a serial; nothing outside 1 January 1 .. 31 December 9999.
std::optional<CalendarDay> calendarDay(std::int32_t serial);
