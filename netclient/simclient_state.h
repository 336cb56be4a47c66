#pragma once

// The inside of the simulated client, shared by netclient/simclient*.cpp only:
// the state behind SimClient and the records it keeps.

#include <sys/stat.h>
#include <sys/types.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "netclient/ldaplink.h"
#include "netclient/simclient.h"
#include "netclient/simclient_lookahead.h"
#include "netclient/workstation.h"
#include "platform/drives.h"

namespace simclient {

// Paths are held in 512-byte texts.
inline constexpr std::size_t kMaxPath = 511;
inline constexpr std::size_t kNameBufferSize = 256;
inline constexpr char kRootName[] = "[root]";

constexpr std::size_t index(workstation::Operation operation) { return static_cast<std::size_t>(operation); }

// False, leaving out as it was, when the text and its terminator do not fit.
bool copyText(std::string_view text, char* out, std::size_t capacity);
// Copies as much as fits, always terminated.
void copyTruncated(std::string_view text, char* out, std::size_t capacity);

struct FolderEntry {
    std::string name;       // as on the host
    std::string shortName;  // name space 0
    bool directory = false;
};

// The names of one host folder with their short names, kept while the
// folder's modification time stays the same.
struct FolderCache {
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    std::vector<FolderEntry> entries;  // sorted by the bytes of the name
    // Built at the first lookup of a name not spelt as listed: the entries
    // in the order of their short names, and in the listing order (a-z in
    // capitals, then by bytes).
    mutable std::vector<std::uint32_t> byShortName;
    mutable std::vector<std::uint32_t> byFoldedName;
    mutable bool indexed = false;
    std::uint64_t lastUse = 0;
    int watch = -1;               // the change watch on the folder, if it could be set
    std::uint64_t lentIn = 0;     // the watch is the second reader's, lent in this generation; 0: our own
    bool changed = false;         // its watch reported a change: read it again whatever its time says
    std::uint64_t trustedIn = 0;  // the trust epoch in which the folder was last known current

    bool matches(const struct stat& info) const;
    // The exact name, else the name blind to case, else the short name.
    const FolderEntry* find(std::string_view name, std::string& scratch, std::size_t* position) const;
};

struct VolumeState {
    std::size_t connection = 0;  // index into connections
    std::string name;
    std::string hostFolder;
};

struct DriveState {
    enum class Kind : std::uint8_t { None, Local, NetWare };
    Kind kind = Kind::None;
    std::size_t volume = 0;
    std::string prefix;  // the drive's folders below the volume root, joined by backslashes
};

struct HandleState {
    bool used = false;
    std::size_t volume = 0;
    std::string hostFolder;
    std::string volumePath;
    // The trust epoch in which the way to the folder was found through watched
    // folders only: while it lasts, the folder needs no status call.
    std::uint64_t reachedIn = 0;
};

struct ConnectionState {
    std::string server;
    std::vector<HandleState> handles = std::vector<HandleState>(nw::kMaxDirectoryHandles + 1);  // [0] unused
    int open = 0;
};

struct ContextState {
    std::uint32_t flags = 0;
    std::string nameContext = kRootName;
    std::vector<std::string> components;  // the name context without types, in capitals; empty for the top
};

// The listing of one container of a directory server, portion by portion:
// the children read so far and the page cookie of those still to come.
struct ServerListing {
    std::string cookie;
    bool pagesLeft = false;
};

struct DirObject {
    std::vector<std::string> components;  // object first
    std::vector<std::string_view> types;   // "CN", "OU", ... per component
    std::string className;
    std::vector<std::size_t> children;
    // Objects of a directory server: its DN, whether it has objects below
    // it (known before they are listed), and its listing.
    std::string dn;
    bool hasSubordinates = false;
    ServerListing listing;
};

struct ListedObject {
    std::size_t object = 0;
};

struct DsBuffer {
    std::size_t size = 0;
    bool listed = false;
    std::vector<ListedObject> objects;
    std::size_t next = 0;
};

// What the last read of extended attributes found, with the file's identity
// and status change time at the time.
struct XattrMemo {
    bool valid = false;
    dev_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t changedSec = 0;
    std::uint32_t changedNsec = 0;
    std::int64_t readAt = 0;  // seconds, realtime
    std::optional<std::int32_t> owner;
    std::optional<std::int32_t> attributes;
    std::optional<std::uint16_t> createdOverride;
};

struct HostFacts {
    bool directory = false;
    std::uint64_t size = 0;
    std::uint32_t attributes = 0;
    std::uint16_t createdDate = 0;
    std::uint32_t createdDateTime = 0;
    std::uint16_t accessedDate = 0;
    std::uint32_t updatedDateTime = 0;
    std::uint32_t owner = 0;
};

struct Target {
    const VolumeState* volume = nullptr;
    std::string_view base;  // host folder the parts start from
    bool fromHandle = false;
    std::uint64_t baseReachedIn = 0;  // a handle's reachedIn
};

// The context and the buffer an operation on a listing names.
struct Listing {
    ContextState* context = nullptr;
    DsBuffer* buffer = nullptr;
};

// Whether the last part of a path may be a wildcard pattern.
enum class LastPart : bool { Name, Pattern };

// The path a path operation was given, and where its parts start.
struct PathCall {
    std::string_view text;  // read no further than one past the longest path
    Target target;
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

} // namespace simclient

struct SimClient::State {
    std::string executableFolder;
    bool loaded = false;
    workstation::Workstation ws;
    std::string lastError;

