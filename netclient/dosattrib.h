#pragma once

// The DOS attributes and creation times Windows users set on a file server,
// as the host keeps them in extended attributes: Samba's stored value
// (user.DOSATTRIB) and the Linux SMB client's (user.cifs.dosattrib,
// user.cifs.creationtime). Plain functions over the bytes of a value; a value
// that does not hold what its form promises gives nothing, never a guess.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string_view>

namespace dosattrib {

// DOS attribute bits as Windows and Samba store them.
enum DosBit : std::uint32_t {
    kDosReadOnly = 0x1,
    kDosHidden = 0x2,
    kDosSystem = 0x4,
    kDosDirectory = 0x10,
    kDosArchive = 0x20,
    kDosCompressed = 0x800,
    kDosOffline = 0x1000,
};

// What a value holds: the DOS attribute bits and the creation time (NTTIME:
// 100-nanosecond ticks since 1601-01-01 UTC), each only when the value says
// it is valid (a creation time of 0 is none).
struct DosInfo {
    std::optional<std::uint32_t> attributes;
    std::optional<std::uint64_t> createTime;
};

// Samba's user.DOSATTRIB: a NUL-terminated hex text ("0x20"), alone in the
// oldest form, else followed by a version (1 to 5, written twice) and that
// version's structure, little-endian and aligned as NDR aligns it from the
// start of the value. Nothing when the value is malformed: too short for its
// structure, an unknown version, valid flags for fields the version lacks,
// or a text that is not hex.
DosInfo decodeSambaValue(std::string_view value);

// The SMB client's values: a 32-bit attribute word and a 64-bit NTTIME,
// little-endian, exactly that long.
std::optional<std::uint32_t> decodeClientAttributes(std::string_view value);
std::optional<std::uint64_t> decodeClientCreationTime(std::string_view value);

// An NTTIME as seconds since 1970 (UTC); nothing for 0 or a time a time_t
// cannot hold.
std::optional<std::time_t> unixTimeOf(std::uint64_t ntTime);

// The NetWare attribute bits that stand for DOS bits: read-only, hidden,
// system, archive (Archive Needed), compressed (Compressed) and offline
// (Migrated); the others have no NetWare counterpart and are left out.
std::uint32_t netWareBitsOf(std::uint32_t dosBits);

}  // namespace dosattrib
