#pragma once

// The stored rows of the results and errors lists, and their sort. A row keeps
// its folder and one repeated text (the owner, the problem) as numbers into
// tables of shared texts, its own text once in a growing arena, and its number
// (the size) as is: 24 bytes a row and the bytes of the name. Nothing stored
// ever moves, so an append costs the same at the millionth row as at the first.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace liststore {

// The listing's order of names: a-z folded to capitals, bytes compared
// unsigned, a name before the longer ones it begins, ties by the bytes.
// Negative, zero or positive.
int compareNames(std::string_view a, std::string_view b);

// Folder texts in the order a walk visits them: component by component
// (separated by '\' or '/') in the listing's order, a folder before the
// folders below it.
int compareFolders(std::string_view a, std::string_view b);

// Where a path's folder part ends: after its last '\' or '/' (0 when it has none).
std::size_t folderLength(std::string_view path);

// Texts copied into large blocks that never move.
class TextArena {
public:
    // Room for bytes in one piece; valid until clear().
    char* reserve(std::size_t bytes);
    std::string_view store(std::string_view text);
    void clear();

private:
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_used = 0;
    std::size_t m_capacity = 0;
};

// Each distinct text stored once and known by a number, 0, 1, 2 ... in the
// order of first appearance (so a row's number is never above the row's own).
class SharedTexts {
public:
    std::uint32_t intern(std::string_view text);
    std::string_view text(std::uint32_t id) const { return m_texts[id]; }
    std::size_t size() const { return m_texts.size(); }
    void clear();

private:
    TextArena m_arena;
    std::vector<std::string_view> m_texts;
    std::unordered_map<std::string_view, std::uint32_t> m_ids;
    // Neighbouring rows mostly share their folder and owner: the last text
    // is compared before the table is asked.
    std::uint32_t m_last = UINT32_MAX;
};

// The rows of one list. Per row: a folder (shared), a text (the name, or the
// path's part after its folder), optionally a second text (a path's last part
// when it differs from the name), a shared text and a number.
class RowStore {
public:
    // Returns the number of the shared text.
    std::uint32_t append(std::string_view folder, std::string_view text, const std::string_view* second,
                         std::string_view shared, std::uint64_t number);
    std::size_t size() const { return m_count; }
    void clear();

    std::string_view folder(std::size_t row) const { return m_folders.text(at(row).folder & kFolderMask); }
    std::string_view text(std::size_t row) const;
    // The second text, or the text when the row has none.
    std::string_view second(std::size_t row) const;
    std::string_view shared(std::size_t row) const { return m_shared.text(at(row).shared); }
    std::uint64_t number(std::size_t row) const { return at(row).number; }

    const SharedTexts& folders() const { return m_folders; }
    const SharedTexts& sharedTexts() const { return m_shared; }
    std::uint32_t folderId(std::size_t row) const { return at(row).folder & kFolderMask; }
    std::uint32_t sharedId(std::size_t row) const { return at(row).shared; }

private:
    struct Row {
        std::uint32_t folder;  // the top bit says a second text follows the first
        std::uint32_t shared;
        std::uint32_t block;
        std::uint32_t offset;
        std::uint64_t number;
    };
    static_assert(sizeof(Row) == 24);
    static constexpr std::uint32_t kSecondText = 0x80000000u;
    static constexpr std::uint32_t kFolderMask = ~kSecondText;
    static constexpr std::size_t kRowsPerBlock = 4096;

    const Row& at(std::size_t row) const { return m_rowBlocks[row / kRowsPerBlock][row % kRowsPerBlock]; }
    const char* textStart(const Row& row) const { return m_textBlocks[row.block].get() + row.offset; }

    std::vector<std::unique_ptr<Row[]>> m_rowBlocks;
    std::vector<std::unique_ptr<char[]>> m_textBlocks;
    std::size_t m_textUsed = 0;
    std::size_t m_textCapacity = 0;
    std::size_t m_count = 0;
    SharedTexts m_folders;
    SharedTexts m_shared;
};

// What a column sorts by.
enum class SortKey {
    Text,    // the row's text, in the listing's order
    Number,  // the number
    Shared,  // the shared text, in the listing's order
    Path,    // folder in walk order, then the second text: the order of the walk
};

// Puts the first count stored rows in the order of key into order, one entry
// per row whose low 32 bits are the stored row (the high 32 bits are the
// sort's scratch room). Ties keep the order of appending; descending is the
// exact reverse of ascending. Uses no memory beyond order's own: 8 bytes a row.
// sharedAs, when not empty, holds one text per shared text (by its number)
// that the Shared key orders by instead of the shared text itself.
void sortRows(const RowStore& rows, std::size_t count, SortKey key, bool descending,
              std::vector<std::uint64_t>& order, std::span<const std::string_view> sharedAs = {});

// Whether a row's path (its folder, then its second text) or its shared
// text holds a text, blind to the case of a-z as names are. What is known of
// each folder and shared text is kept, so that a million rows under a few
// thousand folders are tested quickly; forget() when the rows are emptied.
class RowFilter {
public:
    // An empty text holds every row.
    void setText(std::string_view text);
    bool empty() const { return m_text.empty(); }
    bool matches(const RowStore& rows, std::size_t row);
    void forget();

private:
    // 0 not known yet, 1 holds the text, 2 does not.
    bool holds(std::vector<std::uint8_t>& known, std::uint32_t id, std::string_view text);
    // Whether m_folded, folded in place, holds the text.
    bool foldedHolds();

    std::string m_text;  // folded to capitals
    std::string m_folded;
    std::vector<std::uint8_t> m_folders;
    std::vector<std::uint8_t> m_shared;
};

}  // namespace liststore
