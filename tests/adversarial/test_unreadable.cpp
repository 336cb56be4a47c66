// Folders and files that cannot be read: refused by the client on purpose
// (the workstation file's faults), closed by their permissions, or too deep
// for the host to open. Each is one errors row (or one per file it holds) and
// the walk goes on with everything beside it.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>

#include "support/gui_scanfixture.h"

using ErrorRow = std::array<std::string, 3>;
using Names = std::vector<std::string>;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class Unreadable : public ScanFixture {};

// The tree of every fault case: a folder whose files are refused, a file
// beside them, and files around the folder that must still be found.
struct FaultCase {
    const char* label;
    const char* fault;
    std::vector<ErrorRow> rows;
    Names found;
};

class UnreadableByFault : public Unreadable, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(UnreadableByFault, RowsForTheRefusedAndTheRestFound)
{
    ws.makeFile(sys + "/top.txt", 1);
    ws.makeFile(sys + "/LOCKED/one.txt", 10);
    ws.makeFile(sys + "/LOCKED/two.txt", 20);
    ws.makeFile(sys + "/LOCKED/deep/three.txt", 30);
    ws.makeFile(sys + "/open/ok.txt", 5);
    ws.addLine("Faults", std::string("Fault0=") + GetParam().fault);
    startWindow();
    // The attributes are written, so the extended steps run for every file.
    const std::string out = ws.root() + "/out.csv";
    w->chkOutputResults->click();
    w->txtOutputFilename->setText(QString::fromStdString(out));
    w->chkOutputFilename->setChecked(true);
    w->chkOutputAttributes->setChecked(true);
    clickStart();

    EXPECT_EQ(errors(), GetParam().rows);
    EXPECT_EQ(resultNames(), GetParam().found);
    EXPECT_EQ(status()[1], "5");  // refused files are counted
    EXPECT_EQ(status()[2], "3");
    std::string expectedFile;
    for (const std::string& name : GetParam().found)
        expectedFile += name + ",[Rw-----------------------]\r\n";
    EXPECT_EQ(readFile(out), expectedFile);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UnreadableByFault,
    ::testing::Values(
        // Every path in and below the folder refused by the parse.
        FaultCase{"EveryPathInTheFolder",
                  "NWParseNetwarePath, F:\\LOCKED\\*, 89A8",
                  {{"F:\\LOCKED\\one.txt", "10", "NWParseNetwarePath Code : 89a8"},
                   {"F:\\LOCKED\\two.txt", "20", "NWParseNetwarePath Code : 89a8"},
                   {"F:\\LOCKED\\deep\\three.txt", "30", "NWParseNetwarePath Code : 89a8"}},
                  {"top.txt", "ok.txt"}},
        // The folder's own handle refused: each of its files, named, none below it.
        FaultCase{"TheFoldersHandle",
                  "NWAllocateTemporaryDirectoryHandle, SYS:LOCKED, 89A8",
                  {{"SYS:LOCKED\\one.txt", "10", "NWAllocateTemporaryDirectoryHandle Code : 89a8"},
                   {"SYS:LOCKED\\two.txt", "20", "NWAllocateTemporaryDirectoryHandle Code : 89a8"}},
                  {"top.txt", "three.txt", "ok.txt"}},
        // One file's information refused.
        FaultCase{"OneFilesInformation",
                  "NWIntScanFileInformation2, SYS:LOCKED\\two.txt, 89A8",
                  {{"SYS:LOCKED\\two.txt", "20", "NWIntScanFileInformation2 Code : 89a8"}},
                  {"top.txt", "one.txt", "three.txt", "ok.txt"}},
        // Every file's extended information in the folder refused.
        FaultCase{"ExtendedInformation",
                  "NWIntScanExtendedInfo, SYS:LOCKED\\*, 89A8",
                  {{"SYS:LOCKED\\one.txt", "10", "NWIntScanExtendedInfo Code : 89a8"},
                   {"SYS:LOCKED\\two.txt", "20", "NWIntScanExtendedInfo Code : 89a8"},
                   {"SYS:LOCKED\\deep\\three.txt", "30", "NWIntScanExtendedInfo Code : 89a8"}},
                  {"top.txt", "ok.txt"}}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.label); });

