#pragma once

// The case rule of every name NetWare, the INI files and the command line
// compare: a-z and A-Z only. Nothing here depends on the locale, and the bytes
// of multi-byte characters stay as they are, so accented names are compared
// by their bytes.

#include <algorithm>
#include <string>
#include <string_view>

namespace ascii {

constexpr char toUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }
constexpr char16_t toUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - (u'a' - u'A')) : c; }

std::string toUpper(std::string_view text);

// a-z folded to capitals byte by byte (the bytes unsigned), a name before a
// longer one it begins: zero for names equal but for case. Negative, zero or
// positive.
int compareFolded(std::string_view a, std::string_view b);

// The order of a listing's names: as compareFolded, then names equal but for
// case by their bytes.
int compareListingOrder(std::string_view a, std::string_view b);

constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(
        a, b, {}, [](char c) { return toUpper(c); }, [](char c) { return toUpper(c); });
}

// A UTF-16 text (an argument of the command line) against a word of ASCII
// letters, nothing else folded: "/ſettings" (a long s) is not "/settings".
constexpr bool equalsIgnoringCase(std::u16string_view text, std::string_view word)
{
    return std::ranges::equal(
        text, word, {}, [](char16_t c) { return toUpper(c); },
        [](char c) { return toUpper(char16_t(static_cast<unsigned char>(c))); });
}

}  // namespace ascii
