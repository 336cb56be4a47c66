#pragma once

// The read-ahead of the simulated client: while a scan's walk works through
// one folder, a thread of its own lists the folders ahead of it and reads the
// status and the extended attributes of their files (through HostEntry), in
// the order the walk asks for them, so that most listings and file reads are
// answered from memory. The client's State owns one and calls it from the
// walk's thread only; the reader's thread is its own.
//
// It serves scans only, and what it keeps lasts until stop(), which the
// client calls at every scan's start and end: a folder's listing and the
// facts of its files are read once per scan, after the scan began and no
// earlier than the folder's listing, and never trusted beyond the scan.
//
// Who touches what: the members of Caller are the walk's thread's alone;
// those guarded by m_mutex are shared; an entry's record belongs to whoever
// claimed it through the entry's state (see Entry); a folder's path, entries
// and descriptor are fixed before the folder is published under m_mutex.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "netclient/simclient_hostentry.h"
#include "platform/drives.h"
#include "platform/threadsafety.h"

namespace simclient {

class ReadAhead {
public:
    ReadAhead() = default;
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // How much of an entry was read ahead.
    enum class Ahead { Nothing, Status, Whole };
    // The entry name of the host folder folder as read ahead: Whole, or only
    // its status (the caller reads the extended attributes), or Nothing when
    // the caller must read the host itself. A folder not read ahead starts
    // the reader there.
    Ahead take(std::string_view folder, std::string_view name, HostEntry& entry);
    // After take() gave less than the whole entry: the entry the caller then
    // read itself, kept for the entry's next read.
    void giveBack(const HostEntry& entry);
    // After take() left the entry to the caller: the folder's descriptor, for
    // the caller's reads of it by name; -1 when there is none (the caller
    // goes by path).
    int takenFolderFd() const;

    // The status of a file of folder as read ahead, without taking the
    // entry: the file's own read comes later. Folder is looked up once by
    // peekFolder(), which waits a moment for the reader when it is listing
    // the folder or about to. The listing of a walk (walk true) starts the
    // reader there when it is not.
    void peekFolder(std::string_view folder, bool walk);
    bool peekStatus(std::string_view name, std::uint64_t& size, std::uint32_t& mode);
    // The entries of the folder peeked at, when its listing is whole;
    // nullptr otherwise.
    const std::vector<platform::ListedName>* peekListing();
    // The entries of folder as the reader listed them, when the listing is
    // whole; nullptr otherwise. Valid until the next call.
    const std::vector<platform::ListedName>* listingOf(std::string_view folder);

    // Only files whose names match pattern are read ahead from now on (the
    // pattern of the walk's listings); every file when never set.
    void setFilePattern(std::string_view pattern);
    // Stops the reader and forgets everything read ahead.
    void stop();

    // For tests: how many entries were read ahead (by the reader, or by the
    // caller helping it), how many entries were answered from memory, and
    // how many listings were given.
    std::uint64_t entriesRead() const { return m_entriesRead.load(std::memory_order_acquire); }
    std::uint64_t answered() const { return m_caller.answered; }
    std::uint64_t listingsGiven() const { return m_caller.listingsGiven; }

private:
    // An entry's state says who may touch its record: nobody while Free;
    // the reader while Stating (reading the status) and Reading (the
    // extended attributes); anyone to read it once Stated or Read; the caller
    // alone once Taken, until giveBack() makes it Read.
    enum State : std::uint8_t { Free, Stating, Stated, Reading, Read, Taken };
    struct Entry {
        std::string name;
        std::atomic<std::uint8_t> state{Free};
        HostEntry record;
    };
    struct Folder {
        // Fixed before the folder is published.
        std::string path;
        std::uint64_t generation = 0;
        std::unique_ptr<Entry[]> entries;  // in the walk's order
        std::size_t count = 0;
        // Every entry of the folder as listed, when the listing was whole and
        // gave every type.
        std::vector<platform::ListedName> listed;
        bool listedWhole = false;
        int fd = -1;  // the folder, open when it has files
        // The reader's own: the first entry whose extended attributes it may
        // still read.
        std::size_t filled = 0;
        // The caller's own: where its last lookup of an entry found it.
        std::size_t lastFound = 0;
        std::atomic<bool> passed{false};     // the caller has gone on to another folder
        std::atomic<std::size_t> skipTo{0};  // the caller has passed the entries before it
        std::atomic<bool> stated{false};     // the status of every entry is read (or given up)
        ~Folder();
    };
    using FolderPtr = std::shared_ptr<Folder>;

