// The simulated client's folder caches and its read-ahead: lookups by short
// name and in other capitals are answered from the caches, file reads from
// what the read-ahead read. What they read of the host is trusted for one
// scan at most: within a scan each folder is listed once and its files are
// answered as they were read, whatever changes on the host meanwhile; a call
// outside a scan, and the next scan, see the host as it stands.

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
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "netclient/simclient.h"
#include "platform/drives.h"
#include "support/core_tempworkstation.h"

namespace {

constexpr std::uint8_t kFilesHiddenSystem = 6;

std::string codeText(NWCCODE code)
{
    if (code == nw::kSuccess)
        return "ok";
    char text[32];
    std::snprintf(text, sizeof text, "error %04X", static_cast<unsigned>(code) & 0xFFFFu);
    return text;
}

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
        return code == nw::kSuccess ? std::string(result) : codeText(code);
    }

    NWCCODE fileInfo(const std::string& volumePath, FileInfoRecord& info)
    {
        std::uint8_t sequence[9];
        std::memset(sequence, 0xFF, sizeof sequence);
        std::memset(&info, 0, sizeof info);
        return client->NWIntScanFileInformation2(1, 0, volumePath.c_str(), kFilesHiddenSystem, sequence, &info, 0);
    }

    // The size the file information gives, or -1 when it fails.
    long sizeOf(const std::string& volumePath)
    {
        FileInfoRecord info{};
        return fileInfo(volumePath, info) == nw::kSuccess ? static_cast<long>(info.size) : -1;
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

    // A walk's listing of a folder of drive F: with the files of a pattern,
    // which starts the read-ahead there in a scan.
    static bool walkListing(const std::string& folder, const char* filePattern)
    {
        platform::DirListing listing;
        return listing.open("F:\\" + folder + (folder.empty() ? "" : "\\") + "*.*", platform::kAttrDirectory,
                            filePattern);
    }

    // Waits, 5 s at most, until the read-ahead has read at least count entries.
    bool readAhead(std::uint64_t count)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (client->entriesReadAhead() < count) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    static void rename(const std::string& from, const std::string& to)
    {
        ASSERT_EQ(::rename(from.c_str(), to.c_str()), 0) << from << " -> " << to << ": " << std::strerror(errno);
    }

    // A path's name-space-0 path (or the error) before and after a change.
    struct Lookup {
        std::string path;
        std::string before;
        std::string after;
    };

    // Makes the change in the middle of a scan whose lookups have listed every
    // folder on their way: the scan goes on answering as it listed them,
    // without listing them again. Every call outside a scan lists afresh and
    // sees the change, and so does the next scan.
    void changeDuringAScan(const std::vector<Lookup>& lookups, const std::function<void()>& change)
    {
        client->beginScan();
        for (const Lookup& lookup : lookups)
            EXPECT_EQ(dosPath(lookup.path), lookup.before) << "in the scan: " << lookup.path;
        const std::uint64_t listed = client->folderListings();
        change();
        for (const Lookup& lookup : lookups)
            EXPECT_EQ(dosPath(lookup.path), lookup.before) << "in the scan, after the change: " << lookup.path;
        EXPECT_EQ(client->folderListings(), listed);
        client->endScan();
        for (const Lookup& lookup : lookups) {
            const std::uint64_t before = client->folderListings();
            EXPECT_EQ(dosPath(lookup.path), lookup.after) << "outside a scan: " << lookup.path;
            EXPECT_GT(client->folderListings(), before) << "outside a scan: " << lookup.path;
        }
        client->beginScan();
        for (const Lookup& lookup : lookups)
            EXPECT_EQ(dosPath(lookup.path), lookup.after) << "in the next scan: " << lookup.path;
        client->endScan();
    }

    TempWorkstation ws;
    std::string sys;
    std::unique_ptr<SimClient> client;
};

TEST_F(ClientFolderCache, AnEntryAddedAboveDuringAScanChangesTheDeepShortNamesFromTheNext)
{
    ws.makeFile(sys + "/Projects 2024 B/Quarterly reports/summary.txt");
    load();
    // A name sorting first in the top folder takes the first number, and one
    // in the middle folder the same.
    changeDuringAScan({{"SYS:PROJECTS 2024 B\\QUARTERLY REPORTS\\SUMMARY.TXT", "SYS:PROJEC~1\\QUARTE~1\\SUMMARY.TXT",
                        "SYS:PROJEC~2\\QUARTE~2\\SUMMARY.TXT"}},
                      [&] {
                          ws.makeFolder(sys + "/Projects 2024 A");
                          ws.makeFolder(sys + "/Projects 2024 B/Quarterly plans");
                      });
}

