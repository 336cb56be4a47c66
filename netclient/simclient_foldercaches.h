#pragma once

// The folder caches of the simulated client: each host folder's names with
// their short names (name space 0), and the way from a volume's or a
// handle's folder down a path of names to the entry it names. The client's
// path operations ask them, from the walk's thread only.
//
// A folder is listed at its first use and kept, up to 512 folders, until
// forget(): the client forgets them all at every scan's start and end, and
// outside a scan at every call, so nothing listed is trusted beyond the scan
// (or the call) that listed it. Within a scan a folder the read-ahead listed
// is taken as it listed it.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "netclient/nwclient.h"
#include "platform/drives.h"

namespace simclient {

struct FolderEntry {
    std::string name;       // as on the host
    std::string shortName;  // name space 0
    bool directory = false;
};

// The names of one host folder with their short names.
struct FolderCache {
    std::vector<FolderEntry> entries;  // sorted by the bytes of the name
    // Built at the first lookup of a name not spelt as listed: the entries
    // in the order of their short names, and in the listing order (a-z in
    // capitals, then by bytes).
    mutable std::vector<std::uint32_t> byShortName;
    mutable std::vector<std::uint32_t> byFoldedName;
    mutable bool indexed = false;
    std::uint64_t lastUse = 0;

    // The exact name, else the name blind to case, else the short name.
    const FolderEntry* find(std::string_view name, std::string& scratch, std::size_t* position) const;
};

// Where a path led through the folder caches.
struct Resolution {
    std::string hostPath;
    std::string dosPath;   // short names joined by backslashes
    std::string longPath;  // host names joined by backslashes
    std::string name;
    std::string shortName;
    bool directory = false;
    std::size_t position = 0;  // in its folder's sorted entries
};

class FolderCaches {
public:
    // A listing of a host folder read already in this scan, or nullptr.
    using ListingSource = std::function<const std::vector<platform::ListedName>*(const std::string& folder)>;
    void setListingSource(ListingSource source) { m_source = std::move(source); }

    // The cache of a host folder; nullptr when it cannot be listed. Valid
    // until the next call.
    const FolderCache* folder(const std::string& hostFolder);
    // Follows the first count parts, each a name in a folder (exact, in other
    // capitals, or short), from the host folder base. kErrNoSuchFile when a
    // name is not found, kErrInvalidPath when a part before the last is no
    // folder.
    NWCCODE resolve(std::string_view base, const std::vector<std::string_view>& parts, std::size_t count,
                    Resolution& result);
    void forget();

    // How many times a host folder was listed for its names (or taken from
    // the read-ahead's listing).
    std::uint64_t listings() const { return m_listings; }

private:
    FolderCache* cacheOf(const std::string& folder);
    bool list(const std::string& folder, FolderCache& cache);
    void makeRoom();

    std::unordered_map<std::string, FolderCache> m_folders;
    std::uint64_t m_useClock = 0;
    std::uint64_t m_listings = 0;
    ListingSource m_source;
    std::string m_scratch;

    // The steps of the last two resolutions, one from a volume's folder and
    // one from a handle's (a walk asks by path, then through a handle of the
    // file's folder): a resolution through the same folders takes them as
    // they were.
    struct Step {
        std::string part;
        FolderCache* cache = nullptr;
        const FolderEntry* entry = nullptr;
        std::size_t position = 0;
        std::size_t hostLength = 0;
        std::size_t dosLength = 0;
        std::size_t longLength = 0;
    };
    struct Chain {
        std::string base;
        std::vector<Step> steps;
        std::string hostPath;
        std::string dosPath;
        std::string longPath;
    };
    std::array<Chain, 2> m_chains;
    std::size_t m_lastChain = 0;
};

}  // namespace simclient
