// Random patterns and names against the listing's wildcard matcher: it must
// never crash or take long, must agree with a plain table-filling matcher of
// the Windows rules, and
// must not care about the case of a-z on either side.
//
// Input: the pattern, a newline, the name.

#include "platform/drives.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// The pattern as Windows translates it before matching: '?' becomes the DOS
// question mark '>', a '.' before '?' or '*' the DOS dot '"', and a "*." that
// ends the pattern the DOS star '<' (the dot dropped). The marks are kept
// apart from the pattern's own bytes, which may be any of these.
struct Token {
    char kind;  // 'c' a byte, '*', '<', '>', '"'
    char byte;
};

std::vector<Token> translate(std::string_view pattern)
{
    std::vector<Token> tokens;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const bool last = i + 1 == pattern.size();
        if (c == '.' && last && i > 0 && pattern[i - 1] == '*')
            tokens.back().kind = '<';
        else if (c == '.' && !last && (pattern[i + 1] == '?' || pattern[i + 1] == '*'))
            tokens.push_back({'"', c});
        else if (c == '?')
            tokens.push_back({'>', c});
        else if (c == '*')
            tokens.push_back({'*', c});
        else
            tokens.push_back({'c', c});
    }
    return tokens;
}

// rest[i][j]: tokens i.. take name bytes j.., filled from the ends backwards.
bool tableMatch(std::string_view pattern, std::string_view name)
{
    if (pattern == "*" || pattern == "*.*")
        return true;
    if (name.empty())
        return pattern.empty();
    const std::vector<Token> tokens = translate(pattern);
    const std::size_t lastDot = name.rfind('.');
    const std::size_t columns = name.size() + 1;
    std::vector<char> rest((tokens.size() + 1) * columns, 0);
    const auto at = [&](std::size_t i, std::size_t j) -> char& { return rest[i * columns + j]; };
    at(tokens.size(), name.size()) = 1;
    for (std::size_t i = tokens.size(); i-- > 0;) {
        for (std::size_t j = name.size() + 1; j-- > 0;) {
            const bool end = j == name.size();
            const char c = end ? '\0' : name[j];
            bool ok = false;
            switch (tokens[i].kind) {
            case '*':
                ok = at(i + 1, j) || (!end && at(i, j + 1));
                break;
            case '<':
                ok = at(i + 1, j) || (!end && j != lastDot && at(i, j + 1));
                break;
            case '>':
                ok = (end || c == '.') ? at(i + 1, j) : at(i + 1, j + 1);
                break;
            case '"':
                ok = end ? at(i + 1, j) : (c == '.' && at(i + 1, j + 1));
                break;
            default:
                ok = !end && upper(tokens[i].byte) == upper(c) && at(i + 1, j + 1);
                break;
            }
            at(i, j) = ok;
        }
    }
    return at(0, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\n');
    const std::string_view pattern = input.substr(0, split);
    const std::string_view name = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

    const bool matched = platform::wildcardMatch(pattern, name);

    std::string upperPattern(pattern), lowerName(name);
    for (char& c : upperPattern)
        c = upper(c);
    for (char& c : lowerName)
        c = lower(c);
    if (platform::wildcardMatch(upperPattern, lowerName) != matched)
        std::abort();

    // The table costs pattern times name; keep it to inputs where that is cheap.
    if (pattern.size() * name.size() <= 1u << 20 && tableMatch(pattern, name) != matched)
        std::abort();
    return 0;
}
