#pragma once

// The validated settings of one scan and the state of the current or last scan.
// Both are plain records; the window fills them, the scan engine reads them.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/drives.h"
#include "platform/outputstream.h"

// Limits of the texts the criteria hold. Longer texts are refused by the
// validation with a message, never cut silently.
inline constexpr std::size_t kMaxPatternLength = 255;
inline constexpr std::size_t kMaxPathLength = 511;
inline constexpr std::size_t kMaxServerNameLength = 254;
inline constexpr std::size_t kMaxCommandTextLength = 1023;
inline constexpr std::size_t kMaxNameLength = 255;

struct ScanCriteria {
    std::string Pattern;
    std::int32_t SizeMode = 0;  // 0 none, 1 greater (or equal), 2 less (or equal), 3 equal
    // Held exactly as typed (not rounded to single precision), so that
    // "Equal To 16777217" means 16777217.
    double SizeBytes = 0.0;
    std::int32_t DateTestOn = 0;
    std::int32_t DateType = 0;  // 1 accessed, 2 modified, 3 created; 0 until chosen once
    std::int32_t DateMode = 0;  // 1 before, 2 exact, 3 after, 4 between
    double BeforeDate = 0.0;
    double AfterDate = 0.0;
    double ExactDate = 0.0;
    std::uint32_t AttributeMask = 0;
    std::int32_t OwnerTestOn = 0;
    std::int32_t OutputToFile = 0;
    std::int32_t CommandFileOn = 0;
    std::int32_t QuoteValues = 0;
    std::int32_t HeadingsOn = 0;
    char Separator = 0;
    std::string OutputFileName;
    std::string ServerName;
    std::string CommandText;
    std::int32_t OutFullPath = 0;
    std::int32_t OutFileName = 0;
    std::int32_t OutSize = 0;
    std::int32_t OutOwner = 0;
    std::int32_t OutAttributes = 0;
    std::int32_t OutAccessed = 0;
    std::int32_t OutCreation = 0;
    std::int32_t OutModified = 0;
    std::int32_t OutServer = 0;
    std::int32_t OutExtension = 0;
    // The history: record the scan in it (the database's name as typed,
    // empty for the default), write each match's change, and write only the
    // files that changed (New, Changed, Gone).
    std::int32_t HistoryOn = 0;
    std::string HistoryName;
    std::int32_t OutChange = 0;
    std::int32_t ChangesOnly = 0;
};

struct ScanProgress {
    std::int32_t Running = 0;
    std::int32_t FilesScanned = 0;
    std::int32_t DirsScanned = 0;
    std::int32_t MatchingFiles = 0;
    // An exact sum: a float total stops counting single bytes at 16 MiB.
    std::uint64_t MatchingSize = 0;
    std::unique_ptr<OutputStream> OutputFile;  // open only during a scan with output
};

// NetWare attribute bits as the extended information reports them. The low
// byte holds the DOS attributes, which are the host listing's bits.
namespace nwattr {
inline constexpr std::uint32_t ReadOnly = platform::kAttrReadOnly;
inline constexpr std::uint32_t Hidden = platform::kAttrHidden;
inline constexpr std::uint32_t System = platform::kAttrSystem;
inline constexpr std::uint32_t ExecuteOnly = 0x00000008;
inline constexpr std::uint32_t ArchiveNeeded = platform::kAttrArchive;
inline constexpr std::uint32_t Shareable = 0x00000080;
inline constexpr std::uint32_t DontSuballocate = 0x00000800;
inline constexpr std::uint32_t Transactional = 0x00001000;
inline constexpr std::uint32_t ReadAudit = 0x00004000;
inline constexpr std::uint32_t WriteAudit = 0x00008000;
inline constexpr std::uint32_t ImmedPurge = 0x00010000;
inline constexpr std::uint32_t RenameInhibit = 0x00020000;
inline constexpr std::uint32_t DeleteInhibit = 0x00040000;
inline constexpr std::uint32_t CopyInhibit = 0x00080000;
inline constexpr std::uint32_t Migrated = 0x00400000;
inline constexpr std::uint32_t DontMigrate = 0x00800000;
inline constexpr std::uint32_t ImmedCompress = 0x02000000;
inline constexpr std::uint32_t Compressed = 0x04000000;
inline constexpr std::uint32_t DontCompress = 0x08000000;
inline constexpr std::uint32_t CantCompress = 0x20000000;
}  // namespace nwattr
