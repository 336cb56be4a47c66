// Directory services, bindery names, connections, locale and date unpacking of
// the simulated client.

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "netclient/simclient.h"
#include "support/core_tempworkstation.h"

namespace {

class ClientDirectory : public testing::Test {
protected:
    void SetUp() override
    {
        ws.addVolume("FS1", "SYS");
        ws.addVolume("FS2", "APPS");
        for (const char* line :
             {"ACME=Organization", "SALES.ACME=Organizational Unit", "JSMITH.SALES.ACME=User, 0x1001",
              "FS1.ACME=NCP Server, 0x2001", "MKT.ACME=Organizational Unit", "PQ1.MKT.ACME=Print Queue",
              "LABS=Organization, 0x500", "KEYS.ACME=Organizational Unit, 77"})
            ws.addLine("Directory", line);
        ws.addLine("Bindery", "0x3001=GUEST");
        ws.addLine("Bindery", "0x2001=FS1");
    }

    void load()
    {
        client = ws.load();
        ASSERT_TRUE(client) << ws.lastError();
    }

    NWDSContextHandle makeContext(std::uint32_t flags, const char* nameContext)
    {
        NWDSContextHandle context = 0;
        EXPECT_EQ(client->NWDSCreateContextHandle(&context), nw::kSuccess);
        EXPECT_EQ(client->NWDSSetContext(context, nw::kContextFlags, &flags), nw::kSuccess);
        EXPECT_EQ(client->NWDSSetContext(context, nw::kContextNameContext, nameContext), nw::kSuccess);
        return context;
    }

    struct Listed {
        std::string name;
        std::uint32_t subordinates;
        std::string className;
    };

    // Lists a container as the directory tree does, portion by portion.
    std::vector<Listed> list(NWDSContextHandle context, int* portions = nullptr, std::size_t bufferSize = 4096)
    {
        std::vector<Listed> result;
        Buf_T* buffer = nullptr;
        EXPECT_EQ(client->NWDSAllocBuf(bufferSize, &buffer), nw::kSuccess);
        std::int32_t iteration = -1;
        int count = 0;
        do {
            EXPECT_EQ(client->NWDSList(context, "", &iteration, buffer), nw::kSuccess);
            std::uint32_t objects = 0;
            EXPECT_EQ(client->NWDSGetObjectCount(context, buffer, &objects), nw::kSuccess);
            for (std::uint32_t i = 0; i < objects; ++i) {
                char name[256];
                std::uint32_t attributes = 99;
                ObjectInfoRecord info{};
                EXPECT_EQ(client->NWDSGetObjectName(context, buffer, name, &attributes, &info), nw::kSuccess);
                result.push_back({name, info.subordinateCount, info.baseClass});
            }
            char name[256];
            EXPECT_EQ(client->NWDSGetObjectName(context, buffer, name, nullptr, nullptr), nw::kDsErrBufferEmpty);
            ++count;
        } while (iteration != -1 && count < 1000);
        EXPECT_EQ(client->NWDSFreeBuf(buffer), nw::kSuccess);
        if (portions != nullptr)
            *portions = count;
        return result;
    }

    std::string mapId(NWDSContextHandle context, std::uint32_t id, NWCCODE* code = nullptr)
    {
        char name[256] = "";
        const NWCCODE answer = client->NWDSMapIDToName(context, 1, id, name);
        if (code != nullptr)
            *code = answer;
        return name;
    }

