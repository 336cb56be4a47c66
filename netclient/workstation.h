#pragma once

// The workstation file: which volumes the simulated client serves from which
// host folders, which drive letters are mapped, the directory tree, the
// bindery, the host-user-to-owner table and the faults to inject. This file
// finds it, reads it with the project's profile parser and checks it into a
// plain model; every problem is reported as "file:line: [Section] key: reason".

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "netclient/nwclient.h"

namespace workstation {

// Every operation of the client interface, for [Faults].
enum class Operation : std::uint8_t {
    CallsInit,
    ParseNetwarePath,
    ScanFileInformation2,
    AllocateTemporaryDirectoryHandle,
    ScanExtendedInfo,
    DeallocateDirectoryHandle,
    GetOwningNameSpace,
    GetNSPath,
    GetLongName,
    GetObjectName,
    UnpackDate,
    UnpackDateTime,
    CCGetPrimConnRef,
    CCOpenConnByRef,
    GetConnectionInformation,
    Llocaleconv,
    InitUnicodeTables,
    DSCreateContextHandle,
    DSGetContext,
    DSSetContext,
    DSDuplicateContextHandle,
    DSAllocBuf,
    DSFreeBuf,
    DSList,
    DSGetObjectCount,
    DSGetObjectName,
    DSMapIDToName,
    Count
};
inline constexpr std::size_t kOperationCount = static_cast<std::size_t>(Operation::Count);

// The operation's name as the interface spells it ("NWIntScanExtendedInfo").
std::string_view operationName(Operation operation);
// Case-blind.
std::optional<Operation> operationFromName(std::string_view name);

struct Volume {
    std::string server;      // in capitals
    std::string name;        // in capitals
    std::string hostFolder;  // absolute or as written, without a trailing slash
    int line = 0;
};

struct Drive {
    char letter = 0;  // 'A' to 'Z'
    bool netware = false;
    std::size_t volume = 0;         // NetWare drive: index into volumes
    std::vector<std::string> path;  // NetWare drive: folders below the volume root, as on the host
    std::string hostFolder;         // the folder the letter stands for
    int line = 0;
};

struct DirectoryObject {
    std::string fullName;   // "JSMITH.SALES.ACME": the object first, then its containers
    std::string className;  // "User"
    std::optional<std::uint32_t> id;
    int line = 0;
};

// [LDAP]: the directory taken from a server instead of [Directory].
struct LdapSection {
    std::string uri;           // ldap://host:port or ldaps://host:port
    std::string base;          // a DN
    std::string bindDn;        // empty: anonymous
    std::string passwordFile;  // absolute, or as written when no folder was known
    bool startTls = false;
    std::string caCertFile;  // absolute, or as written when no folder was known
    int timeoutSeconds = 5;
    int line = 0;  // the section's first line
};

struct Fault {
    Operation operation = Operation::Count;
    std::string pattern;  // Windows wildcard, matched blind to case
    NWCCODE code = 0;
    int line = 0;
};

struct Workstation {
    std::string fileName;
    std::vector<Volume> volumes;             // in file order
    std::vector<Drive> drives;               // in letter order
    std::vector<DirectoryObject> directory;  // in file order
    std::optional<LdapSection> ldap;         // instead of directory
    std::map<std::uint32_t, std::string> bindery;
    std::map<std::uint32_t, std::uint32_t> owners;  // host user ID -> object ID
    std::vector<Fault> faults;
};

// Limits the file keeps, so that every name fits the client's records.
inline constexpr std::size_t kMaxServerName = 47;
inline constexpr std::size_t kMaxVolumeName = 15;
inline constexpr std::size_t kMaxFullName = 255;
inline constexpr std::size_t kMaxClassName = 67;
inline constexpr std::size_t kMaxBinderyName = 255;

// Checks workstation text. Relative host folders are taken from baseFolder
// (the current folder when empty). fileName stands in front of every error.
bool parse(std::string_view text, std::string_view fileName, std::string_view baseFolder, Workstation& result,
           std::string& error);

// Reads and checks a file; relative host folders are taken from its folder.
bool load(const std::string& path, Workstation& result, std::string& error);

// The workstation file to use: the file NWCLIENT_CONFIG names; else
// workstation.ini in the executable's folder; else workstation.ini in the
// user's configuration folder ($XDG_CONFIG_HOME/trawl, or ~/.config/trawl when
// that variable is unset); else trawl/workstation.ini in each folder of
// $XDG_CONFIG_DIRS in turn (/etc/xdg when unset). Nothing, with the places
// looked at in error, when none exists.
std::optional<std::string> find(std::string_view executableFolder, std::string& error);

}  // namespace workstation
