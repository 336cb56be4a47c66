// The case rule of a-z and A-Z: text folded to capitals, and the comparisons
// built on it.

#include "platform/asciicase.h"

namespace ascii {

std::string toUpper(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        c = toUpper(c);
    return upper;
}

int compareFolded(std::string_view a, std::string_view b)
{
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto ca = static_cast<unsigned char>(toUpper(a[i]));
        const auto cb = static_cast<unsigned char>(toUpper(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return 0;
}

int compareListingOrder(std::string_view a, std::string_view b)
{
    if (const int folded = compareFolded(a, b); folded != 0)
        return folded;
    const int bytes = a.compare(b);
    return bytes < 0 ? -1 : bytes > 0 ? 1 : 0;
}

}  // namespace ascii
