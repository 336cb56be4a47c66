#include "netclient/simclient.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unordered_map>
#include <vector>

#include "netclient/dosdate.h"
#include "netclient/netnames.h"
#include "platform/asciicase.h"
#include "platform/drives.h"
#include "platform/profile.h"

using workstation::Operation;

namespace {

// Paths are held in 512-byte texts.
constexpr std::size_t kMaxPath = 511;
constexpr std::size_t kNameBufferSize = 256;
constexpr std::size_t kVolumePathBufferSize = 512;

// Folders whose names and short names are kept; the least recently used goes
// first. Deeper than any path can reach, so one path never evicts its own folders.
constexpr std::size_t kMaxCachedFolders = 512;

// The directory-services buffer as the listing fills it: a header, then per
// object its name, attribute count and object-information record.
constexpr std::size_t kDsBufferHeader = 8;
constexpr std::size_t kDsObjectOverhead = 4 + 1 + 4 + sizeof(ObjectInfoRecord);
constexpr std::size_t kMinDsBuffer = 64;
constexpr std::size_t kMaxDsBuffer = 65536;

constexpr std::uint32_t kDsContainerEntry = 0x04;
constexpr std::uint16_t kBinderyUserType = 0x0001;
constexpr std::uint16_t kAllRightsMask = 0x01FF;
constexpr std::uint8_t kReadRights = 0x45;  // read, open, file scan
constexpr std::uint8_t kAllRights = 0xFF;
constexpr std::int32_t kCodePage = 65001;
constexpr std::int32_t kCountryId = 1;
constexpr char kRootName[] = "[root]";

constexpr std::string_view kOwnerAttribute = "user.nw.owner";
constexpr std::string_view kAttributesAttribute = "user.nw.attributes";
constexpr std::string_view kCreatedAttribute = "user.nw.created";

constexpr std::size_t index(Operation operation) { return static_cast<std::size_t>(operation); }

bool copyText(std::string_view text, char* out, std::size_t capacity)
{
    if (text.size() + 1 > capacity)
        return false;
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
    return true;
}

// Copies as much as fits, always terminated.
void copyTruncated(std::string_view text, char* out, std::size_t capacity)
{
    const std::size_t length = std::min(text.size(), capacity - 1);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

std::uint32_t clampSize(std::uint64_t size)
{
    return size >= 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(size);
}

std::string_view trimValue(std::string_view text)
{
    while (!text.empty() && (text.back() == '\0' || text.back() == '\n' || text.back() == '\r' ||
                             text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::string joinVolumePath(std::string_view folder, std::string_view name)
{
    std::string joined(folder);
    if (!joined.empty() && joined.back() != ':' && joined.back() != '\\')
        joined += '\\';
    joined += name;
    return joined;
}

// "CN", "OU", "O", "C", "L" by the object's class.
std::string_view typeOfClass(std::string_view className)
{
    if (ascii::equalsIgnoringCase(className, "Organization"))
        return "O";
    if (ascii::equalsIgnoringCase(className, "Organizational Unit"))
        return "OU";
    if (ascii::equalsIgnoringCase(className, "Country"))
        return "C";
    if (ascii::equalsIgnoringCase(className, "Locality"))
        return "L";
    return "CN";
}

std::vector<std::string_view> splitDots(std::string_view name)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == '.') {
            parts.push_back(name.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

// "OU=SALES" -> "SALES": the type in front of a component is dropped.
std::string_view withoutType(std::string_view component)
{
    const std::size_t equals = component.find('=');
    if (equals == std::string_view::npos || equals == 0 || equals > 2)
        return component;
    for (std::size_t i = 0; i < equals; ++i) {
        const char c = ascii::toUpper(component[i]);
        if (c < 'A' || c > 'Z')
            return component;
    }
    return component.substr(equals + 1);
}

std::optional<std::string> systemUserName(std::uint32_t uid)
{
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(suggested > 0 ? suggested : 16384));
    for (int attempt = 0; attempt < 4; ++attempt) {
        passwd entry{};
        passwd* found = nullptr;
        const int error = ::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE) {
            buffer.resize(buffer.size() * 4);
            continue;
        }
        if (error != 0 || found == nullptr || found->pw_name == nullptr)
            return std::nullopt;
        return std::string(found->pw_name);
    }
    return std::nullopt;
}

std::string folderOfExecutable()
{
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0)
        return {};
    std::string path(buffer.data(), static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

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
    std::unordered_map<std::string, std::uint32_t> byShortName;
    std::unordered_map<std::string, std::uint32_t> byFoldedName;  // a-z in capitals; the first by bytes
    std::uint64_t lastUse = 0;
    int watch = -1;               // the change watch on the folder, if it could be set
    bool changed = false;         // its watch reported a change: read it again whatever its time says
    std::uint64_t trustedIn = 0;  // the trust epoch in which the folder was last known current

    bool matches(const struct stat& info) const
    {
        return !changed && device == info.st_dev && inode == info.st_ino && modified.tv_sec == info.st_mtim.tv_sec &&
               modified.tv_nsec == info.st_mtim.tv_nsec;
    }

    // The exact name, else the name blind to case, else the short name.
    const FolderEntry* find(std::string_view name, std::string& scratch, std::size_t* position) const
    {
        const auto exact = std::lower_bound(entries.begin(), entries.end(), name,
                                            [](const FolderEntry& e, std::string_view n) { return e.name < n; });
        if (exact != entries.end() && exact->name == name) {
            *position = static_cast<std::size_t>(exact - entries.begin());
            return &*exact;
        }
        scratch.assign(name);
        for (char& c : scratch)
            c = ascii::toUpper(c);
        auto found = byFoldedName.find(scratch);
        if (found == byFoldedName.end()) {
            found = byShortName.find(scratch);
            if (found == byShortName.end())
                return nullptr;
        }
        *position = found->second;
        return &entries[found->second];
    }
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

struct DirObject {
    std::vector<std::string> components;  // object first
    std::vector<std::string_view> types;   // "CN", "OU", ... per component
    std::string className;
    std::vector<std::size_t> children;
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
constexpr std::int64_t kSettledSeconds = 2;

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

// The extended attributes that say a file's owner, attributes and creation
// date. False when the host refuses to show one of them (a file its reader
// may not read): without it the owner or attributes would be made up.
bool readXattrs(const std::string& path, std::optional<std::int32_t>& owner, std::optional<std::int32_t>& attributes,
                std::optional<std::uint16_t>& createdOverride)
{
    // One listing of the extended attributes; only those present are read.
    char names[512];
    std::vector<char> largeNames;
    ssize_t namesLength = ::llistxattr(path.c_str(), names, sizeof names);
    const char* list = names;
    if (namesLength < 0 && errno == ERANGE) {
        const ssize_t needed = ::llistxattr(path.c_str(), nullptr, 0);
        if (needed > 0) {
            largeNames.resize(static_cast<std::size_t>(needed));
            namesLength = ::llistxattr(path.c_str(), largeNames.data(), largeNames.size());
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
        const ssize_t valueLength = ::lgetxattr(path.c_str(), attributeName, value, sizeof value);
        if (valueLength < 0) {
            if (errno == EACCES)
                return false;
            continue;
        }
        const std::string_view text = trimValue(std::string_view(value, static_cast<std::size_t>(valueLength)));
        if (isOwner)
            owner = profile::parseInteger(text);
        else if (isAttributes)
            attributes = profile::parseInteger(text);
        else
            createdOverride = dosdate::parseIsoDate(text);
    }
    return true;
}

bool fitsSearch(const HostFacts& facts, std::uint8_t searchAttributes)
{
    if (facts.directory && (searchAttributes & nw::kAttrDirectory) == 0)
        return false;
    if ((facts.attributes & nw::kAttrHidden) != 0 && (searchAttributes & nw::kAttrHidden) == 0)
        return false;
    if ((facts.attributes & nw::kAttrSystem) != 0 && (searchAttributes & nw::kAttrSystem) == 0)
        return false;
    return true;
}

} // namespace

struct SimClient::State {
    std::string executableFolder;
    bool loaded = false;
    workstation::Workstation ws;
    std::string lastError;

    std::vector<VolumeState> volumes;
    std::array<DriveState, 26> drives;
    std::vector<ConnectionState> connections;  // handle = index + 1
    std::array<std::vector<const workstation::Fault*>, workstation::kOperationCount> faults;

    std::vector<DirObject> objects;
    std::unordered_map<std::string, std::size_t> objectByName;  // full name in capitals
    std::unordered_map<std::uint32_t, std::size_t> objectById;
    std::vector<std::size_t> topObjects;

    HostUserLookup hostUserLookup = systemUserName;
    std::unordered_map<std::uint32_t, std::optional<std::string>> hostUsers;

    std::vector<ContextState> contexts;  // handle = index + 1
    std::unordered_map<const void*, std::unique_ptr<DsBuffer>> buffers;
    std::size_t portionSize = 0;

    std::unordered_map<std::string, FolderCache> folders;
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
    std::uint64_t trustEpoch = 1;
    bool lastFolderWatched = false;  // the deepest folder the last resolution went through
    bool chainWatched = false;       // and all folders on its way were watched, from a trusted start
    // The folders above each volume's host folder are watched for entries
    // moved or removed, so that a volume's own folder, when watched and
    // current, needs no status call either. Off when one of them cannot be.
    std::vector<int> aboveVolumeWatches;
    bool volumeRootsWatched = false;
    void watchAboveVolumes();

    ~State() { closeWatches(); }

    // Reused between calls so that the per-file operations allocate nothing
    // once they have warmed up.
    std::vector<std::string_view> parts;
    std::string hostPath;
    std::string scratch;
    Resolution resolution;
    XattrMemo lastXattrs;

    void reset()
    {
        loaded = false;
        ws = {};
        volumes.clear();
        drives = {};
        connections.clear();
        for (auto& list : faults)
            list.clear();
        objects.clear();
        objectByName.clear();
        objectById.clear();
        topObjects.clear();
        hostUsers.clear();
        contexts.clear();
        buffers.clear();
        folders.clear();
        closeWatches();
        lastXattrs = {};
    }

    void closeWatches()
    {
        if (notifyFd >= 0)
            ::close(notifyFd);
        notifyFd = -1;
        notifyFailed = false;
        watchUsers.clear();
        aboveVolumeWatches.clear();
        volumeRootsWatched = false;
        ++trustEpoch;
    }
    void watchFolder(const std::string& folder, FolderCache& cache);
    void releaseWatch(FolderCache& cache);
    void noticeChanges();

    bool install(workstation::Workstation model);

    // Faults.
    bool hasFaults(Operation operation) const { return !faults[index(operation)].empty(); }
    bool faulted(Operation operation, std::string_view subject, NWCCODE& code) const
    {
        for (const workstation::Fault* fault : faults[index(operation)]) {
            if (platform::wildcardMatch(fault->pattern, subject)) {
                code = fault->code;
                return true;
            }
        }
        return false;
    }
    bool faultedId(Operation operation, std::uint32_t id, NWCCODE& code) const
    {
        if (!hasFaults(operation))
            return false;
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(id));
        return faulted(operation, hex, code) || faulted(operation, std::to_string(id), code);
    }
    // The volume path a file operation names: a path relative to a directory
    // handle is joined to the handle's own volume path.
    std::string faultPath(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::string_view path) const
    {
        if (path.find(':') == std::string_view::npos)
            if (const HandleState* handle = findHandle(conn, dirHandle))
                return joinVolumePath(handle->volumePath, path);
        return std::string(path);
    }
    std::string_view serverOf(NWCONN_HANDLE conn) const
    {
        return validConnection(conn) ? std::string_view(connections[conn - 1].server) : std::string_view("*");
    }

    bool validConnection(NWCONN_HANDLE conn) const { return conn >= 1 && conn <= connections.size(); }
    const HandleState* findHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) const
    {
        if (!validConnection(conn) || dirHandle == 0)
            return nullptr;
        const HandleState& handle = connections[conn - 1].handles[dirHandle];
        return handle.used ? &handle : nullptr;
    }
    const VolumeState* findVolume(NWCONN_HANDLE conn, std::string_view name) const
    {
        for (const VolumeState& volume : volumes)
            if (volume.connection + 1 == conn && ascii::equalsIgnoringCase(volume.name, name))
                return &volume;
        return nullptr;
    }

    NWCCODE split(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::string_view path, bool wildcardLast, Target& target);
    void exactHostPath(const Target& target, std::size_t count);
    FolderCache* folderCache(const std::string& folder, bool checkStatus);
    bool listFolder(const std::string& folder, FolderCache& cache);
    NWCCODE resolveCached(const Target& target, std::size_t count, Resolution& result);
    NWCCODE gatherFacts(const std::string& path, std::string_view name, HostFacts& facts);
    NWCCODE findEntry(const Target& target, std::uint8_t searchAttributes, std::uint32_t* sequence, bool byShortName,
                      Resolution& found, HostFacts& facts);

    // Directory services.
    const ContextState* context(NWDSContextHandle handle) const
    {
        return handle >= 1 && handle <= contexts.size() ? &contexts[handle - 1] : nullptr;
    }
    DsBuffer* buffer(Buf_T* handle)
    {
        const auto found = buffers.find(handle);
        return found == buffers.end() ? nullptr : found->second.get();
    }
    std::string objectName(const DirObject& object, const ContextState& context) const;
    std::string_view componentName(const DirObject& object, const ContextState& context, std::string& out) const;
    std::optional<std::vector<std::string>> containerOf(const ContextState& context, std::string_view name) const;
};

// Loading.

bool SimClient::State::install(workstation::Workstation model)
{
    reset();
    ws = std::move(model);

    for (const workstation::Volume& volume : ws.volumes) {
        const auto server = std::find_if(connections.begin(), connections.end(),
                                         [&](const ConnectionState& c) { return c.server == volume.server; });
        VolumeState state;
        state.connection = static_cast<std::size_t>(server - connections.begin());
        if (server == connections.end()) {
            connections.emplace_back();
            connections.back().server = volume.server;
        }
        state.name = volume.name;
        state.hostFolder = volume.hostFolder;
        volumes.push_back(std::move(state));
    }

    platform::drives().clear();
    for (const workstation::Drive& drive : ws.drives) {
        DriveState& state = drives[static_cast<std::size_t>(drive.letter - 'A')];
        state.kind = drive.netware ? DriveState::Kind::NetWare : DriveState::Kind::Local;
        state.volume = drive.volume;
        for (const std::string& part : drive.path) {
            if (!state.prefix.empty())
                state.prefix += '\\';
            state.prefix += part;
        }
        platform::drives().setDrive(drive.letter, drive.hostFolder);
    }

    for (const workstation::Fault& fault : ws.faults)
        faults[index(fault.operation)].push_back(&fault);

    objects.reserve(ws.directory.size());
    for (const workstation::DirectoryObject& entry : ws.directory) {
        DirObject object;
        for (std::string_view part : splitDots(entry.fullName))
            object.components.emplace_back(part);
        object.className = entry.className;
        objectByName.emplace(ascii::toUpper(entry.fullName), objects.size());
        if (entry.id)
            objectById.emplace(*entry.id, objects.size());
        objects.push_back(std::move(object));
    }
    // Types and children once every object is known, whatever the file order.
    for (std::size_t i = 0; i < objects.size(); ++i) {
        DirObject& object = objects[i];
        const std::size_t count = object.components.size();
        std::string tail;
        object.types.assign(count, std::string_view{});
        for (std::size_t k = count; k-- > 0;) {
            tail = tail.empty() ? ascii::toUpper(object.components[k])
                                : ascii::toUpper(object.components[k]) + "." + tail;
            const auto known = objectByName.find(tail);
            if (known != objectByName.end())
                object.types[k] = typeOfClass(objects[known->second].className);
            else
                object.types[k] = k + 1 == count ? "O" : "OU";
            if (k == 1) {
                if (known != objectByName.end())
                    objects[known->second].children.push_back(i);
            }
        }
        if (count == 1)
            topObjects.push_back(i);
    }
    watchAboveVolumes();
    loaded = true;
    return true;
}

SimClient::SimClient() : m(std::make_unique<State>()) {}

SimClient::~SimClient() = default;

void SimClient::setExecutableFolder(std::string folder) { m->executableFolder = std::move(folder); }

bool SimClient::loadFile(const std::string& path, std::string* error)
{
    workstation::Workstation model;
    std::string reason;
    if (!workstation::load(path, model, reason)) {
        m->reset();
        platform::drives().clear();
        m->lastError = reason;
        if (error != nullptr)
            *error = reason;
        return false;
    }
    return m->install(std::move(model));
}

bool SimClient::loadText(std::string_view text, std::string* error, std::string_view fileName,
                         std::string_view baseFolder)
{
    workstation::Workstation model;
    std::string reason;
    if (!workstation::parse(text, fileName, baseFolder, model, reason)) {
        m->reset();
        platform::drives().clear();
        m->lastError = reason;
        if (error != nullptr)
            *error = reason;
        return false;
    }
    return m->install(std::move(model));
}

bool SimClient::isLoaded() const { return m->loaded; }

const workstation::Workstation& SimClient::workstationModel() const { return m->ws; }

const std::string& SimClient::lastError() const { return m->lastError; }

int SimClient::openTemporaryHandles(NWCONN_HANDLE conn) const
{
    return m->validConnection(conn) ? m->connections[conn - 1].open : 0;
}

void SimClient::setListPortionSize(std::size_t objects) { m->portionSize = objects; }

std::uint64_t SimClient::folderListings() const { return m->listings; }

void SimClient::setHostUserLookup(HostUserLookup lookup)
{
    m->hostUserLookup = lookup ? std::move(lookup) : HostUserLookup(systemUserName);
    m->hostUsers.clear();
}

// Paths and host files.

NWCCODE SimClient::State::split(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::string_view path, bool wildcardLast,
                                Target& target)
{
    if (!validConnection(conn))
        return nw::kErrInvalidConnection;
    if (path.size() > kMaxPath)
        return nw::kErrInvalidPath;
    std::string_view rest;
    const std::size_t colon = path.find(':');
    if (colon != std::string_view::npos) {
        target.volume = findVolume(conn, path.substr(0, colon));
        if (target.volume == nullptr)
            return nw::kErrNoSuchVolume;
        target.base = target.volume->hostFolder;
        target.fromHandle = false;
        rest = path.substr(colon + 1);
    } else {
        const HandleState* handle = findHandle(conn, dirHandle);
        if (handle == nullptr)
            return dirHandle == 0 ? nw::kErrInvalidPath : nw::kErrBadDirectoryHandle;
        target.volume = &volumes[handle->volume];
        target.base = handle->hostFolder;
        target.fromHandle = true;
        target.baseReachedIn = handle->reachedIn;
        rest = path;
    }
    parts.clear();
    std::size_t start = 0;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        if (i < rest.size() && rest[i] != '\\' && rest[i] != '/')
            continue;
        const std::string_view part = rest.substr(start, i - start);
        start = i + 1;
        if (part.empty() || part == ".")
            continue;
        parts.push_back(part);
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        if (!(last && wildcardLast ? netnames::isNetWarePattern(parts[i]) : netnames::isNetWareName(parts[i])))
            return nw::kErrInvalidPath;
    }
    return nw::kSuccess;
}

void SimClient::State::exactHostPath(const Target& target, std::size_t count)
{
    hostPath.assign(target.base);
    for (std::size_t i = 0; i < count; ++i) {
        hostPath += '/';
        hostPath += parts[i];
    }
}

bool SimClient::State::listFolder(const std::string& folder, FolderCache& cache)
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return false;
    ++listings;
    cache.entries.clear();
    cache.byShortName.clear();
    cache.byFoldedName.clear();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        // Entries NetWare cannot hold are not on the volume at all.
        if (!netnames::isNetWareName(name))
            continue;
        bool directory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            directory = ::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                        S_ISDIR(info.st_mode);
        }
        cache.entries.push_back(FolderEntry{std::string(name), {}, directory});
    }
    ::closedir(dir);
    std::sort(cache.entries.begin(), cache.entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    std::vector<std::string_view> names;
    names.reserve(cache.entries.size());
    for (const FolderEntry& entry : cache.entries)
        names.push_back(entry.name);
    std::vector<std::string> shortNames = netnames::assignShortNames(names);
    cache.byShortName.reserve(cache.entries.size());
    cache.byFoldedName.reserve(cache.entries.size());
    for (std::size_t i = 0; i < cache.entries.size(); ++i) {
        cache.entries[i].shortName = std::move(shortNames[i]);
        if (!cache.entries[i].shortName.empty())
            cache.byShortName.emplace(cache.entries[i].shortName, static_cast<std::uint32_t>(i));
        cache.byFoldedName.emplace(ascii::toUpper(cache.entries[i].name), static_cast<std::uint32_t>(i));
    }
    return true;
}

void SimClient::State::watchAboveVolumes()
{
    if (notifyFd < 0 && !notifyFailed) {
        notifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        notifyFailed = notifyFd < 0;
    }
    if (notifyFd < 0)
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
    if (notifyFd < 0 && !notifyFailed) {
        notifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        notifyFailed = notifyFd < 0;
    }
    if (notifyFd < 0)
        return;
    // A link, renamed, created or removed entry, and the folder itself moved,
    // removed or replaced (its link count changes).
    constexpr std::uint32_t kMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                    IN_MOVE_SELF | IN_ATTRIB | IN_ONLYDIR | IN_DONT_FOLLOW;
    cache.watch = ::inotify_add_watch(notifyFd, folder.c_str(), kMask);
    if (cache.watch >= 0)
        ++watchUsers[cache.watch];
}

void SimClient::State::releaseWatch(FolderCache& cache)
{
    if (cache.watch < 0)
        return;
    const auto users = watchUsers.find(cache.watch);
    if (users != watchUsers.end() && --users->second <= 0) {
        watchUsers.erase(users);
        ::inotify_rm_watch(notifyFd, cache.watch);
    }
    cache.watch = -1;
}

// Reads what the watches reported since the last call: one read when nothing changed.
void SimClient::State::noticeChanges()
{
    if (notifyFd < 0)
        return;
    alignas(inotify_event) char events[4096];
    bool changed = false;
    bool lostTrack = false;
    std::vector<int> changedWatches;
    std::vector<int> goneWatches;
    for (;;) {
        const ssize_t length = ::read(notifyFd, events, sizeof events);
        if (length <= 0)
            break;
        changed = true;
        for (ssize_t offset = 0; offset + static_cast<ssize_t>(sizeof(inotify_event)) <= length;) {
            inotify_event event;
            std::memcpy(&event, events + offset, sizeof event);
            offset += static_cast<ssize_t>(sizeof event + event.len);
            if (event.wd < 0 || (event.mask & IN_Q_OVERFLOW) != 0)
                lostTrack = true;
            else if ((event.mask & IN_IGNORED) != 0)
                goneWatches.push_back(event.wd);  // its folder was removed, or we let it go
            else
                changedWatches.push_back(event.wd);
        }
    }
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
        if (cache.watch < 0)
            continue;
        if (lostTrack || std::find(changedWatches.begin(), changedWatches.end(), cache.watch) != changedWatches.end())
            cache.changed = true;
        if (std::find(goneWatches.begin(), goneWatches.end(), cache.watch) != goneWatches.end()) {
            cache.changed = true;
            cache.watch = -1;
        }
    }
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
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return nullptr;
    if (found != folders.end() && found->second.matches(info)) {
        found->second.lastUse = ++useClock;
        found->second.trustedIn = trustEpoch;
        return &found->second;
    }
    if (found == folders.end()) {
        if (folders.size() >= kMaxCachedFolders) {
            const auto oldest = std::min_element(folders.begin(), folders.end(), [](const auto& a, const auto& b) {
                return a.second.lastUse < b.second.lastUse;
            });
            // Its watch goes, so what lies below it is checked again.
            releaseWatch(oldest->second);
            folders.erase(oldest);
        }
        found = folders.emplace(folder, FolderCache{}).first;
    } else if (found->second.device != info.st_dev || found->second.inode != info.st_ino) {
        releaseWatch(found->second);  // another folder now has this name
    }
    // A folder read (again) may lead to other folders than those cached below
    // it, and a folder forgotten no longer reports its changes: a new epoch.
    ++trustEpoch;
    FolderCache& cache = found->second;
    // Watched before it is read, so a change while reading is seen next time.
    if (cache.watch < 0)
        watchFolder(folder, cache);
    if (!listFolder(folder, cache)) {
        releaseWatch(cache);
        folders.erase(found);
        return nullptr;
    }
    cache.device = info.st_dev;
    cache.inode = info.st_ino;
    cache.modified = info.st_mtim;
    cache.changed = false;
    cache.lastUse = ++useClock;
    cache.trustedIn = trustEpoch;
    return &cache;
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
    noticeChanges();
    chainWatched = target.fromHandle ? target.baseReachedIn == trustEpoch : volumeRootsWatched;
    for (std::size_t i = 0; i < count; ++i) {
        if (!result.directory)
            return nw::kErrInvalidPath;
        // The first folder is checked by its status; each one below only when
        // the one above it reports no changes.
        const bool trustedStart = i == 0 && chainWatched;
        const FolderCache* cache = folderCache(result.hostPath, !(lastFolderWatched || trustedStart));
        if (cache == nullptr)
            return nw::kErrNoSuchFile;
        lastFolderWatched = cache->watch >= 0;
        chainWatched = chainWatched && lastFolderWatched;
        std::size_t position = 0;
        const FolderEntry* entry = cache->find(parts[i], scratch, &position);
        if (entry == nullptr)
            return nw::kErrNoSuchFile;
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
    }
    return nw::kSuccess;
}

