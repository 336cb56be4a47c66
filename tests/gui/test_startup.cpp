// The window's first showing against a scripted client: the order of the client
// calls, what each failure shows and what the start-up does after it, the
// drive list and the default control values.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "app/datepicker.h"
#include "app/folderlistbox.h"
#include "app/radiobutton.h"
#include "app/tfrmmain.h"
#include "platform/drives.h"
#include "support/core_scriptedclient.h"
#include "support/core_tempworkstation.h"
#include "support/gui_recordinguiservices.h"

namespace {

QString nwErrorText(const QString& label, const QString& hexCode)
{
    return QStringLiteral("An Error Occurred :\n\n") + label + QStringLiteral("\nError Code : ") + hexCode;
}

class StartupTest : public ::testing::Test {
protected:
    StartupTest()
    {
        client.drives.push_back({'F', "FS1", "SYS:", 3});
        client.directory["[root]"] = {{"ORG", "Organization", 1}};
    }
    ~StartupTest() override { platform::drives().clear(); }

    QStringList clientCalls() const
    {
        QStringList calls;
        for (const std::string& call : client.calls)
            calls << QString::fromStdString(call);
        return calls;
    }
    QStringList driveEntries() const
    {
        QStringList entries;
        for (int i = 0; i < window.cboDrives->count(); ++i)
            entries << window.cboDrives->itemText(i);
        return entries;
    }

    QTemporaryDir config;
    ScopedEnvironment configHome{"XDG_CONFIG_HOME", config.path().toUtf8().constData()};
    RecordingUiServices ui;
    ScopedUiServices uiInstalled{ui};
    ScriptedClient client;
    ScopedNwClient clientInstalled{&client.mock};
    Tfrmmain window;
};

TEST_F(StartupTest, CallsTheClientInOrderAndListsTheTreeWithTheDuplicatedContext)
{
    window.FormShow();

    QStringList expected{
        "NWCallsInit",
        "NWLlocaleconv",
        // The locale words at bytes 60 and 56, in that order.
        "NWInitUnicodeTables(1,437)",
        "NWCCGetPrimConnRef",
        "NWCCOpenConnByRef(7,1,0)",
        "NWDSCreateContextHandle",
        "NWDSGetContext(11,1)",
        // 0x10 read, 4 OR-ed in.
        "NWDSSetContext(11,1,20)",
        "NWDSSetContext(11,3,[root])",
        "NWDSDuplicateContextHandle(11)",
    };
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        expected << QStringLiteral("NWParseNetwarePath(%1:\\)").arg(QChar(letter));
        if (letter == 'F')
            expected << "NWGetConnectionInformation(3,1)";
    }
    expected << "NWDSSetContext(12,3,[root])"
             << "NWDSAllocBuf(4096)"
             << "NWDSList(12,)"
             << "NWDSGetObjectCount(12)"
             << "NWDSGetObjectName(12)"
             << "NWDSFreeBuf";
    EXPECT_EQ(clientCalls(), expected);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(window.MainContext, ScriptedClient::kMainContext);
    EXPECT_EQ(window.TreeContext, ScriptedClient::kTreeContext);
}

TEST_F(StartupTest, FailedInitialisationShowsOneMessageAndStopsEverything)
{
    client.failures["NWCallsInit"] = 0x88FE;
    window.setStartOptions(StartOptions{{"/autorun"}, false, false});
    window.PageControl1->setCurrentIndex(3);

    window.FormShow();

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, nwErrorText("Cannot Init Netware", "88fe"));
    EXPECT_EQ(ui.messages[0].title, "Trawl");
    EXPECT_EQ(ui.messages[0].owner, &window);
    EXPECT_EQ(clientCalls(), QStringList{"NWCallsInit"});
    // Nothing of the rest ran: no drives, no tree root, no defaults, no command line.
    EXPECT_EQ(window.cboDrives->count(), 0);
    EXPECT_EQ(window.treends->topLevelItemCount(), 0);
    EXPECT_EQ(window.PageControl1->currentIndex(), 3);
    EXPECT_FALSE(window.optSizeIgnore->isChecked());
    EXPECT_FALSE(window.optDateIgnore->isChecked());
    EXPECT_FALSE(window.AutoRun);
    EXPECT_FALSE(window.Timer1->isActive());
}

TEST_F(StartupTest, WithoutAClientTheStartUpFailsAsAnInitialisation)
{
    setNwClient(nullptr);
    window.FormShow();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].text.contains("Cannot Init Netware"));
    EXPECT_EQ(window.treends->topLevelItemCount(), 0);
}

struct StepFailure {
    const char* call;       // the call that fails
    const char* label;      // the label of its message
    const char* laterCall;  // a call after it, with the values the failure left
};

class StartupStepFailure : public StartupTest, public ::testing::WithParamInterface<StepFailure> {};

