// The Qt models of the results, errors and owner-totals lists, over the rows
// the list store keeps.

#include "output/qt_listmodels.h"

#include "netclient/nwcodes.h"

#include <QFont>
#include <algorithm>
#include <array>
#include <climits>

namespace {

using liststore::SortKey;

QString decimalText(std::uint64_t value) { return QString::number(static_cast<qulonglong>(value)); }

QString utf8Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString joinedText(std::string_view folder, std::string_view rest)
{
    QString text = utf8Text(folder);
    text += utf8Text(rest);
    return text;
}

// The views see only announced rows; rows stored since are announced in one
// insertion by the next flush.
int announcedCount(std::size_t stored) { return static_cast<int>(std::min<std::size_t>(stored, INT_MAX)); }

constexpr std::array<const char*, 4> kResultsHeadings{"FileName", "Size", "Owner", "Full Path"};
constexpr std::array<SortKey, 4> kResultsKeys{SortKey::Text, SortKey::Number, SortKey::Shared, SortKey::Path};
constexpr std::array<const char*, 4> kErrorsHeadings{"FileName", "Size", "Problem", "Meaning"};
constexpr std::array<const char*, 3> kChangesHeadings{"Full Path", "Size", "Change"};
constexpr std::array<SortKey, 3> kChangesKeys{SortKey::Path, SortKey::Number, SortKey::Shared};
constexpr std::array<SortKey, 4> kErrorsKeys{SortKey::Path, SortKey::Number, SortKey::Shared, SortKey::Shared};
constexpr std::array<const char*, 5> kTotalsHeadings{"Owner", "Matching Files", "Matching Size",
                                                     "Files Since Last Run", "Size Since Last Run"};

constexpr Qt::Alignment kNumberAlignment = Qt::AlignRight | Qt::AlignVCenter;

}  // namespace

QString groupDigits(const QString& number)
{
    const qsizetype first = number.startsWith(QLatin1Char('-')) || number.startsWith(QLatin1Char('+')) ? 1 : 0;
    const qsizetype digits = number.size() - first;
    if (digits <= 0)
        return number;
    for (qsizetype i = first; i < number.size(); ++i) {
        if (!number[i].isDigit())
            return number;
    }
    QString grouped = number.left(first);
    grouped.reserve(number.size() + digits / 3);
    for (qsizetype i = first; i < number.size(); ++i) {
        if (i > first && (number.size() - i) % 3 == 0)
            grouped += QLatin1Char(',');
        grouped += number[i];
    }
    return grouped;
}

QVariant SortableListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.model() != this)
        return {};
    if (role == Qt::DisplayRole) {
        const QString cell = text(index.row(), index.column());
        return isNumberColumn(index.column()) ? groupDigits(cell) : cell;
    }
    if (role == Qt::TextAlignmentRole && isNumberColumn(index.column()))
        return QVariant::fromValue(kNumberAlignment);
    return {};
}

QVariant SortableListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || static_cast<std::size_t>(section) >= m_headings.size())
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(m_headings[static_cast<std::size_t>(section)]);
    if (role == Qt::TextAlignmentRole && isNumberColumn(section))
        return QVariant::fromValue(kNumberAlignment);
    return {};
}

int SortableListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_headings.size());
}

CompactListModel::CompactListModel(std::span<const char* const> headings, std::span<const SortKey> keys,
                                   QObject* parent)
    : SortableListModel(headings, parent), m_keys(keys)
{
}

void CompactListModel::flush()
{
    const int stored = announcedCount(m_rows.size());
    if (stored <= m_announced)
        return;
    if (m_filter.empty()) {
        beginInsertRows({}, m_announced, stored - 1);
        m_announced = stored;
        endInsertRows();
    } else {
        // New rows stand below the sorted ones, in the order they arrived.
        std::vector<std::uint32_t> arrived;
        for (auto row = static_cast<std::size_t>(m_announced); row < static_cast<std::size_t>(stored); ++row) {
            if (m_filter.matches(m_rows, row))
                arrived.push_back(static_cast<std::uint32_t>(row));
        }
        m_announced = stored;
        if (!arrived.empty()) {
            const int first = static_cast<int>(m_shown.size());
            beginInsertRows({}, first, first + static_cast<int>(arrived.size()) - 1);
            m_shown.insert(m_shown.end(), arrived.begin(), arrived.end());
            endInsertRows();
        }
    }
    emit listChanged();
}

void CompactListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_announced = 0;
    std::vector<std::uint64_t>().swap(m_order);
    std::vector<std::uint32_t>().swap(m_shown);
    m_filter.forget();
    m_sortColumn = -1;
    m_sortOrder = Qt::AscendingOrder;
    rowsCleared();
    endResetModel();
    emit listChanged();
}

std::size_t CompactListModel::orderedRow(std::size_t row) const
{
    return row < m_order.size() ? static_cast<std::uint32_t>(m_order[row]) : row;
}

std::size_t CompactListModel::storedRow(int row) const
{
    const auto shown = static_cast<std::size_t>(row);
    return m_filter.empty() ? orderedRow(shown) : m_shown[shown];
}

void CompactListModel::refilter()
{
    m_shown.clear();
    if (m_filter.empty()) {
        m_shown.shrink_to_fit();
        return;
    }
    for (std::size_t row = 0; row < static_cast<std::size_t>(m_announced); ++row) {
        const std::size_t stored = orderedRow(row);
        if (m_filter.matches(m_rows, stored))
            m_shown.push_back(static_cast<std::uint32_t>(stored));
    }
}

QString CompactListModel::text(int row, int column) const
{
    if (!isShown(row) || column < 0 || column >= columnCount())
        return {};
    return cellText(storedRow(row), column);
}

int CompactListModel::sortedColumn() const
{
    return m_order.size() == static_cast<std::size_t>(m_announced) ? m_sortColumn : -1;
}

int CompactListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_filter.empty() ? m_announced : static_cast<int>(m_shown.size());
}

