#pragma once

// The models behind the results and errors lists. Rows are stored compactly
// (texts in one growing arena, a few offsets per row) so that a million rows
// cost little memory and appending one never copies the list.

#include <QAbstractTableModel>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

// What the two lists share: the announced rows, the batched updates, and a
// row of texts with one number (the size) shown in the second column.
class CompactListModel : public QAbstractTableModel {
public:
    // Rows appended since the last flush are announced to the views in one
    // insertion; the walker flushes at every message pump.
    void flush();
    // Empties the list as one batched update.
    void clear();
    QString text(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    ~CompactListModel() override;

    // The stored rows: per row its texts in column order without the number.
    class Rows;

protected:
    CompactListModel(std::span<const char* const> headings, std::unique_ptr<Rows> rows, QObject* parent);
    Rows& rows() { return *m_rows; }

private:
    std::span<const char* const> m_headings;
    std::unique_ptr<Rows> m_rows;
    int m_announced = 0;
};

class ResultsModel : public CompactListModel {
    Q_OBJECT
public:
    explicit ResultsModel(QObject* parent = nullptr);

    // Columns "FileName", "Size", "Owner", "Full Path".
    void appendRow(std::string_view fileName, std::uint64_t size, std::string_view owner,
                   std::string_view fullPath);
};

class ErrorsModel : public CompactListModel {
    Q_OBJECT
public:
    explicit ErrorsModel(QObject* parent = nullptr);

    // Columns "FileName", "Size", "Problem".
    void appendRow(std::string_view path, std::uint64_t size, std::string_view problem);
};
