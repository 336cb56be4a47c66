// Paths on the simulated volumes: the drive path parse, the way a volume or
// handle path is taken apart, directory handles and the name-space answers.

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "netclient/netnames.h"
#include "netclient/simclient_state.h"
#include "platform/asciicase.h"

using namespace simclient;
using workstation::Operation;

namespace {

constexpr std::size_t kVolumePathBufferSize = 512;
constexpr std::uint8_t kReadRights = 0x45;  // read, open, file scan
constexpr std::uint8_t kAllRights = 0xFF;

// Read no further than one past the longest path, so that a path too long is
// still refused as such without the rest of it being read.
std::string_view boundedPath(const char* path)
{
    return path == nullptr ? std::string_view() : std::string_view(path, ::strnlen(path, kMaxPath + 1));
}

// The parts between backslashes or slashes; empty parts and "." name nothing.
void splitParts(std::string_view path, std::vector<std::string_view>& parts)
{
    parts.clear();
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\' && path[i] != '/')
            continue;
        const std::string_view part = path.substr(start, i - start);
        start = i + 1;
        if (part.empty() || part == ".")
            continue;
        parts.push_back(part);
    }
}

// Only the DOS and the long name space are on the simulated volumes.
NWCCODE checkNameSpaces(std::uint8_t srcNameSpace, std::uint8_t dstNameSpace)
{
    const auto known = [](std::uint8_t space) { return space == nw::kDosNameSpace || space == nw::kLongNameSpace; };
    return known(srcNameSpace) && known(dstNameSpace) ? nw::kSuccess : nw::kInvalidNameSpace;
}

}  // namespace

bool PathParts::split(std::string_view path, bool wildcardLast)
{
    if (m_known && wildcardLast == m_wildcardLast && path == m_text)
        return m_valid;
    // What this path shares with the last one, when that was valid: a part
    // wholly inside it that ended a name there was checked then.
    m_previous.swap(m_text);
    const bool previousChecked = m_known && m_valid;
    const bool previousPatternLast = m_wildcardLast;
    std::size_t shared = 0;
    if (previousChecked)
        while (shared < path.size() && shared < m_previous.size() && path[shared] == m_previous[shared])
            ++shared;
    const auto endedANameThen = [&](std::size_t end) {
        if (end > shared)
            return false;
        if (end < m_previous.size())
            return m_previous[end] == '\\' || m_previous[end] == '/';
        return end == m_previous.size() && !previousPatternLast;
    };
    m_text.assign(path);
    splitParts(m_text, m_parts);
    m_known = true;
    m_wildcardLast = wildcardLast;
    m_valid = false;
    for (std::size_t i = 0; i < m_parts.size(); ++i) {
        const std::string_view part = m_parts[i];
        const bool pattern = wildcardLast && i + 1 == m_parts.size();
        if (!pattern && endedANameThen(static_cast<std::size_t>(part.data() - m_text.data()) + part.size()))
            continue;
        if (!(pattern ? netnames::isNetWarePattern(part) : netnames::isNetWareName(part)))
            return false;
    }
    m_valid = true;
    return true;
}

const HandleState* SimClient::State::findHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) const
{
    if (!validConnection(conn) || dirHandle == 0)
        return nullptr;
    const HandleState& handle = connections[conn - 1].handles[dirHandle];
    return handle.used ? &handle : nullptr;
}

const VolumeState* SimClient::State::findVolume(NWCONN_HANDLE conn, std::string_view name) const
{
    for (const VolumeState& volume : volumes)
        if (volume.connection + 1 == conn && ascii::equalsIgnoringCase(volume.name, name))
            return &volume;
    return nullptr;
}

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
        rest = path;
    }
    currentParts = target.fromHandle ? &handleParts : &volumeParts;
    return currentParts->split(rest, wildcardLast) ? nw::kSuccess : nw::kErrInvalidPath;
}

// The opening every operation on a volume or handle path shares, in the order
// in which the first refusal wins: a pointer left out, the fault for the
// volume path, the operation's own check, then the path itself. A fault's code
// is never success (the workstation file refuses 0), so success means go on.
NWCCODE SimClient::State::openPath(Operation operation, NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path,
                                   bool argumentsGiven, LastPart last, PathCall& call, NWCCODE ownCheck)
{
    beginCall();
    if (path == nullptr || !argumentsGiven)
        return nw::kErrInvalidParameter;
    call.text = boundedPath(path);
    NWCCODE code = 0;
    if (hasFaults(operation) && faulted(operation, faultPath(conn, dirHandle, call.text), code))
        return code;
    if (ownCheck != nw::kSuccess)
        return ownCheck;
    return split(conn, dirHandle, call.text, last == LastPart::Pattern, call.target);
}

