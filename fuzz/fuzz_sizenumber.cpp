// Random size texts against the reader of the size test: it must never crash,
// must take exactly the leading number (blanks, sign, digits with an optional
// decimal point, an exponent only when digits follow it), must read text
// without a number as 0, and must give the very double that strtod in the "C"
// locale makes of that number, infinity when it is too large for a double.
// The text after the number must not change the value.

#include "scan/sizenumber.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Where the leading number starts (after the blanks) and ends; equal when
// there is no number.
struct NumberSpan {
    std::size_t start = 0;
    std::size_t end = 0;
};

NumberSpan findNumber(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    const std::size_t start = pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    std::size_t digits = 0;
    for (; pos < text.size() && isDigit(text[pos]); ++pos)
        ++digits;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        for (; pos < text.size() && isDigit(text[pos]); ++pos)
            ++digits;
    }
    if (digits == 0)
        return {start, start};
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t e = pos + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-'))
            ++e;
        if (e < text.size() && isDigit(text[e])) {
            while (e < text.size() && isDigit(text[e]))
                ++e;
            pos = e;
        }
    }
    return {start, pos};
}

bool identical(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = parseSizeNumber(text);
    require(!std::isnan(value));

    const NumberSpan number = findNumber(text);
    if (number.start == number.end) {
        require(identical(value, 0.0));
        return 0;
    }

    // strtod reads the number alone, so what follows cannot extend it (no
    // hexadecimal, "inf" or "nan" through the back door).
    const std::string alone(text.substr(number.start, number.end - number.start));
    char* end = nullptr;
    const double expected = std::strtod(alone.c_str(), &end);
    require(end == alone.c_str() + alone.size());
    require(identical(value, expected));

    // The text after the number plays no part.
    const std::string_view prefix = text.substr(0, number.end);
    require(identical(parseSizeNumber(prefix), value));
    require(identical(parseSizeNumber(std::string(prefix) + "kb"), value));

    return 0;
}