    std::vector<simclient::VolumeState> volumes;
    std::array<simclient::DriveState, 26> drives;
    std::vector<simclient::ConnectionState> connections;  // handle = index + 1
    std::array<std::vector<const workstation::Fault*>, workstation::kOperationCount> faults;

    std::vector<simclient::DirObject> objects;
    std::unordered_map<std::string, std::size_t> objectByName;  // full name in capitals
    std::unordered_map<std::uint32_t, std::size_t> objectById;
    std::vector<std::size_t> topObjects;

    // [LDAP]: the directory server behind the directory operations. Objects
    // come into `objects` as they are listed or looked up; owner IDs are
    // asked once per scan, their answers (an object or none) kept here.
    std::unique_ptr<ldaplink::Link> ldap;
    simclient::ServerListing topListing;
    std::unordered_map<std::uint32_t, std::optional<std::size_t>> ownerLookups;
    std::uint64_t ldapRequests = 0;

    HostUserLookup hostUserLookup;
    std::unordered_map<std::uint32_t, std::optional<std::string>> hostUsers;

    std::vector<simclient::ContextState> contexts;  // handle = index + 1
    std::unordered_map<const void*, std::unique_ptr<simclient::DsBuffer>> buffers;
    std::size_t portionSize = 0;

    std::unordered_map<std::string, simclient::FolderCache> folders;
    std::set<std::string_view> folderNames;  // the keys of folders, in order: what lies below a folder
    std::uint64_t useClock = 0;
    std::uint64_t listings = 0;

    // Folder changes are seen through a change watch on every cached folder:
    // any change reported, a folder forgotten or read again starts a new trust
    // epoch, after which every folder is checked by its status again. Below a
    // folder just checked, a watched folder of the current epoch needs no
    // status call: nothing on the way to it has changed since it was read.
    int notifyFd = -1;
    bool notifyFailed = false;
    std::unordered_map<int, int> watchUsers;  // watch -> folders using it
    std::size_t watchesLetGo = 0;             // watches no folder uses, still set
    std::uint64_t trustEpoch = 1;
    bool lastFolderWatched = false;  // the deepest folder the last resolution went through
    bool chainWatched = false;       // and all folders on its way were watched, from a trusted start
    // The steps of the last resolution that started from a trusted folder,
    // all taken in one epoch: a resolution through the same folders in the
    // same epoch takes them as they were (each step's folder is watched and
    // current, so the caches would answer the same).
    struct ResolvedStep {
        std::string part;
        simclient::FolderCache* cache = nullptr;
        const simclient::FolderEntry* entry = nullptr;
        std::size_t position = 0;
        std::size_t hostLength = 0;
        std::size_t dosLength = 0;
        std::size_t longLength = 0;
    };
    struct ResolvedChain {
        std::uint64_t epoch = 0;  // 0: none
        std::string base;
        std::vector<ResolvedStep> steps;
        std::string hostPath;
        std::string dosPath;
        std::string longPath;
    };
    std::array<ResolvedChain, 2> lastChains;
    std::size_t lastChainUsed = 0;
    // The folders above each volume's host folder are watched for entries
    // moved or removed, so that a volume's own folder, when watched and
    // current, needs no status call either. Off when one of them cannot be.
    std::vector<int> aboveVolumeWatches;
    bool volumeRootsWatched = false;
    // A folder the second reader listed ahead of a walk is taken with its
    // listing and its watch, which the reader lends: the folder needs no
    // listing, status or watch of its own.
    std::uint64_t lendingSeen = 0;  // the reader's lending generation the lent caches belong to
    std::vector<simclient::Lookahead::LentChange> lentChanges;