TEST_F(ClientFolderCache, AChangeThatKeepsTheFolderTimeIsSeenByTheNextScan)
{
    ws.makeFile(sys + "/Long folder name/Long file name one.txt");
    load();
    const std::string folder = sys + "/Long folder name";
    changeDuringAScan(
        {{"SYS:LONG FOLDER NAME\\LONG FILE NAME ONE.TXT", "SYS:LONGFO~1\\LONGFI~1.TXT", "SYS:LONGFO~1\\LONGFI~2.TXT"},
         {"SYS:LONG FOLDER NAME\\LONG FILE NAME JUST ADDED.TXT", "error 89FF", "SYS:LONGFO~1\\LONGFI~1.TXT"}},
        [&] {
            struct stat before {};
            ASSERT_EQ(::stat(folder.c_str(), &before), 0);
            ws.makeFile(folder + "/Long file name just added.txt");
            const timespec times[2] = {before.st_atim, before.st_mtim};
            ASSERT_EQ(::utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);
        });
}

TEST_F(ClientFolderCache, AFolderReplacedAboveDuringAScanLeadsToTheNewFilesInTheNext)
{
    ws.makeFile(sys + "/Outer/Middle/Inner/old report.txt");
    load();
    // The middle folder moves away and a new one of the same name takes its
    // place; the top folder is renamed to other capitals, and found in them.
    changeDuringAScan(
        {{"SYS:OUTER\\MIDDLE\\INNER\\OLD REPORT.TXT", "SYS:OUTER\\MIDDLE\\INNER\\OLDREP~1.TXT", "error 89FF"},
         {"SYS:outer\\middle\\inner\\new report.txt", "error 89FF", "SYS:OUTER\\MIDDLE\\INNER\\NEWREP~1.TXT"},
         {"SYS:MOVED AWAY\\INNER\\OLD REPORT.TXT", "error 89FF", "SYS:MOVEDA~1\\INNER\\OLDREP~1.TXT"}},
        [&] {
            rename(sys + "/Outer/Middle", sys + "/Moved away");
            ws.makeFile(sys + "/Outer/Middle/Inner/new report.txt");
            rename(sys + "/Outer", sys + "/OUTER");
        });
}

TEST_F(ClientFolderCache, AFolderMovedAboveTheVolumeIsSeenByTheNextScan)
{
    ws.makeFile(sys + "/Letters/Long letter to the bank.txt");
    load();
    const std::string path = "SYS:LETTERS\\LONG LETTER TO THE BANK.TXT";
    // What the client says of the letter and of its folder.
    const auto answers = [&] {
        std::uint8_t nameSpace = 0;
        const NWCCODE owning = client->NWGetOwningNameSpace(1, 0, path.c_str(), &nameSpace);
        NWDIR_HANDLE handle = 0;
        const NWCCODE allocated = client->NWAllocateTemporaryDirectoryHandle(1, 0, "SYS:LETTERS", &handle, nullptr);
        if (allocated == nw::kSuccess) {
            EXPECT_EQ(client->NWDeallocateDirectoryHandle(1, handle), nw::kSuccess);
        }
        return dosPath(path) + " " + codeText(owning) + " " + codeText(allocated);
    };
    const std::string there = "SYS:LETTERS\\LONGLE~1.TXT ok ok";
    const std::string gone = "error 89FF error 89FF error 899C";

    // The volume's host folder stays as it is; the folder holding it moves.
    // The scan answers as it listed the volume.
    const std::string holder = sys.substr(0, sys.rfind('/'));
    client->beginScan();
    EXPECT_EQ(answers(), there);
    rename(holder, holder + "-moved");
    EXPECT_EQ(answers(), there);
    client->endScan();
    EXPECT_EQ(answers(), gone);
    client->beginScan();
    EXPECT_EQ(answers(), gone);
    // Back in place during that scan: outside a scan and in the next, the
    // same lookups work again.
    rename(holder + "-moved", holder);
    client->endScan();
    EXPECT_EQ(answers(), there);
    client->beginScan();
    EXPECT_EQ(answers(), there);
    client->endScan();
}

// In a scan through more folders than the caches keep, the folders let go
// are listed again when a lookup comes back to them, and answer as before.
TEST_F(ClientFolderCache, FoldersTheCachesLetGoInAScanAreListedAgain)
{
    ws.makeFile(sys + "/Top/Deep/Deeper/first.txt");
    const int kOthers = 600;  // more than the caches keep
    for (int i = 0; i < kOthers; ++i)
        ws.makeFolder(sys + "/Others/Folder " + std::to_string(i));
    load();
    const std::string first = "SYS:TOP\\DEEP\\DEEPER\\FIRST.TXT";
    client->beginScan();
    ASSERT_EQ(dosPath(first), first);
    for (int i = 0; i < kOthers; ++i)
        ASSERT_EQ(dosPath("SYS:OTHERS\\FOLDER " + std::to_string(i) + "\\X"), "error 89FF") << i;
    // The volume root and Others stayed in use; Top, Deep and Deeper went.
    const std::uint64_t listed = client->folderListings();
    EXPECT_EQ(dosPath(first), first);
    EXPECT_EQ(client->folderListings() - listed, 3u);

    // Replaced during the scan, once listed again: the scan keeps what it listed.
    rename(sys + "/Top", sys + "/Old top");
    ws.makeFile(sys + "/Top/Deep/Deeper/second.txt");
    EXPECT_EQ(dosPath(first), first);
    client->endScan();
    client->beginScan();
    EXPECT_EQ(dosPath(first), "error 89FF");
    EXPECT_EQ(dosPath("SYS:TOP\\DEEP\\DEEPER\\SECOND.TXT"), "SYS:TOP\\DEEP\\DEEPER\\SECOND.TXT");
    EXPECT_EQ(dosPath("SYS:OLD TOP\\DEEP\\DEEPER\\FIRST.TXT"), "SYS:OLDTOP~1\\DEEP\\DEEPER\\FIRST.TXT");
    client->endScan();
}

