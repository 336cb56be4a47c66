// The window as designed: every control with its name, kind, caption, value and
// enabled state; the window's own size, font and pages; the keyboard default.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "app/datepicker.h"
#include "app/folderlistbox.h"
#include "app/radiobutton.h"
#include "app/tfrmmain.h"
#include "output/qt_listmodels.h"
#include "scan/filetests.h"
#include "support/gui_controls.h"
#include "support/gui_recordinguiservices.h"

namespace {

class WindowDesign : public ::testing::Test {
protected:
    RecordingUiServices ui;
    ScopedUiServices installed{ui};
    Tfrmmain window;
};

enum class Kind { Button, Radio, Check, Label, Group };

struct Designed {
    const char* name;
    Kind kind;
    const char* caption;
    bool checked;
    bool enabled;
};

// The designed state, before the start-up applies its defaults.
const Designed kDesigned[] = {
    {"cmdStart", Kind::Button, "Start", false, true},
    {"cmdStop", Kind::Button, "Stop", false, false},
    {"cmdAbout", Kind::Button, "About", false, true},
    {"cmdHelp", Kind::Button, "Help", false, true},
    {"Label1", Kind::Label, "Current File :", false, true},
    {"Label2", Kind::Label, "Files Scanned", false, true},
    {"Label3", Kind::Label, "Dirs Scanned", false, true},
    {"Label4", Kind::Label, "Matching Files", false, true},
    {"Label5", Kind::Label, "Matching Size", false, true},
    {"lblPath", Kind::Label, "", false, true},
    {"lblFileCount", Kind::Label, "0", false, true},
    {"lblDirCount", Kind::Label, "0", false, true},
    {"lblMatchCount", Kind::Label, "0", false, true},
    {"lblMatchSize", Kind::Label, "0", false, true},
    {"lblMessage", Kind::Label, "", false, true},
    {"Label8", Kind::Label, "File Pattern :", false, true},
    {"GroupBox1", Kind::Group, "File Size", false, true},
    {"optSizeGreater", Kind::Radio, "Greater Than", false, true},
    {"optSizeLess", Kind::Radio, "Less Than", false, true},
    {"optSizeEqual", Kind::Radio, "Equal To", false, true},
    {"optSizeIgnore", Kind::Radio, "Ignore Size", false, true},
    {"lblSizeBytes", Kind::Label, "Enter Size in Bytes", false, true},
    {"GroupBox2", Kind::Group, "File Dates", false, true},
    {"RadioGroup1", Kind::Group, "Date Type", false, true},
    {"optDateAccessed", Kind::Radio, "Accessed Date", false, true},
    {"optDateModified", Kind::Radio, "Modified Date", false, true},
    {"optDateCreation", Kind::Radio, "Creation Date", false, true},
    {"optDateIgnore", Kind::Radio, "Ignore Dates", false, true},
    {"GroupBox3", Kind::Group, "Date Parameters", false, true},
    {"optDateBefore", Kind::Radio, "Before", true, true},
    {"optDateBetween", Kind::Radio, "Between", false, true},
    {"optDateAfter", Kind::Radio, "After", false, true},
    {"optDateExact", Kind::Radio, "On Exact Date", false, true},
    {"GroupBox4", Kind::Group, "List Files Which Are :", false, true},
    {"chkAttribReadOnly", Kind::Check, "Read Only", false, true},
    {"chkAttribShareable", Kind::Check, "Shareable", false, true},
    {"chkAttribHidden", Kind::Check, "Hidden", false, true},
    {"chkAttribSystem", Kind::Check, "System", false, true},
    {"chkAttribTransactional", Kind::Check, "Transactional", false, true},
    {"chkAttribMigrated", Kind::Check, "Migrated", false, true},
    {"chkAttribDontMigrate", Kind::Check, "Dont Migrate", false, true},
    {"chkAttribDeleteInhibit", Kind::Check, "Delete Inhibit", false, true},
    {"chkAttribRenameInhibit", Kind::Check, "Rename Inhibit", false, true},
    {"chkAttribCopyInhibit", Kind::Check, "Copy Inhibit", false, true},
    {"chkAttribArchiveNeeded", Kind::Check, "Archive Needed", false, true},
    {"chkAttribExecuteOnly", Kind::Check, "Execute Only", false, true},
    {"chkAttribImmedPurge", Kind::Check, "Immed Purge", false, true},
    {"chkAttribCompressed", Kind::Check, "Compressed", false, true},
    {"chkAttribImmedCompress", Kind::Check, "Immed Compress", false, true},
    {"chkAttribDontCompress", Kind::Check, "Dont Compress", false, true},
    {"chkAttribCantCompress", Kind::Check, "Cant Compress", false, true},
    {"chkAttribDontSuballocate", Kind::Check, "Dont Suballocate", false, true},
    {"chkAttribReadAudit", Kind::Check, "Read Audit", false, true},
    {"chkAttribWriteAudit", Kind::Check, "Write Audit", false, true},
    {"cmdUserAdd", Kind::Button, ">", false, true},
    {"cmdUserRemove", Kind::Button, "<", false, true},
    {"cmdUsersDeleteAll", Kind::Button, "<<", false, true},
    {"chkOutputResults", Kind::Check, "Output Results to File", false, true},
    {"chkAppend", Kind::Check, "Append To Existing File", false, true},
    {"chkCommandFile", Kind::Check, "Create Command File", false, true},
    {"Label9", Kind::Label, "Filename :", false, true},
    {"chkOutputHeadings", Kind::Check, "Output Column Headings", false, true},
    {"chkOutputSurround", Kind::Check, "Surround values with quotes (eg \"filename\",\"user1\")", false, true},
    {"RadioGroup2", Kind::Group, "Separate values with a :", false, true},
    {"optOutputSepComma", Kind::Radio, "Comma", true, true},
    {"optOutputSepTab", Kind::Radio, "Tab", false, true},
    {"optOutputSepOther", Kind::Radio, "Other :", false, true},
    {"GroupBox5", Kind::Group, "Fields :", false, true},
    {"chkOutputServer", Kind::Check, "Server Name", false, true},
    {"chkOutputFullPath", Kind::Check, "Full Path Name", false, true},
    {"chkOutputFilename", Kind::Check, "Filename Only", false, true},
    {"chkOutputExtension", Kind::Check, "Extension", false, true},
    {"chkOutputSize", Kind::Check, "File Size", false, true},
    {"chkOutputOwner", Kind::Check, "Owner", false, true},
    {"chkOutputAccessed", Kind::Check, "Last Accessed Date", false, true},
    {"chkOutputModified", Kind::Check, "Last Modified Date", false, true},
    {"chkOutputCreation", Kind::Check, "Creation Date", false, true},
    {"chkOutputAttributes", Kind::Check, "Attributes", false, true},
    {"Label6", Kind::Label, "Use !1 for full path name ", false, true},
    {"Label7", Kind::Label, "and !2 for filename only", false, true},
    {"GroupBox6", Kind::Group, "Save Current Settings", false, true},
    {"GroupBox7", Kind::Group, "Load Settings from File", false, true},
    {"GroupBox8", Kind::Group, "Batch Mode", false, true},
    {"Label10", Kind::Label,
     "This option saves all the parameters currently set in trawl. The data is saved in a *.tws file ", false, true},
    {"Label11", Kind::Label, "which may then be used to run Trawl in batch mode.", false, true},
    {"Label12", Kind::Label, "This option loads the settings back into the GUI from a saved *.tws file", false, true},
    {"Label13", Kind::Label, "This can be used to modify a batch routine, or run a regular scan in attended mode.",
     false, true},
    {"Label14", Kind::Label, "To use Trawl in batch mode, create a *.tws file using the Save Settings button.", false,
     true},
    {"Label15", Kind::Label,
     "Trawl can then be run from the command line, batch file or shortcut using the following parameters :", false,
     true},
    {"Label16", Kind::Label,
     "/settings=filename  This will load a tws file into Trawl (e.g. /settings=c:\\trawl\\scanforjpegs.tws)", false,
     true},
    {"Label17", Kind::Label, "/autorun  - This will automatically start the scan as soon as  the tws file is loaded.",
     false, true},
    {"Label18", Kind::Label, "/autoclose - Trawl will shut down when the autorun is complete", false, true},
    {"Label19", Kind::Label, "Sample : trawl /settings=c:\\trawl\\scanjpegs.tws /autorun /autoclose", false, true},
    {"Button1", Kind::Button, "Save Settings", false, true},
    {"Button2", Kind::Button, "Load Settings", false, true},
};

}  // namespace

