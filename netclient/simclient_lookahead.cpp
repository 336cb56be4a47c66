// The second reader of the simulated client: see simclient_lookahead.h.
//
// The reader walks the tree depth first from the folder where the walk's
// listing found it missing, files before subfolders and both in the order of
// the walk's listing, so the records it leaves are those the walk asks for
// next. Its first work is the folders: it lists a few ahead of the walk, with
// the status of their files, which the walk's listing wants; the extended
// attributes of those files come after, as far as it is ahead. The walk never
// lists a folder the reader is listing or lists next: it waits a moment
// (removing watches let go meanwhile), and reads the status of the files the
// reader has not reached. The reader stays a bounded number of entries and
// folders ahead and, once there, waits until the walk has taken half.
//
// Each entry is read by one side only: the reader claims the next free entry,
// the caller claims the entry it asks for when nobody has (with its status,
// when that was read) and gives back what it read itself, for the entry's
// next read; an entry being read is waited for a moment. Changes are seen through change watches set before a folder
// is listed: a change in a folder, or to a folder anywhere on the way to it,
// marks what was read there as changed, and the caller reads such entries
// from the host itself.

#include "netclient/simclient_lookahead.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>

#include "netclient/changeevents.h"
#include "netclient/dosdate.h"
#include "netclient/netnames.h"
#include "platform/asciicase.h"
#include "platform/drives.h"
#include "platform/folderreader.h"
#include "platform/profile.h"

using namespace simclient;

