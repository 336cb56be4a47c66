// The path parse: which drive paths are NetWare paths, and the volume path
// they give.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "netclient/simclient.h"
#include "support/core_tempworkstation.h"

namespace {

class ParsePath : public testing::Test {
protected:
    void SetUp() override
    {
        const std::string sys = ws.addVolume("FS1", "SYS");
        const std::string data = ws.addVolume("FS1", "DATA");
        ws.addVolume("FS2", "APPS");
        ws.makeFolder(data + "/Public/Sub");
        ws.mapDrive('F', "FS1/SYS:");
        ws.mapDrive('G', "FS1/DATA:PUBLIC\\sub");
        ws.mapDrive('H', "FS2/APPS:");
        ws.mapDrive('C', ws.addLocalFolder("c"));
        client = ws.load();
        ASSERT_TRUE(client) << ws.lastError();
    }

    struct Parsed {
        NWCCODE code = 0;
        NWCONN_HANDLE conn = 0;
        int dirHandle = -1;
        std::string volumePath;
    };

    Parsed parse(const std::string& path)
    {
        Parsed result;
        NWDIR_HANDLE dirHandle = 77;
        char volumePath[512];
        std::strcpy(volumePath, "untouched");
        result.code = client->NWParseNetwarePath(path.c_str(), &result.conn, &dirHandle, volumePath);
        result.dirHandle = dirHandle;
        result.volumePath = volumePath;
        return result;
    }

    TempWorkstation ws;
    std::unique_ptr<SimClient> client;
};

TEST_F(ParsePath, NetWareDrivesGiveTheirServerAndVolumePath)
{
    struct Case {
        const char* path;
        NWCONN_HANDLE conn;
        const char* volumePath;
    };
    const Case cases[] = {
        {"F:\\", 1, "SYS:"},
        {"F:", 1, "SYS:"},
        {"F:\\A\\B.TXT", 1, "SYS:A\\B.TXT"},
        {"f:/mixed/Case.txt", 1, "SYS:mixed\\Case.txt"},
        {"F:\\A\\\\B\\.\\C\\", 1, "SYS:A\\B\\C"},
        {"G:\\", 1, "DATA:Public\\Sub"},
        {"G:\\x.doc", 1, "DATA:Public\\Sub\\x.doc"},
        {"H:\\APP.EXE", 2, "APPS:APP.EXE"},
        {"F:\\Gr\xC3\xBC\xC3\x9F"
         "e & co; [1] {a}.txt",
         1,
         "SYS:Gr\xC3\xBC\xC3\x9F"
         "e & co; [1] {a}.txt"},
    };
    for (const Case& c : cases) {
        const Parsed parsed = parse(c.path);
        EXPECT_EQ(parsed.code, nw::kSuccess) << c.path;
        EXPECT_EQ(parsed.conn, c.conn) << c.path;
        EXPECT_EQ(parsed.dirHandle, 0) << c.path;
        EXPECT_EQ(parsed.volumePath, c.volumePath) << c.path;
    }
}

TEST_F(ParsePath, RefusesWhatIsNoNetWarePathAndLeavesTheBufferAlone)
{
    struct Case {
        std::string path;
        NWCCODE code;
        const char* why;
    };
    const Case cases[] = {
        {"C:\\Users\\x.txt", nw::kErrNotNetWareDrive, "local drive"},
        {"C:\\", nw::kErrNotNetWareDrive, "local drive root"},
        {"Q:\\x.txt", nw::kErrDriveNotMapped, "unmapped letter"},
        {"\\\\server\\share\\x", nw::kErrDriveNotMapped, "not a drive path"},
        {"", nw::kErrDriveNotMapped, "empty"},
        {"1:\\x", nw::kErrDriveNotMapped, "not a letter"},
        {"F:\\a:b.txt", nw::kErrInvalidPath, "colon in a name"},
        {"F:\\a*.txt", nw::kErrInvalidPath, "star"},
        {"F:\\a?.txt", nw::kErrInvalidPath, "question mark"},
        {"F:\\\"a\".txt", nw::kErrInvalidPath, "quote"},
        {"F:\\a<b>.txt", nw::kErrInvalidPath, "angle brackets"},
        {"F:\\a|b.txt", nw::kErrInvalidPath, "bar"},
        {"F:\\tab\there.txt", nw::kErrInvalidPath, "control character"},
        {"F:\\del\x7F.txt", nw::kErrInvalidPath, "delete character"},
        {"F:\\bad\xFF.txt", nw::kErrInvalidPath, "byte that is no UTF-8"},
        {"F:\\over\xC0\xAF"
         "long",
         nw::kErrInvalidPath, "overlong UTF-8"},
        {"F:\\sur\xED\xA0\x80"
         "rogate",
         nw::kErrInvalidPath, "UTF-8 surrogate"},
        {"F:\\cut\xE2\x82", nw::kErrInvalidPath, "truncated UTF-8"},
        {"F:\\..\\etc\\passwd", nw::kErrInvalidPath, "climbing out"},
        {"F:\\" + std::string(256, 'n'), nw::kErrInvalidPath, "name of 256 bytes"},
    };
    for (const Case& c : cases) {
        const Parsed parsed = parse(c.path);
        EXPECT_EQ(parsed.code, c.code) << c.why;
        EXPECT_EQ(parsed.volumePath, "untouched") << c.why;
    }
}

TEST_F(ParsePath, TheVolumePathMayNotOutgrowItsBuffer)
{
    // "SYS:" is one character longer than "F:\", so a path of 510 characters
    // gives the longest volume path a 512-byte buffer holds.
    std::string path = "F:\\" + std::string(200, 'a') + "\\" + std::string(200, 'b') + "\\" + std::string(100, 'c');
    path.resize(510, 'd');
    const Parsed longest = parse(path);
    EXPECT_EQ(longest.code, nw::kSuccess);
    EXPECT_EQ(longest.volumePath.size(), 511u);
    EXPECT_EQ(parse(path + "e").code, nw::kErrInvalidPath);
    EXPECT_EQ(parse(path + "e").volumePath, "untouched");

    // Through G the drive's own folders come in front: refused rather than cut.
    EXPECT_EQ(parse("G:\\" + std::string(250, 'x') + "\\" + std::string(250, 'y')).code, nw::kErrInvalidPath);

    // Longer than 511 characters is refused whatever the drive.
    EXPECT_EQ(parse("C:\\" + std::string(600, 'z')).code, nw::kErrInvalidPath);
    EXPECT_EQ(parse("F:\\" + std::string(5000, 'z')).code, nw::kErrInvalidPath);
}

TEST_F(ParsePath, AnswersFromTheDriveTableWithoutTheHost)
{
    // The parse runs for every file of a scan: it must not need the host
    // file system. With the volume's folder gone it still answers.
    std::filesystem::remove_all(ws.root() + "/volumes/FS1-SYS");
    EXPECT_EQ(parse("F:\\GONE\\FILE.TXT").volumePath, "SYS:GONE\\FILE.TXT");
}

}  // namespace
