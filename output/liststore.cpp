// The stored rows of the results and errors lists: the text arena, the tables
// of shared texts, the rows themselves and their sort.

#include "output/liststore.h"

#include <algorithm>
#include <bit>
#include <climits>

#include "platform/asciicase.h"

namespace liststore {

namespace {

constexpr std::size_t kTextBlockSize = 256 * 1024;

constexpr unsigned char foldByte(char c) { return static_cast<unsigned char>(ascii::toUpper(c)); }

constexpr bool isSeparator(char c) { return c == '\\' || c == '/'; }

int sign(int value) { return (value > 0) - (value < 0); }

// The next component of a path from position, skipping empty ones; empty
// at the end.
std::string_view nextComponent(std::string_view path, std::size_t& position)
{
    while (position < path.size() && isSeparator(path[position]))
        ++position;
    const std::size_t start = position;
    while (position < path.size() && !isSeparator(path[position]))
        ++position;
    return path.substr(start, position - start);
}

// Lengths are written before their texts, seven bits a byte: names of fewer
// than 128 bytes, nearly all of them, take one byte.
std::size_t lengthBytes(std::size_t length)
{
    std::size_t bytes = 1;
    while (length >= 0x80) {
        length >>= 7;
        ++bytes;
    }
    return bytes;
}

char* writeText(char* target, std::string_view text)
{
    std::size_t length = text.size();
    while (length >= 0x80) {
        *target++ = static_cast<char>(0x80 | (length & 0x7F));
        length >>= 7;
    }
    *target++ = static_cast<char>(length);
    return std::copy(text.begin(), text.end(), target);
}

std::string_view readText(const char*& source)
{
    std::size_t length = 0;
    int shift = 0;
    unsigned char byte = 0;
    do {
        byte = static_cast<unsigned char>(*source++);
        length |= std::size_t{byte & 0x7Fu} << shift;
        shift += 7;
    } while (byte & 0x80);
    const std::string_view text(source, length);
    source += length;
    return text;
}

// The key of a text in 32 bits: its four folded bytes from skip on, the
// first the highest, zero past its end. Texts whose keys differ compare as
// their keys do.
std::uint32_t textKey(std::string_view text, std::size_t skip)
{
    std::uint32_t key = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        key <<= 8;
        if (skip + i < text.size())
            key |= foldByte(text[skip + i]);
    }
    return key;
}

std::uint32_t storedRow(std::uint64_t entry) { return static_cast<std::uint32_t>(entry); }
std::uint32_t entryKey(std::uint64_t entry) { return static_cast<std::uint32_t>(entry >> 32); }

// Empties a container and gives its memory back.
template <typename Container>
void release(Container& container)
{
    Container().swap(container);
}

}  // namespace

int compareNames(std::string_view a, std::string_view b) { return ascii::compareListingOrder(a, b); }

int compareFolders(std::string_view a, std::string_view b)
{
    std::size_t positionA = 0;
    std::size_t positionB = 0;
    for (;;) {
        const std::string_view componentA = nextComponent(a, positionA);
        const std::string_view componentB = nextComponent(b, positionB);
        if (componentA.empty() || componentB.empty()) {
            if (componentA.empty() != componentB.empty())
                return componentA.empty() ? -1 : 1;
            // The same components, spelt with other separators.
            return sign(a.compare(b));
        }
        if (const int order = compareNames(componentA, componentB); order != 0)
            return order;
    }
}

std::size_t folderLength(std::string_view path)
{
    const std::size_t last = path.find_last_of("\\/");
    return last == std::string_view::npos ? 0 : last + 1;
}

char* TextArena::reserve(std::size_t bytes)
{
    if (m_blocks.empty() || m_capacity - m_used < bytes) {
        m_capacity = std::max(bytes, kTextBlockSize);
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(m_capacity));
        m_used = 0;
    }
    char* target = m_blocks.back().get() + m_used;
    m_used += bytes;
    return target;
}

std::string_view TextArena::store(std::string_view text)
{
    char* target = reserve(text.size());
    std::copy(text.begin(), text.end(), target);
    return {target, text.size()};
}

void TextArena::clear()
{
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_used = 0;
    m_capacity = 0;
}

std::uint32_t SharedTexts::intern(std::string_view text)
{
    if (m_last < m_texts.size() && m_texts[m_last] == text)
        return m_last;
    if (const auto found = m_ids.find(text); found != m_ids.end()) {
        m_last = found->second;
        return m_last;
    }
    const std::string_view stored = m_arena.store(text);
    m_last = static_cast<std::uint32_t>(m_texts.size());
    m_texts.push_back(stored);
    m_ids.emplace(stored, m_last);
    return m_last;
}

void SharedTexts::clear()
{
    release(m_ids);
    release(m_texts);
    m_arena.clear();
    m_last = UINT32_MAX;
}

