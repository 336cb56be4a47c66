#pragma once

// The inside of the simulated client, shared by netclient/simclient*.cpp only:
// the state behind SimClient (the workstation, its volumes, drives,
// connections and handles, faults and directory, and the rooms that read the
// host for it) and the records it keeps.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "netclient/ldaplink.h"
#include "netclient/simclient.h"
#include "netclient/simclient_foldercaches.h"
#include "netclient/simclient_hostentry.h"
#include "netclient/simclient_readahead.h"
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
    std::vector<std::string_view> types;  // "CN", "OU", ... per component
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

struct Target {
    const VolumeState* volume = nullptr;
    std::string_view base;  // host folder the parts start from
    bool fromHandle = false;
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

// The parts of a path between backslashes or slashes, each checked to be a
// name NetWare holds (the last may be a pattern). A walk asks several things
// of one path in a row, and of file after file of one folder: the same path
// is not split again, and the parts it shares with the last are not checked
// again.
class PathParts {
public:
    // False when a part is no name (or, the last with wildcardLast, no pattern).
    bool split(std::string_view path, bool wildcardLast);
    const std::vector<std::string_view>& parts() const { return m_parts; }

private:
    std::string m_text;
    std::string m_previous;                 // the text split before, while this one is split
    std::vector<std::string_view> m_parts;  // in m_text
    bool m_known = false;                   // m_text was split
    bool m_wildcardLast = false;
    bool m_valid = false;
};

}  // namespace simclient

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
    // Installed on the link when it is made (the window's, to keep painting).
    ldaplink::Link::WaitHook waitHook;

    HostUserLookup hostUserLookup;
    std::unordered_map<std::uint32_t, std::optional<std::string>> hostUsers;

    std::vector<simclient::ContextState> contexts;  // handle = index + 1
    std::unordered_map<const void*, std::unique_ptr<simclient::DsBuffer>> buffers;
    std::size_t portionSize = 0;

    // What the client reads of the host is trusted for one scan at most:
    // from beginScan() to endScan() the folders listed and the files read
    // are kept (the read-ahead reads them ahead of the walk, the folder
    // caches keep each folder's names); outside a scan every call reads the
    // host afresh. See docs/architecture.md.
    bool inScan = false;
    simclient::FolderCaches caches;
    simclient::ReadAhead readAhead;
    // The facts of the last file read in this scan: a walk asks for one
    // file's facts by its name and then by its short name.
    struct FactsMemo {
        bool valid = false;
        std::string path;
        std::string name;
        NWCCODE code = 0;
        simclient::HostFacts facts;
    };
    FactsMemo lastFacts;
    // In a scan, the folder of the files the read-ahead has not read, open
    // for the client's own reads of them by name.
    struct OwnFolder {
        std::string path;
        int fd = -1;
        int open(std::string_view folder);
        void close();
        ~OwnFolder() { close(); }
    };
    OwnFolder ownFolder;
    // Every operation that reads the host begins with beginCall() (openPath
    // calls it).
    void beginCall();
    void setScan(bool scanning);

    // Reused between calls so that the per-file operations allocate nothing
    // once they have warmed up.
    simclient::PathParts volumeParts;  // the last path from a volume
    simclient::PathParts handleParts;  // the last path from a handle
    simclient::PathParts driveParts;   // the drive path of the last parse
    simclient::PathParts* currentParts = &volumeParts;
    // The parts of the path of the call, after split().
    const std::vector<std::string_view>& parts() const { return currentParts->parts(); }
    std::string hostPath;
    std::string scratch;
    simclient::Resolution resolution;
    simclient::HostEntry hostEntry;

    // The walk's listings take the entries and the size and mode of files
    // the read-ahead read, in a scan.
    class ListingStatus : public platform::KnownStatus {
    public:
        explicit ListingStatus(State& state) : m_state(state) {}
        void beginFolder(const std::string& hostFolder, std::string_view filePattern) override;
        bool status(std::string_view name, std::uint64_t& size, std::uint32_t& mode) override;
        const std::vector<platform::ListedName>* listing() override;

    private:
        State& m_state;
    };
    ListingStatus listingStatus{*this};

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