namespace {

// How far the reader may run ahead of the caller.
constexpr std::size_t kMaxEntriesAhead = 8192;
constexpr std::size_t kMaxFoldersAhead = 256;
// The reader lists this many folders ahead of the caller before it reads
// extended attributes, which the caller may not ask for: a caller that finds
// its next folder listed never lists it itself.
constexpr std::size_t kListAhead = 4;
// Extended attributes read between two looks at what the caller needs.
constexpr std::size_t kFillBatch = 8;
// Watches and folders let go are released in batches: the reader is not
// woken for each.
constexpr std::size_t kReleaseBatch = 64;
// Watches let go before the caller renews the descriptor: far below the
// system's usual limit of watches per user.
constexpr std::size_t kMaxWatchesLetGo = 2048;
// How long the caller waits for a folder the reader is listing: first
// spinning (or doing some of the reader's work), then in short sleeps; past
// that it lists the folder itself. The caller serves the window, so the wait
// stays far below a frame.
constexpr auto kSpinWait = std::chrono::microseconds(1000);
constexpr auto kLongestWait = std::chrono::milliseconds(3);

// Whether the process has a single processor: there the caller does not wait
// for the reader at all, which could only run while the caller does not.
bool aloneOnOneProcessor()
{
    static const bool alone = [] {
        cpu_set_t processors;
        CPU_ZERO(&processors);
        return ::sched_getaffinity(0, sizeof processors, &processors) == 0 && CPU_COUNT(&processors) <= 1;
    }();
    return alone;
}

// An entry created, removed, renamed, written, read or changed in its status
// or extended attributes, and the folder itself removed or moved. Every watch
// has the same events: the system keeps one watch per folder, and a second
// request for it would replace the events of the first.
constexpr std::uint32_t kWatchEvents = IN_ATTRIB | IN_MODIFY | IN_ACCESS | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE |
                                       IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                       IN_DONT_FOLLOW;

// The folders above where a walk began are never read ahead: only their own
// removal or move, and that of the next folder down, matter. Without the
// events of the entries themselves, setting such a watch costs nothing in a
// crowded folder (the root, the temporary folder). Added to whatever the
// folder is watched for already, never in place of it.
constexpr std::uint32_t kWatchAboveEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW | IN_MASK_ADD;

// What a folder lent to the caller reports to it: an entry created, removed,
// renamed or changed in its status, the folder itself removed or moved, and
// its watch gone. Reads and writes of its files change nothing it keeps.
constexpr std::uint32_t kLentEvents = IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                      IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED;

constexpr std::string_view kOwnerAttribute = "user.nw.owner";
constexpr std::string_view kAttributesAttribute = "user.nw.attributes";
constexpr std::string_view kCreatedAttribute = "user.nw.created";

// The walk's listing order.
bool walkOrder(std::string_view a, std::string_view b) { return ascii::compareListingOrder(a, b) < 0; }

std::string_view trimValue(std::string_view text)
{
    while (!text.empty() && (text.back() == '\0' || text.back() == '\n' || text.back() == '\r' ||
                             text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The extended-attribute calls relative to a folder descriptor, where the
// system has them (Linux 6.13 on); ENOSYS sends every later call by path.
struct XattrArgs {
    std::uint64_t value;
    std::uint32_t size;
    std::uint32_t flags;
};
#if defined(__linux__) && (defined(__x86_64__) || defined(__aarch64__))
constexpr long kGetXattrAt = 464;
constexpr long kListXattrAt = 465;
std::atomic<bool> g_xattrAtMissing{false};
#endif

ssize_t listXattrs(int folderFd, const char* name, const std::string& path, char* list, std::size_t size)
{
#if defined(__linux__) && (defined(__x86_64__) || defined(__aarch64__))
    if (folderFd >= 0 && !g_xattrAtMissing.load(std::memory_order_relaxed)) {
        const long length = ::syscall(kListXattrAt, folderFd, name, AT_SYMLINK_NOFOLLOW, list, size);
        if (length >= 0 || errno != ENOSYS)
            return static_cast<ssize_t>(length);
        g_xattrAtMissing = true;
    }
#else
    (void)folderFd;
    (void)name;
#endif
    return ::llistxattr(path.c_str(), list, size);
}

ssize_t getXattr(int folderFd, const char* name, const std::string& path, const char* attribute, char* value,
                 std::size_t size)
{
#if defined(__linux__) && (defined(__x86_64__) || defined(__aarch64__))
    if (folderFd >= 0 && !g_xattrAtMissing.load(std::memory_order_relaxed)) {
        XattrArgs args{reinterpret_cast<std::uintptr_t>(value), static_cast<std::uint32_t>(size), 0};
        const long length = ::syscall(kGetXattrAt, folderFd, name, AT_SYMLINK_NOFOLLOW, attribute, &args, sizeof args);
        if (length >= 0 || errno != ENOSYS)
            return static_cast<ssize_t>(length);
        g_xattrAtMissing = true;
    }
#else
    (void)folderFd;
    (void)name;
#endif
    return ::lgetxattr(path.c_str(), attribute, value, size);
}

// The status of an entry, never following a link; false (the error kept in
// the record) when the host refuses it.
bool readStatus(int folderFd, const char* name, HostRecord& record)
{
    if (::statx(folderFd, name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &record.status) == 0)
        return true;
    record.statusError = errno;
    return false;
}

} // namespace

bool simclient::readNetWareXattrs(int folderFd, const char* name, const std::string& path, HostRecord& record)
{
    // One listing of the extended attributes; only those present are read.
    char names[512];
    std::vector<char> largeNames;
    ssize_t namesLength = listXattrs(folderFd, name, path, names, sizeof names);
    const char* list = names;
    if (namesLength < 0 && errno == ERANGE) {
        const ssize_t needed = listXattrs(folderFd, name, path, nullptr, 0);
        if (needed > 0) {
            largeNames.resize(static_cast<std::size_t>(needed));
            namesLength = listXattrs(folderFd, name, path, largeNames.data(), largeNames.size());
            list = largeNames.data();
        }
    }
    if (namesLength < 0 && errno == EACCES)
        return false;
    for (ssize_t offset = 0; namesLength > 0 && offset < namesLength;) {
        const char* attributeName = list + offset;
        const std::string_view attribute(attributeName,
                                         ::strnlen(attributeName, static_cast<std::size_t>(namesLength - offset)));
        offset += static_cast<ssize_t>(attribute.size()) + 1;
        const bool isOwner = attribute == kOwnerAttribute;
        const bool isAttributes = attribute == kAttributesAttribute;
        const bool isCreated = attribute == kCreatedAttribute;
        if (!isOwner && !isAttributes && !isCreated)
            continue;
        char value[64];
        const ssize_t valueLength = getXattr(folderFd, name, path, attributeName, value, sizeof value);
        if (valueLength < 0) {
            if (errno == EACCES)
                return false;
            continue;
        }
        const std::string_view text = trimValue(std::string_view(value, static_cast<std::size_t>(valueLength)));
        if (isOwner)
            record.owner = profile::parseInteger(text);
        else if (isAttributes)
            record.attributes = profile::parseInteger(text);
        else
            record.createdOverride = dosdate::parseIsoDate(text);
    }
    return true;
}

Lookahead::Lookahead() = default;

Lookahead::~Lookahead() { stop(); }

void Lookahead::stop()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    m_stopping = false;
    m_readerAsleep = false;
    m_stalledAt = UINT64_MAX;
    m_full = false;
    m_readerGeneration = 0;
    m_current.reset();
    m_taken = nullptr;
    m_takenFolder.reset();
    m_given.reset();
    m_peeked.reset();
    m_callerPattern.clear();
    m_filePattern.clear();
    m_folders.clear();
    m_watchUsers.clear();
    m_above.clear();
    m_holding.clear();
    m_garbage.clear();
    m_unwatch.clear();
    m_plan.clear();
    m_listing.clear();
    m_listingChanged = false;
    m_changesSeen = 0;
    m_entriesAhead = 0;
    m_start.clear();
    m_walkRoot.clear();
    if (m_notifyFd >= 0)
        ::close(m_notifyFd);
    m_notifyFd = -1;
    m_watchesLetGo = 0;
    // Every watch lent went with the descriptor.
    m_lent.clear();
    m_lentChanges.clear();
    m_lentLost = false;
    ++m_lendingGeneration;
}

// Stops the reader and closes the descriptor with every watch on it; the
// walk the reader served, and its pattern, stay: the next listing of the walk
// starts it again there.
void Lookahead::renew()
{
    std::string walkRoot;
    std::string filePattern;
    {
        std::lock_guard lock(m_mutex);
        walkRoot = m_walkRoot;
        filePattern = m_filePattern;
    }
    const std::string callerPattern = m_callerPattern;
    stop();
    std::lock_guard lock(m_mutex);
    m_walkRoot = std::move(walkRoot);
    m_filePattern = std::move(filePattern);
    m_callerPattern = callerPattern;
}

// Takes the folder's status from its descriptor; false when it cannot.
bool Lookahead::Folder::identify(int descriptor)
{
    struct stat info {};
    if (::fstat(descriptor, &info) != 0)
        return false;
    identified = true;
    device = info.st_dev;
    inode = info.st_ino;
    modified = info.st_mtim;
    return true;
}

Lookahead::Folder::~Folder()
{
    if (fd >= 0)
        ::close(fd);
}

bool Lookahead::ensureRunning()
{
    if (m_unavailable)
        return false;
    if (m_notifyFd < 0) {
        m_notifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_notifyFd < 0) {
            m_unavailable = true;
            return false;
        }
    }
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
    return true;
}

namespace {

// Whether path lies below top; nothing lies below no folder.
bool isBelow(std::string_view path, std::string_view top)
{
    if (top == "/")
        return path.size() > 1 && path.front() == '/';
    return !top.empty() && path.size() > top.size() && path.substr(0, top.size()) == top && path[top.size()] == '/';
}

} // namespace

// Under m_mutex: the reader leaves what it planned and starts again at
// folder. A start below where the walk began goes on, after the folder's own
// tree, with the folders the walk visits after it.
void Lookahead::startAt(std::string_view folder, bool walk)
{
    if (!walk || !isBelow(folder, m_walkRoot))
        m_walkRoot.assign(folder);
    keepWatchesAbove(folder);
    m_start.assign(folder);
    m_plan.assign(1, m_start);
    m_listing.clear();
    m_generation.fetch_add(1, std::memory_order_release);
    wakeReader();
}

// Under m_mutex: whether the reader may list the next folder. Once it was
// as far ahead as it may be, it waits until the caller has taken half.
bool Lookahead::mayList() const
{
    if (m_plan.empty())
        return false;
    if (m_full)
        return m_entriesAhead <= kMaxEntriesAhead / 2 && m_folders.size() <= kMaxFoldersAhead / 2;
    return m_entriesAhead < kMaxEntriesAhead && m_folders.size() < kMaxFoldersAhead;
}

// Under m_mutex: what the reader wakes for.
bool Lookahead::readerCalled() const
{
    return m_stopping || m_readerGeneration != m_generation.load(std::memory_order_acquire) ||
           m_unwatch.size() >= kReleaseBatch || m_garbage.size() >= kReleaseBatch || mayList();
}

// Under m_mutex: wakes a waiting reader when there is work for it, and only then.
void Lookahead::wakeReader()
{
    if (m_readerAsleep && readerCalled())
        m_wake.notify_one();
}

Lookahead::Ahead Lookahead::take(std::string_view folder, std::string_view name, HostRecord& record)
{
    m_taken = nullptr;
    m_takenFolder.reset();
    if (!ensureRunning())
        return Ahead::Nothing;

    // The folder of the last answer, while the caller stays in it.
    std::shared_ptr<Folder> current;
    if (m_current && m_current->path == folder && !m_current->passed.load(std::memory_order_relaxed) &&
        m_current->generation == m_generation.load(std::memory_order_relaxed)) {
        current = m_current;
    } else {
        std::lock_guard lock(m_mutex);
        const std::uint64_t generation = m_generation.load(std::memory_order_relaxed);
        std::size_t position = 0;
        while (position < m_folders.size() &&
               (m_folders[position]->generation != generation || m_folders[position]->path != folder))
            ++position;
        if (position == m_folders.size()) {
            // Not read ahead yet, but next on the reader's way: it goes on.
            if (folder == m_listing || (!m_plan.empty() && folder == m_plan.back())) {
                dropBefore(m_folders.size());
                wakeReader();
                return Ahead::Nothing;
            }
            // Not on its way at all. A reader on a walk stays on it (a walk's
            // listing moves it); an idle one starts again here.
            if (!m_plan.empty() || !m_listing.empty())
                return Ahead::Nothing;
            dropBefore(m_folders.size());
            startAt(folder, false);
            return Ahead::Nothing;
        }
        if (position > 0) {
            dropBefore(position);
            wakeReader();
        }
        current = m_folders.front();
        m_current = current;
    }

    Entry* const entry = findEntry(*current, name);
    if (entry == nullptr)
        return Ahead::Nothing;
    const std::size_t index = static_cast<std::size_t>(entry - current->entries.get());
    std::size_t passed = current->skipTo.load(std::memory_order_relaxed);
    while (passed < index + 1 && !current->skipTo.compare_exchange_weak(passed, index + 1, std::memory_order_relaxed)) {
    }

    // An entry nobody read is the caller's; one whose status alone was read
    // is the caller's too, with that status. Being read: a single entry's
    // status and attributes, a few microseconds when the reader runs. A
    // reader the system has set aside is not waited for: the caller reads the
    // entry itself, which costs what waiting would.
    std::uint8_t state = entry->state.load(std::memory_order_acquire);
    for (unsigned spins = 0;; ++spins) {
        if (state == Free || state == Stated) {
            const std::uint8_t was = state;
            if (!entry->state.compare_exchange_weak(state, Taken, std::memory_order_acquire))
                continue;
            m_takenFolder = current;
            m_taken = entry;
            if (was == Free || current->changed.load(std::memory_order_acquire))
                return Ahead::Nothing;
            record = entry->record;
            ++m_answered;
            return Ahead::Status;
        }
        if ((state != Stating && state != Reading) || spins >= 64)
            break;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
        state = entry->state.load(std::memory_order_acquire);
    }
    if (state != Read || current->changed.load(std::memory_order_acquire))
        return Ahead::Nothing;
    record = entry->record;
    ++m_answered;
    return Ahead::Whole;
}

const std::vector<platform::ListedName>* Lookahead::listingOf(std::string_view folder)
{
    if (m_notifyFd < 0)
        return nullptr;
    std::lock_guard lock(m_mutex);
    const std::uint64_t generation = m_generation.load(std::memory_order_relaxed);
    for (const std::shared_ptr<Folder>& candidate : m_folders) {
        if (candidate->generation == generation && candidate->path == folder) {
            if (!candidate->listedWhole || candidate->changed.load(std::memory_order_acquire))
                return nullptr;
            m_given = candidate;
            ++m_listingsGiven;
            return &candidate->listed;
        }
    }
    return nullptr;
}

bool Lookahead::lendFolder(std::string_view folder, LentFolder& lent)
{
    m_lending.store(true, std::memory_order_relaxed);
    if (m_notifyFd < 0)
        return false;
    std::lock_guard lock(m_mutex);
    const std::uint64_t generation = m_generation.load(std::memory_order_relaxed);
    for (const std::shared_ptr<Folder>& candidate : m_folders) {
        if (candidate->generation != generation || candidate->path != folder)
            continue;
        if (!candidate->listedWhole || candidate->watch < 0 || candidate->lent ||
            candidate->changed.load(std::memory_order_acquire))
            return false;
        // Listed before folders were lent: its descriptor tells who it is, and
        // its time is that of the listing while its watch reports nothing.
        if (!candidate->identified && (candidate->fd < 0 || !candidate->identify(candidate->fd)))
            return false;
        // The folder's use of its watch passes to the caller.
        candidate->lent = true;
        ++m_lent[candidate->watch];
        m_given = candidate;
        ++m_listingsGiven;
        lent.listed = &candidate->listed;
        lent.watch = candidate->watch;
        lent.device = candidate->device;
        lent.inode = candidate->inode;
        lent.modified = candidate->modified;
        return true;
    }
    return false;
}

void Lookahead::returnWatch(int watch)
{
    const auto found = m_lent.find(watch);
    if (found == m_lent.end())
        return;
    if (--found->second <= 0)
        m_lent.erase(found);
    std::lock_guard lock(m_mutex);
    m_unwatch.push_back(watch);  // removed with the reader's own, in a batch
}

// The caller's, while reading the watches: a change reported by a lent watch.
void Lookahead::noticeLentChange(int watch, bool gone)
{
    const auto found = m_lent.find(watch);
    if (found == m_lent.end())
        return;
    m_lentChanges.push_back(LentChange{watch, gone});
    // A watch the system removed is not the caller's to give back: its uses
    // end here.
    if (gone) {
        const int uses = found->second;
        m_lent.erase(found);
        std::lock_guard lock(m_mutex);
        m_unwatch.insert(m_unwatch.end(), static_cast<std::size_t>(uses), watch);
    }
}

bool Lookahead::takeLentChanges(std::vector<LentChange>& changes)
{
    changes.swap(m_lentChanges);
    m_lentChanges.clear();
    const bool lost = m_lentLost;
    m_lentLost = false;
    return lost;
}

int Lookahead::takenFolderFd() const
{
    if (!m_takenFolder || m_takenFolder->changed.load(std::memory_order_acquire))
        return -1;
    return m_takenFolder->fd;
}

void Lookahead::giveBack(const HostRecord& record)
{
    if (m_taken == nullptr)
        return;
    m_taken->record = record;
    m_taken->state.store(Read, std::memory_order_release);
    m_taken = nullptr;
    m_takenFolder.reset();
}

Lookahead::Entry* Lookahead::findEntry(Folder& folder, std::string_view name)
{
    Entry* const begin = folder.entries.get();
    Entry* const end = begin + folder.count;
    Entry* const entry =
        std::lower_bound(begin, end, name, [](const Entry& e, std::string_view n) { return walkOrder(e.name, n); });
    return entry == end || entry->name != name ? nullptr : entry;
}

void Lookahead::peekFolder(std::string_view folder, bool walk)
{
    m_peeked.reset();
    if (walk && m_watchesLetGo.load(std::memory_order_relaxed) >= kMaxWatchesLetGo)
        renew();
    if (walk ? !ensureRunning() : m_notifyFd < 0)
        return;
    std::unique_lock lock(m_mutex);
    const std::uint64_t generation = m_generation.load(std::memory_order_relaxed);
    const auto find = [&] {
        for (const std::shared_ptr<Folder>& candidate : m_folders)
            if (candidate->generation == generation && candidate->path == folder)
                return candidate;
        return std::shared_ptr<Folder>();
    };
    m_peeked = find();
    // A walk the reader is not on: it starts again here.
    if (!m_peeked && walk && folder != m_listing && (m_plan.empty() || folder != m_plan.back())) {
        dropBefore(m_folders.size());
        startAt(folder, true);
    }
    // The folder the reader is listing, or lists next: listing it here too
    // would cost what waiting does, twice over.
    if (!m_peeked && (folder == m_listing || (!m_plan.empty() && folder == m_plan.back()))) {
        dropBefore(m_folders.size());
        wakeReader();
        waitFor(lock, [&] {
            m_peeked = find();
            return m_peeked != nullptr || (folder != m_listing && (m_plan.empty() || folder != m_plan.back()));
        });
    }
    // Listed, and its files' status is being read: the caller reads those
    // nobody has taken yet, with the reader, and waits for the last few.
    if (m_peeked && !m_peeked->stated.load(std::memory_order_acquire)) {
        const std::shared_ptr<Folder> peeked = m_peeked;
        lock.unlock();
        for (std::size_t i = 0; i < peeked->count; ++i) {
            Entry& entry = peeked->entries[i];
            std::uint8_t state = Free;
            if (!entry.state.compare_exchange_strong(state, Stating, std::memory_order_acquire))
                continue;
            entry.state.store(readStatus(peeked->fd, entry.name.c_str(), entry.record) ? Stated : Read,
                              std::memory_order_release);
            m_entriesRead.fetch_add(1, std::memory_order_release);
        }
        lock.lock();
        waitFor(lock, [&] { return peeked->stated.load(std::memory_order_acquire); });
    }
}

// Under the lock: waits a bounded time for the reader until ready() holds.
template <typename Ready>
bool Lookahead::waitFor(std::unique_lock<std::mutex>& lock, Ready ready)
{
    using Clock = std::chrono::steady_clock;
    // A reader that kept the caller waiting in vain (setting a watch in a
    // crowded folder, say) is not waited for again until it has got on:
    // waits at folder after folder would keep the window unserved.
    if (m_stalledAt == m_progress.load(std::memory_order_acquire))
        return ready();
    const Clock::time_point start = Clock::now();
    while (!ready()) {
        const Clock::time_point now = Clock::now();
        if (now - start >= kLongestWait || aloneOnOneProcessor()) {
            m_stalledAt = m_progress.load(std::memory_order_acquire);
            return false;
        }
        std::unique_lock watchLock(m_watchMutex, std::defer_lock);
        if (!m_unwatch.empty() && watchLock.try_lock()) {
            // Waiting for the reader, the caller takes a little of its work:
            // the removal of a watch let go costs as much as a listing. (Not
            // while the reader sets one: that can take long, in a folder of
            // many entries, and the caller never waits for it.)
            const int watch = m_unwatch.back();
            m_unwatch.pop_back();
            lock.unlock();
            releaseWatchLocked(watch);
            watchLock.unlock();
            lock.lock();
        } else if (!m_garbage.empty()) {
            std::shared_ptr<Folder> passed = std::move(m_garbage.back());
            m_garbage.pop_back();
            lock.unlock();
            passed.reset();
            lock.lock();
        } else if (now - start < kSpinWait) {
            const std::uint64_t seen = m_progress.load(std::memory_order_acquire);
            lock.unlock();
            for (int spins = 0; spins < 64 && m_progress.load(std::memory_order_acquire) == seen; ++spins) {
#if defined(__x86_64__) || defined(__i386__)
                __builtin_ia32_pause();
#endif
            }
            lock.lock();
        } else {
            // Past the spin: short sleeps, not a timed wait on a condition
            // (whose end the sanitizers' thread checks do not all follow).
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::microseconds(50));
            lock.lock();
        }
    }
    return true;
}

