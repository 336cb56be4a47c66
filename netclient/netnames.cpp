// The names NetWare holds: which host names a volume serves, and the 8.3
// short names of name space 0 (see netnames.h).

#include "netclient/netnames.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/asciicase.h"

namespace netnames {

namespace {

constexpr std::size_t kMaxNameBytes = 255;

bool isShortNameChar(char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    switch (c) {
    case '!':
    case '#':
    case '$':
    case '%':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '-':
    case '@':
    case '^':
    case '_':
    case '`':
    case '{':
    case '}':
    case '~':
        return true;
    default:
        return false;
    }
}

}  // namespace

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
        case '*':
        case '?':
            if (!wildcards)
                return false;
            break;
        case '\\':
        case '/':
        case ':':
        case '"':
        case '<':
        case '>':
        case '|':
            return false;
        default:
            break;
        }
    }
    return isValidUtf8(name);
}

}  // namespace

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

namespace {

// A short name (at most 12 bytes: 8, a dot, 3) as two words, zero-filled: a
// name holds no zero byte, so every name has its own key.
struct ShortKey {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    bool operator==(const ShortKey&) const = default;
};

ShortKey keyOf(const char* text, std::size_t size)
{
    ShortKey key;
    std::memcpy(&key.low, text, std::min<std::size_t>(size, 8));
    if (size > 8)
        std::memcpy(&key.high, text + 8, std::min<std::size_t>(size - 8, 8));
    return key;
}

// The short names of one folder taken so far, and the next number to try for
// each stem and extension: open addressing over two flat arrays, as a folder's
// names are given theirs once per listing. The empty key marks a free slot.
class ShortKeyTable {
public:
    explicit ShortKeyTable(std::size_t count)
    {
        std::size_t size = 16;
        while (size < count * 2)
            size *= 2;
        m_keys.resize(size);
        m_values.resize(size);
    }
    // The slot of key, claimed for it when free; inserted tells which.
    unsigned& slot(const ShortKey& key, bool& inserted)
    {
        const std::size_t mask = m_keys.size() - 1;
        std::size_t at =
            static_cast<std::size_t>((key.low * 0x9E3779B97F4A7C15ULL) ^ (key.high * 0xC2B2AE3D27D4EB4FULL)) >> 7;
        for (;; ++at) {
            ShortKey& held = m_keys[at & mask];
            if (held == key) {
                inserted = false;
                return m_values[at & mask];
            }
            if (held == ShortKey{}) {
                held = key;
                inserted = true;
                return m_values[at & mask];
            }
        }
    }
    bool insert(const ShortKey& key)
    {
        bool inserted = false;
        slot(key, inserted);
        return inserted;
    }

private:
    std::vector<ShortKey> m_keys;
    std::vector<unsigned> m_values;
};

// The characters of a part of a long name that may stand in a short name,
// capitalised, at most limit of them, into out; how many.
std::size_t shortNameChars(std::string_view part, std::size_t limit, char* out)
{
    std::size_t size = 0;
    for (char c : part) {
        if (size == limit)
            break;
        if (isShortNameChar(c))
            out[size++] = ascii::toUpper(c);
    }
    return size;
}

}  // namespace

std::vector<std::string> assignShortNames(const std::vector<std::string_view>& names)
{
    std::vector<std::string> result(names.size());
    ShortKeyTable taken(names.size());

    // 8.3 names first, so that a mangled name never takes the name of a file
    // that already has it as its own.
    std::vector<std::size_t> toMangle;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (isShortName(names[i])) {
            char upper[12];
            const std::size_t size = names[i].size();
            for (std::size_t k = 0; k < size; ++k)
                upper[k] = ascii::toUpper(names[i][k]);
            if (taken.insert(keyOf(upper, size))) {
                result[i].assign(upper, size);
                continue;
            }
        }
        toMangle.push_back(i);
    }

    // The next number to try for each stem and extension, so that a folder of
    // many similar names costs one probe per name rather than one per earlier name.
    ShortKeyTable nextNumber(toMangle.size());
    for (std::size_t i : toMangle) {
        std::string_view stem = names[i];
        while (!stem.empty() && stem.front() == '.')
            stem.remove_prefix(1);
        const std::size_t lastDot = stem.rfind('.');
        const std::string_view basePart = stem.substr(0, lastDot);
        const std::string_view extPart = lastDot == std::string_view::npos ? std::string_view{}
                                                                           : stem.substr(lastDot + 1);
        char base[6];
        std::size_t baseSize = shortNameChars(basePart, 6, base);
        if (baseSize == 0)
            base[baseSize++] = '_';
        char extension[3];
        const std::size_t extensionSize = shortNameChars(extPart, 3, extension);
        char family[10];
        std::memcpy(family, base, baseSize);
        family[baseSize] = '.';
        std::memcpy(family + baseSize + 1, extension, extensionSize);

        bool fresh = false;
        unsigned& number = nextNumber.slot(keyOf(family, baseSize + 1 + extensionSize), fresh);
        if (fresh)
            number = 1;
        for (; number <= 9999999u; ++number) {
            char suffix[8] = {'~'};
            const auto [end, error] = std::to_chars(suffix + 1, suffix + sizeof suffix, number);
            const std::size_t suffixSize = static_cast<std::size_t>(end - suffix);
            const std::size_t keep = std::min(baseSize, 8 - suffixSize);
            char candidate[12];
            std::size_t size = 0;
            std::memcpy(candidate, base, keep);
            size += keep;
            std::memcpy(candidate + size, suffix, suffixSize);
            size += suffixSize;
            if (extensionSize > 0) {
                candidate[size++] = '.';
                std::memcpy(candidate + size, extension, extensionSize);
                size += extensionSize;
            }
            if (taken.insert(keyOf(candidate, size))) {
                result[i].assign(candidate, size);
                ++number;
                break;
            }
        }
    }
    return result;
}

}  // namespace netnames