TEST_F(WindowDesign, EveryControlHasItsNameKindCaptionValueAndEnabledState)
{
    for (const Designed& designed : kDesigned) {
        SCOPED_TRACE(designed.name);
        const QString caption = QString::fromLatin1(designed.caption);
        QWidget* widget = nullptr;
        switch (designed.kind) {
        case Kind::Button:
            if (auto* button = control<QPushButton>(window, designed.name)) {
                EXPECT_EQ(button->text(), caption);
                widget = button;
            }
            break;
        case Kind::Radio:
            if (auto* radio = control<RadioButton>(window, designed.name)) {
                EXPECT_EQ(radio->text(), caption);
                EXPECT_EQ(radio->isChecked(), designed.checked);
                EXPECT_FALSE(radio->autoExclusive());
                widget = radio;
            }
            break;
        case Kind::Check:
            if (auto* box = control<QCheckBox>(window, designed.name)) {
                EXPECT_EQ(box->text(), caption);
                EXPECT_EQ(box->isChecked(), designed.checked);
                widget = box;
            }
            break;
        case Kind::Label:
            if (auto* label = control<QLabel>(window, designed.name)) {
                EXPECT_EQ(label->text(), caption);
                widget = label;
            }
            break;
        case Kind::Group:
            if (auto* group = control<QGroupBox>(window, designed.name)) {
                EXPECT_EQ(group->title(), caption);
                widget = group;
            }
            break;
        }
        if (widget) {
            EXPECT_EQ(widget->isEnabled(), designed.enabled);
        }
    }
}

