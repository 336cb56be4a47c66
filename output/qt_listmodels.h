#pragma once

// The models behind the results and errors lists. Rows are stored compactly
// (texts in one growing arena, a few offsets per row) so that a million rows
// cost little memory and appending one never copies the list.

#include <QAbstractTableModel>
#include <cstdint>
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

protected:
    CompactListModel(std::span<const char* const> headings, QObject* parent);

private:
    // The rows as stored: their count, the texts of a row in column order
    // without the number, and the number.
    virtual std::size_t storedRows() const = 0;
    virtual std::string_view storedText(std::size_t row, std::size_t slot) const = 0;
    virtual std::uint64_t storedNumber(std::size_t row) const = 0;
    virtual void clearStored() = 0;

    std::span<const char* const> m_headings;
    int m_announced = 0;
};

class ResultsModel : public CompactListModel {
    Q_OBJECT
public:
    explicit ResultsModel(QObject* parent = nullptr);
    ~ResultsModel() override;

    // Columns "FileName", "Size", "Owner", "Full Path".
    void appendRow(std::string_view fileName, std::uint64_t size, std::string_view owner,
                   std::string_view fullPath);

private:
    std::size_t storedRows() const override;
    std::string_view storedText(std::size_t row, std::size_t slot) const override;
    std::uint64_t storedNumber(std::size_t row) const override;
    void clearStored() override;

    struct Impl;
    Impl* d;
};

class ErrorsModel : public CompactListModel {
    Q_OBJECT
public:
    explicit ErrorsModel(QObject* parent = nullptr);
    ~ErrorsModel() override;

    // Columns "FileName", "Size", "Problem".
    void appendRow(std::string_view path, std::uint64_t size, std::string_view problem);

private:
    std::size_t storedRows() const override;
    std::string_view storedText(std::size_t row, std::size_t slot) const override;
    std::uint64_t storedNumber(std::size_t row) const override;
    void clearStored() override;

    struct Impl;
    Impl* d;
};
