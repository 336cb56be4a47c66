#pragma once

// The simulated client's second reader: while the walk works through one
// folder, a thread of its own lists the folders ahead of it and reads the
// status and the NetWare extended attributes of their files, in the order the
// walk asks for them, so that most listings and file reads are answered from
// memory.
//
// What it answers is what the host would answer at the time of the call: each
// folder read ahead is watched for changes from before its first read, the
// caller reads the watches at every call, and a folder that reported any
// change of an entry is read from the host again, whatever was read ahead.

#include <sys/stat.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/drives.h"

namespace simclient {

// What the host says of one entry: its status and the extended attributes that
// carry its NetWare owner, attributes and creation date.
struct HostRecord {
    int statusError = 0;        // errno of the status call, 0 when it worked
    bool xattrsRefused = false;  // the host refused to show an extended attribute
    struct statx status {};
    std::optional<std::int32_t> owner;
    std::optional<std::int32_t> attributes;
    std::optional<std::uint16_t> createdOverride;
};

// The extended attributes of a host entry, never following a link. False when
// the host refuses to show one of them. With a folder descriptor the name is
// taken relative to it (where the system can), else path is used.
bool readNetWareXattrs(int folderFd, const char* name, const std::string& path, HostRecord& record);

class Lookahead {
public:
    Lookahead();
    ~Lookahead();
    Lookahead(const Lookahead&) = delete;
    Lookahead& operator=(const Lookahead&) = delete;

    // Reads what the change watches reported: the caller's part, before take().
    void noticeChanges();
    // The descriptor of the change watches, -1 while there is none: what it
    // has to read is what noticeChanges() would read.
    int notifyDescriptor() const { return m_notifyFd; }
    // How much of an entry's record was read ahead.
    enum class Ahead { Nothing, Status, Whole };
    // The record of the entry name of the host folder folder, read ahead and
    // unchanged as of the last noticeChanges(): Whole, or only its status
    // (the caller reads the extended attributes), or Nothing when the caller
    // must read the host itself. A folder not read ahead starts the reader there.
    Ahead take(std::string_view folder, std::string_view name, HostRecord& record);
    // After take() gave less than the whole record: the record the caller
    // then read itself, kept for the entry's next read while nothing changes.
    void giveBack(const HostRecord& record);
    // After take() left the entry to the caller: the folder's descriptor,
    // for the caller's reads of it by name, while the folder is unchanged as
    // of the last noticeChanges(); -1 otherwise (the caller goes by path).
    int takenFolderFd() const;
    // The status of a file of folder as read ahead and unchanged as of the
    // last noticeChanges(), without taking the entry: the file's own read
    // comes later. Folder is looked up once by peekFolder(), which waits a
    // moment for the reader when it is listing the folder or about to. The
    // listing of a walk (walk true) starts the reader there when it is not.
    void peekFolder(std::string_view folder, bool walk);
    bool peekStatus(std::string_view name, struct statx& status);
    // The entries of the folder peeked at, when its listing is whole and
    // nothing changed in it since; nullptr otherwise.
    const std::vector<platform::ListedName>* peekListing() const;
    // The entries of folder as the reader listed them, whole and with nothing
    // changed in it as of the last noticeChanges(); nullptr otherwise. Valid
    // until the next call.
    const std::vector<platform::ListedName>* listingOf(std::string_view folder);
    // A folder as the reader listed it, with the watch it set before the
    // listing lent to the caller, and the folder's identity and time as of
    // the listing.
    struct LentFolder {
        const std::vector<platform::ListedName>* listed = nullptr;  // valid until the next call
        int watch = -1;
        dev_t device = 0;
        ino_t inode = 0;
        timespec modified{};
    };
    // Like listingOf(), and the folder's watch is the caller's too until it
    // gives it back (returnWatch), or until the lending generation changes
    // (the descriptor was closed, with every watch on it). False when the
    // folder was not listed whole, changed, or is lent already.
    bool lendFolder(std::string_view folder, LentFolder& lent);
    void returnWatch(int watch);
    std::uint64_t lendingGeneration() const { return m_lendingGeneration; }
    bool anyLent() const { return !m_lent.empty(); }
    // What the lent watches reported since the last call, as read by
    // noticeChanges(): an entry of the folder created, removed, renamed or
    // changed in its status, or the folder itself (gone: it was removed, and
    // its watch with it; the watch is no longer lent). True when changes may
    // have been missed: every lent folder may have changed.
    struct LentChange {
        int watch = -1;
        bool gone = false;
    };
    bool takeLentChanges(std::vector<LentChange>& changes);

    // Only files whose names match pattern are read ahead from now on (the
    // pattern of the walk's listings); every file when never set.
    void setFilePattern(std::string_view pattern);
    // Stops the reader and forgets everything read ahead.
    void stop();

    // For tests: how many entries were read ahead (by the reader, or by the
    // caller helping it), and how many records were answered from memory.
    std::uint64_t entriesRead() const { return m_entriesRead.load(std::memory_order_acquire); }
    std::uint64_t answered() const { return m_answered; }
    std::uint64_t listingsGiven() const { return m_listingsGiven; }

private:
    // Stating: the reader reads the status; Stated: the status is read, the
    // extended attributes not yet; Reading: the reader reads them.
    enum State : std::uint8_t { Free, Stating, Stated, Reading, Read, Taken };
    struct Entry {
        std::string name;
        std::atomic<std::uint8_t> state{Free};
        HostRecord record;
    };
    struct Folder {
        std::string path;
        std::uint64_t generation = 0;
        int watch = -1;
        std::atomic<bool> changed{false};
        std::atomic<bool> passed{false};     // the caller has gone on to another folder
        std::atomic<std::size_t> skipTo{0};  // the caller has passed the entries before it
        std::unique_ptr<Entry[]> entries;    // in the walk's order
        std::size_t count = 0;
        // Every entry of the folder as listed, when the listing was whole and
        // gave every type.
        std::vector<platform::ListedName> listed;
        bool listedWhole = false;
        // The folder, open from its listing on when it has files (set before
        // the folder is known to the caller, then fixed); and the reader's
        // own: the first entry whose extended attributes it may still read.
        int fd = -1;
        std::size_t filled = 0;
        // The folder's status, taken from its descriptor before its entries
        // were read (set before the folder is known to the caller), or at its
        // lending under m_mutex when folders were not lent yet.
        bool identified = false;
        dev_t device = 0;
        ino_t inode = 0;
        timespec modified{};
        bool lent = false;  // its watch is the caller's to let go; guarded by m_mutex
        bool identify(int descriptor);
        // The status of every entry is read (or the reader gave up on them).
        std::atomic<bool> stated{false};
        ~Folder();
    };

