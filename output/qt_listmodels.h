#pragma once

// The models behind the results and errors lists. Rows are stored compactly
// (texts in one growing arena, a few offsets per row) so that a million rows
// cost little memory and appending one never copies the list.

#include <QAbstractTableModel>
#include <cstdint>
#include <string_view>

class ResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultsModel(QObject* parent = nullptr);
    ~ResultsModel() override;

    // Columns "FileName", "Size", "Owner", "Full Path".
    void appendRow(std::string_view fileName, std::uint64_t size, std::string_view owner,
                   std::string_view fullPath);
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

private:
    struct Impl;
    Impl* d;
};

class ErrorsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ErrorsModel(QObject* parent = nullptr);
    ~ErrorsModel() override;

    // Columns "FileName", "Size", "Problem".
    void appendRow(std::string_view path, std::uint64_t size, std::string_view problem);
    void flush();
    QString text(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Impl;
    Impl* d;
};
