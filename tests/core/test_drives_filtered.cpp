// The listing that leaves out the files a pattern does not match: the rest of
// it is exactly the full listing, folders included whatever their names.

#include "platform/drives.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

class FilteredListing : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/trawl-filtered-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        platform::drives().clear();
        platform::drives().setDrive('F', m_root);
        for (const char* folder : {"Sub", "Sub/Reports.tmp", "Sub/data"})
            fs::create_directories(m_root + "/" + folder);
        for (const char* file :
             {"Sub/a.tmp", "Sub/B.TMP", "Sub/c.txt", "Sub/.hidden.tmp", "Sub/readme", "Sub/x.tmpl"})
            std::ofstream(m_root + "/" + file) << "12345";
        fs::create_symlink(m_root + "/Sub/data", m_root + "/Sub/link.tmp");
        fs::create_symlink(m_root + "/Sub/data", m_root + "/Sub/link.doc");
    }

    void TearDown() override
    {
        platform::drives().clear();
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    // "name:size:attributes" of every entry.
    static Strings list(const std::string& path, std::uint32_t request, const std::string* filePattern)
    {
        platform::DirListing listing;
        const bool found = filePattern ? listing.open(path, request, *filePattern) : listing.open(path, request);
        Strings names;
        platform::DirEntry entry;
        while (listing.next(entry))
            names.push_back(entry.name + ":" + std::to_string(entry.size) + ":" + std::to_string(entry.attributes));
        EXPECT_EQ(found, !names.empty());
        return names;
    }

    std::string m_root;
};

TEST_F(FilteredListing, KeepsFoldersAndTheFilesThePatternMatches)
{
    constexpr std::uint32_t kAll = platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrSystem |
                                   platform::kAttrDirectory;
    constexpr std::uint32_t kFilesOnly = platform::kAttrReadOnly | platform::kAttrSystem;
    struct Case {
        std::uint32_t request;
        std::string filePattern;
    };
    const Case cases[] = {
        {kAll, "*.tmp"},       {kAll, "*.*"},   {kAll, "nothing"}, {kAll, ""},
        {kFilesOnly, "*.TMP"}, {kAll, "?.tmp"}, {kAll, "link.*"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filePattern + " request " + std::to_string(c.request));
        const Strings all = list("F:\\Sub\\*.*", c.request, nullptr);
        Strings expected;
        for (const std::string& row : all) {
            const std::string name = row.substr(0, row.find(':'));
            const bool folder = row.substr(row.rfind(':') + 1) == std::to_string(platform::kAttrDirectory);
            if (folder || c.filePattern.empty() || platform::wildcardMatch(c.filePattern, name))
                expected.push_back(row);
        }
        EXPECT_EQ(list("F:\\Sub\\*.*", c.request, &c.filePattern), expected);
    }
    // The files themselves, with their sizes: links count as files.
    const std::string tmp = "*.tmp";
    EXPECT_EQ(
        list("F:\\Sub\\*.*", kAll, &tmp),
        (Strings{".:0:16", "..:0:16", ".hidden.tmp:5:2", "a.tmp:5:0", "B.TMP:5:0", "data:0:16",
                 "link.tmp:" + std::to_string(fs::read_symlink(m_root + "/Sub/link.tmp").string().size()) + ":0",
                 "Reports.tmp:0:16"}));
    // The listing's own pattern still applies first.
    EXPECT_EQ(list("F:\\Sub\\*.txt", kAll, &tmp), Strings{});
}

}  // namespace