template <typename Change>
void CompactListModel::relayout(Change change)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);

    // What the views hold is few beside the rows, so it is found by one pass
    // over the new order, not by an inverse permutation of the rows. What the
    // filter now hides is let go.
    const QModelIndexList held = persistentIndexList();
    std::vector<std::pair<std::uint32_t, int>> heldRows;  // stored row, place in held
    heldRows.reserve(static_cast<std::size_t>(held.size()));
    for (int i = 0; i < held.size(); ++i)
        heldRows.emplace_back(static_cast<std::uint32_t>(storedRow(held[i].row())), i);
    std::sort(heldRows.begin(), heldRows.end());

    change();

    if (!heldRows.empty()) {
        QModelIndexList moved(held.size());
        const int rows = rowCount();
        for (int row = 0; row < rows; ++row) {
            const auto stored = static_cast<std::uint32_t>(storedRow(row));
            auto it = std::lower_bound(heldRows.begin(), heldRows.end(), std::pair{stored, INT_MIN});
            for (; it != heldRows.end() && it->first == stored; ++it)
                moved[it->second] = index(row, held[it->second].column());
        }
        changePersistentIndexList(held, moved);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CompactListModel::sort(int column, Qt::SortOrder order)
{
    if (column >= static_cast<int>(m_keys.size()))
        return;
    relayout([&] {
        if (column < 0) {
            std::vector<std::uint64_t>().swap(m_order);
        } else {
            liststore::sortRows(m_rows, static_cast<std::size_t>(m_announced),
                                m_keys[static_cast<std::size_t>(column)], order == Qt::DescendingOrder, m_order,
                                sortTextsOfShared(column));
        }
        m_sortColumn = column;
        m_sortOrder = order;
        refilter();
    });
}

void CompactListModel::setFilter(std::string_view text)
{
    relayout([&] {
        m_filter.setText(text);
        refilter();
    });
    emit listChanged();
}

// Texts: the file name, then the full path's last part when it is not the
// name; shared: the owner; the number is the size.
ResultsModel::ResultsModel(QObject* parent) : CompactListModel(kResultsHeadings, kResultsKeys, parent) {}

void ResultsModel::appendRow(std::string_view fileName, std::uint64_t size, std::string_view owner,
                             std::string_view fullPath)
{
    const std::size_t folderEnd = liststore::folderLength(fullPath);
    const std::string_view last = fullPath.substr(folderEnd);
    const std::uint32_t ownerId = rows().append(fullPath.substr(0, folderEnd), fileName,
                                                last == fileName ? nullptr : &last, owner, size);
    if (ownerId >= m_ownerTotals.size())
        m_ownerTotals.resize(ownerId + 1);
    OwnerTotal& total = m_ownerTotals[ownerId];
    ++total.files;
    total.bytes = size > UINT64_MAX - total.bytes ? UINT64_MAX : total.bytes + size;
}

QString ResultsModel::cellText(std::size_t stored, int column) const
{
    switch (column) {
    case 0:
        return utf8Text(rows().text(stored));
    case 1:
        return decimalText(rows().number(stored));
    case 2:
        return utf8Text(rows().shared(stored));
    default:
        return joinedText(rows().folder(stored), rows().second(stored));
    }
}

QString ResultsModel::folderPath(int row) const
{
    return isShown(row) ? utf8Text(rows().folder(storedRow(row))) : QString();
}

QString ResultsModel::fullPath(int row) const { return text(row, 3); }

// Texts: the path's part after its folder; shared: the change (a handful of
// texts); the number is the size.
ChangesModel::ChangesModel(QObject* parent) : CompactListModel(kChangesHeadings, kChangesKeys, parent) {}

void ChangesModel::appendRow(std::string_view fullPath, std::uint64_t size, std::string_view change)
{
    const std::size_t folderEnd = liststore::folderLength(fullPath);
    rows().append(fullPath.substr(0, folderEnd), fullPath.substr(folderEnd), nullptr, change, size);
}

QString ChangesModel::cellText(std::size_t stored, int column) const
{
    switch (column) {
    case 0:
        return joinedText(rows().folder(stored), rows().text(stored));
    case 1:
        return decimalText(rows().number(stored));
    default:
        return utf8Text(rows().shared(stored));
    }
}

// Texts: the path's part after its folder; shared: the problem; the number is the size.
ErrorsModel::ErrorsModel(QObject* parent) : CompactListModel(kErrorsHeadings, kErrorsKeys, parent) {}

void ErrorsModel::appendRow(std::string_view path, std::uint64_t size, std::string_view problem, std::uint32_t code)
{
    const std::size_t folderEnd = liststore::folderLength(path);
    const std::uint32_t problemId = rows().append(path.substr(0, folderEnd), path.substr(folderEnd), nullptr, problem,
                                                  size);
    // The problem text holds the code, so one meaning serves all its rows.
    if (problemId >= m_meanings.size())
        m_meanings.push_back(nwCodeInWords(code));
}

QString ErrorsModel::cellText(std::size_t stored, int column) const
{
    switch (column) {
    case 0:
        return joinedText(rows().folder(stored), rows().text(stored));
    case 1:
        return decimalText(rows().number(stored));
    case 2:
        return utf8Text(rows().shared(stored));
    default:
        return utf8Text(m_meanings[rows().sharedId(stored)]);
    }
}

std::span<const std::string_view> ErrorsModel::sortTextsOfShared(int column) const
{
    return column == 3 ? std::span<const std::string_view>(m_meanings) : std::span<const std::string_view>();
}

OwnerTotalsModel::OwnerTotalsModel(const ResultsModel& results, QObject* parent)
    : SortableListModel(kTotalsHeadings, parent), m_results(results)
{
    // Every match counts, whether or not the results' filter shows it.
    connect(&results, &CompactListModel::listChanged, this, &OwnerTotalsModel::refresh);
    connect(&results, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(&results, &QAbstractItemModel::modelReset, this, [this] {
        m_lines.clear();
        m_totalFiles = 0;
        m_totalBytes = 0;
        endResetModel();
        refresh();
    });
    refresh();
}

int OwnerTotalsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_base ? 5 : 3;
}

void OwnerTotalsModel::setBase(std::optional<BaseTotals> base)
{
    beginResetModel();
    m_base = std::move(base);
    endResetModel();
}

std::int64_t OwnerTotalsModel::sinceBase(const Line* line, bool files) const
{
    std::uint64_t before = 0;
    if (line == nullptr) {
        for (const auto& [owner, counts] : *m_base)
            before += files ? counts.first : counts.second;
    } else if (const auto found = m_base->find(line->owner); found != m_base->end()) {
        before = files ? found->second.first : found->second.second;
    }
    const std::uint64_t now = line == nullptr ? (files ? m_totalFiles : m_totalBytes) : files ? line->files : line->bytes;
    return static_cast<std::int64_t>(now) - static_cast<std::int64_t>(before);
}

int OwnerTotalsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_lines.size()) + 1;
}

