// The read-ahead of the simulated client on its own, driven as the client
// drives it in a scan: the walk's listings peek at folders, the file reads
// take their entries, and stop() ends the scan. What it read is answered as
// it was read until stop(), whatever changed on the host since; after stop()
// nothing of it is.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "netclient/simclient_readahead.h"
#include "support/core_tempworkstation.h"

namespace {

using simclient::HostEntry;
using simclient::ReadAhead;
using Ahead = ReadAhead::Ahead;
using Clock = std::chrono::steady_clock;

bool lists(const std::vector<platform::ListedName>* listing, std::string_view name)
{
    return listing != nullptr && std::any_of(listing->begin(), listing->end(),
                                             [&](const platform::ListedName& entry) { return entry.name == name; });
}

class ClientReadAhead : public testing::Test {
protected:
    void SetUp() override { root = ws.makeFolder("walk"); }

    // A tree longer than the reader may run ahead of a walk: after f.txt in
    // the first of 300 folders it stops among them, long before Z and Zz.
    void makeLongWalk()
    {
        ws.makeFile(root + "/F000/f.txt", 7);
        for (int i = 1; i < 300; ++i)
            ws.makeFolder(root + "/F" + std::to_string(1000 + i).substr(1));
        ws.makeFile(root + "/Z/z.txt", 9);
        ws.makeFile(root + "/Zz/after.txt", 5);
    }

