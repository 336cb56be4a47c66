#include "platform/drives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

// A fresh host folder per test, with drive F mapped to its "f" folder.
class DriveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/trawl-drives-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_top = pattern;
        m_root = m_top + "/f";
        fs::create_directory(m_root);
        platform::drives().clear();
        platform::drives().setDrive('F', m_root + "/");
    }

    void TearDown() override
    {
        platform::drives().clear();
        std::error_code ignored;
        ::chmod(host("Closed").c_str(), 0700);
        fs::remove_all(m_top, ignored);
    }

    std::string host(const std::string& relative) const { return m_root + "/" + relative; }

    void makeFiles(const Strings& relatives) const
    {
        for (const std::string& relative : relatives) {
            fs::create_directories(fs::path(host(relative)).parent_path());
            std::ofstream(host(relative)) << "";
        }
    }

    // The entries of a listing as "name:letters", D directory, H hidden, R read-only.
    static Strings list(const std::string& windowsPattern, std::uint32_t request, bool withAttributes = false)
    {
        platform::DirListing listing;
        const bool opened = listing.open(windowsPattern, request);
        Strings entries;
        platform::DirEntry entry;
        while (listing.next(entry)) {
            std::string text = entry.name;
            if (withAttributes) {
                text += ':';
                text += (entry.attributes & platform::kAttrDirectory) ? "D" : "";
                text += (entry.attributes & platform::kAttrHidden) ? "H" : "";
                text += (entry.attributes & platform::kAttrSystem) ? "S" : "";
                text += (entry.attributes & platform::kAttrReadOnly) ? "R" : "";
            }
            entries.push_back(text);
        }
        EXPECT_EQ(opened, !entries.empty()) << windowsPattern;
        return entries;
    }

    std::string m_top;
    std::string m_root;
};

