// The directory of an [LDAP] workstation, against a real slapd: the tree's
// listings (paged too), owner names through uidNumber, binds and TLS, the
// failures of the start, and names that are filter syntax or no NetWare names.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ldap/ldapserver.h"
#include "netclient/ldaplink.h"
#include "netclient/simclient.h"
#include "support/core_tempworkstation.h"

namespace {

LdapTestServer& sharedServer() { return sharedLdapServer(); }

enum class Bind { Anonymous, Password };

// Adds [LDAP] for the server to a workstation; the password file is made
// readable by its owner only, unless mode says otherwise.
void addLdap(TempWorkstation& ws, const std::string& uri, Bind bind, bool startTls, bool withCa,
             const LdapTestServer& server, const char* password = LdapTestServer::kBindPassword, mode_t mode = 0600)
{
    ws.addLine("LDAP", "URI=" + uri);
    ws.addLine("LDAP", std::string("Base=") + LdapTestServer::kBase);
    if (bind == Bind::Password) {
        const std::string file = ws.makeFile("ldap.secret");
        if (FILE* out = std::fopen(file.c_str(), "w")) {
            std::fprintf(out, "%s\n", password);
            std::fclose(out);
        }
        ws.setMode(file, mode);
        ws.addLine("LDAP", std::string("BindDN=") + LdapTestServer::kBindDn);
        ws.addLine("LDAP", "PasswordFile=ldap.secret");
    }
    if (startTls)
        ws.addLine("LDAP", "StartTLS=1");
    if (withCa)
        ws.addLine("LDAP", "CACertFile=" + server.caFile());
    ws.addLine("LDAP", "Timeout=3");
}

class LdapClient : public testing::Test {
protected:
    LdapClient() { ws.addVolume("FS1", "SYS"); }

    void load()
    {
        client = ws.load();
        ASSERT_TRUE(client) << ws.lastError();
    }

    NWDSContextHandle makeContext(const char* nameContext, bool typeless = true)
    {
        NWDSContextHandle context = 0;
        const std::uint32_t flags = typeless ? nw::kTypelessNames : 0;
        EXPECT_EQ(client->NWDSCreateContextHandle(&context), nw::kSuccess);
        EXPECT_EQ(client->NWDSSetContext(context, nw::kContextFlags, &flags), nw::kSuccess);
        EXPECT_EQ(client->NWDSSetContext(context, nw::kContextNameContext, nameContext), nw::kSuccess);
        return context;
    }

    struct Listing {
        NWCCODE code = nw::kSuccess;
        std::vector<std::string> names;    // sorted
        std::vector<std::string> classes;  // "name=class, subordinates" for the objects asked about
    };

    // Lists a container as the directory tree does, portion by portion.
    Listing list(const char* container, bool typeless = true, const std::set<std::string>& describe = {})
    {
        Listing result;
        const NWDSContextHandle context = makeContext(container, typeless);
        Buf_T* buffer = nullptr;
        EXPECT_EQ(client->NWDSAllocBuf(nw::kDsBufferSize, &buffer), nw::kSuccess);
        std::int32_t iteration = -1;
        do {
            result.code = client->NWDSList(context, "", &iteration, buffer);
            if (result.code != nw::kSuccess)
                break;
            std::uint32_t count = 0;
            EXPECT_EQ(client->NWDSGetObjectCount(context, buffer, &count), nw::kSuccess);
            for (std::uint32_t i = 0; i < count; ++i) {
                char name[256] = {};
                ObjectInfoRecord info{};
                EXPECT_EQ(client->NWDSGetObjectName(context, buffer, name, nullptr, &info), nw::kSuccess);
                result.names.emplace_back(name);
                if (describe.count(name) != 0)
                    result.classes.push_back(std::string(name) + "=" + info.baseClass + ", " +
                                             std::to_string(info.subordinateCount));
            }
        } while (iteration != -1);
        EXPECT_EQ(client->NWDSFreeBuf(buffer), nw::kSuccess);
        std::sort(result.names.begin(), result.names.end());
        std::sort(result.classes.begin(), result.classes.end());
        return result;
    }

    std::string ownerName(std::uint32_t id, NWCCODE* code = nullptr, bool typeless = true)
    {
        char name[256] = {};
        const NWCCODE answer = client->NWDSMapIDToName(makeContext("[root]", typeless), 1, id, name);
        if (code != nullptr)
            *code = answer;
        return answer == nw::kSuccess ? std::string(name) : std::string();
    }