    TempWorkstation ws;
    std::unique_ptr<SimClient> client;
};

TEST_F(ClientDirectory, ContextsKeepFlagsAndNameContextAndDuplicatesCopyBoth)
{
    load();
    NWDSContextHandle main = 0;
    ASSERT_EQ(client->NWDSCreateContextHandle(&main), nw::kSuccess);
    std::uint32_t flags = 0xFFFF;
    ASSERT_EQ(client->NWDSGetContext(main, nw::kContextFlags, &flags), nw::kSuccess);
    EXPECT_EQ(flags & nw::kTypelessNames, 0u);
    char nameContext[256];
    ASSERT_EQ(client->NWDSGetContext(main, nw::kContextNameContext, nameContext), nw::kSuccess);
    EXPECT_STREQ(nameContext, "[root]");

    flags |= nw::kTypelessNames;
    ASSERT_EQ(client->NWDSSetContext(main, nw::kContextFlags, &flags), nw::kSuccess);
    ASSERT_EQ(client->NWDSSetContext(main, nw::kContextNameContext, "SALES.ACME"), nw::kSuccess);
    NWDSContextHandle copy = 0;
    ASSERT_EQ(client->NWDSDuplicateContextHandle(main, &copy), nw::kSuccess);
    EXPECT_NE(copy, main);
    std::uint32_t copiedFlags = 0;
    ASSERT_EQ(client->NWDSGetContext(copy, nw::kContextFlags, &copiedFlags), nw::kSuccess);
    EXPECT_EQ(copiedFlags, flags);
    ASSERT_EQ(client->NWDSGetContext(copy, nw::kContextNameContext, nameContext), nw::kSuccess);
    EXPECT_STREQ(nameContext, "SALES.ACME");

    // The copy goes its own way.
    ASSERT_EQ(client->NWDSSetContext(copy, nw::kContextNameContext, "[root]"), nw::kSuccess);
    ASSERT_EQ(client->NWDSGetContext(main, nw::kContextNameContext, nameContext), nw::kSuccess);
    EXPECT_STREQ(nameContext, "SALES.ACME");

    EXPECT_EQ(client->NWDSGetContext(main, 2, &flags), nw::kDsErrBadKey);
    EXPECT_EQ(client->NWDSGetContext(99, nw::kContextFlags, &flags), nw::kDsErrBadContext);
    EXPECT_EQ(client->NWDSSetContext(0, nw::kContextFlags, &flags), nw::kDsErrBadContext);
    const std::string longest(255, 'N');
    EXPECT_EQ(client->NWDSSetContext(main, nw::kContextNameContext, longest.c_str()), nw::kSuccess);
    const std::string tooLong(256, 'N');
    EXPECT_EQ(client->NWDSSetContext(main, nw::kContextNameContext, tooLong.c_str()), nw::kDsErrNameTooLong);
}

TEST_F(ClientDirectory, MapsIdsToNamesInTheFormTheContextAsks)
{
    load();
    struct Case {
        std::uint32_t flags;
        const char* nameContext;
        std::uint32_t id;
        const char* name;
    };
    const Case cases[] = {
        {nw::kTypelessNames, "[root]", 0x1001, "JSMITH.SALES.ACME"},
        {0, "[root]", 0x1001, "CN=JSMITH.OU=SALES.O=ACME"},
        {0, "[root]", 0x2001, "CN=FS1.O=ACME"},
        {0, "[root]", 0x500, "O=LABS"},
        {nw::kTypelessNames | 1, "[ROOT]", 0x1001, "JSMITH.SALES.ACME"},
        {nw::kTypelessNames, "", 0x1001, "JSMITH.SALES.ACME"},
        {nw::kTypelessNames, "SALES.ACME", 0x1001, "JSMITH"},
        {nw::kTypelessNames, "sales.acme", 0x1001, "JSMITH"},
        {nw::kTypelessNames, "ACME", 0x1001, "JSMITH.SALES"},
        {0, "OU=SALES.O=ACME", 0x1001, "CN=JSMITH"},
        {0, ".OU=SALES.O=ACME", 0x1001, "CN=JSMITH"},
        {nw::kTypelessNames, "MKT.ACME", 0x1001, "JSMITH.SALES."},
        {nw::kTypelessNames, "LABS", 0x1001, "JSMITH.SALES.ACME."},
        {nw::kTypelessNames, "KEYS.ACME", 77, "KEYS."},
    };
    for (const Case& c : cases) {
        const NWDSContextHandle context = makeContext(c.flags, c.nameContext);
        NWCCODE code = 0;
        EXPECT_EQ(mapId(context, c.id, &code), c.name) << c.nameContext << " " << c.flags;
        EXPECT_EQ(code, nw::kSuccess);
    }
    const NWDSContextHandle context = makeContext(nw::kTypelessNames, "[root]");
    NWCCODE code = 0;
    mapId(context, 0x3001, &code);  // only the bindery knows it
    EXPECT_EQ(code, nw::kDsErrNoSuchEntry);
    char name[256];
    EXPECT_EQ(client->NWDSMapIDToName(context, 7, 0x1001, name), nw::kErrInvalidConnection);
    EXPECT_EQ(client->NWDSMapIDToName(55, 1, 0x1001, name), nw::kDsErrBadContext);
}

TEST_F(ClientDirectory, BinderyNamesComeFromTheFileThenFromTheHostUsers)
{
    load();
    int asked = 0;
    client->setHostUserLookup([&asked](std::uint32_t uid) -> std::optional<std::string> {
        ++asked;
        if (uid == 1234)
            return std::string("jdoe");
        return std::nullopt;
    });
    char name[256];
    std::uint16_t type = 0;
    ASSERT_EQ(client->NWGetObjectName(1, 0x3001, name, &type), nw::kSuccess);
    EXPECT_STREQ(name, "GUEST");
    EXPECT_EQ(type, 1u);
    EXPECT_EQ(asked, 0);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(client->NWGetObjectName(1, 1234, name, nullptr), nw::kSuccess);
        EXPECT_STREQ(name, "JDOE");
        EXPECT_EQ(client->NWGetObjectName(1, 4321, name, nullptr), nw::kErrNoSuchObject);
    }
    // Hits and misses alike are asked of the user database once.
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(client->NWGetObjectName(3, 1234, name, nullptr), nw::kErrInvalidConnection);
}