QString OwnerTotalsModel::text(int row, int column) const
{
    if (row < 0 || row > static_cast<int>(m_lines.size()) || column < 0 || column >= columnCount())
        return {};
    const bool total = row == static_cast<int>(m_lines.size());
    switch (column) {
    case 0:
        return total ? QStringLiteral("Total") : utf8Text(m_lines[static_cast<std::size_t>(row)].owner);
    case 1:
        return decimalText(total ? m_totalFiles : m_lines[static_cast<std::size_t>(row)].files);
    case 2:
        return decimalText(total ? m_totalBytes : m_lines[static_cast<std::size_t>(row)].bytes);
    default: {
        const std::int64_t change = sinceBase(total ? nullptr : &m_lines[static_cast<std::size_t>(row)], column == 3);
        return change > 0 ? QStringLiteral("+") + QString::number(change) : QString::number(change);
    }
    }
}

QVariant OwnerTotalsModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::FontRole && index.isValid() && index.model() == this &&
        index.row() == static_cast<int>(m_lines.size())) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    return SortableListModel::data(index, role);
}

void OwnerTotalsModel::refresh()
{
    const std::vector<ResultsModel::OwnerTotal>& totals = m_results.ownerTotals();
    const std::size_t known = m_lines.size();
    if (totals.size() > known) {
        // New owners come in above the total line; the sort then places them.
        beginInsertRows({}, static_cast<int>(known), static_cast<int>(totals.size()) - 1);
        for (std::size_t id = known; id < totals.size(); ++id)
            m_lines.push_back({std::string(m_results.ownerName(static_cast<std::uint32_t>(id))),
                               static_cast<std::uint32_t>(id), 0, 0});
        endInsertRows();
    }
    m_totalFiles = 0;
    m_totalBytes = 0;
    for (Line& line : m_lines) {
        line.files = totals[line.id].files;
        line.bytes = totals[line.id].bytes;
        m_totalFiles += line.files;
        m_totalBytes = line.bytes > UINT64_MAX - m_totalBytes ? UINT64_MAX : m_totalBytes + line.bytes;
    }
    reorder();
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

bool OwnerTotalsModel::before(const Line& a, const Line& b) const
{
    int order = 0;
    if (m_sortColumn == 1)
        order = a.files < b.files ? -1 : a.files > b.files ? 1 : 0;
    else if (m_sortColumn == 2)
        order = a.bytes < b.bytes ? -1 : a.bytes > b.bytes ? 1 : 0;
    else if (m_sortColumn >= 3 && m_base) {
        const std::int64_t x = sinceBase(&a, m_sortColumn == 3);
        const std::int64_t y = sinceBase(&b, m_sortColumn == 3);
        order = x < y ? -1 : x > y ? 1 : 0;
    }
    if (m_sortOrder == Qt::DescendingOrder)
        order = -order;
    // Ties, and the owner column, by the owner's name.
    if (order == 0) {
        order = liststore::compareNames(a.owner, b.owner);
        if (m_sortColumn == 0 && m_sortOrder == Qt::DescendingOrder)
            order = -order;
    }
    return order < 0;
}

void OwnerTotalsModel::reorder()
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList held = persistentIndexList();
    std::vector<std::uint32_t> heldIds;  // the owner at each held row, or the total line's mark
    constexpr std::uint32_t kTotalLine = UINT32_MAX;
    for (const QModelIndex& index : held) {
        const auto row = static_cast<std::size_t>(index.row());
        heldIds.push_back(row < m_lines.size() ? m_lines[row].id : kTotalLine);
    }
    std::stable_sort(m_lines.begin(), m_lines.end(), [this](const Line& a, const Line& b) { return before(a, b); });

    std::vector<int> rowOfId(m_lines.size());
    for (std::size_t row = 0; row < m_lines.size(); ++row)
        rowOfId[m_lines[row].id] = static_cast<int>(row);
    QModelIndexList moved;
    for (int i = 0; i < held.size(); ++i) {
        const std::uint32_t id = heldIds[static_cast<std::size_t>(i)];
        moved.append(index(id == kTotalLine ? static_cast<int>(m_lines.size()) : rowOfId[id], held[i].column()));
    }
    changePersistentIndexList(held, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void OwnerTotalsModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columnCount())
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    reorder();
}