void Lookahead::setFilePattern(std::string_view pattern)
{
    if (pattern == m_callerPattern)
        return;
    m_callerPattern.assign(pattern);
    std::lock_guard lock(m_mutex);
    m_filePattern.assign(pattern);
}

bool Lookahead::peekStatus(std::string_view name, struct statx& status)
{
    if (!m_peeked || m_peeked->changed.load(std::memory_order_acquire))
        return false;
    const Entry* const entry = findEntry(*m_peeked, name);
    if (entry == nullptr)
        return false;
    // Stated, or past it: the status stays as it was read. (Reading, in a
    // folder the caller can see, is the reader at the extended attributes.)
    const std::uint8_t state = entry->state.load(std::memory_order_acquire);
    if ((state != Stated && state != Reading && state != Read) || entry->record.statusError != 0)
        return false;
    status = entry->record.status;
    return true;
}

const std::vector<platform::ListedName>* Lookahead::peekListing() const
{
    if (!m_peeked || !m_peeked->listedWhole || m_peeked->changed.load(std::memory_order_acquire))
        return nullptr;
    ++m_listingsGiven;
    return &m_peeked->listed;
}

// Reads what the watches reported since the last read: one read when nothing
// changed. Reading a folder's listing is no change of its entries.
void Lookahead::noticeChanges()
{
    if (m_notifyFd < 0)
        return;
    struct Change {
        int watch;
        std::string name;  // empty: the folder itself
        bool folder;       // the entry named is a folder
    };
    std::vector<Change> changes;
    bool lostTrack = false;
    readChangeEvents(m_notifyFd, [&](const inotify_event& event, std::string_view name) {
        if (event.wd < 0 || (event.mask & IN_Q_OVERFLOW) != 0) {
            lostTrack = true;
            m_lentLost = m_lentLost || !m_lent.empty();
            return;
        }
        if ((event.mask & kLentEvents) != 0 && !m_lent.empty())
            noticeLentChange(event.wd, (event.mask & IN_IGNORED) != 0);
        if ((event.mask & IN_ACCESS) == 0 || (event.mask & IN_ISDIR) == 0)  // not a folder listed
            changes.push_back(Change{event.wd, std::string(name), (event.mask & IN_ISDIR) != 0});
    });
    if (changes.empty() && !lostTrack)
        return;

    std::lock_guard lock(m_mutex);
    // The folder being listed is not among the folders yet, and its watch may
    // not even be known: the reader looks for it here when it is.
    for (const Change& change : changes)
        m_recentWatches[m_changesSeen++ % m_recentWatches.size()] = change.watch;
    // A folder on the way to the start: only itself, or the next folder down.
    for (const Change& change : changes)
        for (const Watched& above : m_above)
            if (above.watch == change.watch && (change.name.empty() || change.name == above.next))
                lostTrack = true;
    if (lostTrack) {
        for (const std::shared_ptr<Folder>& folder : m_folders)
            folder->changed = true;
        m_listingChanged = true;
        return;
    }
    // Everything below a folder that changed itself, or below a subfolder
    // that changed, runs through it.
    const auto below = [](std::string_view path, std::string_view top) {
        return path == top || (path.size() > top.size() && path.substr(0, top.size()) == top && path[top.size()] == '/');
    };
    const auto changeBelow = [&](const std::string& top) {
        for (const std::shared_ptr<Folder>& folder : m_folders)
            if (below(folder->path, top))
                folder->changed = true;
        if (!m_listing.empty() && below(m_listing, top))
            m_listingChanged = true;
    };
    const auto changeOf = [&](const Change& change, const std::shared_ptr<Folder>& folder) {
        if (folder->watch != change.watch)
            return;
        folder->changed = true;
        if (change.name.empty())
            changeBelow(folder->path);
        else if (change.folder)
            changeBelow(folder->path + "/" + change.name);
    };
    for (const Change& change : changes) {
        for (const std::shared_ptr<Folder>& folder : m_folders)
            changeOf(change, folder);
        for (const std::shared_ptr<Folder>& folder : m_holding)
            changeOf(change, folder);
    }
}

