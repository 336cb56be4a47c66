// The folder caches of the simulated client: each host folder's names and
// short names, read once and kept while change watches (or, failing them, the
// folder's status) say nothing has changed.

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#if defined(__x86_64__)
#include <x86intrin.h>
#endif

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "netclient/changeevents.h"
#include "netclient/netnames.h"
#include "netclient/simclient_state.h"
#include "platform/asciicase.h"
#include "platform/folderreader.h"

using namespace simclient;

namespace {

// Folders whose names and short names are kept; the least recently used go
// first, a quarter at a time. A path reaches fewer folders than the three
// quarters kept (its 511 characters hold at most 256), and it uses them last,
// so one path never evicts its own folders.
constexpr std::size_t kMaxCachedFolders = 512;
// Watches let go before the descriptor is renewed: far below the system's
// usual limit of watches per user.
constexpr std::size_t kMaxWatchesLetGo = 2048;

} // namespace

bool FolderCache::matches(const struct stat& info) const
{
    return !changed && device == info.st_dev && inode == info.st_ino && modified.tv_sec == info.st_mtim.tv_sec &&
           modified.tv_nsec == info.st_mtim.tv_nsec;
}

const FolderEntry* FolderCache::find(std::string_view name, std::string& scratch, std::size_t* position) const
{
    const auto exact = std::lower_bound(entries.begin(), entries.end(), name,
                                        [](const FolderEntry& e, std::string_view n) { return e.name < n; });
    if (exact != entries.end() && exact->name == name) {
        *position = static_cast<std::size_t>(exact - entries.begin());
        return &*exact;
    }
    // The other spellings are indexed at the first lookup that needs them: a
    // walk asks for names exactly as they were listed. In capitals, of the
    // names equal but for case the first by bytes is found.
    if (!indexed) {
        byFoldedName.resize(entries.size());
        byShortName.clear();
        for (std::uint32_t i = 0; i < entries.size(); ++i) {
            byFoldedName[i] = i;
            if (!entries[i].shortName.empty())
                byShortName.push_back(i);
        }
        std::sort(byFoldedName.begin(), byFoldedName.end(), [&](std::uint32_t a, std::uint32_t b) {
            return ascii::compareListingOrder(entries[a].name, entries[b].name) < 0;
        });
        std::sort(byShortName.begin(), byShortName.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return entries[a].shortName < entries[b].shortName; });
        indexed = true;
    }
    const auto folded = std::lower_bound(byFoldedName.begin(), byFoldedName.end(), name, [&](std::uint32_t i, std::string_view n) {
        return ascii::compareFolded(entries[i].name, n) < 0;
    });
    if (folded != byFoldedName.end() && ascii::compareFolded(entries[*folded].name, name) == 0) {
        *position = *folded;
        return &entries[*folded];
    }
    scratch.assign(name);
    for (char& c : scratch)
        c = ascii::toUpper(c);
    const auto byShort = std::lower_bound(byShortName.begin(), byShortName.end(), scratch,
                                          [&](std::uint32_t i, const std::string& n) { return entries[i].shortName < n; });
    if (byShort == byShortName.end() || entries[*byShort].shortName != scratch)
        return nullptr;
    *position = *byShort;
    return &entries[*byShort];
}

// The one notification descriptor, opened at first use; false when the
// system gives none, which leaves every folder to be checked by its status.
bool SimClient::State::openNotify()
{
    if (notifyFd < 0 && !notifyFailed) {
        notifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        notifyFailed = notifyFd < 0;
    }
    return notifyFd >= 0;
}

void SimClient::State::closeWatches()
{
    if (notifyFd >= 0)
        ::close(notifyFd);
    notifyFd = -1;
    notifyFailed = false;
    watchUsers.clear();
    watchesLetGo = 0;
    aboveVolumeWatches.clear();
    volumeRootsWatched = false;
    ++trustEpoch;
}