    // Reused between calls so that the per-file operations allocate nothing
    // once they have warmed up.
    std::vector<std::string_view> parts;
    // The parts of the last path found valid names, in order (the first
    // checkedCount; the storage of the others is kept for the next).
    std::vector<std::string> checkedNames;
    std::size_t checkedCount = 0;
    std::string hostPath;
    std::string scratch;
    simclient::Resolution resolution;
    simclient::XattrMemo lastXattrs;
    simclient::HostRecord hostRecord;
    // Reads the files ahead of the walk on a thread of its own.
    simclient::Lookahead lookahead;

    // The change watches are read again only when the caller may have
    // changed something since they were last read. Any change to a file or a
    // folder is a system call, and no system call is quicker than the
    // quickest one measured here (half of it, to be safe): when the caller
    // came back within that time of the end of its last call, it cannot have
    // made one in between, and what the watches said then still holds for
    // it. A walk asks several things of one file in a row this way; a caller
    // that changes the host between two calls is always seen to.
    std::int64_t quietGap = -1;  // measured once, at the first call of the process
    std::int64_t lastCallEnd = 0;
    // Each kind of watch, read since the caller last went quiet.
    bool folderWatchesRead = false;
    bool aheadWatchesRead = false;
    // Raised whenever the caller may have changed something: what was read
    // in one window still holds in it.
    std::uint64_t quietWindow = 1;
    // The facts of the last file read, and the window they were read in: a
    // walk asks for one file's facts by its name and then by its short name.
    struct FactsMemo {
        std::uint64_t window = 0;
        std::string path;
        std::string name;
        NWCCODE code = 0;
        simclient::HostFacts facts;
    };
    FactsMemo lastFacts;
    // Both descriptors looked at, and which had something to read then.
    bool watchesPolled = false;
    bool ownPending = false;
    bool aheadPending = false;
    void pollWatches();
    void callBegins();
    void callEnds();
    void readFolderWatches();  // the folder caches' (path resolution)
    void readAheadWatches();   // the second reader's (files read ahead)
    // The walk's listings take the size and mode of files read ahead.
    class ListingStatus : public platform::KnownStatus {
    public:
        explicit ListingStatus(State& state) : m_state(state) {}
        void beginFolder(const std::string& hostFolder, std::string_view filePattern) override;
        bool status(std::string_view name, std::uint64_t& size, std::uint32_t& mode) override;
        const std::vector<platform::ListedName>* listing() override;
        void endFolder() override;

    private:
        State& m_state;
        struct statx m_status {};
    };
    ListingStatus listingStatus{*this};

    // Marks the beginning and end of one client call.
    class CallSpan {
    public:
        explicit CallSpan(State& state) : m_state(state) { m_state.callBegins(); }
        ~CallSpan() { m_state.callEnds(); }
        CallSpan(const CallSpan&) = delete;
        CallSpan& operator=(const CallSpan&) = delete;

    private:
        State& m_state;
    };

    State();
    ~State();

    // Loading.
    using WorkstationReader = std::function<bool(workstation::Workstation& model, std::string& reason)>;
    void reset();
    bool load(const WorkstationReader& read, std::string* error);
    bool install(workstation::Workstation model, std::string& reason);
    bool connectDirectory(std::string& reason);
    void installFaults();
    void installDirectory();

