// The read-ahead of the simulated client (see simclient_readahead.h).
//
// The reader walks the tree depth first from the folder where the walk's
// listing found it missing, files before subfolders and both in the order of
// the walk's listing, so the entries it reads are those the walk asks for
// next. Its first work is the folders: it lists a few ahead of the walk, with
// the status of their files, which the walk's listing wants; the extended
// attributes of those files come after, as far as it is ahead. The walk never
// lists a folder the reader is listing or lists next: it waits a moment, and
// reads the status of the files the reader has not reached. The reader stays
// a bounded number of entries and folders ahead and, once there, waits until
// the walk has taken half.
//
// Each entry is read by one side only: the reader claims the next free entry,
// the caller claims the entry it asks for when nobody has (with its status,
// when that was read) and gives back what it read itself, for the entry's
// next read; an entry being read is waited for a moment.

#include "netclient/simclient_readahead.h"

#include <dirent.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "netclient/netnames.h"
#include "platform/asciicase.h"
#include "platform/folderreader.h"

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
// Folders passed are freed (their descriptors closed) in batches: the reader
// is not woken for each.
constexpr std::size_t kReleaseBatch = 64;
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

void spinPause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// The walk's listing order.
bool walkOrder(std::string_view a, std::string_view b) { return ascii::compareListingOrder(a, b) < 0; }

// Whether path lies below top; nothing lies below no folder.
bool isBelow(std::string_view path, std::string_view top)
{
    if (top == "/")
        return path.size() > 1 && path.front() == '/';
    return !top.empty() && path.size() > top.size() && path.substr(0, top.size()) == top && path[top.size()] == '/';
}

}  // namespace

ReadAhead::~ReadAhead() { stop(); }

ReadAhead::Folder::~Folder()
{
    if (fd >= 0)
        ::close(fd);
}

void ReadAhead::stop()
{
    if (m_thread.joinable()) {
        {
            platform::MutexLock lock(m_mutex);
            m_stopping = true;
        }
        // What the reader is reading is stale from here on: it leaves it at
        // once, not at the end of the folder.
        m_generation.fetch_add(1, std::memory_order_release);
        m_wake.notify_all();
        m_thread.join();
    }
    {
        platform::MutexLock lock(m_mutex);
        m_stopping = false;
        m_readerAsleep = false;
        m_full = false;
        m_readerGeneration = 0;
        m_filePattern.clear();
        m_folders.clear();
        m_garbage.clear();
        m_plan.clear();
        m_listing.clear();
        m_entriesAhead = 0;
        m_start.clear();
        m_walkRoot.clear();
    }
    m_generation.fetch_add(1, std::memory_order_release);
    Caller& caller = m_caller;
    caller.peeked.reset();
    caller.current.reset();
    caller.taken = nullptr;
    caller.takenFolder.reset();
    caller.given.reset();
    caller.pattern.clear();
    caller.stalledAt = UINT64_MAX;
}

void ReadAhead::ensureRunning()
{
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
}

// The reader leaves what it planned and starts again at folder. A start
// below where the walk began goes on, after the folder's own tree, with the
// folders the walk visits after it.
void ReadAhead::startAt(std::string_view folder, bool walk)
{
    if (!walk || !isBelow(folder, m_walkRoot))
        m_walkRoot.assign(folder);
    m_start.assign(folder);
    m_plan.assign(1, m_start);
    m_listing.clear();
    m_generation.fetch_add(1, std::memory_order_release);
    wakeReader();
}

// Whether the reader may list the next folder. Once it was as far ahead as it
// may be, it waits until the caller has taken half.
bool ReadAhead::mayList() const
{
    if (m_plan.empty())
        return false;
    if (m_full)
        return m_entriesAhead <= kMaxEntriesAhead / 2 && m_folders.size() <= kMaxFoldersAhead / 2;
    return m_entriesAhead < kMaxEntriesAhead && m_folders.size() < kMaxFoldersAhead;
}

// What the reader wakes for.
bool ReadAhead::readerCalled() const
{
    return m_stopping || m_readerGeneration != m_generation.load(std::memory_order_acquire) ||
           m_garbage.size() >= kReleaseBatch || mayList();
}

