#pragma once

// The models behind the results, errors and owner-totals lists. Results and
// errors rows are stored compactly (shared folder and owner texts, the name in
// one growing arena, 24 bytes of numbers a row) so that a million rows cost
// little memory and appending one never copies the list. A sort is a
// permutation over the stored rows, 8 bytes a row, never a copy of them.

#include <QAbstractTableModel>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <map>
#include <optional>
#include <vector>

#include "output/liststore.h"

// A whole number as the lists show it: digits grouped by thousands with
// commas (1,048,576). Text that is not a whole number comes back as it is.
QString groupDigits(const QString& number);

// What the lists' views need of their models beyond Qt's: the texts of the
// cells, for copying, and the column the rows are in order of. Numbers are
// shown grouped by thousands but copied as plain digits, which every
// spreadsheet reads whatever its locale.
class SortableListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    // The cell at that row (after a sort, the row of the sorted list), numbers
    // without grouping.
    virtual QString text(int row, int column) const = 0;
    // The column every row is in order of, or -1: not sorted, or rows
    // arrived after the sort (they stand below the sorted ones).
    virtual int sortedColumn() const = 0;
    virtual Qt::SortOrder sortedOrder() const = 0;
    // Columns holding numbers, shown right-aligned.
    virtual bool isNumberColumn(int column) const = 0;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    int columnCount(const QModelIndex& parent = {}) const override;

signals:
    // The rows the list holds changed (rows arrived, the list was emptied,
    // the filter changed), whether or not the rows shown did.
    void listChanged();

protected:
    explicit SortableListModel(std::span<const char* const> headings, QObject* parent)
        : QAbstractTableModel(parent), m_headings(headings)
    {
    }

private:
    std::span<const char* const> m_headings;
};

// What the results and errors lists share: the announced rows, the batched
// updates, the sort, and a row of texts with one number (the size) shown in
// the second column.
class CompactListModel : public SortableListModel {
    Q_OBJECT
public:
    // Rows appended since the last flush are announced to the views in one
    // insertion, below any sorted rows; the walker flushes at every message pump.
    void flush();
    // Empties the list as one batched update; the sort goes with the rows,
    // the filter stays for the rows to come.
    void clear();
    // Shows only the rows whose path or shared text (the owner, the problem)
    // holds text, blind to the case of a-z; empty shows every row. Rows to
    // come and later sorts follow it; the selection keeps the rows still shown.
    void setFilter(std::string_view text);
    // The rows announced, shown or not.
    int totalRows() const { return m_announced; }

    QString text(int row, int column) const override;
    int sortedColumn() const override;
    Qt::SortOrder sortedOrder() const override { return m_sortOrder; }
    bool isNumberColumn(int column) const override { return column == 1; }

    int rowCount(const QModelIndex& parent = {}) const override;
    // Sizes as numbers, names and paths blind to case, paths in the order a
    // walk visits them; ties keep the order the rows arrived in. Column -1
    // gives back the order of arrival.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

protected:
    CompactListModel(std::span<const char* const> headings, std::span<const liststore::SortKey> keys,
                     QObject* parent);
    liststore::RowStore& rows() { return m_rows; }
    const liststore::RowStore& rows() const { return m_rows; }
    // The stored row shown at row (which must be shown).
    std::size_t storedRow(int row) const;
    bool isShown(int row) const { return row >= 0 && row < rowCount(); }
    virtual QString cellText(std::size_t stored, int column) const = 0;
    virtual void rowsCleared() {}
    // Texts a column of shared-text key sorts by instead of the shared texts.
    virtual std::span<const std::string_view> sortTextsOfShared(int column) const
    {
        (void)column;
        return {};
    }

private:
    // The stored row at row of the list without the filter.
    std::size_t orderedRow(std::size_t row) const;
    void refilter();
    // Runs change, which reorders or refilters the rows, and moves what the
    // views hold (the current row, the selection) with its rows.
    template <typename Change>
    void relayout(Change change);

    std::span<const liststore::SortKey> m_keys;
    liststore::RowStore m_rows;
    int m_announced = 0;
    // The sorted rows, first to last (low 32 bits of each entry); rows shown
    // below them are in the order they arrived.
    std::vector<std::uint64_t> m_order;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    // With a filter, the stored rows shown, in the order of the list.
    liststore::RowFilter m_filter;
    std::vector<std::uint32_t> m_shown;
};