    // Waits, 5 s at most, until the reader has read count entries in all.
    bool entriesRead(std::uint64_t count) const
    {
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
        while (reader.entriesRead() < count && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return reader.entriesRead() >= count;
    }

    // The entry as read ahead. A take that meets the reader in the middle of
    // that very entry gives Nothing and claims nothing: it is asked again.
    Ahead takeRead(const std::string& folder, const std::string& name, HostEntry& entry)
    {
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(1);
        Ahead got = reader.take(folder, name, entry);
        while (got == Ahead::Nothing && Clock::now() < deadline) {
            std::this_thread::yield();
            got = reader.take(folder, name, entry);
        }
        return got;
    }

    // The start of a walk of the tree, as its first listing makes it.
    void startWalk()
    {
        reader.setFilePattern("*.txt");
        reader.peekFolder(root, true);
    }

    // The size of the entry as read ahead; -1 for none.
    long takenSize(const std::string& folder, const std::string& name)
    {
        HostEntry entry;
        return takeRead(folder, name, entry) != Ahead::Nothing && entry.statusRead() ? static_cast<long>(entry.size())
                                                                                     : -1;
    }

    // The size peekStatus() gives of a file of the folder peeked at; -1 for none.
    long peekedSize(const char* name)
    {
        std::uint64_t size = 0;
        std::uint32_t mode = 0;
        return reader.peekStatus(name, size, mode) && S_ISREG(mode) ? static_cast<long>(size) : -1;
    }

    TempWorkstation ws;
    std::string root;
    ReadAhead reader;  // stopped before the tree goes
};

// Peeked at by the walk's first listing, the reader lists the folders of the
// walk ahead of it, with the status of their files of the walk's pattern:
// each later listing and file read is answered from memory. A file of
// another pattern is listed but left to the caller, to read by path.
TEST_F(ClientReadAhead, TheFoldersOfAWalkAreReadAheadOfIt)
{
    struct File {
        std::string folder;
        const char* name;
        long size;
        bool ahead;
    };
    const std::vector<File> files = {{"", "r.txt", 1, true},    {"A", "a1.txt", 11, true},
                                     {"A", "a2.txt", 12, true}, {"A", "skip.dat", 99, false},
                                     {"B", "b.txt", 21, true},  {"B/B1", "b1.txt", 31, true},
                                     {"C", "c.txt", 41, true}};
    for (const File& file : files)
        ws.makeFile(root + (file.folder.empty() ? "" : "/" + file.folder) + "/" + file.name, file.size);
    ws.makeFile("outside/o.txt", 5);
    startWalk();
    ASSERT_TRUE(entriesRead(6));
    // The walk's last folder is listed whole before the walk gets there; a
    // folder outside the walk not at all.
    const auto* last = reader.listingOf(root + "/C");
    EXPECT_TRUE(lists(last, "c.txt"));
    EXPECT_TRUE(lists(last, ".."));
    EXPECT_EQ(reader.listingOf(ws.root() + "/outside"), nullptr);

    for (const std::string folder : {"", "A", "B", "B/B1", "C"}) {
        SCOPED_TRACE(folder);
        const std::string path = folder.empty() ? root : root + "/" + folder;
        reader.peekFolder(path, true);
        const auto* listing = reader.peekListing();
        ASSERT_NE(listing, nullptr);
        for (const File& file : files) {
            if (file.folder != folder)
                continue;
            SCOPED_TRACE(file.name);
            EXPECT_TRUE(lists(listing, file.name));
            EXPECT_EQ(peekedSize(file.name), file.ahead ? file.size : -1);
            HostEntry entry;
            const Ahead got = file.ahead ? takeRead(path, file.name, entry) : reader.take(path, file.name, entry);
            EXPECT_EQ(got != Ahead::Nothing, file.ahead);
            EXPECT_EQ(got == Ahead::Nothing ? -1 : static_cast<long>(entry.size()), file.ahead ? file.size : -1);
            // The status alone read: the caller reads the rest through the
            // folder the reader opened.
            EXPECT_EQ(reader.takenFolderFd() >= 0, got == Ahead::Status);
        }
    }
    EXPECT_EQ(reader.answered(), 6u);
    EXPECT_EQ(reader.listingsGiven(), 6u);  // C's twice
    EXPECT_EQ(reader.entriesRead(), 6u);
}

// Until stop() (the end of the scan) a folder and its files are answered as
// the reader read them, whatever changed on the host since: that is the rule,
// each is read once per scan. After stop() the next walk reads them again.
TEST_F(ClientReadAhead, WhatChangedAfterItWasReadIsSeenAfterStop)
{
    ws.makeFile(root + "/A/a1.txt", 11);
    ws.makeFile(root + "/A/a2.txt", 12);
    ws.makeFile(root + "/B/b.txt", 21);
    const std::string a = root + "/A";
    startWalk();
    ASSERT_TRUE(entriesRead(3));
    ASSERT_EQ(::truncate((a + "/a1.txt").c_str(), 99), 0);
    ASSERT_EQ(::unlink((a + "/a2.txt").c_str()), 0);
    ws.makeFile(a + "/a3.txt", 13);
    EXPECT_TRUE(lists(reader.listingOf(a), "a2.txt"));
    EXPECT_FALSE(lists(reader.listingOf(a), "a3.txt"));
    EXPECT_EQ(takenSize(a, "a1.txt"), 11);
    EXPECT_EQ(takenSize(a, "a2.txt"), 12);
    HostEntry entry;
    EXPECT_EQ(reader.take(a, "a3.txt", entry), Ahead::Nothing);

    reader.stop();
    const std::uint64_t before = reader.entriesRead();
    startWalk();
    ASSERT_TRUE(entriesRead(before + 3));  // a1, a3 and b
    EXPECT_FALSE(lists(reader.listingOf(a), "a2.txt"));
    EXPECT_TRUE(lists(reader.listingOf(a), "a3.txt"));
    EXPECT_EQ(takenSize(a, "a1.txt"), 99);
    EXPECT_EQ(reader.take(a, "a2.txt", entry), Ahead::Nothing);
    EXPECT_EQ(takenSize(a, "a3.txt"), 13);
}

// stop() in the middle of a walk, the reader waiting as far ahead as it may
// run or busy listing: it joins at once, and nothing read before is answered
// after. The next walk reads afresh.
TEST_F(ClientReadAhead, StopInTheMiddleOfAWalkForgetsItAndTheNextWalkWorks)
{
    makeLongWalk();
    const std::string first = root + "/F000";
    startWalk();
    ASSERT_TRUE(entriesRead(1));
    EXPECT_TRUE(lists(reader.listingOf(first), "f.txt"));
    EXPECT_EQ(reader.listingOf(root + "/Z"), nullptr);
    for (const bool busy : {false, true}) {
        SCOPED_TRACE(busy ? "busy listing" : "waiting ahead");
        if (busy)
            startWalk();
        const Clock::time_point start = Clock::now();
        reader.stop();
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(reader.listingOf(first), nullptr);
        reader.peekFolder(first, false);
        EXPECT_EQ(reader.peekListing(), nullptr);
        EXPECT_EQ(peekedSize("f.txt"), -1);
    }
    HostEntry entry;
    EXPECT_EQ(reader.take(first, "f.txt", entry), Ahead::Nothing);
    reader.stop();

    const std::uint64_t before = reader.entriesRead();
    startWalk();
    ASSERT_TRUE(entriesRead(before + 1));
    EXPECT_EQ(takenSize(first, "f.txt"), 7);
}

// A walk ahead of its reader, at Z, which is there or has gone since the walk
// began. A file there is the caller's to read, by path, and nothing of it is
// kept, the reader staying on its way; the walk's listing of Z moves the
// reader there: an entry the caller completes and gives back is whole at its
// next take, and a folder gone is no listing, no status and no entry. Either
// way the reader goes on with the walk past Z.
TEST_F(ClientReadAhead, AWalkAheadOfTheReaderMovesItEvenToAFolderGone)
{
    makeLongWalk();
    const std::string z = root + "/Z";
    for (const bool gone : {false, true}) {
        SCOPED_TRACE(gone ? "Z gone" : "Z there");
        reader.stop();
        const std::uint64_t before = reader.entriesRead();
        startWalk();
        ASSERT_TRUE(entriesRead(before + 1));
        if (gone)
            std::filesystem::remove_all(z);
        HostEntry entry;
        EXPECT_EQ(reader.take(z, "z.txt", entry), Ahead::Nothing);
        EXPECT_EQ(reader.takenFolderFd(), -1);
        EXPECT_EQ(entry.readStatus(-1, (z + "/z.txt").c_str()), !gone);
        reader.giveBack(entry);
        EXPECT_EQ(reader.listingOf(z), nullptr);
        EXPECT_EQ(reader.take(z, "z.txt", entry), Ahead::Nothing);

        reader.peekFolder(z, true);
        if (gone) {
            EXPECT_EQ(reader.peekListing(), nullptr);
            EXPECT_EQ(peekedSize("z.txt"), -1);
            EXPECT_EQ(reader.listingOf(z), nullptr);
            EXPECT_EQ(reader.take(z, "z.txt", entry), Ahead::Nothing);
        } else {
            ASSERT_TRUE(entriesRead(before + 2));
            const Ahead got = takeRead(z, "z.txt", entry);
            ASSERT_NE(got, Ahead::Nothing);
            EXPECT_EQ(entry.size(), 9u);
            if (got == Ahead::Status) {
                entry.readAttributes(reader.takenFolderFd(), "z.txt", z + "/z.txt");
                reader.giveBack(entry);
            }
            EXPECT_EQ(reader.take(z, "z.txt", entry), Ahead::Whole);
        }
        const std::uint64_t beyond = before + (gone ? 2 : 3);
        ASSERT_TRUE(entriesRead(beyond));
        EXPECT_TRUE(lists(reader.listingOf(root + "/Zz"), "after.txt"));
        EXPECT_EQ(reader.entriesRead(), beyond);
    }
}

}  // namespace
