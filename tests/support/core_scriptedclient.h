#pragma once

// A mock client with working default answers: a primary connection, two
// contexts, drives and a directory held in tables, and a log of every call.
// Any call can be made to fail by its log text, so a test names the exact call
// it breaks and reads back what followed:
//
//     ScriptedClient client;
//     client.drives.push_back({'F', "FS1", "SYS:", 3});
//     client.directory["[root]"] = {{"ORG", "Organization", 2}};
//     client.failures["NWDSGetContext(11,1)"] = 0x8836;
//     ScopedNwClient installed(&client.mock);
//
// Expectations set on client.mock (EXPECT_CALL) take precedence over the
// defaults, as usual with GoogleMock.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/core_mocknwclient.h"

class ScriptedClient {
public:
    struct Drive {
        char letter = 0;
        std::string server;
        std::string volumePath;  // what the parse returns: "SYS:", "DATA:PUBLIC"
        NWCONN_HANDLE conn = 0;
    };
    struct Object {
        std::string name;
        std::string className;
        std::uint32_t subordinates = 0;
    };

    // Values the start-up receives.
    static constexpr std::int32_t kCodePage = 437;  // locale word at byte 56
    static constexpr std::int32_t kCountry = 1;     // locale word at byte 60
    static constexpr std::uint32_t kConnRef = 7;
    static constexpr NWCONN_HANDLE kPrimaryConn = 9;
    static constexpr NWDSContextHandle kMainContext = 11;
    static constexpr NWDSContextHandle kTreeContext = 12;
    static constexpr std::uint32_t kInitialFlags = 0x10;

    ScriptedClient();
    ScriptedClient(const ScriptedClient&) = delete;
    ScriptedClient& operator=(const ScriptedClient&) = delete;

    testing::NiceMock<MockNwClient> mock;

    // Every call in order, as "Name(arguments)": "NWCCOpenConnByRef(7,1,0)",
    // "NWDSSetContext(11,3,[root])", "NWParseNetwarePath(F:\)", "NWDSList(12,)".
    std::vector<std::string> calls;
    // A call whose log text is a key here fails with that code, every time. A
    // failed NWDSList leaves the iteration handle at a value other than -1.
    std::map<std::string, NWCCODE> failures;

    std::vector<Drive> drives;
    // Container full name ("[root]" for the top) -> its objects in client order.
    std::map<std::string, std::vector<Object>> directory;
    // Objects per listing portion.
    std::size_t portionSize = 2;

    // The name context each context holds (written by NWDSSetContext key 3).
    std::map<NWDSContextHandle, std::string> nameContexts;
    int buffersAllocated = 0;
    int buffersFreed = 0;

    // How many calls begin with the text ("NWDSList(" counts every list call).
    int count(const std::string& prefix) const;
    // How many calls read exactly so.
    int exact(const std::string& call) const;
    bool called(const std::string& call) const { return exact(call) > 0; }

private:
    NWCCODE record(const std::string& call);
    void installDefaults();

    // The portion of the last NWDSList: its objects and the next one to read.
    std::vector<Object> m_portion;
    std::size_t m_read = 0;
    char m_bufferStorage = 0;
};