// A folder kept in use through a handle outlives the folders above it in the
// caches, and answers as it was listed until the scan ends, even when the
// folder above it is replaced. Outside a scan, and in the next, the handle's
// path leads to the new folder.
TEST_F(ClientFolderCache, AFolderKeptInUseAnswersAsListedUntilTheScanEnds)
{
    ws.makeFile(sys + "/Top/Deep/Deeper/first.txt");
    const int kOthers = 600;  // more than the caches keep
    for (int i = 0; i < kOthers; ++i)
        ws.makeFolder(sys + "/Others/Folder " + std::to_string(i));
    load();
    client->beginScan();
    NWDIR_HANDLE deeper = 0;
    ASSERT_EQ(client->NWAllocateTemporaryDirectoryHandle(1, 0, "SYS:TOP\\DEEP\\DEEPER", &deeper, nullptr),
              nw::kSuccess);
    const auto inDeeper = [&](const char* name) {
        char result[512] = "";
        NwNsPath path{name, result, sizeof result};
        return client->NWGetNSPath(1, deeper, 1, nw::kLongNameSpace, nw::kDosNameSpace, &path) == nw::kSuccess;
    };
    for (int i = 0; i < kOthers; ++i) {
        ASSERT_EQ(dosPath("SYS:OTHERS\\FOLDER " + std::to_string(i) + "\\X"), "error 89FF") << i;
        ASSERT_TRUE(inDeeper("FIRST.TXT")) << i;
    }
    rename(sys + "/Top/Deep", sys + "/Top/Old deep");
    ws.makeFile(sys + "/Top/Deep/Deeper/second.txt");
    EXPECT_TRUE(inDeeper("FIRST.TXT"));
    EXPECT_FALSE(inDeeper("SECOND.TXT"));
    client->endScan();

    for (const bool inScan : {false, true}) {
        SCOPED_TRACE(inScan ? "in the next scan" : "outside a scan");
        if (inScan)
            client->beginScan();
        EXPECT_FALSE(inDeeper("FIRST.TXT"));
        EXPECT_TRUE(inDeeper("SECOND.TXT"));
        EXPECT_EQ(dosPath("SYS:TOP\\DEEP\\DEEPER\\SECOND.TXT"), "SYS:TOP\\DEEP\\DEEPER\\SECOND.TXT");
        EXPECT_EQ(dosPath("SYS:TOP\\DEEP\\DEEPER\\FIRST.TXT"), "error 89FF");
        EXPECT_EQ(dosPath("SYS:TOP\\OLD DEEP\\DEEPER\\FIRST.TXT"), "SYS:TOP\\OLDDEE~1\\DEEPER\\FIRST.TXT");
        if (inScan)
            client->endScan();
    }
    EXPECT_EQ(client->NWDeallocateDirectoryHandle(1, deeper), nw::kSuccess);
}

// A file, then its folder, gone since a read: a call outside a scan, and the
// next scan, give the code that says so.
TEST_F(ClientFolderCache, AFileGoneBeforeItsReadGivesACleanCode)
{
    load();
    for (const bool inScan : {false, true}) {
        SCOPED_TRACE(inScan ? "in the next scan" : "outside a scan");
        const std::string file = ws.makeFile(sys + "/Public/Quarterly figures.xlsx", 100);
        if (inScan)
            client->beginScan();
        ExtendedInfoRecord info{};
        ASSERT_EQ(extendedInfo("SYS:PUBLIC", "QUARTE~1.XLS", info), nw::kSuccess);
        EXPECT_EQ(info.fileSize, 100u);
        if (inScan)
            client->endScan();

        ASSERT_EQ(::unlink(file.c_str()), 0);
        if (inScan)
            client->beginScan();
        EXPECT_EQ(extendedInfo("SYS:PUBLIC", "QUARTE~1.XLS", info), nw::kErrNoSuchFile);
        std::uint8_t nameSpace = 0;
        EXPECT_EQ(client->NWGetOwningNameSpace(1, 0, "SYS:PUBLIC\\QUARTERLY FIGURES.XLSX", &nameSpace),
                  nw::kErrNoSuchFile);
        if (inScan)
            client->endScan();

        // The whole folder gone: the handle cannot be had, the code says so.
        ASSERT_EQ(::rmdir((sys + "/Public").c_str()), 0);
        if (inScan)
            client->beginScan();
        EXPECT_EQ(extendedInfo("SYS:PUBLIC", "QUARTE~1.XLS", info), nw::kErrInvalidPath);
        EXPECT_EQ(dosPath("SYS:PUBLIC\\QUARTERLY FIGURES.XLSX"), "error 89FF");
        if (inScan)
            client->endScan();
    }
}