NWCCODE SimClient::State::gatherFacts(const std::string& path, std::string_view name, HostFacts& facts)
{
    struct statx info {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &info) != 0)
        return errno == EACCES ? nw::kErrAccessDenied : nw::kErrNoSuchFile;

    facts.directory = S_ISDIR(info.stx_mode);
    facts.size = info.stx_size;
    // A file system without birth times reports none, or an empty one.
    const bool hasBirth = (info.stx_mask & STATX_BTIME) != 0 && (info.stx_btime.tv_sec != 0 || info.stx_btime.tv_nsec != 0);
    const std::time_t created = hasBirth ? info.stx_btime.tv_sec : info.stx_ctime.tv_sec;
    facts.createdDate = dosdate::packLocalDate(created);
    facts.createdDateTime = dosdate::packLocalDateTime(created);
    facts.accessedDate = dosdate::packLocalDate(info.stx_atime.tv_sec);
    facts.updatedDateTime = dosdate::packLocalDateTime(info.stx_mtime.tv_sec);

    std::optional<std::int32_t> owner;
    std::optional<std::int32_t> attributes;
    std::optional<std::uint16_t> createdOverride;

    // A file read twice in a row (the file information, then the extended
    // information) keeps its extended attributes from the first read when its
    // status change time says they cannot have changed since. Every change to
    // them sets that time; a time well before the first read cannot be the
    // time of a change made after it, whatever the clock's granularity.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    const dev_t device = makedev(info.stx_dev_major, info.stx_dev_minor);
    const bool unchanged = lastXattrs.valid && lastXattrs.device == device && lastXattrs.inode == info.stx_ino &&
                           lastXattrs.changedSec == info.stx_ctime.tv_sec &&
                           lastXattrs.changedNsec == info.stx_ctime.tv_nsec &&
                           info.stx_ctime.tv_sec + kSettledSeconds < lastXattrs.readAt;
    if (unchanged) {
        owner = lastXattrs.owner;
        attributes = lastXattrs.attributes;
        createdOverride = lastXattrs.createdOverride;
    } else {
        if (!readXattrs(path, owner, attributes, createdOverride)) {
            lastXattrs.valid = false;
            return nw::kErrAccessDenied;
        }
        lastXattrs.valid = true;
        lastXattrs.device = device;
        lastXattrs.inode = info.stx_ino;
        lastXattrs.changedSec = info.stx_ctime.tv_sec;
        lastXattrs.changedNsec = info.stx_ctime.tv_nsec;
        lastXattrs.readAt = now.tv_sec;
        lastXattrs.owner = owner;
        lastXattrs.attributes = attributes;
        lastXattrs.createdOverride = createdOverride;
    }

    if (attributes) {
        facts.attributes = static_cast<std::uint32_t>(*attributes);
    } else {
        facts.attributes = 0;
        if ((info.stx_mode & 0222) == 0)
            facts.attributes |= nw::kAttrReadOnly;
        if (!name.empty() && name.front() == '.')
            facts.attributes |= nw::kAttrHidden;
    }
    if (facts.directory)
        facts.attributes |= nw::kAttrDirectory;
    if (createdOverride) {
        facts.createdDate = *createdOverride;
        facts.createdDateTime = static_cast<std::uint32_t>(*createdOverride) << 16;
    }
    if (owner) {
        facts.owner = static_cast<std::uint32_t>(*owner);
    } else if (const auto mapped = ws.owners.find(info.stx_uid); mapped != ws.owners.end()) {
        facts.owner = mapped->second;
    } else {
        facts.owner = info.stx_uid;
    }
    return nw::kSuccess;
}