// Under m_mutex: lets go of the folders before position, which the caller has
// passed. Their watches stay while they lie on the way to the next folder.
void Lookahead::dropBefore(std::size_t position)
{
    for (std::size_t i = 0; i < position; ++i) {
        std::shared_ptr<Folder> folder = std::move(m_folders.front());
        m_folders.pop_front();
        folder->passed = true;
        m_entriesAhead -= std::min(m_entriesAhead, folder->count);
        m_holding.push_back(std::move(folder));
    }
    if (!m_folders.empty())
        keepWatchesAbove(m_folders.front()->path);
}

// Under m_mutex: of the folders passed, keeps watching those above path.
void Lookahead::keepWatchesAbove(std::string_view path)
{
    std::size_t kept = 0;
    for (std::shared_ptr<Folder>& folder : m_holding) {
        const std::string& top = folder->path;
        const bool above = path.size() > top.size() && path.substr(0, top.size()) == top && path[top.size()] == '/';
        if (above) {
            m_holding[kept++] = std::move(folder);
            continue;
        }
        if (folder->watch >= 0 && !folder->lent)
            m_unwatch.push_back(folder->watch);
        m_garbage.push_back(std::move(folder));  // freed by the reader, or by the caller while it waits
    }
    m_holding.resize(kept);
}