// A file read twice, its information and then its extended information (as a
// walk reads it), with its extended attributes changed in between: in a scan
// the second read takes the facts of the first; outside a scan it reads them
// again, and so does the next scan.
TEST_F(ClientFolderCache, ExtendedAttributesChangedBetweenTwoReadsOfAFile)
{
    const std::string file = ws.makeFile(sys + "/Public/report.txt", 10);
    if (!ws.xattrsSupported())
        GTEST_SKIP() << TempWorkstation::kNoXattrMessage;
    load();
    struct Case {
        const char* what;
        bool inScan;
        std::uint32_t owner;
        std::uint32_t attributes;
    } const cases[] = {
        {"outside a scan", false, 0x1002, 0x21},
        {"in a scan", true, 0x1001, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(ws.setOwner(file, 0x1001));
        ASSERT_TRUE(ws.setAttributes(file, 0));
        if (c.inScan)
            client->beginScan();
        FileInfoRecord info{};
        ASSERT_EQ(fileInfo("SYS:Public\\report.txt", info), nw::kSuccess);
        EXPECT_EQ(info.ownerId, 0x1001u);

        ASSERT_TRUE(ws.setOwner(file, 0x1002));
        ASSERT_TRUE(ws.setAttributes(file, 0x21));
        ExtendedInfoRecord extended{};
        ASSERT_EQ(extendedInfo("SYS:PUBLIC", "REPORT.TXT", extended), nw::kSuccess);
        EXPECT_EQ(extended.ownerId, c.owner);
        EXPECT_EQ(extended.attributes, c.attributes);
        if (!c.inScan)
            continue;
        client->endScan();
        client->beginScan();
        ASSERT_EQ(extendedInfo("SYS:PUBLIC", "REPORT.TXT", extended), nw::kSuccess);
        EXPECT_EQ(extended.ownerId, 0x1002u);
        EXPECT_EQ(extended.attributes, 0x21u);
        client->endScan();
    }
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

// The files of a folder are read ahead on a second thread once a scan's walk
// lists it, and the walk's listing and file reads are answered from what it
// read. A change after that may or may not be seen by the scan (each answer
// still the file's own: as it was read, or as it is), and is always seen by
// a call outside a scan and by the next scan.
TEST_F(ClientFolderCache, FilesReadAheadInAScanAreReadAgainInTheNext)
{
    const std::string folder = sys + "/Reports/2024";
    std::vector<std::string> files;
    for (char c = 'a'; c <= 't'; ++c)
        files.push_back(ws.makeFile(folder + "/" + c + ".txt", 100));
    if (!ws.xattrsSupported())
        GTEST_SKIP() << TempWorkstation::kNoXattrMessage;
    for (const std::string& file : files)
        ASSERT_TRUE(ws.setOwner(file, 0x1001));
    load();
    const auto read = [&](const std::string& name, FileInfoRecord& info) {
        return fileInfo("SYS:Reports\\2024\\" + name, info);
    };
    // The sizes the walk's listing gives, "a100 b100 ...".
    const auto listedSizes = [] {
        std::string sizes;
        platform::DirListing listing;
        platform::DirEntry entry;
        listing.open("F:\\Reports\\2024\\*.*", platform::kAttrDirectory, "*.txt");
        while (listing.next(entry))
            if ((entry.attributes & platform::kAttrDirectory) == 0)
                sizes += entry.name.substr(0, 1) + std::to_string(entry.size) + " ";
        return sizes;
    };

    client->beginScan();
    EXPECT_EQ(listedSizes().substr(0, 20), "a100 b100 c100 d100 ");
    ASSERT_TRUE(readAhead(files.size()));
    const std::uint64_t given = client->listingsReadAhead();
    EXPECT_EQ(listedSizes().substr(0, 20), "a100 b100 c100 d100 ");
    EXPECT_EQ(client->listingsReadAhead(), given + 1);  // the folder itself was not read again
    const std::uint64_t answered = client->answersReadAhead();
    FileInfoRecord info{};
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        ASSERT_EQ(read(name, info), nw::kSuccess) << name;
        EXPECT_EQ(info.size, 100u) << name;
        EXPECT_EQ(info.ownerId, 0x1001u) << name;
    }
    // Each from memory, but for a read that meets the reader in the middle of
    // that very file, which reads the host itself.
    EXPECT_GE(client->answersReadAhead(), answered + 2);

    // Changes during the scan.
    ASSERT_EQ(::truncate(files[3].c_str(), 7), 0);
    ASSERT_TRUE(ws.setOwner(files[4], 0x1002));
    ASSERT_EQ(::unlink(files[5].c_str()), 0);
    ws.makeFile(folder + "/n2.txt", 5);
    ASSERT_EQ(read("d.txt", info), nw::kSuccess);
    EXPECT_TRUE(info.size == 100u || info.size == 7u) << info.size;
    ASSERT_EQ(read("e.txt", info), nw::kSuccess);
    EXPECT_TRUE(info.ownerId == 0x1001u || info.ownerId == 0x1002u) << info.ownerId;
    const NWCCODE gone = read("f.txt", info);
    EXPECT_TRUE(gone == nw::kErrNoSuchFile || (gone == nw::kSuccess && info.size == 100u)) << gone;
    ASSERT_EQ(read("g.txt", info), nw::kSuccess);
    EXPECT_EQ(info.size, 100u);
    EXPECT_EQ(info.ownerId, 0x1001u);
    client->endScan();

    // Outside a scan: the host as it stands, and nothing from the read-ahead.
    const std::uint64_t answeredInTheScan = client->answersReadAhead();
    ASSERT_EQ(read("d.txt", info), nw::kSuccess);
    EXPECT_EQ(info.size, 7u);
    ASSERT_EQ(read("e.txt", info), nw::kSuccess);
    EXPECT_EQ(info.ownerId, 0x1002u);
    EXPECT_EQ(read("f.txt", info), nw::kErrNoSuchFile);
    EXPECT_EQ(client->answersReadAhead(), answeredInTheScan);

    // The next scan: its listing and its reads, afresh.
    client->beginScan();
    const std::string sizes = listedSizes();
    EXPECT_EQ(sizes.substr(0, 25), "a100 b100 c100 d7 e100 g1");
    EXPECT_NE(sizes.find(" n100 n5 o100 "), std::string::npos) << sizes;
    ASSERT_TRUE(readAhead(2 * files.size()));
    ASSERT_EQ(read("d.txt", info), nw::kSuccess);
    EXPECT_EQ(info.size, 7u);
    ASSERT_EQ(read("e.txt", info), nw::kSuccess);
    EXPECT_EQ(info.ownerId, 0x1002u);
    EXPECT_EQ(read("f.txt", info), nw::kErrNoSuchFile);
    ASSERT_EQ(read("n2.txt", info), nw::kSuccess);
    EXPECT_EQ(info.size, 5u);
    client->endScan();
}

// A folder the reader listed ahead of a walk is taken by the caches as it
// listed it, and kept so until the scan ends, also once the walk has gone on
// to other folders; the next scan, and every call outside one, see it anew.
TEST_F(ClientFolderCache, AFolderTheReaderListedIsTakenAsListedUntilTheScanEnds)
{
    for (int i = 0; i < 6; ++i)
        ws.makeFile(sys + "/Walk/Sub/file " + std::to_string(i) + ".txt");
    for (int i = 0; i < 3; ++i)
        ws.makeFile(sys + "/Walk/Box " + std::to_string(i) + "/note.txt");
    load();
    client->beginScan();
    ASSERT_TRUE(walkListing("Walk\\Sub", "*.txt"));
    ASSERT_TRUE(readAhead(6));
    const std::uint64_t given = client->listingsReadAhead();
    EXPECT_EQ(dosPath("SYS:WALK\\SUB\\FILE 0.TXT"), "SYS:WALK\\SUB\\FILE0~1.TXT");
    EXPECT_EQ(client->listingsReadAhead(), given + 1);  // the reader's listing, not one of its own

    const std::string sub = sys + "/Walk/Sub";
    ws.makeFile(sub + "/NEW1.txt");
    rename(sub + "/file 1.txt", sub + "/moved one.txt");
    const auto asListed = [&] {
        EXPECT_EQ(dosPath("SYS:WALK\\SUB\\FILE 1.TXT"), "SYS:WALK\\SUB\\FILE1~1.TXT");
        EXPECT_EQ(dosPath("SYS:WALK\\SUB\\NEW1.TXT"), "error 89FF");
        EXPECT_EQ(dosPath("SYS:WALK\\SUB\\MOVED ONE.TXT"), "error 89FF");
    };
    asListed();
    // The walk goes on through other folders: the reader leaves Sub behind.
    for (int i = 0; i < 3; ++i) {
        const std::string box = "Walk\\Box " + std::to_string(i);
        ASSERT_TRUE(walkListing(box, "*.txt")) << i;
        ExtendedInfoRecord info{};
        ASSERT_EQ(extendedInfo("SYS:" + box, "NOTE.TXT", info), nw::kSuccess) << i;
    }
    asListed();
    client->endScan();

    for (const bool inScan : {false, true}) {
        SCOPED_TRACE(inScan ? "in the next scan" : "outside a scan");
        if (inScan)
            client->beginScan();
        EXPECT_EQ(dosPath("SYS:WALK\\SUB\\FILE 0.TXT"), "SYS:WALK\\SUB\\FILE0~1.TXT");
        EXPECT_EQ(dosPath("SYS:WALK\\SUB\\FILE 1.TXT"), "error 89FF");
        EXPECT_EQ(dosPath("SYS:WALK\\SUB\\NEW1.TXT"), "SYS:WALK\\SUB\\NEW1.TXT");
        EXPECT_EQ(dosPath("SYS:WALK\\SUB\\MOVED ONE.TXT"), "SYS:WALK\\SUB\\MOVEDO~1.TXT");
        if (inScan)
            client->endScan();
    }
}

// A scan that ends while the reader is ahead of its walk, in folders the walk
// never reached, leaves nothing the reader read to the next scan: neither a
// listing nor a file, whatever the folders' times say.
TEST_F(ClientFolderCache, NothingTheReaderReadInAScanIsTrustedByTheNext)
{
    for (const char* folder : {"A", "B"})
        for (int i = 0; i < 3; ++i)
            ws.makeFile(sys + "/Walk/" + folder + "/file " + std::to_string(i) + ".txt", 10);
    load();
    client->beginScan();
    ASSERT_TRUE(walkListing("Walk", "*.txt"));
    ASSERT_TRUE(readAhead(6));
    EXPECT_EQ(dosPath("SYS:WALK\\B\\FILE 1.TXT"), "SYS:WALK\\B\\FILE1~1.TXT");
    client->endScan();

    const std::string a = sys + "/Walk/A";
    const std::string b = sys + "/Walk/B";
    struct stat before {};
    ASSERT_EQ(::stat(b.c_str(), &before), 0);
    ASSERT_EQ(::truncate((a + "/file 0.txt").c_str(), 7), 0);
    rename(b + "/file 1.txt", b + "/moved.txt");
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, b.c_str(), times, 0), 0);

    client->beginScan();
    const std::uint64_t given = client->listingsReadAhead();
    const std::uint64_t answered = client->answersReadAhead();
    EXPECT_EQ(dosPath("SYS:WALK\\B\\FILE 1.TXT"), "error 89FF");
    EXPECT_EQ(dosPath("SYS:WALK\\B\\MOVED.TXT"), "SYS:WALK\\B\\MOVED.TXT");
    EXPECT_EQ(dosPath("SYS:WALK\\A\\FILE 1.TXT"), "SYS:WALK\\A\\FILE1~1.TXT");
    EXPECT_EQ(sizeOf("SYS:Walk\\A\\file 0.txt"), 7);
    EXPECT_EQ(client->listingsReadAhead(), given);
    EXPECT_EQ(client->answersReadAhead(), answered);
    client->endScan();
}

