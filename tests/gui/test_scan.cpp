// Whole scans as a user runs them: the file tests on real files, Start and
// Stop, the output file, a second scan, closing during a scan.

#include <QFile>
#include <QTest>
#include <QDialog>
#include <QTableWidget>
#include <QTreeView>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "scan/dayserial.h"
#include "support/gui_scanfixture.h"

using Names = std::vector<std::string>;

namespace {

class Scan : public ScanFixture {
protected:
    void makeSizes()
    {
        for (std::uint64_t size : {99u, 100u, 101u})
            ws.makeFile(sys + "/s" + std::to_string(size), size);
        ws.makeFile(sys + "/t16777216", 16777216);
        ws.makeFile(sys + "/t16777217", 16777217);
    }
    Names scanNames()
    {
        clickStart();
        return resultNames();
    }
    void setDate(DatePicker* picker, int year, int month, int day)
    {
        ASSERT_TRUE(picker->setDaySerial(*daySerial(year, month, day)).isEmpty());
    }
};

TEST_F(Scan, SizeTestModesAndEdges)
{
    makeSizes();
    startWindow();
    struct Case {
        RadioButton* mode;
        const char* bytes;
        Names expected;
    } cases[] = {
        {w->optSizeGreater, "100", {"s100", "s101", "t16777216", "t16777217"}},
        {w->optSizeLess, "100", {"s100", "s99"}},
        {w->optSizeEqual, "100", {"s100"}},
        // The typed value, not its nearest float.
        {w->optSizeEqual, "16777217", {"t16777217"}},
        {w->optSizeGreater, "16777217", {"t16777217"}},
        {w->optSizeGreater, "-5", {"s100", "s101", "s99", "t16777216", "t16777217"}},
        {w->optSizeLess, "-5", {}},
        {w->optSizeEqual, "-5", {}},
    };
    for (const Case& c : cases) {
        setSize(c.mode, c.bytes);
        EXPECT_EQ(scanNames(), c.expected) << c.mode->objectName().toStdString() << ' ' << c.bytes;
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Scan, MatchingSizeIsExactAndLargeFilesKeepTheirSize)
{
    ws.makeFile(sys + "/a", 16777216);
    ws.makeFile(sys + "/b", 1);
    ws.makeFile(sys + "/huge", 5ull << 30);
    startWindow();
    clickStart();
    const auto rows = results();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2][1], "5368709120");
    EXPECT_EQ(status()[4], "5385486337");  // 16777216 + 1 + 5 GiB, to the byte

    // The size test sees the record's 32-bit size: the most it can hold.
    setSize(w->optSizeGreater, "2147483647");
    EXPECT_EQ(scanNames(), Names{"huge"});
}

TEST_F(Scan, OwnerTestByWholeNameContainerAndUnknown)
{
    struct File {
        const char* name;
        std::uint32_t owner;
    } files[] = {{"guest.txt", 0x3001}, {"jsmith.txt", 0x1001}, {"nobody.txt", 0x7777}, {"smith.txt", 0x1002}};
    for (const File& f : files)
        if (!ws.setOwner(ws.makeFile(sys + "/" + f.name, 1), f.owner))
            GTEST_SKIP() << TempWorkstation::kNoXattrMessage;
    startWindow();
    clickStart();
    EXPECT_EQ(results()[2][2], "(unknown)");
    EXPECT_EQ(results()[0][2], "GUEST");

    struct Case {
        std::vector<const char*> items;
        Names expected;
    } cases[] = {
        {{"(unknown)"}, {"nobody.txt"}},
        {{"sales.acme"}, {"jsmith.txt", "smith.txt"}},
        {{"ACME"}, {"jsmith.txt", "smith.txt"}},
        // A tail inside a name component selects nothing more.
        {{"SMITH.SALES.ACME"}, {"smith.txt"}},
        {{"jsmith.sales.acme"}, {"jsmith.txt"}},
        {{"guest", "(UNKNOWN)"}, {"guest.txt", "nobody.txt"}},
        {{"MITH.SALES.ACME", "UEST"}, {}},
        // Owners the directory has no object for, named by the bindery or by nobody.
        {{"(not in the directory)"}, {"guest.txt", "nobody.txt"}},
        {{"(Not In The Directory)", "jsmith.sales.acme"}, {"guest.txt", "jsmith.txt", "nobody.txt"}},
    };
    for (const Case& c : cases) {
        w->lstUsers->clear();
        for (const char* item : c.items)
            addOwner(item);
        EXPECT_EQ(scanNames(), c.expected) << c.items.front();
    }
}

