#pragma once

// A GoogleMock client: every operation of NwClient as a mock method, for tests
// that check which calls are made, in which order and with which arguments.
// Wrap it in NiceMock when only some calls matter; the defaults then answer 0
// (success) and leave the out arguments as the caller set them.

#include <gmock/gmock.h>

#include "netclient/nwclient.h"

class MockNwClient : public NwClient {
public:
    // Calls library.
    MOCK_METHOD(NWCCODE, NWCallsInit, (void* in, void* out), (override));
    MOCK_METHOD(NWCCODE, NWParseNetwarePath,
                (const char* path, NWCONN_HANDLE* conn, NWDIR_HANDLE* dirHandle, char* volPath), (override));
    MOCK_METHOD(NWCCODE, NWIntScanFileInformation2,
                (NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* pattern, std::uint8_t searchAttributes,
                 std::uint8_t* sequence, FileInfoRecord* info, std::uint8_t augmentFlag),
                (override));
    MOCK_METHOD(NWCCODE, NWAllocateTemporaryDirectoryHandle,
                (NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path, NWDIR_HANDLE* newHandle,
                 std::uint8_t* effectiveRights),
                (override));
    MOCK_METHOD(NWCCODE, NWIntScanExtendedInfo,
                (NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::uint8_t searchAttributes, std::uint32_t* sequence,
                 const char* pattern, ExtendedInfoRecord* info, std::uint8_t augmentFlag),
                (override));
    MOCK_METHOD(NWCCODE, NWDeallocateDirectoryHandle, (NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle), (override));
    MOCK_METHOD(NWCCODE, NWGetOwningNameSpace,
                (NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path, std::uint8_t* nameSpace), (override));
    MOCK_METHOD(NWCCODE, NWGetNSPath,
                (NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::uint16_t fileFlag, std::uint8_t srcNameSpace,
                 std::uint8_t dstNameSpace, NwNsPath* path),
                (override));
    MOCK_METHOD(NWCCODE, NWGetLongName,
                (NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path, std::uint8_t srcNameSpace,
                 std::uint8_t dstNameSpace, char* name),
                (override));
    MOCK_METHOD(NWCCODE, NWGetObjectName,
                (NWCONN_HANDLE conn, std::uint32_t objectId, char* name, std::uint16_t* objectType), (override));
    MOCK_METHOD(NWCCODE, NWUnpackDate, (std::uint16_t packedDate, DateRecord* date), (override));
    MOCK_METHOD(NWCCODE, NWUnpackDateTime, (std::uint32_t packedDateTime, DateRecord* date, TimeRecord* time),
                (override));

    // Connection library.
    MOCK_METHOD(NWCCODE, NWCCGetPrimConnRef, (std::uint32_t * connRef), (override));
    MOCK_METHOD(NWCCODE, NWCCOpenConnByRef,
                (std::uint32_t connRef, std::uint32_t openState, std::uint32_t reserved, NWCONN_HANDLE* conn),
                (override));
    MOCK_METHOD(NWCCODE, NWGetConnectionInformation, (NWCONN_HANDLE conn, int level, ConnectionInfoRecord* info),
                (override));

    // Locale library.
    MOCK_METHOD(NWCCODE, NWLlocaleconv, (LocaleRecord * locale), (override));
    MOCK_METHOD(NWCCODE, NWInitUnicodeTables, (std::int32_t countryCode, std::int32_t codePage), (override));

    // Directory-services library.
    MOCK_METHOD(NWCCODE, NWDSCreateContextHandle, (NWDSContextHandle * context), (override));
    MOCK_METHOD(NWCCODE, NWDSGetContext, (NWDSContextHandle context, int key, void* value), (override));
    MOCK_METHOD(NWCCODE, NWDSSetContext, (NWDSContextHandle context, int key, const void* value), (override));
    MOCK_METHOD(NWCCODE, NWDSDuplicateContextHandle, (NWDSContextHandle context, NWDSContextHandle* newContext),
                (override));
    MOCK_METHOD(NWCCODE, NWDSAllocBuf, (std::size_t size, Buf_T** buffer), (override));
    MOCK_METHOD(NWCCODE, NWDSFreeBuf, (Buf_T * buffer), (override));
    MOCK_METHOD(NWCCODE, NWDSList,
                (NWDSContextHandle context, const char* objectName, std::int32_t* iterationHandle, Buf_T* buffer),
                (override));
    MOCK_METHOD(NWCCODE, NWDSGetObjectCount, (NWDSContextHandle context, Buf_T* buffer, std::uint32_t* count),
                (override));
    MOCK_METHOD(NWCCODE, NWDSGetObjectName,
                (NWDSContextHandle context, Buf_T* buffer, char* name, std::uint32_t* attributeCount,
                 ObjectInfoRecord* info),
                (override));
    MOCK_METHOD(NWCCODE, NWDSMapIDToName,
                (NWDSContextHandle context, NWCONN_HANDLE conn, std::uint32_t objectId, char* name), (override));
};

// Installs a client for the life of one test and restores the previous one.
class ScopedNwClient {
public:
    explicit ScopedNwClient(NwClient* client) : m_previous(nwClient()) { setNwClient(client); }
    ~ScopedNwClient() { setNwClient(m_previous); }
    ScopedNwClient(const ScopedNwClient&) = delete;
    ScopedNwClient& operator=(const ScopedNwClient&) = delete;

private:
    NwClient* m_previous;
};