// The entry the last part names in the folder of the parts before it: the
// first match at or after the sequence for a wildcard (by short name or by
// host name), the named entry itself otherwise.
NWCCODE SimClient::State::findEntry(const Target& target, std::uint8_t searchAttributes, std::uint32_t* sequence,
                                    bool byShortName, Resolution& found, HostFacts& facts)
{
    if (parts.empty())
        return nw::kErrNoSuchFile;
    const std::string_view last = parts.back();
    if (!netnames::hasWildcards(last)) {
        NWCCODE code = resolveCached(target, parts.size(), found);
        if (code != nw::kSuccess)
            return code;
        code = gatherFacts(found.hostPath, found.name, facts);
        if (code != nw::kSuccess)
            return code;
        if (!fitsSearch(facts, searchAttributes))
            return nw::kErrNoSuchFile;
        if (sequence != nullptr)
            *sequence = static_cast<std::uint32_t>(found.position);
        return nw::kSuccess;
    }
    NWCCODE code = resolveCached(target, parts.size() - 1, found);
    if (code != nw::kSuccess)
        return code;
    if (!found.directory)
        return nw::kErrInvalidPath;
    const std::string folderHost = found.hostPath;
    const std::string folderDos = found.dosPath;
    const std::string folderLong = found.longPath;
    const bool trustedStart = parts.size() == 1 && chainWatched;
    const FolderCache* cache = folderCache(folderHost, !(lastFolderWatched || trustedStart));
    if (cache == nullptr)
        return nw::kErrInvalidPath;
    const std::size_t start = sequence == nullptr || *sequence == 0xFFFFFFFFu ? 0 : std::size_t{*sequence} + 1;
    for (std::size_t i = start; i < cache->entries.size(); ++i) {
        const FolderEntry& entry = cache->entries[i];
        if (!platform::wildcardMatch(last, byShortName ? std::string_view(entry.shortName) : std::string_view(entry.name)))
            continue;
        found.hostPath = folderHost + "/" + entry.name;
        if (gatherFacts(found.hostPath, entry.name, facts) != nw::kSuccess || !fitsSearch(facts, searchAttributes))
            continue;
        found.name = entry.name;
        found.shortName = entry.shortName;
        found.directory = entry.directory;
        found.position = i;
        found.dosPath = folderDos.empty() ? entry.shortName : folderDos + "\\" + entry.shortName;
        found.longPath = folderLong.empty() ? entry.name : folderLong + "\\" + entry.name;
        if (sequence != nullptr)
            *sequence = static_cast<std::uint32_t>(i);
        return nw::kSuccess;
    }
    return nw::kErrNoSuchFile;
}

