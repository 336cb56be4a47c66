// Whether one file found by the walker is a match.

#include <QByteArray>
#include <QListWidget>

#include "app/tfrmmain.h"
#include "scan/filetests.h"

std::int32_t Tfrmmain::MatchFile(const FileInfoRecord& info, const ExtendedInfoRecord& extended,
                                 std::string_view owner)
{
    const ScanCriteria& criteria = scanCriteria;

    if (!sizeTestPasses(criteria.SizeMode, criteria.SizeBytes, info.size))
        return 0;

    if (criteria.OwnerTestOn) {
        // The list is read at every test: it may be edited while the scan runs.
        bool matched = false;
        const int count = lstUsers->count();
        for (int row = 0; row < count && !matched; ++row) {
            const QByteArray item = lstUsers->item(row)->text().toUtf8();
            matched = ownerItemMatches(std::string_view(item.constData(), static_cast<std::size_t>(item.size())),
                                       owner);
        }
        if (!matched)
            return 0;
    }

    if (criteria.DateTestOn
        && !dateTestPasses(criteria, fileDaySerial(*nwClient(), criteria.DateType, info)))
        return 0;

    if (!attributeTestPasses(criteria.AttributeMask, extended.attributes))
        return 0;

    return 1;
}
