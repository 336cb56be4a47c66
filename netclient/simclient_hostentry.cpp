// The host facts of one entry: its status and NetWare extended attributes,
// read and decoded (see simclient_hostentry.h).

#include "netclient/simclient_hostentry.h"

#include <fcntl.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "netclient/dosattrib.h"
#include "netclient/dosdate.h"
#include "netclient/simclient.h"
#include "platform/drives.h"
#include "platform/profile.h"

using namespace simclient;

namespace {

constexpr std::string_view kOwnerAttribute = "user.nw.owner";
constexpr std::string_view kAttributesAttribute = "user.nw.attributes";
constexpr std::string_view kCreatedAttribute = "user.nw.created";
// Samba's stored DOS attributes and creation time, and the SMB client's.
constexpr std::string_view kSambaAttribute = "user.DOSATTRIB";
constexpr std::string_view kClientAttributes = "user.cifs.dosattrib";
constexpr std::string_view kClientCreationTime = "user.cifs.creationtime";
constexpr const char* kClientAttributesSmb3 = "smb3.dosattrib";
constexpr const char* kClientCreationTimeSmb3 = "smb3.creationtime";

// The file systems of the Linux SMB client (cifs, and its smb3 name) and of
// the old smbfs, whose DOS attributes are there to be asked for by name but
// never listed.
bool isSmbClientFileSystem(long type)
{
    return type == static_cast<long>(0xFF534D42) || type == static_cast<long>(0xFE534D42) || type == 0x517B;
}

// Whether the entry lies on an SMB client mount: asked of the system once per
// device and thread (a walk stays on one device for long stretches).
bool onSmbClientMount(int folderFd, const std::string& path, const struct statx& status)
{
    thread_local std::uint64_t lastDevice = ~std::uint64_t{0};
    thread_local bool lastAnswer = false;
    const std::uint64_t device = static_cast<std::uint64_t>(status.stx_dev_major) << 32 | status.stx_dev_minor;
    if (device == lastDevice)
        return lastAnswer;
    struct statfs system {};
    const int result = folderFd >= 0 ? ::fstatfs(folderFd, &system) : ::statfs(path.c_str(), &system);
    lastDevice = device;
    lastAnswer = result == 0 && isSmbClientFileSystem(static_cast<long>(system.f_type));
    return lastAnswer;
}

std::string_view trimValue(std::string_view text)
{
    while (!text.empty() && (text.back() == '\0' || text.back() == '\n' || text.back() == '\r' ||
                             text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The extended-attribute calls relative to a folder descriptor, where the
// system has them (Linux 6.13 on); ENOSYS sends every later call by path.
struct XattrArgs {
    std::uint64_t value;
    std::uint32_t size;
    std::uint32_t flags;
};
#if defined(__linux__) && (defined(__x86_64__) || defined(__aarch64__))
constexpr long kGetXattrAt = 464;
constexpr long kListXattrAt = 465;
#else
constexpr long kGetXattrAt = -1;
constexpr long kListXattrAt = -1;
#endif
std::atomic<bool> g_xattrAtMissing{false};

// The call numbered callAt with these arguments, relative to the folder,
// where it can be; else the call by path.
template <typename ByPath, typename... Arguments>
ssize_t relativeOrByPath(long callAt, int folderFd, ByPath byPath, Arguments... arguments)
{
    if (callAt >= 0 && folderFd >= 0 && !g_xattrAtMissing.load(std::memory_order_relaxed)) {
        const long length = ::syscall(callAt, folderFd, arguments...);
        if (length >= 0 || errno != ENOSYS)
            return static_cast<ssize_t>(length);
        g_xattrAtMissing = true;
    }
    return byPath();
}

ssize_t listXattrs(int folderFd, const char* name, const std::string& path, char* list, std::size_t size)
{
    return relativeOrByPath(
        kListXattrAt, folderFd, [&] { return ::llistxattr(path.c_str(), list, size); }, name, AT_SYMLINK_NOFOLLOW,
        list, size);
}

ssize_t getXattr(int folderFd, const char* name, const std::string& path, const char* attribute, char* value,
                 std::size_t size)
{
    XattrArgs args{reinterpret_cast<std::uintptr_t>(value), static_cast<std::uint32_t>(size), 0};
    return relativeOrByPath(
        kGetXattrAt, folderFd, [&] { return ::lgetxattr(path.c_str(), attribute, value, size); }, name,
        AT_SYMLINK_NOFOLLOW, attribute, &args, sizeof args);
}

}  // namespace

bool HostEntry::readStatus(int folderFd, const char* name)
{
    m_attributesRefused = false;
    if (::statx(folderFd >= 0 ? folderFd : AT_FDCWD, name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME,
                &m_status) == 0) {
        m_statusError = 0;
        return true;
    }
    m_statusError = errno;
    return false;
}

void HostEntry::readAttributes(int folderFd, const char* name, const std::string& path)
{
    m_attributesRefused = false;
    m_owner.reset();
    m_attributes.reset();
    m_createdDate.reset();
    m_samba = {};
    m_clientAttributes.reset();
    m_clientCreated.reset();
    // One listing of the extended attributes; only those present are read.
    char names[512];
    std::vector<char> largeNames;
    ssize_t namesLength = listXattrs(folderFd, name, path, names, sizeof names);
    const char* list = names;
    if (namesLength < 0 && errno == ERANGE) {
        const ssize_t needed = listXattrs(folderFd, name, path, nullptr, 0);
        if (needed > 0) {
            largeNames.resize(static_cast<std::size_t>(needed));
            namesLength = listXattrs(folderFd, name, path, largeNames.data(), largeNames.size());
            list = largeNames.data();
        }
    }
    if (namesLength < 0 && errno == EACCES) {
        m_attributesRefused = true;
        return;
    }
    for (ssize_t offset = 0; namesLength > 0 && offset < namesLength;) {
        const char* attributeName = list + offset;
        const std::string_view attribute(attributeName,
                                         ::strnlen(attributeName, static_cast<std::size_t>(namesLength - offset)));
        offset += static_cast<ssize_t>(attribute.size()) + 1;
        const Source source = sourceNamed(attribute);
        if (source == Source::None)
            continue;
        if (!readSource(source, folderFd, name, path, attributeName))
            return;
    }
    // The SMB client lists none of its own values: on its mounts they are
    // asked for by name, under either of the names it answers to.
    if (!m_clientAttributes && !m_clientCreated && onSmbClientMount(folderFd, path, m_status)) {
        if (!readSource(Source::ClientAttributes, folderFd, name, path, kClientAttributes.data()))
            return;
        if (!m_clientAttributes && !readSource(Source::ClientAttributes, folderFd, name, path, kClientAttributesSmb3))
            return;
        if (!readSource(Source::ClientCreationTime, folderFd, name, path, kClientCreationTime.data()))
            return;
        if (!m_clientCreated && !readSource(Source::ClientCreationTime, folderFd, name, path, kClientCreationTimeSmb3))
            return;
    }
}

HostEntry::Source HostEntry::sourceNamed(std::string_view attribute)
{
    if (attribute == kOwnerAttribute)
        return Source::Owner;
    if (attribute == kAttributesAttribute)
        return Source::Attributes;
    if (attribute == kCreatedAttribute)
        return Source::Created;
    if (attribute == kSambaAttribute)
        return Source::Samba;
    if (attribute == kClientAttributes)
        return Source::ClientAttributes;
    if (attribute == kClientCreationTime)
        return Source::ClientCreationTime;
    return Source::None;
}

bool HostEntry::readSource(Source source, int folderFd, const char* name, const std::string& path,
                           const char* attributeName)
{
    // Room for any of these values as Samba or the client writes them; a
    // longer one is none of them and is left alone.
    char value[256];
    const ssize_t valueLength = getXattr(folderFd, name, path, attributeName, value, sizeof value);
    if (valueLength < 0) {
        m_attributesRefused = errno == EACCES;
        return !m_attributesRefused;
    }
    const std::string_view bytes(value, static_cast<std::size_t>(valueLength));
    switch (source) {
    case Source::Owner:
        m_owner = profile::parseInteger(trimValue(bytes));
        break;
    case Source::Attributes:
        m_attributes = profile::parseInteger(trimValue(bytes));
        break;
    case Source::Created:
        m_createdDate = dosdate::parseIsoDate(trimValue(bytes));
        break;
    case Source::Samba:
        m_samba = dosattrib::decodeSambaValue(bytes);
        break;
    case Source::ClientAttributes:
        m_clientAttributes = dosattrib::decodeClientAttributes(bytes);
        break;
    case Source::ClientCreationTime:
        m_clientCreated = dosattrib::decodeClientCreationTime(bytes);
        break;
    case Source::None:
        break;
    }
    return true;
}

NWCCODE HostEntry::facts(std::string_view name, const OwnerMap& owners, HostFacts& out) const
{
    if (m_statusError != 0)
        return m_statusError == EACCES ? nw::kErrAccessDenied : nw::kErrNoSuchFile;
    if (m_attributesRefused)
        return nw::kErrAccessDenied;

    const struct statx& info = m_status;
    out.directory = S_ISDIR(info.stx_mode);
    out.size = info.stx_size;
    // A file system without birth times reports none, or an empty one.
    const bool hasBirth = (info.stx_mask & STATX_BTIME) != 0 &&
                          (info.stx_btime.tv_sec != 0 || info.stx_btime.tv_nsec != 0);
    // A creation time Windows users set (kept by Samba, or shown by the SMB
    // client) comes before the host's own.
    std::optional<std::time_t> setCreated;
    if (m_samba.createTime)
        setCreated = dosattrib::unixTimeOf(*m_samba.createTime);
    if (!setCreated && m_clientCreated)
        setCreated = dosattrib::unixTimeOf(*m_clientCreated);
    const std::time_t created = setCreated ? *setCreated
                                : hasBirth ? info.stx_btime.tv_sec
                                           : info.stx_ctime.tv_sec;
    // One conversion to local time per distinct time stamp (it is most of
    // the cost here): a date is the high half of its date and time.
    const std::time_t updated = info.stx_mtime.tv_sec;
    const std::time_t accessed = info.stx_atime.tv_sec;
    const std::uint32_t createdStamp = dosdate::packLocalDateTime(created);
    const std::uint32_t updatedStamp = updated == created ? createdStamp : dosdate::packLocalDateTime(updated);
    const std::uint32_t accessedStamp = accessed == created   ? createdStamp
                                        : accessed == updated ? updatedStamp
                                                              : dosdate::packLocalDateTime(accessed);
    out.createdDateTime = createdStamp;
    out.accessedDate = static_cast<std::uint16_t>(accessedStamp >> 16);
    out.updatedDateTime = updatedStamp;

    // NetWare attributes of its own come first, then the DOS attributes
    // Samba keeps, then the SMB client's. Without any, an entry nobody may
    // write is read-only and one whose name begins with a dot is hidden.
    if (m_attributes) {
        out.attributes = static_cast<std::uint32_t>(*m_attributes);
    } else if (const std::optional<std::uint32_t> dos = m_samba.attributes ? m_samba.attributes : m_clientAttributes) {
        out.attributes = dosattrib::netWareBitsOf(*dos);
    } else {
        out.attributes = 0;
        if ((info.stx_mode & 0222) == 0)
            out.attributes |= platform::kAttrReadOnly;
        if (!name.empty() && name.front() == '.')
            out.attributes |= platform::kAttrHidden;
    }
    if (out.directory)
        out.attributes |= platform::kAttrDirectory;
    if (m_createdDate) {
        out.createdDateTime = static_cast<std::uint32_t>(*m_createdDate) << 16;
    }
    if (m_owner) {
        out.owner = static_cast<std::uint32_t>(*m_owner);
    } else if (const auto mapped = owners.find(info.stx_uid); mapped != owners.end()) {
        out.owner = mapped->second;
    } else {
        out.owner = info.stx_uid;
    }
    return nw::kSuccess;
}
