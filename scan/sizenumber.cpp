#include "scan/sizenumber.h"

#include <charconv>
#include <limits>
#include <string>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

double parseSizeNumber(std::string_view text)
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
    while (pos < text.size() && isDigit(text[pos])) {
        digits = true;
        nonZeroDigit = nonZeroDigit || text[pos] != '0';
        ++pos;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && isDigit(text[pos])) {
            digits = true;
            nonZeroDigit = nonZeroDigit || text[pos] != '0';
            ++pos;
        }
    }
    if (!digits)
        return 0.0;
    // An exponent counts only when at least one digit follows it.
    bool positiveExponent = true;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t e = pos + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) {
            positiveExponent = text[e] == '+';
            ++e;
        }
        if (e < text.size() && isDigit(text[e])) {
            while (e < text.size() && isDigit(text[e]))
                ++e;
            pos = e;
        } else {
            positiveExponent = true;
        }
    }
    double value = 0.0;
    const char* first = text.data() + mantissaStart;
    const char* last = text.data() + pos;
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range)
        value = (nonZeroDigit && positiveExponent) ? std::numeric_limits<double>::infinity() : 0.0;
    else if (ec != std::errc() || ptr != last)
        value = 0.0;
    return negative ? -value : value;
}