    bool ensureRunning();
    void startAt(std::string_view folder, bool walk);
    void planBeyond(const std::string& start, const std::string& walkRoot, std::uint64_t generation);
    bool mayList() const;
    bool readerCalled() const;
    void wakeReader();
    void run();
    static Entry* findEntry(Folder& folder, std::string_view name);
    void readFolder(const std::string& path, std::uint64_t generation, std::uint64_t changesBefore);
    bool changedSince(std::uint64_t changesBefore, int watch) const;
    std::shared_ptr<Folder> nextToFill() const;
    void fill(Folder& folder, std::uint64_t generation);
    template <typename Ready>
    bool waitFor(std::unique_lock<std::mutex>& lock, Ready ready);
    void dropBefore(std::size_t position);
    void keepWatchesAbove(std::string_view path);
    int addWatch(const std::string& path, std::uint32_t events);

    void renew();
    void releaseWatch(int watch);
    void releaseWatchLocked(int watch);
    void releaseWatches();
    void noticeLentChange(int watch, bool gone);
    void watchAbove(const std::string& start, const std::string& walkRoot);
    bool stale(std::uint64_t generation) const { return generation != m_generation.load(std::memory_order_acquire); }

    int m_notifyFd = -1;
    bool m_unavailable = false;  // the system gives no change watches: every read goes to the host
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::string m_start;                         // where the reader is to start again
    std::string m_walkRoot;                      // where the walk it serves began; guarded by m_mutex
    std::vector<std::string> m_plan;             // folders still to read, the next at the back; guarded by m_mutex
    std::string m_listing;                       // the folder being listed, guarded by m_mutex
    bool m_listingChanged = false;               // a change reported while it was listed, guarded by m_mutex
    // The watches of the last changes the caller read, and how many it read
    // in all; guarded by m_mutex.
    std::array<int, 256> m_recentWatches{};
    std::uint64_t m_changesSeen = 0;
    std::string m_filePattern;                   // guarded by m_mutex
    std::atomic<std::uint64_t> m_generation{0};  // raised at every new start
    std::deque<std::shared_ptr<Folder>> m_folders;  // in the walk's order, guarded by m_mutex
    std::mutex m_watchMutex;
    std::unordered_map<int, int> m_watchUsers;      // watch -> folders using it; guarded by m_watchMutex
    std::atomic<std::size_t> m_watchesLetGo{0};      // watches nobody uses, still set
    // The folders above the start, each with the name of the next one down.
    struct Watched {
        std::string path;
        std::string next;
        int watch = -1;
        bool outside = false;  // above where the walk began
    };
    std::vector<Watched> m_above;                   // guarded by m_mutex
    std::vector<std::shared_ptr<Folder>> m_holding;  // passed, but above the next folder; guarded by m_mutex
    std::vector<int> m_unwatch;                     // watches let go by the caller, guarded by m_mutex
    std::vector<std::shared_ptr<Folder>> m_garbage;  // let go by the caller, freed by the reader (or by the caller while it waits); guarded by m_mutex
    // m_above is changed by the reader only (under m_mutex, as the caller
    // reads it).
    std::size_t m_entriesAhead = 0;                 // guarded by m_mutex
    std::uint64_t m_answered = 0;                   // the caller's own
    mutable std::uint64_t m_listingsGiven = 0;      // the caller's own
    std::shared_ptr<Folder> m_peeked;               // the caller's own
    std::string m_callerPattern;                    // the caller's copy of m_filePattern
    std::atomic<std::uint64_t> m_entriesRead{0};
    // Folders are lent (and so identified by their status as they are
    // listed) once the caller has asked for one.
    std::atomic<bool> m_lending{false};
    bool m_readerAsleep = false;                 // guarded by m_mutex
    bool m_full = false;                         // the reader was as far ahead as it may be; guarded by m_mutex
    std::uint64_t m_readerGeneration = 0;        // the start the reader works from; guarded by m_mutex
    std::shared_ptr<Folder> m_current;           // the caller's own: the folder of its last answer
    std::shared_ptr<Folder> m_takenFolder;       // the caller's own: the entry take() left it to read
    Entry* m_taken = nullptr;
    std::shared_ptr<Folder> m_given;             // the caller's own: the folder of the last listingOf()
    // The caller's own: the lent watches (watch -> folders lent with it),
    // what they reported since the caller last took it, and the lending
    // generation, raised whenever the descriptor is closed.
    std::unordered_map<int, int> m_lent;
    std::vector<LentChange> m_lentChanges;
    bool m_lentLost = false;
    std::uint64_t m_lendingGeneration = 1;
    std::atomic<std::uint64_t> m_progress{0};  // raised at every folder listed and every folder stated
    std::uint64_t m_stalledAt = UINT64_MAX;      // the caller's own: m_progress when a wait was in vain
};

} // namespace simclient