TEST_F(WindowDesign, EditBoxesPickersAndListsStartEmptyWithTheirDesignedState)
{
    for (const char* name : {"txtSizeBytes", "txtOutputFilename", "txtOutputSepOther"}) {
        SCOPED_TRACE(name);
        auto* edit = control<QLineEdit>(window, name);
        ASSERT_NE(edit, nullptr);
        EXPECT_TRUE(edit->text().isEmpty());
    }
    EXPECT_TRUE(control<QLineEdit>(window, "txtSizeBytes")->isEnabled());
    EXPECT_FALSE(control<QLineEdit>(window, "txtOutputFilename")->isEnabled());
    EXPECT_TRUE(control<QLineEdit>(window, "txtOutputSepOther")->isEnabled());

    auto* pattern = control<QComboBox>(window, "cboPattern");
    ASSERT_NE(pattern, nullptr);
    EXPECT_TRUE(pattern->isEditable());
    EXPECT_EQ(pattern->currentText(), QStringLiteral("*.*"));
    QStringList items;
    for (int i = 0; i < pattern->count(); ++i)
        items << pattern->itemText(i);
    EXPECT_EQ(items, QStringList({"*.*", "*.tmp", "*.jpg", "*.bak", "*.exe"}));

    auto* drives = control<QComboBox>(window, "cboDrives");
    ASSERT_NE(drives, nullptr);
    EXPECT_TRUE(drives->isEditable());
    EXPECT_EQ(drives->count(), 0);

    ASSERT_NE(control<FolderListBox>(window, "DirectoryListBox1"), nullptr);
    EXPECT_TRUE(window.DirectoryListBox1->directory().isEmpty());
    auto* memo = control<QPlainTextEdit>(window, "memCommandFile");
    ASSERT_NE(memo, nullptr);
    EXPECT_TRUE(memo->toPlainText().isEmpty());
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    ASSERT_NE(control<QListWidget>(window, "lstUsers"), nullptr);
    EXPECT_EQ(window.lstUsers->count(), 0);

    for (const char* name : {"dtpBefore", "dtpAfter", "dtpExact"}) {
        SCOPED_TRACE(name);
        auto* picker = control<DatePicker>(window, name);
        ASSERT_NE(picker, nullptr);
        EXPECT_TRUE(picker->isEnabled());
        EXPECT_TRUE(picker->calendarPopup());
        EXPECT_EQ(picker->minimumDate(), QDate(1970, 1, 1));
    }
}

