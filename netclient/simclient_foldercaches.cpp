// The folder caches of the simulated client (see simclient_foldercaches.h).

#include "netclient/simclient_foldercaches.h"

#include <dirent.h>

#include <algorithm>

#include "netclient/netnames.h"
#include "netclient/simclient.h"
#include "platform/asciicase.h"
#include "platform/folderreader.h"

using namespace simclient;

namespace {

// Folders whose names and short names are kept; the least recently used go
// first, a quarter at a time. A path reaches fewer folders than the three
// quarters kept (its 511 characters hold at most 256).
constexpr std::size_t kMaxCachedFolders = 512;

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

}  // namespace

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
    const auto folded = std::lower_bound(byFoldedName.begin(), byFoldedName.end(), name,
                                         [&](std::uint32_t i, std::string_view n) {
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
                                          [&](std::uint32_t i, const std::string& n) {
                                              return entries[i].shortName < n;
                                          });
    if (byShort == byShortName.end() || entries[*byShort].shortName != scratch)
        return nullptr;
    *position = *byShort;
    return &entries[*byShort];
}

void FolderCaches::forget()
{
    m_folders.clear();
    m_chains = {};
}

// The read-ahead's listing of the folder, when it has one, else the host's.
bool FolderCaches::list(const std::string& folder, FolderCache& cache)
{
    if (const std::vector<platform::ListedName>* given = m_source ? m_source(folder) : nullptr) {
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
        std::sort(cache.entries.begin(), cache.entries.end(),
                  [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    }
    nameEntries(cache);
    ++m_listings;
    return true;
}

// Before a lookup that may list folders: when the caches are full, the
// quarter least recently used goes at once, so that a walk through many
// folders does not look for the oldest at every new one. The steps kept
// may lead through them: they go too.
void FolderCaches::makeRoom()
{
    if (m_folders.size() < kMaxCachedFolders)
        return;
    using Folder = decltype(m_folders)::iterator;
    std::vector<std::pair<std::uint64_t, Folder>> byUse;
    byUse.reserve(m_folders.size());
    for (Folder folder = m_folders.begin(); folder != m_folders.end(); ++folder)
        byUse.emplace_back(folder->second.lastUse, folder);
    const std::size_t count = kMaxCachedFolders / 4;
    std::nth_element(byUse.begin(), byUse.begin() + static_cast<std::ptrdiff_t>(count), byUse.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < count; ++i)
        m_folders.erase(byUse[i].second);
    m_chains = {};
}

FolderCache* FolderCaches::cacheOf(const std::string& folder)
{
    auto found = m_folders.find(folder);
    if (found == m_folders.end()) {
        found = m_folders.emplace(folder, FolderCache{}).first;
        if (!list(folder, found->second)) {
            m_folders.erase(found);
            return nullptr;
        }
    }
    found->second.lastUse = ++m_useClock;
    return &found->second;
}

const FolderCache* FolderCaches::folder(const std::string& hostFolder)
{
    makeRoom();
    return cacheOf(hostFolder);
}

NWCCODE FolderCaches::resolve(std::string_view base, const std::vector<std::string_view>& parts, std::size_t count,
                              Resolution& result)
{
    makeRoom();
    result.hostPath.assign(base);
    result.dosPath.clear();
    result.longPath.clear();
    result.name.clear();
    result.shortName.clear();
    result.directory = true;
    result.position = 0;

    const std::size_t which = m_chains[0].base == base ? 0 : m_chains[1].base == base ? 1 : m_lastChain ^ 1;
    m_lastChain = which;
    Chain& chain = m_chains[which];
    if (chain.base != base) {
        chain.base.assign(base);
        chain.steps.clear();
    }
    // The steps of the last resolution from the same folder, as far as this
    // one goes the same way.
    std::size_t reused = 0;
    while (reused < count && reused < chain.steps.size() && chain.steps[reused].part == parts[reused])
        chain.steps[reused++].cache->lastUse = ++m_useClock;
    if (reused > 0) {
        const Step& step = chain.steps[reused - 1];
        result.hostPath.assign(chain.hostPath, 0, step.hostLength);
        result.dosPath.assign(chain.dosPath, 0, step.dosLength);
        result.longPath.assign(chain.longPath, 0, step.longLength);
        result.name = step.entry->name;
        result.shortName = step.entry->shortName;
        result.directory = step.entry->directory;
        result.position = step.position;
    }
    // A folder on the way of the last resolution (a file's own folder, asked
    // for between two of its files): the steps stay as they were, deeper,
    // for the next file.
    if (reused == count && chain.steps.size() > count)
        return nw::kSuccess;
    // The folder of the first step not taken as it was is the one that step
    // looked in: another entry of the same folder.
    FolderCache* const sameFolder = reused < chain.steps.size() ? chain.steps[reused].cache : nullptr;
    chain.steps.resize(reused);
    const auto finish = [&](NWCCODE code) {
        chain.hostPath = result.hostPath;
        chain.dosPath = result.dosPath;
        chain.longPath = result.longPath;
        return code;
    };

    for (std::size_t i = reused; i < count; ++i) {
        if (!result.directory)
            return finish(nw::kErrInvalidPath);
        FolderCache* const cache = i == reused && sameFolder != nullptr ? sameFolder : cacheOf(result.hostPath);
        if (cache == nullptr)
            return finish(nw::kErrNoSuchFile);
        cache->lastUse = ++m_useClock;
        std::size_t position = 0;
        const FolderEntry* entry = cache->find(parts[i], m_scratch, &position);
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
        chain.steps.push_back(Step{std::string(parts[i]), cache, entry, position, result.hostPath.size(),
                                   result.dosPath.size(), result.longPath.size()});
    }
    return finish(nw::kSuccess);
}
