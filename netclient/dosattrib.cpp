// The DOS attributes and creation times kept by Samba and the SMB client
// (see dosattrib.h).

#include "netclient/dosattrib.h"


namespace dosattrib {

namespace {

// The NetWare bits of the attribute boxes that have DOS counterparts beyond
// the low ones both share.
constexpr std::uint32_t kNetWareMigrated = 0x00400000;
constexpr std::uint32_t kNetWareCompressed = 0x04000000;

// NTTIME of 1970-01-01 00:00:00 UTC, and its ticks per second.
constexpr std::uint64_t kUnixEpoch = 116444736000000000ULL;
constexpr std::uint64_t kTicksPerSecond = 10000000ULL;

// Which fields the valid flags of a structure may name.
enum ValidFlag : std::uint32_t {
    kValidAttributes = 0x1,
    kValidEaSize = 0x2,
    kValidSize = 0x4,
    kValidAllocationSize = 0x8,
    kValidCreateTime = 0x10,
    kValidChangeTime = 0x20,
    kValidItime = 0x40,
};

// Little-endian numbers at NDR alignment, counted from the start of the
// value. A read past the end fails, and every read after it.
class NdrReader {
public:
    NdrReader(std::string_view bytes, std::size_t at) : m_bytes(bytes), m_at(at) {}

    std::optional<std::uint16_t> u16() { return number<std::uint16_t>(2, 2); }
    std::optional<std::uint32_t> u32() { return number<std::uint32_t>(4, 4); }
    // 64-bit values (sizes, NTTIMEs) are two 32-bit halves, aligned as those.
    std::optional<std::uint64_t> u64() { return number<std::uint64_t>(8, 4); }

private:
    template <typename Number>
    std::optional<Number> number(std::size_t size, std::size_t alignment)
    {
        const std::size_t at = (m_at + alignment - 1) / alignment * alignment;
        if (at > m_bytes.size() || m_bytes.size() - at < size) {
            m_at = m_bytes.size() + 1;
            return std::nullopt;
        }
        Number value = 0;
        for (std::size_t i = size; i-- > 0;)
            value = static_cast<Number>(value << 8 | static_cast<unsigned char>(m_bytes[at + i]));
        m_at = at + size;
        return value;
    }

    std::string_view m_bytes;
    std::size_t m_at;
};

// "0x20", "20": up to eight hex digits.
std::optional<std::uint32_t> parseHex(std::string_view text)
{
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value;
}

// The structure of one version, read from where the version left the reader.
// Versions 1 and 2 carry no valid flags: their attributes always hold, their
// creation time when it is not 0.
DosInfo readStructure(std::uint16_t version, NdrReader& in)
{
    std::optional<std::uint32_t> valid;
    std::uint32_t holds = 0;
    std::optional<std::uint32_t> attributes;
    std::optional<std::uint64_t> createTime;
    bool complete = false;
    switch (version) {
    case 1:
    case 3:
        if (version == 3)
            valid = in.u32();
        holds = kValidAttributes | kValidEaSize | kValidSize | kValidAllocationSize | kValidCreateTime |
                kValidChangeTime;
        attributes = in.u32();
        complete = in.u32() && in.u64() && in.u64() && (createTime = in.u64()) && in.u64();
        break;
    case 2:
        // flags, attributes, EA size, size, allocation size, create, change
        // and write time; a name follows, which nothing here needs.
        holds = kValidAttributes | kValidCreateTime;
        complete = in.u32().has_value();
        attributes = in.u32();
        complete = complete && in.u32() && in.u64() && in.u64() && (createTime = in.u64()) && in.u64() && in.u64();
        break;
    case 4:
        valid = in.u32();
        holds = kValidAttributes | kValidItime | kValidCreateTime;
        attributes = in.u32();
        complete = in.u64() && (createTime = in.u64());
        break;
    case 5:
        valid = in.u32();
        holds = kValidAttributes | kValidCreateTime;
        attributes = in.u32();
        complete = (createTime = in.u64()).has_value();
        break;
    default:
        return {};
    }
    if (!complete || !attributes || (valid && (*valid & ~holds) != 0))
        return {};
    const std::uint32_t flags = valid.value_or(kValidAttributes | kValidCreateTime);
    DosInfo info;
    if (flags & kValidAttributes)
        info.attributes = attributes;
    if ((flags & kValidCreateTime) && *createTime != 0)
        info.createTime = createTime;
    return info;
}

}  // namespace

DosInfo decodeSambaValue(std::string_view value)
{
    const std::size_t end = value.find('\0');
    const std::string_view text = value.substr(0, end);
    const std::optional<std::uint32_t> textBits = text.empty() ? std::nullopt : parseHex(text);
    if (!text.empty() && !textBits)
        return {};
    // The oldest form: the text alone (its NUL, when written, ends the value).
    if (end == std::string_view::npos || end + 1 == value.size()) {
        DosInfo info;
        info.attributes = textBits;
        return info;
    }
    NdrReader in(value, end + 1);
    const std::optional<std::uint16_t> version = in.u16();
    const std::optional<std::uint16_t> selector = in.u16();
    if (!version || !selector || *version != *selector)
        return {};
    return readStructure(*version, in);
}

std::optional<std::uint32_t> decodeClientAttributes(std::string_view value)
{
    if (value.size() != 4)
        return std::nullopt;
    return NdrReader(value, 0).u32();
}

std::optional<std::uint64_t> decodeClientCreationTime(std::string_view value)
{
    if (value.size() != 8)
        return std::nullopt;
    const std::optional<std::uint64_t> time = NdrReader(value, 0).u64();
    return time && *time != 0 ? time : std::nullopt;
}

std::optional<std::time_t> unixTimeOf(std::uint64_t ntTime)
{
    static_assert(sizeof(std::time_t) >= 8, "every NTTIME is a time_t of 64 bits");
    if (ntTime == 0)
        return std::nullopt;
    if (ntTime >= kUnixEpoch)
        return static_cast<std::time_t>((ntTime - kUnixEpoch) / kTicksPerSecond);
    // Before 1970 whole seconds round down, so a moment of 1969 stays in 1969.
    return -static_cast<std::time_t>((kUnixEpoch - ntTime + kTicksPerSecond - 1) / kTicksPerSecond);
}

std::uint32_t netWareBitsOf(std::uint32_t dosBits)
{
    std::uint32_t bits = dosBits & (kDosReadOnly | kDosHidden | kDosSystem | kDosArchive);
    if (dosBits & kDosCompressed)
        bits |= kNetWareCompressed;
    if (dosBits & kDosOffline)
        bits |= kNetWareMigrated;
    return bits;
}

}  // namespace dosattrib
