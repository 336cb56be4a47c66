// The stored rows of the lists and their sort, without a window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "output/liststore.h"

namespace {

using liststore::RowStore;
using liststore::SortKey;
using Rows = std::vector<std::uint32_t>;

TEST(ListOrder, NamesAndFoldersCompareAsTheListingAndTheWalk)
{
    const struct {
        const char* a;
        const char* b;
        int names;    // compareNames(a, b)
        int folders;  // compareFolders(a, b)
    } cases[] = {
        {"readme", "README", 1, 1},  // the same blind to case, then by bytes
        {"a.txt", "B.TXT", -1, -1},
        {"FILE", "FILE1", -1, -1},  // a name before the longer ones it begins
        {"Z", "\xC3\xA9", -1, -1},  // bytes beyond ASCII after Z
        {"_x", "AX", 1, 1},         // '_' stands after the capitals
        {"F:\\A\\", "F:\\A\\SUB\\", -1, -1},
        // A folder comes before the folders below it, whatever their names.
        {"F:\\A\\", "F:\\A B\\", 1, -1},
        {"F:\\A\\Z\\", "F:\\A B\\", 1, -1},
        // Folders that differ in case are apart: their names decide by bytes.
        {"F:\\data\\", "F:\\DATA\\X\\", -1, 1},
        {"SYS:PUBLIC\\", "SYS:PUBLIC\\", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(liststore::compareNames(c.a, c.b), c.names);
        EXPECT_EQ(liststore::compareNames(c.b, c.a), -c.names);
        EXPECT_EQ(liststore::compareFolders(c.a, c.b), c.folders);
        EXPECT_EQ(liststore::compareFolders(c.b, c.a), -c.folders);
    }
}

TEST(RowStore, KeepsEveryTextAsGivenAndSharesFoldersAndOwners)
{
    RowStore rows;
    const std::string longName(300 * 1024, 'n');  // larger than a text block, and a long length prefix
    const std::string_view other = "OTHER";
    EXPECT_EQ(rows.append("F:\\DATA\\", "A.TXT", nullptr, "ADMIN", 1), 0u);
    EXPECT_EQ(rows.append("F:\\DATA\\", longName, nullptr, "GUEST", UINT64_MAX), 1u);
    EXPECT_EQ(rows.append("F:\\", "B.TXT", &other, "ADMIN", 0), 0u);
    EXPECT_EQ(rows.append("", "", nullptr, "", 5), 2u);
    for (int i = 0; i < 10000; ++i)
        rows.append("F:\\DATA\\", "N" + std::to_string(i), nullptr, "ADMIN", i);

    ASSERT_EQ(rows.size(), 10004u);
    EXPECT_EQ(rows.folders().size(), 3u) << "each folder is stored once";
    EXPECT_EQ(rows.sharedTexts().size(), 3u);
    EXPECT_EQ(rows.text(1), longName);
    EXPECT_EQ(rows.number(1), UINT64_MAX);
    EXPECT_EQ(rows.text(2), "B.TXT");
    EXPECT_EQ(rows.second(2), "OTHER");
    EXPECT_EQ(rows.second(0), "A.TXT") << "without a second text the text stands in";
    EXPECT_EQ(rows.folder(3), "");
    EXPECT_EQ(rows.text(10003), "N9999");
    EXPECT_EQ(rows.folder(10003), "F:\\DATA\\");
    EXPECT_EQ(rows.shared(10003), "ADMIN");

    rows.clear();
    EXPECT_EQ(rows.size(), 0u);
    EXPECT_EQ(rows.append("G:\\", "C", nullptr, "X", 2), 0u) << "numbers start again after a clear";
    EXPECT_EQ(rows.folder(0), "G:\\");
}

Rows sorted(const RowStore& rows, SortKey key, bool descending, std::size_t count = SIZE_MAX)
{
    std::vector<std::uint64_t> order;
    liststore::sortRows(rows, count, key, descending, order);
    Rows result;
    for (const std::uint64_t entry : order)
        result.push_back(static_cast<std::uint32_t>(entry));
    return result;
}

TEST(SortRows, EachKeyUpAndDownWithTiesInArrivalOrder)
{
    RowStore rows;
    struct Row {
        const char* folder;
        const char* name;
        const char* owner;
        std::uint64_t size;
    };
    // Rows in the order a walk of F:\ finds them.
    const Row input[] = {
        {"F:\\", "b.txt", "GUEST", 100},         // 0
        {"F:\\", "C", "admin", 9},               // 1
        {"F:\\A\\", "Z.DOC", "ADMIN", 100},      // 2
        {"F:\\A\\SUB\\", "A.DOC", "guest", 10},  // 3
        {"F:\\A B\\", "a.txt", "GUEST", 1},      // 4
    };
    for (const Row& row : input)
        rows.append(row.folder, row.name, nullptr, row.owner, row.size);

    const struct {
        SortKey key;
        Rows up;
    } cases[] = {
        {SortKey::Text, {3, 4, 0, 1, 2}},
        {SortKey::Number, {4, 1, 3, 0, 2}},
        {SortKey::Shared, {2, 1, 0, 4, 3}},  // ADMIN < admin < GUEST < guest
        {SortKey::Path, {0, 1, 2, 3, 4}},    // the walk's own order
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.key));
        EXPECT_EQ(sorted(rows, c.key, false), c.up);
        EXPECT_EQ(sorted(rows, c.key, true), Rows(c.up.rbegin(), c.up.rend())) << "down is up reversed";
    }
    EXPECT_EQ(sorted(rows, SortKey::Number, false, 3), (Rows{1, 0, 2})) << "only the rows asked for";
}