TEST_F(Scan, OwnerListIsReadAtEachFile)
{
    for (int i = 0; i < 150; ++i)
        ws.makeFile(sys + "/f" + std::to_string(1000 + i), 1);
    startWindow();
    addOwner("NOBODY.ACME");
    // Changed at the pump before file 101: files 101 on pass.
    auto hook = atEveryPump([&] {
        if (w->scanProgress.FilesScanned == 100 && w->lstUsers->count() == 1)
            addOwner("SALES.ACME");
    });
    clickStart();
    EXPECT_EQ(w->resultsModel->rowCount(), 50);
}

TEST_F(Scan, DateDayBoundaries)
{
    const auto at = [](int day, int hour, int minute) {
        return TempWorkstation::localTime(2024, 3, day, hour, minute);
    };
    ws.setTimes(ws.makeFile(sys + "/d14-late"), at(14, 23, 59), at(14, 23, 59));
    ws.setTimes(ws.makeFile(sys + "/d15-early"), at(15, 0, 0), at(15, 0, 0));
    ws.setTimes(ws.makeFile(sys + "/d15-late"), at(15, 23, 58), at(15, 23, 58));
    ws.setTimes(ws.makeFile(sys + "/d16-early"), at(16, 0, 0), at(16, 0, 0));
    // Before 1980 the packed date holds no day: the file fails every mode.
    ws.setTimes(ws.makeFile(sys + "/old"), TempWorkstation::localTime(1975, 6, 1),
                TempWorkstation::localTime(1975, 6, 1));
    startWindow();
    w->optDateModified->click();
    setDate(w->dtpBefore, 2024, 3, 15);
    setDate(w->dtpAfter, 2024, 3, 15);
    setDate(w->dtpExact, 2024, 3, 15);

    struct Case {
        RadioButton* mode;
        Names expected;
    } cases[] = {
        {w->optDateBefore, {"d14-late", "d15-early", "d15-late"}},
        {w->optDateAfter, {"d15-early", "d15-late", "d16-early"}},
        // A file changed late in the evening of the day is on that day.
        {w->optDateExact, {"d15-early", "d15-late"}},
    };
    for (const Case& c : cases) {
        c.mode->click();
        EXPECT_EQ(scanNames(), c.expected) << c.mode->objectName().toStdString();
    }

    w->optDateBetween->click();
    setDate(w->dtpBefore, 2024, 3, 14);
    EXPECT_EQ(scanNames(), (Names{"d14-late", "d15-early", "d15-late"}));
    setDate(w->dtpBefore, 1970, 1, 1);
    setDate(w->dtpAfter, 2100, 1, 1);
    EXPECT_EQ(scanNames(), (Names{"d14-late", "d15-early", "d15-late", "d16-early"}));
    EXPECT_TRUE(errors().empty());

    // The access date is tested when it is chosen.
    ws.setTimes(sys + "/d16-early", at(10, 12, 0), at(16, 0, 0));
    w->optDateAccessed->click();
    w->optDateBefore->click();
    setDate(w->dtpBefore, 2024, 3, 10);
    EXPECT_EQ(scanNames(), Names{"d16-early"});
}

TEST_F(Scan, CreationDateFromTheCreatedAttribute)
{
    const std::string file = ws.makeFile(sys + "/made.txt");
    if (!ws.setCreated(file, "2001-02-03"))
        GTEST_SKIP() << TempWorkstation::kNoXattrMessage;
    ws.makeFile(sys + "/other.txt");
    startWindow();
    w->optDateCreation->click();
    w->optDateExact->click();
    setDate(w->dtpExact, 2001, 2, 3);
    EXPECT_EQ(scanNames(), Names{"made.txt"});
}

TEST_F(Scan, AttributeTestNeedsEveryCheckedBit)
{
    const std::string all = ws.makeFile(sys + "/rhs.txt");
    const std::string ro = ws.makeFile(sys + "/r.txt");
    ws.makeFile(sys + "/plain.txt");
    if (!ws.setAttributes(all, nwattr::ReadOnly | nwattr::Hidden | nwattr::System) ||
        !ws.setAttributes(ro, nwattr::ReadOnly))
        GTEST_SKIP() << TempWorkstation::kNoXattrMessage;
    startWindow();
    EXPECT_EQ(scanNames(), (Names{"plain.txt", "r.txt", "rhs.txt"}));
    w->chkAttribReadOnly->click();
    EXPECT_EQ(scanNames(), (Names{"r.txt", "rhs.txt"}));
    w->chkAttribHidden->click();
    EXPECT_EQ(scanNames(), Names{"rhs.txt"});
}

