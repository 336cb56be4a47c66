#pragma once

// The decisions of the four file tests, apart from the window: the size, owner,
// date and attribute tests a file must pass to be a match. A test that the
// criteria switch off passes.

#include <cstdint>
#include <optional>
#include <string_view>

#include "netclient/nwclient.h"
#include "scan/scancriteria.h"

// SizeMode 1 passes sizes >= SizeBytes, 2 sizes <= SizeBytes, 3 only the size
// equal to it; 0 (or anything else) passes every size. Exact comparison: every
// 32-bit size and every typed whole number below 2^53 are held exactly.
bool sizeTestPasses(std::int32_t sizeMode, double sizeBytes, std::uint32_t fileSize);

// One owner-list item against an owner's full name, blind to the case of a-z
// only: it matches the whole name, or its tail after a "." (the container of
// the owner or one above it), never a partial name component.
bool ownerItemMatches(std::string_view item, std::string_view owner);

// The owner-list entry that stands for no name but for every owner ID the
// directory has no object for (the files of people who have left); matched
// as a whole, blind to case, never as a name or a tail.
inline constexpr char kOutsideDirectoryItem[] = "(not in the directory)";
bool isOutsideDirectoryItem(std::string_view item);

// The file's day to test, by DateType: 1 last access, 2 last update (its time
// dropped), 3 creation. Nothing when the type is unknown or the stored date is
// no calendar day.
std::optional<std::int32_t> fileDaySerial(NwClient& client, std::int32_t dateType, const FileInfoRecord& info);

// DateMode 1 on or before BeforeDate, 2 on ExactDate, 3 on or after AfterDate,
// 4 from BeforeDate to AfterDate, both ends included. A file without a day
// fails every mode.
bool dateTestPasses(const ScanCriteria& criteria, std::optional<std::int32_t> fileDay);

// Every bit of the mask must be set; a mask of 0 passes everything.
bool attributeTestPasses(std::uint32_t mask, std::uint32_t attributes);
