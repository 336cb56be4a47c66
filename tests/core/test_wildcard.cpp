#include "platform/asciicase.h"
#include "platform/drives.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct WildcardCase {
    const char* pattern;
    const char* name;
    bool matches;
};

const WildcardCase kCases[] = {
    // "*.*" takes every name, with or without a dot, and the dot entries.
    {"*.*", "README", true},
    {"*.*", "report.txt", true},
    {"*.*", "archive.tar.gz", true},
    {"*.*", ".profile", true},
    {"*.*", ".", true},
    {"*.*", "..", true},
    {"*", "report.txt", true},
    {"*", "", true},
    // A pattern ending in ".*" also takes the name without its extension part.
    {"README.*", "README", true},
    {"README.*", "README.md", true},
    {"README.*", "READMEX", false},
    {"a*.*", "abc", true},
    {"*x.*", "a.x", true},
    {"*.*.*", "plain", true},
    // Extensions are compared blind to the case of a-z.
    {"*.tmp", "scratch.TMP", true},
    {"*.TMP", "scratch.tmp", true},
    {"*.tmp", "scratch.tmpx", false},
    {"*.tmp", "scratch.tm", false},
    {"*.tmp", "tmp", false},
    {"*.tmp", ".tmp", true},
    {"*b.c", "a.B.C", true},
    {"*b.c", "abxc", false},
    {"DATA*", "database.db", true},
    // Only a-z fold: other bytes, accented letters included, compare exactly.
    {"\xc3\xa9t\xc3\xa9", "\xc3\xa9T\xc3\xa9", true},
    {"\xc3\xa9", "\xc3\x89", false},
    {"[", "{", false},
    {"_", "\x7f", false},
    // '?' takes one character (one byte), never a dot; before a dot or at the
    // end of the name it may take none, and a run of them as many as are left.
    {"?", "a", true},
    {"?", "", false},
    {"?", "ab", false},
    {"?", ".", false},
    {"file?.txt", "file1.txt", true},
    {"file?.txt", "file.txt", true},
    {"file?.txt", "file12.txt", false},
    {"file?.txt", "file..txt", false},
    {"*.tx?", "x.tx", true},
    {"*.tx?", "x.txt", true},
    {"*.tx?", "x.txtx", false},
    {"??.*", "ab", true},
    {"??.*", "a", true},
    {"??.*", "abc", false},
    {"????????.???", "readme.md", true},
    {"????????.???", "readme", true},
    {"????????.???", "a.b.c", false},
    {"a?c", "ac", false},
    {"a??", "a", true},
    // A dot before '*' or '?' takes a dot or the end of the name.
    {"name.*", "name", true},
    {"name.?", "name", true},
    {"name.?", "name.x", true},
    {"name.?", "namex", false},
    // "*." at the end takes the names without a dot, and nothing else.
    {"*.", "README", true},
    {"*.", "name.", false},
    {"*.", "name.txt", false},
    {"*.", ".profile", false},
    {"A*.", "alpha", true},
    {"A*.", "beta", false},
    // Any other dot is an ordinary character.
    {"name.", "name", false},
    {"name", "name.", false},
    {"name.", "name.", true},
    // Literal dots and runs of stars.
    {"a.b", "a.b", true},
    {"a.b", "axb", false},
    {"**a**", "bab", true},
    {"a*b*c", "aXXbYYc", true},
    {"a*b*c", "aXXcYYb", false},
    {"*ab", "aab", true},
    {"*aab", "aaab", true},
    // An empty pattern matches no real name.
    {"", "a", false},
    {"", "", true},
    // The pattern must cover the whole name.
    {"abc", "abcd", false},
    {"abc", "ab", false},
};

TEST(WildcardMatch, FollowsTheWindowsRules)
{
    for (const WildcardCase& c : kCases) {
        EXPECT_EQ(platform::wildcardMatch(c.pattern, c.name), c.matches)
            << "pattern \"" << c.pattern << "\" name \"" << c.name << "\"";
    }
}

TEST(WildcardMatch, NulBytesAreOrdinaryCharacters)
{
    const std::string name("a\0b", 3);
    EXPECT_TRUE(platform::wildcardMatch(std::string("a?b"), name));
    EXPECT_FALSE(platform::wildcardMatch(std::string("a"), name));
}

// A matcher that backtracks naively takes exponential time on these; ours must
// answer at once; a hang here ends in the test's timeout.
TEST(WildcardMatch, ManyStarsDoNotBacktrackExponentially)
{
    const std::string pattern = "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b";
    const std::string name(5000, 'a');
    EXPECT_FALSE(platform::wildcardMatch(pattern, name));
    EXPECT_TRUE(platform::wildcardMatch(pattern, name + "b"));
}

// The order of names a walk lists and the folder caches look up: capitals
// folded byte by byte (other bytes unsigned, as they are), a name before a
// longer one it begins; the listing order then puts names equal but for case
// by their bytes.
TEST(NameOrder, FoldsCapitalsThenTakesTheBytes)
{
    struct Case {
        const char* a;
        const char* b;
        int folded;
        int listing;
    };
    const Case cases[] = {
        {"", "", 0, 0},
        {"abc", "ABC", 0, 1},
        {"Report.txt", "report.TXT", 0, -1},
        {"ab", "abc", -1, -1},
        {"Z", "a", 1, 1},
        {"a_", "aB", 1, 1},              // '_' sorts after the capitals it is compared with
        {"\xC3\xA9", "z", 1, 1},         // a byte above 0x7F after every ASCII letter
        {"\xC3\xA9", "\xC3\x89", 1, 1},  // only a-z fold
    };
    const auto sign = [](int value) { return value < 0 ? -1 : value > 0 ? 1 : 0; };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(ascii::compareFolded(c.a, c.b)), c.folded) << c.a << " " << c.b;
        EXPECT_EQ(sign(ascii::compareFolded(c.b, c.a)), -c.folded) << c.b << " " << c.a;
        EXPECT_EQ(ascii::compareListingOrder(c.a, c.b), c.listing) << c.a << " " << c.b;
        EXPECT_EQ(ascii::compareListingOrder(c.b, c.a), -c.listing) << c.b << " " << c.a;
    }
}

}  // namespace
