#include "netclient/netnames.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/asciicase.h"

namespace netnames {

namespace {

constexpr std::size_t kMaxNameBytes = 255;

bool isShortNameChar(char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    switch (c) {
    case '!': case '#': case '$': case '%': case '&': case '\'': case '(': case ')':
    case '-': case '@': case '^': case '_': case '`': case '{': case '}': case '~':
        return true;
    default:
        return false;
    }
}

// The characters of a part of a long name that may stand in a short name,
// capitalised, at most `limit` of them.
std::string shortNameChars(std::string_view part, std::size_t limit)
{
    std::string result;
    for (char c : part) {
        if (result.size() == limit)
            break;
        if (isShortNameChar(c))
            result += ascii::toUpper(c);
    }
    return result;
}

} // namespace

bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07u;
        } else {
            return false;
        }
        if (n - i < length)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3Fu);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)))
            return false;
        if (code >= 0xD800 && code <= 0xDFFF)
            return false;
        i += length;
    }
    return true;
}

namespace {

bool isComponent(std::string_view name, bool wildcards)
{
    if (name.empty() || name.size() > kMaxNameBytes || name == "." || name == "..")
        return false;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return false;
        switch (c) {
        case '*': case '?':
            if (!wildcards)
                return false;
            break;
        case '\\': case '/': case ':': case '"': case '<': case '>': case '|':
            return false;
        default:
            break;
        }
    }
    return isValidUtf8(name);
}

} // namespace

bool isNetWareName(std::string_view name) { return isComponent(name, false); }

bool isNetWarePattern(std::string_view pattern) { return isComponent(pattern, true); }

bool hasWildcards(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

bool isShortName(std::string_view name)
{
    const std::size_t dot = name.find('.');
    const std::string_view base = name.substr(0, dot);
    const std::string_view extension = dot == std::string_view::npos ? std::string_view{} : name.substr(dot + 1);
    if (base.empty() || base.size() > 8)
        return false;
    if (dot != std::string_view::npos && (extension.empty() || extension.size() > 3))
        return false;
    for (char c : base)
        if (!isShortNameChar(c))
            return false;
    for (char c : extension)
        if (!isShortNameChar(c))
            return false;
    return true;
}

std::vector<std::string> assignShortNames(const std::vector<std::string_view>& names)
{
    std::vector<std::string> result(names.size());
    std::unordered_set<std::string> taken;
    taken.reserve(names.size() * 2);

    // 8.3 names first, so that a mangled name never takes the name of a file
    // that already has it as its own.
    std::vector<std::size_t> toMangle;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (isShortName(names[i])) {
            std::string upper = ascii::toUpper(names[i]);
            if (taken.insert(upper).second) {
                result[i] = std::move(upper);
                continue;
            }
        }
        toMangle.push_back(i);
    }

    // The next number to try for each stem and extension, so that a folder of
    // many similar names costs one probe per name rather than one per earlier name.
    std::unordered_map<std::string, unsigned> nextNumber;
    for (std::size_t i : toMangle) {
        std::string_view stem = names[i];
        while (!stem.empty() && stem.front() == '.')
            stem.remove_prefix(1);
        const std::size_t lastDot = stem.rfind('.');
        const std::string_view basePart = stem.substr(0, lastDot);
        const std::string_view extPart = lastDot == std::string_view::npos ? std::string_view{} : stem.substr(lastDot + 1);
        std::string base = shortNameChars(basePart, 6);
        if (base.empty())
            base = "_";
        const std::string extension = shortNameChars(extPart, 3);
        const std::string family = base + '.' + extension;

        unsigned& number = nextNumber.try_emplace(family, 1u).first->second;
        for (; number <= 9999999u; ++number) {
            const std::string suffix = "~" + std::to_string(number);
            const std::size_t keep = std::min(base.size(), 8 - suffix.size());
            std::string candidate = base.substr(0, keep) + suffix;
            if (!extension.empty())
                candidate += '.' + extension;
            if (taken.insert(candidate).second) {
                result[i] = std::move(candidate);
                ++number;
                break;
            }
        }
    }
    return result;
}

} // namespace netnames