    TempWorkstation ws;
    std::unique_ptr<SimClient> client;
};

using Names = std::vector<std::string>;

TEST_F(LdapClient, TheTreeListsContainersLevelByLevelAndAContainerOfTenThousandInPages)
{
    LdapTestServer& server = sharedServer();
    ASSERT_TRUE(server.running());
    addLdap(ws, server.ldapUri(), Bind::Anonymous, false, false, server);
    load();

    EXPECT_EQ(list("[root]").names, (Names{"ACME", "trawl"}));
    const Listing acme = list("ACME", true, {"FS1", "SALES"});
    EXPECT_EQ(acme.names, (Names{"BIG", "FS1", "ODD", "SALES"}));
    // Units have objects below them before they are opened; a device is a server.
    EXPECT_EQ(acme.classes, (Names{"FS1=NCP Server, 0", "SALES=Organizational Unit, 1"}));
    // Typed and typeless names of the same container, names as the context asks.
    const Listing sales = list("SALES.ACME", true, {"JSMITH"});
    EXPECT_EQ(sales.names, (Names{"EAST", "JSMITH", "MJONES"}));
    EXPECT_EQ(sales.classes, (Names{"JSMITH=User, 0"}));
    EXPECT_EQ(list("OU=SALES.O=ACME", false).names, (Names{"CN=JSMITH", "CN=MJONES", "OU=EAST"}));
    EXPECT_EQ(list("EAST.SALES.ACME").names, (Names{"ALEE"}));
    EXPECT_EQ(list("NOWHERE.ACME").code, nw::kDsErrNoSuchEntry);

    // The server gives at most 500 objects to a search that does not page.
    const std::uint64_t before = client->directoryRequests();
    const auto start = std::chrono::steady_clock::now();
    const Listing big = list("BIG.ACME");
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(big.code, nw::kSuccess);
    ASSERT_EQ(big.names.size(), 10000u);
    EXPECT_EQ(std::set<std::string>(big.names.begin(), big.names.end()).size(), 10000u);
    EXPECT_EQ(big.names.front(), "U00000");
    EXPECT_EQ(big.names.back(), "U09999");
    // Pages of 500, and perhaps one empty page to learn that none is left.
    EXPECT_GE(client->directoryRequests() - before, 20u);
    EXPECT_LE(client->directoryRequests() - before, 21u);
    std::printf("listing 10000 objects took %.3f s\n", elapsed);
}

TEST_F(LdapClient, OwnerNamesComeFromUidNumberOncePerIdAndScan)
{
    LdapTestServer& server = sharedServer();
    ASSERT_TRUE(server.running());
    addLdap(ws, server.ldapUri(), Bind::Anonymous, false, false, server);
    load();

    EXPECT_EQ(ownerName(4097), "JSMITH.SALES.ACME");
    EXPECT_EQ(ownerName(4099), "ALEE.EAST.SALES.ACME");
    NWCCODE code = 0;
    EXPECT_EQ(ownerName(4099, &code, false), "CN=ALEE.OU=EAST.OU=SALES.O=ACME");
    EXPECT_EQ(ownerName(4242, &code), "");
    EXPECT_EQ(code, nw::kDsErrNoSuchEntry);

    // Known and unknown IDs alike are asked once per scan.
    const std::uint64_t before = client->directoryRequests();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ownerName(4097), "JSMITH.SALES.ACME");
        ownerName(4242, &code);
        EXPECT_EQ(code, nw::kDsErrNoSuchEntry);
    }
    EXPECT_EQ(client->directoryRequests(), before);
    client->beginScan();
    EXPECT_EQ(ownerName(4097), "JSMITH.SALES.ACME");
    EXPECT_EQ(client->directoryRequests(), before + 1);
}

