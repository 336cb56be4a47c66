// Real walks of temporary workstations: the order of the walk, the paths it
// builds, what it enters, what it reports, and where it pumps.

#include <sys/stat.h>

#include "support/gui_scanfixture.h"

using Row = std::array<std::string, 4>;
using ErrorRow = std::array<std::string, 3>;
using Names = std::vector<std::string>;

namespace {

class Walker : public ScanFixture {};

TEST_F(Walker, FilesFirstInListingOrderThenSubfoldersDepthFirst)
{
    ws.makeFile(sys + "/b.txt", 20);
    ws.makeFile(sys + "/A.txt", 10);
    ws.makeFile(sys + "/c.dat", 30);
    ws.makeFile(sys + "/Zeta/z1.txt", 1);
    ws.makeFile(sys + "/alpha/a1.txt", 2);
    ws.makeFile(sys + "/alpha/sub/s1.txt", 3);
    ws.makeFile(sys + "/alpha/b0.txt", 4);
    startWindow();
    clickStart();

    const std::vector<Row> expected = {
        {"A.txt", "10", "JSMITH.SALES.ACME", "F:\\A.txt"},
        {"b.txt", "20", "JSMITH.SALES.ACME", "F:\\b.txt"},
        {"c.dat", "30", "JSMITH.SALES.ACME", "F:\\c.dat"},
        {"a1.txt", "2", "JSMITH.SALES.ACME", "F:\\alpha\\a1.txt"},
        {"b0.txt", "4", "JSMITH.SALES.ACME", "F:\\alpha\\b0.txt"},
        {"s1.txt", "3", "JSMITH.SALES.ACME", "F:\\alpha\\sub\\s1.txt"},
        {"z1.txt", "1", "JSMITH.SALES.ACME", "F:\\Zeta\\z1.txt"},
    };
    EXPECT_EQ(results(), expected);
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(status(), (std::array<std::string, 5>{"F:\\Zeta\\z1.txt", "7", "3", "7", "70"}));
}

TEST_F(Walker, DriveRootAndSubfolderOfADriveMappedBelowTheVolume)
{
    ws.makeFile(sys + "/only.txt", 5);
    ws.makeFile(sys + "/PUBLIC/deep/inner.txt", 6);
    ws.mapDrive('G', "FS1/SYS:PUBLIC");
    startWindow("G:\\");
    clickStart();
    EXPECT_EQ(resultNames(), Names{"inner.txt"});
    EXPECT_EQ(results().at(0)[3], "G:\\deep\\inner.txt");

    ASSERT_EQ(w->DirectoryListBox1->setDirectory(QStringLiteral("F:\\")), 0);
    w->chkAttribReadOnly->click();  // no file qualifies; the walk goes on to the end
    clickStart();
    EXPECT_TRUE(results().empty());
    EXPECT_EQ(status()[1], "2");
    w->chkAttribReadOnly->click();
    clickStart();
    ASSERT_EQ(results().size(), 2u);
    // One backslash behind the root, in the Full Path and on the Current File line.
    EXPECT_EQ(results()[0][3], "F:\\only.txt");
    EXPECT_EQ(results()[1][3], "F:\\PUBLIC\\deep\\inner.txt");
    EXPECT_EQ(status()[0], "F:\\PUBLIC\\deep\\inner.txt");
}

TEST_F(Walker, CurrentFileLineOfAFileInTheRoot)
{
    ws.makeFile(sys + "/only.txt", 5);
    startWindow();
    clickStart();
    EXPECT_EQ(status()[0], "F:\\only.txt");
}

TEST_F(Walker, HiddenFilesAreExaminedAndHiddenFoldersEntered)
{
    ws.makeFile(sys + "/.hidden.txt", 1);
    ws.makeFile(sys + "/.cache/inner.txt", 2);
    ws.makeFile(sys + "/plain.txt", 3);
    startWindow();
    clickStart();
    EXPECT_EQ(resultNames(), (Names{".hidden.txt", "plain.txt", "inner.txt"}));
    EXPECT_EQ(status()[2], "1");
}

TEST_F(Walker, PatternRestrictsFilesOnly)
{
    ws.makeFile(sys + "/a.tmp", 1);
    ws.makeFile(sys + "/b.txt", 1);
    ws.makeFile(sys + "/docs/c.TMP", 1);
    ws.makeFile(sys + "/docs/d.txt", 1);
    ws.makeFile(sys + "/x.tmp/e.txt", 1);
    startWindow();
    setPattern("*.tmp");
    clickStart();
    EXPECT_EQ(resultNames(), (Names{"a.tmp", "c.TMP"}));
    EXPECT_EQ(status()[1], "2");  // only files the pattern selects are counted
    EXPECT_EQ(status()[2], "2");  // every folder entered, "x.tmp" too
}

TEST_F(Walker, EmptySubfolderIsCountedAndReportsNothing)
{
    ws.makeFolder(sys + "/empty");
    ws.makeFile(sys + "/z.txt", 1);
    startWindow();
    clickStart();
    EXPECT_EQ(resultNames(), Names{"z.txt"});
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(status()[2], "1");
}

TEST_F(Walker, UnreadableSubfolderIsCountedAndIsOneRow)
{
    ws.makeFile(sys + "/locked/secret.txt", 1);
    ws.makeFile(sys + "/z.txt", 1);
    ws.setMode(sys + "/locked", 0);
    if (::access((sys + "/locked").c_str(), R_OK) == 0) {
        ws.setMode(sys + "/locked", 0755);
        GTEST_SKIP() << "running with rights that read any folder";
    }
    startWindow();
    clickStart();
    ws.setMode(sys + "/locked", 0755);
    EXPECT_EQ(resultNames(), Names{"z.txt"});
    EXPECT_EQ(errors(), (std::vector<ErrorRow>{{"F:\\locked", "0", "Unable to list folder Code : d"}}));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(status()[2], "1");
}

TEST_F(Walker, LocalDriveGivesOneParseRowPerFile)
{
    const std::string local = ws.addLocalFolder("c");
    ws.mapDrive('C', local);
    ws.makeFile(local + "/one.txt", 11);
    ws.makeFile(local + "/sub/two.txt", 22);
    startWindow("C:\\");
    clickStart();
    EXPECT_TRUE(results().empty());
    EXPECT_TRUE(ui.messages.empty());  // no server name is no message
    const std::vector<ErrorRow> expected = {{"C:\\one.txt", "11", "NWParseNetwarePath Code : 880f"},
                                            {"C:\\sub\\two.txt", "22", "NWParseNetwarePath Code : 880f"}};
    EXPECT_EQ(errors(), expected);
    EXPECT_EQ(status()[1], "2");  // files with a row are still counted
}

// Each failure the walk and the lookups can meet, made by a [Faults] entry,
// with the row it must give. The file is F:\SUB\Report File.txt, 1234 bytes,
// and the attribute test is on so that the extended steps run.
struct FaultCase {
    const char* fault;
    ErrorRow row;
    const char* meaning;  // the code in words, beside the row's text
    int handlesLeft = 0;  // only a failed release leaves its handle counted
};

class WalkerFaults : public ScanFixture, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(WalkerFaults, OneRowAndTheFileIsSkipped)
{
    ws.makeFile(sys + "/SUB/Report File.txt", 1234);
    ws.makeFile(sys + "/zz.txt", 7);
    ws.setMode(sys + "/SUB/Report File.txt", 0444);
    ws.setMode(sys + "/zz.txt", 0444);
    ws.addLine("Faults", std::string("Fault0=") + GetParam().fault);
    startWindow();
    w->chkAttribReadOnly->click();
    clickStart();
    EXPECT_EQ(errors(), std::vector<ErrorRow>{GetParam().row});
    EXPECT_EQ(w->errorsModel->text(0, 3).toStdString(), GetParam().meaning);
    EXPECT_EQ(resultNames(), Names{"zz.txt"});
    NWCONN_HANDLE conn = 0;
    NWDIR_HANDLE dir = 0;
    char volumePath[512];
    ASSERT_EQ(client->NWParseNetwarePath("F:\\", &conn, &dir, volumePath), 0u);
    EXPECT_EQ(client->openTemporaryHandles(conn), GetParam().handlesLeft);
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, WalkerFaults,
    ::testing::Values(FaultCase{"NWParseNetwarePath, F:\\SUB\\Report*, 899C",
                                {"F:\\SUB\\Report File.txt", "1234", "NWParseNetwarePath Code : 899c"},
                                "invalid path"},
                      FaultCase{"NWIntScanFileInformation2, *Report*, 89FF",
                                {"SYS:SUB\\Report File.txt", "1234", "NWIntScanFileInformation2 Code : 89ff"},
                                "no such file"},
                      // The short-name steps show the upper-cased volume path and size 0.
                      FaultCase{"NWGetOwningNameSpace, *REPORT*, 899B",
                                {"SYS:SUB\\REPORT FILE.TXT", "0", "Cannot Get Owning Name Space Code : 899b"},
                                "invalid directory handle"},
                      FaultCase{"NWGetNSPath, *REPORT*, 8998",
                                {"SYS:SUB\\REPORT FILE.TXT", "0", "Error with nwgetnspath  Code : 8998"},
                                "no such volume"},
                      FaultCase{"NWGetLongName, *REPORT*, 89FF",
                                {"SYS:SUB\\REPORT FILE.TXT", "0", "Error with nwgetlongname Code : 89ff"},
                                "no such file"},
                      // The extended steps name the file in the folder they worked on, with
                      // the listing size.
                      FaultCase{"NWParseNetwarePath, F:\\SUB, 899C",
                                {"F:\\SUB\\Report File.txt", "1234", "NWParseNetwarePath Code : 899c"},
                                "invalid path"},
                      FaultCase{"NWAllocateTemporaryDirectoryHandle, SYS:SUB, 899D",
                                {"SYS:SUB\\Report File.txt", "1234",
                                 "NWAllocateTemporaryDirectoryHandle Code : 899d"},
                                "no more directory handles"},
                      FaultCase{"NWIntScanExtendedInfo, SYS:SUB\\*, 899C",
                                {"SYS:SUB\\Report File.txt", "1234", "NWIntScanExtendedInfo Code : 899c"},
                                "invalid path"},
                      FaultCase{"NWDeallocateDirectoryHandle, SYS:SUB, 899B",
                                {"SYS:SUB\\Report File.txt", "1234", "NWDeallocateDirectoryHandle Code : 899b"},
                                "invalid directory handle",
                                1}));

TEST_F(Walker, ManyFailedExtendedReadsLeaveNoHandleOpen)
{
    // More failures than a connection has handles: a leak would turn the
    // later rows into allocation failures.
    for (int i = 0; i < 300; ++i)
        ws.makeFile(sys + "/BAD/f" + std::to_string(i) + ".txt", 1);
    ws.addLine("Faults", "Fault0=NWIntScanExtendedInfo, SYS:BAD\\*, 899C");
    startWindow();
    w->chkAttribArchiveNeeded->click();
    clickStart();
    const auto rows = errors();
    ASSERT_EQ(rows.size(), 300u);
    for (const auto& row : rows)
        ASSERT_EQ(row[2], "NWIntScanExtendedInfo Code : 899c");
    NWCONN_HANDLE conn = 0;
    NWDIR_HANDLE dir = 0;
    char volumePath[512];
    ASSERT_EQ(client->NWParseNetwarePath("F:\\", &conn, &dir, volumePath), 0u);
    EXPECT_EQ(client->openTemporaryHandles(conn), 0);
}

TEST_F(Walker, WithoutADosNameSpaceTheListingNameFindsTheFile)
{
    const std::string file = ws.makeFile(sys + "/A Long File Name.text", 3);
    if (!ws.setAttributes(file, nwattr::ReadOnly | nwattr::Shareable))
        GTEST_SKIP() << TempWorkstation::kNoXattrMessage;
    ws.addLine("Faults", "Fault0=NWGetNSPath, *, 89BF");
    startWindow();
    w->chkAttribShareable->click();
    clickStart();
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(resultNames(), Names{"A Long File Name.text"});
}

TEST_F(Walker, PumpsBeforeFiles1And101And201)
{
    for (int i = 0; i < 250; ++i)
        ws.makeFile(sys + "/f" + std::to_string(1000 + i), 1);
    startWindow();
    std::vector<int> seen;
    auto hook = atEveryPump([&] {
        if (w->scanProgress.Running)
            seen.push_back(w->scanProgress.FilesScanned);
    });
    clickStart();
    EXPECT_EQ(seen, (std::vector<int>{0, 100, 200}));
}

TEST_F(Walker, ALongPathIsOneRowNotACrash)
{
    std::string folder = sys;
    std::string windowsFolder = "F:";
    while (windowsFolder.size() < 600) {
        folder += "/" + std::string(60, 'd');
        windowsFolder += "\\" + std::string(60, 'd');
    }
    ws.makeFile(folder + "/deep.txt", 9);
    ws.makeFile(sys + "/near.txt", 1);
    startWindow();
    clickStart();
    EXPECT_EQ(resultNames(), Names{"near.txt"});
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0][0], windowsFolder + "\\deep.txt");
    EXPECT_EQ(errors()[0][2], "NWParseNetwarePath Code : 899c");
}

}  // namespace

namespace {

TEST_F(Walker, PatternNamingAFolderIsListedAsItStands)
{
    // "sub\*.txt" lists sub\ of each folder; the names found there are then
    // joined to the folder being walked, as the listing of the pattern gives them.
    ws.makeFile(sys + "/sub/a.txt", 5);
    ws.makeFile(sys + "/a.txt", 1);
    ws.makeFile(sys + "/other/sub/b.txt", 6);
    startWindow();
    setPattern("sub\\*.txt");
    clickStart();
    EXPECT_EQ(resultNames(), Names{"a.txt"});
    EXPECT_EQ(results().at(0)[1], "5");  // the listed file's size, the folder's own file's record
    EXPECT_EQ(results().at(0)[3], "F:\\a.txt");
    EXPECT_EQ(status()[1], "2");
    EXPECT_EQ(status()[2], "3");
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0][0], "SYS:other\\b.txt");
}

}  // namespace
