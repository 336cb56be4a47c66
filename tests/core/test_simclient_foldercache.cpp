// The simulated client's folder caches: lookups by short name and in other
// capitals are answered from them, and whatever changes on the host, in the
// folder itself or in any folder above it, is seen at the next lookup.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "netclient/simclient.h"
#include "platform/drives.h"
#include "support/core_tempworkstation.h"

namespace {

constexpr std::uint8_t kFilesHiddenSystem = 6;

class ClientFolderCache : public testing::Test {
protected:
    void SetUp() override
    {
        sys = ws.addVolume("FS1", "SYS");
        ws.mapDrive('F', "FS1/SYS:");
    }

    void load()
    {
        client = ws.load();
        ASSERT_TRUE(client) << ws.lastError();
    }

    // NWGetNSPath to name space 0; the code when it fails.
    std::string dosPath(const std::string& volumePath)
    {
        char result[512] = "";
        NwNsPath path{volumePath.c_str(), result, sizeof result};
        const NWCCODE code = client->NWGetNSPath(1, 0, 1, nw::kLongNameSpace, nw::kDosNameSpace, &path);
        if (code != nw::kSuccess) {
            char text[32];
            std::snprintf(text, sizeof text, "error %04X", static_cast<unsigned>(code) & 0xFFFFu);
            return text;
        }
        return result;
    }

    NWCCODE extendedInfo(const std::string& folderVolumePath, const std::string& name, ExtendedInfoRecord& info)
    {
        NWDIR_HANDLE handle = 0;
        NWCCODE code = client->NWAllocateTemporaryDirectoryHandle(1, 0, folderVolumePath.c_str(), &handle, nullptr);
        if (code != nw::kSuccess)
            return code;
        std::uint32_t sequence = 0xFFFFFFFF;
        std::memset(&info, 0, sizeof info);
        code = client->NWIntScanExtendedInfo(1, handle, kFilesHiddenSystem, &sequence, name.c_str(), &info, 0);
        EXPECT_EQ(client->NWDeallocateDirectoryHandle(1, handle), nw::kSuccess);
        return code;
    }

    static void rename(const std::string& from, const std::string& to)
    {
        ASSERT_EQ(::rename(from.c_str(), to.c_str()), 0) << from << " -> " << to << ": " << std::strerror(errno);
    }

