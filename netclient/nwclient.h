#pragma once

// The operations the program calls on the NetWare client, gathered in one
// interface. Every operation returns a 32-bit code, 0 for success. The records
// keep the client's byte layouts so that a binding to a real client can be
// written later without touching the program.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

using NWCCODE = std::uint32_t;
using NWCONN_HANDLE = std::uint32_t;
using NWDIR_HANDLE = std::uint8_t;
using NWDSContextHandle = std::uint32_t;

// Opaque directory-services buffer; only the client knows what it holds.
struct Buf_T;

namespace nw {

// Return codes the program itself relies on.
inline constexpr NWCCODE kSuccess = 0;
// The name-space path call answers this when the volume has no such name
// space; the caller then keeps the listing's own name.
inline constexpr NWCCODE kInvalidNameSpace = 0x89BF;

// Name spaces: the DOS one (8.3 names) and the long one.
inline constexpr std::uint8_t kDosNameSpace = 0;
inline constexpr std::uint8_t kLongNameSpace = 4;

// A directory lookup that could not reach the directory at all (the server
// is lost or does not answer in time): not an answer about the object.
inline constexpr NWCCODE kDsErrTransportFailure = static_cast<NWCCODE>(-625);
// The directory has no object of that name or ID.
inline constexpr NWCCODE kDsErrNoSuchEntry = static_cast<NWCCODE>(-601);

// Context keys of the directory services.
inline constexpr int kContextFlags = 1;        // 32-bit flags word
inline constexpr int kContextNameContext = 3;  // name context text
// Flag of the context flags word: names come back typeless ("A.B.C").
inline constexpr std::uint32_t kTypelessNames = 4;

inline constexpr std::size_t kDsBufferSize = 4096;
inline constexpr int kConnectionInfoLevel = 1;

// Search attributes of the scan's file calls: hidden and system files too.
inline constexpr std::uint8_t kSearchHiddenAndSystem = 6;

// The text of a fixed client buffer up to its NUL: the client never writes
// past a buffer, but a full one without its NUL must not be read past either.
inline std::string_view boundedText(const char* buffer, std::size_t size) { return {buffer, strnlen(buffer, size)}; }

}  // namespace nw

#pragma pack(push, 1)

struct FileInfoRecord {
    std::uint8_t attributes;
    std::uint8_t extendedAttributes;
    std::uint8_t padding[2];
    std::uint32_t size;
    std::uint16_t creationDate;
    std::uint16_t lastAccessDate;
    std::uint32_t lastUpdateDateAndTime;
    std::uint32_t ownerId;
    std::uint32_t lastArchiveDateAndTime;
    char name[260];
};
static_assert(sizeof(FileInfoRecord) == 284);
static_assert(offsetof(FileInfoRecord, size) == 4);
static_assert(offsetof(FileInfoRecord, creationDate) == 8);
static_assert(offsetof(FileInfoRecord, lastAccessDate) == 10);
static_assert(offsetof(FileInfoRecord, lastUpdateDateAndTime) == 12);
static_assert(offsetof(FileInfoRecord, ownerId) == 16);
static_assert(offsetof(FileInfoRecord, lastArchiveDateAndTime) == 20);
static_assert(offsetof(FileInfoRecord, name) == 24);

struct ExtendedInfoRecord {
    std::uint32_t sequence;
    std::uint32_t parentId;
    std::uint32_t attributes;  // the NetWare attribute bits
    std::uint8_t uniqueId;
    std::uint8_t flags;
    std::uint8_t nameSpace;
    std::uint8_t nameLength;
    char name[12];
    std::uint32_t creationDateAndTime;
    std::uint32_t ownerId;
    std::uint32_t lastArchivedDateAndTime;
    std::uint32_t lastArchivedId;
    std::uint32_t updatedDateAndTime;
    std::uint32_t updatedId;
    std::uint32_t fileSize;
    std::uint8_t reserved1[44];
    std::uint16_t inheritedRightsMask;
    std::uint16_t lastAccessDate;
    std::uint8_t reserved2[36];
};
static_assert(sizeof(ExtendedInfoRecord) == 140);
static_assert(offsetof(ExtendedInfoRecord, attributes) == 8);

struct ConnectionInfoRecord {
    std::uint8_t reserved[56];
    char serverName[84];  // NUL-terminated
};
static_assert(sizeof(ConnectionInfoRecord) == 140);
static_assert(offsetof(ConnectionInfoRecord, serverName) == 56);

struct ObjectInfoRecord {
    std::uint32_t objectFlags;
    std::uint32_t subordinateCount;
    std::uint32_t modificationTime;
    char baseClass[68];  // NUL-terminated class name
};
static_assert(sizeof(ObjectInfoRecord) == 80);
static_assert(offsetof(ObjectInfoRecord, subordinateCount) == 4);
static_assert(offsetof(ObjectInfoRecord, baseClass) == 12);

struct LocaleRecord {
    std::uint8_t reserved[56];
    std::int32_t codePage;   // byte 56
    std::int32_t countryId;  // byte 60
    std::uint8_t reserved2[64];
};
static_assert(sizeof(LocaleRecord) == 128);
static_assert(offsetof(LocaleRecord, codePage) == 56);
static_assert(offsetof(LocaleRecord, countryId) == 60);

struct DateRecord {
    std::uint8_t day;
    std::uint8_t month;
    std::uint16_t year;
};
static_assert(sizeof(DateRecord) == 4);
static_assert(offsetof(DateRecord, year) == 2);

struct TimeRecord {
    std::uint8_t seconds;
    std::uint8_t minutes;
    std::uint8_t hours;
};
static_assert(sizeof(TimeRecord) == 3);