std::uint32_t RowStore::append(std::string_view folder, std::string_view text, const std::string_view* second,
                               std::string_view shared, std::uint64_t number)
{
    Row row{};
    row.folder = m_folders.intern(folder);
    row.shared = m_shared.intern(shared);
    row.number = number;
    std::size_t bytes = lengthBytes(text.size()) + text.size();
    if (second) {
        row.folder |= kSecondText;
        bytes += lengthBytes(second->size()) + second->size();
    }
    // All texts of a row in one block; a row larger than a block gets a block of its own.
    if (m_textBlocks.empty() || m_textCapacity - m_textUsed < bytes) {
        m_textCapacity = std::max(bytes, kTextBlockSize);
        m_textBlocks.push_back(std::make_unique_for_overwrite<char[]>(m_textCapacity));
        m_textUsed = 0;
    }
    row.block = static_cast<std::uint32_t>(m_textBlocks.size() - 1);
    row.offset = static_cast<std::uint32_t>(m_textUsed);
    char* target = writeText(m_textBlocks.back().get() + m_textUsed, text);
    if (second)
        writeText(target, *second);
    m_textUsed += bytes;

    const std::size_t slot = m_count % kRowsPerBlock;
    if (slot == 0)
        m_rowBlocks.push_back(std::make_unique_for_overwrite<Row[]>(kRowsPerBlock));
    m_rowBlocks.back()[slot] = row;
    ++m_count;
    return row.shared;
}

std::string_view RowStore::text(std::size_t row) const
{
    const char* source = textStart(at(row));
    return readText(source);
}

std::string_view RowStore::second(std::size_t row) const
{
    const Row& stored = at(row);
    const char* source = textStart(stored);
    const std::string_view first = readText(source);
    return (stored.folder & kSecondText) ? readText(source) : first;
}

void RowStore::clear()
{
    release(m_rowBlocks);
    release(m_textBlocks);
    m_textUsed = 0;
    m_textCapacity = 0;
    m_count = 0;
    m_folders.clear();
    m_shared.clear();
}

namespace {

// Orders entries that tie on everything before position of their texts:
// by the four folded bytes from there as keys, then each run that still ties
// by the next four, and so on. Each text is read once a round instead of at
// every comparison, which matters when a million names begin alike. Texts
// that end alike and still tie (the same blind to case) go by compareNames,
// then by the row.
template <typename TextOf>
void sortByTextFrom(std::uint64_t* first, std::uint64_t* last, const TextOf& textOf, std::size_t position)
{
    while (last - first > 1) {
        bool anyLonger = false;
        for (std::uint64_t* entry = first; entry != last; ++entry) {
            const std::string_view text = textOf(storedRow(*entry));
            anyLonger = anyLonger || text.size() > position;
            *entry = (std::uint64_t{textKey(text, position)} << 32) | storedRow(*entry);
        }
        if (!anyLonger) {
            std::sort(first, last, [&](std::uint64_t a, std::uint64_t b) {
                if (const int order = compareNames(textOf(storedRow(a)), textOf(storedRow(b))); order != 0)
                    return order < 0;
                return storedRow(a) < storedRow(b);
            });
            return;
        }
        std::sort(first, last);
        position += 4;
        // Every run but the last is ordered by a call; the last by the loop.
        std::uint64_t* run = first;
        for (std::uint64_t* entry = first + 1; entry != last; ++entry) {
            if (entryKey(*entry) != entryKey(*run)) {
                sortByTextFrom(run, entry, textOf, position);
                run = entry;
            }
        }
        first = run;
    }
}

// Orders each run of entries with the same key by sortByTextFrom.
template <typename TextOf>
void sortRunsByText(std::vector<std::uint64_t>& order, const TextOf& textOf, std::size_t position)
{
    std::uint64_t* run = order.data();
    std::uint64_t* const end = order.data() + order.size();
    for (std::uint64_t* entry = run; entry != end; ++entry) {
        if (entryKey(*entry) != entryKey(*run)) {
            sortByTextFrom(run, entry, textOf, position);
            run = entry;
        }
    }
    sortByTextFrom(run, end, textOf, position);
}

}  // namespace

