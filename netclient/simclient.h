#pragma once

// The simulated NetWare workstation: a NetWare client that serves volumes from
// host folders, as the workstation file describes them (see docs/workstation.md).
// Every operation of NwClient works on real host files, so scans here are
// real scans.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "netclient/nwclient.h"
#include "netclient/workstation.h"

namespace nw {

// Codes the simulated client answers, in the client's (0x88xx) and the
// server's (0x89xx) ranges, and negative directory-services codes.
inline constexpr NWCCODE kErrInvalidConnection = 0x8801;    // unknown connection handle or reference
inline constexpr NWCCODE kErrDriveNotMapped = 0x8803;       // no such drive letter, or not a drive path
inline constexpr NWCCODE kErrNotNetWareDrive = 0x880F;      // a local drive: no server behind it
inline constexpr NWCCODE kErrNoPrimaryConnection = 0x8810;  // the workstation has no server
inline constexpr NWCCODE kErrInvalidParameter = 0x8836;     // null pointer, unknown level or name space pair
inline constexpr NWCCODE kErrBufferTooSmall = 0x8877;       // the answer does not fit the caller's buffer
inline constexpr NWCCODE kErrWorkstationFile = 0x88FE;      // initialisation: no usable workstation file
inline constexpr NWCCODE kErrNoSuchVolume = 0x8998;
inline constexpr NWCCODE kErrBadDirectoryHandle = 0x899B;
inline constexpr NWCCODE kErrInvalidPath = 0x899C;  // too long, a name NetWare cannot hold, not a folder
inline constexpr NWCCODE kErrNoMoreDirectoryHandles = 0x899D;
inline constexpr NWCCODE kErrAccessDenied = 0x89A8;  // the host refuses to show the entry
inline constexpr NWCCODE kErrNoSuchObject = 0x89FC;  // bindery: nobody has that ID
inline constexpr NWCCODE kErrNoSuchFile = 0x89FF;    // no entry matches (or no further one)

inline constexpr NWCCODE kDsErrBadKey = static_cast<NWCCODE>(-303);
inline constexpr NWCCODE kDsErrBadContext = static_cast<NWCCODE>(-304);
inline constexpr NWCCODE kDsErrBufferEmpty = static_cast<NWCCODE>(-308);  // no (further) object in the buffer
inline constexpr NWCCODE kDsErrBadBuffer = static_cast<NWCCODE>(-330);    // not a buffer of this client
inline constexpr NWCCODE kDsErrNameTooLong = static_cast<NWCCODE>(-353);
inline constexpr NWCCODE kDsErrInvalidIteration = static_cast<NWCCODE>(-359);
inline constexpr NWCCODE kDsErrInsufficientBuffer = static_cast<NWCCODE>(-649);

// Temporary directory handles one connection can hold at once.
inline constexpr int kMaxDirectoryHandles = 255;

}  // namespace nw

class SimClient : public NwClient {
public:
    SimClient();
    ~SimClient() override;
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    // Where NWCallsInit looks for workstation.ini after NWCLIENT_CONFIG; the
    // folder of the running executable when never set.
    void setExecutableFolder(std::string folder);

    // Load a workstation, replacing everything loaded before (handles,
    // contexts and buffers included), and point platform::drives() at its
    // drives. False, with "file:line: reason" in *error, when the file cannot
    // be read or is malformed; the client then holds no workstation.
    bool loadFile(const std::string& path, std::string* error);
    bool loadText(std::string_view text, std::string* error, std::string_view fileName = "workstation.ini",
                  std::string_view baseFolder = {});
    bool isLoaded() const;
    const workstation::Workstation& workstationModel() const;
    // The reason of the last failed load (also written to standard error by NWCallsInit).
    const std::string& lastError() const;

    // For tests: temporary directory handles the connection holds.
    int openTemporaryHandles(NWCONN_HANDLE conn) const;
    // For tests: at most this many objects per listing portion (0: as many as
    // the buffer holds).
    void setListPortionSize(std::size_t objects);
    // For tests: how many times a host folder has been read for its names
    // (by the folder caches, or by the read-ahead for them).
    std::uint64_t folderListings() const;
    // For tests: how many file entries the read-ahead has read, how
    // many file reads were answered from what it read, and how many listings
    // took the folder's entries from it.
    std::uint64_t entriesReadAhead() const;
    std::uint64_t answersReadAhead() const;
    std::uint64_t listingsReadAhead() const;
    // The system's user database as the bindery lookup sees it (host user ID
    // to login name); tests replace it. Each ID is asked at most once per load.
    using HostUserLookup = std::function<std::optional<std::string>(std::uint32_t uid)>;
    void setHostUserLookup(HostUserLookup lookup);