// The path record of the name-space path call.
struct NwNsPath {
    const char* srcPath;
    char* dstPath;
    std::uint16_t dstPathSize;
};

#pragma pack(pop)

// One virtual function per client operation. Output buffers have the sizes
// given in their comments; the client never writes past them.
class NwClient {
public:
    virtual ~NwClient() = default;

    // Calls library.
    virtual NWCCODE NWCallsInit(void* in, void* out) = 0;
    // volPath: 512 bytes.
    virtual NWCCODE NWParseNetwarePath(const char* path, NWCONN_HANDLE* conn, NWDIR_HANDLE* dirHandle,
                                       char* volPath) = 0;
    virtual NWCCODE NWIntScanFileInformation2(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* pattern,
                                              std::uint8_t searchAttributes, std::uint8_t* sequence /*9 bytes*/,
                                              FileInfoRecord* info, std::uint8_t augmentFlag) = 0;
    virtual NWCCODE NWAllocateTemporaryDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path,
                                                       NWDIR_HANDLE* newHandle, std::uint8_t* effectiveRights) = 0;
    virtual NWCCODE NWIntScanExtendedInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::uint8_t searchAttributes,
                                          std::uint32_t* sequence, const char* pattern, ExtendedInfoRecord* info,
                                          std::uint8_t augmentFlag) = 0;
    virtual NWCCODE NWDeallocateDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) = 0;
    virtual NWCCODE NWGetOwningNameSpace(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path,
                                         std::uint8_t* nameSpace) = 0;
    virtual NWCCODE NWGetNSPath(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::uint16_t fileFlag,
                                std::uint8_t srcNameSpace, std::uint8_t dstNameSpace, NwNsPath* path) = 0;
    // name: 256 bytes.
    virtual NWCCODE NWGetLongName(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path,
                                  std::uint8_t srcNameSpace, std::uint8_t dstNameSpace, char* name) = 0;
    // name: 256 bytes.
    virtual NWCCODE NWGetObjectName(NWCONN_HANDLE conn, std::uint32_t objectId, char* name,
                                    std::uint16_t* objectType) = 0;
    virtual NWCCODE NWUnpackDate(std::uint16_t packedDate, DateRecord* date) = 0;
    virtual NWCCODE NWUnpackDateTime(std::uint32_t packedDateTime, DateRecord* date, TimeRecord* time) = 0;

    // Connection library.
    virtual NWCCODE NWCCGetPrimConnRef(std::uint32_t* connRef) = 0;
    virtual NWCCODE NWCCOpenConnByRef(std::uint32_t connRef, std::uint32_t openState, std::uint32_t reserved,
                                      NWCONN_HANDLE* conn) = 0;
    virtual NWCCODE NWGetConnectionInformation(NWCONN_HANDLE conn, int level, ConnectionInfoRecord* info) = 0;

    // Locale library.
    virtual NWCCODE NWLlocaleconv(LocaleRecord* locale) = 0;
    virtual NWCCODE NWInitUnicodeTables(std::int32_t countryCode, std::int32_t codePage) = 0;

    // Directory-services library.
    virtual NWCCODE NWDSCreateContextHandle(NWDSContextHandle* context) = 0;
    // value: a std::uint32_t for the flags key, a 256-byte text for the name context.
    virtual NWCCODE NWDSGetContext(NWDSContextHandle context, int key, void* value) = 0;
    virtual NWCCODE NWDSSetContext(NWDSContextHandle context, int key, const void* value) = 0;
    virtual NWCCODE NWDSDuplicateContextHandle(NWDSContextHandle context, NWDSContextHandle* newContext) = 0;
    virtual NWCCODE NWDSAllocBuf(std::size_t size, Buf_T** buffer) = 0;
    virtual NWCCODE NWDSFreeBuf(Buf_T* buffer) = 0;
    virtual NWCCODE NWDSList(NWDSContextHandle context, const char* objectName, std::int32_t* iterationHandle,
                             Buf_T* buffer) = 0;
    virtual NWCCODE NWDSGetObjectCount(NWDSContextHandle context, Buf_T* buffer, std::uint32_t* count) = 0;
    // name: 256 bytes.
    virtual NWCCODE NWDSGetObjectName(NWDSContextHandle context, Buf_T* buffer, char* name,
                                      std::uint32_t* attributeCount, ObjectInfoRecord* info) = 0;
    // name: 256 bytes.
    virtual NWCCODE NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, std::uint32_t objectId,
                                    char* name) = 0;

    // Not NetWare operations; a client with nothing to say keeps these.
    // A scan begins: what the client remembers of owner names and of the
    // volumes is kept for one scan at most, so a scan sees the directory and
    // the files as they are.
    virtual void beginScan() {}
    // The scan has ended: what the client read of the host for it is
    // forgotten, so that nothing read in a scan is trusted after it.
    virtual void endScan() {}
    // While a call waits on a server, hook is called about every 20 ms (to
    // keep a window painting); when it returns false the call gives up and
    // fails as a server that did not answer.
    virtual void setWaitHook(std::function<bool()> hook) { (void)hook; }
    // How many times the directory has stopped answering since the client
    // started: a new number is a new outage.
    virtual std::uint64_t directoryOutages() const { return 0; }
    // After kDsErrTransportFailure: which directory failed and why ("ldap://
    // host:389", "Can't contact LDAP server"). False when there is nothing to tell.
    virtual bool directoryFailure(std::string& directory, std::string& reason) const
    {
        (void)directory;
        (void)reason;
        return false;
    }
};

// The program reaches the client only through this pointer; tests swap it.
NwClient* nwClient();
void setNwClient(NwClient* client);
