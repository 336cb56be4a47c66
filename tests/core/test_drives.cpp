#include "platform/drives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

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
        platform::drives().setDrive('F', m_root);
    }

    void TearDown() override
    {
        platform::drives().clear();
        // Restore permissions a test took away, so everything can be removed.
        std::error_code ignored;
        for (auto it = fs::recursive_directory_iterator(m_top, fs::directory_options::skip_permission_denied, ignored);
             it != fs::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored))
                ::chmod(it->path().c_str(), 0700);
        }
        ::chmod(m_root.c_str(), 0700);
        fs::remove_all(m_top, ignored);
    }

    std::string host(const std::string& relative) const { return m_root + "/" + relative; }

    void makeFolder(const std::string& relative) const { fs::create_directories(host(relative)); }

    void makeFile(const std::string& relative, std::size_t size = 0) const
    {
        std::ofstream out(host(relative), std::ios::binary);
        out << std::string(size, 'x');
        ASSERT_TRUE(out.good()) << relative;
    }

    static std::vector<platform::DirEntry> list(const std::string& windowsPattern, std::uint32_t request)
    {
        platform::DirListing listing;
        std::vector<platform::DirEntry> entries;
        const bool opened = listing.open(windowsPattern, request);
        platform::DirEntry entry;
        while (listing.next(entry))
            entries.push_back(entry);
        EXPECT_EQ(opened, !entries.empty()) << windowsPattern;
        return entries;
    }

    static std::vector<std::string> names(const std::vector<platform::DirEntry>& entries)
    {
        std::vector<std::string> result;
        for (const auto& entry : entries)
            result.push_back(entry.name);
        return result;
    }

    static const platform::DirEntry* find(const std::vector<platform::DirEntry>& entries, const std::string& name)
    {
        auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.name == name; });
        return it == entries.end() ? nullptr : &*it;
    }

    std::string m_top;
    std::string m_root;
};

using Strings = std::vector<std::string>;

TEST_F(DriveTest, DriveLettersInEitherCase)
{
    EXPECT_EQ(platform::drives().hostFolder('f'), m_root);
    EXPECT_EQ(platform::drives().hostFolder('F'), m_root);
    EXPECT_FALSE(platform::drives().hostFolder('G'));
    EXPECT_FALSE(platform::drives().hostFolder('1'));
    platform::drives().setDrive('g', m_top + "/g//");
    EXPECT_EQ(platform::drives().hostFolder('G'), m_top + "/g");
    platform::drives().clear();
    EXPECT_FALSE(platform::drives().hostFolder('F'));
}