namespace {

void clearEntries(FolderCache& cache)
{
    cache.entries.clear();
    cache.byShortName.clear();
    cache.byFoldedName.clear();
    cache.indexed = false;
}

bool byNameBytes(const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; }

// The entries of a listing in the order of the bytes of their names; entries
// NetWare cannot hold are not on the volume at all.
void addListed(FolderCache& cache, const std::vector<platform::ListedName>& listed)
{
    std::vector<const platform::ListedName*> order;
    order.reserve(listed.size());
    for (const platform::ListedName& entry : listed)
        if (netnames::isNetWareName(entry.name))
            order.push_back(&entry);
    std::sort(order.begin(), order.end(),
              [](const platform::ListedName* a, const platform::ListedName* b) { return a->name < b->name; });
    cache.entries.reserve(order.size());
    for (const platform::ListedName* entry : order)
        cache.entries.push_back(FolderEntry{entry->name, {}, entry->type == DT_DIR});
}

// Gives the entries, in the order of the bytes of their names, their short names.
void nameEntries(FolderCache& cache)
{
    std::vector<std::string_view> names;
    names.reserve(cache.entries.size());
    for (const FolderEntry& entry : cache.entries)
        names.push_back(entry.name);
    std::vector<std::string> shortNames = netnames::assignShortNames(names);
    for (std::size_t i = 0; i < cache.entries.size(); ++i)
        cache.entries[i].shortName = std::move(shortNames[i]);
}

} // namespace

bool SimClient::State::listFolder(const std::string& folder, FolderCache& cache)
{
    clearEntries(cache);
    // The second reader's listing, when it listed the folder after the
    // cache's watch could have missed a change: its own watch, older than
    // its listing, has reported nothing since.
    lookahead.noticeChanges();
    if (const std::vector<platform::ListedName>* given = lookahead.listingOf(folder)) {
        addListed(cache, *given);
    } else {
        platform::FolderReader dir;
        if (!dir.open(folder.c_str()))
            return false;
        while (const dirent64* entry = dir.next()) {
            const std::string_view name = entry->d_name;
            if (!netnames::isNetWareName(name))
                continue;
            cache.entries.push_back(FolderEntry{std::string(name), {}, dir.isFolder(*entry)});
        }
        std::sort(cache.entries.begin(), cache.entries.end(), byNameBytes);
    }
    nameEntries(cache);
    ++listings;
    return true;
}

void SimClient::State::watchAboveVolumes()
{
    if (!openNotify())
        return;
    constexpr std::uint32_t kMask =
        IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    for (const VolumeState& volume : volumes) {
        const std::string& folder = volume.hostFolder;
        if (folder.empty() || folder.front() != '/')
            return;
        for (std::size_t slash = folder.rfind('/'); slash != std::string::npos && slash > 0;
             slash = folder.rfind('/', slash - 1)) {
            const int watch = ::inotify_add_watch(notifyFd, folder.substr(0, slash).c_str(), kMask);
            if (watch < 0)
                return;
            aboveVolumeWatches.push_back(watch);
        }
        const int top = ::inotify_add_watch(notifyFd, "/", kMask);
        if (top < 0)
            return;
        aboveVolumeWatches.push_back(top);
    }
    volumeRootsWatched = true;
}

void SimClient::State::watchFolder(const std::string& folder, FolderCache& cache)
{
    if (!openNotify())
        return;
    // A link, renamed, created or removed entry, and the folder itself moved,
    // removed or replaced (its link count changes).
    constexpr std::uint32_t kMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                    IN_MOVE_SELF | IN_ATTRIB | IN_ONLYDIR | IN_DONT_FOLLOW;
    cache.watch = ::inotify_add_watch(notifyFd, folder.c_str(), kMask);
    if (cache.watch >= 0)
        ++watchUsers[cache.watch];
}

// A watch no folder uses any more is not removed on its own (a removal costs
// as much as a listing): it stays, unheard, until many have gathered, and
// then the descriptor goes with all of them at once (renewWatches).
void SimClient::State::releaseWatch(FolderCache& cache)
{
    if (cache.watch < 0)
        return;
    // A lent watch goes back to the reader, unless its descriptor went since.
    if (cache.lentIn != 0) {
        if (cache.lentIn == lookahead.lendingGeneration())
            lookahead.returnWatch(cache.watch);
        cache.watch = -1;
        cache.lentIn = 0;
        return;
    }
    const auto users = watchUsers.find(cache.watch);
    if (users != watchUsers.end() && --users->second <= 0) {
        watchUsers.erase(users);
        ++watchesLetGo;
    }
    cache.watch = -1;
}

// Closes the descriptor with every watch on it, and forgets the folders
// cached under them; the volumes' own watches are set again.
void SimClient::State::renewWatches()
{
    forgetFolders();
    closeWatches();
    watchAboveVolumes();
}