TEST_F(Scan, StopBeforeTheFirstFileEndsTheScanAfterIt)
{
    ws.makeFile(sys + "/a.txt");
    ws.makeFile(sys + "/b.txt");
    ws.makeFile(sys + "/sub/c.txt");
    startWindow();
    // Runs at the first pump, when Stop is enabled.
    QTimer::singleShot(0, w->cmdStop, &QPushButton::click);
    clickStart();
    EXPECT_EQ(status(), (std::array<std::string, 5>{"F:\\a.txt", "1", "0", "1", "0"}));
    EXPECT_TRUE(w->cmdStart->isEnabled());
    EXPECT_FALSE(w->cmdStop->isEnabled());
}

TEST_F(Scan, StopInADeepFolderEndsEveryLevel)
{
    // Each level has a folder after the one the stop happens in.
    for (const char* path : {"/L0/f", "/L1/L1b/f", "/L1/L2/f2", "/L1/L2/L2b/f", "/L1/L2/L3/f3", "/L1/L2/L3/L4/f4",
                             "/L1/L2/L3z/f", "/L1/L2z/f", "/L9/f"})
        ws.makeFile(sys + path, 1);
    startWindow();
    auto hook = atEveryPump([&] {
        if (w->scanProgress.Running && w->currentPath == "F:\\L1\\L2\\L3")
            w->cmdStop->click();
    });
    clickStart();
    std::vector<std::string> paths;
    for (const auto& row : results())
        paths.push_back(row[3]);
    EXPECT_EQ(paths, (Names{"F:\\L0\\f", "F:\\L1\\L1b\\f", "F:\\L1\\L2\\f2", "F:\\L1\\L2\\L2b\\f"}));
    // L0, L1, L1b, L2, L2b and L3 were entered; L3's files, L4, L3z, L2z and L9 not.
    EXPECT_EQ(status(), (std::array<std::string, 5>{"F:\\L1\\L2\\L3", "4", "6", "4", "4"}));
}

TEST_F(Scan, StopAtTheHundredAndFirstFile)
{
    for (int i = 0; i < 250; ++i)
        ws.makeFile(sys + "/f" + std::to_string(1000 + i), 1);
    startWindow();
    auto hook = atEveryPump([&] {
        if (w->scanProgress.FilesScanned >= 100)
            w->cmdStop->click();
    });
    clickStart();
    EXPECT_EQ(status()[1], "101");
    EXPECT_EQ(w->resultsModel->rowCount(), 101);
}

TEST_F(Scan, WhileRunningTheButtonsAreSwappedAndAStartIsRefused)
{
    for (int i = 0; i < 150; ++i)
        ws.makeFile(sys + "/f" + std::to_string(1000 + i), 1);
    startWindow();
    bool sawRunningWindow = false;
    auto hook = atEveryPump([&] {
        if (w->scanProgress.FilesScanned != 100)
            return;
        sawRunningWindow = !w->cmdStart->isEnabled() && w->cmdStop->isEnabled() &&
                           ui.currentCursor() == ScreenCursor::Hourglass;
        w->StartScan();  // refused: the scan goes on untouched
        // Stop and Start in the same turn: still no second scan inside the first.
        w->cmdStop->click();
        w->StartScan();
    });
    clickStart();
    EXPECT_TRUE(sawRunningWindow);
    EXPECT_EQ(w->resultsModel->rowCount(), 101);
    EXPECT_EQ(ui.cursors, (std::vector<ScreenCursor>{ScreenCursor::Hourglass, ScreenCursor::Arrow}));
    EXPECT_TRUE(w->cmdStart->isEnabled());
    EXPECT_FALSE(w->cmdStop->isEnabled());
}

