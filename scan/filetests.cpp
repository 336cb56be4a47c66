// The size, owner, date and attribute tests of one file, apart from the window.

#include "scan/filetests.h"

#include "platform/asciicase.h"
#include "scan/dayserial.h"

namespace {

std::optional<std::int32_t> serialOf(const DateRecord& date) { return daySerial(date.year, date.month, date.day); }

}  // namespace

bool sizeTestPasses(std::int32_t sizeMode, double sizeBytes, std::uint32_t fileSize)
{
    const double size = fileSize;
    switch (sizeMode) {
    case 1:
        return size >= sizeBytes;
    case 2:
        return size <= sizeBytes;
    case 3:
        return size == sizeBytes;
    default:
        return true;
    }
}

bool ownerItemMatches(std::string_view item, std::string_view owner)
{
    if (item.empty())
        return false;
    if (ascii::equalsIgnoringCase(item, owner))
        return true;
    // A tail counts only where a name component begins: "SALES.ACME" selects
    // "JSMITH.SALES.ACME", "SMITH.SALES.ACME" does not select "JSMITH.SALES.ACME".
    if (owner.size() <= item.size())
        return false;
    const std::size_t start = owner.size() - item.size();
    return owner[start - 1] == '.' && ascii::equalsIgnoringCase(item, owner.substr(start));
}

bool isOutsideDirectoryItem(std::string_view item) { return ascii::equalsIgnoringCase(item, kOutsideDirectoryItem); }

std::optional<std::int32_t> fileDaySerial(NwClient& client, std::int32_t dateType, const FileInfoRecord& info)
{
    DateRecord date{};
    switch (dateType) {
    case 1:
        client.NWUnpackDate(info.lastAccessDate, &date);
        break;
    case 2: {
        TimeRecord time{};
        client.NWUnpackDateTime(info.lastUpdateDateAndTime, &date, &time);
        break;
    }
    case 3:
        client.NWUnpackDate(info.creationDate, &date);
        break;
    default:
        return std::nullopt;
    }
    return serialOf(date);
}

bool dateTestPasses(const ScanCriteria& criteria, std::optional<std::int32_t> fileDay)
{
    if (!fileDay)
        return false;
    const double day = *fileDay;
    switch (criteria.DateMode) {
    case 1:
        return day <= criteria.BeforeDate;
    case 2:
        return day == criteria.ExactDate;
    case 3:
        return day >= criteria.AfterDate;
    case 4:
        return day >= criteria.BeforeDate && day <= criteria.AfterDate;
    default:
        return true;
    }
}

bool attributeTestPasses(std::uint32_t mask, std::uint32_t attributes) { return (attributes & mask) == mask; }