TEST_P(StartupStepFailure, ShowsItsLabelAndCodeAndTheStartUpGoesOn)
{
    const StepFailure& step = GetParam();
    client.failures[step.call] = 0x89AB;

    window.FormShow();

    ASSERT_EQ(ui.messages.size(), 1u) << step.call;
    EXPECT_EQ(ui.messages[0].text, nwErrorText(step.label, "89ab")) << step.call;
    EXPECT_TRUE(client.called(step.laterCall)) << step.call << " then " << step.laterCall;
    // The start-up reached its end: every drive letter, the tree's first listing.
    EXPECT_TRUE(client.called("NWParseNetwarePath(Z:\\)")) << step.call;
    EXPECT_TRUE(client.called("NWDSFreeBuf")) << step.call;
    EXPECT_EQ(driveEntries(), QStringList{"F:       FS1/SYS:"}) << step.call;
    ASSERT_EQ(window.treends->topLevelItemCount(), 1) << step.call;
    EXPECT_EQ(window.treends->topLevelItem(0)->child(0)->text(0), "ORG") << step.call;
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, StartupStepFailure,
    ::testing::Values(
        StepFailure{"NWInitUnicodeTables(1,437)", "NWInitUnicodeTables()", "NWCCGetPrimConnRef"},
        // No reference: the open is tried with 0.
        StepFailure{"NWCCGetPrimConnRef", "NWCCGetPrimConnRef()", "NWCCOpenConnByRef(0,1,0)"},
        StepFailure{"NWCCOpenConnByRef(7,1,0)", "NWCCOpenConnByRef() ", "NWDSCreateContextHandle"},
        // No context: the later calls name context 0.
        StepFailure{"NWDSCreateContextHandle", "NWCDSCreateContextHandle() ", "NWDSGetContext(0,1)"},
        // No flags read: the flags written are 4 alone, and the rest follows.
        StepFailure{"NWDSGetContext(11,1)", "Cannot Get Context", "NWDSSetContext(11,1,4)"},
        StepFailure{"NWDSSetContext(11,1,20)", "Cannot Set Context", "NWDSSetContext(11,3,[root])"},
        StepFailure{"NWDSSetContext(11,3,[root])", "Cannot Set Context", "NWDSDuplicateContextHandle(11)"},
        // No duplicate: the tree lists through context 0.
        StepFailure{"NWDSDuplicateContextHandle(11)", "Cannot Duplicate Context", "NWDSSetContext(0,3,[root])"}));

TEST_F(StartupTest, FailedFlagsReadStillWritesEverythingAfterIt)
{
    client.failures["NWDSGetContext(11,1)"] = 0x8836;
    window.FormShow();
    const QStringList calls = clientCalls();
    const qsizetype failed = calls.indexOf("NWDSGetContext(11,1)");
    ASSERT_GE(failed, 0);
    EXPECT_EQ(calls.mid(failed + 1, 3), (QStringList{"NWDSSetContext(11,1,4)", "NWDSSetContext(11,3,[root])",
                                                     "NWDSDuplicateContextHandle(11)"}));
    EXPECT_EQ(window.cboDrives->count(), 1);
}

TEST_F(StartupTest, SetsTheDefaultControlValuesAndTheHelpFile)
{
    window.PageControl1->setCurrentIndex(4);
    window.txtSizeBytes->setEnabled(true);
    window.dtpBefore->setDaySerial(30000);
    window.dtpExact->setDaySerial(30000);
    window.dtpAfter->setDaySerial(30000);

    window.FormShow();

    EXPECT_EQ(window.PageControl1->currentWidget(), window.TabSheet1);
    EXPECT_TRUE(window.optSizeIgnore->isChecked());
    EXPECT_TRUE(window.optDateIgnore->isChecked());
    // The buttons' rules ran.
    EXPECT_FALSE(window.txtSizeBytes->isEnabled());
    EXPECT_FALSE(window.optDateBefore->isEnabled());
    const double today = DatePicker::serialOf(QDate::currentDate());
    EXPECT_EQ(window.dtpBefore->daySerial(), today);
    EXPECT_EQ(window.dtpExact->daySerial(), today);
    EXPECT_EQ(window.dtpAfter->daySerial(), today);
    EXPECT_EQ(window.HelpFile, QDir(QCoreApplication::applicationDirPath()).filePath("TRAWL.HLP"));
}

TEST_F(StartupTest, AutoRunStartsTheTimerOnlyWhenTheCommandLineAsksForIt)
{
    window.FormShow();
    EXPECT_FALSE(window.Timer1->isActive());

    Tfrmmain automatic;
    automatic.setStartOptions(StartOptions{{"/autorun"}, false, false});
    automatic.FormShow();
    EXPECT_TRUE(automatic.AutoRun);
    EXPECT_TRUE(automatic.Timer1->isActive());
    automatic.Timer1->stop();
}

// The drive list.