// Calls library.

NWCCODE SimClient::NWCallsInit(void*, void*)
{
    std::string error;
    const std::string folder = m->executableFolder.empty() ? folderOfExecutable() : m->executableFolder;
    const auto path = workstation::find(folder, error);
    if (!path || !loadFile(*path, &error)) {
        m->lastError = error;
        std::fprintf(stderr, "Trawl: %s\n", error.c_str());
        return nw::kErrWorkstationFile;
    }
    NWCCODE code = 0;
    if (m->hasFaults(Operation::CallsInit) && m->faulted(Operation::CallsInit, "*", code))
        return code;
    return nw::kSuccess;
}

NWCCODE SimClient::NWParseNetwarePath(const char* path, NWCONN_HANDLE* conn, NWDIR_HANDLE* dirHandle, char* volPath)
{
    if (path == nullptr || conn == nullptr || dirHandle == nullptr || volPath == nullptr)
        return nw::kErrInvalidParameter;
    const std::string_view text(path, ::strnlen(path, kMaxPath + 1));
    NWCCODE code = 0;
    if (m->hasFaults(Operation::ParseNetwarePath) && m->faulted(Operation::ParseNetwarePath, text, code))
        return code;
    if (text.size() > kMaxPath)
        return nw::kErrInvalidPath;
    const char letter = ascii::toUpper(text.empty() ? '\0' : text[0]);
    if (text.size() < 2 || text[1] != ':' || letter < 'A' || letter > 'Z')
        return nw::kErrDriveNotMapped;
    const DriveState& drive = m->drives[static_cast<std::size_t>(letter - 'A')];
    if (drive.kind == DriveState::Kind::None)
        return nw::kErrDriveNotMapped;
    if (drive.kind == DriveState::Kind::Local)
        return nw::kErrNotNetWareDrive;

    // Built aside and copied only when whole, so a refused path leaves the
    // caller's buffer as it was.
    const VolumeState& volume = m->volumes[drive.volume];
    char built[kVolumePathBufferSize];
    std::size_t length = 0;
    const auto append = [&](std::string_view piece) {
        if (length + piece.size() > kMaxPath)
            return false;
        std::memcpy(built + length, piece.data(), piece.size());
        length += piece.size();
        return true;
    };
    bool fits = append(volume.name) && append(":") && append(drive.prefix);
    bool first = drive.prefix.empty();
    const std::string_view rest = text.substr(2);
    std::size_t start = 0;
    for (std::size_t i = 0; fits && i <= rest.size(); ++i) {
        if (i < rest.size() && rest[i] != '\\' && rest[i] != '/')
            continue;
        const std::string_view part = rest.substr(start, i - start);
        start = i + 1;
        if (part.empty() || part == ".")
            continue;
        if (!netnames::isNetWareName(part))
            return nw::kErrInvalidPath;
        fits = (first || append("\\")) && append(part);
        first = false;
    }
    if (!fits)
        return nw::kErrInvalidPath;
    built[length] = '\0';
    std::memcpy(volPath, built, length + 1);
    *conn = static_cast<NWCONN_HANDLE>(volume.connection + 1);
    *dirHandle = 0;
    return nw::kSuccess;
}

