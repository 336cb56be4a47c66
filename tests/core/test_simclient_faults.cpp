// [Faults]: every operation of the client can be made to fail with a chosen
// code, where its path, name or ID matches the fault's wildcard.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "netclient/simclient.h"
#include "support/core_tempworkstation.h"

namespace {

using workstation::Operation;

class ClientFaults : public testing::Test {
protected:
    void SetUp() override
    {
        const std::string sys = ws.addVolume("FS1", "SYS");
        ws.addVolume("FS2", "APPS");
        ws.makeFile(sys + "/PUBLIC/file.txt");
        ws.makeFile(sys + "/OTHER/other.dat");
        ws.mapDrive('F', "FS1/SYS:");
        for (const char* line : {"ACME=Organization", "SALES.ACME=Organizational Unit",
                                 "JSMITH.SALES.ACME=User, 0x1001", "FS1.ACME=NCP Server, 0x2001"})
            ws.addLine("Directory", line);
        ws.addLine("Bindery", "0x3001=GUEST");
        ws.addLine("Bindery", "0x3002=SUPERVISOR");
    }

    TempWorkstation ws;
};

// Helpers that run one operation on a prepared client; each prepares what it
// needs with operations other than the one under test.
NWCCODE parse(SimClient& c, const char* path)
{
    NWCONN_HANDLE conn = 0;
    NWDIR_HANDLE dirHandle = 0;
    char volumePath[512];
    return c.NWParseNetwarePath(path, &conn, &dirHandle, volumePath);
}

NWCCODE fileInfo(SimClient& c, const char* path)
{
    std::uint8_t sequence[9];
    std::memset(sequence, 0xFF, sizeof sequence);
    FileInfoRecord info{};
    return c.NWIntScanFileInformation2(1, 0, path, 6, sequence, &info, 0);
}

NWDIR_HANDLE handleOn(SimClient& c, const char* folder)
{
    NWDIR_HANDLE handle = 0;
    EXPECT_EQ(c.NWAllocateTemporaryDirectoryHandle(1, 0, folder, &handle, nullptr), nw::kSuccess);
    return handle;
}

NWCCODE extendedInfo(SimClient& c, const char* folder, const char* name)
{
    const NWDIR_HANDLE handle = handleOn(c, folder);
    std::uint32_t sequence = 0xFFFFFFFF;
    ExtendedInfoRecord info{};
    const NWCCODE code = c.NWIntScanExtendedInfo(1, handle, 6, &sequence, name, &info, 0);
    c.NWDeallocateDirectoryHandle(1, handle);
    return code;
}

NWCCODE nsPath(SimClient& c, const char* path)
{
    char result[512];
    NwNsPath record{path, result, sizeof result};
    return c.NWGetNSPath(1, 0, 1, 4, 0, &record);
}

NWDSContextHandle context(SimClient& c, const char* nameContext)
{
    NWDSContextHandle handle = 0;
    EXPECT_EQ(c.NWDSCreateContextHandle(&handle), nw::kSuccess);
    const std::uint32_t flags = nw::kTypelessNames;
    EXPECT_EQ(c.NWDSSetContext(handle, nw::kContextFlags, &flags), nw::kSuccess);
    EXPECT_EQ(c.NWDSSetContext(handle, nw::kContextNameContext, nameContext), nw::kSuccess);
    return handle;
}

Buf_T* listed(SimClient& c, NWDSContextHandle handle)
{
    Buf_T* buffer = nullptr;
    EXPECT_EQ(c.NWDSAllocBuf(4096, &buffer), nw::kSuccess);
    std::int32_t iteration = -1;
    EXPECT_EQ(c.NWDSList(handle, "", &iteration, buffer), nw::kSuccess);
    return buffer;
}

NWCCODE list(SimClient& c, const char* nameContext)
{
    const NWDSContextHandle handle = context(c, nameContext);
    Buf_T* buffer = nullptr;
    EXPECT_EQ(c.NWDSAllocBuf(4096, &buffer), nw::kSuccess);
    std::int32_t iteration = -1;
    return c.NWDSList(handle, "", &iteration, buffer);
}

NWCCODE firstObjectName(SimClient& c, const char* nameContext)
{
    const NWDSContextHandle handle = context(c, nameContext);
    Buf_T* buffer = listed(c, handle);
    char name[256];
    std::uint32_t attributes = 0;
    ObjectInfoRecord info{};
    return c.NWDSGetObjectName(handle, buffer, name, &attributes, &info);
}

NWCCODE mapId(SimClient& c, std::uint32_t id)
{
    char name[256];
    return c.NWDSMapIDToName(context(c, "[root]"), 1, id, name);
}

struct FaultCase {
    Operation operation;
    const char* wildcard;
    std::function<NWCCODE(SimClient&)> hit;
    std::function<NWCCODE(SimClient&)> miss;  // the same operation elsewhere; empty for those without a subject
};

TEST_F(ClientFaults, EveryOperationFailsWhereItsFaultMatches)
{
    std::uint32_t u32 = 0;
    const FaultCase cases[] = {
        {Operation::ParseNetwarePath, "F:\\PUBLIC\\*", [](SimClient& c) { return parse(c, "f:\\public\\file.txt"); },
         [](SimClient& c) { return parse(c, "F:\\OTHER\\other.dat"); }},
        {Operation::ScanFileInformation2, "SYS:PUBLIC\\*.TXT",
         [](SimClient& c) { return fileInfo(c, "SYS:PUBLIC\\file.txt"); },
         [](SimClient& c) { return fileInfo(c, "SYS:OTHER\\other.dat"); }},
        {Operation::AllocateTemporaryDirectoryHandle, "SYS:PUBLIC",
         [](SimClient& c) {
             NWDIR_HANDLE handle = 0;
             return c.NWAllocateTemporaryDirectoryHandle(1, 0, "SYS:PUBLIC", &handle, nullptr);
         },
         [](SimClient& c) { return c.NWDeallocateDirectoryHandle(1, handleOn(c, "SYS:OTHER")); }},
        // The read names the folder's volume path joined with the name.
        {Operation::ScanExtendedInfo, "SYS:PUBLIC\\FILE.TXT",
         [](SimClient& c) { return extendedInfo(c, "SYS:PUBLIC", "FILE.TXT"); },
         [](SimClient& c) { return extendedInfo(c, "SYS:OTHER", "OTHER.DAT"); }},
        {Operation::DeallocateDirectoryHandle, "SYS:PUBLIC",
         [](SimClient& c) { return c.NWDeallocateDirectoryHandle(1, handleOn(c, "SYS:PUBLIC")); },
         [](SimClient& c) { return c.NWDeallocateDirectoryHandle(1, handleOn(c, "SYS:OTHER")); }},
        {Operation::GetOwningNameSpace, "SYS:PUBLIC\\*",
         [](SimClient& c) {
             std::uint8_t space = 0;
             return c.NWGetOwningNameSpace(1, 0, "SYS:PUBLIC\\FILE.TXT", &space);
         },
         [](SimClient& c) {
             std::uint8_t space = 0;
             return c.NWGetOwningNameSpace(1, 0, "SYS:OTHER\\OTHER.DAT", &space);
         }},
        {Operation::GetNSPath, "SYS:PUBLIC\\*", [](SimClient& c) { return nsPath(c, "SYS:PUBLIC\\FILE.TXT"); },
         [](SimClient& c) { return nsPath(c, "SYS:OTHER\\OTHER.DAT"); }},
        {Operation::GetLongName, "SYS:PUBLIC\\*",
         [](SimClient& c) {
             char name[256];
             return c.NWGetLongName(1, 0, "SYS:PUBLIC\\FILE.TXT", 4, 0, name);
         },
         [](SimClient& c) {
             char name[256];
             return c.NWGetLongName(1, 0, "SYS:OTHER\\OTHER.DAT", 4, 0, name);
         }},
        {Operation::GetObjectName, "0x3001",
         [](SimClient& c) {
             char name[256];
             return c.NWGetObjectName(1, 0x3001, name, nullptr);
         },
         [](SimClient& c) {
             char name[256];
             return c.NWGetObjectName(1, 0x3002, name, nullptr);
         }},
        {Operation::UnpackDate, "*",
         [](SimClient& c) {
             DateRecord date{};
             return c.NWUnpackDate(0x5821, &date);
         },
         nullptr},
        {Operation::UnpackDateTime, "*",
         [](SimClient& c) {
             DateRecord date{};
             TimeRecord time{};
             return c.NWUnpackDateTime(0x58210000, &date, &time);
         },
         nullptr},
        {Operation::CCGetPrimConnRef, "*", [&u32](SimClient& c) { return c.NWCCGetPrimConnRef(&u32); }, nullptr},
        {Operation::CCOpenConnByRef, "FS1",
         [](SimClient& c) {
             NWCONN_HANDLE conn = 0;
             return c.NWCCOpenConnByRef(1, 1, 0, &conn);
         },
         [](SimClient& c) {
             NWCONN_HANDLE conn = 0;
             return c.NWCCOpenConnByRef(2, 1, 0, &conn);
         }},
        {Operation::GetConnectionInformation, "FS2",
         [](SimClient& c) {
             ConnectionInfoRecord info{};
             return c.NWGetConnectionInformation(2, 1, &info);
         },
         [](SimClient& c) {
             ConnectionInfoRecord info{};
             return c.NWGetConnectionInformation(1, 1, &info);
         }},
        {Operation::Llocaleconv, "*",
         [](SimClient& c) {
             LocaleRecord locale{};
             return c.NWLlocaleconv(&locale);
         },
         nullptr},
        {Operation::InitUnicodeTables, "*", [](SimClient& c) { return c.NWInitUnicodeTables(1, 65001); }, nullptr},
        {Operation::DSCreateContextHandle, "*",
         [](SimClient& c) {
             NWDSContextHandle handle = 0;
             return c.NWDSCreateContextHandle(&handle);
         },
         nullptr},
        {Operation::DSGetContext, "*",
         [&u32](SimClient& c) {
             NWDSContextHandle handle = 0;
             c.NWDSCreateContextHandle(&handle);
             return c.NWDSGetContext(handle, nw::kContextFlags, &u32);
         },
         nullptr},
        {Operation::DSSetContext, "*",
         [](SimClient& c) {
             NWDSContextHandle handle = 0;
             c.NWDSCreateContextHandle(&handle);
             return c.NWDSSetContext(handle, nw::kContextNameContext, "[root]");
         },
         nullptr},
        {Operation::DSDuplicateContextHandle, "*",
         [](SimClient& c) {
             NWDSContextHandle copy = 0;
             return c.NWDSDuplicateContextHandle(context(c, "[root]"), &copy);
         },
         nullptr},
        {Operation::DSAllocBuf, "*",
         [](SimClient& c) {
             Buf_T* buffer = nullptr;
             return c.NWDSAllocBuf(4096, &buffer);
         },
         nullptr},
        {Operation::DSFreeBuf, "*",
         [](SimClient& c) {
             Buf_T* buffer = nullptr;
             c.NWDSAllocBuf(4096, &buffer);
             return c.NWDSFreeBuf(buffer);
         },
         nullptr},
        {Operation::DSList, "SALES.ACME", [](SimClient& c) { return list(c, "OU=Sales.O=Acme"); },
         [](SimClient& c) { return list(c, "[root]"); }},
        {Operation::DSGetObjectCount, "*",
         [](SimClient& c) {
             const NWDSContextHandle handle = context(c, "[root]");
             std::uint32_t count = 0;
             return c.NWDSGetObjectCount(handle, listed(c, handle), &count);
         },
         nullptr},
        {Operation::DSGetObjectName, "JSMITH", [](SimClient& c) { return firstObjectName(c, "SALES.ACME"); },
         [](SimClient& c) { return firstObjectName(c, "[root]"); }},
        {Operation::DSMapIDToName, "0x1001", [](SimClient& c) { return mapId(c, 0x1001); },
         [](SimClient& c) { return mapId(c, 0x2001); }},
    };

    std::set<Operation> covered = {Operation::CallsInit};  // below, through the environment
    NWCCODE code = 0xABC001;
    for (const FaultCase& c : cases) {
        const std::string name(workstation::operationName(c.operation));
        covered.insert(c.operation);
        SimClient client;
        char hex[16];
        std::snprintf(hex, sizeof hex, "%X", code);
        std::string error;
        ASSERT_TRUE(client.loadText(ws.text() + "[Faults]\nFault0=" + name + ", " + c.wildcard + ", " + hex + "\n",
                                    &error, "ws.ini"))
            << error;
        EXPECT_EQ(c.hit(client), code) << name;
        if (c.miss) {
            EXPECT_EQ(c.miss(client), nw::kSuccess) << name;
        }

        // Without the fault the same call succeeds.
        SimClient healthy;
        ASSERT_TRUE(healthy.loadText(ws.text(), &error, "ws.ini")) << error;
        EXPECT_EQ(c.hit(healthy), nw::kSuccess) << name;
        ++code;
    }
    EXPECT_EQ(covered.size(), workstation::kOperationCount) << "an operation has no fault case";
}

TEST_F(ClientFaults, InitialisationCanBeFaulted)
{
    ws.addLine("Faults", "Fault0=NWCallsInit, *, 88FF");
    const std::string path = ws.write();
    ScopedEnvironment config("NWCLIENT_CONFIG", path.c_str());
    SimClient client;
    EXPECT_EQ(client.NWCallsInit(nullptr, nullptr), 0x88FFu);
}

TEST_F(ClientFaults, FailedHandleCallsLeaveTheCountRight)
{
    SimClient allocation;
    ASSERT_TRUE(
        allocation.loadText(ws.text() + "[Faults]\nF=NWAllocateTemporaryDirectoryHandle, *, 899D\n", nullptr));
    NWDIR_HANDLE handle = 0;
    EXPECT_EQ(allocation.NWAllocateTemporaryDirectoryHandle(1, 0, "SYS:PUBLIC", &handle, nullptr), 0x899Du);
    EXPECT_EQ(allocation.openTemporaryHandles(1), 0);

    // A handle whose release failed is still held.
    SimClient release;
    ASSERT_TRUE(release.loadText(ws.text() + "[Faults]\nF=NWDeallocateDirectoryHandle, SYS:PUBLIC, 899B\n", nullptr));
    const NWDIR_HANDLE held = handleOn(release, "SYS:PUBLIC");
    EXPECT_EQ(release.NWDeallocateDirectoryHandle(1, held), 0x899Bu);
    EXPECT_EQ(release.openTemporaryHandles(1), 1);
}

TEST_F(ClientFaults, AFailedUnpackingLeavesNoValidDate)
{
    SimClient client;
    ASSERT_TRUE(client.loadText(ws.text() + "[Faults]\nA=NWUnpackDate, *, 1\nB=NWUnpackDateTime, *, 1\n", nullptr));
    DateRecord date{9, 9, 2000};
    TimeRecord time{9, 9, 9};
    EXPECT_EQ(client.NWUnpackDate(0x5821, &date), 1u);
    EXPECT_EQ(date.month, 0);
    EXPECT_EQ(date.day, 0);
    date = DateRecord{9, 9, 2000};
    EXPECT_EQ(client.NWUnpackDateTime(0x58210000, &date, &time), 1u);
    EXPECT_EQ(date.month, 0);
    EXPECT_EQ(time.hours, 0);
}

TEST_F(ClientFaults, IdsMatchInHexadecimalAndDecimal)
{
    for (const char* wildcard : {"0x1001", "4097", "0X10*", "40?7"}) {
        SimClient client;
        ASSERT_TRUE(
            client.loadText(ws.text() + "[Faults]\nF=NWDSMapIDToName, " + wildcard + ", FFFFFDA7\n", nullptr));
        EXPECT_EQ(mapId(client, 0x1001), static_cast<NWCCODE>(-601)) << wildcard;
        EXPECT_EQ(mapId(client, 0x2001), nw::kSuccess) << wildcard;
    }
}

TEST_F(ClientFaults, TheFirstMatchingFaultOfAnOperationGivesTheCode)
{
    SimClient client;
    ASSERT_TRUE(client.loadText(ws.text() + "[Faults]\n"
                                            "Fault0=NWIntScanFileInformation2, SYS:OTHER\\*, 89A8\n"
                                            "Fault1=NWIntScanFileInformation2, *, 89FF\n",
                                nullptr));
    EXPECT_EQ(fileInfo(client, "SYS:OTHER\\other.dat"), 0x89A8u);
    EXPECT_EQ(fileInfo(client, "SYS:PUBLIC\\file.txt"), 0x89FFu);
}

}  // namespace