// The volume's own folder moved away while the reader is ahead of a walk:
// each file of the scan is answered as the reader read it or not found, never
// as another; the next scan, and every call outside one, see the volume where
// it is.
TEST_F(ClientFolderCache, AVolumeMovedAwayDuringAWalkIsSeenByTheNextScan)
{
    for (int i = 0; i < 4; ++i)
        ws.makeFile(sys + "/Team " + std::to_string(i) + "/job.tmp", 10 + i);
    load();
    const auto size = [&](int team) { return sizeOf("SYS:Team " + std::to_string(team) + "\\job.tmp"); };
    const auto team = [](int i) { return "Team " + std::to_string(i); };
    const std::string holder = sys.substr(0, sys.rfind('/'));

    client->beginScan();
    ASSERT_TRUE(walkListing("", "*.tmp"));
    ASSERT_TRUE(walkListing(team(0), "*.tmp"));
    ASSERT_TRUE(readAhead(4));
    EXPECT_EQ(size(0), 10);
    rename(holder, holder + "-moved");
    for (int i : {1, 2}) {
        const long got = size(i);
        EXPECT_TRUE(got == 10 + i || got == -1) << i << ": " << got;
    }
    rename(holder + "-moved", holder);
    EXPECT_TRUE(walkListing(team(3), "*.tmp"));
    EXPECT_EQ(size(3), 13);
    client->endScan();

    rename(holder, holder + "-moved");
    EXPECT_EQ(size(0), -1);
    client->beginScan();
    EXPECT_FALSE(walkListing("", "*.tmp"));
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(walkListing(team(i), "*.tmp")) << i;
        EXPECT_EQ(size(i), -1) << i;
    }
    client->endScan();
    rename(holder + "-moved", holder);
    client->beginScan();
    ASSERT_TRUE(walkListing("", "*.tmp"));
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(walkListing(team(i), "*.tmp")) << i;
        EXPECT_EQ(size(i), 10 + i) << i;
    }
    client->endScan();
}