TEST_F(ClientDirectory, TheSystemUserDatabaseNamesHostUsers)
{
    load();
    const passwd* own = ::getpwuid(::getuid());
    if (own == nullptr)
        GTEST_SKIP() << "the test's own user has no entry in the user database";
    std::string expected = own->pw_name;
    for (char& c : expected)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 0x20 : c);
    char name[256];
    ASSERT_EQ(client->NWGetObjectName(1, static_cast<std::uint32_t>(::getuid()), name, nullptr), nw::kSuccess);
    EXPECT_EQ(name, expected);

    const std::uint32_t unused = 0x7FFFFFF0;
    if (::getpwuid(unused) == nullptr) {
        EXPECT_EQ(client->NWGetObjectName(1, unused, name, nullptr), nw::kErrNoSuchObject);
    }
}

TEST_F(ClientDirectory, ListsTheObjectsDirectlyBelowTheNameContext)
{
    load();
    const NWDSContextHandle top = makeContext(nw::kTypelessNames, "[root]");
    const std::vector<Listed> roots = list(top);
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_EQ(roots[0].name, "ACME");
    EXPECT_EQ(roots[0].className, "Organization");
    EXPECT_EQ(roots[0].subordinates, 4u);  // SALES, FS1, MKT, KEYS
    EXPECT_EQ(roots[1].name, "LABS");
    EXPECT_EQ(roots[1].subordinates, 0u);

    const NWDSContextHandle acme = makeContext(0, "ACME");
    const std::vector<Listed> below = list(acme);
    ASSERT_EQ(below.size(), 4u);
    EXPECT_EQ(below[0].name, "OU=SALES");  // typed: the context's flags ask for types
    EXPECT_EQ(below[0].subordinates, 1u);
    EXPECT_EQ(below[1].name, "CN=FS1");
    EXPECT_EQ(below[1].className, "NCP Server");
    EXPECT_EQ(below[1].subordinates, 0u);

    // An object name below the name context, and a container that does not exist.
    Buf_T* buffer = nullptr;
    ASSERT_EQ(client->NWDSAllocBuf(4096, &buffer), nw::kSuccess);
    std::int32_t iteration = -1;
    EXPECT_EQ(client->NWDSList(acme, "MKT", &iteration, buffer), nw::kSuccess);
    std::uint32_t count = 0;
    ASSERT_EQ(client->NWDSGetObjectCount(acme, buffer, &count), nw::kSuccess);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(iteration, -1);
    iteration = -1;
    EXPECT_EQ(client->NWDSList(acme, "NOWHERE", &iteration, buffer), nw::kDsErrNoSuchEntry);
    const NWDSContextHandle nowhere = makeContext(nw::kTypelessNames, "GONE.ACME");
    EXPECT_EQ(client->NWDSList(nowhere, "", &iteration, buffer), nw::kDsErrNoSuchEntry);
    EXPECT_EQ(client->NWDSFreeBuf(buffer), nw::kSuccess);
    EXPECT_EQ(client->NWDSFreeBuf(buffer), nw::kDsErrBadBuffer);
    EXPECT_EQ(client->NWDSList(acme, "", &iteration, buffer), nw::kDsErrBadBuffer);
}

TEST_F(ClientDirectory, ListingsComeInPortions)
{
    for (int i = 0; i < 10; ++i)
        ws.addLine("Directory", "USER" + std::to_string(i) + ".SALES.ACME=User, " + std::to_string(0x4000 + i));
    load();
    const NWDSContextHandle sales = makeContext(nw::kTypelessNames, "SALES.ACME");
    client->setListPortionSize(3);
    int portions = 0;
    const std::vector<Listed> users = list(sales, &portions);
    EXPECT_EQ(portions, 4);  // 3 + 3 + 3 + 2
    ASSERT_EQ(users.size(), 11u);
    EXPECT_EQ(users[0].name, "JSMITH");
    EXPECT_EQ(users[10].name, "USER9");

    // The iteration handle says where the next portion starts, -1 after the last.
    Buf_T* buffer = nullptr;
    ASSERT_EQ(client->NWDSAllocBuf(4096, &buffer), nw::kSuccess);
    std::int32_t iteration = -1;
    ASSERT_EQ(client->NWDSList(sales, "", &iteration, buffer), nw::kSuccess);
    EXPECT_EQ(iteration, 3);
    std::int32_t bogus = 500;
    EXPECT_EQ(client->NWDSList(sales, "", &bogus, buffer), nw::kDsErrInvalidIteration);
    std::uint32_t count = 0;
    Buf_T* fresh = nullptr;
    ASSERT_EQ(client->NWDSAllocBuf(4096, &fresh), nw::kSuccess);
    EXPECT_EQ(client->NWDSGetObjectCount(sales, fresh, &count), nw::kDsErrBufferEmpty);
    client->NWDSFreeBuf(fresh);
    client->NWDSFreeBuf(buffer);
}