    // Change watches and folder caches.
    bool openNotify();
    void closeWatches();
    void watchAboveVolumes();
    void watchFolder(const std::string& folder, simclient::FolderCache& cache);
    void forgetOldestFolders(std::size_t count);
    void releaseWatch(simclient::FolderCache& cache);
    void renewWatches();
    void noticeChanges();
    void noticeLentChanges();
    std::unordered_map<std::string, simclient::FolderCache>::iterator newFolderCache(const std::string& folder);
    simclient::FolderCache* lentFolderCache(const std::string& folder);
    simclient::FolderCache* settle(simclient::FolderCache& cache, dev_t device, ino_t inode, const timespec& modified);
    void forgetFolders();
    simclient::FolderCache* folderCache(const std::string& folder, bool checkStatus);
    bool listFolder(const std::string& folder, simclient::FolderCache& cache);
    NWCCODE resolveCached(const simclient::Target& target, std::size_t count, simclient::Resolution& result);

    // Faults.
    bool hasFaults(workstation::Operation operation) const { return !faults[simclient::index(operation)].empty(); }
    bool faulted(workstation::Operation operation, std::string_view subject, NWCCODE& code) const;
    bool faultedId(workstation::Operation operation, std::uint32_t id, NWCCODE& code) const;
    std::string faultPath(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::string_view path) const;
    std::string_view serverOf(NWCONN_HANDLE conn) const;
    bool stops(workstation::Operation operation, bool argumentsGiven, NWCCODE& code,
               std::string_view subject = "*") const;

    // Connections, handles and paths.
    bool validConnection(NWCONN_HANDLE conn) const { return conn >= 1 && conn <= connections.size(); }
    const simclient::HandleState* findHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) const;
    const simclient::VolumeState* findVolume(NWCONN_HANDLE conn, std::string_view name) const;
    NWCCODE split(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::string_view path, bool wildcardLast,
                  simclient::Target& target);
    NWCCODE openPath(workstation::Operation operation, NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path,
                     bool argumentsGiven, simclient::LastPart last, simclient::PathCall& call,
                     NWCCODE ownCheck = nw::kSuccess);
    NWCCODE openNameSpacePath(workstation::Operation operation, NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                              const char* path, bool argumentsGiven, std::uint8_t srcNameSpace,
                              std::uint8_t dstNameSpace, simclient::PathCall& call);
    void exactHostPath(const simclient::Target& target, std::size_t count);

    // Host files.
    NWCCODE gatherFacts(const std::string& path, std::string_view name, simclient::HostFacts& facts);
    NWCCODE readFacts(const std::string& path, std::string_view name, simclient::HostFacts& facts);
    void readXattrsOnce(const std::string& path, simclient::HostRecord& record, int folderFd, const char* leaf);
    NWCCODE findEntry(const simclient::Target& target, std::uint8_t searchAttributes, std::uint32_t* sequence,
                      bool byShortName, simclient::Resolution& found, simclient::HostFacts& facts);

    // Directory services.
    simclient::ContextState* context(NWDSContextHandle handle);
    simclient::DsBuffer* buffer(Buf_T* handle);
    simclient::ContextState* openContext(workstation::Operation operation, bool argumentsGiven,
                                         NWDSContextHandle handle, NWCCODE& code);
    NWCCODE openListing(bool argumentsGiven, NWDSContextHandle contextHandle, Buf_T* bufferHandle,
                        simclient::Listing& listing);
    std::string objectName(const simclient::DirObject& object, const simclient::ContextState& context) const;
    std::string_view componentName(const simclient::DirObject& object, const simclient::ContextState& context,
                                   std::string& out) const;
    std::optional<std::vector<std::string>> containerOf(const simclient::ContextState& context,
                                                        std::string_view name) const;
    // Directory server: an entry as an object of the tree (known objects are
    // updated, not doubled); nothing for a name too long for the tree.
    std::optional<std::size_t> serverObject(const ldaplink::Entry& entry);
    // The object a full name (components in capitals, object first) stands
    // for, found level by level from the top; the code of a failure.
    NWCCODE findServerObject(const std::vector<std::string>& components, std::size_t& object);
    simclient::ServerListing& listingOf(std::optional<std::size_t> container);
    // The next page of a container's listing (the top's without one) into its children.
    NWCCODE readServerPage(std::optional<std::size_t> container);
};

