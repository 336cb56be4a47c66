#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "scan/sizenumber.h"

namespace {

struct SizeCase {
    const char* text;
    double expected;
};

TEST(SizeNumber, ReadsTheLeadingNumberAndIgnoresTheRest)
{
    const SizeCase cases[] = {
        {"100", 100.0},
        {"  42", 42.0},
        {"\t7", 7.0},
        {"12kb", 12.0},
        {"-5", -5.0},
        {"+8", 8.0},
        {"1.5", 1.5},
        {".5", 0.5},
        {"5.", 5.0},
        {"1e3", 1000.0},
        {"2E+2x", 200.0},
        {"1e", 1.0},  // an exponent without digits is not part of the number
        {"3e-", 3.0},
        {"16777217", 16777217.0},  // exact, not rounded to single precision
        {"2147483647", 2147483647.0},
        {"2147483648", 2147483648.0},
        {"0", 0.0},
        {"abc", 0.0},
        {" ", 0.0},
        {"", 0.0},
        {"-", 0.0},
        {".", 0.0},
        {"e5", 0.0},
        {"0x10", 0.0},  // hexadecimal is not a size
        {"1,5", 1.0},   // the decimal point is a dot whatever the locale
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseSizeNumber(c.text), c.expected) << "text: \"" << c.text << '"';
}

TEST(SizeNumber, CheckTellsASizeFromEachKindOfRefusal)
{
    const struct {
        const char* text;
        SizeReading reading;
        double value;
    } cases[] = {
        {"10M", SizeReading::Size, 10.0},
        {"1,000,000", SizeReading::Size, 1.0},
        {"-5", SizeReading::Size, -5.0},
        {"2147483647", SizeReading::Size, 2147483647.0},
        {"", SizeReading::Empty, 0.0},
        {" ", SizeReading::NotANumber, 0.0},
        {"M10", SizeReading::NotANumber, 0.0},
        {"0", SizeReading::Zero, 0.0},
        {"0kb", SizeReading::Zero, 0.0},
        {"1e-999", SizeReading::Zero, 0.0},
        {"2147483648", SizeReading::TooLarge, 2147483648.0},
    };
    for (const auto& c : cases) {
        const SizeCheck check = checkSizeText(c.text);
        EXPECT_EQ(check.reading, c.reading) << "text: \"" << c.text << '"';
        EXPECT_EQ(check.value, c.value) << "text: \"" << c.text << '"';
    }
    EXPECT_EQ(checkSizeText("1e999").reading, SizeReading::TooLarge);
}

TEST(SizeNumber, OutOfRangeExponentsSaturate)
{
    EXPECT_TRUE(std::isinf(parseSizeNumber("1e999")));
    EXPECT_GT(parseSizeNumber("1e999"), 0.0);
    EXPECT_EQ(parseSizeNumber("1e-999"), 0.0);
    EXPECT_TRUE(std::isinf(parseSizeNumber("-1e999")));
    EXPECT_LT(parseSizeNumber("-1e999"), 0.0);
}

// Whether an out-of-range number is too large or too small depends on where
// its first digit stands, not on the sign of its exponent.
TEST(SizeNumber, OutOfRangeIsJudgedByTheWholeNumber)
{
    const std::string tinyFraction = "0." + std::string(400, '0') + "5";
    const std::string hugeInteger = "1" + std::string(400, '0');
    EXPECT_EQ(parseSizeNumber(tinyFraction), 0.0);
    EXPECT_EQ(parseSizeNumber(tinyFraction + "e+5"), 0.0);
    EXPECT_TRUE(std::isinf(parseSizeNumber(hugeInteger + "e-5")));
    EXPECT_EQ(parseSizeNumber(hugeInteger + "e-500"), 1e-100);
    EXPECT_TRUE(std::isinf(parseSizeNumber("1e99999999999999999999999")));
    EXPECT_EQ(parseSizeNumber("1e-99999999999999999999999"), 0.0);
}

TEST(SizeNumber, LongInputsAreReadWithoutOverrun)
{
    std::string digits(5000, '9');
    EXPECT_TRUE(std::isinf(parseSizeNumber(digits)) || parseSizeNumber(digits) > 1e300);
    std::string zeros(5000, '0');
    zeros += "7";
    EXPECT_EQ(parseSizeNumber(zeros), 7.0);
}

}  // namespace