TEST_F(DriveTest, WindowsPathsToHostPaths)
{
    makeFiles({"Public/Docs/Report.TXT"});
    const struct {
        std::string windowsPath;
        std::optional<std::string> expected;
    } cases[] = {
        {"F:", m_root},
        {"f:\\", m_root},
        {"F:/Public/Docs/", host("Public/Docs")},
        {"F:\\Public\\\\.\\Docs", host("Public/Docs")},
        {"F:Public", host("Public")},
        // Spelt in another case: the host's own spelling is found.
        {"f:\\PUBLIC\\docs\\report.txt", host("Public/Docs/Report.TXT")},
        // From a name that exists in no spelling on, the user's spelling is kept.
        {"F:\\public\\New\\A.csv", host("Public/New/A.csv")},
        // ".." never leads above the drive's host folder.
        {"F:\\..\\..\\etc\\passwd", host("etc/passwd")},
        {"F:\\Public\\..\\..\\..\\Public", host("Public")},
        // Unmapped letters and texts that are not drive paths.
        {"G:\\Public", std::nullopt},
        {"", std::nullopt},
        {"F", std::nullopt},
        {"\\\\server\\share", std::nullopt},
        {"Public\\Docs", std::nullopt},
        {"1:\\x", std::nullopt},
        {"FF:\\", std::nullopt},
        {"/tmp", std::nullopt},
        {std::string("F:\\Public\0x", 11), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::drives().hostPath(c.windowsPath), c.expected) << c.windowsPath;
    EXPECT_EQ(platform::drives().hostFolder('f'), m_root);
}

TEST_F(DriveTest, ExactSpellingWinsOverCaseBlindOnes)
{
    makeFiles({"Data/x", "DATA/x", "data2/x"});
    EXPECT_EQ(platform::drives().hostPath("F:\\Data"), host("Data"));
    EXPECT_EQ(platform::drives().hostPath("F:\\DATA"), host("DATA"));
    // No exact spelling: the smallest by bytes, whatever order the host lists.
    EXPECT_EQ(platform::drives().hostPath("F:\\dAtA"), host("DATA"));
    EXPECT_EQ(platform::drives().hostPath("F:\\DATA2"), host("data2"));
}

TEST_F(DriveTest, ListingIsSortedCaseFoldedWithTiesByBytes)
{
    const Strings expected = {"1.txt", "Alpha.txt", "alpha.TXT", "alpha.txt",
                              "b.txt", "Zeta.txt",  "zz.txt",    "_under.txt"};
    Strings reversed(expected.rbegin(), expected.rend());
    for (std::string& name : reversed)
        name = "One/" + name;
    Strings rotated = expected;
    std::rotate(rotated.begin(), rotated.begin() + 3, rotated.end());
    for (std::string& name : rotated)
        name = "Two/" + name;
    makeFiles(reversed);
    makeFiles(rotated);
    EXPECT_EQ(list("F:\\One\\*.txt", 7), expected);
    EXPECT_EQ(list("F:\\Two\\*.TXT", 7), expected);
}

TEST_F(DriveTest, PatternDotEntriesAndDirectories)
{
    makeFiles({"top.txt", "Sub/a.tmp", "Sub/B.TMP", "Sub/c.txt", "Sub/README", "Sub/Inner.tmp/x", "Empty/.keep"});
    EXPECT_EQ(list("F:\\Sub\\*.tmp", 7), (Strings{"a.tmp", "B.TMP"}));
    EXPECT_EQ(list("F:\\Sub\\*.*", 7), (Strings{"a.tmp", "B.TMP", "c.txt", "README"}));
    EXPECT_EQ(list("F:\\SUB\\*.*", 0x17, true),
              (Strings{".:D", "..:D", "a.tmp:", "B.TMP:", "c.txt:", "Inner.tmp:D", "README:"}));
    EXPECT_EQ(list("f:\\sub\\*.txt", 0x17), (Strings{"c.txt"}));
    EXPECT_TRUE(list("F:\\Sub\\*.doc", 0x17).empty());

    // "." and ".." only below a root, and only as directories.
    EXPECT_EQ(list("F:\\*.*", 0x17), (Strings{"Empty", "Sub", "top.txt"}));
    EXPECT_EQ(list("F:*.*", 0x17), (Strings{"Empty", "Sub", "top.txt"}));
    EXPECT_EQ(list("F:\\Sub\\..\\*.*", 0x17), (Strings{"Empty", "Sub", "top.txt"}));
    EXPECT_EQ(list("F:\\Empty\\*.*", 0x10), (Strings{".", ".."}));
    EXPECT_TRUE(list("F:\\Empty\\*.*", 0x01).empty());
}

TEST_F(DriveTest, HiddenReadOnlyAndLinkedEntries)
{
    makeFiles({"Sub/.cache/x", "Sub/.profile", "Sub/locked", "Sub/group", "Sub/Real/x"});
    ::chmod(host("Sub/locked").c_str(), 0444);
    ::chmod(host("Sub/group").c_str(), 0464);
    ASSERT_EQ(::symlink("..", host("Sub/up").c_str()), 0);
    ASSERT_EQ(::symlink("loop", host("Sub/loop").c_str()), 0);
    ASSERT_EQ(::symlink("Real", host("Sub/toReal").c_str()), 0);

    // Links are files, whatever they point to, so no walk follows them.
    EXPECT_EQ(list("F:\\Sub\\*.*", 0x17, true), (Strings{".:D", "..:D", ".cache:DH", ".profile:H",
                                                         "group:", "locked:R", "loop:", "Real:D", "toReal:", "up:"}));
    EXPECT_EQ(list("F:\\Sub\\*", 7), (Strings{".profile", "group", "locked", "loop", "toReal", "up"}));
    // Hidden entries only when asked for.
    EXPECT_EQ(list("F:\\Sub\\*", 0x11), (Strings{".", "..", "group", "locked", "loop", "Real", "toReal", "up"}));
}

TEST_F(DriveTest, SizesBeyondFourGiB)
{
    const std::uint64_t size = (std::uint64_t{5} << 30) + 123;
    const int fd = ::open(host("huge.bin").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    const int truncated = ::ftruncate(fd, static_cast<off_t>(size));
    ::close(fd);
    if (truncated != 0)
        GTEST_SKIP() << "the temporary folder's file system cannot hold a sparse 5 GiB file";
    platform::DirListing listing;
    platform::DirEntry entry;
    ASSERT_TRUE(listing.open("F:\\*.bin", 7));
    ASSERT_TRUE(listing.next(entry));
    EXPECT_EQ(entry.size, size);
}

TEST_F(DriveTest, FoldersThatCannotBeListed)
{
    makeFiles({"Sub/a.txt", "Closed/a.txt"});
    platform::DirListing listing;
    platform::DirEntry entry;
    const char* refused[] = {"F:\\Missing\\*.*", "G:\\Sub\\*.*", "F:\\Sub\\", "Sub\\*.*", "F:\\Sub\\a.txt\\*.*"};
    for (const char* text : refused) {
        ASSERT_TRUE(listing.open("F:\\Sub\\*.*", 7));
        EXPECT_FALSE(listing.open(text, 7)) << text;
        EXPECT_FALSE(listing.next(entry)) << text << ": the earlier listing's entries are gone";
    }
    fs::remove_all(host("Sub"));
    EXPECT_TRUE(list("F:\\Sub\\*.*", 0x17).empty()) << "a folder that vanished";

    // Root reads every folder, so the permission case only runs for other users.
    if (::geteuid() != 0) {
        ::chmod(host("Closed").c_str(), 0);
        EXPECT_TRUE(list("F:\\Closed\\*.*", 0x17).empty());
    }
}

TEST_F(DriveTest, CurrentFolderAndUserPaths)
{
    makeFiles({"Work/x"});
    char saved[PATH_MAX];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    EXPECT_EQ(platform::setCurrentFolder("F:\\WORK"), 0);
    EXPECT_EQ(platform::setCurrentFolder("F:\\Missing"), ENOENT);
    EXPECT_EQ(platform::setCurrentFolder("G:\\"), ENOENT);
    EXPECT_EQ(fs::current_path(), fs::canonical(host("Work"))) << "a failed change keeps the folder";
    ASSERT_EQ(::chdir(saved), 0);

    EXPECT_EQ(platform::resolveUserPath("F:\\work\\list.csv"), host("Work/list.csv"));
    for (const char* unchanged : {"G:\\out\\list.csv", "list.csv", "out\\list.csv", "/var/tmp/list.csv"})
        EXPECT_EQ(platform::resolveUserPath(unchanged), unchanged);
}

}  // namespace