// Forgets every folder cached, giving back the watches lent.
void SimClient::State::forgetFolders()
{
    for (auto& [name, cache] : folders)
        if (cache.lentIn != 0)
            releaseWatch(cache);
    lastChains = {};
    folderNames.clear();
    folders.clear();
}

namespace {

// The processor's time-stamp counter where it runs at one rate on every
// processor, else the system's monotonic clock: a caller's gaps are measured
// at every call, and the clock of a virtual machine costs several times the
// counter's read.
bool steadyCounter()
{
#if defined(__x86_64__)
    static const bool steady = [] {
        std::FILE* info = std::fopen("/proc/cpuinfo", "r");
        if (info == nullptr)
            return false;
        char line[4096];
        bool found = false;
        while (!found && std::fgets(line, sizeof line, info) != nullptr)
            if (std::strncmp(line, "flags", 5) == 0)
                found = std::strstr(line, " constant_tsc") != nullptr && std::strstr(line, " nonstop_tsc") != nullptr;
        std::fclose(info);
        return found;
    }();
    return steady;
#else
    return false;
#endif
}

std::int64_t now()
{
#if defined(__x86_64__)
    if (steadyCounter())
        return static_cast<std::int64_t>(__rdtsc());
#endif
    timespec clock{};
    ::clock_gettime(CLOCK_MONOTONIC, &clock);
    return static_cast<std::int64_t>(clock.tv_sec) * 1000000000 + clock.tv_nsec;
}

// Half the shortest of a few of the cheapest system calls there are, in the
// units of now().
std::int64_t quickestSystemCall()
{
    std::int64_t quickest = INT64_MAX;
    for (int i = 0; i < 64; ++i) {
        const std::int64_t before = now();
        (void)::getppid();
        quickest = std::min(quickest, now() - before);
    }
    return quickest / 2;
}

} // namespace

void SimClient::State::callBegins()
{
    if (quietGap < 0) {
        static const std::int64_t measured = quickestSystemCall();  // once per process
        quietGap = measured;
    }
    if (now() - lastCallEnd > quietGap) {
        folderWatchesRead = false;
        aheadWatchesRead = false;
        watchesPolled = false;
        ++quietWindow;
    }
}

void SimClient::State::callEnds() { lastCallEnd = now(); }

// Each kind of watch at most once while the caller stays quiet, and only
// where it is needed: path resolution asks the folder caches, the files'
// facts the second reader.
void SimClient::State::readFolderWatches()
{
    if (folderWatchesRead)
        return;
    pollWatches();
    if (ownPending)
        noticeChanges();
    noticeLentChanges();
    folderWatchesRead = true;
}

void SimClient::State::readAheadWatches()
{
    if (aheadWatchesRead)
        return;
    pollWatches();
    if (aheadPending)
        lookahead.noticeChanges();
    aheadWatchesRead = true;
}

// One look at both descriptors, the first time either kind is needed while
// the caller stays quiet: mostly neither has anything to say, and one call
// tells it for both.
void SimClient::State::pollWatches()
{
    if (watchesPolled)
        return;
    pollfd descriptors[2] = {{notifyFd, POLLIN, 0}, {lookahead.notifyDescriptor(), POLLIN, 0}};
    if (notifyFd < 0 && descriptors[1].fd < 0) {
        ownPending = aheadPending = false;
    } else if (::poll(descriptors, 2, 0) < 0) {
        ownPending = aheadPending = true;  // read both to know
    } else {
        ownPending = descriptors[0].revents != 0;
        aheadPending = descriptors[1].revents != 0;
    }
    watchesPolled = true;
}

// A listing is no client call: whatever the caller did before it, the
// second reader's watches are read before its files are taken from what was
// read ahead. The pattern of the walk's listing tells the reader which files
// the walk will ask for.
void SimClient::State::ListingStatus::beginFolder(const std::string& hostFolder, std::string_view filePattern)
{
    m_state.folderWatchesRead = false;
    m_state.aheadWatchesRead = false;
    m_state.watchesPolled = false;
    ++m_state.quietWindow;
    m_state.readAheadWatches();
    if (!filePattern.empty())
        m_state.lookahead.setFilePattern(filePattern);
    m_state.lookahead.peekFolder(hostFolder, !filePattern.empty());
}

const std::vector<platform::ListedName>* SimClient::State::ListingStatus::listing()
{
    return m_state.lookahead.peekListing();
}

