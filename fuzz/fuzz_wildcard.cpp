// Random patterns and names against the listing's wildcard matcher: it must
// never crash or take long, must agree with a plain table-filling matcher, and
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

char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// can[i][j]: the first i pattern bytes match the first j name bytes.
bool tableMatch(std::string_view pattern, std::string_view name)
{
    const std::size_t columns = name.size() + 1;
    std::vector<char> can((pattern.size() + 1) * columns, 0);
    can[0] = 1;
    for (std::size_t i = 1; i <= pattern.size(); ++i) {
        const char p = pattern[i - 1];
        for (std::size_t j = 0; j <= name.size(); ++j) {
            bool ok = false;
            if (p == '*')
                ok = can[(i - 1) * columns + j] || (j > 0 && can[i * columns + j - 1]);
            else if (j > 0)
                ok = can[(i - 1) * columns + j - 1] && (p == '?' || upper(p) == upper(name[j - 1]));
            can[i * columns + j] = ok;
        }
    }
    return can[pattern.size() * columns + name.size()];
}

bool referenceMatch(std::string_view pattern, std::string_view name)
{
    if (tableMatch(pattern, name))
        return true;
    while (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
        pattern.remove_suffix(2);
        if (tableMatch(pattern, name))
            return true;
    }
    return false;
}

} // namespace

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
    if (pattern.size() * name.size() <= 1u << 20 && referenceMatch(pattern, name) != matched)
        std::abort();
    return 0;
}
