// Save Settings and Load Settings, driven through the window: what lands in
// the file, in which order, and what a file does to the controls.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <map>
#include <memory>
#include <vector>

#include "app/datepicker.h"
#include "app/folderlistbox.h"
#include "app/radiobutton.h"
#include "app/tfrmmain.h"
#include "netclient/nwclient.h"
#include "support/gui_profilefolders.h"
#include "support/gui_recordinguiservices.h"

namespace {

constexpr double kJan1st2001 = 36892.0;

// The keys of the window's controls, in the order a settings file holds them.
const QStringList kControlKeys = {
    "cboDrives", "cboPattern", "cboPath",
    "optSizeGreater", "optSizeLess", "optSizeEqual", "optSizeIgnore", "txtSizeBytes",
    "optDateAccessed", "optDateModified", "optDateCreation", "optDateIgnore",
    "optDateBefore", "optDateAfter", "optDateBetween", "optDateExact",
    "dtpBefore", "dtpAfter", "dtpExact",
    "chkAttribReadOnly", "chkAttribShareable", "chkAttribHidden", "chkAttribSystem",
    "chkAttribTransactional", "chkAttribMigrated", "chkAttribDontMigrate", "chkAttribDeleteInhibit",
    "chkAttribRenameInhibit", "chkAttribCopyInhibit", "chkAttribArchiveNeeded", "chkAttribExecuteOnly",
    "chkAttribImmedPurge", "chkAttribCompressed", "chkAttribImmedCompress", "chkAttribDontCompress",
    "chkAttribCantCompress", "chkAttribDontSuballocate", "chkAttribReadAudit", "chkAttribWriteAudit",
    "chkOutputResults", "chkAppend", "chkCommandFile", "chkOutputHeadings",
    "chkOutputServer", "chkOutputOwner", "chkOutputFullPath", "chkOutputAccessed", "chkOutputFilename",
    "chkOutputModified", "chkOutputExtension", "chkOutputCreation", "chkOutputSize", "chkOutputAttributes",
    "chkOutputSurround", "optOutputSepComma", "optOutputSepTab", "optOutputSepOther",
    "txtOutputFilename", "txtOutputSepOther",
};

using Keys = std::vector<std::pair<QString, QString>>;

// A file that loads without a refusal: valid days, everything else clear.
Keys validKeys()
{
    Keys keys;
    for (const QString& key : kControlKeys)
        keys.emplace_back(key, key.startsWith("dtp") ? "36892" : key.startsWith("opt") || key.startsWith("chk") ? "0" : "");
    keys.emplace_back("memCommandFileCount", "0");
    keys.emplace_back("lstUsersCount", "0");
    return keys;
}

Keys with(Keys keys, const Keys& changes)
{
    // A key of another case replaces the key itself, so the file holds it in that case.
    for (const auto& [key, value] : changes) {
        auto found = std::find_if(keys.begin(), keys.end(), [&](const auto& entry) {
            return entry.first.compare(key, Qt::CaseInsensitive) == 0;
        });
        if (found != keys.end())
            *found = {key, value};
        else
            keys.emplace_back(key, value);
    }
    return keys;
}

QByteArray twsText(const Keys& keys, const QByteArray& header = "[TRAWL]")
{
    QByteArray text = header + "\r\n";
    for (const auto& [key, value] : keys)
        text += key.toUtf8() + "=" + value.toUtf8() + "\r\n";
    return text;
}

// The keys of a saved file in the order written, with their values.
Keys keysOnDisk(const QByteArray& text)
{
    Keys keys;
    const QList<QByteArray> lines = text.split('\n');
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            keys.emplace_back(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
    }
    return keys;
}

QStringList memoLines(const QPlainTextEdit* memo)
{
    QStringList lines;
    for (QTextBlock block = memo->document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

QStringList owners(const QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

// What a user sees of every control the file holds: value and enabled state.
std::map<QString, QString> snapshot(const Tfrmmain& window)
{
    std::map<QString, QString> seen;
    for (const QString& key : kControlKeys) {
        QWidget* widget = key == "cboPath" ? static_cast<QWidget*>(window.DirectoryListBox1)
                                           : window.findChild<QWidget*>(key);
        if (!widget) {
            ADD_FAILURE() << "no control named " << key.toStdString();
            continue;
        }
        QString value;
        if (auto* folders = qobject_cast<FolderListBox*>(widget))
            value = folders->directory();
        else if (auto* combo = qobject_cast<QComboBox*>(widget))
            value = combo->currentText();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            value = button->isChecked() ? "checked" : "clear";
        else if (auto* edit = qobject_cast<QLineEdit*>(widget))
            value = edit->text();
        else if (auto* picker = qobject_cast<DatePicker*>(widget))
            value = QString::number(picker->daySerial());
        seen[key] = value + (widget->isEnabled() ? "" : " (disabled)");
    }
    QStringList lines = memoLines(window.memCommandFile);
    if (lines.size() > 0 && lines.back().isEmpty())
        lines.removeLast();  // an empty last line is no line
    seen["memCommandFile"] = lines.join('|');
    seen["lstUsers"] = owners(window.lstUsers).join('|');
    return seen;
}

QString withoutEnabledState(QString seen)
{
    seen.remove(" (disabled)");
    return seen;
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(folders.localRoot() + "/DATA/PUBLIC");
        window = makeWindow();
    }

    // A window as the start-up leaves it. It is shown so that the memo has its
    // width; without a client the start-up ends at once.
    std::unique_ptr<Tfrmmain> makeWindow()
    {
        setNwClient(nullptr);
        auto made = std::make_unique<Tfrmmain>();
        made->show();
        made->optSizeIgnore->setChecked(true);
        made->optDateIgnore->setChecked(true);
        made->optOutputSepComma->setChecked(true);
        for (DatePicker* picker : {made->dtpBefore, made->dtpAfter, made->dtpExact})
            picker->setDaySerial(kJan1st2001);
        ui.clear();
        return made;
    }

    QString save(Tfrmmain& from, const QString& name = "saved.tws")
    {
        const QString path = folders.root() + "/" + name;
        ui.queueFileName(path);
        from.Button1Click();
        return path;
    }

    void loadThroughDialog(Tfrmmain& into, const QString& path)
    {
        ui.queueFileName(path);
        into.Button2Click();
    }

    QString writeTws(const Keys& keys, const QString& name = "load.tws")
    {
        return folders.writeFile(folders.root() + "/" + name, twsText(keys));
    }

    ScopedProfileFolders folders;
    RecordingUiServices ui;
    ScopedUiServices installed{ui};
    std::unique_ptr<Tfrmmain> window;
};

// Two windows that between them move every control off its start-up value.
void configureFirst(Tfrmmain& w)
{
    w.cboDrives->setEditText("C:     (local)");
    w.cboPattern->setEditText("*.jpg");
    ASSERT_EQ(w.DirectoryListBox1->setDirectory("C:\\DATA\\PUBLIC"), 0);
    w.optSizeLess->setChecked(true);
    w.txtSizeBytes->setText("1234");
    w.optDateCreation->setChecked(true);
    w.optDateBetween->setChecked(true);
    w.dtpBefore->setDaySerial(36900);
    w.dtpAfter->setDaySerial(37000);
    w.dtpExact->setDaySerial(40000);
    const QList<QCheckBox*> boxes = w.GroupBox4->findChildren<QCheckBox*>();
    for (qsizetype i = 0; i < boxes.size(); i += 2)
        boxes[i]->setChecked(true);
    w.chkAppend->setChecked(true);  // checks chkOutputResults as well
    w.chkOutputHeadings->setChecked(true);
    w.chkOutputServer->setChecked(true);
    w.chkOutputAccessed->setChecked(true);
    w.chkOutputExtension->setChecked(true);
    w.chkOutputSize->setChecked(true);
    w.chkOutputSurround->setChecked(true);
    w.optOutputSepOther->setChecked(true);
    w.txtOutputFilename->setText("C:\\out\\list.csv");
    w.txtOutputSepOther->setText(";");
    w.memCommandFile->setPlainText("copy !1 C:\\SAVE\n\nrem !2");
    w.lstUsers->addItems({"JSMITH.SALES.ACME", "ADMIN.ACME"});
}

void configureSecond(Tfrmmain& w)
{
    w.cboPattern->setEditText("*.tmp");
    ASSERT_EQ(w.DirectoryListBox1->setDirectory("C:\\DATA"), 0);
    w.optSizeGreater->setChecked(true);
    w.txtSizeBytes->setText("99");
    w.optDateAccessed->setChecked(true);
    w.optDateExact->setChecked(true);
    w.dtpExact->setDaySerial(25569);
    const QList<QCheckBox*> boxes = w.GroupBox4->findChildren<QCheckBox*>();
    for (qsizetype i = 1; i < boxes.size(); i += 2)
        boxes[i]->setChecked(true);
    w.chkCommandFile->setChecked(true);
    w.chkOutputOwner->setChecked(true);
    w.chkOutputFullPath->setChecked(true);
    w.chkOutputFilename->setChecked(true);
    w.chkOutputModified->setChecked(true);
    w.chkOutputCreation->setChecked(true);
    w.chkOutputAttributes->setChecked(true);
    w.optOutputSepTab->setChecked(true);
    w.memCommandFile->setPlainText("del !1\n");
    w.lstUsers->addItem("GUEST");
}

TEST_F(SettingsFileTest, EveryControlSurvivesASaveAndALoad)
{
    for (const auto configure : {&configureFirst, &configureSecond}) {
        auto source = makeWindow();
        configure(*source);
        ASSERT_NE(snapshot(*source), snapshot(*window)) << "the settings must differ from the start-up state";

        const QString file = save(*source);
        auto target = makeWindow();
        loadThroughDialog(*target, file);

        EXPECT_TRUE(ui.messages.empty()) << ui.messages.front().text.toStdString();
        const auto expected = snapshot(*source);
        const auto loaded = snapshot(*target);
        for (const auto& [key, value] : expected)
            EXPECT_EQ(loaded.at(key), value) << key.toStdString();
    }
}

TEST_F(SettingsFileTest, FileDialogsStartBesideTheExecutable)
{
    ui.queueCancel();
    window->Button1Click();
    ui.queueCancel();
    window->Button2Click();

    ASSERT_EQ(ui.fileDialogs.size(), 2u);
    for (const auto& dialog : ui.fileDialogs) {
        EXPECT_EQ(dialog.request.initialFolder, folders.executableFolder());
        EXPECT_EQ(dialog.request.defaultExtension, "tws");
        EXPECT_EQ(dialog.request.filterName, "Trawl Files *.tws");
        EXPECT_EQ(dialog.request.filterPattern, "*.tws");
        EXPECT_FALSE(dialog.request.overwritePrompt);
    }
    EXPECT_EQ(ui.fileDialogs[0].kind, RecordingUiServices::DialogKind::Save);
    EXPECT_FALSE(ui.fileDialogs[0].request.fileMustExist);
    EXPECT_EQ(ui.fileDialogs[1].kind, RecordingUiServices::DialogKind::Open);
    EXPECT_TRUE(ui.fileDialogs[1].request.fileMustExist);

    // Cancelled, nothing was written and nothing changed.
    EXPECT_TRUE(QDir(folders.root()).entryList({"*.tws"}, QDir::Files).isEmpty());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SettingsFileTest, KeysAreWrittenInTheirOrderWithTheListsAfterTheirCounts)
{
    window->memCommandFile->setPlainText("first !1\n'quoted !2'\n\nlast");
    window->lstUsers->addItems({"A.ACME", "B.ACME"});
    window->txtOutputSepOther->setText("   ");
    const QString file = save(*window);

    const QByteArray text = ScopedProfileFolders::readFile(file);
    ASSERT_TRUE(text.startsWith("[TRAWL]\r\n")) << text.left(40).toStdString();
    EXPECT_EQ(text.count('['), 1) << "one section only";

    QStringList expectedOrder = kControlKeys;
    expectedOrder << "memCommandFileCount" << "memCommandFile0" << "memCommandFile1" << "memCommandFile2"
                  << "memCommandFile3" << "lstUsersCount" << "lstUsers0" << "lstUsers1";
    const Keys onDisk = keysOnDisk(text);
    QStringList order;
    for (const auto& entry : onDisk)
        order << entry.first;
    EXPECT_EQ(order, expectedOrder);

    const std::map<QString, QString> values(onDisk.begin(), onDisk.end());
    EXPECT_EQ(values.at("optSizeIgnore"), "1");
    EXPECT_EQ(values.at("optSizeGreater"), "0");
    EXPECT_EQ(values.at("dtpBefore"), "36892");
    EXPECT_EQ(values.at("cboPattern"), "*.*");
    EXPECT_EQ(values.at("memCommandFileCount"), "4");
    EXPECT_EQ(values.at("memCommandFile2"), "");
    EXPECT_EQ(values.at("lstUsersCount"), "2");
    EXPECT_EQ(values.at("lstUsers1"), "B.ACME");

    // Blanks around a value are dropped on reading and one pair of quotes is
    // removed, so these two come back changed.
    auto reloaded = makeWindow();
    ASSERT_TRUE(reloaded->LoadSettings(file));
    EXPECT_EQ(reloaded->txtOutputSepOther->text(), "");
    EXPECT_EQ(memoLines(reloaded->memCommandFile), (QStringList{"first !1", "quoted !2", "", "last"}));
}

TEST_F(SettingsFileTest, SavingReplacesAFileOfAnotherLayout)
{
    const QString file = folders.writeFile(folders.root() + "/old.tws",
                                           "[Layout]\r\nVersion=3\r\n[TRAWL]\r\nmemCommandFile7=stale\r\n"
                                           "Obsolete=1\r\ncboPattern=*.old\r\n");
    save(*window, "old.tws");

    const Keys onDisk = keysOnDisk(ScopedProfileFolders::readFile(file));
    EXPECT_FALSE(ScopedProfileFolders::readFile(file).contains("[Layout]"));
    ASSERT_EQ(onDisk.size(), static_cast<std::size_t>(kControlKeys.size() + 2));
    EXPECT_EQ(onDisk.front().first, "cboDrives");
    for (const auto& [key, value] : onDisk) {
        EXPECT_NE(key, "Obsolete");
        EXPECT_NE(key, "memCommandFile7");
    }
}

TEST_F(SettingsFileTest, AFileThatCannotBeWrittenGivesOneMessage)
{
    folders.writeFile(folders.root() + "/plain", "not a folder");
    const QString blocked = folders.root() + "/plain/s.tws";
    ui.queueFileName(blocked);
    window->Button1Click();
    EXPECT_EQ(ui.messageTexts(), std::vector<QString>{"Unable to write to " + blocked});
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Trawl");
    EXPECT_EQ(ui.messages[0].owner, window.get());

    // A folder in the way is not deleted, and the save ends at the first key.
    ui.clear();
    QDir().mkpath(folders.root() + "/taken.tws/inner");
    ui.queueFileName(folders.root() + "/taken.tws");
    window->Button1Click();
    EXPECT_EQ(ui.messageTexts(), std::vector<QString>{"Unable to write to " + folders.root() + "/taken.tws"});
    EXPECT_TRUE(QFileInfo(folders.root() + "/taken.tws/inner").isDir());
}

TEST_F(SettingsFileTest, TextsLongerThan255AreCutOnSave)
{
    const QString longName = "C:\\" + QString(300, 'n');
    window->txtOutputFilename->setText(longName);
    const QString file = save(*window);
    const Keys onDisk = keysOnDisk(ScopedProfileFolders::readFile(file));
    const std::map<QString, QString> values(onDisk.begin(), onDisk.end());
    EXPECT_EQ(values.at("txtOutputFilename"), longName.left(255));

    auto reloaded = makeWindow();
    ASSERT_TRUE(reloaded->LoadSettings(file));
    EXPECT_EQ(reloaded->txtOutputFilename->text(), longName.left(255));
}

TEST_F(SettingsFileTest, FlagsCountAsCheckedWhenTheyAreNonzeroIntegers)
{
    struct Case {
        const char* stored;
        bool checked;
    } const cases[] = {
        {"1", true},  {"2", true},     {"-1", true}, {"$1", true}, {"0x1", true}, {" 1 ", true},
        {"0", false}, {"yes", false},  {"", false},  {"1.5", false}, {"$", false},
    };
    for (const Case& c : cases) {
        // Start from the opposite state so that a flag that is not applied shows.
        window->chkAttribSystem->setChecked(!c.checked);
        window->optSizeEqual->setChecked(false);
        window->optSizeIgnore->setChecked(true);
        const QString file = writeTws(with(validKeys(), {{"chkAttribSystem", c.stored}, {"optSizeEqual", c.stored},
                                                         {"optSizeIgnore", "0"}}));
        EXPECT_TRUE(window->LoadSettings(file)) << c.stored;
        EXPECT_EQ(window->chkAttribSystem->isChecked(), c.checked) << "stored \"" << c.stored << "\"";
        EXPECT_EQ(window->optSizeEqual->isChecked(), c.checked) << "stored \"" << c.stored << "\"";
        EXPECT_EQ(window->txtSizeBytes->isEnabled(), c.checked) << "the size rule runs only for a checked button";
    }
}

TEST_F(SettingsFileTest, KeysAreFoundBlindToCaseAndValuesLoseBlanksAndQuotes)
{
    const QString file = folders.writeFile(
        folders.root() + "/cases.tws",
        twsText(with(validKeys(), {{"CBOPATTERN", "  *.bak  "}, {"TxtOutputFilename", "\"  spaced name.txt  \""},
                                   {"txtsizebytes", "'42'"}, {"OPTSIZEEQUAL", "1"}}),
                "[trawl]"));
    ASSERT_TRUE(window->LoadSettings(file));
    EXPECT_EQ(window->cboPattern->currentText(), "*.bak");
    EXPECT_EQ(window->txtOutputFilename->text(), "  spaced name.txt  ");
    EXPECT_EQ(window->txtSizeBytes->text(), "42");
    EXPECT_TRUE(window->optSizeEqual->isChecked());
}

TEST_F(SettingsFileTest, WithinAGroupTheLastCheckedKeyWins)
{
    const QString file = writeTws(with(validKeys(), {{"optSizeGreater", "1"}, {"optSizeLess", "1"},
                                                     {"optOutputSepComma", "1"}, {"optOutputSepOther", "1"}}));
    ASSERT_TRUE(window->LoadSettings(file));
    EXPECT_FALSE(window->optSizeGreater->isChecked());
    EXPECT_TRUE(window->optSizeLess->isChecked());
    EXPECT_FALSE(window->optSizeIgnore->isChecked());
    EXPECT_FALSE(window->optOutputSepComma->isChecked());
    EXPECT_TRUE(window->optOutputSepOther->isChecked());
}

TEST_F(SettingsFileTest, AGroupStoredAllClearEndsWithNoButtonCheckedAndKeepsEnabledStates)
{
    // The size field keeps whatever enabled state it had: clearing runs no rule.
    for (RadioButton* before : {window->optSizeGreater, window->optSizeIgnore}) {
        before->setChecked(true);
        const bool enabledBefore = window->txtSizeBytes->isEnabled();
        ASSERT_TRUE(window->LoadSettings(writeTws(validKeys())));
        for (RadioButton* size : {window->optSizeGreater, window->optSizeLess, window->optSizeEqual, window->optSizeIgnore})
            EXPECT_FALSE(size->isChecked()) << size->objectName().toStdString();
        EXPECT_EQ(window->txtSizeBytes->isEnabled(), enabledBefore);
        EXPECT_EQ(window->lblSizeBytes->isEnabled(), enabledBefore);
    }
    EXPECT_FALSE(window->optOutputSepComma->isChecked());
    EXPECT_FALSE(window->optDateIgnore->isChecked());
}

TEST_F(SettingsFileTest, DateTypeIsAppliedBeforeTheDateTest)
{
    const QString file = writeTws(with(validKeys(), {{"optDateModified", "1"}, {"optDateBetween", "1"}}));
    ASSERT_TRUE(window->LoadSettings(file));
    EXPECT_TRUE(window->optDateModified->isChecked());
    EXPECT_TRUE(window->optDateBetween->isChecked());
    EXPECT_TRUE(window->optDateBefore->isEnabled());
    EXPECT_TRUE(window->dtpBefore->isEnabled());
    EXPECT_TRUE(window->dtpAfter->isEnabled());
    EXPECT_FALSE(window->dtpExact->isEnabled());
}

TEST_F(SettingsFileTest, IgnoreDatesLeavesTheDateTestsDisabledAndClear)
{
    // Saved under "Ignore Dates", loaded into a window with a date test chosen.
    const QString file = save(*window);
    auto target = makeWindow();
    target->optDateAccessed->setChecked(true);
    target->optDateBefore->setChecked(true);
    ASSERT_TRUE(target->dtpBefore->isEnabled());

    ASSERT_TRUE(target->LoadSettings(file));
    EXPECT_TRUE(target->optDateIgnore->isChecked());
    for (RadioButton* test : {target->optDateBefore, target->optDateAfter, target->optDateBetween, target->optDateExact}) {
        EXPECT_FALSE(test->isChecked()) << test->objectName().toStdString();
        EXPECT_FALSE(test->isEnabled()) << test->objectName().toStdString();
    }
    for (DatePicker* picker : {target->dtpBefore, target->dtpAfter, target->dtpExact})
        EXPECT_FALSE(picker->isEnabled()) << picker->objectName().toStdString();
}

TEST_F(SettingsFileTest, AppendChecksOutputAgainAfterOutputWasCleared)
{
    ASSERT_FALSE(window->chkAppend->isChecked());
    const QString file = writeTws(with(validKeys(), {{"chkOutputResults", "0"}, {"chkAppend", "1"}}));
    ASSERT_TRUE(window->LoadSettings(file));
    EXPECT_TRUE(window->chkAppend->isChecked());
    EXPECT_TRUE(window->chkOutputResults->isChecked());
    EXPECT_TRUE(window->txtOutputFilename->isEnabled());
}

TEST_F(SettingsFileTest, TextsAreSetIntoDisabledFields)
{
    ASSERT_FALSE(window->txtSizeBytes->isEnabled());
    ASSERT_FALSE(window->txtOutputFilename->isEnabled());
    const QString file = writeTws(with(validKeys(), {{"txtSizeBytes", "512"}, {"txtOutputFilename", "x.csv"}}));
    ASSERT_TRUE(window->LoadSettings(file));
    EXPECT_EQ(window->txtSizeBytes->text(), "512");
    EXPECT_EQ(window->txtOutputFilename->text(), "x.csv");
}

TEST_F(SettingsFileTest, DriveTextIsSetWithoutMovingTheFolderList)
{
    ASSERT_EQ(window->DirectoryListBox1->setDirectory("C:\\DATA"), 0);
    const QString file = writeTws(with(validKeys(), {{"cboDrives", "Q:  unmapped"}}));
    ASSERT_TRUE(window->LoadSettings(file));
    EXPECT_EQ(window->cboDrives->currentText(), "Q:  unmapped");
    EXPECT_EQ(window->DirectoryListBox1->directory(), "C:\\DATA");
    EXPECT_TRUE(ui.messages.empty());
}

// Where a refused key ends the load: the keys before it are applied, the
// refused control keeps its value, and no key after it is applied.
TEST_F(SettingsFileTest, ARefusedKeyEndsTheLoadThere)
{
    struct Case {
        const char* name;
        Keys changes;
        QString message;  // the whole text, or its start when it ends in a blank
        QString refusedKey;
    } const cases[] = {
        {"missing folder", {{"cboPath", "C:\\NOWHERE"}}, "I/O error 2", "cboPath"},
        {"unmapped drive", {{"cboPath", "Q:\\DATA"}}, "I/O error 2", "cboPath"},
        {"empty first day", {{"dtpBefore", "0"}}, "You must be in ShowCheckbox mode to set to this date", "dtpBefore"},
        {"early last day", {{"dtpAfter", "25568"}}, "Date is less than minimum of ", "dtpAfter"},
        {"empty exact day", {{"dtpExact", "word"}}, "You must be in ShowCheckbox mode to set to this date", "dtpExact"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto target = makeWindow();
        ASSERT_EQ(target->DirectoryListBox1->setDirectory("C:\\DATA"), 0);
        const auto before = snapshot(*target);

        // Every key before and after the refused one holds a change.
        Keys keys = with(validKeys(), {{"cboDrives", "C:"}, {"cboPattern", "*.exe"}, {"cboPath", "C:\\DATA\\PUBLIC"},
                                       {"optSizeEqual", "1"}, {"optSizeIgnore", "0"}, {"txtSizeBytes", "7"},
                                       {"optDateCreation", "1"}, {"optDateExact", "1"},
                                       {"dtpBefore", "40000"}, {"dtpAfter", "40001"}, {"dtpExact", "40002"},
                                       {"chkAttribHidden", "1"}, {"txtOutputFilename", "late.csv"},
                                       {"memCommandFileCount", "1"}, {"memCommandFile0", "late"},
                                       {"lstUsersCount", "1"}, {"lstUsers0", "LATE"}});
        keys = with(keys, c.changes);
        ui.clear();
        EXPECT_FALSE(target->LoadSettings(writeTws(keys)));
        ASSERT_EQ(ui.messages.size(), 1u);
        if (c.message.endsWith(' ')) {
            EXPECT_TRUE(ui.messages[0].text.startsWith(c.message)) << ui.messages[0].text.toStdString();
        } else {
            EXPECT_EQ(ui.messages[0].text, c.message);
        }
        if (c.message.startsWith("Date is less")) {
            EXPECT_TRUE(ui.messages[0].text.contains("1970")) << ui.messages[0].text.toStdString();
        }
        EXPECT_EQ(ui.messages[0].title, "Trawl");

        const auto after = snapshot(*target);
        const qsizetype refused = kControlKeys.indexOf(c.refusedKey);
        for (qsizetype i = 0; i < kControlKeys.size(); ++i) {
            const QString& key = kControlKeys[i];
            const QString stored = std::find_if(keys.begin(), keys.end(), [&](auto& e) { return e.first == key; })->second;
            const bool storedAChange = stored != "0" && !stored.isEmpty() && stored != "36892";
            if (i >= refused && storedAChange) {
                EXPECT_EQ(withoutEnabledState(after.at(key)), withoutEnabledState(before.at(key))) << key.toStdString();
            }
        }
        EXPECT_EQ(after.at("cboPattern"), "*.exe");  // always before the refusal
        EXPECT_EQ(withoutEnabledState(after.at(c.refusedKey)), withoutEnabledState(before.at(c.refusedKey)));
        EXPECT_EQ(after.at("memCommandFile"), "");
        EXPECT_EQ(after.at("lstUsers"), "");
        if (refused > kControlKeys.indexOf("txtSizeBytes")) {
            EXPECT_EQ(target->txtSizeBytes->text(), "7");
            EXPECT_TRUE(target->optSizeEqual->isChecked());
        }
        if (c.refusedKey == "dtpAfter") {
            EXPECT_EQ(target->dtpBefore->daySerial(), 40000);
        }
    }
}

TEST_F(SettingsFileTest, AMissingFileClearsTheFirstKeysAndStopsAtTheFirstDay)
{
    window->cboPattern->setEditText("*.jpg");
    window->txtSizeBytes->setText("5");
    window->chkAttribReadOnly->setChecked(true);
    window->optDateModified->setChecked(true);
    window->optDateBefore->setChecked(true);
    window->dtpBefore->setDaySerial(40000);

    EXPECT_FALSE(window->LoadSettings(folders.root() + "/no such file.tws"));
    EXPECT_EQ(ui.messageTexts(), std::vector<QString>{"You must be in ShowCheckbox mode to set to this date"});
    EXPECT_EQ(window->cboDrives->currentText(), "");
    EXPECT_EQ(window->cboPattern->currentText(), "");
    EXPECT_EQ(window->txtSizeBytes->text(), "");
    for (RadioButton* button : window->GroupBox2->findChildren<RadioButton*>())
        EXPECT_FALSE(button->isChecked()) << button->objectName().toStdString();
    for (RadioButton* button : window->GroupBox1->findChildren<RadioButton*>())
        EXPECT_FALSE(button->isChecked()) << button->objectName().toStdString();
    EXPECT_EQ(window->dtpBefore->daySerial(), 40000);
    EXPECT_TRUE(window->chkAttribReadOnly->isChecked()) << "keys after the refusal are not applied";
}

TEST_F(SettingsFileTest, TemplateLinesAreStoredAsTheMemoShowsThem)
{
    QString longLine;
    for (int i = 0; i < 40; ++i)
        longLine += QString("word%1 ").arg(i);
    longLine += "end";
    // Typed on the Output page, where the memo wraps it at its width.
    window->PageControl1->setCurrentWidget(window->TabSheet5);
    window->memCommandFile->setPlainText("short\n" + longLine + "\n");
    const QString file = save(*window);

    const Keys onDisk = keysOnDisk(ScopedProfileFolders::readFile(file));
    const std::map<QString, QString> values(onDisk.begin(), onDisk.end());
    const int count = values.at("memCommandFileCount").toInt();
    ASSERT_GT(count, 2) << "the long line must wrap in the memo";
    EXPECT_EQ(values.at("memCommandFile0"), "short");
    QString joined;
    for (int i = 1; i < count; ++i)
        joined += values.at(QString("memCommandFile%1").arg(i));
    EXPECT_EQ(joined.toStdString(), longLine.toStdString()) << "the displayed lines together are the line";
    EXPECT_EQ(values.count(QString("memCommandFile%1").arg(count)), 0u) << "the empty last line is no line";

    auto reloaded = makeWindow();
    ASSERT_TRUE(reloaded->LoadSettings(file));
    const QStringList lines = memoLines(reloaded->memCommandFile);
    ASSERT_EQ(lines.size(), count);
    for (int i = 1; i < count; ++i)
        EXPECT_EQ(lines[i].toStdString(), values.at(QString("memCommandFile%1").arg(i)).trimmed().toStdString());
}

TEST_F(SettingsFileTest, AnEmptyMemoIsACountOfZero)
{
    const QString file = save(*window);
    const Keys onDisk = keysOnDisk(ScopedProfileFolders::readFile(file));
    const std::map<QString, QString> values(onDisk.begin(), onDisk.end());
    EXPECT_EQ(values.at("memCommandFileCount"), "0");
    EXPECT_EQ(values.count("memCommandFile0"), 0u);
    EXPECT_EQ(values.at("lstUsersCount"), "0");
}

TEST_F(SettingsFileTest, LoadingTwiceDoublesTemplateAndOwners)
{
    const QString file = writeTws(with(validKeys(), {{"memCommandFileCount", "3"}, {"memCommandFile0", "one"},
                                                     {"memCommandFile1", ""}, {"memCommandFile2", "three"},
                                                     {"lstUsersCount", "2"}, {"lstUsers0", "A.ACME"},
                                                     {"lstUsers1", "B.ACME"}}));
    ASSERT_TRUE(window->LoadSettings(file));
    EXPECT_EQ(memoLines(window->memCommandFile), (QStringList{"one", "", "three"}));
    ASSERT_TRUE(window->LoadSettings(file));
    EXPECT_EQ(memoLines(window->memCommandFile), (QStringList{"one", "", "three", "one", "", "three"}));
    EXPECT_EQ(owners(window->lstUsers), (QStringList{"A.ACME", "B.ACME", "A.ACME", "B.ACME"}));
}

TEST_F(SettingsFileTest, StoredLinesFollowThoseAlreadyInTheMemo)
{
    const QString file = writeTws(with(validKeys(), {{"memCommandFileCount", "2"}, {"memCommandFile0", "added"},
                                                     {"lstUsersCount", "3"}, {"lstUsers0", "A.ACME"}}));
    window->memCommandFile->setPlainText("typed\n");  // ends in a line break: the empty last line is no line
    window->lstUsers->addItem("THERE.ACME");
    ASSERT_TRUE(window->LoadSettings(file));
    // A count beyond the stored keys gives empty lines and entries.
    EXPECT_EQ(memoLines(window->memCommandFile), (QStringList{"typed", "added", ""}));
    EXPECT_EQ(owners(window->lstUsers), (QStringList{"THERE.ACME", "A.ACME", "", ""}));
}

TEST_F(SettingsFileTest, DamagedCountsStayBounded)
{
    const QString file = writeTws(with(validKeys(), {{"memCommandFileCount", "-5"}, {"lstUsersCount", "0x7FFFFFFF"}}));
    ASSERT_TRUE(window->LoadSettings(file));
    EXPECT_EQ(memoLines(window->memCommandFile), QStringList{""});
    EXPECT_GT(window->lstUsers->count(), 0);
    EXPECT_LE(window->lstUsers->count(), 10000);
}

} // namespace
