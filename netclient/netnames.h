#pragma once

// Rules for the names NetWare holds: which host names a volume can serve, the
// 8.3 short names of name space 0 (their case rule is platform/asciicase.h).

#include <string>
#include <string_view>
#include <vector>

namespace netnames {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text);

// True when NetWare can hold the text as one path component: 1 to 255 bytes
// of valid UTF-8 without a control character or any of \ / : * ? " < > |.
// "." and ".." are not names either.
bool isNetWareName(std::string_view name);

// As isNetWareName, with the wildcards * and ? allowed: a search pattern.
bool isNetWarePattern(std::string_view pattern);
bool hasWildcards(std::string_view text);

// An 8.3 name: 1 to 8 characters, optionally a dot and 1 to 3 more, every
// character a letter, a digit or one of ! # $ % & ' ( ) - @ ^ _ ` { } ~.
bool isShortName(std::string_view name);

// Gives every name of one folder its short name. The names must come in a
// fixed order (the folder cache passes them sorted by their bytes), which
// makes the result deterministic: an 8.3 name keeps its capitalised self unless
// an earlier name already holds it; every other name gets "BASE~N.EXT" with
// the lowest N not yet taken in the folder. The result is parallel to the
// input; a name for which no free short name remains gets an empty text.
std::vector<std::string> assignShortNames(const std::vector<std::string_view>& names);

// value with every byte for which escape(byte) holds written as mark and
// two digits of hex (of the sixteen given, small or capitals).
template <typename Escape>
std::string escapeBytes(std::string_view value, char mark, const char (&hex)[17], Escape escape)
{
    std::string escaped;
    escaped.reserve(value.size());
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (escape(byte)) {
            escaped += mark;
            escaped += hex[byte >> 4];
            escaped += hex[byte & 0x0F];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

}  // namespace netnames