// The name-space operations refuse a name space the volumes do not carry
// after the fault and before the path, and go on only with the path found
// whole, in resolution.
NWCCODE SimClient::State::openNameSpacePath(Operation operation, NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                            const char* path, bool argumentsGiven, std::uint8_t srcNameSpace,
                                            std::uint8_t dstNameSpace, PathCall& call)
{
    const NWCCODE code = openPath(operation, conn, dirHandle, path, argumentsGiven, LastPart::Name, call,
                                  checkNameSpaces(srcNameSpace, dstNameSpace));
    return code != nw::kSuccess ? code : caches.resolve(call.target.base, parts(), parts().size(), resolution);
}

void SimClient::State::exactHostPath(const Target& target, std::size_t count)
{
    hostPath.assign(target.base);
    for (std::size_t i = 0; i < count; ++i) {
        hostPath += '/';
        hostPath += parts()[i];
    }
}

NWCCODE SimClient::NWParseNetwarePath(const char* path, NWCONN_HANDLE* conn, NWDIR_HANDLE* dirHandle, char* volPath)
{
    const std::string_view text = boundedPath(path);
    NWCCODE code = 0;
    if (m->stops(Operation::ParseNetwarePath,
                 path != nullptr && conn != nullptr && dirHandle != nullptr && volPath != nullptr, code, text))
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
    // A name NetWare cannot hold and a path too long are refused alike, so
    // which of them is found first does not matter.
    if (!m->driveParts.split(text.substr(2), false))
        return nw::kErrInvalidPath;
    for (std::string_view part : m->driveParts.parts()) {
        fits = fits && (first || append("\\")) && append(part);
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

NWCCODE SimClient::NWAllocateTemporaryDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path,
                                                      NWDIR_HANDLE* newHandle, std::uint8_t* effectiveRights)
{
    PathCall call;
    NWCCODE code = m->openPath(Operation::AllocateTemporaryDirectoryHandle, conn, dirHandle, path,
                               newHandle != nullptr, LastPart::Name, call);
    if (code != nw::kSuccess)
        return code;
    const Target& target = call.target;
    const std::string volumePath = m->faultPath(conn, dirHandle, call.text);

    // A folder the caches reach is the host folder of the path as written
    // when that exists (the exact name is always taken first); the host is
    // asked only for what they cannot reach, such as a path through a link.
    std::string hostFolder;
    code = m->caches.resolve(target.base, m->parts(), m->parts().size(), m->resolution);
    if (code == nw::kSuccess && m->resolution.directory) {
        hostFolder = m->resolution.hostPath;
    } else {
        m->exactHostPath(target, m->parts().size());
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
        ++connection.open;
        *newHandle = static_cast<NWDIR_HANDLE>(slot);
        if (effectiveRights != nullptr)
            *effectiveRights = ::access(handle.hostFolder.c_str(), W_OK) == 0 ? kAllRights : kReadRights;
        return nw::kSuccess;
    }
    return nw::kErrNoMoreDirectoryHandles;
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
    PathCall call;
    NWCCODE code = m->openPath(Operation::GetOwningNameSpace, conn, dirHandle, path, nameSpace != nullptr,
                               LastPart::Name, call);
    if (code != nw::kSuccess)
        return code;
    // The caches answer most paths without a system call (a path in other
    // capitals than the host's always needs them); the host is asked only for
    // what they cannot reach, such as a path through a link.
    code = m->caches.resolve(call.target.base, m->parts(), m->parts().size(), m->resolution);
    if (code != nw::kSuccess) {
        m->exactHostPath(call.target, m->parts().size());
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
    const char* srcPath = path != nullptr ? path->srcPath : nullptr;
    PathCall call;
    const NWCCODE code = m->openNameSpacePath(Operation::GetNSPath, conn, dirHandle, srcPath,
                                              path != nullptr && path->dstPath != nullptr, srcNameSpace, dstNameSpace,
                                              call);
    if (code != nw::kSuccess)
        return code;
    const Resolution& found = m->resolution;
    if (dstNameSpace == nw::kDosNameSpace && !m->parts().empty() && found.shortName.empty())
        return nw::kInvalidNameSpace;

    // A path relative to a handle stays relative; a volume path keeps its volume.
    m->scratch.clear();
    if (!call.target.fromHandle) {
        m->scratch = call.target.volume->name;
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
    PathCall call;
    const NWCCODE code = m->openNameSpacePath(Operation::GetLongName, conn, dirHandle, path, name != nullptr,
                                              srcNameSpace, dstNameSpace, call);
    if (code != nw::kSuccess)
        return code;
    std::string_view result = dstNameSpace == nw::kDosNameSpace ? m->resolution.shortName : m->resolution.name;
    if (m->parts().empty())
        result = call.target.volume->name;
    if (result.empty())
        return nw::kInvalidNameSpace;
    if (!copyText(result, name, kNameBufferSize))
        return nw::kErrBufferTooSmall;
    return nw::kSuccess;
}