// Permissions count only for a user other than root; as root the same tree
// is scanned by unreadable_as_user.sh through the real binary.
TEST_F(Unreadable, ClosedFoldersAndFilesByTheirPermissions)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every folder; unreadable_as_user.sh covers this as another user";
    ws.makeFile(sys + "/ok.txt", 5);
    const std::string noread = ws.makeFile(sys + "/noread.txt", 6);
    const std::string owned = ws.makeFile(sys + "/owned.txt", 5);
    const bool ownerAttribute = ws.setOwner(owned, 0x1002);
    ws.makeFile(sys + "/locked/secret.txt", 2);
    ws.makeFile(sys + "/nosearch/inner.txt", 3);
    ws.makeFile(sys + "/nosearch/sub/unseen.txt", 7);
    ws.makeFile(sys + "/open/deep.txt", 4);
    ws.setMode(noread, 0);
    ws.setMode(owned, 0);
    ws.setMode(sys + "/locked", 0);
    ws.setMode(sys + "/nosearch", 0444);
    startWindow();
    clickStart();
    ws.setMode(sys + "/nosearch", 0755);
    ws.setMode(sys + "/locked", 0755);

    std::vector<ErrorRow> expected;
    Names found = {"noread.txt", "ok.txt", "deep.txt"};
    // An owner that cannot be read is a failure, never a made-up owner.
    if (ownerAttribute)
        expected.push_back({"SYS:owned.txt", "5", "NWIntScanFileInformation2 Code : 89a8"});
    else
        found.insert(found.begin() + 2, "owned.txt");
    expected.push_back({"F:\\locked", "0", "Unable to list folder Code : d"});
    expected.push_back({"SYS:nosearch\\inner.txt", "0", "NWIntScanFileInformation2 Code : 89a8"});
    expected.push_back({"F:\\nosearch\\sub", "0", "Unable to list folder Code : d"});
    EXPECT_EQ(errors(), expected);
    EXPECT_EQ(resultNames(), found);
    EXPECT_EQ(status()[2], "4");
}

// Removes a tree too deep for paths, one folder at a time through handles.
void removeDeepTree(int parentFd, const char* name)
{
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd < 0) {
        ::unlinkat(parentFd, name, 0);
        return;
    }
    DIR* dir = ::fdopendir(fd);
    std::vector<std::string> entries;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string entryName = entry->d_name;
        if (entryName != "." && entryName != "..")
            entries.push_back(entryName);
    }
    for (const std::string& entry : entries)
        removeDeepTree(::dirfd(dir), entry.c_str());
    ::closedir(dir);
    ::unlinkat(parentFd, name, AT_REMOVEDIR);
}

// A folder deeper than the host can open by its path cannot be listed, as
// root too: one row with the host's reason, not a silent gap in the scan.
TEST_F(Unreadable, FolderTooDeepForTheHostIsARow)
{
    const std::string level(250, 'z');
    // The first level whose host path no longer fits, and one more below it
    // holding a file the scan cannot reach.
    std::size_t failing = 1;
    while (sys.size() + failing * (level.size() + 1) < PATH_MAX)
        ++failing;
    int fd = ::open(sys.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (std::size_t depth = 1; depth <= failing + 1; ++depth) {
        ASSERT_EQ(::mkdirat(fd, level.c_str(), 0755), 0) << std::strerror(errno);
        const int next = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        ASSERT_GE(fd, 0);
    }
    const int file = ::openat(fd, "lost.txt", O_WRONLY | O_CREAT, 0644);
    ::close(file);
    ::close(fd);
    struct Cleanup {
        std::string folder;
        ~Cleanup()
        {
            const int parent = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
            removeDeepTree(parent, std::string(250, 'z').c_str());
            ::close(parent);
        }
    } cleanup{sys};
    ws.makeFile(sys + "/near.txt", 1);

    startWindow();
    clickStart();
    std::string windowsFolder = "F:";
    for (std::size_t depth = 1; depth <= failing; ++depth)
        windowsFolder += "\\" + level;
    // The code is the host's ENAMETOOLONG (36).
    EXPECT_EQ(errors(), (std::vector<ErrorRow>{{windowsFolder, "0", "Unable to list folder Code : 24"}}));
    EXPECT_EQ(resultNames(), Names{"near.txt"});
    EXPECT_EQ(status()[1], "1");
    EXPECT_EQ(status()[2], std::to_string(failing));
}

}  // namespace