void Lookahead::run()
{
    std::uint64_t generation = 0;
    std::string beyond;  // a start whose followers are still to plan
    std::string walkRoot;
    for (;;) {
        std::string path;
        std::string start;
        std::shared_ptr<Folder> toFill;
        std::uint64_t changesBefore = 0;
        bool release = true;
        {
            std::unique_lock lock(m_mutex);
            for (;;) {
                if (!mayList() && !m_plan.empty())
                    m_full = true;
                else if (mayList())
                    m_full = false;
                if (readerCalled() || nextToFill() != nullptr)
                    break;
                m_readerAsleep = true;
                m_wake.wait(lock);
                m_readerAsleep = false;
            }
            if (m_stopping)
                return;
            if (generation != m_generation.load(std::memory_order_acquire)) {
                generation = m_generation.load(std::memory_order_acquire);
                m_readerGeneration = generation;
                start = m_start;
                beyond = m_start;
                walkRoot = m_walkRoot;
            } else {
                // Folders first, a few ahead of the caller; then the extended
                // attributes of the files listed, nearest first; then folders
                // again, as far as the bounds allow.
                toFill = nextToFill();
                if (mayList() && (m_folders.size() < kListAhead || toFill == nullptr)) {
                    toFill.reset();
                    path = std::move(m_plan.back());
                    m_plan.pop_back();
                    m_listing = path;
                    m_listingChanged = false;
                    changesBefore = m_changesSeen;
                    // A reader busy listing leaves what was let go to a
                    // caller that waits for it, up to a batch.
                    release = m_unwatch.size() >= kReleaseBatch || m_garbage.size() >= kReleaseBatch;
                }
            }
        }
        if (release)
            releaseWatches();
        if (!start.empty())
            watchAbove(start, walkRoot);
        else if (!path.empty()) {
            readFolder(path, generation, changesBefore);
            if (path == beyond) {
                planBeyond(beyond, walkRoot, generation);
                beyond.clear();
            }
        } else if (toFill)
            fill(*toFill, generation);
    }
}

