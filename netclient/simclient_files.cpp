// Host files as the simulated client reports them: a file's status and
// extended attributes become NetWare file facts, and the two scan operations
// read them, one entry per call.

#include <fcntl.h>
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

constexpr std::int64_t kSettledSeconds = 2;

std::uint32_t clampSize(std::uint64_t size)
{
    return size >= 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(size);
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

// A file read twice in a row (the file information, then the extended
// information) keeps its extended attributes from the first read when its
// status change time says they cannot have changed since. Every change to
// them sets that time; a time well before the first read cannot be the time
// of a change made after it, whatever the clock's granularity.
void SimClient::State::readXattrsOnce(const std::string& path, HostRecord& record, int folderFd, const char* leaf)
{
    const struct statx& info = record.status;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    const dev_t device = makedev(info.stx_dev_major, info.stx_dev_minor);
    const bool unchanged = lastXattrs.valid && lastXattrs.device == device && lastXattrs.inode == info.stx_ino &&
                           lastXattrs.changedSec == info.stx_ctime.tv_sec &&
                           lastXattrs.changedNsec == info.stx_ctime.tv_nsec &&
                           info.stx_ctime.tv_sec + kSettledSeconds < lastXattrs.readAt;
    if (unchanged) {
        record.owner = lastXattrs.owner;
        record.attributes = lastXattrs.attributes;
        record.createdOverride = lastXattrs.createdOverride;
        return;
    }
    record.owner.reset();
    record.attributes.reset();
    record.createdOverride.reset();
    if (!readNetWareXattrs(folderFd, leaf, path, record)) {
        record.xattrsRefused = true;
        lastXattrs.valid = false;
        return;
    }
    lastXattrs.valid = true;
    lastXattrs.device = device;
    lastXattrs.inode = info.stx_ino;
    lastXattrs.changedSec = info.stx_ctime.tv_sec;
    lastXattrs.changedNsec = info.stx_ctime.tv_nsec;
    lastXattrs.readAt = now.tv_sec;
    lastXattrs.owner = record.owner;
    lastXattrs.attributes = record.attributes;
    lastXattrs.createdOverride = record.createdOverride;
}

NWCCODE SimClient::State::gatherFacts(const std::string& path, std::string_view name, HostFacts& facts)
{
    if (lastFacts.window == quietWindow && lastFacts.path == path && lastFacts.name == name) {
        facts = lastFacts.facts;
        return lastFacts.code;
    }
    const NWCCODE code = readFacts(path, name, facts);
    lastFacts.window = quietWindow;
    lastFacts.path = path;
    lastFacts.name.assign(name);
    lastFacts.code = code;
    lastFacts.facts = facts;
    return code;
}

NWCCODE SimClient::State::readFacts(const std::string& path, std::string_view name, HostFacts& facts)
{
    // A file of a folder is mostly read ahead by the second reader; what it
    // has not read, or what changed since, is read here.
    HostRecord& record = hostRecord;
    const std::size_t slash = path.rfind('/');
    const std::string_view pathView = path;
    const bool mayReadAhead =
        !name.empty() && slash != std::string::npos && slash > 0 && pathView.substr(slash + 1) == name;
    if (mayReadAhead)
        readAheadWatches();
    const Lookahead::Ahead ahead =
        mayReadAhead ? lookahead.take(pathView.substr(0, slash), name, record) : Lookahead::Ahead::Nothing;
    // An entry left to the caller is read through its folder, as the reader
    // reads it, while the folder is as it was listed: by the end of the path
    // (its name) relative to the folder, else by the whole path.
    const int folderFd = ahead == Lookahead::Ahead::Whole || !mayReadAhead ? -1 : lookahead.takenFolderFd();
    const char* const leaf = folderFd >= 0 ? path.c_str() + slash + 1 : path.c_str();
    if (ahead == Lookahead::Ahead::Nothing) {
        record.statusError = 0;
        record.xattrsRefused = false;
        if (::statx(folderFd >= 0 ? folderFd : AT_FDCWD, leaf, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME,
                    &record.status) != 0)
            record.statusError = errno;
        else
            readXattrsOnce(path, record, folderFd, leaf);
    } else if (ahead == Lookahead::Ahead::Status) {
        readXattrsOnce(path, record, folderFd, leaf);
    }
    if (ahead != Lookahead::Ahead::Whole && mayReadAhead)
        lookahead.giveBack(record);
    if (record.statusError != 0)
        return record.statusError == EACCES ? nw::kErrAccessDenied : nw::kErrNoSuchFile;
    if (record.xattrsRefused)
        return nw::kErrAccessDenied;

    const struct statx& info = record.status;
    facts.directory = S_ISDIR(info.stx_mode);
    facts.size = info.stx_size;
    // A file system without birth times reports none, or an empty one.
    const bool hasBirth = (info.stx_mask & STATX_BTIME) != 0 && (info.stx_btime.tv_sec != 0 || info.stx_btime.tv_nsec != 0);
    const std::time_t created = hasBirth ? info.stx_btime.tv_sec : info.stx_ctime.tv_sec;
    // One conversion to local time per distinct time stamp (it is most of
    // the cost here): a date is the high half of its date and time.
    const std::time_t updated = info.stx_mtime.tv_sec;
    const std::time_t accessed = info.stx_atime.tv_sec;
    const std::uint32_t createdStamp = dosdate::packLocalDateTime(created);
    const std::uint32_t updatedStamp = updated == created ? createdStamp : dosdate::packLocalDateTime(updated);
    const std::uint32_t accessedStamp = accessed == created   ? createdStamp
                                        : accessed == updated ? updatedStamp
                                                              : dosdate::packLocalDateTime(accessed);
    facts.createdDate = static_cast<std::uint16_t>(createdStamp >> 16);
    facts.createdDateTime = createdStamp;
    facts.accessedDate = static_cast<std::uint16_t>(accessedStamp >> 16);
    facts.updatedDateTime = updatedStamp;

    const std::optional<std::int32_t>& owner = record.owner;
    const std::optional<std::int32_t>& attributes = record.attributes;
    const std::optional<std::uint16_t>& createdOverride = record.createdOverride;
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

NWCCODE SimClient::NWIntScanFileInformation2(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* pattern,
                                             std::uint8_t searchAttributes, std::uint8_t* sequence,
                                             FileInfoRecord* info, std::uint8_t)
{
    const State::CallSpan span(*m);
    PathCall call;
    NWCCODE code = m->openPath(Operation::ScanFileInformation2, conn, dirHandle, pattern, info != nullptr,
                               LastPart::Pattern, call);
    if (code != nw::kSuccess)
        return code;
    const Target& target = call.target;

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

NWCCODE SimClient::NWIntScanExtendedInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::uint8_t searchAttributes,
                                         std::uint32_t* sequence, const char* pattern, ExtendedInfoRecord* info,
                                         std::uint8_t)
{
    const State::CallSpan span(*m);
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