TEST_F(LdapClient, NamesThatAreFilterSyntaxOrNoNetWareNamesStayExact)
{
    EXPECT_EQ(ldaplink::escapeFilterValue(std::string("a*(b)\\c\0d", 9)), "a\\2a\\28b\\29\\5cc\\00d");

    LdapTestServer& server = sharedServer();
    ASSERT_TRUE(server.running());
    addLdap(ws, server.ldapUri(), Bind::Anonymous, false, false, server);
    load();
    // Containers named before their parents were listed are found level by
    // level with filters that hold the names: "*" matches only itself.
    EXPECT_EQ(list("S*.ODD.ACME").names, Names{"IN1"});
    EXPECT_EQ(list("x(y)%5C.ODD.ACME").names, Names{"IN3"});
    EXPECT_EQ(list("*.ODD.ACME").code, nw::kDsErrNoSuchEntry);
    EXPECT_EQ(list("S%2A.ODD.ACME").code, nw::kDsErrNoSuchEntry);
    // A dot, a "+" (a name of two values) or a backslash is written as % and
    // its hex code, so no name is cut in two or made another's.
    EXPECT_EQ(list("ODD.ACME").names, (Names{"A%2EB", "P%2Bq", "S*", "SX", "x(y)%5C"}));
    EXPECT_EQ(ownerName(5001), "A%2EB.ODD.ACME");
}

struct BindCase {
    const char* what;
    bool ldaps;
    Bind bind;
    bool startTls;
    bool withCa;
    const char* password;
    mode_t mode;
    const char* failure;  // a part of the reason, nullptr when the start succeeds
};

TEST_F(LdapClient, BindsAnonymouslyOrWithAPasswordOverPlainOrTlsAndRefusesWhatIsWrong)
{
    LdapTestServer& server = sharedServer();
    ASSERT_TRUE(server.running());
    const char* right = LdapTestServer::kBindPassword;
    const BindCase cases[] = {
        {"anonymous", false, Bind::Anonymous, false, false, right, 0600, nullptr},
        {"password", false, Bind::Password, false, false, right, 0600, nullptr},
        {"StartTLS with our CA", false, Bind::Password, true, true, right, 0600, nullptr},
        {"ldaps with our CA", true, Bind::Anonymous, false, true, right, 0600, nullptr},
        {"wrong password", false, Bind::Password, false, false, "not-the-password", 0600, "Invalid credentials"},
        {"password file others can read", false, Bind::Password, false, false, right, 0644, "may be read by others"},
        {"ldaps without our CA", true, Bind::Anonymous, false, false, right, 0600, "Can't contact LDAP server"},
        {"StartTLS without our CA", false, Bind::Anonymous, true, false, right, 0600, "StartTLS"},
    };
    for (const BindCase& c : cases) {
        TempWorkstation one;
        one.addVolume("FS1", "SYS");
        const std::string uri = c.ldaps ? server.ldapsUri() : server.ldapUri();
        addLdap(one, uri, c.bind, c.startTls, c.withCa, server, c.password, c.mode);
        client = one.load();
        if (c.failure == nullptr) {
            ASSERT_TRUE(client) << c.what << ": " << one.lastError();
            EXPECT_EQ(ownerName(4097), "JSMITH.SALES.ACME") << c.what;
            continue;
        }
        EXPECT_FALSE(client) << c.what;
        const std::string& reason = one.lastError();
        EXPECT_NE(reason.find("[LDAP]"), std::string::npos) << c.what << ": " << reason;
        EXPECT_NE(reason.find(c.failure), std::string::npos) << c.what << ": " << reason;
        EXPECT_EQ(reason.find(c.password), std::string::npos) << c.what << ": " << reason;
        if (c.mode == 0600) {
            EXPECT_NE(reason.find(uri), std::string::npos) << c.what << ": " << reason;
        }
    }
}

// A server that is down stops the start as a wrong workstation file does:
// the client does not initialise and says why, with the URI, on standard error.
TEST_F(LdapClient, AServerDownOrABaseItLacksAtTheStartStopsTheClient)
{
    LdapTestServer& server = sharedServer();
    ASSERT_TRUE(server.running());
    const std::string uri = "ldap://127.0.0.1:" + std::to_string(LdapTestServer::freePort());
    addLdap(ws, uri, Bind::Anonymous, false, false, server);
    ScopedEnvironment config("NWCLIENT_CONFIG", ws.write().c_str());
    SimClient starting;
    testing::internal::CaptureStderr();
    const NWCCODE code = starting.NWCallsInit(nullptr, nullptr);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, nw::kErrWorkstationFile);
    EXPECT_FALSE(starting.isLoaded());
    EXPECT_NE(said.find(uri + ": bind: Can't contact LDAP server"), std::string::npos) << said;

    // A Base the server does not have would leave every owner outside the directory.
    TempWorkstation wrongBase;
    wrongBase.addVolume("FS1", "SYS");
    wrongBase.addLine("LDAP", "URI=" + server.ldapUri());
    wrongBase.addLine("LDAP", "Base=dc=nowhere,dc=example");
    EXPECT_FALSE(wrongBase.load());
    EXPECT_NE(wrongBase.lastError().find(": Base dc=nowhere,dc=example: No such object"), std::string::npos)
        << wrongBase.lastError();
}