// The 32-bit keys decide most comparisons; where they cannot tell rows apart
// (sizes beyond 4 GiB, names that begin alike), the full values must.
TEST(SortRows, KeysThatTieStillGiveTheFullOrder)
{
    RowStore rows;
    const std::uint64_t sizes[] = {(1ull << 40) + 1, 1ull << 40, 5, UINT64_MAX, (1ull << 40) + 2};
    const char* names[] = {"FILE10.DOC", "file1.doc", "FILE1", "FILE100.DOC", "FILE1.DOC"};
    for (int i = 0; i < 5; ++i)
        rows.append("F:\\", names[i], nullptr, "", sizes[i]);
    EXPECT_EQ(sorted(rows, SortKey::Number, false), (Rows{2, 1, 0, 4, 3}));
    EXPECT_EQ(sorted(rows, SortKey::Text, false), (Rows{2, 4, 1, 0, 3}));
}

// Names that begin alike over many bytes, differ only in case, or end early
// are where the round-by-round keys could go wrong: the result must be the
// order of a plain sort by the full comparison.
TEST(SortRows, AgreesWithAPlainSortOnNamesThatBeginAlike)
{
    RowStore rows;
    std::vector<std::string> names;
    std::vector<std::string> folders;
    std::uint32_t seed = 12345;
    const auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    const char letters[] = "aAbB._";
    for (int i = 0; i < 3000; ++i) {
        std::string name = "REPORT-2020-QUARTER";
        for (std::uint32_t length = next() % 9; length > 0; --length)
            name += letters[next() % 6];
        names.push_back(name);
        folders.push_back(next() % 3 == 0 ? "F:\\A\\" : next() % 2 ? "F:\\a b\\" : "F:\\A\\B\\");
        rows.append(folders.back(), name, nullptr, "", 0);
    }
    Rows byName(names.size());
    for (std::uint32_t i = 0; i < byName.size(); ++i)
        byName[i] = i;
    Rows byPath = byName;
    std::stable_sort(byName.begin(), byName.end(), [&](std::uint32_t a, std::uint32_t b) {
        return liststore::compareNames(names[a], names[b]) < 0;
    });
    std::stable_sort(byPath.begin(), byPath.end(), [&](std::uint32_t a, std::uint32_t b) {
        if (const int order = liststore::compareFolders(folders[a], folders[b]); order != 0)
            return order < 0;
        return liststore::compareNames(names[a], names[b]) < 0;
    });
    EXPECT_EQ(sorted(rows, SortKey::Text, false), byName);
    EXPECT_EQ(sorted(rows, SortKey::Path, false), byPath);
}

}  // namespace