// The reader's own: after a start below where the walk began, the folders
// the walk visits once it is through the start's own tree: the later
// subfolders of each folder on the way, nearest last, planned after
// everything planned so far.
void Lookahead::planBeyond(const std::string& start, const std::string& walkRoot, std::uint64_t generation)
{
    if (!isBelow(start, walkRoot))
        return;
    std::vector<std::string> followers;
    std::size_t childEnd = start.find('/', walkRoot.size() + 1);
    for (std::string parent = walkRoot;; ) {
        const std::size_t childBegin = parent.size() + 1;
        const std::size_t childLength = childEnd == std::string::npos ? std::string::npos : childEnd - childBegin;
        const std::string_view child = std::string_view(start).substr(childBegin, childLength);
        std::vector<std::string> later;
        platform::FolderReader dir;
        if (dir.open(parent.c_str())) {
            while (const dirent64* entry = dir.next()) {
                const std::string_view name = entry->d_name;
                if (name == "." || name == ".." || !walkOrder(child, name))
                    continue;
                if (dir.isFolder(*entry))
                    later.emplace_back(name);
            }
        }
        std::sort(later.begin(), later.end(), walkOrder);
        for (auto it = later.rbegin(); it != later.rend(); ++it)
            followers.push_back(parent + "/" + *it);
        if (childEnd == std::string::npos)
            break;
        parent = start.substr(0, childEnd);
        childEnd = start.find('/', childEnd + 1);
    }
    std::lock_guard lock(m_mutex);
    if (!stale(generation))
        m_plan.insert(m_plan.begin(), followers.begin(), followers.end());
}