TEST_F(StartupTest, DriveEntriesStandInLetterOrderWithSevenBlanksAndTheFirstSelected)
{
    client.drives = {{'H', "FS2", "DATA:PUBLIC", 4}, {'F', "FS1", "SYS:", 3}};
    QTemporaryDir fFolder;
    platform::drives().setDrive('F', fFolder.path().toStdString());

    window.FormShow();

    EXPECT_EQ(driveEntries(), (QStringList{"F:       FS1/SYS:", "H:       FS2/DATA:PUBLIC"}));
    const QString first = window.cboDrives->itemText(0);
    EXPECT_EQ(first.mid(2, 7), QString(7, ' '));
    EXPECT_NE(first.at(9), ' ');
    EXPECT_EQ(window.cboDrives->currentIndex(), 0);
    EXPECT_EQ(window.DirectoryListBox1->directory(), "F:\\");
}

TEST_F(StartupTest, FailedConnectionInformationStillAddsTheEntryWithoutAServer)
{
    client.drives = {{'F', "FS1", "SYS:", 3}, {'G', "FS1", "DATA:", 5}};
    client.failures["NWGetConnectionInformation(3,1)"] = 0x8801;

    window.FormShow();

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, nwErrorText("Cannot Get Connection Information", "8801"));
    EXPECT_EQ(driveEntries(), (QStringList{"F:       /SYS:", "G:       FS1/DATA:"}));
}

TEST_F(StartupTest, NoNetWareDriveLeavesTheListEmptyAndTheFolderListWhereItWas)
{
    client.drives.clear();
    QTemporaryDir local;
    ASSERT_TRUE(QDir(local.path()).mkdir("WORK"));
    platform::drives().setDrive('C', local.path().toStdString());
    ASSERT_EQ(window.DirectoryListBox1->setDirectory("C:\\WORK"), 0);
    const QString before = window.DirectoryListBox1->directory();

    window.FormShow();

    EXPECT_EQ(window.cboDrives->count(), 0);
    EXPECT_EQ(window.cboDrives->currentIndex(), -1);
    EXPECT_EQ(window.DirectoryListBox1->directory(), before);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(StartupTest, AnOverlongEntryIsCutToItsTextWithoutSplittingACharacter)
{
    // 9 + 83 + 1 + 5 bytes, then two-byte characters up to the 511th byte,
    // which falls in the middle of one.
    std::string volume = "SYS:X";
    while (volume.size() < 509)
        volume += "\xC3\xA9";  // an e with an acute accent
    client.drives = {{'F', std::string(83, 'S'), volume, 3}};

    window.FormShow();

    ASSERT_EQ(window.cboDrives->count(), 1);
    const QByteArray entry = window.cboDrives->itemText(0).toUtf8();
    EXPECT_EQ(entry.size(), 510);
    EXPECT_FALSE(entry.contains("\xEF\xBF\xBD"));  // no broken character
    EXPECT_TRUE(entry.startsWith("F:       " + QByteArray(83, 'S') + "/SYS:X\xC3\xA9"));
}

TEST_F(StartupTest, PickingADriveMovesTheFolderListAndTypingDoesNot)
{
    client.drives = {{'F', "FS1", "SYS:", 3}, {'H', "FS2", "DATA:", 4}};
    QTemporaryDir fFolder;
    QTemporaryDir hFolder;
    platform::drives().setDrive('F', fFolder.path().toStdString());
    platform::drives().setDrive('H', hFolder.path().toStdString());
    window.FormShow();
    ASSERT_EQ(window.DirectoryListBox1->directory(), "F:\\");

    // A pick from the list, by keyboard.
    QTest::keyClick(window.cboDrives, Qt::Key_Down);
    ASSERT_EQ(window.cboDrives->currentIndex(), 1);
    EXPECT_EQ(window.DirectoryListBox1->directory(), "H:\\");

    // Typed text that is no entry selects no drive: the folder chosen below
    // the root stays.
    ASSERT_TRUE(QDir(hFolder.path()).mkdir("SUB"));
    ASSERT_EQ(window.DirectoryListBox1->setDirectory("H:\\SUB"), 0);
    window.cboDrives->lineEdit()->selectAll();
    QTest::keyClicks(window.cboDrives->lineEdit(), "F");
    EXPECT_EQ(window.DirectoryListBox1->directory(), "H:\\SUB");
}

TEST_F(StartupTest, ChangesMadeByTheProgramDoNotMoveTheFolderList)
{
    client.drives = {{'F', "FS1", "SYS:", 3}};
    QTemporaryDir fFolder;
    platform::drives().setDrive('F', fFolder.path().toStdString());
    window.FormShow();
    ASSERT_EQ(window.DirectoryListBox1->directory(), "F:\\");
    ASSERT_TRUE(QDir(fFolder.path()).mkdir("SUB"));
    ASSERT_EQ(window.DirectoryListBox1->setDirectory("F:\\SUB"), 0);

    // Filled again (as at a later start-up): the handler would have reset the
    // folder list to the root of F; only the fill's own pointing does.
    window.cboDrives->clear();
    window.cboDrives->addItem("F:       FS1/SYS:");
    EXPECT_EQ(window.DirectoryListBox1->directory(), "F:\\SUB");
}

}  // namespace