    // Calls library.
    NWCCODE NWCallsInit(void* in, void* out) override;
    NWCCODE NWParseNetwarePath(const char* path, NWCONN_HANDLE* conn, NWDIR_HANDLE* dirHandle,
                               char* volPath) override;
    NWCCODE NWIntScanFileInformation2(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* pattern,
                                      std::uint8_t searchAttributes, std::uint8_t* sequence, FileInfoRecord* info,
                                      std::uint8_t augmentFlag) override;
    NWCCODE NWAllocateTemporaryDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path,
                                               NWDIR_HANDLE* newHandle, std::uint8_t* effectiveRights) override;
    NWCCODE NWIntScanExtendedInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::uint8_t searchAttributes,
                                  std::uint32_t* sequence, const char* pattern, ExtendedInfoRecord* info,
                                  std::uint8_t augmentFlag) override;
    NWCCODE NWDeallocateDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) override;
    NWCCODE NWGetOwningNameSpace(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path,
                                 std::uint8_t* nameSpace) override;
    NWCCODE NWGetNSPath(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::uint16_t fileFlag, std::uint8_t srcNameSpace,
                        std::uint8_t dstNameSpace, NwNsPath* path) override;
    NWCCODE NWGetLongName(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path, std::uint8_t srcNameSpace,
                          std::uint8_t dstNameSpace, char* name) override;
    NWCCODE NWGetObjectName(NWCONN_HANDLE conn, std::uint32_t objectId, char* name,
                            std::uint16_t* objectType) override;
    NWCCODE NWUnpackDate(std::uint16_t packedDate, DateRecord* date) override;
    NWCCODE NWUnpackDateTime(std::uint32_t packedDateTime, DateRecord* date, TimeRecord* time) override;

    // Connection library.
    NWCCODE NWCCGetPrimConnRef(std::uint32_t* connRef) override;
    NWCCODE NWCCOpenConnByRef(std::uint32_t connRef, std::uint32_t openState, std::uint32_t reserved,
                              NWCONN_HANDLE* conn) override;
    NWCCODE NWGetConnectionInformation(NWCONN_HANDLE conn, int level, ConnectionInfoRecord* info) override;

    // Locale library.
    NWCCODE NWLlocaleconv(LocaleRecord* locale) override;
    NWCCODE NWInitUnicodeTables(std::int32_t countryCode, std::int32_t codePage) override;

    // Directory-services library.
    NWCCODE NWDSCreateContextHandle(NWDSContextHandle* context) override;
    NWCCODE NWDSGetContext(NWDSContextHandle context, int key, void* value) override;
    NWCCODE NWDSSetContext(NWDSContextHandle context, int key, const void* value) override;
    NWCCODE NWDSDuplicateContextHandle(NWDSContextHandle context, NWDSContextHandle* newContext) override;
    NWCCODE NWDSAllocBuf(std::size_t size, Buf_T** buffer) override;
    NWCCODE NWDSFreeBuf(Buf_T* buffer) override;
    NWCCODE NWDSList(NWDSContextHandle context, const char* objectName, std::int32_t* iterationHandle,
                     Buf_T* buffer) override;
    NWCCODE NWDSGetObjectCount(NWDSContextHandle context, Buf_T* buffer, std::uint32_t* count) override;
    NWCCODE NWDSGetObjectName(NWDSContextHandle context, Buf_T* buffer, char* name, std::uint32_t* attributeCount,
                              ObjectInfoRecord* info) override;
    NWCCODE NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, std::uint32_t objectId,
                            char* name) override;
    void beginScan() override;
    void endScan() override;
    bool directoryFailure(std::string& directory, std::string& reason) const override;
    void setWaitHook(std::function<bool()> hook) override;
    std::uint64_t directoryOutages() const override;
    // For tests: how many requests have gone to the directory server.
    std::uint64_t directoryRequests() const;

private:
    struct State;
    std::unique_ptr<State> m;
};