// Wakes a waiting reader when there is work for it, and only then.
void ReadAhead::wakeReader()
{
    if (m_readerAsleep && readerCalled())
        m_wake.notify_one();
}

ReadAhead::FolderPtr ReadAhead::findFolder(std::string_view folder) const
{
    const std::uint64_t generation = m_generation.load(std::memory_order_relaxed);
    for (const FolderPtr& candidate : m_folders)
        if (candidate->generation == generation && candidate->path == folder)
            return candidate;
    return nullptr;
}

// The folder the reader is listing, or lists next.
bool ReadAhead::onTheReadersWay(std::string_view folder) const
{
    return folder == m_listing || (!m_plan.empty() && folder == m_plan.back());
}

// Lets go of the folders before position, which the caller has passed.
void ReadAhead::dropBefore(std::size_t position)
{
    for (std::size_t i = 0; i < position; ++i) {
        FolderPtr folder = std::move(m_folders.front());
        m_folders.pop_front();
        folder->passed = true;
        m_entriesAhead -= std::min(m_entriesAhead, folder->count);
        m_garbage.push_back(std::move(folder));
    }
}

ReadAhead::Ahead ReadAhead::take(std::string_view folder, std::string_view name, HostEntry& record)
{
    Caller& caller = m_caller;
    caller.taken = nullptr;
    caller.takenFolder.reset();
    ensureRunning();

    // The folder of the last answer, while the caller stays in it.
    FolderPtr current;
    if (caller.current && caller.current->path == folder && !caller.current->passed.load(std::memory_order_relaxed) &&
        caller.current->generation == m_generation.load(std::memory_order_relaxed)) {
        current = caller.current;
    } else {
        platform::MutexLock lock(m_mutex);
        const std::uint64_t generation = m_generation.load(std::memory_order_relaxed);
        std::size_t position = 0;
        while (position < m_folders.size() &&
               (m_folders[position]->generation != generation || m_folders[position]->path != folder))
            ++position;
        if (position == m_folders.size()) {
            // Not read ahead yet, but next on the reader's way: it goes on.
            if (onTheReadersWay(folder)) {
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
        caller.current = current;
    }

    Entry* const entry = findEntry(*current, name);
    if (entry == nullptr)
        return Ahead::Nothing;
    const std::size_t index = static_cast<std::size_t>(entry - current->entries.get());
    std::size_t passed = current->skipTo.load(std::memory_order_relaxed);
    while (passed < index + 1 &&
           !current->skipTo.compare_exchange_weak(passed, index + 1, std::memory_order_relaxed)) {
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
            caller.takenFolder = current;
            caller.taken = entry;
            if (was == Free)
                return Ahead::Nothing;
            record = entry->record;
            ++caller.answered;
            return Ahead::Status;
        }
        if ((state != Stating && state != Reading) || spins >= 64)
            break;
        spinPause();
        state = entry->state.load(std::memory_order_acquire);
    }
    if (state != Read)
        return Ahead::Nothing;
    record = entry->record;
    ++caller.answered;
    return Ahead::Whole;
}

int ReadAhead::takenFolderFd() const { return m_caller.takenFolder ? m_caller.takenFolder->fd : -1; }

void ReadAhead::giveBack(const HostEntry& record)
{
    Caller& caller = m_caller;
    if (caller.taken == nullptr)
        return;
    caller.taken->record = record;
    caller.taken->state.store(Read, std::memory_order_release);
    caller.taken = nullptr;
    caller.takenFolder.reset();
}

const std::vector<platform::ListedName>* ReadAhead::listingOf(std::string_view folder)
{
    platform::MutexLock lock(m_mutex);
    const FolderPtr found = findFolder(folder);
    if (!found || !found->listedWhole)
        return nullptr;
    m_caller.given = found;
    ++m_caller.listingsGiven;
    return &found->listed;
}

ReadAhead::Entry* ReadAhead::findEntry(Folder& folder, std::string_view name)
{
    Entry* const begin = folder.entries.get();
    Entry* const end = begin + folder.count;
    // The walk asks for the files in their order: mostly the one after the
    // last it found.
    for (std::size_t next = folder.lastFound; next < folder.count && next <= folder.lastFound + 1; ++next) {
        if (begin[next].name == name) {
            folder.lastFound = next;
            return begin + next;
        }
    }
    Entry* const entry = std::lower_bound(begin, end, name,
                                          [](const Entry& e, std::string_view n) { return walkOrder(e.name, n); });
    if (entry == end || entry->name != name)
        return nullptr;
    folder.lastFound = static_cast<std::size_t>(entry - begin);
    return entry;
}

void ReadAhead::peekFolder(std::string_view folder, bool walk)
{
    Caller& caller = m_caller;
    caller.peeked.reset();
    if (walk)
        ensureRunning();
    else if (!m_thread.joinable())
        return;
    platform::UniqueLock lock(m_mutex);
    caller.peeked = findFolder(folder);
    // A walk the reader is not on: it starts again here.
    if (!caller.peeked && walk && !onTheReadersWay(folder)) {
        dropBefore(m_folders.size());
        startAt(folder, true);
    }
    // The folder the reader is listing, or lists next: listing it here too
    // would cost what waiting does, twice over.
    if (!caller.peeked && onTheReadersWay(folder)) {
        dropBefore(m_folders.size());
        wakeReader();
        waitFor([&]() TRAWL_REQUIRES(m_mutex) {
            caller.peeked = findFolder(folder);
            return caller.peeked != nullptr || !onTheReadersWay(folder);
        });
    }
    // Listed, and its files' status is being read: the caller reads those
    // nobody has taken yet, with the reader, and waits for the last few.
    if (caller.peeked && !caller.peeked->stated.load(std::memory_order_acquire)) {
        const FolderPtr peeked = caller.peeked;
        lock.unlock();
        statEntries(*peeked, peeked->generation);
        lock.lock();
        waitFor([&] { return peeked->stated.load(std::memory_order_acquire); });
    }
}

// Waits a bounded time for the reader until ready() holds: with m_mutex held
// at the call and at the return, and let go meanwhile.
template <typename Ready>
bool ReadAhead::waitFor(Ready ready)
{
    using Clock = std::chrono::steady_clock;
    Caller& caller = m_caller;
    // A reader that kept the caller waiting in vain is not waited for again
    // until it has got on: waits at folder after folder would keep the
    // window unserved.
    if (caller.stalledAt == m_progress.load(std::memory_order_acquire))
        return ready();
    const Clock::time_point start = Clock::now();
    while (!ready()) {
        const Clock::time_point now = Clock::now();
        if (now - start >= kLongestWait || aloneOnOneProcessor()) {
            caller.stalledAt = m_progress.load(std::memory_order_acquire);
            return false;
        }
        if (!m_garbage.empty()) {
            // Waiting for the reader, the caller takes a little of its work.
            FolderPtr passed = std::move(m_garbage.back());
            m_garbage.pop_back();
            platform::MutexUnlock unlocked(m_mutex);
            passed.reset();
        } else if (now - start < kSpinWait) {
            const std::uint64_t seen = m_progress.load(std::memory_order_acquire);
            platform::MutexUnlock unlocked(m_mutex);
            for (int spins = 0; spins < 64 && m_progress.load(std::memory_order_acquire) == seen; ++spins)
                spinPause();
        } else {
            // Past the spin: short sleeps, not a timed wait on a condition
            // (whose end the sanitizers' thread checks do not all follow).
            platform::MutexUnlock unlocked(m_mutex);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }
    return true;
}

void ReadAhead::setFilePattern(std::string_view pattern)
{
    if (pattern == m_caller.pattern)
        return;
    m_caller.pattern.assign(pattern);
    platform::MutexLock lock(m_mutex);
    m_filePattern.assign(pattern);
}

bool ReadAhead::peekStatus(std::string_view name, std::uint64_t& size, std::uint32_t& mode)
{
    const FolderPtr& peeked = m_caller.peeked;
    if (!peeked)
        return false;
    const Entry* const entry = findEntry(*peeked, name);
    if (entry == nullptr)
        return false;
    // Stated, or past it: the status stays as it was read. (Reading, in a
    // folder the caller can see, is the reader at the extended attributes.)
    const std::uint8_t state = entry->state.load(std::memory_order_acquire);
    if ((state != Stated && state != Reading && state != Read) || !entry->record.statusRead())
        return false;
    size = entry->record.size();
    mode = entry->record.mode();
    return true;
}

const std::vector<platform::ListedName>* ReadAhead::peekListing()
{
    const FolderPtr& peeked = m_caller.peeked;
    if (!peeked || !peeked->listedWhole)
        return nullptr;
    ++m_caller.listingsGiven;
    return &peeked->listed;
}

// The first folder ahead with files whose extended attributes are still to read.
ReadAhead::FolderPtr ReadAhead::nextToFill() const
{
    const std::uint64_t generation = m_generation.load(std::memory_order_acquire);
    for (const FolderPtr& folder : m_folders)
        if (folder->generation == generation && folder->fd >= 0 && folder->filled < folder->count)
            return folder;
    return nullptr;
}

// The status of each file of the folder nobody has claimed, from the first
// the caller has not passed: the reader's first work in a folder it listed,
// and the caller's, with it, in a folder it is about to list.
void ReadAhead::statEntries(Folder& folder, std::uint64_t generation)
{
    if (folder.fd < 0)
        return;
    for (std::size_t i = 0; i < folder.count; ++i) {
        if (stale(generation) || folder.passed.load(std::memory_order_relaxed))
            break;
        i = std::max(i, folder.skipTo.load(std::memory_order_relaxed));
        if (i >= folder.count)
            break;
        Entry& entry = folder.entries[i];
        std::uint8_t state = Free;
        if (!entry.state.compare_exchange_strong(state, Stating, std::memory_order_acquire))
            continue;
        entry.state.store(entry.record.readStatus(folder.fd, entry.name.c_str()) ? Stated : Read,
                          std::memory_order_release);
        m_entriesRead.fetch_add(1, std::memory_order_release);
    }
}

void ReadAhead::run()
{
    std::uint64_t generation = 0;
    std::string beyond;  // a start whose followers are still to plan
    std::string walkRoot;
    for (;;) {
        std::string path;
        FolderPtr toFill;
        std::vector<FolderPtr> garbage;
        {
            platform::UniqueLock lock(m_mutex);
            for (;;) {
                if (!mayList() && !m_plan.empty())
                    m_full = true;
                else if (mayList())
                    m_full = false;
                if (readerCalled() || nextToFill() != nullptr)
                    break;
                m_readerAsleep = true;
                lock.wait(m_wake);
                m_readerAsleep = false;
            }
            if (m_stopping)
                return;
            if (generation != m_generation.load(std::memory_order_acquire)) {
                generation = m_generation.load(std::memory_order_acquire);
                m_readerGeneration = generation;
                beyond = m_start;
                walkRoot = m_walkRoot;
                continue;
            }
            // Folders first, a few ahead of the caller; then the extended
            // attributes of the files listed, nearest first; then folders
            // again, as far as the bounds allow.
            toFill = nextToFill();
            if (mayList() && (m_folders.size() < kListAhead || toFill == nullptr)) {
                toFill.reset();
                path = std::move(m_plan.back());
                m_plan.pop_back();
                m_listing = path;
            }
            // A reader busy listing leaves the folders passed to a caller
            // that waits for it, up to a batch.
            if (path.empty() || m_garbage.size() >= kReleaseBatch)
                garbage.swap(m_garbage);
        }
        garbage.clear();
        if (!path.empty()) {
            readFolder(path, generation);
            if (path == beyond) {
                planBeyond(beyond, walkRoot, generation);
                beyond.clear();
            }
        } else if (toFill) {
            fill(*toFill, generation);
        }
    }
}

// After a start below where the walk began, the folders the walk visits once
// it is through the start's own tree: the later subfolders of each folder on
// the way, nearest last, planned after everything planned so far.
void ReadAhead::planBeyond(const std::string& start, const std::string& walkRoot, std::uint64_t generation)
{
    if (!isBelow(start, walkRoot))
        return;
    std::vector<std::string> followers;
    std::size_t childEnd = start.find('/', walkRoot.size() + 1);
    for (std::string parent = walkRoot;;) {
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
    platform::MutexLock lock(m_mutex);
    if (!stale(generation))
        m_plan.insert(m_plan.begin(), followers.begin(), followers.end());
}

// A few of the folder's files, from the first the caller has not passed:
// their extended attributes, where only their status was read.
void ReadAhead::fill(Folder& folder, std::uint64_t generation)
{
    std::string entryPath;
    std::size_t done = 0;
    std::size_t i = std::max(folder.filled, folder.skipTo.load(std::memory_order_relaxed));
    for (; i < folder.count && done < kFillBatch; ++i) {
        if (stale(generation) || folder.passed.load(std::memory_order_relaxed))
            break;
        Entry& entry = folder.entries[i];
        std::uint8_t state = Stated;
        if (!entry.state.compare_exchange_strong(state, Reading, std::memory_order_acquire))
            continue;
        entryPath.assign(folder.path);
        entryPath += '/';
        entryPath += entry.name;
        entry.record.readAttributes(folder.fd, entry.name.c_str(), entryPath);
        entry.state.store(Read, std::memory_order_release);
        ++done;
    }
    folder.filled = i;
    // Nothing more to read there.
    if (i >= folder.count || stale(generation) || folder.passed.load(std::memory_order_relaxed))
        folder.filled = folder.count;
}

void ReadAhead::readFolder(const std::string& path, std::uint64_t generation)
{
    auto folder = std::make_shared<Folder>();
    folder->path = path;
    folder->generation = generation;
    std::string pattern;
    {
        platform::MutexLock lock(m_mutex);
        pattern = m_filePattern;
    }
    std::vector<std::string> files;
    std::vector<std::string> subfolders;
    platform::FolderReader dir;
    if (dir.open(path.c_str())) {
        bool everyType = true;
        while (const dirent64* entry = dir.next()) {
            folder->listed.push_back(platform::ListedName{std::string(entry->d_name), entry->d_type});
            everyType = everyType && entry->d_type != DT_UNKNOWN;
            // A folder of a million entries is not read to its end for a
            // walk that has gone elsewhere, or a scan that has ended.
            if (folder->listed.size() % 4096 == 0 && stale(generation))
                break;
        }
        // The end of the folder, not a failed read.
        folder->listedWhole = errno == 0 && everyType;
        // In the walk's order, which is the order its listing wants too.
        std::sort(folder->listed.begin(), folder->listed.end(),
                  [](const platform::ListedName& a, const platform::ListedName& b) {
                      return walkOrder(a.name, b.name);
                  });
        for (const platform::ListedName& entry : folder->listed) {
            const std::string_view name = entry.name;
            if (name == "." || name == "..")
                continue;
            if (dir.isFolder(entry.name.c_str(), entry.type))
                subfolders.emplace_back(name);
            else if (netnames::isNetWareName(name) && (pattern.empty() || platform::wildcardMatch(pattern, name)))
                files.emplace_back(name);
        }
        if (!folder->listedWhole)
            folder->listed.clear();
        // Kept open while the folder is known, for every read of its files.
        if (!files.empty())
            folder->fd = dir.release();
    }
    folder->count = files.size();
    folder->entries = std::make_unique<Entry[]>(files.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        folder->entries[i].name = std::move(files[i]);

    {
        platform::MutexLock lock(m_mutex);
        m_listing.clear();
        if (stale(generation) || m_stopping)
            return;
        m_folders.push_back(folder);
        m_entriesAhead += folder->count;
        for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
            m_plan.push_back(path + "/" + *it);
        m_progress.fetch_add(1, std::memory_order_release);
    }

    // The status of every file, which the caller's listing wants; the
    // extended attributes come later, when the reader is ahead.
    statEntries(*folder, generation);
    {
        platform::MutexLock lock(m_mutex);
        folder->stated = true;
        m_progress.fetch_add(1, std::memory_order_release);
    }
}
