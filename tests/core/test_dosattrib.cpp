// The decoder of the DOS attributes Samba and the SMB client keep: values of
// every form, as Samba writes them, and values that are not what they claim.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "netclient/dosattrib.h"
#include "scan/scancriteria.h"

namespace {

using dosattrib::DosInfo;

// "00 0a ff" to its bytes.
std::string bytes(std::string_view hex)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 3)
        out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return out;
}

constexpr std::uint64_t kSampleCreate = 0x01dd88470e2682ddULL;
constexpr std::uint64_t kT = 0x01d0000000000000ULL;
// kT and 0 as eight little-endian bytes.
const std::string kTime = "00 00 00 00 00 00 d0 01";
const std::string kZero = "00 00 00 00 00 00 00 00";

struct SambaCase {
    const char* what;
    std::string value;
    std::optional<std::uint32_t> attributes;
    std::optional<std::uint64_t> createTime;
};

TEST(DosAttrib, SambaValuesOfEveryFormAndTheMalformedOnes)
{
    const SambaCase cases[] = {
        {"version 5 as Samba 4.17 wrote it after +h and +s",
         bytes("00 00 05 00 05 00 00 00 11 00 00 00 06 00 00 00 dd 82 26 0e 47 88 dd 01"), 0x6u, kSampleCreate},
        {"the oldest form: the text and its NUL", std::string("0x20\0", 5), 0x20u, std::nullopt},
        {"the oldest form without its NUL", "0x22", 0x22u, std::nullopt},
        {"version 3 after a text, padded to 2 and 4",
         bytes("30 78 32 30 00 00 03 00 03 00 00 00 11 00 00 00 21 00 00 00 00 00 00 00 " + kZero + " " + kZero + " " + kTime + " " + kZero),
         0x21u, kT},
        {"version 3 whose create time is not valid",
         bytes("30 78 32 30 00 00 03 00 03 00 00 00 01 00 00 00 21 00 00 00 00 00 00 00 " + kZero + " " + kZero + " " + kTime + " " + kZero),
         0x21u, std::nullopt},
        {"version 4: itime before the create time",
         bytes("00 00 04 00 04 00 00 00 51 00 00 00 02 00 00 00 11 11 11 11 11 11 11 11 " + kTime), 0x2u, kT},
        {"version 1: no valid flags",
         bytes("30 78 32 00 01 00 01 00 02 00 00 00 00 00 00 00 " + kZero + " " + kZero + " " + kTime + " " + kZero), 0x2u, kT},
        {"version 2, read only",
         bytes("30 78 34 00 02 00 02 00 00 00 00 00 04 00 00 00 00 00 00 00 " + kZero + " " + kZero + " " + kTime + " " + kZero + " " + kZero + " 00"),
         0x4u, kT},
        {"version 5 with only the create time valid",
         bytes("00 00 05 00 05 00 00 00 10 00 00 00 06 00 00 00 dd 82 26 0e 47 88 dd 01"), std::nullopt,
         kSampleCreate},
        {"a create time of 0 is none", bytes("00 00 05 00 05 00 00 00 11 00 00 00 06 00 00 00 " + kZero), 0x6u,
         std::nullopt},
        // Malformed: nothing at all, whatever part of it looks right.
        {"cut one byte short", bytes("00 00 05 00 05 00 00 00 11 00 00 00 06 00 00 00 dd 82 26 0e 47 88 dd"),
         std::nullopt, std::nullopt},
        {"an unknown version", bytes("00 00 06 00 06 00 00 00 11 00 00 00 06 00 00 00 " + kTime), std::nullopt,
         std::nullopt},
        {"the version and its selector differ", bytes("00 00 05 00 04 00 00 00 11 00 00 00 06 00 00 00 " + kTime),
         std::nullopt, std::nullopt},
        {"flags for a field version 5 lacks", bytes("00 00 05 00 05 00 00 00 31 00 00 00 06 00 00 00 " + kTime),
         std::nullopt, std::nullopt},
        {"a text that is not hex", bytes("30 78 5a 00 05 00 05 00 11 00 00 00 06 00 00 00 " + kTime), std::nullopt,
         std::nullopt},
        {"an oldest form that is not hex", "hidden", std::nullopt, std::nullopt},
        {"an empty text alone", std::string("\0", 1), std::nullopt, std::nullopt},
        {"a version with no structure", bytes("00 00 05 00 05"), std::nullopt, std::nullopt},
    };
    for (const SambaCase& c : cases) {
        const DosInfo info = dosattrib::decodeSambaValue(c.value);
        EXPECT_EQ(info.attributes, c.attributes) << c.what;
        EXPECT_EQ(info.createTime, c.createTime) << c.what;
    }
}

TEST(DosAttrib, ClientValuesTimesAndBits)
{
    EXPECT_EQ(dosattrib::decodeClientAttributes(bytes("21 08 00 00")), 0x821u);
    EXPECT_EQ(dosattrib::decodeClientAttributes(bytes("21 08 00")), std::nullopt);
    EXPECT_EQ(dosattrib::decodeClientCreationTime(bytes(kTime)), kT);
    EXPECT_EQ(dosattrib::decodeClientCreationTime(bytes(kZero)), std::nullopt);
    EXPECT_EQ(dosattrib::decodeClientCreationTime(bytes(kTime + " 00")), std::nullopt);

    // 2015-01-01 00:00:00 UTC; half a second before 1970 is in 1969.
    EXPECT_EQ(dosattrib::unixTimeOf(130645440000000000ULL), std::optional<std::time_t>(1420070400));
    EXPECT_EQ(dosattrib::unixTimeOf(116444736000000000ULL - 5000000), std::optional<std::time_t>(-1));
    EXPECT_EQ(dosattrib::unixTimeOf(0), std::nullopt);

    // Read-only, hidden, system and archive keep their places; compressed and
    // offline become Compressed and Migrated; directory and the rest go.
    EXPECT_EQ(dosattrib::netWareBitsOf(0x37), nwattr::ReadOnly | nwattr::Hidden | nwattr::System |
                                                  nwattr::ArchiveNeeded);
    EXPECT_EQ(dosattrib::netWareBitsOf(0x1800 | 0x80 | 0x4000), nwattr::Compressed | nwattr::Migrated);
}

}  // namespace
