// The size text of the size test read as a number, whatever the locale.

#include "scan/sizenumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

double parseSizeNumber(std::string_view text, bool* hasNumber)
{
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t mantissaStart = pos;
    bool digits = false;
    bool nonZeroDigit = false;
    // The power of ten of the first non-zero digit, plus one, before the
    // exponent: 3 for "123.4", -2 for "0.00123". Decides overflow from
    // underflow when the number is out of range.
    long long magnitude = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        digits = true;
        nonZeroDigit = nonZeroDigit || text[pos] != '0';
        if (nonZeroDigit)
            ++magnitude;
        ++pos;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && isDigit(text[pos])) {
            digits = true;
            if (!nonZeroDigit && text[pos] == '0')
                --magnitude;
            nonZeroDigit = nonZeroDigit || text[pos] != '0';
            ++pos;
        }
    }
    if (hasNumber)
        *hasNumber = digits;
    if (!digits)
        return 0.0;
    // An exponent counts only when at least one digit follows it. Its value
    // is held only as far as it can matter, so a long one cannot overflow.
    constexpr long long kExponentCap = 1'000'000'000;
    long long exponent = 0;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t e = pos + 1;
        bool negativeExponent = false;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) {
            negativeExponent = text[e] == '-';
            ++e;
        }
        if (e < text.size() && isDigit(text[e])) {
            while (e < text.size() && isDigit(text[e])) {
                exponent = std::min(exponent * 10 + (text[e] - '0'), kExponentCap);
                ++e;
            }
            if (negativeExponent)
                exponent = -exponent;
            pos = e;
        }
    }
    double value = 0.0;
    const char* first = text.data() + mantissaStart;
    const char* last = text.data() + pos;
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    // Out of range is either above the largest double (about 1e308) or below
    // the smallest (about 1e-324): the sign of the first digit's power tells which.
    if (ec == std::errc::result_out_of_range)
        value = (nonZeroDigit && magnitude - 1 + exponent > 0) ? std::numeric_limits<double>::infinity() : 0.0;
    else if (ec != std::errc() || ptr != last)
        value = 0.0;
    return negative ? -value : value;
}

SizeCheck checkSizeText(std::string_view text)
{
    if (text.empty())
        return {SizeReading::Empty, 0.0};
    bool hasNumber = false;
    const double value = parseSizeNumber(text, &hasNumber);
    if (!hasNumber || std::isnan(value))
        return {SizeReading::NotANumber, value};
    if (value == 0.0)
        return {SizeReading::Zero, value};
    if (value > kLargestSize)
        return {SizeReading::TooLarge, value};
    return {SizeReading::Size, value};
}
