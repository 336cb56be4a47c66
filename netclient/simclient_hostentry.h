#pragma once

// The host facts of one entry: its status and the extended attributes that
// carry its NetWare owner, attributes and creation date (or the DOS
// attributes and creation time Samba or the SMB client keep), read from the host
// and decoded into the facts the client answers with. Every source of an
// entry's attributes and dates is read and weighed here, and nowhere else:
// the read-ahead reads entries through HostEntry on its thread, the client's
// file operations on the caller's, and both hand the result to facts().

#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "netclient/dosattrib.h"
#include "netclient/nwclient.h"

namespace simclient {

// What the client answers of one entry.
struct HostFacts {
    bool directory = false;
    std::uint64_t size = 0;
    std::uint32_t attributes = 0;  // NetWare attribute bits
    std::uint32_t owner = 0;       // the object ID of its owner
    // In the DOS layout (dosdate.h): created and last updated as date and
    // time, last accessed as a date.
    std::uint32_t createdDateTime = 0;
    std::uint32_t updatedDateTime = 0;
    std::uint16_t accessedDate = 0;
};
class HostEntry {
public:
    // Host user IDs to the directory objects that stand for them.
    using OwnerMap = std::map<std::uint32_t, std::uint32_t>;

    // Reads the entry's status, never following a link: name relative to
    // folderFd, or a whole path with folderFd -1. False when the host refuses
    // it (the reason is kept for facts()). Forgets the attributes read before.
    bool readStatus(int folderFd, const char* name);
    // Reads the extended attributes, after the status: relative to folderFd
    // where the system can, else by path (the entry's whole host path).
    void readAttributes(int folderFd, const char* name, const std::string& path);
    // Whether the status was read, and the status itself.
    bool statusRead() const { return m_statusError == 0; }
    std::uint64_t size() const { return m_status.stx_size; }
    std::uint32_t mode() const { return m_status.stx_mode; }

    // The facts of the entry named name (its host name: a leading dot hides
    // it), or the code of the failure: the entry gone, or refused.
    NWCCODE facts(std::string_view name, const OwnerMap& owners, HostFacts& out) const;

private:
    // The extended attributes read, by what they hold.
    enum class Source { None, Owner, Attributes, Created, Samba, ClientAttributes, ClientCreationTime };
    static Source sourceNamed(std::string_view attribute);
    // Reads one and keeps what it holds. False when the host refused it.
    bool readSource(Source source, int folderFd, const char* name, const std::string& path,
                    const char* attributeName);

    int m_statusError = -1;            // errno of the status call; 0 when it worked, -1 before any
    bool m_attributesRefused = false;  // the host refused to show an extended attribute
    struct statx m_status {};
    std::optional<std::int32_t> m_owner;
    std::optional<std::int32_t> m_attributes;
    std::optional<std::uint16_t> m_createdDate;
    dosattrib::DosInfo m_samba;
    std::optional<std::uint32_t> m_clientAttributes;
    std::optional<std::uint64_t> m_clientCreated;
};

}  // namespace simclient