    void ensureRunning() TRAWL_EXCLUDES(m_mutex);
    void startAt(std::string_view folder, bool walk) TRAWL_REQUIRES(m_mutex);
    bool mayList() const TRAWL_REQUIRES(m_mutex);
    bool readerCalled() const TRAWL_REQUIRES(m_mutex);
    void wakeReader() TRAWL_REQUIRES(m_mutex);
    FolderPtr findFolder(std::string_view folder) const TRAWL_REQUIRES(m_mutex);
    bool onTheReadersWay(std::string_view folder) const TRAWL_REQUIRES(m_mutex);
    void dropBefore(std::size_t position) TRAWL_REQUIRES(m_mutex);
    FolderPtr nextToFill() const TRAWL_REQUIRES(m_mutex);
    template <typename Ready>
    bool waitFor(Ready ready) TRAWL_REQUIRES(m_mutex);
    static Entry* findEntry(Folder& folder, std::string_view name);
    void statEntries(Folder& folder, std::uint64_t generation);

    // The reader's thread.
    void run() TRAWL_EXCLUDES(m_mutex);
    void readFolder(const std::string& path, std::uint64_t generation) TRAWL_EXCLUDES(m_mutex);
    void planBeyond(const std::string& start, const std::string& walkRoot, std::uint64_t generation)
        TRAWL_EXCLUDES(m_mutex);
    void fill(Folder& folder, std::uint64_t generation);
    bool stale(std::uint64_t generation) const { return generation != m_generation.load(std::memory_order_acquire); }

    std::thread m_thread;
    mutable platform::Mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping TRAWL_GUARDED_BY(m_mutex) = false;
    std::string m_start TRAWL_GUARDED_BY(m_mutex);              // where the reader is to start again
    std::string m_walkRoot TRAWL_GUARDED_BY(m_mutex);           // where the walk it serves began
    std::vector<std::string> m_plan TRAWL_GUARDED_BY(m_mutex);  // folders still to read, the next at the back
    std::string m_listing TRAWL_GUARDED_BY(m_mutex);            // the folder being listed
    std::string m_filePattern TRAWL_GUARDED_BY(m_mutex);
    std::deque<FolderPtr> m_folders TRAWL_GUARDED_BY(m_mutex);  // in the walk's order
    std::vector<FolderPtr>
        m_garbage TRAWL_GUARDED_BY(m_mutex);  // passed: freed by the reader, or by a waiting caller
    std::size_t m_entriesAhead TRAWL_GUARDED_BY(m_mutex) = 0;
    bool m_readerAsleep TRAWL_GUARDED_BY(m_mutex) = false;
    bool m_full TRAWL_GUARDED_BY(m_mutex) = false;                   // the reader was as far ahead as it may be
    std::uint64_t m_readerGeneration TRAWL_GUARDED_BY(m_mutex) = 0;  // the start the reader works from
    std::atomic<std::uint64_t> m_generation{0};                      // raised at every new start
    std::atomic<std::uint64_t> m_entriesRead{0};
    std::atomic<std::uint64_t> m_progress{0};  // raised at every folder listed and every folder stated

    // The walk's thread's own.
    struct Caller {
        std::uint64_t answered = 0;
        std::uint64_t listingsGiven = 0;
        FolderPtr peeked;                      // the folder of the last peekFolder()
        FolderPtr current;                     // the folder of the last answer
        FolderPtr takenFolder;                 // the folder of the entry take() left to the caller
        Entry* taken = nullptr;                // that entry
        FolderPtr given;                       // the folder of the last listingOf()
        std::string pattern;                   // the caller's copy of m_filePattern
        std::uint64_t stalledAt = UINT64_MAX;  // m_progress when a wait was in vain
    };
    Caller m_caller;
};

}  // namespace simclient
