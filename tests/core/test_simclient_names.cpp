// The name rules of the simulated volumes and the DOS date layout.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "netclient/dosdate.h"
#include "netclient/netnames.h"
#include "support/core_tempworkstation.h"

namespace {

TEST(NetWareNames, WhatAVolumeCanHold)
{
    EXPECT_TRUE(netnames::isNetWareName("Report 2024 (final).xlsx"));
    EXPECT_TRUE(netnames::isNetWareName("caf\xC3\xA9"));
    EXPECT_TRUE(netnames::isNetWareName("\xF0\x9F\x98\x80"));  // four-byte UTF-8
    EXPECT_TRUE(netnames::isNetWareName(std::string(255, 'x')));
    for (const std::string& bad :
         {std::string(), std::string("."), std::string(".."), std::string(256, 'x'), std::string("a\nb"),
          std::string("a\0b", 3), std::string("a/b"), std::string("a\\b"), std::string("a:b"), std::string("a*"),
          std::string("a?"), std::string("\"a\""), std::string("<a>"), std::string("a|b"), std::string("\xC3"),
          std::string("\xC1\xBF"), std::string("\xF4\x90\x80\x80"), std::string("\xED\xBF\xBF")})
        EXPECT_FALSE(netnames::isNetWareName(bad)) << bad;
    EXPECT_TRUE(netnames::isNetWarePattern("*.T?T"));
    EXPECT_FALSE(netnames::isNetWarePattern("a:*"));
}

TEST(NetWareNames, EightDotThreeNames)
{
    for (const char* good : {"A", "README.TXT", "readme.txt", "12345678.123", "A~1.B", "$IDLE$.{}", "X.Y"})
        EXPECT_TRUE(netnames::isShortName(good)) << good;
    for (const char* bad : {"", ".profile", "123456789.TXT", "A.TEXT", "A.B.C", "A B.TXT", "A.", "caf\xC3\xA9.txt",
                            "A+B.TXT", "A,B", "[A].TXT"})
        EXPECT_FALSE(netnames::isShortName(bad)) << bad;
}

TEST(NetWareNames, ShortNamesOfAFolder)
{
    struct Case {
        std::vector<std::string_view> names;
        std::vector<std::string> shortNames;
    };
    const Case cases[] = {
        {{"readme.txt"}, {"README.TXT"}},
        {{"Quarterly Report.xlsx", "Quarterly Review.xlsx"}, {"QUARTE~1.XLS", "QUARTE~2.XLS"}},
        {{".profile", ".bashrc.local"}, {"PROFIL~1", "BASHRC~1.LOC"}},
        {{"a.b.c"}, {"AB~1.C"}},
        {{"\xE6\x97\xA5\xE6\x9C\xAC.txt"}, {"_~1.TXT"}},
        // An 8.3 name keeps its own even when a long name comes first.
        {{"Report 2024.txt", "REPORT~1.TXT"}, {"REPORT~2.TXT", "REPORT~1.TXT"}},
        // Case twins: the first keeps the name.
        {{"A.TXT", "a.txt"}, {"A.TXT", "A~1.TXT"}},
        // A number an 8.3 name holds is skipped, and each stem and extension
        // counts on from its own last number.
        {{"REPORT~2.TXT", "Report 1.txt", "Report 2.txt", "Report 3.doc", "Report 4.txt"},
         {"REPORT~2.TXT", "REPORT~1.TXT", "REPORT~3.TXT", "REPORT~1.DOC", "REPORT~4.TXT"}},
        // Names of no short-name character at all, with and without an extension.
        {{"+++", "+++.txt", "+.+"}, {"_~1", "_~1.TXT", "_~2"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(netnames::assignShortNames(c.names), c.shortNames) << c.names.front();
}

TEST(NetWareNames, ManySimilarNamesStayUniqueAndShort)
{
    std::vector<std::string> storage;
    for (int i = 0; i < 12000; ++i)
        storage.push_back("Holiday photo " + std::to_string(i) + ".jpeg");
    const std::vector<std::string_view> names(storage.begin(), storage.end());
    const std::vector<std::string> shortNames = netnames::assignShortNames(names);
    std::set<std::string> seen(shortNames.begin(), shortNames.end());
    EXPECT_EQ(seen.size(), names.size());
    for (const std::string& name : shortNames)
        EXPECT_TRUE(netnames::isShortName(name)) << name;
    // The stem gives way to the number as it grows.
    EXPECT_EQ(shortNames[0], "HOLIDA~1.JPE");
    EXPECT_EQ(shortNames[8], "HOLIDA~9.JPE");
    EXPECT_EQ(shortNames[9], "HOLID~10.JPE");
    EXPECT_EQ(shortNames[11999], "HO~12000.JPE");
}

TEST(DosDates, PackOnlyWhatTheLayoutHolds)
{
    EXPECT_EQ(dosdate::packDate(1980, 1, 1), 0x0021);
    EXPECT_EQ(dosdate::packDate(2107, 12, 31), 127 << 9 | 12 << 5 | 31);
    EXPECT_EQ(dosdate::packDate(2024, 2, 29), 44 << 9 | 2 << 5 | 29);
    EXPECT_EQ(dosdate::packDate(1979, 12, 31), 0);
    EXPECT_EQ(dosdate::packDate(2108, 1, 1), 0);
    EXPECT_EQ(dosdate::packDate(2023, 2, 29), 0);
    EXPECT_EQ(dosdate::packDate(2100, 2, 29), 0);
    EXPECT_EQ(dosdate::packDate(2000, 2, 29), 20 << 9 | 2 << 5 | 29);
    EXPECT_EQ(dosdate::packDate(2024, 13, 1), 0);
    EXPECT_EQ(dosdate::packDate(2024, 4, 31), 0);
    EXPECT_EQ(dosdate::packTime(23, 59, 59), 23 << 11 | 59 << 5 | 29);
    EXPECT_EQ(dosdate::packTime(24, 0, 0), 0);
}

TEST(DosDates, UnpackingGivesBackWhatWasPacked)
{
    DateRecord date{};
    TimeRecord time{};
    dosdate::unpackDateTime(
        static_cast<std::uint32_t>(dosdate::packDate(1999, 12, 31)) << 16 | dosdate::packTime(7, 8, 10), date, time);
    EXPECT_EQ(date.year, 1999);
    EXPECT_EQ(date.month, 12);
    EXPECT_EQ(date.day, 31);
    EXPECT_EQ(time.hours, 7);
    EXPECT_EQ(time.minutes, 8);
    EXPECT_EQ(time.seconds, 10);
    dosdate::unpackDate(0, date);
    EXPECT_FALSE(dosdate::isCalendarDate(date.year, date.month, date.day));
    EXPECT_EQ(date.day, 0);
    EXPECT_EQ(date.month, 0);
}

TEST(DosDates, HostTimesInLocalTime)
{
    ScopedTimeZone zone("America/New_York");
    // 2024-03-10 01:59:59 EST; two seconds later it is 03:00:01 EDT.
    const std::time_t beforeChange = TempWorkstation::localTime(2024, 3, 10, 1, 59, 59);
    EXPECT_EQ(dosdate::packLocalDateTime(beforeChange) & 0xFFFF, dosdate::packTime(1, 59, 58));
    EXPECT_EQ(dosdate::packLocalDateTime(beforeChange + 2) & 0xFFFF, dosdate::packTime(3, 0, 0));
    EXPECT_EQ(dosdate::packLocalDate(0), 0);  // 1969-12-31 in New York
}

TEST(DosDates, IsoDatesOfTheCreationAttribute)
{
    EXPECT_EQ(dosdate::parseIsoDate("1999-12-31"), dosdate::packDate(1999, 12, 31));
    EXPECT_EQ(dosdate::parseIsoDate(" 2024-02-29 "), dosdate::packDate(2024, 2, 29));
    EXPECT_EQ(dosdate::parseIsoDate("1970-01-01"), 0);  // a date, but not one the layout holds
    for (const char* bad : {"", "1999-1-31", "1999/12/31", "31.12.1999", "1999-02-30", "1999-12-31x", "+999-12-31"})
        EXPECT_FALSE(dosdate::parseIsoDate(bad).has_value()) << bad;
}

}  // namespace
