#include <gtest/gtest.h>

#include "scan/dayserial.h"

namespace {

struct KnownDay {
    int year, month, day;
    std::int32_t serial;
};

// Serials as the date pickers and spreadsheets count them.
const KnownDay kKnownDays[] = {
    {1899, 12, 30, 0},     {1899, 12, 31, 1},     {1900, 1, 1, 2},      {1900, 3, 1, 61},
    {1970, 1, 1, 25569},   {1980, 1, 1, 29221},   {2000, 2, 29, 36585}, {2000, 3, 1, 36586},
    {2024, 12, 31, 45657}, {2107, 12, 31, 75971}, {1, 1, 1, -693593},   {9999, 12, 31, 2958465},
};

TEST(DaySerial, KnownDays)
{
    for (const KnownDay& k : kKnownDays) {
        SCOPED_TRACE(testing::Message() << k.year << '-' << k.month << '-' << k.day);
        ASSERT_EQ(daySerial(k.year, k.month, k.day), k.serial);
        const auto back = calendarDay(k.serial);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, (CalendarDay{k.year, k.month, k.day}));
    }
}

TEST(DaySerial, ConsecutiveDaysAcrossCenturies)
{
    // Every day from 1599 to 2401 follows the one before by one, and comes back
    // to itself: catches a wrong month length or a wrong century rule.
    std::int32_t expected = *daySerial(1599, 1, 1);
    for (int year = 1599; year <= 2401; ++year)
        for (int month = 1; month <= 12; ++month)
            for (int day = 1; day <= daysInMonth(year, month); ++day) {
                const auto serial = daySerial(year, month, day);
                ASSERT_EQ(serial, expected) << year << '-' << month << '-' << day;
                ASSERT_EQ(calendarDay(expected), (CalendarDay{year, month, day}));
                ++expected;
            }
}

TEST(DaySerial, LeapYears)
{
    EXPECT_TRUE(isLeapYear(2000));
    EXPECT_TRUE(isLeapYear(2024));
    EXPECT_FALSE(isLeapYear(1900));
    EXPECT_FALSE(isLeapYear(2100));
    EXPECT_FALSE(isLeapYear(2023));
    EXPECT_TRUE(daySerial(2024, 2, 29).has_value());
    EXPECT_TRUE(daySerial(2000, 2, 29).has_value());
    EXPECT_FALSE(daySerial(1900, 2, 29).has_value());
    EXPECT_FALSE(daySerial(2023, 2, 29).has_value());
}

TEST(DaySerial, DaysThatDoNotExistHaveNoSerial)
{
    const int invalid[][3] = {{0, 1, 1},     {10000, 1, 1}, {2024, 0, 1},  {2024, 13, 1}, {2024, 1, 0},
                              {2024, 1, 32}, {2024, 4, 31}, {2023, 2, 29}, {1980, 0, 0},  {-5, 6, 1}};
    for (const auto& d : invalid)
        EXPECT_FALSE(daySerial(d[0], d[1], d[2]).has_value()) << d[0] << '-' << d[1] << '-' << d[2];
    EXPECT_FALSE(calendarDay(-693594).has_value());
    EXPECT_FALSE(calendarDay(2958466).has_value());
}

}  // namespace