// The listing itself changes nothing: its end counts as the end of a call,
// so a caller that comes straight back from it finds what was read before it
// still true.
void SimClient::State::ListingStatus::endFolder() { m_state.callEnds(); }

bool SimClient::State::ListingStatus::status(std::string_view name, std::uint64_t& size, std::uint32_t& mode)
{
    if (!m_state.lookahead.peekStatus(name, m_status))
        return false;
    size = m_status.stx_size;
    mode = m_status.stx_mode;
    return true;
}

// Reads what the watches reported since the last call: one read when nothing changed.
void SimClient::State::noticeChanges()
{
    // Without a watch nothing can be reported that matters.
    if (notifyFd < 0 || (watchUsers.empty() && aboveVolumeWatches.empty()))
        return;
    bool changed = false;
    bool lostTrack = false;
    std::vector<int> changedWatches;
    std::vector<int> goneWatches;
    readChangeEvents(notifyFd, [&](const inotify_event& event, std::string_view) {
        if (event.wd < 0 || (event.mask & IN_Q_OVERFLOW) != 0) {
            lostTrack = true;
        } else if (watchUsers.count(event.wd) == 0 &&
                   std::find(aboveVolumeWatches.begin(), aboveVolumeWatches.end(), event.wd) ==
                       aboveVolumeWatches.end()) {
            return;  // a watch we let go says nothing of the folders cached
        } else if ((event.mask & IN_IGNORED) != 0) {
            goneWatches.push_back(event.wd);  // its folder was removed
        } else {
            changedWatches.push_back(event.wd);
        }
        changed = true;
    });
    if (!changed)
        return;
    ++trustEpoch;
    for (int watch : goneWatches) {
        watchUsers.erase(watch);
        if (std::find(aboveVolumeWatches.begin(), aboveVolumeWatches.end(), watch) != aboveVolumeWatches.end())
            volumeRootsWatched = false;
    }
    if (lostTrack)
        volumeRootsWatched = false;
    for (auto& [name, cache] : folders) {
        if (cache.watch < 0 || cache.lentIn != 0)
            continue;
        if (lostTrack || std::find(changedWatches.begin(), changedWatches.end(), cache.watch) != changedWatches.end())
            cache.changed = true;
        if (std::find(goneWatches.begin(), goneWatches.end(), cache.watch) != goneWatches.end()) {
            cache.changed = true;
            cache.watch = -1;
        }
    }
}

// What the watches the second reader lent reported, read with its own
// (once while the caller stays quiet, like ours).
void SimClient::State::noticeLentChanges()
{
    // The reader closed its descriptor: every watch it lent went with it,
    // and what happened in those folders since is unknown. They are read
    // again when next used, under watches of our own.
    if (lendingSeen != lookahead.lendingGeneration()) {
        bool anyLent = false;
        for (auto& [name, cache] : folders) {
            if (cache.lentIn == 0)
                continue;
            cache.watch = -1;
            cache.lentIn = 0;
            cache.changed = true;
            anyLent = true;
        }
        if (anyLent)
            ++trustEpoch;
        lendingSeen = lookahead.lendingGeneration();
    }
    if (lookahead.anyLent())
        readAheadWatches();
    const bool lostTrack = lookahead.takeLentChanges(lentChanges);
    if (lentChanges.empty() && !lostTrack)
        return;
    ++trustEpoch;
    for (auto& [name, cache] : folders) {
        if (cache.lentIn == 0)
            continue;
        bool changed = lostTrack;
        bool gone = false;
        for (const Lookahead::LentChange& change : lentChanges) {
            if (change.watch != cache.watch)
                continue;
            changed = true;
            gone = gone || change.gone;
        }
        cache.changed = cache.changed || changed;
        if (gone) {
            cache.watch = -1;  // the folder was removed, and its watch with it
            cache.lentIn = 0;
        }
    }
    lentChanges.clear();
}

// Forgets the count least recently used folders at once, so that a walk
// through many folders does not look for the oldest at every new one. Their
// watches go, so what lies below them is checked again.
void SimClient::State::forgetOldestFolders(std::size_t count)
{
    using Folder = decltype(folders)::iterator;
    std::vector<std::pair<std::uint64_t, Folder>> byUse;
    byUse.reserve(folders.size());
    for (Folder folder = folders.begin(); folder != folders.end(); ++folder)
        byUse.emplace_back(folder->second.lastUse, folder);
    count = std::min(count, byUse.size());
    std::nth_element(byUse.begin(), byUse.begin() + static_cast<std::ptrdiff_t>(count), byUse.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < count; ++i) {
        const Folder folder = byUse[i].second;
        releaseWatch(folder->second);
        folderNames.erase(folder->first);
        folders.erase(folder);
    }
    // A folder forgotten no longer reports its changes.
    if (count > 0)
        ++trustEpoch;
}

