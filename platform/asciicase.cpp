#include "platform/asciicase.h"

namespace ascii {

std::string toUpper(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        c = toUpper(c);
    return upper;
}

} // namespace ascii