void sortRows(const RowStore& rows, std::size_t count, SortKey key, bool descending,
              std::vector<std::uint64_t>& order, std::span<const std::string_view> sharedAs)
{
    count = std::min<std::size_t>({count, rows.size(), UINT32_MAX});
    // The old order is not needed: growing it in place would hold old and
    // new at once.
    if (order.capacity() < count) {
        release(order);
        order.reserve(count);
    }
    order.resize(count);
    // Each entry is the row's key in the high half and the row in the low
    // half, so where the key decides, entries sort as plain numbers.
    const auto fill = [&](auto keyOf) {
        for (std::size_t row = 0; row < count; ++row)
            order[row] = (std::uint64_t{keyOf(row)} << 32) | row;
    };
    // Where keys tie, full says which row comes first, and the row's number
    // after that.
    const auto sortWithin = [&](auto full) {
        std::sort(order.begin(), order.end(), [&](std::uint64_t a, std::uint64_t b) {
            if (entryKey(a) != entryKey(b))
                return entryKey(a) < entryKey(b);
            if (const int byRows = full(storedRow(a), storedRow(b)); byRows != 0)
                return byRows < 0;
            return storedRow(a) < storedRow(b);
        });
    };
    // The key of a shared text is its place among the table's texts. The
    // places are worked out in order itself: a text's number is never above
    // the first row that holds it, so the entries are filled from the last
    // row up, each reading the place of a number at or above its own row,
    // still untouched.
    const auto fillByPlace = [&](std::size_t tableSize, auto textOf,
                                 int (*compare)(std::string_view, std::string_view), auto idOf) {
        const std::size_t ids = std::min(tableSize, count);
        for (std::size_t id = 0; id < ids; ++id)
            order[id] = id;
        std::sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(ids),
                  [&](std::uint64_t a, std::uint64_t b) {
                      return compare(textOf(storedRow(a)), textOf(storedRow(b))) < 0;
                  });
        for (std::size_t place = 0; place < ids; ++place) {
            std::uint64_t& entry = order[storedRow(order[place])];
            entry = (std::uint64_t{place} << 32) | storedRow(entry);
        }
        for (std::size_t row = count; row-- > 0;)
            order[row] = (std::uint64_t{entryKey(order[idOf(row)])} << 32) | row;
    };

    switch (key) {
    case SortKey::Number: {
        std::uint64_t largest = 0;
        for (std::size_t row = 0; row < count; ++row)
            largest = std::max(largest, rows.number(row));
        const int shift = std::max(0, static_cast<int>(std::bit_width(largest)) - 32);
        fill([&](std::size_t row) { return static_cast<std::uint32_t>(rows.number(row) >> shift); });
        if (shift == 0)
            std::sort(order.begin(), order.end());
        else
            sortWithin([&](std::uint32_t a, std::uint32_t b) {
                return rows.number(a) < rows.number(b) ? -1 : rows.number(a) > rows.number(b) ? 1 : 0;
            });
        break;
    }
    case SortKey::Shared: {
        const SharedTexts& shared = rows.sharedTexts();
        const auto textOf = [&](std::uint32_t id) { return id < sharedAs.size() ? sharedAs[id] : shared.text(id); };
        fillByPlace(shared.size(), textOf, compareNames, [&](std::size_t row) { return rows.sharedId(row); });
        std::sort(order.begin(), order.end());
        break;
    }
    case SortKey::Path: {
        const SharedTexts& folders = rows.folders();
        fillByPlace(
            folders.size(), [&](std::uint32_t id) { return folders.text(id); }, compareFolders,
            [&](std::size_t row) { return rows.folderId(row); });
        std::sort(order.begin(), order.end());
        sortRunsByText(
            order, [&](std::uint32_t row) { return rows.second(row); }, 0);
        break;
    }
    case SortKey::Text: {
        // Keys taken after the folded start all texts share ("FILE" of
        // FILE1.DOC, FILE2.DOC ...) tell far more rows apart.
        std::size_t shared = count > 0 ? rows.text(0).size() : 0;
        const std::string_view first = count > 0 ? rows.text(0) : std::string_view();
        for (std::size_t row = 1; row < count && shared > 0; ++row) {
            const std::string_view text = rows.text(row);
            std::size_t same = 0;
            const std::size_t limit = std::min(shared, text.size());
            while (same < limit && foldByte(text[same]) == foldByte(first[same]))
                ++same;
            shared = same;
        }
        fill([&](std::size_t row) { return textKey(rows.text(row), shared); });
        std::sort(order.begin(), order.end());
        sortRunsByText(
            order, [&](std::uint32_t row) { return rows.text(row); }, shared + 4);
        break;
    }
    }
    if (descending)
        std::reverse(order.begin(), order.end());
}

void RowFilter::setText(std::string_view text)
{
    m_text = ascii::toUpper(text);
    forget();
}

void RowFilter::forget()
{
    release(m_folders);
    release(m_shared);
}

bool RowFilter::foldedHolds()
{
    for (char& c : m_folded)
        c = ascii::toUpper(c);
    return m_folded.find(m_text) != std::string::npos;
}

bool RowFilter::holds(std::vector<std::uint8_t>& known, std::uint32_t id, std::string_view text)
{
    if (id >= known.size())
        known.resize(id + 1, 0);
    if (known[id] == 0) {
        m_folded.assign(text);
        known[id] = foldedHolds() ? 1 : 2;
    }
    return known[id] == 1;
}

bool RowFilter::matches(const RowStore& rows, std::size_t row)
{
    if (m_text.empty())
        return true;
    if (holds(m_shared, rows.sharedId(row), rows.shared(row)) ||
        holds(m_folders, rows.folderId(row), rows.folder(row)))
        return true;
    // The folder alone does not hold the text, so a match ends in the last
    // part: only the folder's last characters can take part in it.
    const std::string_view folder = rows.folder(row);
    const std::size_t tail = std::min(folder.size(), m_text.size() - 1);
    m_folded.assign(folder.substr(folder.size() - tail));
    m_folded.append(rows.second(row));
    return foldedHolds();
}

}  // namespace liststore