// The cache of a host folder, read again when it changed. With checkStatus
// false the caller has just checked the folder above it, so a watched folder
// of the current epoch is taken as it is.
FolderCache* SimClient::State::folderCache(const std::string& folder, bool checkStatus)
{
    auto found = folders.find(folder);
    if (!checkStatus && found != folders.end() && found->second.watch >= 0 &&
        found->second.trustedIn == trustEpoch) {
        found->second.lastUse = ++useClock;
        return &found->second;
    }
    // A folder first met on a way through watched folders, which the second
    // reader listed ahead of a walk: taken as it was listed.
    if (!checkStatus && found == folders.end())
        if (FolderCache* lent = lentFolderCache(folder))
            return lent;
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return nullptr;
    if (found != folders.end() && found->second.matches(info)) {
        found->second.lastUse = ++useClock;
        found->second.trustedIn = trustEpoch;
        return &found->second;
    }
    // A folder read again may lead to other folders than before: a new epoch.
    if (found == folders.end()) {
        found = newFolderCache(folder);
    } else {
        if (found->second.device != info.st_dev || found->second.inode != info.st_ino)
            releaseWatch(found->second);  // another folder now has this name
        ++trustEpoch;
    }
    FolderCache& cache = found->second;
    // Watched before it is read, so a change while reading is seen next time.
    if (cache.watch < 0)
        watchFolder(folder, cache);
    if (!listFolder(folder, cache)) {
        releaseWatch(cache);
        folderNames.erase(found->first);
        folders.erase(found);
        return nullptr;
    }
    return settle(cache, info.st_dev, info.st_ino, info.st_mtim);
}

// A cache just read, of the folder device and inode as it was at modified:
// current in this epoch.
FolderCache* SimClient::State::settle(FolderCache& cache, dev_t device, ino_t inode, const timespec& modified)
{
    cache.device = device;
    cache.inode = inode;
    cache.modified = modified;
    cache.changed = false;
    cache.lastUse = ++useClock;
    cache.trustedIn = trustEpoch;
    return &cache;
}

// The cache of a folder met for the first time, still empty.
std::unordered_map<std::string, FolderCache>::iterator SimClient::State::newFolderCache(const std::string& folder)
{
    if (watchesLetGo >= kMaxWatchesLetGo)
        renewWatches();
    if (folders.size() >= kMaxCachedFolders)
        forgetOldestFolders(kMaxCachedFolders / 4);
    // A folder read for the first time may lead to other folders than those
    // cached below it: a new epoch. A walk reads most folders before anything
    // below them, and a folder with nothing cached below it changes nothing
    // known.
    const std::string top = folder.back() == '/' ? folder : folder + '/';
    const auto next = folderNames.lower_bound(top);
    if (next != folderNames.end() && next->substr(0, top.size()) == top)
        ++trustEpoch;
    const auto found = folders.emplace(folder, FolderCache{}).first;
    folderNames.insert(found->first);
    return found;
}

// The cache of a folder the second reader listed, with the watch it set
// before the listing; nullptr when it has none to lend.
FolderCache* SimClient::State::lentFolderCache(const std::string& folder)
{
    // Its watches read once while the caller stays quiet, as the walk's own
    // listing did. (A lending generation gone is noticed with the folders'
    // watches, at the start of a resolution.)
    readAheadWatches();
    Lookahead::LentFolder lent;
    if (lendingSeen != lookahead.lendingGeneration() || !lookahead.lendFolder(folder, lent))
        return nullptr;
    FolderCache& cache = newFolderCache(folder)->second;
    cache.watch = lent.watch;
    cache.lentIn = lendingSeen;
    clearEntries(cache);
    addListed(cache, *lent.listed);
    nameEntries(cache);
    ++listings;
    return settle(cache, lent.device, lent.inode, lent.modified);
}