class ResultsModel : public CompactListModel {
    Q_OBJECT
public:
    explicit ResultsModel(QObject* parent = nullptr);

    // Columns "FileName", "Size", "Owner", "Full Path".
    void appendRow(std::string_view fileName, std::uint64_t size, std::string_view owner, std::string_view fullPath);

    // The folder part of a shown row's full path ("F:\DATA\"), and the path.
    QString folderPath(int row) const;
    QString fullPath(int row) const;

    // The matches of every owner so far, stored rows included, by the
    // owner's number (0, 1, 2 ... in order of first appearance).
    struct OwnerTotal {
        std::uint64_t files = 0;
        std::uint64_t bytes = 0;
    };
    const std::vector<OwnerTotal>& ownerTotals() const { return m_ownerTotals; }
    std::string_view ownerName(std::uint32_t owner) const { return rows().sharedTexts().text(owner); }

protected:
    QString cellText(std::size_t stored, int column) const override;
    void rowsCleared() override { std::vector<OwnerTotal>().swap(m_ownerTotals); }

private:
    std::vector<OwnerTotal> m_ownerTotals;
};

// The files of the last scan that changed since the run before it, with
// their change: columns "Full Path", "Size", "Change".
class ChangesModel : public CompactListModel {
    Q_OBJECT
public:
    explicit ChangesModel(QObject* parent = nullptr);
    void appendRow(std::string_view fullPath, std::uint64_t size, std::string_view change);

protected:
    QString cellText(std::size_t stored, int column) const override;
};

class ErrorsModel : public CompactListModel {
    Q_OBJECT
public:
    explicit ErrorsModel(QObject* parent = nullptr);

    // Columns "FileName", "Size", "Problem", "Meaning": the client's code in
    // words (code 0, or one not known, leaves it blank).
    void appendRow(std::string_view path, std::uint64_t size, std::string_view problem, std::uint32_t code = 0);

protected:
    QString cellText(std::size_t stored, int column) const override;
    void rowsCleared() override { std::vector<std::string_view>().swap(m_meanings); }
    std::span<const std::string_view> sortTextsOfShared(int column) const override;

private:
    // The meaning of each problem text's code, by the problem's number.
    std::vector<std::string_view> m_meanings;
};

// Each owner of the results with the number and the bytes of its matching
// files, largest first, and a total line that stays last whatever the sort.
// It follows the results model: new owners and new counts appear when the
// results announce their rows, and it empties with them.
class OwnerTotalsModel : public SortableListModel {
    Q_OBJECT
public:
    explicit OwnerTotalsModel(const ResultsModel& results, QObject* parent = nullptr);

    // Each owner's files and bytes in the run the last scan was compared
    // with, by the owner's name; nothing when it was compared with none.
    using BaseTotals = std::map<std::string, std::pair<std::uint64_t, std::uint64_t>, std::less<>>;
    void setBase(std::optional<BaseTotals> base);

    // Columns "Owner", "Matching Files", "Matching Size", and with a base
    // "Files Since Last Run" and "Size Since Last Run" (signed changes).
    QString text(int row, int column) const override;
    int sortedColumn() const override { return m_sortColumn; }
    Qt::SortOrder sortedOrder() const override { return m_sortOrder; }
    bool isNumberColumn(int column) const override { return column >= 1; }
    int columnCount(const QModelIndex& parent = {}) const override;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    struct Line {
        std::string owner;
        std::uint32_t id = 0;
        std::uint64_t files = 0;
        std::uint64_t bytes = 0;
    };
    void refresh();
    // Puts the lines in the order of the sort, moving what the views hold.
    void reorder();
    bool before(const Line& a, const Line& b) const;

    // The change of files (false: bytes) of an owner (nullptr: the total) since the base.
    std::int64_t sinceBase(const Line* line, bool files) const;

    const ResultsModel& m_results;
    std::optional<BaseTotals> m_base;
    std::vector<Line> m_lines;
    std::uint64_t m_totalFiles = 0;
    std::uint64_t m_totalBytes = 0;
    int m_sortColumn = 2;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
};