TEST_F(ClientDirectory, AFullBufferEndsThePortion)
{
    for (int i = 0; i < 200; ++i)
        ws.addLine("Directory", "PERSON" + std::to_string(i) + ".SALES.ACME=User");
    load();
    const NWDSContextHandle sales = makeContext(nw::kTypelessNames, "SALES.ACME");
    int portions = 0;
    const std::vector<Listed> all = list(sales, &portions);
    EXPECT_EQ(all.size(), 201u);
    EXPECT_GT(portions, 2);
    EXPECT_LT(portions, 20);

    // A buffer too small for even one object is refused rather than looping.
    Buf_T* buffer = nullptr;
    ASSERT_EQ(client->NWDSAllocBuf(64, &buffer), nw::kSuccess);
    std::int32_t iteration = -1;
    EXPECT_EQ(client->NWDSList(sales, "", &iteration, buffer), nw::kDsErrInsufficientBuffer);
    client->NWDSFreeBuf(buffer);
    EXPECT_EQ(client->NWDSAllocBuf(1 << 20, &buffer), nw::kErrInvalidParameter);
}

TEST_F(ClientDirectory, ConnectionsAreTheServersOfTheVolumes)
{
    load();
    std::uint32_t reference = 0;
    ASSERT_EQ(client->NWCCGetPrimConnRef(&reference), nw::kSuccess);
    NWCONN_HANDLE conn = 0;
    ASSERT_EQ(client->NWCCOpenConnByRef(reference, 1, 0, &conn), nw::kSuccess);
    ConnectionInfoRecord info{};
    ASSERT_EQ(client->NWGetConnectionInformation(conn, 1, &info), nw::kSuccess);
    EXPECT_STREQ(info.serverName, "FS1");
    ASSERT_EQ(client->NWGetConnectionInformation(2, 1, &info), nw::kSuccess);
    EXPECT_STREQ(info.serverName, "FS2");
    EXPECT_EQ(client->NWGetConnectionInformation(3, 1, &info), nw::kErrInvalidConnection);
    EXPECT_EQ(client->NWGetConnectionInformation(1, 2, &info), nw::kErrInvalidParameter);
    EXPECT_EQ(client->NWCCOpenConnByRef(0, 1, 0, &conn), nw::kErrInvalidConnection);

    SimClient noServers;
    ASSERT_TRUE(noServers.loadText("[Drives]\nC=" + ws.root() + "\n", nullptr));
    EXPECT_EQ(noServers.NWCCGetPrimConnRef(&reference), nw::kErrNoPrimaryConnection);
}

TEST_F(ClientDirectory, LocaleAndUnicodeTables)
{
    load();
    LocaleRecord locale{};
    ASSERT_EQ(client->NWLlocaleconv(&locale), nw::kSuccess);
    std::int32_t at56 = 0;
    std::int32_t at60 = 0;
    std::memcpy(&at56, reinterpret_cast<const char*>(&locale) + 56, 4);
    std::memcpy(&at60, reinterpret_cast<const char*>(&locale) + 60, 4);
    EXPECT_EQ(at56, 65001);
    EXPECT_EQ(client->NWInitUnicodeTables(at60, at56), nw::kSuccess);
    // The words the wrong way round are refused.
    EXPECT_EQ(client->NWInitUnicodeTables(at56, at60), nw::kErrInvalidParameter);
}

TEST_F(ClientDirectory, UnpacksDatesAndTimes)
{
    load();
    DateRecord date{};
    TimeRecord time{};
    ASSERT_EQ(client->NWUnpackDate(0, &date), nw::kSuccess);
    EXPECT_EQ(date.day, 0);
    EXPECT_EQ(date.month, 0);
    ASSERT_EQ(client->NWUnpackDateTime((44u << 9 | 2u << 5 | 29u) << 16 | (23u << 11 | 59u << 5 | 29u), &date, &time),
              nw::kSuccess);
    EXPECT_EQ(date.year, 2024);
    EXPECT_EQ(date.month, 2);
    EXPECT_EQ(date.day, 29);
    EXPECT_EQ(time.hours, 23);
    EXPECT_EQ(time.minutes, 59);
    EXPECT_EQ(time.seconds, 58);
}

}  // namespace
