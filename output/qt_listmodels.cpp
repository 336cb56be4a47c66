#include "output/qt_listmodels.h"

#include <algorithm>
#include <array>
#include <climits>
#include <memory>
#include <vector>

namespace {

// The rows of a list: per row a few 32-bit numbers, and the row's texts back to
// back in large text blocks. Neither rows nor texts ever move once written, so
// appending costs the same at the millionth row as at the first and never
// copies what is already stored.
} // namespace

class CompactListModel::Rows {
public:
    virtual ~Rows() = default;
    virtual std::size_t size() const = 0;
    virtual std::string_view text(std::size_t index, std::size_t column) const = 0;
    virtual std::uint64_t number(std::size_t index) const = 0;
    virtual void clear() = 0;
};

namespace {

template <std::size_t TextCount>
class CompactRows final : public CompactListModel::Rows {
public:
    using Texts = std::array<std::string_view, TextCount>;

    std::size_t size() const override { return m_count; }

    void append(const Texts& texts, std::uint64_t number)
    {
        Row row{};
        std::size_t total = 0;
        for (std::size_t i = 0; i < TextCount; ++i) {
            // Path and name texts are far below 4 GiB; the cap only keeps the
            // length honest if that ever stops being true.
            const std::size_t length = std::min<std::size_t>(texts[i].size(), UINT32_MAX);
            row.lengths[i] = static_cast<std::uint32_t>(length);
            total += length;
        }
        char* target = reserveText(total, row);
        for (std::size_t i = 0; i < TextCount; ++i) {
            std::copy_n(texts[i].data(), row.lengths[i], target);
            target += row.lengths[i];
        }
        row.numberLow = static_cast<std::uint32_t>(number);
        row.numberHigh = static_cast<std::uint32_t>(number >> 32);

        const std::size_t slot = m_count % kRowsPerBlock;
        if (slot == 0)
            m_rowBlocks.push_back(std::make_unique_for_overwrite<Row[]>(kRowsPerBlock));
        m_rowBlocks.back()[slot] = row;
        ++m_count;
    }

    std::string_view text(std::size_t index, std::size_t column) const override
    {
        const Row& row = at(index);
        const char* start = m_textBlocks[row.block].get() + row.offset;
        for (std::size_t i = 0; i < column; ++i)
            start += row.lengths[i];
        return {start, row.lengths[column]};
    }

    std::uint64_t number(std::size_t index) const override
    {
        const Row& row = at(index);
        return (std::uint64_t{row.numberHigh} << 32) | row.numberLow;
    }

    void clear() override
    {
        m_rowBlocks.clear();
        m_rowBlocks.shrink_to_fit();
        m_textBlocks.clear();
        m_textBlocks.shrink_to_fit();
        m_textUsed = 0;
        m_textCapacity = 0;
        m_count = 0;
    }

private:
    // Packed to 32-bit members: 28 bytes a row with three texts.
    struct Row {
        std::uint32_t block;
        std::uint32_t offset;
        std::uint32_t lengths[TextCount];
        std::uint32_t numberLow;
        std::uint32_t numberHigh;
    };

    static constexpr std::size_t kRowsPerBlock = 4096;
    static constexpr std::size_t kTextBlockSize = 256 * 1024;

    const Row& at(std::size_t index) const { return m_rowBlocks[index / kRowsPerBlock][index % kRowsPerBlock]; }

    // Room for one row's texts, all in one block; a row larger than a block
    // gets a block of its own.
    char* reserveText(std::size_t bytes, Row& row)
    {
        if (m_textBlocks.empty() || m_textCapacity - m_textUsed < bytes) {
            const std::size_t capacity = std::max(bytes, kTextBlockSize);
            m_textBlocks.push_back(std::make_unique_for_overwrite<char[]>(capacity));
            m_textCapacity = capacity;
            m_textUsed = 0;
        }
        row.block = static_cast<std::uint32_t>(m_textBlocks.size() - 1);
        row.offset = static_cast<std::uint32_t>(m_textUsed);
        char* target = m_textBlocks.back().get() + m_textUsed;
        m_textUsed += bytes;
        return target;
    }

    std::vector<std::unique_ptr<Row[]>> m_rowBlocks;
    std::vector<std::unique_ptr<char[]>> m_textBlocks;
    std::size_t m_textUsed = 0;
    std::size_t m_textCapacity = 0;
    std::size_t m_count = 0;
};

QString decimalText(std::uint64_t value)
{
    return QString::number(static_cast<qulonglong>(value));
}

QString utf8Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The views see only announced rows; rows stored since are announced in one
// insertion by the next flush.
int announcedCount(std::size_t stored)
{
    return static_cast<int>(std::min<std::size_t>(stored, INT_MAX));
}

constexpr std::array<const char*, 4> kResultsHeadings{"FileName", "Size", "Owner", "Full Path"};
constexpr std::array<const char*, 3> kErrorsHeadings{"FileName", "Size", "Problem"};

} // namespace

CompactListModel::CompactListModel(std::span<const char* const> headings, std::unique_ptr<Rows> rows,
                                   QObject* parent)
    : QAbstractTableModel(parent), m_headings(headings), m_rows(std::move(rows))
{
}

CompactListModel::~CompactListModel() = default;

void CompactListModel::flush()
{
    const int stored = announcedCount(m_rows->size());
    if (stored <= m_announced)
        return;
    beginInsertRows({}, m_announced, stored - 1);
    m_announced = stored;
    endInsertRows();
}

void CompactListModel::clear()
{
    beginResetModel();
    m_rows->clear();
    m_announced = 0;
    endResetModel();
}

QString CompactListModel::text(int row, int column) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows->size() || column < 0 ||
        static_cast<std::size_t>(column) >= m_headings.size())
        return {};
    const auto index = static_cast<std::size_t>(row);
    if (column == 1)
        return decimalText(m_rows->number(index));
    return utf8Text(m_rows->text(index, column == 0 ? 0 : static_cast<std::size_t>(column) - 1));
}

int CompactListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_announced;
}

int CompactListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_headings.size());
}

QVariant CompactListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.model() != this)
        return {};
    return text(index.row(), index.column());
}

QVariant CompactListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        static_cast<std::size_t>(section) >= m_headings.size())
        return {};
    return QString::fromLatin1(m_headings[static_cast<std::size_t>(section)]);
}

// Texts: file name, owner, full path; the number is the size.
using ResultRows = CompactRows<3>;

ResultsModel::ResultsModel(QObject* parent)
    : CompactListModel(kResultsHeadings, std::make_unique<ResultRows>(), parent)
{
}

void ResultsModel::appendRow(std::string_view fileName, std::uint64_t size, std::string_view owner,
                             std::string_view fullPath)
{
    static_cast<ResultRows&>(rows()).append({fileName, owner, fullPath}, size);
}

// Texts: path, problem; the number is the size.
using ErrorRows = CompactRows<2>;

ErrorsModel::ErrorsModel(QObject* parent) : CompactListModel(kErrorsHeadings, std::make_unique<ErrorRows>(), parent) {}

void ErrorsModel::appendRow(std::string_view path, std::uint64_t size, std::string_view problem)
{
    static_cast<ErrorRows&>(rows()).append({path, problem}, size);
}