// A server that takes the connection but never answers: the start gives up
// after Timeout, it does not hang.
TEST_F(LdapClient, AServerThatDoesNotAnswerStopsTheStartAfterTheTimeout)
{
    LdapTestServer& server = sharedServer();
    ASSERT_TRUE(server.running());
    ws.addLine("LDAP", "URI=" + server.ldapUri());
    ws.addLine("LDAP", std::string("Base=") + LdapTestServer::kBase);
    ws.addLine("LDAP", "Timeout=1");
    server.pause();
    const auto start = std::chrono::steady_clock::now();
    client = ws.load();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    server.resume();
    EXPECT_FALSE(client);
    EXPECT_NE(ws.lastError().find(server.ldapUri() + ": bind: "), std::string::npos) << ws.lastError();
    EXPECT_LT(seconds, 4.0);
}

}  // namespace

namespace {

// The link waits on its own thread: the caller's hook runs while it waits, a
// server that failed is left alone for three times Timeout and then asked
// again, and a wait given up ends at once.
TEST(LdapLink, AServerThatFailedIsLeftAloneForTheBackOff)
{
    using ldaplink::Outcome;
    using Clock = std::chrono::steady_clock;
    const auto secondsSince = [](Clock::time_point start) {
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    LdapTestServer& server = sharedServer();
    ASSERT_TRUE(server.running());
    ldaplink::Settings settings;
    settings.uri = server.ldapUri();
    settings.base = LdapTestServer::kBase;
    settings.timeoutSeconds = 1;
    ldaplink::Link link(settings);
    ASSERT_TRUE(link.open()) << link.lastError();
    ldaplink::Entry entry;
    ASSERT_EQ(link.findByUidNumber(4097, entry), Outcome::Found);
    int hookCalls = 0;
    link.setWaitHook([&] {
        ++hookCalls;
        return true;
    });

    server.pause();
    auto start = Clock::now();
    EXPECT_EQ(link.findByUidNumber(4098, entry), Outcome::Failed);
    EXPECT_GT(secondsSince(start), 0.9);
    EXPECT_LT(secondsSince(start), 2.5) << "a timed-out request was sent again on a new connection";
    EXPECT_GE(hookCalls, 20);
    EXPECT_EQ(link.lastError(), "Timed out");
    EXPECT_EQ(link.outages(), 1u);
    const std::uint64_t sent = link.requestsSent();
    start = Clock::now();
    EXPECT_EQ(link.findByUidNumber(4098, entry), Outcome::Failed);
    EXPECT_LT(secondsSince(start), 0.1);
    EXPECT_EQ(link.requestsSent(), sent);
    EXPECT_EQ(link.lastError(), "Timed out");

    server.resume();
    std::this_thread::sleep_for(std::chrono::milliseconds(3200));
    EXPECT_EQ(link.findByUidNumber(4098, entry), Outcome::Found) << link.lastError();
    EXPECT_EQ(link.requestsSent(), sent + 1);

    // A wait given up is a new outage; its request goes on, and nothing else
    // is sent until it is answered.
    server.pause();
    link.setWaitHook([] { return false; });
    start = Clock::now();
    EXPECT_EQ(link.findByUidNumber(4099, entry), Outcome::Failed);
    EXPECT_LT(secondsSince(start), 0.2);
    EXPECT_EQ(link.lastError(), "no answer; waiting was given up");
    EXPECT_EQ(link.outages(), 2u);
    link.tryAgain();
    EXPECT_EQ(link.findByUidNumber(4099, entry), Outcome::Failed);
    EXPECT_EQ(link.lastError(), "no answer yet to an earlier request");
    EXPECT_EQ(link.requestsSent(), sent + 2);
    server.resume();
}

}  // namespace
