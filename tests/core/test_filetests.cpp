#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "scan/dayserial.h"
#include "scan/filetests.h"
#include "support/core_mocknwclient.h"

using ::testing::_;
using ::testing::DoAll;
using ::testing::NiceMock;
using ::testing::Return;
using ::testing::SetArgPointee;

namespace {

struct SizeCase {
    std::int32_t mode;
    double typed;
    std::uint32_t size;
    bool passes;
};

TEST(SizeTest, Table)
{
    const SizeCase cases[] = {
        // Equal sizes pass both Greater Than and Less Than: they mean "or equal".
        {1, 100, 100, true},
        {1, 100, 99, false},
        {1, 100, 101, true},
        {2, 100, 100, true},
        {2, 100, 101, false},
        {2, 100, 0, true},
        {3, 100, 100, true},
        {3, 100, 101, false},
        {3, 100, 99, false},
        // The typed value is compared exactly, not as a float.
        {3, 16777217, 16777217, true},
        {3, 16777217, 16777216, false},
        {1, 16777217, 16777216, false},
        {2, 16777215, 16777216, false},
        // Largest accepted value and the largest size the record holds.
        {1, 2147483647, 0xFFFFFFFFu, true},
        {3, 2147483647, 2147483647, true},
        {2, 2147483647, 2147483648u, false},
        // A negative value passes every file Greater Than and none otherwise.
        {1, -5, 0, true},
        {2, -5, 0, false},
        {3, -5, 0, false},
        // No size test.
        {0, 100, 5, true},
        {0, 0, 0, true},
    };
    for (const SizeCase& c : cases)
        EXPECT_EQ(sizeTestPasses(c.mode, c.typed, c.size), c.passes)
            << "mode " << c.mode << " typed " << c.typed << " size " << c.size;
}

struct OwnerCase {
    const char* item;
    const char* owner;
    bool matches;
};

TEST(OwnerTest, ItemsAgainstOwnerNames)
{
    const OwnerCase cases[] = {
        {"JSMITH.SALES.ACME", "JSMITH.SALES.ACME", true},
        {"jsmith.sales.acme", "JSMITH.SALES.ACME", true},
        {"JSMITH.SALES.ACME", "jsmith.sales.acme", true},
        // A container selects everything inside it, at any depth.
        {"SALES.ACME", "JSMITH.SALES.ACME", true},
        {"sales.acme", "JSMITH.SALES.ACME", true},
        {"ACME", "JSMITH.SALES.ACME", true},
        // A tail inside a name component does not.
        {"SMITH.SALES.ACME", "JSMITH.SALES.ACME", false},
        {"CME", "JSMITH.SALES.ACME", false},
        {"ALES.ACME", "JSMITH.SALES.ACME", false},
        // The front of a name is no match.
        {"JSMITH", "JSMITH.SALES.ACME", false},
        {"JSMITH.SALES", "JSMITH.SALES.ACME", false},
        // Longer than the owner, or empty.
        {"X.JSMITH.SALES.ACME", "JSMITH.SALES.ACME", false},
        {"", "JSMITH.SALES.ACME", false},
        {".ACME", "JSMITH.SALES.ACME", false},
        // Bindery names and the unnamed owner.
        {"GUEST", "GUEST", true},
        {"guest", "GUEST", true},
        {"(unknown)", "(unknown)", true},
        {"(UNKNOWN)", "(unknown)", true},
        {"(unknown)", "GUEST", false},
        // Only a-z fold: accented letters must be identical.
        {"JOSÉ.ACME", "JOSÉ.ACME", true},
        {"josé.acme", "JOSÉ.ACME", false},
        {"jos\xc3\x89.acme", "JOS\xc3\x89.ACME", true},
        // Other characters are compared as they stand.
        {"A_B", "A-B", false},
        {"[", "{", false},
    };
    for (const OwnerCase& c : cases)
        EXPECT_EQ(ownerItemMatches(c.item, c.owner), c.matches) << '"' << c.item << "\" vs \"" << c.owner << '"';
}

ScanCriteria dateCriteria(std::int32_t mode, double before, double after, double exact)
{
    ScanCriteria c;
    c.DateTestOn = 1;
    c.DateMode = mode;
    c.BeforeDate = before;
    c.AfterDate = after;
    c.ExactDate = exact;
    return c;
}

TEST(DateTest, DayBoundaries)
{
    const std::int32_t day = *daySerial(2024, 3, 15);
    struct Case {
        std::int32_t mode;
        std::int32_t fileDay;
        bool passes;
    } cases[] = {
        // Before: on or before.
        {1, day, true},
        {1, day - 1, true},
        {1, day + 1, false},
        // Exact.
        {2, day, true},
        {2, day - 1, false},
        {2, day + 1, false},
        // After: on or after.
        {3, day, true},
        {3, day + 1, true},
        {3, day - 1, false},
    };
    for (const Case& c : cases) {
        const ScanCriteria criteria = dateCriteria(c.mode, day, day, day);
        EXPECT_EQ(dateTestPasses(criteria, c.fileDay), c.passes)
            << "mode " << c.mode << " offset " << c.fileDay - day;
    }
}

TEST(DateTest, BetweenIncludesBothEnds)
{
    const std::int32_t first = *daySerial(2024, 3, 15);
    const ScanCriteria oneDayApart = dateCriteria(4, first, first + 1, 0);
    EXPECT_TRUE(dateTestPasses(oneDayApart, first));
    EXPECT_TRUE(dateTestPasses(oneDayApart, first + 1));
    EXPECT_FALSE(dateTestPasses(oneDayApart, first - 1));
    EXPECT_FALSE(dateTestPasses(oneDayApart, first + 2));
}

TEST(DateTest, FileWithoutADayFailsEveryMode)
{
    for (std::int32_t mode = 1; mode <= 4; ++mode)
        EXPECT_FALSE(dateTestPasses(dateCriteria(mode, 0, 3000000, 0), std::nullopt)) << "mode " << mode;
}

DateRecord dateOf(int year, int month, int day)
{
    return DateRecord{static_cast<std::uint8_t>(day), static_cast<std::uint8_t>(month),
                      static_cast<std::uint16_t>(year)};
}

TEST(FileDay, EachDateTypeUnpacksItsOwnField)
{
    FileInfoRecord info{};
    info.lastAccessDate = 0x1111;
    info.lastUpdateDateAndTime = 0x22223333;
    info.creationDate = 0x4444;

    NiceMock<MockNwClient> client;
    EXPECT_CALL(client, NWUnpackDate(0x1111, _))
        .WillRepeatedly(DoAll(SetArgPointee<1>(dateOf(2020, 1, 2)), Return(0)));
    EXPECT_CALL(client, NWUnpackDate(0x4444, _))
        .WillRepeatedly(DoAll(SetArgPointee<1>(dateOf(2021, 5, 6)), Return(0)));
    // The time of the last update is dropped: late in the evening is the same day.
    EXPECT_CALL(client, NWUnpackDateTime(0x22223333u, _, _))
        .WillRepeatedly(
            DoAll(SetArgPointee<1>(dateOf(2022, 7, 8)), SetArgPointee<2>(TimeRecord{58, 59, 23}), Return(0)));

    EXPECT_EQ(fileDaySerial(client, 1, info), daySerial(2020, 1, 2));
    EXPECT_EQ(fileDaySerial(client, 2, info), daySerial(2022, 7, 8));
    EXPECT_EQ(fileDaySerial(client, 3, info), daySerial(2021, 5, 6));
}

TEST(FileDay, NoDayForAnUnchosenTypeOrAnImpossibleDate)
{
    FileInfoRecord info{};
    NiceMock<MockNwClient> client;
    EXPECT_CALL(client, NWUnpackDate(_, _)).Times(0);
    EXPECT_CALL(client, NWUnpackDateTime(_, _, _)).Times(0);
    EXPECT_FALSE(fileDaySerial(client, 0, info).has_value());
    EXPECT_FALSE(fileDaySerial(client, 4, info).has_value());

    NiceMock<MockNwClient> zeroDates;
    // A packed 0 unpacks to day 0 of month 0: no calendar day.
    EXPECT_CALL(zeroDates, NWUnpackDate(_, _)).WillRepeatedly(DoAll(SetArgPointee<1>(dateOf(1980, 0, 0)), Return(0)));
    EXPECT_CALL(zeroDates, NWUnpackDateTime(_, _, _))
        .WillRepeatedly(DoAll(SetArgPointee<1>(dateOf(2023, 2, 29)), Return(0)));
    EXPECT_FALSE(fileDaySerial(zeroDates, 1, info).has_value());
    EXPECT_FALSE(fileDaySerial(zeroDates, 2, info).has_value());
    EXPECT_FALSE(fileDaySerial(zeroDates, 3, info).has_value());
}

TEST(AttributeTest, EveryMaskBitMustBeSet)
{
    using namespace nwattr;
    EXPECT_TRUE(attributeTestPasses(0, 0));
    EXPECT_TRUE(attributeTestPasses(0, ReadOnly | Hidden | System));
    EXPECT_TRUE(attributeTestPasses(ReadOnly | Hidden, ReadOnly | Hidden | System));
    EXPECT_FALSE(attributeTestPasses(ReadOnly | Hidden, ReadOnly));
    EXPECT_FALSE(attributeTestPasses(ReadOnly | Hidden, Hidden | System));
    EXPECT_TRUE(attributeTestPasses(CantCompress, CantCompress));
    EXPECT_FALSE(attributeTestPasses(CantCompress | ReadOnly, 0xFFFFFFFFu & ~ReadOnly));
}

}  // namespace
