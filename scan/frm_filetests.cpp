// Whether one file found by the walker is a match.

#include <QAbstractItemModel>
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
        if (!m_ownerItemsWatched) {
            const auto stale = [this] { m_ownerItemsStale = true; };
            QAbstractItemModel* model = lstUsers->model();
            connect(model, &QAbstractItemModel::rowsInserted, this, stale);
            connect(model, &QAbstractItemModel::rowsRemoved, this, stale);
            connect(model, &QAbstractItemModel::rowsMoved, this, stale);
            connect(model, &QAbstractItemModel::dataChanged, this, stale);
            connect(model, &QAbstractItemModel::modelReset, this, stale);
            connect(model, &QAbstractItemModel::layoutChanged, this, stale);
            m_ownerItemsWatched = true;
        }
        if (m_ownerItemsStale) {
            m_ownerItems.clear();
            for (int row = 0; row < lstUsers->count(); ++row)
                m_ownerItems.push_back(lstUsers->item(row)->text().toStdString());
            m_ownerItemsStale = false;
        }
        bool matched = false;
        for (const std::string& item : m_ownerItems) {
            if (isOutsideDirectoryItem(item) ? m_ownerOutsideDirectory : ownerItemMatches(item, owner)) {
                matched = true;
                break;
            }
        }
        if (!matched)
            return 0;
    }

    if (criteria.DateTestOn && !dateTestPasses(criteria, fileDaySerial(*nwClient(), criteria.DateType, info)))
        return 0;

    if (!attributeTestPasses(criteria.AttributeMask, extended.attributes))
        return 0;

    return 1;
}