// The walk's listing names the pattern of its files, and only the files it
// selects are read ahead; the others are still read when asked for.
TEST_F(ClientFolderCache, OnlyTheFilesOfTheWalksPatternAreReadAhead)
{
    for (int i = 0; i < 10; ++i) {
        ws.makeFile(sys + "/Spool/job" + std::to_string(i) + ".tmp", 10 + i);
        ws.makeFile(sys + "/Spool/note" + std::to_string(i) + ".txt", 20 + i);
    }
    load();
    client->beginScan();
    ASSERT_TRUE(walkListing("Spool", "*.tmp"));
    ASSERT_TRUE(readAhead(10));
    const std::uint64_t answered = client->answersReadAhead();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(sizeOf("SYS:Spool\\note" + std::to_string(i) + ".txt"), 20 + i) << i;
    EXPECT_EQ(client->answersReadAhead(), answered);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(sizeOf("SYS:Spool\\job" + std::to_string(i) + ".tmp"), 10 + i) << i;
    // Each from memory, but for a read that meets the reader in the middle of
    // that very file.
    EXPECT_GE(client->answersReadAhead(), answered + 9);
    EXPECT_EQ(client->entriesReadAhead(), 10u);
    client->endScan();
}

// A walk as a scan makes it, folder by folder, each file read twice (its
// information, then its extended information), while files ahead of it
// change, go and come. In the scan each answer is the file's own, as it was
// read or as it is; the file's two reads agree; a file that went is found as
// read or not at all. The next scan answers as the host stands.
TEST_F(ClientFolderCache, AWalkWhileFilesAheadChangeAnswersEachFileWithItsOwnFacts)
{
    struct Facts {
        std::uint64_t size;
        std::uint32_t owner;
    };
    // Volume path below SYS ("Dept 0/Team 1/job3.tmp") -> facts; each file's own.
    std::map<std::string, Facts> before;
    for (int dept = 0; dept < 3; ++dept)
        for (int team = 0; team < 4; ++team)
            for (int job = 0; job < 6; ++job) {
                const std::string name = "Dept " + std::to_string(dept) + "/Team " + std::to_string(team) + "/job" +
                                         std::to_string(job) + ".tmp";
                const std::uint32_t id = static_cast<std::uint32_t>(100 * dept + 10 * team + job);
                ws.makeFile(sys + "/" + name, 1000 + id);
                ws.makeFile(sys + "/" + name.substr(0, name.size() - 3) + "txt", 1);
                before[name] = Facts{1000 + id, 0x1000 + id};
            }
    if (!ws.xattrsSupported())
        GTEST_SKIP() << TempWorkstation::kNoXattrMessage;
    for (const auto& [name, facts] : before)
        ASSERT_TRUE(ws.setOwner(sys + "/" + name, facts.owner));
    load();

    // Once the reader is ahead of the walk, files there and further on change,
    // go and come (whole, with their owner: moved in from elsewhere).
    std::map<std::string, Facts> now = before;
    const auto changeAhead = [&] {
        ASSERT_TRUE(readAhead(18));
        for (const char* name : {"Dept 0/Team 1/job1.tmp", "Dept 2/Team 3/job1.tmp"}) {
            ASSERT_EQ(::truncate((sys + "/" + name).c_str(), 7), 0);
            now[name].size = 7;
        }
        for (const char* name : {"Dept 0/Team 2/job2.tmp", "Dept 2/Team 2/job2.tmp"}) {
            ASSERT_TRUE(ws.setOwner(sys + "/" + name, 0x2002));
            now[name].owner = 0x2002;
        }
        for (const char* name : {"Dept 0/Team 1/job3.tmp", "Dept 1/Team 3/job3.tmp"}) {
            ASSERT_EQ(::unlink((sys + "/" + name).c_str()), 0);
            now.erase(name);
        }
        for (const char* name : {"Dept 0/Team 2/job9.tmp", "Dept 2/Team 1/job9.tmp"}) {
            const std::string made = ws.makeFile("job9.tmp", 9);
            ASSERT_TRUE(ws.setOwner(made, 0x1009));
            rename(made, sys + "/" + name);
            now[name] = Facts{9, 0x1009};
        }
    };
    // The facts a file of the scan may be answered with.
    const auto allowed = [&](const std::string& name, bool changing) {
        std::vector<Facts> facts;
        if (const auto found = now.find(name); found != now.end())
            facts.push_back(found->second);
        if (const auto found = before.find(name); changing && found != before.end())
            facts.push_back(found->second);
        return facts;
    };
    std::set<std::string> seen;
    std::size_t filesGone = 0;
    std::function<void(const std::string&, bool)> walk = [&](const std::string& folder, bool changing) {
        platform::DirListing listing;
        platform::DirEntry entry;
        std::vector<std::string> subfolders;
        listing.open("F:\\" + (folder.empty() ? "" : folder + "\\") + "*.*", platform::kAttrDirectory, "*.tmp");
        while (listing.next(entry)) {
            if ((entry.attributes & platform::kAttrDirectory) != 0) {
                if (entry.name != "." && entry.name != "..")
                    subfolders.push_back(entry.name);
                continue;
            }
            const std::string name = (folder.empty() ? "" : folder + "/") + entry.name;
            const std::vector<Facts> facts = allowed(name, changing);
            ASSERT_FALSE(facts.empty()) << name << " was never there";
            const auto isSize = [&](std::uint64_t size) {
                return std::any_of(facts.begin(), facts.end(), [&](const Facts& f) { return f.size == size; });
            };
            const auto isOwner = [&](std::uint32_t owner) {
                return std::any_of(facts.begin(), facts.end(), [&](const Facts& f) { return f.owner == owner; });
            };
            EXPECT_TRUE(isSize(entry.size)) << name << ": listed with " << entry.size;
            std::string volumePath = "SYS:" + name;
            std::replace(volumePath.begin(), volumePath.end(), '/', '\\');
            FileInfoRecord info{};
            const NWCCODE code = fileInfo(volumePath, info);
            if (code != nw::kSuccess) {
                // Only a file gone since it was listed.
                EXPECT_EQ(code, nw::kErrNoSuchFile) << name;
                EXPECT_EQ(now.count(name), 0u) << name;
                ++filesGone;
                continue;
            }
            EXPECT_TRUE(isSize(info.size)) << name << ": " << info.size;
            EXPECT_TRUE(isOwner(info.ownerId)) << name << ": " << std::hex << info.ownerId;
            ExtendedInfoRecord extended{};
            std::string folderPath = "SYS:" + folder;
            std::replace(folderPath.begin(), folderPath.end(), '/', '\\');
            const NWCCODE extendedCode = extendedInfo(folderPath, entry.name, extended);
            if (extendedCode == nw::kSuccess) {
                EXPECT_EQ(extended.ownerId, info.ownerId) << name;
                EXPECT_EQ(extended.fileSize, info.size) << name;
            } else {
                EXPECT_EQ(now.count(name), 0u) << name << ": " << std::hex << extendedCode;
            }
            EXPECT_TRUE(seen.insert(name).second) << name << " seen twice";
        }
        if (changing && folder == "Dept 0/Team 0")
            changeAhead();
        for (const std::string& subfolder : subfolders)
            walk((folder.empty() ? "" : folder + "/") + subfolder, changing);
    };
    client->beginScan();
    walk("", true);
    client->endScan();
    // Every file there from the start to the end was seen.
    for (const auto& [name, facts] : before) {
        if (now.count(name) != 0) {
            EXPECT_EQ(seen.count(name), 1u) << name;
        }
    }

    seen.clear();
    filesGone = 0;
    client->beginScan();
    walk("", false);
    client->endScan();
    EXPECT_EQ(seen.size(), now.size());
    EXPECT_EQ(filesGone, 0u);
}