// Under m_mutex, the reader's own: the first folder ahead with files whose
// extended attributes are still to read.
std::shared_ptr<Lookahead::Folder> Lookahead::nextToFill() const
{
    const std::uint64_t generation = m_generation.load(std::memory_order_acquire);
    for (const std::shared_ptr<Folder>& folder : m_folders)
        if (folder->generation == generation && folder->fd >= 0 && folder->filled < folder->count)
            return folder;
    return nullptr;
}

// A few of the folder's files, from the first the caller has not passed:
// their extended attributes, where only their status was read.
void Lookahead::fill(Folder& folder, std::uint64_t generation)
{
    std::string entryPath;
    std::size_t done = 0;
    std::size_t i = std::max(folder.filled, folder.skipTo.load(std::memory_order_relaxed));
    for (; i < folder.count && done < kFillBatch; ++i) {
        if (stale(generation) || folder.passed.load(std::memory_order_relaxed) ||
            folder.changed.load(std::memory_order_relaxed))
            break;
        Entry& entry = folder.entries[i];
        std::uint8_t state = Stated;
        if (!entry.state.compare_exchange_strong(state, Reading, std::memory_order_acquire))
            continue;
        entryPath.assign(folder.path);
        entryPath += '/';
        entryPath += entry.name;
        entry.record.xattrsRefused = !readNetWareXattrs(folder.fd, entry.name.c_str(), entryPath, entry.record);
        entry.state.store(Read, std::memory_order_release);
        ++done;
    }
    folder.filled = i;
    // Nothing more to read there.
    if (i >= folder.count || stale(generation) || folder.passed.load(std::memory_order_relaxed) ||
        folder.changed.load(std::memory_order_relaxed))
        folder.filled = folder.count;
}

// The reader's: a watch for path, shared with every other user of it. A
// watch is added and counted, and let go and removed, under one lock, so a
// watch let go can never be removed after the reader took it again.
int Lookahead::addWatch(const std::string& path, std::uint32_t events)
{
    std::lock_guard lock(m_watchMutex);
    const int watch = ::inotify_add_watch(m_notifyFd, path.c_str(), events);
    if (watch >= 0)
        ++m_watchUsers[watch];
    return watch;
}

// Lets go of a watch, and removes it when nobody uses it any more.
void Lookahead::releaseWatch(int watch)
{
    std::lock_guard lock(m_watchMutex);
    releaseWatchLocked(watch);
}

// The same, under m_watchMutex.
// A watch nobody uses is not removed on its own (a removal costs about what
// a listing does): it stays, its reports matching no folder, until the caller
// renews the descriptor with all of them at once.
void Lookahead::releaseWatchLocked(int watch)
{
    const auto users = m_watchUsers.find(watch);
    if (users != m_watchUsers.end() && --users->second <= 0) {
        m_watchUsers.erase(users);
        m_watchesLetGo.fetch_add(1, std::memory_order_relaxed);
    }
}

// The reader's own: removes the watches let go, and frees the folders.
void Lookahead::releaseWatches()
{
    std::vector<int> unwatch;
    std::vector<std::shared_ptr<Folder>> garbage;
    {
        std::lock_guard lock(m_mutex);
        unwatch.swap(m_unwatch);
        garbage.swap(m_garbage);
    }
    for (int watch : unwatch)
        releaseWatch(watch);
}

