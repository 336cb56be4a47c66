// Random bytes against the decoder of Samba's and the SMB client's DOS
// attributes: it must never crash or read past the value, nor give a create
// time of 0; a value built from the input's bytes in one of the five versions
// must give back exactly the fields its valid flags name (nothing when they
// name a field the version lacks), and nothing once cut one byte short.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "netclient/dosattrib.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

std::uint64_t littleEndianAt(const std::uint8_t* data, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = value << 8 | data[i];
    return value;
}

void put(std::string& out, std::uint64_t value, std::size_t size, std::size_t alignment)
{
    while (out.size() % alignment != 0)
        out += '\0';
    for (std::size_t i = 0; i < size; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
}

// A value of version 1 to 5 with these fields, as Samba lays it out.
std::string encode(unsigned version, std::uint32_t valid, std::uint32_t attributes, std::uint64_t createTime)
{
    std::string out("0x1", 4);  // a text, its NUL
    put(out, version, 2, 2);
    put(out, version, 2, 2);
    if (version >= 3)
        put(out, valid, 4, 4);
    if (version == 2)
        put(out, 0, 4, 4);
    put(out, attributes, 4, 4);
    if (version == 4)
        put(out, 0, 8, 4);
    if (version <= 3) {
        put(out, 0, 4, 4);  // EA size
        put(out, 0, 8, 4);  // size
        put(out, 0, 8, 4);  // allocation size
    }
    put(out, createTime, 8, 4);
    if (version <= 3)
        put(out, 0, 8, 4);  // change time
    if (version == 2)
        put(out, 0, 8, 4);  // write time
    return out;
}

std::uint32_t fieldsOf(unsigned version)
{
    // Versions 1 and 2 have no valid flags; the others name these fields.
    return version == 3 ? 0x3F : version == 4 ? 0x51 : 0x11;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view value(reinterpret_cast<const char*>(data), size);
    const dosattrib::DosInfo info = dosattrib::decodeSambaValue(value);
    if (info.createTime)
        require(*info.createTime != 0);
    (void)dosattrib::decodeClientAttributes(value);
    (void)dosattrib::decodeClientCreationTime(value);

    if (size < 17)
        return 0;
    const unsigned version = 1 + data[0] % 5;
    const std::uint32_t valid = static_cast<std::uint32_t>(littleEndianAt(data + 1, 4));
    const std::uint32_t attributes = static_cast<std::uint32_t>(littleEndianAt(data + 5, 4));
    const std::uint64_t createTime = littleEndianAt(data + 9, 8);
    const std::string encoded = encode(version, valid, attributes, createTime);
    const dosattrib::DosInfo decoded = dosattrib::decodeSambaValue(encoded);
    const bool flagged = version >= 3;
    const bool wellFormed = !flagged || (valid & ~fieldsOf(version)) == 0;
    const std::uint32_t flags = flagged ? valid : 0x11;
    if (!wellFormed) {
        require(!decoded.attributes && !decoded.createTime);
    } else {
        require(decoded.attributes == ((flags & 0x1) ? std::optional<std::uint32_t>(attributes) : std::nullopt));
        require(decoded.createTime ==
                ((flags & 0x10) && createTime != 0 ? std::optional<std::uint64_t>(createTime) : std::nullopt));
    }
    // One byte short of its structure, no version is taken.
    const dosattrib::DosInfo shortened = dosattrib::decodeSambaValue(encoded.substr(0, encoded.size() - 1));
    require(!shortened.attributes && !shortened.createTime);
    return 0;
}