NWCCODE SimClient::NWIntScanFileInformation2(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* pattern,
                                             std::uint8_t searchAttributes, std::uint8_t* sequence,
                                             FileInfoRecord* info, std::uint8_t)
{
    if (pattern == nullptr || info == nullptr)
        return nw::kErrInvalidParameter;
    const std::string_view path(pattern, ::strnlen(pattern, kMaxPath + 1));
    NWCCODE code = 0;
    if (m->hasFaults(Operation::ScanFileInformation2) &&
        m->faulted(Operation::ScanFileInformation2, m->faultPath(conn, dirHandle, path), code))
        return code;
    Target target;
    code = m->split(conn, dirHandle, path, true, target);
    if (code != nw::kSuccess)
        return code;

    HostFacts facts;
    std::string_view name;
    if (m->parts.empty()) {
        code = m->gatherFacts(std::string(target.base), "", facts);
        name = target.volume->name;
    } else if (netnames::hasWildcards(m->parts.back())) {
        // The sequence's first four bytes carry the position of the last match.
        std::uint32_t position = 0xFFFFFFFFu;
        if (sequence != nullptr)
            std::memcpy(&position, sequence, sizeof position);
        code = m->findEntry(target, searchAttributes, &position, false, m->resolution, facts);
        if (code == nw::kSuccess && sequence != nullptr)
            std::memcpy(sequence, &position, sizeof position);
        name = m->resolution.name;
    } else {
        // The path as the parse gave it names the host file exactly: one
        // status call. Only a path in other capitals goes through the caches.
        m->exactHostPath(target, m->parts.size());
        code = m->gatherFacts(m->hostPath, m->parts.back(), facts);
        name = m->parts.back();
        if (code != nw::kSuccess) {
            code = m->resolveCached(target, m->parts.size(), m->resolution);
            if (code == nw::kSuccess)
                code = m->gatherFacts(m->resolution.hostPath, m->resolution.name, facts);
            name = m->resolution.name;
        }
    }
    if (code != nw::kSuccess)
        return code;
    if (!fitsSearch(facts, searchAttributes))
        return nw::kErrNoSuchFile;

    std::memset(info, 0, sizeof *info);
    info->attributes = static_cast<std::uint8_t>(facts.attributes & 0xFF);
    info->extendedAttributes = static_cast<std::uint8_t>(facts.attributes >> 8 & 0xFF);
    info->size = clampSize(facts.size);
    info->creationDate = facts.createdDate;
    info->lastAccessDate = facts.accessedDate;
    info->lastUpdateDateAndTime = facts.updatedDateTime;
    info->ownerId = facts.owner;
    copyTruncated(name, info->name, sizeof info->name);
    return nw::kSuccess;
}