// Under m_mutex: watches the folders above a start, up to the root, so that a
// folder on the way moved or removed (or, inside the walk, closed to the
// reader) is seen. Those already watched for the last start stay as they are.
void Lookahead::watchAbove(const std::string& start, const std::string& walkRoot)
{
    std::vector<Watched> chain;
    for (std::size_t slash = start.rfind('/'); slash != std::string::npos && slash + 1 < start.size();) {
        Watched above;
        above.path = slash == 0 ? std::string("/") : start.substr(0, slash);
        const std::size_t nextEnd = start.find('/', slash + 1);
        above.next = start.substr(slash + 1, nextEnd == std::string::npos ? std::string::npos : nextEnd - slash - 1);
        chain.push_back(std::move(above));
        if (slash == 0)
            break;
        slash = start.rfind('/', slash - 1);
    }
    // Only the reader changes m_above, so it reads it without the lock.
    std::vector<bool> kept(m_above.size(), false);
    for (Watched& above : chain) {
        const auto known = std::find_if(m_above.begin(), m_above.end(),
                                        [&](const Watched& old) { return old.path == above.path; });
        above.outside = isBelow(walkRoot, above.path);
        if (known != m_above.end() && (known->outside || !above.outside)) {
            above.watch = known->watch;
            kept[static_cast<std::size_t>(known - m_above.begin())] = true;
        } else {
            above.watch = addWatch(above.path, above.outside ? kWatchAboveEvents : kWatchEvents);
        }
    }
    {
        std::lock_guard lock(m_mutex);
        for (std::size_t i = 0; i < m_above.size(); ++i)
            if (!kept[i] && m_above[i].watch >= 0)
                m_unwatch.push_back(m_above[i].watch);
        m_above = std::move(chain);
    }
    releaseWatches();
}

// Under m_mutex: whether the caller read a change of watch since it had
// read changesBefore changes in all.
bool Lookahead::changedSince(std::uint64_t changesBefore, int watch) const
{
    if (m_changesSeen - changesBefore > m_recentWatches.size())
        return true;
    for (std::uint64_t i = changesBefore; i < m_changesSeen; ++i)
        if (m_recentWatches[i % m_recentWatches.size()] == watch)
            return true;
    return false;
}

void Lookahead::readFolder(const std::string& path, std::uint64_t generation, std::uint64_t changesBefore)
{
    auto folder = std::make_shared<Folder>();
    folder->path = path;
    folder->generation = generation;
    // Watched before it is listed, so every change after its entries are read
    // is reported.
    folder->watch = addWatch(path, kWatchEvents);
    if (folder->watch < 0)
        folder->changed = true;  // listed for the way down, never answered from

    std::string pattern;
    {
        std::lock_guard lock(m_mutex);
        pattern = m_filePattern;
    }
    std::vector<std::string> files;
    std::vector<std::string> subfolders;
    platform::FolderReader dir;
    if (dir.open(path.c_str())) {
        if (m_lending.load(std::memory_order_relaxed))
            folder->identify(dir.fd());
        bool everyType = true;
        while (const dirent64* entry = dir.next()) {
            const std::string_view name = entry->d_name;
            folder->listed.push_back(platform::ListedName{std::string(name), entry->d_type});
            everyType = everyType && entry->d_type != DT_UNKNOWN;
            if (name == "." || name == "..")
                continue;
            if (dir.isFolder(*entry))
                subfolders.emplace_back(name);
            else if (netnames::isNetWareName(name) && (pattern.empty() || platform::wildcardMatch(pattern, name)))
                files.emplace_back(name);
        }
        // The end of the folder, not a failed read.
        folder->listedWhole = errno == 0 && everyType;
        if (!folder->listedWhole)
            folder->listed.clear();
        // Kept open while the folder is known, for every read of its files.
        if (!files.empty())
            folder->fd = dir.release();
    }
    std::sort(files.begin(), files.end(), walkOrder);
    std::sort(subfolders.begin(), subfolders.end(), walkOrder);
    folder->count = files.size();
    folder->entries = std::make_unique<Entry[]>(files.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        folder->entries[i].name = std::move(files[i]);

    {
        std::lock_guard lock(m_mutex);
        const bool listingChanged = m_listingChanged || changedSince(changesBefore, folder->watch);
        m_listing.clear();
        m_listingChanged = false;
        if (stale(generation) || m_stopping) {
            if (folder->watch >= 0)
                m_unwatch.push_back(folder->watch);
            return;  // the watch goes at the reader's next round
        }
        if (listingChanged)
            folder->changed = true;
        m_folders.push_back(folder);
        m_entriesAhead += folder->count;
        for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
            m_plan.push_back(path + "/" + *it);
        m_progress.fetch_add(1, std::memory_order_release);
    }

    // The status of every file, which the caller's listing wants; the
    // extended attributes come later, when the reader is ahead.
    if (folder->fd >= 0) {
        const int folderFd = folder->fd;
        for (std::size_t i = 0; i < folder->count; ++i) {
            if (stale(generation) || folder->passed.load(std::memory_order_relaxed))
                break;
            i = std::max(i, folder->skipTo.load(std::memory_order_relaxed));
            if (i >= folder->count)
                break;
            Entry& entry = folder->entries[i];
            std::uint8_t state = Free;
            if (!entry.state.compare_exchange_strong(state, Stating, std::memory_order_acquire))
                continue;
            entry.state.store(readStatus(folderFd, entry.name.c_str(), entry.record) ? Stated : Read,
                              std::memory_order_release);
            m_entriesRead.fetch_add(1, std::memory_order_release);
        }
    }
    {
        std::lock_guard lock(m_mutex);
        folder->stated = true;
        m_progress.fetch_add(1, std::memory_order_release);
    }
}
