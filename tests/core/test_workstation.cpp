// Reading, checking and finding the workstation file.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "netclient/simclient.h"
#include "netclient/workstation.h"
#include "platform/drives.h"
#include "support/core_tempworkstation.h"

namespace {

// The example an administrator starts from, comments and all.
std::string exampleText(const std::string& sys, const std::string& data, const std::string& home)
{
    return "[Volumes]              ; SERVER/VOLUME = host folder\n"
           "FS1/SYS=" +
           sys +
           "\n"
           "fs1/data=" +
           data +
           "     ; the data volume\n"
           "\n"
           "[Drives]               ; letter = SERVER/VOLUME:[PATH] for a NetWare drive,\n"
           "F=FS1/SYS:             ;          a host folder for a local (non-NetWare) drive\n"
           "g=FS1/DATA:public\n"
           "C=" +
           home +
           "\n"
           "\n"
           "[Directory]            ; full name = class[, object ID]   (names upward, joined by \".\")\n"
           "ACME=Organization\n"
           "SALES.ACME=Organizational Unit\n"
           "JSMITH.SALES.ACME=User, 0x1001\n"
           "FS1.ACME=NCP Server, 0x2001\n"
           "\n"
           "[Bindery]              ; object ID = bindery name\n"
           "0x3001=GUEST\n"
           "\n"
           "[Owners]               ; host user ID = object ID\n"
           "0=0x1001\n"
           "\n"
           "[Faults]               ; FaultN = operation, path wildcard, code (hex)\n"
           "Fault0=NWIntScanExtendedInfo, DATA:PUBLIC\\LOCKED\\*, 899C\n"
           "Fault1=NWDSList, A,B,C, $FFFFFDA7\n";
}

TEST(WorkstationFile, ReadsTheExampleIntoTheModel)
{
    TempWorkstation ws;
    const std::string sys = ws.makeFolder("sys");
    const std::string data = ws.makeFolder("data");
    ws.makeFolder("data/Public");
    const std::string home = ws.makeFolder("home");

    workstation::Workstation model;
    std::string error;
    ASSERT_TRUE(workstation::parse(exampleText(sys, data, home), "workstation.ini", "", model, error)) << error;

    ASSERT_EQ(model.volumes.size(), 2u);
    EXPECT_EQ(model.volumes[1].server, "FS1");
    EXPECT_EQ(model.volumes[1].name, "DATA");
    EXPECT_EQ(model.volumes[1].hostFolder, data);  // the trailing comment is not part of the folder

    ASSERT_EQ(model.drives.size(), 3u);  // in letter order
    EXPECT_EQ(model.drives[0].letter, 'C');
    EXPECT_FALSE(model.drives[0].netware);
    EXPECT_EQ(model.drives[0].hostFolder, home);
    EXPECT_EQ(model.drives[1].letter, 'F');
    EXPECT_TRUE(model.drives[1].netware);
    EXPECT_EQ(model.drives[1].hostFolder, sys);
    EXPECT_EQ(model.drives[2].letter, 'G');
    EXPECT_EQ(model.drives[2].volume, 1u);
    // The PATH is found blind to case and kept as the host spells it.
    EXPECT_EQ(model.drives[2].path, std::vector<std::string>{"Public"});
    EXPECT_EQ(model.drives[2].hostFolder, data + "/Public");

    ASSERT_EQ(model.directory.size(), 4u);
    EXPECT_EQ(model.directory[2].fullName, "JSMITH.SALES.ACME");
    EXPECT_EQ(model.directory[2].className, "User");
    EXPECT_EQ(model.directory[2].id, 0x1001u);
    EXPECT_FALSE(model.directory[0].id.has_value());
    EXPECT_EQ(model.bindery.at(0x3001), "GUEST");
    EXPECT_EQ(model.owners.at(0), 0x1001u);

    ASSERT_EQ(model.faults.size(), 2u);
    EXPECT_EQ(model.faults[0].operation, workstation::Operation::ScanExtendedInfo);
    EXPECT_EQ(model.faults[0].pattern, "DATA:PUBLIC\\LOCKED\\*");
    EXPECT_EQ(model.faults[0].code, 0x899Cu);
    // A wildcard may hold commas: the code is what follows the last one.
    EXPECT_EQ(model.faults[1].pattern, "A,B,C");
    EXPECT_EQ(model.faults[1].code, 0xFFFFFDA7u);
}

TEST(WorkstationFile, LoadingFillsTheDriveTable)
{
    TempWorkstation ws;
    const std::string sys = ws.addVolume("FS1", "SYS");
    ws.makeFolder(sys + "/Apps/Office");
    const std::string local = ws.addLocalFolder("c");
    ws.mapDrive('F', "FS1/SYS:");
    ws.mapDrive('G', "FS1/SYS:APPS\\office");
    ws.mapDrive('C', local);
    auto client = ws.load();
    ASSERT_TRUE(client) << ws.lastError();

    EXPECT_EQ(platform::drives().hostFolder('F'), sys);
    EXPECT_EQ(platform::drives().hostFolder('g'), sys + "/Apps/Office");
    EXPECT_EQ(platform::drives().hostFolder('C'), local);
    EXPECT_FALSE(platform::drives().hostFolder('H').has_value());

    // A failed load leaves neither a workstation nor drives behind.
    std::string error;
    EXPECT_FALSE(client->loadText("[Drives]\nF=FS9/SYS:\n", &error));
    EXPECT_FALSE(client->isLoaded());
    EXPECT_FALSE(platform::drives().hostFolder('F').has_value());
}

TEST(WorkstationFile, RelativeHostFoldersStartAtTheFilesFolder)
{
    TempWorkstation ws;
    ws.makeFolder("volumes/sys");
    ws.makeFolder("local");
    ws.addLine("Volumes", "FS1/SYS=volumes/sys");
    ws.mapDrive('C', "local");
    ws.mapDrive('F', "FS1/SYS:");
    auto client = ws.load();
    ASSERT_TRUE(client) << ws.lastError();
    EXPECT_EQ(client->workstationModel().volumes[0].hostFolder, ws.root() + "/volumes/sys");
    EXPECT_EQ(platform::drives().hostFolder('C'), ws.root() + "/local");
}

struct MalformedCase {
    const char* text;  // after a [Volumes] section of line 1 and 2: FS1/SYS, a real folder
    int line;
    const char* reason;  // the part of the message after "file:line: "
};

TEST(WorkstationFile, MalformedFilesNameTheLineAndTheReason)
{
    const MalformedCase cases[] = {
        {"FS1=/tmp\n", 3, "[Volumes] FS1: not a SERVER/VOLUME name"},
        {"FS1/SYS/X=/tmp\n", 3, "[Volumes] FS1/SYS/X: not a SERVER/VOLUME name"},
        {"FS1/VOLUMENAMEISTOOLONG=/tmp\n", 3, "[Volumes] FS1/VOLUMENAMEISTOOLONG: not a SERVER/VOLUME name"},
        {"FS1/DATA=/nonexistent/trawl/folder\n", 3, "[Volumes] FS1/DATA: no such folder /nonexistent/trawl/folder"},
        {"fs1/sys=/tmp\n", 3, "[Volumes] fs1/sys: volume already defined at line 2"},
        {"[Drives]\n1=FS1/SYS:\n", 4, "[Drives] 1: not a drive letter"},
        {"[Drives]\nFG=FS1/SYS:\n", 4, "[Drives] FG: not a drive letter"},
        {"[Drives]\nH=FS9/DATA:\n", 4, "[Drives] H: unknown volume FS9/DATA"},
        {"[Drives]\nH=/nonexistent/trawl/folder\n", 4, "[Drives] H: no such folder /nonexistent/trawl/folder"},
        {"[Drives]\nH=FS1/SYS:NOSUCH\\SUB\n", 4, "[Drives] H: no folder NOSUCH\\SUB on FS1/SYS"},
        {"[Drives]\nH=FS1/SYS:..\\..\n", 4, "[Drives] H: bad folder name"},
        {"[Drives]\nH=\n", 4, "[Drives] H: neither SERVER/VOLUME:[PATH] nor a host folder"},
        {"[Drives]\nF=FS1/SYS:\n\nf=FS1/SYS:\n", 6, "[Drives] f: drive already mapped at line 4"},
        {"[Directory]\nACME=\n", 4, "[Directory] ACME: no class"},
        {"[Directory]\nACME=, 0x10\n", 4, "[Directory] ACME: no class"},
        {"[Directory]\nACME=Organization\nJ.ACME=User, 0xZZ\n", 5, "[Directory] J.ACME: bad ID 0xZZ"},
        {"[Directory]\nJ.ACME=User, 12abc\n", 4, "[Directory] J.ACME: bad ID 12abc"},
        {"[Directory]\nJ.ACME=User,\n", 4, "[Directory] J.ACME: bad ID "},
        {"[Directory]\nJ..ACME=User\n", 4, "[Directory] J..ACME: not a dotted name"},
        {"[Directory]\nA=User, 1\nB=User, 0x1\n", 5, "[Directory] B: ID already used at line 4"},
        {"[Directory]\nA=User\na=Group\n", 5, "[Directory] a: object already defined at line 4"},
        {"[Directory]\nACME=Organization\n[LDAP]\nURI=ldap://h\n", 6,
         "[LDAP] URI: the directory comes from [Directory] (line 4) or from [LDAP], not both"},
        {"[LDAP]\nURI=http://h\nBase=o=A\n", 4, "[LDAP] URI: not one ldap:// or ldaps:// URI"},
        {"[LDAP]\nURI=ldap://a ldap://b\nBase=o=A\n", 4, "[LDAP] URI: not one ldap:// or ldaps:// URI"},
        {"[LDAP]\nURI=ldap://h\nuri=ldap://h\n", 5, "[LDAP] uri: given twice"},
        {"[LDAP]\nURI=ldap://h\nBase=o=A\nTimeout=0\n", 6, "[LDAP] Timeout: not a number of seconds"},
        {"[LDAP]\nURI=ldap://h\nBase=o=A\nStartTLS=yes\n", 6, "[LDAP] StartTLS: not 0 or 1"},
        {"[LDAP]\nURI=ldap://h\nBase=o=A\nPassword=x\n", 6, "[LDAP] Password: unknown key"},
        {"[LDAP]\nBase=o=A\n", 4, "[LDAP] no URI"},
        {"[LDAP]\nURI=ldap://h\nBase=o=A\nBindDN=cn=t\n", 4, "[LDAP] no PasswordFile (BindDN is given)"},
        {"[Bindery]\nGUEST=0x3001\n", 4, "[Bindery] GUEST: the object ID is not an integer"},
        {"[Bindery]\n0x3001=\n", 4, "[Bindery] 0x3001: not a name"},
        {"[Owners]\nroot=0x1001\n", 4, "[Owners] root: the host user ID is not an integer"},
        {"[Owners]\n0=ADMIN\n", 4, "[Owners] 0: the object ID ADMIN is not an integer"},
        {"[Faults]\nFault0=NWDSList, 899C\n", 4, "[Faults] Fault0: needs three parts"},
        {"[Faults]\nFault0=NWDSList\n", 4, "[Faults] Fault0: needs three parts"},
        {"[Faults]\nFault0=NWDSList, *, 89ZZ\n", 4, "[Faults] Fault0: bad hex code 89ZZ"},
        {"[Faults]\nFault0=NWDSList, *, 123456789\n", 4, "[Faults] Fault0: bad hex code 123456789"},
        {"[Faults]\nFault0=NWDSList, *, 0\n", 4, "[Faults] Fault0: code 0 would be success"},
        {"[Faults]\nFault0=NWNoSuchCall, *, 899C\n", 4, "[Faults] Fault0: unknown operation NWNoSuchCall"},
        {"[Faults]\nFault0=NWDSList, , 899C\n", 4, "[Faults] Fault0: empty path wildcard"},
    };
    TempWorkstation ws;
    const std::string sys = ws.makeFolder("sys");
    for (const MalformedCase& c : cases) {
        const std::string text = "[Volumes]\nFS1/SYS=" + sys + "\n" + c.text;
        workstation::Workstation model;
        std::string error;
        EXPECT_FALSE(workstation::parse(text, "ws.ini", "", model, error)) << c.text;
        const std::string expected = "ws.ini:" + std::to_string(c.line) + ": " + c.reason;
        EXPECT_EQ(error.substr(0, expected.size()), expected) << c.text;
    }
}

// A reason quotes at most 80 bytes of a key or value, then "...": a value of a
// megabyte must not make a megabyte line on standard error. Up to 80 bytes the
// text is quoted whole.
TEST(WorkstationFile, LongQuotedTextIsCutInTheReason)
{
    const std::string huge(1 << 20, 'Q');
    const std::string q79(79, 'Q'), q80(80, 'Q');
    const std::pair<std::string, std::string> cases[] = {
        {"FS1/DATA=/" + huge + "\n", "3: [Volumes] FS1/DATA: no such folder /" + q79 + "..."},
        {"[Drives]\nH=" + huge + "/SYS:\n", "4: [Drives] H: unknown volume " + q80 + ".../SYS"},
        {"[Drives]\nH=FS1/SYS:" + huge + "\n",
         "4: [Drives] H: bad folder name in FS1/SYS:" + std::string(72, 'Q') + "..."},
        {"[Directory]\n" + huge + "=User\n", "4: [Directory] " + q80 + "...: name longer than 255 characters"},
        {"[Directory]\nACME=" + huge + "\n", "4: [Directory] ACME: bad class " + q80 + "..."},
        {"[Directory]\nACME=User, " + huge + "\n", "4: [Directory] ACME: bad ID " + q80 + "..."},
        {"[Owners]\n0=" + huge + "\n", "4: [Owners] 0: the object ID " + q80 + "... is not an integer"},
        {"[Owners]\n0=" + q80 + "\n", "4: [Owners] 0: the object ID " + q80 + " is not an integer"},
        {"[Owners]\n0=" + q79 + "\xC3\xA9" + huge + "\n",
         "4: [Owners] 0: the object ID " + q79 + "... is not an integer"},
        {"[Faults]\nFault0=" + huge + ", *, 899C\n", "4: [Faults] Fault0: unknown operation " + q80 + "..."},
        {"[Faults]\nFault0=NWDSList, *, " + huge + "\n", "4: [Faults] Fault0: bad hex code " + q80 + "..."},
    };
    TempWorkstation ws;
    const std::string sys = ws.makeFolder("sys");
    for (const auto& [text, reason] : cases) {
        workstation::Workstation model;
        std::string error;
        EXPECT_FALSE(workstation::parse("[Volumes]\nFS1/SYS=" + sys + "\n" + text, "ws.ini", "", model, error));
        EXPECT_EQ(error, "ws.ini:" + reason) << reason;
    }
}

TEST(WorkstationFile, UnknownSectionsAndEmptyFilesAreAccepted)
{
    workstation::Workstation model;
    std::string error;
    EXPECT_TRUE(workstation::parse("", "ws.ini", "", model, error)) << error;
    EXPECT_TRUE(workstation::parse("[Demo]\nanything=goes\n", "ws.ini", "", model, error)) << error;
    EXPECT_TRUE(model.volumes.empty());
}

TEST(WorkstationFile, AFileThatCannotBeReadSaysSo)
{
    TempWorkstation ws;
    workstation::Workstation model;
    std::string error;
    EXPECT_FALSE(workstation::load(ws.root() + "/missing.ini", model, error));
    EXPECT_EQ(error, ws.root() + "/missing.ini: cannot be read");
    EXPECT_FALSE(workstation::load(ws.root(), model, error));
    EXPECT_NE(error.find("is a folder"), std::string::npos);
}

TEST(WorkstationFile, IsFoundInTheDocumentedOrder)
{
    TempWorkstation ws;
    const std::string named = ws.makeFile("named.ini");
    const std::string beside = ws.makeFile("exe/workstation.ini");
    const std::string xdg = ws.makeFile("xdg/trawl/workstation.ini");
    const std::string home = ws.makeFile("home/.config/trawl/workstation.ini");
    const std::string system = ws.makeFile("etc2/trawl/workstation.ini");
    ws.makeFile("relative/trawl/workstation.ini");
    std::string error;

    {
        ScopedEnvironment config("NWCLIENT_CONFIG", named.c_str());
        EXPECT_EQ(workstation::find(ws.root() + "/exe", error), named);
    }
    ScopedEnvironment noConfig("NWCLIENT_CONFIG", nullptr);
    ScopedEnvironment xdgHome("XDG_CONFIG_HOME", (ws.root() + "/xdg").c_str());
    ScopedEnvironment homeFolder("HOME", (ws.root() + "/home").c_str());
    EXPECT_EQ(workstation::find(ws.root() + "/exe", error), beside);
    EXPECT_EQ(workstation::find(ws.root() + "/nothing-here", error), xdg);
    {
        ScopedEnvironment unsetXdg("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(workstation::find(ws.root() + "/nothing-here", error), home);
    }
    // With XDG_CONFIG_HOME set, that is the configuration folder; the system's
    // folders follow in their order, relative and empty entries skipped.
    ScopedEnvironment emptyXdg("XDG_CONFIG_HOME", (ws.root() + "/nothing-here").c_str());
    const std::string systemFolders = ws.root() + "/etc1::relative:" + ws.root() + "/etc2:" + ws.root() + "/etc3";
    {
        ScopedEnvironment configDirs("XDG_CONFIG_DIRS", systemFolders.c_str());
        const std::filesystem::path started = std::filesystem::current_path();
        std::filesystem::current_path(ws.root());
        EXPECT_EQ(workstation::find(ws.root() + "/exe2", error), system);
        std::filesystem::current_path(started);
    }
    ScopedEnvironment configDirs("XDG_CONFIG_DIRS", (ws.root() + "/etc1:" + ws.root() + "/etc3").c_str());
    EXPECT_FALSE(workstation::find(ws.root() + "/exe2", error).has_value());
    EXPECT_EQ(error, "no workstation file: NWCLIENT_CONFIG is not set and none at " + ws.root() +
                         "/exe2/workstation.ini or " + ws.root() + "/nothing-here/trawl/workstation.ini or " +
                         ws.root() + "/etc1/trawl/workstation.ini or " + ws.root() + "/etc3/trawl/workstation.ini");
}

TEST(WorkstationFile, InitialisationReportsABadFileOnStandardError)
{
    TempWorkstation ws;
    ws.addVolume("FS1", "SYS");
    ws.addRawText("[Drives]\nH=FS9/DATA:\n");
    const std::string path = ws.write();
    ScopedEnvironment config("NWCLIENT_CONFIG", path.c_str());

    SimClient client;
    testing::internal::CaptureStderr();
    EXPECT_EQ(client.NWCallsInit(nullptr, nullptr), nw::kErrWorkstationFile);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed, "Trawl: " + path + ":5: [Drives] H: unknown volume FS9/DATA\n");
    EXPECT_FALSE(client.isLoaded());
}

TEST(WorkstationFile, InitialisationLoadsTheFileFound)
{
    TempWorkstation ws;
    ws.addVolume("FS1", "SYS");
    ws.mapDrive('F', "FS1/SYS:");
    ws.write();
    ScopedEnvironment noConfig("NWCLIENT_CONFIG", nullptr);
    SimClient client;
    client.setExecutableFolder(ws.root());
    EXPECT_EQ(client.NWCallsInit(nullptr, nullptr), nw::kSuccess);
    EXPECT_TRUE(client.isLoaded());
    EXPECT_EQ(platform::drives().hostFolder('F'), ws.root() + "/volumes/FS1-SYS");

    ScopedEnvironment missing("NWCLIENT_CONFIG", (ws.root() + "/missing.ini").c_str());
    testing::internal::CaptureStderr();
    EXPECT_EQ(client.NWCallsInit(nullptr, nullptr), nw::kErrWorkstationFile);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("missing.ini: cannot be read"), std::string::npos);
}

}  // namespace