// A walk's listing where the reader is not starts it there; inside the walk
// it goes on, past that folder's own tree, with the folders the walk visits
// after it, and not with folders outside the walk.
TEST_F(ClientFolderCache, TheReaderStartedInsideAWalkGoesOnWithTheRestOfIt)
{
    for (const char* folder : {"Walk/B/B1", "Walk/B/B2", "Walk/C", "Zone"})
        for (int job = 0; job < 3; ++job)
            ws.makeFile(sys + "/" + folder + "/job" + std::to_string(job) + ".tmp", 10);
    // More folders at the walk's start than the reader may run ahead: it
    // stops among them, far from B.
    for (int i = 0; i < 300; ++i)
        ws.makeFolder(sys + "/Walk/A/Sub " + std::to_string(i));
    load();
    client->beginScan();
    ASSERT_TRUE(walkListing("Walk", "*.tmp"));
    // The walk goes straight to B1, where the reader has not been.
    ASSERT_TRUE(walkListing("Walk\\B\\B1", "*.tmp"));
    // B1 and, after it, B2 and C: nine files.
    ASSERT_TRUE(readAhead(9));
    const std::uint64_t given = client->listingsReadAhead();
    EXPECT_EQ(dosPath("SYS:WALK\\C\\JOB0.TMP"), "SYS:WALK\\C\\JOB0.TMP");
    EXPECT_EQ(client->listingsReadAhead(), given + 1);
    // A reader gone on past the walk would be in Zone by now.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(dosPath("SYS:ZONE\\JOB0.TMP"), "SYS:ZONE\\JOB0.TMP");
    EXPECT_EQ(client->listingsReadAhead(), given + 1);
    EXPECT_EQ(client->entriesReadAhead(), 9u);
    client->endScan();
}

}  // namespace