// After a scan the keyboard is where the user left it: on Start after a
// click, so Enter scans again; Enter in a list starts nothing; Esc stops a
// running scan; the status line tells how each scan ended.
TEST_F(Scan, TheKeyboardAndTheStatusLineAroundAScan)
{
    for (int i = 0; i < 150; ++i)
        ws.makeFile(sys + "/f" + std::to_string(1000 + i), 1);
    ws.makeFile(sys + "/bad.txt", 1);
    ws.addLine("Faults", "Fault0=NWIntScanFileInformation2, *BAD*, 89FF");
    startWindow();
    w->cmdStart->setFocus();
    QTest::mouseClick(w->cmdStart, Qt::LeftButton);
    EXPECT_EQ(w->focusWidget(), w->cmdStart);
    EXPECT_EQ(w->lblMessage->text(), "Scan complete: 150 matching files, 1 error");

    w->lvwResults->setFocus();
    w->lvwResults->setCurrentIndex(w->resultsModel->index(3, 0));
    QTest::keyClick(w->lvwResults, Qt::Key_Return);
    w->lvwErrors->setFocus();
    QTest::keyClick(w->lvwErrors, Qt::Key_Enter);
    EXPECT_EQ(errors().size(), 1u) << "Enter in a list started a scan";
    EXPECT_EQ(w->resultsModel->rowCount(), 150);

    QString messageWhileRunning = "not seen";
    auto hook = atEveryPump([&] {
        if (w->scanProgress.Running && w->scanProgress.FilesScanned >= 100) {
            messageWhileRunning = w->lblMessage->text();
            QTest::keyClick(w->lvwResults, Qt::Key_Escape);
        }
    });
    w->lvwResults->setFocus();
    w->cmdStart->click();
    EXPECT_EQ(status()[1], "101");
    EXPECT_EQ(messageWhileRunning, "") << "the last scan's outcome stood beside a running one";
    EXPECT_EQ(w->lblMessage->text(), "Scan stopped: the results are partial");
    EXPECT_EQ(w->focusWidget(), w->lvwResults) << "the focus the user put in a list stays there";

    hook.reset();
    setPattern("f1000");
    clickStart();
    EXPECT_EQ(w->lblMessage->text(), "Scan complete: 1 matching file, 0 errors");
}