NWCCODE SimClient::NWAllocateTemporaryDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path,
                                                      NWDIR_HANDLE* newHandle, std::uint8_t* effectiveRights)
{
    if (path == nullptr || newHandle == nullptr)
        return nw::kErrInvalidParameter;
    const std::string_view text(path, ::strnlen(path, kMaxPath + 1));
    const std::string volumePath = m->faultPath(conn, dirHandle, text);
    NWCCODE code = 0;
    if (m->hasFaults(Operation::AllocateTemporaryDirectoryHandle) &&
        m->faulted(Operation::AllocateTemporaryDirectoryHandle, volumePath, code))
        return code;
    Target target;
    code = m->split(conn, dirHandle, text, false, target);
    if (code != nw::kSuccess)
        return code;

    // A folder the caches reach is the host folder of the path as written
    // when that exists (the exact name is always taken first); the host is
    // asked only for what they cannot reach, such as a path through a link.
    std::string hostFolder;
    std::uint64_t reachedIn = 0;
    code = m->resolveCached(target, m->parts.size(), m->resolution);
    if (code == nw::kSuccess && m->resolution.directory) {
        hostFolder = m->resolution.hostPath;
        if (m->chainWatched)
            reachedIn = m->trustEpoch;
    } else {
        m->exactHostPath(target, m->parts.size());
        struct stat info {};
        if (::lstat(m->hostPath.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            return nw::kErrInvalidPath;
        hostFolder = m->hostPath;
    }

    ConnectionState& connection = m->connections[conn - 1];
    for (int slot = 1; slot <= nw::kMaxDirectoryHandles; ++slot) {
        HandleState& handle = connection.handles[static_cast<std::size_t>(slot)];
        if (handle.used)
            continue;
        handle.used = true;
        handle.volume = static_cast<std::size_t>(target.volume - m->volumes.data());
        handle.hostFolder = std::move(hostFolder);
        handle.volumePath = volumePath;
        handle.reachedIn = reachedIn;
        ++connection.open;
        *newHandle = static_cast<NWDIR_HANDLE>(slot);
        if (effectiveRights != nullptr)
            *effectiveRights = ::access(handle.hostFolder.c_str(), W_OK) == 0 ? kAllRights : kReadRights;
        return nw::kSuccess;
    }
    return nw::kErrNoMoreDirectoryHandles;
}

NWCCODE SimClient::NWIntScanExtendedInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::uint8_t searchAttributes,
                                         std::uint32_t* sequence, const char* pattern, ExtendedInfoRecord* info,
                                         std::uint8_t)
{
    if (pattern == nullptr || info == nullptr)
        return nw::kErrInvalidParameter;
    const std::string_view text(pattern, ::strnlen(pattern, kMaxPath + 1));
    NWCCODE code = 0;
    if (m->hasFaults(Operation::ScanExtendedInfo) &&
        m->faulted(Operation::ScanExtendedInfo, m->faultPath(conn, dirHandle, text), code))
        return code;
    Target target;
    code = m->split(conn, dirHandle, text, true, target);
    if (code != nw::kSuccess)
        return code;
    HostFacts facts;
    std::uint32_t position = sequence != nullptr ? *sequence : 0xFFFFFFFFu;
    code = m->findEntry(target, searchAttributes, &position, true, m->resolution, facts);
    if (code != nw::kSuccess)
        return code;
    if (sequence != nullptr)
        *sequence = position;

    const Resolution& found = m->resolution;
    std::memset(info, 0, sizeof *info);
    info->sequence = position;
    info->attributes = facts.attributes;
    info->nameSpace = nw::kDosNameSpace;
    info->nameLength = static_cast<std::uint8_t>(std::min(found.shortName.size(), sizeof info->name));
    std::memcpy(info->name, found.shortName.data(), info->nameLength);
    info->creationDateAndTime = facts.createdDateTime;
    info->ownerId = facts.owner;
    info->updatedDateAndTime = facts.updatedDateTime;
    info->updatedId = facts.owner;
    info->fileSize = clampSize(facts.size);
    info->inheritedRightsMask = kAllRightsMask;
    info->lastAccessDate = facts.accessedDate;
    return nw::kSuccess;
}

NWCCODE SimClient::NWDeallocateDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle)
{
    NWCCODE code = 0;
    if (m->hasFaults(Operation::DeallocateDirectoryHandle)) {
        const HandleState* handle = m->findHandle(conn, dirHandle);
        if (m->faulted(Operation::DeallocateDirectoryHandle, handle != nullptr ? handle->volumePath : "*", code))
            return code;
    }
    if (!m->validConnection(conn))
        return nw::kErrInvalidConnection;
    if (m->findHandle(conn, dirHandle) == nullptr)
        return nw::kErrBadDirectoryHandle;
    ConnectionState& connection = m->connections[conn - 1];
    connection.handles[dirHandle] = HandleState{};
    --connection.open;
    return nw::kSuccess;
}

NWCCODE SimClient::NWGetOwningNameSpace(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path,
                                        std::uint8_t* nameSpace)
{
    if (path == nullptr || nameSpace == nullptr)
        return nw::kErrInvalidParameter;
    const std::string_view text(path, ::strnlen(path, kMaxPath + 1));
    NWCCODE code = 0;
    if (m->hasFaults(Operation::GetOwningNameSpace) &&
        m->faulted(Operation::GetOwningNameSpace, m->faultPath(conn, dirHandle, text), code))
        return code;
    Target target;
    code = m->split(conn, dirHandle, text, false, target);
    if (code != nw::kSuccess)
        return code;
    // The caches answer most paths without a system call (a path in other
    // capitals than the host's always needs them); the host is asked only for
    // what they cannot reach, such as a path through a link.
    code = m->resolveCached(target, m->parts.size(), m->resolution);
    if (code != nw::kSuccess) {
        m->exactHostPath(target, m->parts.size());
        struct stat info {};
        if (::lstat(m->hostPath.c_str(), &info) != 0)
            return code;
    }
    // Every entry here is created through the long name space.
    *nameSpace = nw::kLongNameSpace;
    return nw::kSuccess;
}

NWCCODE SimClient::NWGetNSPath(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::uint16_t, std::uint8_t srcNameSpace,
                               std::uint8_t dstNameSpace, NwNsPath* path)
{
    if (path == nullptr || path->srcPath == nullptr || path->dstPath == nullptr)
        return nw::kErrInvalidParameter;
    const std::string_view text(path->srcPath, ::strnlen(path->srcPath, kMaxPath + 1));
    NWCCODE code = 0;
    if (m->hasFaults(Operation::GetNSPath) && m->faulted(Operation::GetNSPath, m->faultPath(conn, dirHandle, text), code))
        return code;
    const auto known = [](std::uint8_t space) { return space == nw::kDosNameSpace || space == nw::kLongNameSpace; };
    if (!known(srcNameSpace) || !known(dstNameSpace))
        return nw::kInvalidNameSpace;
    Target target;
    code = m->split(conn, dirHandle, text, false, target);
    if (code != nw::kSuccess)
        return code;
    code = m->resolveCached(target, m->parts.size(), m->resolution);
    if (code != nw::kSuccess)
        return code;
    const Resolution& found = m->resolution;
    if (dstNameSpace == nw::kDosNameSpace && !m->parts.empty() && found.shortName.empty())
        return nw::kInvalidNameSpace;

    // A path relative to a handle stays relative; a volume path keeps its volume.
    m->scratch.clear();
    if (!target.fromHandle) {
        m->scratch = target.volume->name;
        m->scratch += ':';
    }
    m->scratch += dstNameSpace == nw::kDosNameSpace ? found.dosPath : found.longPath;
    if (!copyText(m->scratch, path->dstPath, path->dstPathSize))
        return nw::kErrBufferTooSmall;
    return nw::kSuccess;
}

NWCCODE SimClient::NWGetLongName(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path,
                                 std::uint8_t srcNameSpace, std::uint8_t dstNameSpace, char* name)
{
    if (path == nullptr || name == nullptr)
        return nw::kErrInvalidParameter;
    const std::string_view text(path, ::strnlen(path, kMaxPath + 1));
    NWCCODE code = 0;
    if (m->hasFaults(Operation::GetLongName) &&
        m->faulted(Operation::GetLongName, m->faultPath(conn, dirHandle, text), code))
        return code;
    const auto known = [](std::uint8_t space) { return space == nw::kDosNameSpace || space == nw::kLongNameSpace; };
    if (!known(srcNameSpace) || !known(dstNameSpace))
        return nw::kInvalidNameSpace;
    Target target;
    code = m->split(conn, dirHandle, text, false, target);
    if (code != nw::kSuccess)
        return code;
    code = m->resolveCached(target, m->parts.size(), m->resolution);
    if (code != nw::kSuccess)
        return code;
    std::string_view result = dstNameSpace == nw::kDosNameSpace ? m->resolution.shortName : m->resolution.name;
    if (m->parts.empty())
        result = target.volume->name;
    if (result.empty())
        return nw::kInvalidNameSpace;
    if (!copyText(result, name, kNameBufferSize))
        return nw::kErrBufferTooSmall;
    return nw::kSuccess;
}

NWCCODE SimClient::NWGetObjectName(NWCONN_HANDLE conn, std::uint32_t objectId, char* name, std::uint16_t* objectType)
{
    if (name == nullptr)
        return nw::kErrInvalidParameter;
    NWCCODE code = 0;
    if (m->faultedId(Operation::GetObjectName, objectId, code))
        return code;
    if (!m->validConnection(conn))
        return nw::kErrInvalidConnection;
    std::string_view found;
    if (const auto bindery = m->ws.bindery.find(objectId); bindery != m->ws.bindery.end()) {
        found = bindery->second;
    } else {
        auto known = m->hostUsers.find(objectId);
        if (known == m->hostUsers.end()) {
            std::optional<std::string> user = m->hostUserLookup(objectId);
            if (user)
                *user = ascii::toUpper(*user);
            known = m->hostUsers.emplace(objectId, std::move(user)).first;
        }
        if (!known->second || known->second->empty())
            return nw::kErrNoSuchObject;
        found = *known->second;
    }
    if (!copyText(found, name, kNameBufferSize))
        return nw::kErrBufferTooSmall;
    if (objectType != nullptr)
        *objectType = kBinderyUserType;
    return nw::kSuccess;
}