NWCCODE SimClient::State::resolveCached(const Target& target, std::size_t count, Resolution& result)
{
    result.hostPath.assign(target.base);
    result.dosPath.clear();
    result.longPath.clear();
    result.name.clear();
    result.shortName.clear();
    result.directory = true;
    result.position = 0;
    lastFolderWatched = false;
    readFolderWatches();
    chainWatched = target.fromHandle ? target.baseReachedIn == trustEpoch : volumeRootsWatched;

    // The folders the last resolution went through, as far as this one goes
    // the same way and each is still watched and current.
    // Two are kept, one from a volume's root and one from a handle, as a walk
    // asks by path and then through a handle of the file's folder.
    const std::size_t which =
        lastChains[0].base == target.base ? 0 : lastChains[1].base == target.base ? 1 : lastChainUsed ^ 1;
    lastChainUsed = which;
    ResolvedChain& chain = lastChains[which];
    const std::uint64_t epoch = trustEpoch;
    const bool startTrusted = chainWatched;
    const bool chainCurrent = startTrusted && chain.epoch == epoch && chain.base == target.base;
    const auto stillCurrent = [&](std::size_t step) {
        const FolderCache& cache = *chain.steps[step].cache;
        return cache.watch >= 0 && cache.trustedIn == epoch;
    };
    std::size_t reused = 0;
    while (chainCurrent && reused < count && reused < chain.steps.size() && chain.steps[reused].part == parts[reused] &&
           stillCurrent(reused))
        ++reused;
    for (std::size_t i = 0; i < reused; ++i)
        chain.steps[i].cache->lastUse = ++useClock;
    // The folder of the first step not taken as it was is the one that step
    // looked in then: another file of the same folder.
    FolderCache* const sameFolder = chainCurrent && reused < count && reused < chain.steps.size() && stillCurrent(reused)
                                        ? chain.steps[reused].cache
                                        : nullptr;
    if (reused > 0) {
        const ResolvedStep& step = chain.steps[reused - 1];
        result.hostPath.assign(chain.hostPath, 0, step.hostLength);
        result.dosPath.assign(chain.dosPath, 0, step.dosLength);
        result.longPath.assign(chain.longPath, 0, step.longLength);
        result.name = step.entry->name;
        result.shortName = step.entry->shortName;
        result.directory = step.entry->directory;
        result.position = step.position;
        lastFolderWatched = true;
    }
    // A folder on the way of the last resolution (a file's own folder, asked
    // for between two of its files): the chain stays as it was, deeper, for
    // the next file.
    if (reused == count && chain.steps.size() > count)
        return nw::kSuccess;
    chain.steps.resize(reused);
    // What this resolution found is kept, when it all happened in one epoch.
    const auto finish = [&](NWCCODE code) {
        if (!startTrusted || trustEpoch != epoch) {
            chain.epoch = 0;
            chain.steps.clear();
            return code;
        }
        chain.epoch = epoch;
        chain.base.assign(target.base);
        chain.hostPath = result.hostPath;
        chain.dosPath = result.dosPath;
        chain.longPath = result.longPath;
        return code;
    };

    for (std::size_t i = reused; i < count; ++i) {
        if (!result.directory)
            return finish(nw::kErrInvalidPath);
        // The first folder is checked by its status; each one below only when
        // the one above it reports no changes.
        const bool trustedStart = i == 0 && chainWatched;
        FolderCache* cache = nullptr;
        if (i == reused && sameFolder != nullptr) {
            cache = sameFolder;
            cache->lastUse = ++useClock;
        } else {
            cache = folderCache(result.hostPath, !(lastFolderWatched || trustedStart));
        }
        if (cache == nullptr)
            return finish(nw::kErrNoSuchFile);
        lastFolderWatched = cache->watch >= 0;
        chainWatched = chainWatched && lastFolderWatched;
        std::size_t position = 0;
        const FolderEntry* entry = cache->find(parts[i], scratch, &position);
        if (entry == nullptr)
            return finish(nw::kErrNoSuchFile);
        result.hostPath += '/';
        result.hostPath += entry->name;
        if (i > 0) {
            result.dosPath += '\\';
            result.longPath += '\\';
        }
        result.dosPath += entry->shortName;
        result.longPath += entry->name;
        result.name = entry->name;
        result.shortName = entry->shortName;
        result.directory = entry->directory;
        result.position = position;
        if (chainWatched && chain.steps.size() == i)
            chain.steps.push_back(ResolvedStep{std::string(parts[i]), cache, entry, position, result.hostPath.size(),
                                               result.dosPath.size(), result.longPath.size()});
    }
    return finish(nw::kSuccess);
}