TEST_F(WindowDesign, WindowHasItsCaptionSizeFontAndTenPagesInOrder)
{
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Trawl"));
    EXPECT_EQ(window.size(), QSize(667, 500));
    EXPECT_EQ(window.minimumSize(), QSize(595, 442));
    EXPECT_EQ(window.font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(window.font().pixelSize(), 11);
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_EQ(window.HelpFile, QCoreApplication::applicationDirPath() + QStringLiteral("/TRAWL.HLP"));

    window.resize(300, 200);
    EXPECT_EQ(window.size(), QSize(595, 442)) << "the window cannot be made smaller than its minimum";

    auto* pages = control<QTabWidget>(window, "PageControl1");
    ASSERT_NE(pages, nullptr);
    // The owner totals come after the errors, the changes after the totals.
    const char* const names[] = {"TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4",  "TabSheet5",
                                 "TabSheet6", "TabSheet7", "TabSheet9", "TabSheet10", "TabSheet8"};
    const QStringList expected = {"Path/File", "Dates/Size", "Attributes", "Owners",  "Output",
                                  "Results",   "Errors",     "Totals",     "Changes", "Batch Settings"};
    ASSERT_EQ(pages->count(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(pages->widget(i)->objectName(), QString::fromLatin1(names[i]));
        EXPECT_EQ(pages->tabText(i), expected[i]);
    }
    EXPECT_EQ(pages->currentIndex(), 0);
}

TEST_F(WindowDesign, StatusValuesKeepTheirSizeAndShowFileNamesAsTyped)
{
    for (const char* name : {"lblPath", "lblFileCount", "lblDirCount", "lblMatchCount", "lblMatchSize"}) {
        SCOPED_TRACE(name);
        auto* label = control<QLabel>(window, name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->minimumSize(), label->maximumSize()) << "a value label does not grow with its text";
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << "a file named like markup must show as it is";
    }
    EXPECT_TRUE(window.lblMessage->font().bold());
    EXPECT_EQ(window.lblMessage->textFormat(), Qt::PlainText);
}

TEST_F(WindowDesign, TimerListViewsAndTreeAreSetUpForTheirJobs)
{
    auto* timer = window.findChild<QTimer*>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 500);
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_FALSE(timer->isActive());

    auto* results = control<QTreeView>(window, "lvwResults");
    auto* errors = control<QTreeView>(window, "lvwErrors");
    ASSERT_TRUE(results && errors);
    EXPECT_EQ(results->model(), window.resultsModel);
    EXPECT_EQ(errors->model(), window.errorsModel);
    for (QTreeView* view : {results, errors}) {
        SCOPED_TRACE(view->objectName().toStdString());
        EXPECT_FALSE(view->rootIsDecorated());
        EXPECT_TRUE(view->uniformRowHeights());
        EXPECT_FALSE(view->isSortingEnabled());
    }
    ASSERT_EQ(window.resultsModel->columnCount(), 4);
    for (int column = 0; column < 4; ++column)
        EXPECT_EQ(results->header()->sectionSize(column), 110) << "results column " << column;

    auto* tree = control<QTreeWidget>(window, "treends");
    ASSERT_NE(tree, nullptr);
    EXPECT_TRUE(tree->isHeaderHidden());
    EXPECT_EQ(tree->columnCount(), 1);
    EXPECT_EQ(tree->editTriggers(), QAbstractItemView::NoEditTriggers) << "a double click opens, never renames";
    EXPECT_EQ(tree->palette().color(QPalette::Inactive, QPalette::Highlight),
              tree->palette().color(QPalette::Active, QPalette::Highlight))
        << "the selection stays visible when the tree loses the focus";
}

// Enter that no control uses presses Start, the window's default button; the
// scan itself is not what is tested here, so Start's handler is unhooked.
TEST_F(WindowDesign, EnterInAnEditBoxPressesStartUnlessStartIsDisabled)
{
    QObject::disconnect(window.cmdStart, &QPushButton::clicked, &window, nullptr);
    QSignalSpy pressed(window.cmdStart, &QPushButton::clicked);
    EXPECT_TRUE(window.cmdStart->isDefault());

    QTest::keyClick(window.cboPattern->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(pressed.count(), 1);
    QTest::keyClick(window.txtOutputSepOther, Qt::Key_Enter);
    EXPECT_EQ(pressed.count(), 2);

    window.cmdStart->setEnabled(false);
    QTest::keyClick(window.cboPattern->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(pressed.count(), 2) << "no scan starts while Start is disabled";

    window.cmdStart->setEnabled(true);
    QTest::keyClick(window.memCommandFile, Qt::Key_Return);
    EXPECT_EQ(pressed.count(), 2) << "Enter in the memo is a new line";
    EXPECT_EQ(window.memCommandFile->toPlainText(), QStringLiteral("\n"));
    QTest::keyClick(window.DirectoryListBox1, Qt::Key_Return);
    EXPECT_EQ(pressed.count(), 2) << "Enter in the folder list opens a folder";
    // Nor in a list (Enter on a result would empty the list it was read
    // from) or in the path box, which opens the folder typed there.
    for (const char* name : {"lvwResults", "lvwErrors", "lstUsers", "treends", "txtPath"}) {
        auto* list = window.findChild<QWidget*>(name);
        ASSERT_NE(list, nullptr) << name;
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        EXPECT_EQ(pressed.count(), 2) << "Enter in " << list->objectName().toStdString() << " started a scan";
    }
}

// The desktop's keys work from any page and any control; the scan keys press
// Start, so a running scan (Start disabled) ignores them.
TEST_F(WindowDesign, KeysOpenHelpLoadOrSaveSettingsAndStartAScan)
{
    QObject::disconnect(window.cmdStart, &QPushButton::clicked, &window, nullptr);
    QSignalSpy started(window.cmdStart, &QPushButton::clicked);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    enum class Effect { Help, Open, Save, Start };
    const struct {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* focus;
        Effect effect;
    } cases[] = {
        {"F1", Qt::Key_F1, Qt::NoModifier, "cboDrives", Effect::Help},
        {"Ctrl+O", Qt::Key_O, Qt::ControlModifier, "txtSizeBytes", Effect::Open},
        {"Ctrl+S", Qt::Key_S, Qt::ControlModifier, "lvwResults", Effect::Save},
        {"F5", Qt::Key_F5, Qt::NoModifier, "treends", Effect::Start},
        {"Ctrl+Return", Qt::Key_Return, Qt::ControlModifier, "memCommandFile", Effect::Start},
        {"Ctrl+Enter on the keypad", Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier, "lstUsers",
         Effect::Start},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.clear();
        started.clear();
        auto* focus = control<QWidget>(window, c.focus);
        ASSERT_NE(focus, nullptr);
        for (QWidget* page = focus; page; page = page->parentWidget()) {
            if (window.PageControl1->indexOf(page) >= 0)
                window.PageControl1->setCurrentWidget(page);
        }
        focus->setFocus();
        QTest::keyClick(focus, c.key, c.modifiers);
        EXPECT_EQ(ui.helpCalls.size(), c.effect == Effect::Help ? 1u : 0u);
        ASSERT_EQ(ui.fileDialogs.size(), c.effect == Effect::Open || c.effect == Effect::Save ? 1u : 0u);
        if (!ui.fileDialogs.empty()) {
            EXPECT_EQ(ui.fileDialogs[0].kind, c.effect == Effect::Open ? RecordingUiServices::DialogKind::Open
                                                                       : RecordingUiServices::DialogKind::Save);
        }
        EXPECT_EQ(started.count(), c.effect == Effect::Start ? 1 : 0);
    }
    EXPECT_EQ(window.memCommandFile->toPlainText(), "") << "Ctrl+Return started the scan, it added no line";

    started.clear();
    window.cmdStart->setEnabled(false);
    QTest::keyClick(window.txtSizeBytes, Qt::Key_F5);
    EXPECT_EQ(started.count(), 0) << "no second scan while one runs";
}

// The buttons that show only a sign, and the boxes of the tests, say what
// they do; the boundaries as the tests themselves apply them.
TEST_F(WindowDesign, TipsSayWhatSignsAndTestBoxesDoAndHowBoundariesCount)
{
    ASSERT_TRUE(sizeTestPasses(1, 100, 100) && !sizeTestPasses(1, 100, 99)) << "Greater Than is at least";
    ASSERT_TRUE(sizeTestPasses(2, 100, 100) && !sizeTestPasses(2, 100, 101)) << "Less Than is at most";
    ScanCriteria dates;
    dates.BeforeDate = 100;
    dates.AfterDate = 102;
    for (const auto& [mode, inside, outside] :
         {std::tuple{1, 100, 101}, {3, 102, 101}, {4, 100, 99}, {4, 102, 103}}) {
        dates.DateMode = mode;
        ASSERT_TRUE(dateTestPasses(dates, inside) && !dateTestPasses(dates, outside)) << "the named days pass";
    }
    const struct {
        const char* name;
        const char* says;
    } cases[] = {
        {"cmdUserAdd", "Add the object selected"},
        {"cmdUserRemove", "Remove the selected owner"},
        {"cmdUsersDeleteAll", "Remove every owner"},
        {"optSizeGreater", "at least the size below: a file of exactly that size passes"},
        {"optSizeLess", "at most the size below: a file of exactly that size passes"},
        {"optSizeEqual", "exactly the size"},
        {"optSizeIgnore", "No size test"},
        {"txtSizeBytes", "in bytes"},
        {"optDateAccessed", "last accessed"},
        {"optDateModified", "last changed"},
        {"optDateCreation", "created"},
        {"optDateIgnore", "No date test"},
        {"optDateBefore", "on or before"},
        {"optDateAfter", "on or after"},
        {"optDateBetween", "both days included"},
        {"optDateExact", "on the day"},
        {"dtpBefore", "on or before this day pass. Between: the first day, included"},
        {"dtpAfter", "on or after this day pass. Between: the last day, included"},
        {"dtpExact", "on this day"},
    };
    for (const auto& c : cases) {
        auto* widget = control<QWidget>(window, c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->toolTip().contains(QString::fromLatin1(c.says)))
            << c.name << ": " << widget->toolTip().toStdString();
    }
    for (QCheckBox* box : window.GroupBox4->findChildren<QCheckBox*>()) {
        EXPECT_TRUE(box->toolTip().contains(box->text() + " attribute")) << box->objectName().toStdString();
        EXPECT_TRUE(box->toolTip().contains("every attribute ticked")) << box->objectName().toStdString();
    }
}