NWCCODE SimClient::NWUnpackDate(std::uint16_t packedDate, DateRecord* date)
{
    if (date == nullptr)
        return nw::kErrInvalidParameter;
    NWCCODE code = 0;
    if (m->hasFaults(Operation::UnpackDate) && m->faulted(Operation::UnpackDate, "*", code)) {
        // Callers do not look at the code: leave them no valid date.
        *date = DateRecord{0, 0, 0};
        return code;
    }
    dosdate::unpackDate(packedDate, *date);
    return nw::kSuccess;
}

NWCCODE SimClient::NWUnpackDateTime(std::uint32_t packedDateTime, DateRecord* date, TimeRecord* time)
{
    if (date == nullptr)
        return nw::kErrInvalidParameter;
    TimeRecord unused{};
    TimeRecord& timeRecord = time != nullptr ? *time : unused;
    NWCCODE code = 0;
    if (m->hasFaults(Operation::UnpackDateTime) && m->faulted(Operation::UnpackDateTime, "*", code)) {
        *date = DateRecord{0, 0, 0};
        timeRecord = TimeRecord{0, 0, 0};
        return code;
    }
    dosdate::unpackDateTime(packedDateTime, *date, timeRecord);
    return nw::kSuccess;
}

// Connection library.

NWCCODE SimClient::NWCCGetPrimConnRef(std::uint32_t* connRef)
{
    if (connRef == nullptr)
        return nw::kErrInvalidParameter;
    NWCCODE code = 0;
    if (m->hasFaults(Operation::CCGetPrimConnRef) && m->faulted(Operation::CCGetPrimConnRef, "*", code))
        return code;
    if (m->connections.empty())
        return nw::kErrNoPrimaryConnection;
    *connRef = 1;  // the server of the first volume
    return nw::kSuccess;
}

NWCCODE SimClient::NWCCOpenConnByRef(std::uint32_t connRef, std::uint32_t, std::uint32_t, NWCONN_HANDLE* conn)
{
    if (conn == nullptr)
        return nw::kErrInvalidParameter;
    NWCCODE code = 0;
    if (m->hasFaults(Operation::CCOpenConnByRef) && m->faulted(Operation::CCOpenConnByRef, m->serverOf(connRef), code))
        return code;
    if (!m->validConnection(connRef))
        return nw::kErrInvalidConnection;
    *conn = connRef;
    return nw::kSuccess;
}

NWCCODE SimClient::NWGetConnectionInformation(NWCONN_HANDLE conn, int level, ConnectionInfoRecord* info)
{
    if (info == nullptr)
        return nw::kErrInvalidParameter;
    NWCCODE code = 0;
    if (m->hasFaults(Operation::GetConnectionInformation) &&
        m->faulted(Operation::GetConnectionInformation, m->serverOf(conn), code))
        return code;
    if (!m->validConnection(conn))
        return nw::kErrInvalidConnection;
    if (level != nw::kConnectionInfoLevel)
        return nw::kErrInvalidParameter;
    std::memset(info, 0, sizeof *info);
    copyTruncated(m->connections[conn - 1].server, info->serverName, sizeof info->serverName);
    return nw::kSuccess;
}

// Locale library.

NWCCODE SimClient::NWLlocaleconv(LocaleRecord* locale)
{
    if (locale == nullptr)
        return nw::kErrInvalidParameter;
    NWCCODE code = 0;
    if (m->hasFaults(Operation::Llocaleconv) && m->faulted(Operation::Llocaleconv, "*", code))
        return code;
    std::memset(locale, 0, sizeof *locale);
    locale->codePage = kCodePage;
    locale->countryId = kCountryId;
    return nw::kSuccess;
}

NWCCODE SimClient::NWInitUnicodeTables(std::int32_t countryCode, std::int32_t codePage)
{
    NWCCODE code = 0;
    if (m->hasFaults(Operation::InitUnicodeTables) && m->faulted(Operation::InitUnicodeTables, "*", code))
        return code;
    // Only the tables of the locale this client reports exist, so arguments
    // given in the wrong order are refused.
    if (codePage != kCodePage || countryCode <= 0)
        return nw::kErrInvalidParameter;
    return nw::kSuccess;
}

// Directory services.

