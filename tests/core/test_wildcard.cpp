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
    {"DATA*", "database.db", true},
    // Only a-z fold: other bytes, accented letters included, compare exactly.
    {"\xc3\xa9t\xc3\xa9", "\xc3\xa9T\xc3\xa9", true},
    {"\xc3\xa9", "\xc3\x89", false},
    {"[", "{", false},
    {"_", "\x7f", false},
    // '?' takes exactly one character (one byte).
    {"?", "a", true},
    {"?", "", false},
    {"?", "ab", false},
    {"file?.txt", "file1.txt", true},
    {"file?.txt", "file.txt", false},
    {"file?.txt", "file12.txt", false},
    {"??.*", "ab", true},
    {"??.*", "a", false},
    // A trailing dot is an ordinary character here.
    {"*.", "name.", true},
    {"*.", "name", false},
    {"name.", "name", false},
    {"name", "name.", false},
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

} // namespace
