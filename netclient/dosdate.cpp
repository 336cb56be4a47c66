// Packing and unpacking the DOS layout of dates and times (see dosdate.h).

#include "netclient/dosdate.h"

namespace dosdate {

namespace {

constexpr int kFirstYear = 1980;
constexpr int kLastYear = 1980 + 127;

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

bool localParts(std::time_t when, std::tm& parts) { return localtime_r(&when, &parts) != nullptr; }

}  // namespace

bool isCalendarDate(int year, int month, int day)
{
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month);
}

std::uint16_t packDate(int year, int month, int day)
{
    if (year < kFirstYear || year > kLastYear || !isCalendarDate(year, month, day))
        return 0;
    return static_cast<std::uint16_t>((year - kFirstYear) << 9 | month << 5 | day);
}

std::uint16_t packTime(int hours, int minutes, int seconds)
{
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return 0;
    return static_cast<std::uint16_t>(hours << 11 | minutes << 5 | seconds / 2);
}

std::uint16_t packLocalDate(std::time_t when)
{
    std::tm parts{};
    if (!localParts(when, parts))
        return 0;
    return packDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
}

std::uint32_t packLocalDateTime(std::time_t when)
{
    std::tm parts{};
    if (!localParts(when, parts))
        return 0;
    const std::uint16_t date = packDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
    if (date == 0)
        return 0;
    // A leap second (tm_sec 60) is kept in the last two-second step of its minute.
    const int seconds = parts.tm_sec > 59 ? 59 : parts.tm_sec;
    return static_cast<std::uint32_t>(date) << 16 | packTime(parts.tm_hour, parts.tm_min, seconds);
}

void unpackDate(std::uint16_t packed, DateRecord& date)
{
    date.day = static_cast<std::uint8_t>(packed & 0x1F);
    date.month = static_cast<std::uint8_t>(packed >> 5 & 0x0F);
    date.year = static_cast<std::uint16_t>(kFirstYear + (packed >> 9));
}

void unpackDateTime(std::uint32_t packed, DateRecord& date, TimeRecord& time)
{
    unpackDate(static_cast<std::uint16_t>(packed >> 16), date);
    const auto packedTime = static_cast<std::uint16_t>(packed & 0xFFFF);
    time.hours = static_cast<std::uint8_t>(packedTime >> 11);
    time.minutes = static_cast<std::uint8_t>(packedTime >> 5 & 0x3F);
    time.seconds = static_cast<std::uint8_t>((packedTime & 0x1F) * 2);
}

std::optional<std::uint16_t> parseIsoDate(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\0'))
        text.remove_suffix(1);
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    int fields[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8};
    const int lengths[3] = {4, 2, 2};
    for (int f = 0; f < 3; ++f) {
        for (int i = 0; i < lengths[f]; ++i) {
            const char c = text[static_cast<std::size_t>(starts[f] + i)];
            if (c < '0' || c > '9')
                return std::nullopt;
            fields[f] = fields[f] * 10 + (c - '0');
        }
    }
    if (!isCalendarDate(fields[0], fields[1], fields[2]))
        return std::nullopt;
    return packDate(fields[0], fields[1], fields[2]);
}

}  // namespace dosdate