    TempWorkstation ws;
    std::string sys;
    std::unique_ptr<SimClient> client;
};

TEST_F(ClientFolderCache, AnEntryAddedAboveChangesTheShortNamesOfTheDeepPath)
{
    ws.makeFile(sys + "/Projects 2024 B/Quarterly reports/summary.txt");
    load();
    const std::string deep = "SYS:PROJECTS 2024 B\\QUARTERLY REPORTS\\SUMMARY.TXT";
    ASSERT_EQ(dosPath(deep), "SYS:PROJEC~1\\QUARTE~1\\SUMMARY.TXT");
    // Repeated lookups come from the caches.
    const std::uint64_t listed = client->folderListings();
    EXPECT_EQ(dosPath(deep), "SYS:PROJEC~1\\QUARTE~1\\SUMMARY.TXT");
    EXPECT_EQ(client->folderListings(), listed);

    // A name sorting first in the top folder takes the first number.
    ws.makeFolder(sys + "/Projects 2024 A");
    EXPECT_EQ(dosPath(deep), "SYS:PROJEC~2\\QUARTE~1\\SUMMARY.TXT");
    // And one in the middle folder, the same.
    ws.makeFolder(sys + "/Projects 2024 B/Quarterly plans");
    EXPECT_EQ(dosPath(deep), "SYS:PROJEC~2\\QUARTE~2\\SUMMARY.TXT");
}

TEST_F(ClientFolderCache, AChangeThatKeepsTheFolderTimeIsSeenToo)
{
    ws.makeFile(sys + "/Long folder name/Long file name one.txt");
    load();
    const std::string folder = sys + "/Long folder name";
    struct stat before {};
    ASSERT_EQ(::stat(folder.c_str(), &before), 0);
    ASSERT_EQ(dosPath("SYS:LONG FOLDER NAME\\LONG FILE NAME ONE.TXT"), "SYS:LONGFO~1\\LONGFI~1.TXT");

    ws.makeFile(folder + "/Long file name just added.txt");
    ws.setTimes(folder, before.st_atim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(dosPath("SYS:LONG FOLDER NAME\\LONG FILE NAME ONE.TXT"), "SYS:LONGFO~1\\LONGFI~2.TXT");
    EXPECT_EQ(dosPath("SYS:LONG FOLDER NAME\\LONG FILE NAME JUST ADDED.TXT"), "SYS:LONGFO~1\\LONGFI~1.TXT");
}

TEST_F(ClientFolderCache, AFolderReplacedAboveLeadsToTheNewFiles)
{
    ws.makeFile(sys + "/Outer/Middle/Inner/old report.txt");
    load();
    ASSERT_EQ(dosPath("SYS:OUTER\\MIDDLE\\INNER\\OLD REPORT.TXT"), "SYS:OUTER\\MIDDLE\\INNER\\OLDREP~1.TXT");

    // The middle folder moves away; a new one of the same name takes its place.
    rename(sys + "/Outer/Middle", sys + "/Moved away");
    ws.makeFile(sys + "/Outer/Middle/Inner/new report.txt");
    EXPECT_EQ(dosPath("SYS:OUTER\\MIDDLE\\INNER\\OLD REPORT.TXT"), "error 89FF");
    EXPECT_EQ(dosPath("SYS:OUTER\\MIDDLE\\INNER\\NEW REPORT.TXT"), "SYS:OUTER\\MIDDLE\\INNER\\NEWREP~1.TXT");
    EXPECT_EQ(dosPath("SYS:MOVED AWAY\\INNER\\OLD REPORT.TXT"), "SYS:MOVEDA~1\\INNER\\OLDREP~1.TXT");

    // A folder renamed to other capitals is found in them.
    rename(sys + "/Outer", sys + "/OUTER");
    EXPECT_EQ(dosPath("SYS:outer\\middle\\inner\\new report.txt"), "SYS:OUTER\\MIDDLE\\INNER\\NEWREP~1.TXT");
}

TEST_F(ClientFolderCache, AFolderMovedAboveTheVolumeIsSeen)
{
    ws.makeFile(sys + "/Letters/Long letter to the bank.txt");
    load();
    const std::string path = "SYS:LETTERS\\LONG LETTER TO THE BANK.TXT";
    ASSERT_EQ(dosPath(path), "SYS:LETTERS\\LONGLE~1.TXT");
    std::uint8_t nameSpace = 0;
    ASSERT_EQ(client->NWGetOwningNameSpace(1, 0, path.c_str(), &nameSpace), nw::kSuccess);

    // The volume's host folder stays as it is; the folder holding it moves.
    const std::string holder = sys.substr(0, sys.rfind('/'));
    rename(holder, holder + "-moved");
    EXPECT_EQ(dosPath(path), "error 89FF");
    EXPECT_EQ(client->NWGetOwningNameSpace(1, 0, path.c_str(), &nameSpace), nw::kErrNoSuchFile);
    NWDIR_HANDLE handle = 0;
    EXPECT_EQ(client->NWAllocateTemporaryDirectoryHandle(1, 0, "SYS:LETTERS", &handle, nullptr), nw::kErrInvalidPath);

    // Back in place, the same lookups work again.
    rename(holder + "-moved", holder);
    EXPECT_EQ(dosPath(path), "SYS:LETTERS\\LONGLE~1.TXT");
    ASSERT_EQ(client->NWAllocateTemporaryDirectoryHandle(1, 0, "SYS:LETTERS", &handle, nullptr), nw::kSuccess);
    EXPECT_EQ(client->NWDeallocateDirectoryHandle(1, handle), nw::kSuccess);
}

TEST_F(ClientFolderCache, FoldersForgottenByTheCacheAreCheckedAgain)
{
    ws.makeFile(sys + "/Top/Deep/Deeper/first.txt");
    // More than the caches keep, and enough for the watches let go to be
    // renewed all at once, a little before the last.
    const int kOthers = 2500;
    for (int i = 0; i < kOthers; ++i)
        ws.makeFolder(sys + "/Others/Folder " + std::to_string(i));
    load();
    ASSERT_EQ(dosPath("SYS:TOP\\DEEP\\DEEPER\\FIRST.TXT"), "SYS:TOP\\DEEP\\DEEPER\\FIRST.TXT");
    for (int i = 0; i < kOthers; ++i)
        ASSERT_NE(dosPath("SYS:OTHERS\\FOLDER " + std::to_string(i) + "\\X"), "") << i;
    // The deepest folder may still be cached while those above it were let go.
    ASSERT_EQ(dosPath("SYS:TOP\\DEEP\\DEEPER\\FIRST.TXT"), "SYS:TOP\\DEEP\\DEEPER\\FIRST.TXT");

    rename(sys + "/Top", sys + "/Old top");
    ws.makeFile(sys + "/Top/Deep/Deeper/second.txt");
    EXPECT_EQ(dosPath("SYS:TOP\\DEEP\\DEEPER\\FIRST.TXT"), "error 89FF");
    EXPECT_EQ(dosPath("SYS:TOP\\DEEP\\DEEPER\\SECOND.TXT"), "SYS:TOP\\DEEP\\DEEPER\\SECOND.TXT");

    // Folders cached when the watches were renewed went with them: a file
    // added since, with the folder's times put back to the nanosecond, is found.
    for (const int i : {kOthers - 100, kOthers - 1}) {
        const std::string folder = sys + "/Others/Folder " + std::to_string(i);
        struct stat before {};
        ASSERT_EQ(::stat(folder.c_str(), &before), 0);
        ws.makeFile(folder + "/Added.txt");
        const timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);
        const std::string folderPath = "SYS:OTHERS\\FOLDER " + std::to_string(i);
        EXPECT_EQ(dosPath(folderPath + "\\ADDED.TXT"), dosPath(folderPath) + "\\ADDED.TXT") << i;
    }
}

// A folder kept in use through a handle outlives the folders above it in the
// caches. The folder above it replaced while nothing watched it, the path
// leads to the new folder, not to the one still cached under that path.
TEST_F(ClientFolderCache, AFolderKeptInUseBelowFoldersForgottenIsCheckedAgain)
{
    ws.makeFile(sys + "/Top/Deep/Deeper/first.txt");
    const int kOthers = 600;  // more than the caches keep
    for (int i = 0; i < kOthers; ++i)
        ws.makeFolder(sys + "/Others/Folder " + std::to_string(i));
    load();
    NWDIR_HANDLE deeper = 0;
    ASSERT_EQ(client->NWAllocateTemporaryDirectoryHandle(1, 0, "SYS:TOP\\DEEP\\DEEPER", &deeper, nullptr), nw::kSuccess);
    const auto inDeeper = [&](const char* name) {
        char result[512] = "";
        NwNsPath path{name, result, sizeof result};
        return client->NWGetNSPath(1, deeper, 1, nw::kLongNameSpace, nw::kDosNameSpace, &path) == nw::kSuccess;
    };
    for (int i = 0; i < kOthers; ++i) {
        ASSERT_NE(dosPath("SYS:OTHERS\\FOLDER " + std::to_string(i) + "\\X"), "") << i;
        ASSERT_TRUE(inDeeper("FIRST.TXT")) << i;
    }

    rename(sys + "/Top/Deep", sys + "/Top/Old deep");
    ws.makeFile(sys + "/Top/Deep/Deeper/second.txt");
    EXPECT_EQ(dosPath("SYS:TOP\\DEEP\\DEEPER\\SECOND.TXT"), "SYS:TOP\\DEEP\\DEEPER\\SECOND.TXT");
    EXPECT_EQ(dosPath("SYS:TOP\\DEEP\\DEEPER\\FIRST.TXT"), "error 89FF");
    EXPECT_EQ(dosPath("SYS:TOP\\OLD DEEP\\DEEPER\\FIRST.TXT"), "SYS:TOP\\OLDDEE~1\\DEEPER\\FIRST.TXT");
    EXPECT_EQ(client->NWDeallocateDirectoryHandle(1, deeper), nw::kSuccess);
}

TEST_F(ClientFolderCache, AFileGoneBeforeItsReadGivesACleanCode)
{
    const std::string file = ws.makeFile(sys + "/Public/Quarterly figures.xlsx", 100);
    load();
    ExtendedInfoRecord info{};
    ASSERT_EQ(extendedInfo("SYS:PUBLIC", "QUARTE~1.XLS", info), nw::kSuccess);
    EXPECT_EQ(info.fileSize, 100u);

    ASSERT_EQ(::unlink(file.c_str()), 0);
    EXPECT_EQ(extendedInfo("SYS:PUBLIC", "QUARTE~1.XLS", info), nw::kErrNoSuchFile);
    std::uint8_t nameSpace = 0;
    EXPECT_EQ(client->NWGetOwningNameSpace(1, 0, "SYS:PUBLIC\\QUARTERLY FIGURES.XLSX", &nameSpace),
              nw::kErrNoSuchFile);

    // The whole folder gone: the handle cannot be had, the code says so.
    const std::string folder = sys + "/Public";
    ASSERT_EQ(::rmdir(folder.c_str()), 0);
    EXPECT_EQ(extendedInfo("SYS:PUBLIC", "QUARTE~1.XLS", info), nw::kErrInvalidPath);
    EXPECT_EQ(dosPath("SYS:PUBLIC\\QUARTERLY FIGURES.XLSX"), "error 89FF");
}

TEST_F(ClientFolderCache, ExtendedAttributesChangedBetweenTwoReadsAreSeen)
{
    const std::string file = ws.makeFile(sys + "/Public/report.txt", 10);
    if (!ws.xattrsSupported())
        GTEST_SKIP() << "no extended attributes here";
    ASSERT_TRUE(ws.setOwner(file, 0x1001));
    load();
    std::uint8_t sequence[9];
    std::memset(sequence, 0xFF, sizeof sequence);
    FileInfoRecord info{};
    ASSERT_EQ(client->NWIntScanFileInformation2(1, 0, "SYS:Public\\report.txt", kFilesHiddenSystem, sequence, &info, 0),
              nw::kSuccess);
    EXPECT_EQ(info.ownerId, 0x1001u);

    ASSERT_TRUE(ws.setOwner(file, 0x1002));
    ASSERT_TRUE(ws.setAttributes(file, 0x21));
    ExtendedInfoRecord extended{};
    ASSERT_EQ(extendedInfo("SYS:PUBLIC", "REPORT.TXT", extended), nw::kSuccess);
    EXPECT_EQ(extended.ownerId, 0x1002u);
    EXPECT_EQ(extended.attributes, 0x21u);
}

TEST_F(ClientFolderCache, AFolderReachedThroughALinkIsStillFoundByItsExactPath)
{
    ws.makeFile(sys + "/Real/file.txt");
    ws.makeSymlink(sys + "/Real", sys + "/Link");
    load();
    std::uint8_t nameSpace = 0;
    // The link is no folder of the volume, but the host path exists as written.
    EXPECT_EQ(client->NWGetOwningNameSpace(1, 0, "SYS:Link\\file.txt", &nameSpace), nw::kSuccess);
    EXPECT_EQ(nameSpace, nw::kLongNameSpace);
    EXPECT_EQ(client->NWGetOwningNameSpace(1, 0, "SYS:LINK\\FILE.TXT", &nameSpace), nw::kErrInvalidPath);
}

// The files of a folder are read ahead on a second thread. What changes after
// they were read (an attribute, the size, the file itself, a folder on the
// way) is still what the next read reports.
TEST_F(ClientFolderCache, FilesReadAheadAreReadAgainWhenTheyChange)
{
    const std::string folder = sys + "/Reports/2024";
    std::vector<std::string> files;
    for (char c = 'a'; c <= 't'; ++c)
        files.push_back(ws.makeFile(folder + "/" + c + ".txt", 100));
    if (!ws.xattrsSupported())
        GTEST_SKIP() << "no extended attributes here";
    for (const std::string& file : files)
        ASSERT_TRUE(ws.setOwner(file, 0x1001));
    load();
    const auto read = [&](char name, FileInfoRecord& info) {
        std::uint8_t sequence[9];
        std::memset(sequence, 0xFF, sizeof sequence);
        const std::string path = std::string("SYS:Reports\\2024\\") + name + ".txt";
        return client->NWIntScanFileInformation2(1, 0, path.c_str(), kFilesHiddenSystem, sequence, &info, 0);
    };
    // The first read starts the reader in the folder; wait until it is through.
    FileInfoRecord info{};
    ASSERT_EQ(read('a', info), nw::kSuccess);
    for (int wait = 0; wait < 500 && client->entriesReadAhead() < files.size() - 1; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GE(client->entriesReadAhead(), files.size() - 1);

    ASSERT_EQ(read('b', info), nw::kSuccess);
    EXPECT_EQ(info.ownerId, 0x1001u);
    EXPECT_EQ(client->answersReadAhead(), 1u);

    // The walk's listing takes the sizes from what was read ahead, and from
    // the host once a file changed.
    const auto listedSizes = [] {
        std::string sizes;
        platform::DirListing listing;
        platform::DirEntry entry;
        listing.open("F:\\Reports\\2024\\*.*", 0);
        while (listing.next(entry))
            sizes += entry.name.substr(0, 1) + std::to_string(entry.size) + " ";
        return sizes;
    };
    EXPECT_EQ(listedSizes().substr(0, 20), "a100 b100 c100 d100 ");
    EXPECT_EQ(client->listingsReadAhead(), 1u);  // the folder itself was not read again
    // A file added since the reader listed the folder is in the next listing.
    ws.makeFile(folder + "/n2.txt", 5);
    EXPECT_NE(listedSizes().find(" n100 n5 o100 "), std::string::npos);
    EXPECT_EQ(client->listingsReadAhead(), 1u);
    ASSERT_EQ(::truncate(files[1].c_str(), 7), 0);
    EXPECT_EQ(listedSizes().substr(0, 20), "a100 b7 c100 d100 e1");

    ASSERT_TRUE(ws.setOwner(files[2], 0x1002));
    ASSERT_EQ(::truncate(files[3].c_str(), 300), 0);
    ASSERT_EQ(::unlink(files[4].c_str()), 0);
    ASSERT_EQ(read('c', info), nw::kSuccess);
    EXPECT_EQ(info.ownerId, 0x1002u);
    ASSERT_EQ(read('d', info), nw::kSuccess);
    EXPECT_EQ(info.size, 300u);
    EXPECT_EQ(read('e', info), nw::kErrNoSuchFile);
    ASSERT_EQ(read('f', info), nw::kSuccess);
    EXPECT_EQ(info.ownerId, 0x1001u);

    // A folder above moved away: nothing read ahead below it is still there.
    rename(sys + "/Reports", sys + "/Old reports");
    EXPECT_EQ(read('g', info), nw::kErrNoSuchFile);
    rename(sys + "/Old reports", sys + "/Reports");
    ASSERT_EQ(read('h', info), nw::kSuccess);
    EXPECT_EQ(client->answersReadAhead(), 1u);
}

// A folder the second reader listed ahead of a walk is cached as it listed
// it, under its watch: what changes there is seen at the next lookup, also
// once the reader has closed that watch with all the others it let go.
TEST_F(ClientFolderCache, AFolderTakenAsTheReaderListedItSeesItsChanges)
{
    for (int i = 0; i < 6; ++i)
        ws.makeFile(sys + "/Walk/Sub/file " + std::to_string(i) + ".txt");
    const auto boxHost = [&](int i) { return sys + "/Walk/Filler/Box " + std::to_string(i); };
    for (int i = 0; i < 2100; ++i)
        ws.makeFile(boxHost(i) + "/note " + std::to_string(i) + ".txt");
    load();
    const auto list = [](const std::string& folder) {
        platform::DirListing listing;
        return listing.open("F:\\" + folder + "\\*.*", platform::kAttrDirectory, "*.txt");
    };
    ASSERT_TRUE(list("Walk\\Sub"));
    for (int wait = 0; wait < 500 && client->entriesReadAhead() < 6; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::uint64_t given = client->listingsReadAhead();
    EXPECT_EQ(dosPath("SYS:WALK\\SUB\\FILE 0.TXT"), "SYS:WALK\\SUB\\FILE0~1.TXT");
    EXPECT_EQ(client->listingsReadAhead(), given + 1);  // the reader's listing, not one of its own

    const std::string sub = sys + "/Walk/Sub";
    const auto changeAndLookUp = [&](const std::string& made, const std::string& renamed, const std::string& shortName) {
        ws.makeFile(sub + "/" + made + ".txt");
        rename(sub + "/file 1.txt", sub + "/" + renamed + ".txt");
        EXPECT_EQ(dosPath("SYS:WALK\\SUB\\" + made + ".TXT"), "SYS:WALK\\SUB\\" + made + ".TXT");
        EXPECT_EQ(dosPath("SYS:WALK\\SUB\\FILE 1.TXT").substr(0, 6), "error ");
        EXPECT_EQ(dosPath("SYS:WALK\\SUB\\" + renamed + ".TXT"), "SYS:WALK\\SUB\\" + shortName);
        rename(sub + "/" + renamed + ".txt", sub + "/file 1.txt");
    };
    changeAndLookUp("NEW1", "moved one", "MOVEDO~1.TXT");
    // The walk goes through more folders than the caches keep and the
    // reader keeps watches for: the watches lent go back, and all go with
    // the reader's descriptor.
    const auto box = [](int i) { return "Walk\\Filler\\Box " + std::to_string(i); };
    const auto note = [&](int i) { return dosPath("SYS:" + box(i) + "\\note " + std::to_string(i) + ".txt"); };
    for (int i = 0; i < 2100; ++i) {
        // The walk's steps for one file: its path, then its folder's handle
        // and its short name there.
        ASSERT_TRUE(list(box(i))) << i;
        const std::string dos = note(i);
        ASSERT_EQ(dos.substr(0, 4), "SYS:") << i;
        const std::string shortName = dos.substr(dos.rfind('\\') + 1);
        ExtendedInfoRecord info{};
        ASSERT_EQ(extendedInfo("SYS:" + box(i), shortName, info), nw::kSuccess) << i;
        ASSERT_EQ(std::string(info.name, info.nameLength), shortName) << i;
    }
    EXPECT_EQ(dosPath("SYS:WALK\\SUB\\FILE 0.TXT"), "SYS:WALK\\SUB\\FILE0~1.TXT");
    changeAndLookUp("NEW2", "again one", "AGAINO~1.TXT");
    // A folder of the walk's start, long forgotten, and one of its last.
    for (int i : {0, 2099}) {
        const std::string was = note(i);
        ASSERT_EQ(was.substr(0, 4), "SYS:") << i;
        rename(boxHost(i) + "/note " + std::to_string(i) + ".txt", boxHost(i) + "/a note.txt");
        EXPECT_EQ(note(i).substr(0, 6), "error ") << i;
        EXPECT_EQ(dosPath("SYS:" + box(i) + "\\A NOTE.TXT"), was.substr(0, was.rfind('\\') + 1) + "ANOTE~1.TXT");
    }

    // The folder removed and made again: found anew.
    for (const char* name : {"file 0", "file 1", "file 2", "file 3", "file 4", "file 5", "NEW1", "NEW2"})
        ASSERT_EQ(::unlink((sub + "/" + name + ".txt").c_str()), 0) << name;
    ASSERT_EQ(::rmdir(sub.c_str()), 0);
    EXPECT_EQ(dosPath("SYS:WALK\\SUB\\FILE 0.TXT").substr(0, 6), "error ");
    ws.makeFile(sub + "/file 0.txt");
    EXPECT_EQ(dosPath("SYS:WALK\\SUB\\FILE 0.TXT"), "SYS:WALK\\SUB\\FILE0~1.TXT");
}

// More changes than the system queues for a descriptor: those it dropped may
// be of any folder watched there, so every folder is checked again.
TEST_F(ClientFolderCache, ChangesLostToAFullQueueLeaveNoFolderTrusted)
{
    long queued = 0;
    if (std::FILE* limit = std::fopen("/proc/sys/fs/inotify/max_queued_events", "r")) {
        if (std::fscanf(limit, "%ld", &queued) != 1)
            queued = 0;
        std::fclose(limit);
    }
    if (queued <= 0 || queued > 200000)
        GTEST_SKIP() << "no queue limit to fill here";
    for (const char* folder : {"A", "B"})
        for (int i = 0; i < 3; ++i)
            ws.makeFile(sys + "/Walk/" + folder + "/file " + std::to_string(i) + ".txt");
    load();
    platform::DirListing listing;
    ASSERT_TRUE(listing.open("F:\\Walk\\*.*", platform::kAttrDirectory, "*.txt"));
    for (int wait = 0; wait < 500 && client->entriesReadAhead() < 6; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    for (const char* folder : {"A", "B"})
        ASSERT_EQ(dosPath(std::string("SYS:WALK\\") + folder + "\\FILE 0.TXT"),
                  std::string("SYS:WALK\\") + folder + "\\FILE0~1.TXT");

    // Two files of A touched in turn (the system merges a change repeated
    // at once), until the queue is full; then a file of B is renamed.
    const std::string a = sys + "/Walk/A/file ";
    for (long i = 0; i <= queued; ++i)
        ASSERT_EQ(::utimensat(AT_FDCWD, (a + std::to_string(i % 2) + ".txt").c_str(), nullptr, 0), 0);
    // With B's time as it was: only the lost changes tell.
    const std::string b = sys + "/Walk/B";
    struct stat before {};
    ASSERT_EQ(::stat(b.c_str(), &before), 0);
    rename(b + "/file 1.txt", b + "/moved.txt");
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, b.c_str(), times, 0), 0);
    EXPECT_EQ(dosPath("SYS:WALK\\B\\FILE 1.TXT").substr(0, 6), "error ");
    EXPECT_EQ(dosPath("SYS:WALK\\B\\MOVED.TXT"), "SYS:WALK\\B\\MOVED.TXT");
    EXPECT_EQ(dosPath("SYS:WALK\\A\\FILE 1.TXT"), "SYS:WALK\\A\\FILE1~1.TXT");
}

// The walk's listing names the pattern of its files, and only the files it
// selects are read ahead; the others are still read when asked for.
// The folders above where a walk began are watched only for being moved or
// removed, which is what matters there: the volume's own folder moved away
// while the reader is ahead, the files ahead are not answered from what it
// read, and once it is back they are found again.
TEST_F(ClientFolderCache, AVolumeMovedAwayDuringAWalkIsSeenAhead)
{
    for (int i = 0; i < 4; ++i)
        ws.makeFile(sys + "/Team " + std::to_string(i) + "/job.tmp", 10 + i);
    load();
    const auto size = [&](int team) -> long {
        std::uint8_t sequence[9];
        std::memset(sequence, 0xFF, sizeof sequence);
        FileInfoRecord info{};
        const std::string path = "SYS:Team " + std::to_string(team) + "\\job.tmp";
        const NWCCODE code = client->NWIntScanFileInformation2(1, 0, path.c_str(), kFilesHiddenSystem, sequence, &info, 0);
        return code == nw::kSuccess ? static_cast<long>(info.size) : -1;
    };
    platform::DirListing listing;
    ASSERT_TRUE(listing.open("F:\\*.*", platform::kAttrDirectory, "*.tmp"));
    ASSERT_TRUE(listing.open("F:\\Team 0\\*.*", platform::kAttrDirectory, "*.tmp"));
    for (int wait = 0; wait < 500 && client->entriesReadAhead() < 4; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(size(0), 10);

    const std::string holder = sys.substr(0, sys.rfind('/'));
    rename(holder, holder + "-moved");
    EXPECT_FALSE(listing.open("F:\\Team 1\\*.*", platform::kAttrDirectory, "*.tmp"));
    EXPECT_EQ(size(1), -1);
    EXPECT_EQ(size(2), -1);
    rename(holder + "-moved", holder);
    EXPECT_TRUE(listing.open("F:\\Team 3\\*.*", platform::kAttrDirectory, "*.tmp"));
    EXPECT_EQ(size(3), 13);
}

TEST_F(ClientFolderCache, OnlyTheFilesOfTheWalksPatternAreReadAhead)
{
    for (int i = 0; i < 10; ++i) {
        ws.makeFile(sys + "/Spool/job" + std::to_string(i) + ".tmp", 10 + i);
        ws.makeFile(sys + "/Spool/note" + std::to_string(i) + ".txt", 20 + i);
    }
    load();
    platform::DirListing listing;
    ASSERT_TRUE(listing.open("F:\\Spool\\*.*", platform::kAttrDirectory, "*.tmp"));
    const auto size = [&](const std::string& name) -> long {
        std::uint8_t sequence[9];
        std::memset(sequence, 0xFF, sizeof sequence);
        FileInfoRecord info{};
        const std::string path = "SYS:Spool\\" + name;
        const NWCCODE code = client->NWIntScanFileInformation2(1, 0, path.c_str(), kFilesHiddenSystem, sequence, &info, 0);
        return code == nw::kSuccess ? static_cast<long>(info.size) : -1;
    };
    ASSERT_EQ(size("job0.tmp"), 10);
    for (int wait = 0; wait < 500 && client->entriesReadAhead() < 9; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_LE(client->entriesReadAhead(), 10u);
    EXPECT_GE(client->entriesReadAhead(), 9u);
    // The first file may or may not have been read ahead by then.
    const std::uint64_t answered = client->answersReadAhead();
    EXPECT_EQ(size("job5.tmp"), 15);
    EXPECT_EQ(client->answersReadAhead(), answered + 1);
    EXPECT_EQ(size("note5.txt"), 25);
    EXPECT_EQ(client->answersReadAhead(), answered + 1);
}

} // namespace

namespace {

// A walk as a scan makes it, folder by folder, each file read twice (its
// information, then its extended information), while files ahead of it
// change, go and come: every answer is the host's at the time of the call,
// whichever thread read it and whenever. The folders walked first are enough
// for the watches let go on the way to be renewed before.
TEST_F(ClientFolderCache, AWalkIsAnsweredAsTheHostStandsWhileFilesAheadChange)
{
    for (int i = 0; i < 2100; ++i)
        ws.makeFolder(sys + "/Archive/Box " + std::to_string(i));
    std::map<std::string, std::uint32_t> owners;  // volume path -> owner set
    for (int dept = 0; dept < 3; ++dept)
        for (int team = 0; team < 4; ++team)
            for (int job = 0; job < 6; ++job) {
                const std::string name = "Dept " + std::to_string(dept) + "/Team " + std::to_string(team) + "/job" +
                                         std::to_string(job) + ".tmp";
                ws.makeFile(sys + "/" + name, 100 + job);
                ws.makeFile(sys + "/" + name.substr(0, name.size() - 3) + "txt", 1);
                owners[name] = 0x1000u + static_cast<std::uint32_t>(job);
            }
    if (!ws.xattrsSupported())
        GTEST_SKIP() << "no extended attributes here";
    for (const auto& [name, owner] : owners)
        ASSERT_TRUE(ws.setOwner(sys + "/" + name, owner));
    load();

    // Once the second reader has read the next two folders, their files
    // change, go and come, and so do those of a folder further on.
    const auto changeAhead = [&] {
        for (int wait = 0; wait < 50 && client->entriesReadAhead() < 3 * 6; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(::truncate((sys + "/Dept 0/Team 1/job1.tmp").c_str(), 7), 0);
        ASSERT_EQ(::truncate((sys + "/Dept 2/Team 3/job1.tmp").c_str(), 7), 0);
        for (const char* name : {"Dept 0/Team 2/job2.tmp", "Dept 2/Team 2/job2.tmp"}) {
            ASSERT_TRUE(ws.setOwner(sys + "/" + name, 0x2002));
            owners[name] = 0x2002;
        }
        for (const char* name : {"Dept 0/Team 1/job3.tmp", "Dept 1/Team 3/job3.tmp"}) {
            ASSERT_EQ(::unlink((sys + "/" + name).c_str()), 0);
            owners.erase(name);
        }
        for (const char* name : {"Dept 0/Team 2/job9.tmp", "Dept 2/Team 1/job9.tmp"}) {
            ws.makeFile(sys + "/" + name, 9);
            ASSERT_TRUE(ws.setOwner(sys + "/" + name, 0x1009));
            owners[name] = 0x1009;
        }
    };
    std::size_t filesSeen = 0;
    std::function<void(const std::string&)> walk = [&](const std::string& folder) {
        platform::DirListing listing;
        platform::DirEntry entry;
        std::vector<std::string> subfolders;
        const std::string windowsFolder = "F:\\" + (folder.empty() ? "" : folder + "\\");
        listing.open(windowsFolder + "*.*", platform::kAttrDirectory, "*.tmp");
        while (listing.next(entry)) {
            if ((entry.attributes & platform::kAttrDirectory) != 0) {
                if (entry.name != "." && entry.name != "..")
                    subfolders.push_back(entry.name);
                continue;
            }
            const std::string name = (folder.empty() ? "" : folder + "/") + entry.name;
            struct stat host {};
            ASSERT_EQ(::stat((sys + "/" + name).c_str(), &host), 0) << name;
            EXPECT_EQ(entry.size, static_cast<std::uint64_t>(host.st_size)) << name;
            std::string volumePath = "SYS:" + name;
            std::replace(volumePath.begin(), volumePath.end(), '/', '\\');
            std::uint8_t sequence[9];
            std::memset(sequence, 0xFF, sizeof sequence);
            FileInfoRecord info{};
            ASSERT_EQ(client->NWIntScanFileInformation2(1, 0, volumePath.c_str(), kFilesHiddenSystem, sequence, &info, 0),
                      nw::kSuccess) << name;
            EXPECT_EQ(info.size, static_cast<std::uint32_t>(host.st_size)) << name;
            EXPECT_EQ(info.ownerId, owners.at(name)) << name;
            ExtendedInfoRecord extended{};
            std::string folderPath = "SYS:" + folder;
            std::replace(folderPath.begin(), folderPath.end(), '/', '\\');
            ASSERT_EQ(extendedInfo(folderPath, entry.name, extended), nw::kSuccess) << name;
            EXPECT_EQ(extended.ownerId, owners.at(name)) << name;
            ++filesSeen;
        }
        if (folder == "Dept 0/Team 0")
            changeAhead();
        for (const std::string& subfolder : subfolders)
            walk((folder.empty() ? "" : folder + "/") + subfolder);
    };
    walk("");
    EXPECT_EQ(filesSeen, owners.size());
}

} // namespace

namespace {

// A walk's listing where the second reader is not starts it there; inside
// the walk it goes on, past that folder's own tree, with the folders the
// walk visits after it, and not with folders outside the walk.
TEST_F(ClientFolderCache, TheReaderStartedInsideAWalkGoesOnWithTheRestOfIt)
{
    for (const char* folder : {"Outside", "Walk/A", "Walk/B/B1", "Walk/B/B2", "Walk/C"})
        for (int job = 0; job < 3; ++job)
            ws.makeFile(sys + "/" + folder + "/job" + std::to_string(job) + ".tmp", 10);
    load();
    const auto list = [](const std::string& folder) {
        platform::DirListing listing;
        return listing.open("F:\\" + folder + "\\*.*", platform::kAttrDirectory, "*.tmp");
    };
    ASSERT_TRUE(list("Walk"));
    // The walk goes straight to B1, where the reader has not been yet.
    ASSERT_TRUE(list("Walk\\B\\B1"));
    // B1 and, after it, B2 and C: nine files; A and Outside are not read.
    for (int wait = 0; wait < 500 && client->entriesReadAhead() < 9; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GE(client->entriesReadAhead(), 9u);
    EXPECT_LE(client->entriesReadAhead(), 9u + 3u);  // A's, when the reader got there before the walk moved
}

} // namespace
