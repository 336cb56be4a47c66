// Calendar days to day serials and back, through the days of the civil calendar
// counted from 1 January 1970.

#include "scan/dayserial.h"

namespace {

constexpr int kMinYear = 1;
constexpr int kMaxYear = 9999;

// Days from 1 March of year 0 (proleptic Gregorian), counted in 400-year eras
// so that no table and no loop is needed.
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;  // days since 1970-01-01
}

constexpr CalendarDay civilFromDays(std::int64_t z)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
    return {static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
}

static_assert(daysFromCivil(1970, 1, 1) == 0);
static_assert(daysFromCivil(1899, 12, 30) == -kUnixEpochDaySerial);

}  // namespace

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month)
{
    static constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    if (month == 2 && isLeapYear(year))
        return 29;
    return kLengths[month - 1];
}

std::optional<std::int32_t> daySerial(int year, int month, int day)
{
    if (year < kMinYear || year > kMaxYear || day < 1 || day > daysInMonth(year, month))
        return std::nullopt;
    return static_cast<std::int32_t>(daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                                     kUnixEpochDaySerial);
}

std::optional<CalendarDay> calendarDay(std::int32_t serial)
{
    static const std::int32_t first = *daySerial(kMinYear, 1, 1);
    static const std::int32_t last = *daySerial(kMaxYear, 12, 31);
    if (serial < first || serial > last)
        return std::nullopt;
    return civilFromDays(static_cast<std::int64_t>(serial) - kUnixEpochDaySerial);
}