// With the history, a second scan of the same search lists on the Changes
// page what changed since the first: new, changed and gone files, sortable
// as the other lists; what stayed the same is not there.
TEST_F(Scan, TheChangesPageListsWhatChangedSinceTheLastRun)
{
    ws.makeFile(sys + "/a.txt", 1);
    const std::string b = ws.makeFile(sys + "/SUB/b.txt", 2);
    const std::string c = ws.makeFile(sys + "/c.txt", 3);
    // b's dates stay as they were when it grows: only its size changes.
    const auto fixDates = [&] {
        ws.setTimes(b, TempWorkstation::localTime(2020, 1, 1), TempWorkstation::localTime(2020, 1, 1));
        return ws.setCreated(b, "2019-06-01");
    };
    if (!fixDates())
        GTEST_SKIP() << TempWorkstation::kNoXattrMessage;
    startWindow();
    EXPECT_EQ(w->PageControl1->tabText(w->PageControl1->indexOf(w->TabSheet10)), "Changes");
    EXPECT_EQ(w->PageControl1->indexOf(w->TabSheet10), w->PageControl1->indexOf(w->TabSheet9) + 1);
    setPattern("*.txt");
    w->chkHistory->click();
    w->txtHistory->setText(QString::fromStdString(ws.root() + "/history.sqlite"));
    clickStart();
    ASSERT_TRUE(errors().empty()) << errors()[0][2];
    EXPECT_EQ(w->changesModel->rowCount(), 3) << "a first run: every file is new";

    ws.makeFile(b, 20);  // grows
    ASSERT_TRUE(fixDates());
    ASSERT_EQ(std::remove(c.c_str()), 0);
    ws.makeFile(sys + "/d.txt", 4);
    clickStart();
    ASSERT_TRUE(errors().empty()) << errors()[0][2];
    std::vector<std::string> rows;
    for (int r = 0; r < w->changesModel->rowCount(); ++r)
        rows.push_back(w->changesModel->text(r, 0).toStdString() + " " + w->changesModel->text(r, 1).toStdString() +
                       " " + w->changesModel->text(r, 2).toStdString());
    EXPECT_EQ(rows, (std::vector<std::string>{"F:\\d.txt 4 New", "F:\\SUB\\b.txt 20 Changed: Size",
                                              "F:\\c.txt 3 Gone"}));
    // The totals say how each owner's files changed since the first run:
    // one more file (d), one less (c), and 19 more bytes (b grew by 18, c's
    // 3 went, d's 4 came).
    ASSERT_EQ(w->totalsModel->columnCount(), 5);
    const int total = w->totalsModel->rowCount() - 1;
    EXPECT_EQ(w->totalsModel->headerData(4, Qt::Horizontal).toString(), "Size Since Last Run");
    EXPECT_EQ(w->totalsModel->text(total, 3), "0");
    EXPECT_EQ(w->totalsModel->text(total, 4), "+19");
    w->changesModel->sort(2, Qt::AscendingOrder);
    EXPECT_EQ(w->changesModel->text(0, 2), "Changed: Size");
    EXPECT_EQ(w->changesModel->text(2, 2), "New");

    // The History dialog lists both runs, newest first; comparing them shows
    // the same changes, named by server and volume; deleting the newer run
    // leaves the older.
    ui.onModal = [&](QDialog& dialog) {
        auto* table = dialog.findChild<QTableWidget*>("tblRuns");
        auto* compare = dialog.findChild<QPushButton*>("cmdHistoryCompare");
        ASSERT_TRUE(table && compare);
        ASSERT_EQ(table->rowCount(), 2);
        EXPECT_EQ(table->item(0, 2)->text(), "FS1/SYS:");
        EXPECT_EQ(table->item(0, 4)->text(), "3");
        EXPECT_EQ(table->item(0, 6)->text(), "complete");
        table->selectRow(0);
        EXPECT_FALSE(compare->isEnabled()) << "one run compares with nothing";
        table->setSelectionMode(QAbstractItemView::MultiSelection);
        table->selectRow(1);
        ASSERT_TRUE(compare->isEnabled());
        compare->click();
    };
    w->changesModel->sort(-1);
    w->cmdHistory->click();
    ASSERT_EQ(w->changesModel->rowCount(), 3);
    EXPECT_EQ(w->changesModel->text(1, 0), "FS1/SYS:\\SUB\\b.txt");
    EXPECT_EQ(w->changesModel->text(1, 2), "Changed: Size");
    EXPECT_EQ(w->PageControl1->currentWidget(), w->TabSheet10);
    ui.onModal = [&](QDialog& dialog) {
        auto* table = dialog.findChild<QTableWidget*>("tblRuns");
        table->selectRow(0);
        dialog.findChild<QPushButton*>("cmdHistoryDelete")->click();
        EXPECT_EQ(table->rowCount(), 1);
        EXPECT_EQ(table->item(0, 4)->text(), "3");
    };
    w->cmdHistory->click();
    ui.onModal = nullptr;

    // Without the history the change field is refused, with the reason.
    w->chkHistory->click();
    w->chkOutputResults->click();
    w->txtOutputFilename->setText(QString::fromStdString(ws.root() + "/out.csv"));
    w->chkOutputChange->click();
    ui.clear();
    clickStart();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].text.contains("need the history")) << ui.messages[0].text.toStdString();
}

TEST_F(Scan, SecondScanEmptiesResultsButKeepsErrors)
{
    ws.makeFile(sys + "/bad1.txt", 1);
    ws.makeFile(sys + "/good.txt", 2);
    ws.makeFile(sys + "/sub/bad2.txt", 3);
    ws.addLine("Faults", "Fault0=NWIntScanFileInformation2, *BAD*, 89FF");
    startWindow();
    clickStart();
    EXPECT_EQ(resultNames(), Names{"good.txt"});
    ASSERT_EQ(errors().size(), 2u);

    setPattern("*2.txt");
    clickStart();
    EXPECT_TRUE(results().empty());
    const auto rows = errors();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], "SYS:bad1.txt");
    EXPECT_EQ(rows[1][0], "SYS:sub\\bad2.txt");
    EXPECT_EQ(rows[2][0], "SYS:sub\\bad2.txt");
}