NWCCODE SimClient::NWDSCreateContextHandle(NWDSContextHandle* context)
{
    if (context == nullptr)
        return nw::kErrInvalidParameter;
    NWCCODE code = 0;
    if (m->hasFaults(Operation::DSCreateContextHandle) && m->faulted(Operation::DSCreateContextHandle, "*", code))
        return code;
    m->contexts.emplace_back();
    *context = static_cast<NWDSContextHandle>(m->contexts.size());
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSGetContext(NWDSContextHandle context, int key, void* value)
{
    if (value == nullptr)
        return nw::kErrInvalidParameter;
    NWCCODE code = 0;
    if (m->hasFaults(Operation::DSGetContext) && m->faulted(Operation::DSGetContext, "*", code))
        return code;
    const ContextState* state = m->context(context);
    if (state == nullptr)
        return nw::kDsErrBadContext;
    if (key == nw::kContextFlags) {
        std::memcpy(value, &state->flags, sizeof state->flags);
        return nw::kSuccess;
    }
    if (key == nw::kContextNameContext) {
        copyTruncated(state->nameContext, static_cast<char*>(value), kNameBufferSize);
        return nw::kSuccess;
    }
    return nw::kDsErrBadKey;
}

NWCCODE SimClient::NWDSSetContext(NWDSContextHandle context, int key, const void* value)
{
    if (value == nullptr)
        return nw::kErrInvalidParameter;
    NWCCODE code = 0;
    if (m->hasFaults(Operation::DSSetContext) && m->faulted(Operation::DSSetContext, "*", code))
        return code;
    if (m->context(context) == nullptr)
        return nw::kDsErrBadContext;
    ContextState& state = m->contexts[context - 1];
    if (key == nw::kContextFlags) {
        std::memcpy(&state.flags, value, sizeof state.flags);
        return nw::kSuccess;
    }
    if (key != nw::kContextNameContext)
        return nw::kDsErrBadKey;
    const char* text = static_cast<const char*>(value);
    const std::size_t length = ::strnlen(text, kNameBufferSize);
    if (length >= kNameBufferSize)
        return nw::kDsErrNameTooLong;
    std::string_view name(text, length);
    state.nameContext = std::string(name);
    state.components.clear();
    if (name.empty() || ascii::equalsIgnoringCase(name, kRootName))
        return nw::kSuccess;
    if (name.front() == '.')
        name.remove_prefix(1);
    for (std::string_view part : splitDots(name))
        state.components.push_back(ascii::toUpper(withoutType(part)));
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSDuplicateContextHandle(NWDSContextHandle context, NWDSContextHandle* newContext)
{
    if (newContext == nullptr)
        return nw::kErrInvalidParameter;
    NWCCODE code = 0;
    if (m->hasFaults(Operation::DSDuplicateContextHandle) && m->faulted(Operation::DSDuplicateContextHandle, "*", code))
        return code;
    const ContextState* state = m->context(context);
    if (state == nullptr)
        return nw::kDsErrBadContext;
    ContextState copy = *state;
    m->contexts.push_back(std::move(copy));
    *newContext = static_cast<NWDSContextHandle>(m->contexts.size());
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSAllocBuf(std::size_t size, Buf_T** buffer)
{
    if (buffer == nullptr)
        return nw::kErrInvalidParameter;
    NWCCODE code = 0;
    if (m->hasFaults(Operation::DSAllocBuf) && m->faulted(Operation::DSAllocBuf, "*", code))
        return code;
    if (size < kMinDsBuffer || size > kMaxDsBuffer)
        return nw::kErrInvalidParameter;
    auto state = std::make_unique<DsBuffer>();
    state->size = size;
    // The caller's handle is the address of our own record; Buf_T stays opaque.
    Buf_T* handle = reinterpret_cast<Buf_T*>(state.get());
    m->buffers.emplace(handle, std::move(state));
    *buffer = handle;
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSFreeBuf(Buf_T* buffer)
{
    NWCCODE code = 0;
    if (m->hasFaults(Operation::DSFreeBuf) && m->faulted(Operation::DSFreeBuf, "*", code))
        return code;
    if (m->buffers.erase(buffer) == 0)
        return nw::kDsErrBadBuffer;
    return nw::kSuccess;
}

// The components (in capitals, object first) of the container a name stands
// for: the name context itself for "", the name below it otherwise; a leading
// dot names from the top, each trailing dot goes up one level.
std::optional<std::vector<std::string>> SimClient::State::containerOf(const ContextState& context,
                                                                      std::string_view name) const
{
    if (name.empty())
        return context.components;
    std::vector<std::string> result;
    bool absolute = false;
    if (name.front() == '.') {
        absolute = true;
        name.remove_prefix(1);
    }
    std::size_t up = 0;
    while (!name.empty() && name.back() == '.') {
        ++up;
        name.remove_suffix(1);
    }
    if (!name.empty())
        for (std::string_view part : splitDots(name))
            result.push_back(ascii::toUpper(withoutType(part)));
    if (!absolute) {
        if (up > context.components.size())
            return std::nullopt;
        result.insert(result.end(), context.components.begin() + static_cast<std::ptrdiff_t>(up),
                      context.components.end());
    }
    return result;
}

std::string_view SimClient::State::componentName(const DirObject& object, const ContextState& context,
                                                 std::string& out) const
{
    if ((context.flags & nw::kTypelessNames) != 0)
        return object.components.front();
    out.assign(object.types.front());
    out += '=';
    out += object.components.front();
    return out;
}

// The object's name as the context asks for it: typeless or typed, relative
// to the name context. The part the name shares with the name context is
// dropped (at least the object's own component stays); a dot at the end
// stands for each level of the name context above the shared part.
std::string SimClient::State::objectName(const DirObject& object, const ContextState& context) const
{
    const bool typeless = (context.flags & nw::kTypelessNames) != 0;
    const std::size_t count = object.components.size();
    const std::size_t contextCount = context.components.size();
    std::size_t shared = 0;
    while (shared + 1 < count && shared < contextCount &&
           ascii::equalsIgnoringCase(object.components[count - 1 - shared],
                                    context.components[contextCount - 1 - shared]))
        ++shared;
    std::string name;
    for (std::size_t i = 0; i < count - shared; ++i) {
        if (i > 0)
            name += '.';
        if (!typeless) {
            name += object.types[i];
            name += '=';
        }
        name += object.components[i];
    }
    name.append(contextCount - shared, '.');
    return name;
}

NWCCODE SimClient::NWDSList(NWDSContextHandle context, const char* objectName, std::int32_t* iterationHandle,
                            Buf_T* buffer)
{
    if (objectName == nullptr || iterationHandle == nullptr)
        return nw::kErrInvalidParameter;
    const ContextState* state = m->context(context);
    if (state == nullptr)
        return nw::kDsErrBadContext;
    DsBuffer* target = m->buffer(buffer);
    if (target == nullptr)
        return nw::kDsErrBadBuffer;
    const std::string_view name(objectName, ::strnlen(objectName, kNameBufferSize));
    if (name.size() >= kNameBufferSize)
        return nw::kDsErrNameTooLong;
    const auto container = m->containerOf(*state, name);
    NWCCODE code = 0;
    if (m->hasFaults(Operation::DSList)) {
        std::string subject = kRootName;
        if (container && !container->empty()) {
            subject.clear();
            for (const std::string& part : *container)
                subject += (subject.empty() ? "" : ".") + part;
        }
        if (m->faulted(Operation::DSList, subject, code))
            return code;
    }
    if (!container)
        return nw::kDsErrNoSuchEntry;
    const std::vector<std::size_t>* children = &m->topObjects;
    if (!container->empty()) {
        std::string key;
        for (const std::string& part : *container)
            key += (key.empty() ? "" : ".") + part;
        const auto found = m->objectByName.find(key);
        if (found == m->objectByName.end())
            return nw::kDsErrNoSuchEntry;
        children = &m->objects[found->second].children;
    }

    std::size_t next = 0;
    if (*iterationHandle != -1) {
        if (*iterationHandle < 1 || static_cast<std::size_t>(*iterationHandle) >= children->size())
            return nw::kDsErrInvalidIteration;
        next = static_cast<std::size_t>(*iterationHandle);
    }
    target->objects.clear();
    target->next = 0;
    target->listed = true;
    std::size_t used = kDsBufferHeader;
    for (; next < children->size(); ++next) {
        if (m->portionSize != 0 && target->objects.size() == m->portionSize)
            break;
        const std::size_t cost = kDsObjectOverhead + m->objects[(*children)[next]].components.front().size();
        if (used + cost > target->size)
            break;
        used += cost;
        target->objects.push_back(ListedObject{(*children)[next]});
    }
    if (target->objects.empty() && next < children->size())
        return nw::kDsErrInsufficientBuffer;
    *iterationHandle = next < children->size() ? static_cast<std::int32_t>(next) : -1;
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSGetObjectCount(NWDSContextHandle context, Buf_T* buffer, std::uint32_t* count)
{
    if (count == nullptr)
        return nw::kErrInvalidParameter;
    NWCCODE code = 0;
    if (m->hasFaults(Operation::DSGetObjectCount) && m->faulted(Operation::DSGetObjectCount, "*", code))
        return code;
    if (m->context(context) == nullptr)
        return nw::kDsErrBadContext;
    const DsBuffer* state = m->buffer(buffer);
    if (state == nullptr)
        return nw::kDsErrBadBuffer;
    if (!state->listed)
        return nw::kDsErrBufferEmpty;
    *count = static_cast<std::uint32_t>(state->objects.size());
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSGetObjectName(NWDSContextHandle context, Buf_T* buffer, char* name,
                                     std::uint32_t* attributeCount, ObjectInfoRecord* info)
{
    if (name == nullptr)
        return nw::kErrInvalidParameter;
    const ContextState* state = m->context(context);
    if (state == nullptr)
        return nw::kDsErrBadContext;
    DsBuffer* source = m->buffer(buffer);
    if (source == nullptr)
        return nw::kDsErrBadBuffer;
    if (!source->listed || source->next >= source->objects.size())
        return nw::kDsErrBufferEmpty;
    // A failed read still uses up its object, so a reader cannot be held on it.
    const DirObject& object = m->objects[source->objects[source->next++].object];
    NWCCODE code = 0;
    if (m->hasFaults(Operation::DSGetObjectName) &&
        m->faulted(Operation::DSGetObjectName, object.components.front(), code))
        return code;
    std::string typed;
    if (!copyText(m->componentName(object, *state, typed), name, kNameBufferSize))
        return nw::kDsErrInsufficientBuffer;
    if (attributeCount != nullptr)
        *attributeCount = 0;  // the listing carries names only
    if (info != nullptr) {
        std::memset(info, 0, sizeof *info);
        info->subordinateCount = static_cast<std::uint32_t>(object.children.size());
        const std::string_view type = object.types.front();
        if (!object.children.empty() || type == "O" || type == "OU" || type == "C" || type == "L")
            info->objectFlags = kDsContainerEntry;
        copyTruncated(object.className, info->baseClass, sizeof info->baseClass);
    }
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, std::uint32_t objectId, char* name)
{
    if (name == nullptr)
        return nw::kErrInvalidParameter;
    NWCCODE code = 0;
    if (m->faultedId(Operation::DSMapIDToName, objectId, code))
        return code;
    const ContextState* state = m->context(context);
    if (state == nullptr)
        return nw::kDsErrBadContext;
    if (!m->validConnection(conn))
        return nw::kErrInvalidConnection;
    const auto found = m->objectById.find(objectId);
    if (found == m->objectById.end())
        return nw::kDsErrNoSuchEntry;
    if (!copyText(m->objectName(m->objects[found->second], *state), name, kNameBufferSize))
        return nw::kDsErrInsufficientBuffer;
    return nw::kSuccess;
}
