// Host files as the simulated client reports them: a file's status and
// extended attributes become NetWare file facts, and the two scan operations
// read them, one entry per call.

#include <fcntl.h>
#include <unistd.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "netclient/dosdate.h"
#include "netclient/netnames.h"
#include "netclient/simclient_state.h"
#include "platform/drives.h"
#include "platform/profile.h"

using namespace simclient;
using workstation::Operation;

namespace {

constexpr std::uint16_t kAllRightsMask = 0x01FF;

std::uint32_t clampSize(std::uint64_t size)
{
    return size >= 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(size);
}

bool fitsSearch(const HostFacts& facts, std::uint8_t searchAttributes)
{
    if (facts.directory && (searchAttributes & platform::kAttrDirectory) == 0)
        return false;
    if ((facts.attributes & platform::kAttrHidden) != 0 && (searchAttributes & platform::kAttrHidden) == 0)
        return false;
    if ((facts.attributes & platform::kAttrSystem) != 0 && (searchAttributes & platform::kAttrSystem) == 0)
        return false;
    return true;
}

}  // namespace

int SimClient::State::OwnFolder::open(std::string_view folder)
{
    if (fd >= 0 && folder == path)
        return fd;
    close();
    path.assign(folder);
    fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return fd;
}

void SimClient::State::OwnFolder::close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Outside a scan nothing read before a call is trusted by it (the read-ahead
// and the folder kept open serve scans only: they hold nothing here).
void SimClient::State::beginCall()
{
    if (inScan)
        return;
    caches.forget();
    lastFacts.valid = false;
}

// A scan begins or ends: whatever was read before is forgotten either way.
void SimClient::State::setScan(bool scanning)
{
    readAhead.stop();
    ownFolder.close();
    caches.forget();
    lastFacts.valid = false;
    inScan = scanning;
}

void SimClient::beginScan()
{
    m->setScan(true);
    m->ownerLookups.clear();
    // A scan started by hand after the server was mended must not be
    // answered by the back-off of the scan before.
    if (m->ldap)
        m->ldap->tryAgain();
}

void SimClient::endScan() { m->setScan(false); }

// The pattern of a walk's listing tells the read-ahead which files the walk
// will ask for.
void SimClient::State::ListingStatus::beginFolder(const std::string& hostFolder, std::string_view filePattern)
{
    if (!m_state.inScan)
        return;
    if (!filePattern.empty())
        m_state.readAhead.setFilePattern(filePattern);
    m_state.readAhead.peekFolder(hostFolder, !filePattern.empty());
}

const std::vector<platform::ListedName>* SimClient::State::ListingStatus::listing()
{
    return m_state.inScan ? m_state.readAhead.peekListing() : nullptr;
}

bool SimClient::State::ListingStatus::status(std::string_view name, std::uint64_t& size, std::uint32_t& mode)
{
    return m_state.inScan && m_state.readAhead.peekStatus(name, size, mode);
}

NWCCODE SimClient::State::gatherFacts(const std::string& path, std::string_view name, HostFacts& facts)
{
    if (lastFacts.valid && lastFacts.path == path && lastFacts.name == name) {
        facts = lastFacts.facts;
        return lastFacts.code;
    }
    const NWCCODE code = readFacts(path, name, facts);
    lastFacts.valid = true;
    lastFacts.path = path;
    lastFacts.name.assign(name);
    lastFacts.code = code;
    lastFacts.facts = facts;
    return code;
}

NWCCODE SimClient::State::readFacts(const std::string& path, std::string_view name, HostFacts& facts)
{
    // In a scan, a file of a folder is mostly read ahead; what the read-ahead
    // has not read is read here, through its folder's descriptor when it has
    // one, and given back to it.
    HostEntry& entry = hostEntry;
    const std::size_t slash = path.rfind('/');
    const std::string_view pathView = path;
    const bool mayReadAhead = inScan && !name.empty() && slash != std::string::npos && slash > 0 &&
                              pathView.substr(slash + 1) == name;
    const ReadAhead::Ahead ahead = mayReadAhead ? readAhead.take(pathView.substr(0, slash), name, entry)
                                                : ReadAhead::Ahead::Nothing;
    if (ahead != ReadAhead::Ahead::Whole) {
        int folderFd = -1;
        if (mayReadAhead) {
            folderFd = readAhead.takenFolderFd();
            if (folderFd < 0)
                folderFd = ownFolder.open(pathView.substr(0, slash));
        }
        const char* const leaf = folderFd >= 0 ? path.c_str() + slash + 1 : path.c_str();
        if (ahead == ReadAhead::Ahead::Status || entry.readStatus(folderFd, leaf))
            entry.readAttributes(folderFd, leaf, path);
        if (mayReadAhead)
            readAhead.giveBack(entry);
    }
    return entry.facts(name, ws.owners, facts);
}

// The entry the last part names in the folder of the parts before it: the
// first match at or after the sequence for a wildcard (by short name or by
// host name), the named entry itself otherwise.
NWCCODE SimClient::State::findEntry(const Target& target, std::uint8_t searchAttributes, std::uint32_t* sequence,
                                    bool byShortName, Resolution& found, HostFacts& facts)
{
    if (parts().empty())
        return nw::kErrNoSuchFile;
    const std::string_view last = parts().back();
    if (!netnames::hasWildcards(last)) {
        NWCCODE code = caches.resolve(target.base, parts(), parts().size(), found);
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
    NWCCODE code = caches.resolve(target.base, parts(), parts().size() - 1, found);
    if (code != nw::kSuccess)
        return code;
    if (!found.directory)
        return nw::kErrInvalidPath;
    const std::string folderHost = found.hostPath;
    const std::string folderDos = found.dosPath;
    const std::string folderLong = found.longPath;
    const FolderCache* cache = caches.folder(folderHost);
    if (cache == nullptr)
        return nw::kErrInvalidPath;
    const std::size_t start = sequence == nullptr || *sequence == 0xFFFFFFFFu ? 0 : std::size_t{*sequence} + 1;
    for (std::size_t i = start; i < cache->entries.size(); ++i) {
        const FolderEntry& entry = cache->entries[i];
        if (!platform::wildcardMatch(last,
                                     byShortName ? std::string_view(entry.shortName) : std::string_view(entry.name)))
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

NWCCODE SimClient::NWIntScanFileInformation2(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* pattern,
                                             std::uint8_t searchAttributes, std::uint8_t* sequence,
                                             FileInfoRecord* info, std::uint8_t)
{
    PathCall call;
    NWCCODE code = m->openPath(Operation::ScanFileInformation2, conn, dirHandle, pattern, info != nullptr,
                               LastPart::Pattern, call);
    if (code != nw::kSuccess)
        return code;
    const Target& target = call.target;

    HostFacts facts;
    std::string_view name;
    if (m->parts().empty()) {
        code = m->gatherFacts(std::string(target.base), "", facts);
        name = target.volume->name;
    } else if (netnames::hasWildcards(m->parts().back())) {
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
        m->exactHostPath(target, m->parts().size());
        code = m->gatherFacts(m->hostPath, m->parts().back(), facts);
        name = m->parts().back();
        if (code != nw::kSuccess) {
            code = m->caches.resolve(target.base, m->parts(), m->parts().size(), m->resolution);
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
    info->creationDate = static_cast<std::uint16_t>(facts.createdDateTime >> 16);
    info->lastAccessDate = facts.accessedDate;
    info->lastUpdateDateAndTime = facts.updatedDateTime;
    info->ownerId = facts.owner;
    copyTruncated(name, info->name, sizeof info->name);
    return nw::kSuccess;
}

NWCCODE SimClient::NWIntScanExtendedInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::uint8_t searchAttributes,
                                         std::uint32_t* sequence, const char* pattern, ExtendedInfoRecord* info,
                                         std::uint8_t)
{
    PathCall call;
    NWCCODE code = m->openPath(Operation::ScanExtendedInfo, conn, dirHandle, pattern, info != nullptr,
                               LastPart::Pattern, call);
    if (code != nw::kSuccess)
        return code;
    HostFacts facts;
    std::uint32_t position = sequence != nullptr ? *sequence : 0xFFFFFFFFu;
    code = m->findEntry(call.target, searchAttributes, &position, true, m->resolution, facts);
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