TEST_F(Scan, OutputFileThatCannotBeOpenedLeavesTheWindowIdle)
{
    ws.makeFile(sys + "/a.txt", 4);
    startWindow();
    clickStart();
    ASSERT_EQ(results().size(), 1u);
    ui.clear();

    w->chkOutputResults->click();
    w->chkOutputFilename->setChecked(true);
    // The message names the file the system was asked for and its reason.
    const struct {
        std::string typed, opened, reason;
    } cases[] = {
        {ws.root() + "/no such folder/out.txt", ws.root() + "/no such folder/out.txt", "No such file or directory"},
        {"F:\\NOFOLDER\\out.txt", sys + "/NOFOLDER/out.txt", "No such file or directory"},
        {"F:\\", sys, "Is a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        ui.clear();
        w->txtOutputFilename->setText(QString::fromStdString(c.typed));
        clickStart();
        EXPECT_EQ(ui.messageTexts(),
                  std::vector<QString>{QString::fromStdString(
                      "Unable to Open output file. Please check to the path\n" + c.opened + ": " + c.reason)});
        EXPECT_EQ(status(), (std::array<std::string, 5>{"", "0", "0", "0", "0"}));
        EXPECT_EQ(results().size(), 1u);  // the previous scan's rows stay
        EXPECT_TRUE(ui.cursors.empty());
        EXPECT_TRUE(w->cmdStart->isEnabled());
        EXPECT_FALSE(w->cmdStop->isEnabled());
        EXPECT_EQ(w->scanProgress.Running, 0);
    }
}

TEST_F(Scan, ConnectionInformationFailureIsShownAndTheScanRuns)
{
    ws.makeFile(sys + "/a.txt", 4);
    startWindow();
    ws.addLine("Faults", "Fault0=NWGetConnectionInformation, *, 8801");
    ws.write();
    client->NWCallsInit(nullptr, nullptr);  // reload with the fault
    w->scanCriteria.ServerName = "OLD";
    ASSERT_EQ(w->DirectoryListBox1->setDirectory(QStringLiteral("F:\\")), 0);
    clickStart();
    EXPECT_EQ(ui.messageTexts(), std::vector<QString>{QStringLiteral(
                                     "An Error Occurred :\n\nCannot Get Connection Information\nError Code : 8801")});
    EXPECT_EQ(resultNames(), Names{"a.txt"});
    EXPECT_EQ(w->scanCriteria.ServerName, "");
}

TEST_F(Scan, OutputFileIsWrittenWithTheServerAndClosed)
{
    ws.makeFile(sys + "/a.txt", 4);
    startWindow();
    const std::string out = ws.root() + "/out.txt";
    w->chkOutputResults->click();
    w->txtOutputFilename->setText(QString::fromStdString(out));
    w->chkOutputServer->setChecked(true);
    w->chkOutputFilename->setChecked(true);
    clickStart();
    EXPECT_EQ(w->scanCriteria.ServerName, "FS1");
    EXPECT_FALSE(w->scanProgress.OutputFile);
    std::ifstream in(out, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("FS1"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("a.txt"), std::string::npos) << text.str();
}

TEST_F(Scan, DatesThePackedLayoutCannotHoldAreWrittenEmpty)
{
    const std::time_t in2001 = TempWorkstation::localTime(2001, 3, 7);
    ws.setTimes(ws.makeFile(sys + "/a1975"), TempWorkstation::localTime(1975, 6, 1), in2001);
    ws.setTimes(ws.makeFile(sys + "/b2110"), in2001, TempWorkstation::localTime(2110, 1, 1));
    startWindow();
    const std::string out = ws.root() + "/out.txt";
    w->chkOutputResults->click();
    w->txtOutputFilename->setText(QString::fromStdString(out));
    w->chkOutputSurround->setChecked(true);
    for (QCheckBox* field : {w->chkOutputFilename, w->chkOutputAccessed, w->chkOutputModified})
        field->setChecked(true);
    clickStart();
    std::stringstream text;
    text << std::ifstream(out, std::ios::binary).rdbuf();
    EXPECT_EQ(text.str(), "\"a1975\",\"\",\"3/7/2001\"\r\n\"b2110\",\"3/7/2001\",\"\"\r\n");
}

TEST_F(Scan, ClosingDuringAScanEndsTheWalkClosesTheFileThenTheWindow)
{
    for (int i = 0; i < 150; ++i)
        ws.makeFile(sys + "/f" + std::to_string(1000 + i), 1);
    startWindow();
    const std::string out = ws.root() + "/out.txt";
    w->chkOutputResults->click();
    w->txtOutputFilename->setText(QString::fromStdString(out));
    w->chkOutputFilename->setChecked(true);
    QTimer::singleShot(0, w.get(), &QWidget::close);
    clickStart();
    // The walk ended at the pump that saw the close; the window is still open.
    EXPECT_EQ(status()[1], "1");
    EXPECT_FALSE(w->scanProgress.OutputFile);
    EXPECT_TRUE(w->isVisible());
    QCoreApplication::processEvents();
    EXPECT_FALSE(w->isVisible());
    std::ifstream in(out, std::ios::binary);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_NE(line.find("f1000"), std::string::npos) << line;
}

}  // namespace