TEST_F(DriveTest, WindowsPathsToHostPaths)
{
    makeFolder("Public/Docs");
    makeFile("Public/Docs/Report.TXT");
    const struct {
        const char* windowsPath;
        std::string expected;
    } cases[] = {
        {"F:", m_root},
        {"F:\\", m_root},
        {"f:/", m_root},
        {"F:\\Public\\Docs", host("Public/Docs")},
        {"F:/Public/Docs/", host("Public/Docs")},
        {"F:\\Public\\\\.\\Docs", host("Public/Docs")},
        // Spelt in another case: the host folder's own spelling is found.
        {"F:\\PUBLIC\\docs", host("Public/Docs")},
        {"f:\\public\\DOCS\\report.txt", host("Public/Docs/Report.TXT")},
        // A name that exists in no spelling keeps the user's, from there on.
        {"F:\\public\\New.csv", host("Public/New.csv")},
        {"F:\\Missing\\Sub\\A.txt", host("Missing/Sub/A.txt")},
        // ".." never leads above the drive's host folder.
        {"F:\\..", m_root},
        {"F:\\..\\..\\etc\\passwd", host("etc/passwd")},
        {"F:\\Public\\..\\..\\..\\Public", host("Public")},
        {"F:\\Public\\Docs\\..\\x", host("Public/x")},
        // Without a backslash after the colon the path starts at the root.
        {"F:Public", host("Public")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::drives().hostPath(c.windowsPath), c.expected) << c.windowsPath;
}

TEST_F(DriveTest, TextsThatAreNotMappedDrivePathsAreRefused)
{
    const std::string refused[] = {
        "G:\\Public", "",           "F",       "\\\\server\\share", "Public\\Docs", ":\\", "1:\\x", "/tmp",
        "FF:\\",      "\xc3\x89:\\", std::string("F:\\a\0b", 6),
    };
    for (const std::string& text : refused)
        EXPECT_FALSE(platform::drives().hostPath(text)) << text;
}

TEST_F(DriveTest, ExactSpellingWinsOverCaseBlindOnes)
{
    makeFolder("Data");
    makeFolder("DATA");
    makeFolder("data2");
    EXPECT_EQ(platform::drives().hostPath("F:\\Data"), host("Data"));
    EXPECT_EQ(platform::drives().hostPath("F:\\DATA"), host("DATA"));
    // No exact spelling: the smallest by bytes, whatever order the host lists.
    EXPECT_EQ(platform::drives().hostPath("F:\\dAtA"), host("DATA"));
    EXPECT_EQ(platform::drives().hostPath("F:\\DATA2"), host("data2"));
}

TEST_F(DriveTest, ListingIsSortedCaseFoldedWithTiesByBytes)
{
    const Strings expected = {"1.txt", "Alpha.txt", "alpha.TXT", "alpha.txt", "b.txt", "Zeta.txt", "zz.txt",
                              "_under.txt"};
    makeFolder("One");
    makeFolder("Two");
    for (const char* folder : {"One", "Two"}) {
        Strings order = expected;
        if (std::string(folder) == "One")
            std::reverse(order.begin(), order.end());
        else
            std::rotate(order.begin(), order.begin() + 3, order.end());
        for (const std::string& name : order)
            makeFile(std::string(folder) + "/" + name);
        EXPECT_EQ(names(list(std::string("F:\\") + folder + "\\*.txt", 7)), expected) << folder;
    }
}

TEST_F(DriveTest, PatternFiltersAndDirectoriesOnlyOnRequest)
{
    makeFolder("Sub/Inner.tmp");
    makeFile("Sub/a.tmp", 3);
    makeFile("Sub/B.TMP", 5);
    makeFile("Sub/c.txt");
    makeFile("Sub/README");

    const auto files = list("F:\\Sub\\*.tmp", 7);
    EXPECT_EQ(names(files), (Strings{"a.tmp", "B.TMP"}));
    EXPECT_EQ(files[0].size, 3u);
    EXPECT_EQ(files[1].size, 5u);
    EXPECT_EQ(files[0].attributes & platform::kAttrDirectory, 0u);

    EXPECT_EQ(names(list("F:\\Sub\\*.*", 7)), (Strings{"a.tmp", "B.TMP", "c.txt", "README"}));

    const auto all = list("F:\\Sub\\*.*", 0x17);
    EXPECT_EQ(names(all), (Strings{".", "..", "a.tmp", "B.TMP", "c.txt", "Inner.tmp", "README"}));
    for (const char* dir : {".", "..", "Inner.tmp"}) {
        ASSERT_TRUE(find(all, dir)) << dir;
        EXPECT_EQ(find(all, dir)->attributes, platform::kAttrDirectory) << dir;
    }
    EXPECT_EQ(find(all, "README")->attributes, 0u);

    EXPECT_EQ(names(list("F:\\Sub\\*.txt", 0x17)), (Strings{"c.txt"}));
    EXPECT_TRUE(list("F:\\Sub\\*.doc", 0x17).empty());
}

TEST_F(DriveTest, DotEntriesOnlyBelowTheRoot)
{
    makeFolder("Sub");
    makeFile("top.txt");
    EXPECT_EQ(names(list("F:\\*.*", 0x17)), (Strings{"Sub", "top.txt"}));
    EXPECT_EQ(names(list("F:*.*", 0x17)), (Strings{"Sub", "top.txt"}));
    // A path that comes back to the root by ".." is the root too.
    EXPECT_EQ(names(list("F:\\Sub\\..\\*.*", 0x17)), (Strings{"Sub", "top.txt"}));
    EXPECT_EQ(names(list("F:\\Sub\\*.*", 0x17)), (Strings{".", ".."}));
    // The dot entries are directories: a file request leaves an empty folder empty.
    EXPECT_TRUE(list("F:\\Sub\\*.*", 7).empty());
}

TEST_F(DriveTest, HiddenEntriesAreMarkedAndOnlyListedOnRequest)
{
    makeFolder("Sub/.cache");
    makeFile("Sub/.profile");
    makeFile("Sub/visible");

    const auto all = list("F:\\Sub\\*.*", 0x17);
    ASSERT_TRUE(find(all, ".profile"));
    EXPECT_EQ(find(all, ".profile")->attributes, platform::kAttrHidden);
    ASSERT_TRUE(find(all, ".cache"));
    EXPECT_EQ(find(all, ".cache")->attributes, platform::kAttrHidden | platform::kAttrDirectory);
    EXPECT_EQ(find(all, "..")->attributes, platform::kAttrDirectory);
    for (const auto& entry : all)
        EXPECT_EQ(entry.attributes & platform::kAttrSystem, 0u) << entry.name;

    EXPECT_EQ(names(list("F:\\Sub\\*.*", platform::kAttrReadOnly)), (Strings{"visible"}));
    EXPECT_EQ(names(list("F:\\Sub\\*.*", platform::kAttrDirectory)), (Strings{".", "..", "visible"}));
}

TEST_F(DriveTest, ReadOnlyWhenNobodyMayWrite)
{
    makeFolder("Sub");
    makeFile("Sub/locked");
    makeFile("Sub/group");
    makeFile("Sub/open");
    ::chmod(host("Sub/locked").c_str(), 0444);
    ::chmod(host("Sub/group").c_str(), 0464);
    const auto entries = list("F:\\Sub\\*", 7);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(find(entries, "locked")->attributes, platform::kAttrReadOnly);
    EXPECT_EQ(find(entries, "group")->attributes, 0u);
    EXPECT_EQ(find(entries, "open")->attributes, 0u);
}

TEST_F(DriveTest, SymbolicLinksAreFilesAndNeverFollowed)
{
    makeFolder("Sub/Real");
    makeFile("Sub/target.txt", 10);
    ASSERT_EQ(::symlink("..", host("Sub/up").c_str()), 0);
    ASSERT_EQ(::symlink("loop", host("Sub/loop").c_str()), 0);
    ASSERT_EQ(::symlink("Real", host("Sub/toReal").c_str()), 0);
    ASSERT_EQ(::symlink("target.txt", host("Sub/toFile").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", host("Sub/dangling").c_str()), 0);

    const auto all = list("F:\\Sub\\*.*", 0x17);
    EXPECT_EQ(names(all), (Strings{".", "..", "dangling", "loop", "Real", "target.txt", "toFile", "toReal", "up"}));
    for (const char* link : {"up", "loop", "toReal", "toFile", "dangling"}) {
        ASSERT_TRUE(find(all, link)) << link;
        EXPECT_EQ(find(all, link)->attributes & platform::kAttrDirectory, 0u) << link;
    }
    // Links come with the file phase's request too, which has no directories.
    EXPECT_EQ(names(list("F:\\Sub\\*", 7)), (Strings{"dangling", "loop", "target.txt", "toFile", "toReal", "up"}));
}

TEST_F(DriveTest, SizesBeyondFourGiB)
{
    makeFolder("Big");
    const std::uint64_t size = (std::uint64_t{5} << 30) + 123;
    const int fd = ::open(host("Big/huge.bin").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    const int truncated = ::ftruncate(fd, static_cast<off_t>(size));
    ::close(fd);
    if (truncated != 0)
        GTEST_SKIP() << "the temporary folder's file system cannot hold a sparse 5 GiB file";
    const auto entries = list("F:\\Big\\*.bin", 7);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].size, size);
}

TEST_F(DriveTest, FoldersThatCannotBeListed)
{
    makeFolder("Sub");
    makeFile("Sub/a.txt");
    platform::DirListing listing;
    platform::DirEntry entry;
    ASSERT_TRUE(listing.open("F:\\Sub\\*.*", 7));

    // Opening another listing forgets the first one's entries.
    EXPECT_FALSE(listing.open("F:\\Missing\\*.*", 7));
    EXPECT_FALSE(listing.next(entry));
    EXPECT_FALSE(listing.open("G:\\Sub\\*.*", 7));  // unmapped letter
    EXPECT_FALSE(listing.open("F:\\Sub\\", 7));     // no pattern
    EXPECT_FALSE(listing.open("Sub\\*.*", 7));      // no drive
    EXPECT_FALSE(listing.open("F:\\Sub\\a.txt\\*.*", 7));  // a file, not a folder

    // A folder that vanished between two listings.
    ASSERT_TRUE(listing.open("F:\\Sub\\*.*", 7));
    fs::remove_all(host("Sub"));
    EXPECT_FALSE(listing.open("F:\\Sub\\*.*", 7));
    EXPECT_FALSE(listing.next(entry));
}

TEST_F(DriveTest, UnreadableFolderListsNothing)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root, where folder permissions do not stop a listing";
    makeFolder("Closed");
    makeFile("Closed/a.txt");
    ::chmod(host("Closed").c_str(), 0);
    EXPECT_TRUE(list("F:\\Closed\\*.*", 0x17).empty());
}

TEST_F(DriveTest, ListingFindsAFolderSpeltInAnotherCase)
{
    makeFolder("Public/Docs");
    makeFile("Public/Docs/x.txt");
    EXPECT_EQ(names(list("f:\\PUBLIC\\docs\\*.TXT", 7)), (Strings{"x.txt"}));
}

TEST_F(DriveTest, CurrentFolderFollowsTheDriveTable)
{
    makeFolder("Work");
    char saved[PATH_MAX];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);

    EXPECT_EQ(platform::setCurrentFolder("F:\\WORK"), 0);
    char now[PATH_MAX];
    ASSERT_NE(::getcwd(now, sizeof now), nullptr);
    EXPECT_EQ(fs::canonical(now), fs::canonical(host("Work")));

    EXPECT_EQ(platform::setCurrentFolder("F:\\Missing"), ENOENT);
    EXPECT_NE(platform::setCurrentFolder("G:\\"), 0);
    ASSERT_NE(::getcwd(now, sizeof now), nullptr);
    EXPECT_EQ(fs::canonical(now), fs::canonical(host("Work"))) << "a failed change keeps the folder";

    ASSERT_EQ(::chdir(saved), 0);
}

TEST_F(DriveTest, UserPathsGoThroughTheDriveTableOnlyWithADriveLetter)
{
    makeFolder("Out");
    EXPECT_EQ(platform::resolveUserPath("F:\\OUT\\list.csv"), host("Out/list.csv"));
    EXPECT_EQ(platform::resolveUserPath("G:\\out\\list.csv"), "G:\\out\\list.csv");
    EXPECT_EQ(platform::resolveUserPath("list.csv"), "list.csv");
    EXPECT_EQ(platform::resolveUserPath("out/list.csv"), "out/list.csv");
    EXPECT_EQ(platform::resolveUserPath("/var/tmp/list.csv"), "/var/tmp/list.csv");
}

TEST(CodePage, OemConversionCopies)
{
    const std::string text("F:\\D\xc3\xa9j\xc3\xa0\\a\0b", 12);
    EXPECT_EQ(platform::charToOem(text), text);
}

} // namespace
