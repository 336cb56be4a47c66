// Save Settings and Load Settings driven through the window: what lands in
// the file and in which order, and what a file does to the controls.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <cmath>
#include <csignal>
#include <functional>
#include <map>
#include <memory>

#include <sys/resource.h>

#include "app/datepicker.h"
#include "app/folderlistbox.h"
#include "app/radiobutton.h"
#include "app/tfrmmain.h"
#include "netclient/nwclient.h"
#include "settings/profileroutines.h"
#include "support/gui_profilefolders.h"
#include "support/gui_recordinguiservices.h"

namespace {

// The keys of the controls, in the order of the file.
const QStringList kControlKeys = {"cboDrives",
                                  "cboPattern",
                                  "cboPath",
                                  "optSizeGreater",
                                  "optSizeLess",
                                  "optSizeEqual",
                                  "optSizeIgnore",
                                  "txtSizeBytes",
                                  "optDateAccessed",
                                  "optDateModified",
                                  "optDateCreation",
                                  "optDateIgnore",
                                  "optDateBefore",
                                  "optDateAfter",
                                  "optDateBetween",
                                  "optDateExact",
                                  "dtpBefore",
                                  "dtpAfter",
                                  "dtpExact",
                                  "chkAttribReadOnly",
                                  "chkAttribShareable",
                                  "chkAttribHidden",
                                  "chkAttribSystem",
                                  "chkAttribTransactional",
                                  "chkAttribMigrated",
                                  "chkAttribDontMigrate",
                                  "chkAttribDeleteInhibit",
                                  "chkAttribRenameInhibit",
                                  "chkAttribCopyInhibit",
                                  "chkAttribArchiveNeeded",
                                  "chkAttribExecuteOnly",
                                  "chkAttribImmedPurge",
                                  "chkAttribCompressed",
                                  "chkAttribImmedCompress",
                                  "chkAttribDontCompress",
                                  "chkAttribCantCompress",
                                  "chkAttribDontSuballocate",
                                  "chkAttribReadAudit",
                                  "chkAttribWriteAudit",
                                  "chkOutputResults",
                                  "chkAppend",
                                  "chkCommandFile",
                                  "chkOutputHeadings",
                                  "chkOutputServer",
                                  "chkOutputOwner",
                                  "chkOutputFullPath",
                                  "chkOutputAccessed",
                                  "chkOutputFilename",
                                  "chkOutputModified",
                                  "chkOutputExtension",
                                  "chkOutputCreation",
                                  "chkOutputSize",
                                  "chkOutputAttributes",
                                  "chkOutputSurround",
                                  "optOutputSepComma",
                                  "optOutputSepTab",
                                  "optOutputSepOther",
                                  "txtOutputFilename",
                                  "txtOutputSepOther"};
// The history's keys, written after the template and owner lists.
const QStringList kHistoryKeys = {"chkHistory", "txtHistory", "chkOutputChange", "chkOutputChangesOnly"};

using Keys = std::vector<std::pair<QString, QString>>;

// A file that loads without a refusal (valid days, everything else clear),
// with changes; a change whose key differs in case replaces the key itself.
QByteArray tws(const Keys& changes = {})
{
    Keys keys;
    for (const QString& key : kControlKeys)
        keys.emplace_back(key, key.startsWith("dtp")                            ? "36892"
                               : key.startsWith("txt") || key.startsWith("cbo") ? ""
                                                                                : "0");
    keys.insert(keys.end(), {{"memCommandFileCount", "0"}, {"lstUsersCount", "0"}});
    for (const auto& change : changes) {
        auto found = std::find_if(keys.begin(), keys.end(),
                                  [&](auto& e) { return e.first.compare(change.first, Qt::CaseInsensitive) == 0; });
        found != keys.end() ? void(*found = change) : keys.push_back(change);
    }
    QByteArray text = "[trawl]\r\n";
    for (const auto& [key, value] : keys)
        text += key.toUtf8() + "=" + value.toUtf8() + "\r\n";
    return text;
}

// The keys of a file in their order, values as written.
Keys keysOf(const QByteArray& text)
{
    Keys keys;
    for (QByteArray line : text.split('\n')) {
        line.chop(line.endsWith('\r') ? 1 : 0);
        if (const qsizetype equals = line.indexOf('='); equals > 0)
            keys.emplace_back(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
    }
    return keys;
}

QStringList memoLines(const Tfrmmain& w)
{
    QStringList lines;
    for (QTextBlock block = w.memCommandFile->document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

QStringList owners(const Tfrmmain& w)
{
    QStringList names;
    for (int i = 0; i < w.lstUsers->count(); ++i)
        names << w.lstUsers->item(i)->text();
    return names;
}

// What a user sees of each control the file holds: its value, and "-" when disabled.
std::map<QString, QString> snapshot(const Tfrmmain& w)
{
    std::map<QString, QString> seen;
    for (const QString& key : kControlKeys + kHistoryKeys) {
        QWidget* widget = key == "cboPath" ? w.DirectoryListBox1 : w.findChild<QWidget*>(key);
        QString value = "no such control";
        if (auto* folders = qobject_cast<FolderListBox*>(widget))
            value = folders->directory();
        else if (auto* combo = qobject_cast<QComboBox*>(widget))
            value = combo->currentText();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            value = button->isChecked() ? "on" : "off";
        else if (auto* edit = qobject_cast<QLineEdit*>(widget))
            value = edit->text();
        else if (auto* picker = qobject_cast<DatePicker*>(widget))
            value = QString::number(picker->daySerial());
        seen[key] = value + (widget && !widget->isEnabled() ? "-" : "");
    }
    return seen;
}

QString valueOnly(QString seen) { return seen.endsWith('-') ? seen.chopped(1) : seen; }

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(folders.localRoot() + "/DATA/PUBLIC");
        window = makeWindow();
    }

    // A window as the start-up leaves it, shown so that the memo has its width
    // (without a client the start-up ends at once).
    std::unique_ptr<Tfrmmain> makeWindow()
    {
        setNwClient(nullptr);
        auto w = std::make_unique<Tfrmmain>();
        w->show();
        for (RadioButton* button : {w->optSizeIgnore, w->optDateIgnore, w->optOutputSepComma})
            button->setChecked(true);
        for (DatePicker* picker : {w->dtpBefore, w->dtpAfter, w->dtpExact})
            picker->setDaySerial(36892);
        ui.clear();
        return w;
    }
    QString save(Tfrmmain& from, const QString& name = "saved.tws")
    {
        ui.queueFileName(folders.root() + "/" + name);
        from.Button1Click();
        return folders.root() + "/" + name;
    }
    bool load(Tfrmmain& into, const QByteArray& text) { return into.LoadSettings(folders.write("load.tws", text)); }

    ScopedProfileFolders folders;
    RecordingUiServices ui;
    ScopedUiServices installed{ui};
    std::unique_ptr<Tfrmmain> window;
};

TEST_F(SettingsFileTest, EveryControlSurvivesASaveAndALoad)
{
    Tfrmmain& w = *window;
    w.cboDrives->setEditText("C:     (local)");
    w.cboPattern->setEditText("*.jpg");
    ASSERT_EQ(w.DirectoryListBox1->setDirectory("C:\\DATA\\PUBLIC"), 0);
    w.optSizeLess->setChecked(true);
    w.txtSizeBytes->setText("1234");
    w.optDateCreation->setChecked(true);
    w.optDateBetween->setChecked(true);
    w.dtpBefore->setDaySerial(36900);
    w.dtpAfter->setDaySerial(37000);
    w.dtpExact->setDaySerial(25569);
    const QList<QCheckBox*> boxes = w.findChildren<QCheckBox*>();
    for (qsizetype i = 0; i < boxes.size(); i += 2)
        boxes[i]->setChecked(true);
    w.optOutputSepOther->setChecked(true);
    w.txtOutputFilename->setText("C:\\out\\list.csv");
    w.txtOutputSepOther->setText(";");
    w.chkHistory->setChecked(true);
    w.txtHistory->setText("nightly history.sqlite");
    w.chkOutputChangesOnly->setChecked(true);
    w.memCommandFile->setPlainText("copy !1 C:\\SAVE\n\nrem !2");
    w.lstUsers->addItems({"JSMITH.SALES.ACME", "ADMIN.ACME"});

    auto target = makeWindow();
    ASSERT_NE(snapshot(*target), snapshot(w));
    ui.queueFileName(save(w));
    target->Button2Click();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(snapshot(*target), snapshot(w));
    EXPECT_EQ(memoLines(*target), memoLines(w));
    EXPECT_EQ(owners(*target), owners(w));
}

TEST_F(SettingsFileTest, TheFileHoldsOurKeysInOrderWithTemplateLinesAsShown)
{
    QString longLine;
    for (int i = 0; i < 40; ++i)
        longLine += QString("word%1 ").arg(i);
    window->PageControl1->setCurrentWidget(window->TabSheet5);  // typed on the Output page, where it wraps
    window->memCommandFile->setPlainText("'quoted !1'\n" + longLine + "\n\nlast\n");
    window->lstUsers->addItems({"A.ACME", "B.ACME"});
    window->txtOutputSepOther->setText("   ");
    // An older file of another layout is replaced whole.
    const QString file = folders.write("saved.tws",
                                       "[Layout]\r\nVersion=3\r\n[TRAWL]\r\nObsolete=1\r\nmemCommandFile9=x\r\n");
    save(*window);

    const QByteArray text = folders.read(file);
    EXPECT_TRUE(text.startsWith("[TRAWL]\r\n"));
    EXPECT_EQ(text.count('['), 1);
    const Keys keys = keysOf(text);
    const std::map<QString, QString> values(keys.begin(), keys.end());
    const int lineCount = values.at("memCommandFileCount").toInt();
    ASSERT_GT(lineCount, 4) << "the long line is stored once per displayed row";
    QStringList expectedOrder = kControlKeys;
    expectedOrder << "memCommandFileCount";
    for (int i = 0; i < lineCount; ++i)
        expectedOrder << QString("memCommandFile%1").arg(i);
    expectedOrder << "lstUsersCount"
                  << "lstUsers0"
                  << "lstUsers1" << kHistoryKeys;
    QStringList order;
    for (const auto& key : keys)
        order << key.first;
    EXPECT_EQ(order, expectedOrder);

    QString rows;
    for (int i = 1; i < lineCount - 2; ++i)
        rows += values.at(QString("memCommandFile%1").arg(i));
    EXPECT_EQ(rows.toStdString(), longLine.toStdString());
    EXPECT_EQ(values.at(QString("memCommandFile%1").arg(lineCount - 1)), "last") << "the empty last line is no line";
    EXPECT_EQ(values.at("optSizeIgnore"), "1");
    EXPECT_EQ(values.at("dtpBefore"), "36892");

    // Reading drops blanks around a value and one pair of quotes.
    auto reloaded = makeWindow();
    ASSERT_TRUE(reloaded->LoadSettings(file));
    EXPECT_EQ(reloaded->txtOutputSepOther->text(), "");
    EXPECT_EQ(memoLines(*reloaded).size(), lineCount);
    EXPECT_EQ(memoLines(*reloaded).first(), "quoted !1");
}

TEST_F(SettingsFileTest, LoadedValuesRunTheControlRules)
{
    using Window = std::function<void(Tfrmmain&)>;
    struct Case {
        const char* name;
        Keys changes;
        Window before;
        Window check;
    } const cases[] = {
        {"flags, keys blind to case, values without blanks and quotes",
         {{"CHKATTRIBSYSTEM", "2"},
          {"chkAttribHidden", "-1"},
          {"chkAttribShareable", "$1"},
          {"chkAttribReadOnly", "yes"},
          {"CboPattern", "  \"*.bak\"  "}},
         [](Tfrmmain& w) { w.chkAttribReadOnly->setChecked(true); },
         [](Tfrmmain& w) {
             EXPECT_EQ(w.cboPattern->currentText(), "*.bak");
             EXPECT_TRUE(w.chkAttribSystem->isChecked() && w.chkAttribHidden->isChecked() &&
                         w.chkAttribShareable->isChecked());
             EXPECT_FALSE(w.chkAttribReadOnly->isChecked());
         }},
        {"last of a group wins",
         {{"optSizeGreater", "1"}, {"optSizeLess", "1"}, {"optOutputSepTab", "1"}},
         {},
         [](Tfrmmain& w) {
             EXPECT_TRUE(w.optSizeLess->isChecked() && w.txtSizeBytes->isEnabled() && w.optOutputSepTab->isChecked());
             EXPECT_FALSE(w.optSizeGreater->isChecked() || w.optSizeIgnore->isChecked() ||
                          w.optOutputSepComma->isChecked());
         }},
        {"a group all clear keeps the enabled states",
         {},
         [](Tfrmmain& w) { w.optSizeGreater->setChecked(true); },
         [](Tfrmmain& w) {
             for (auto* button : w.GroupBox1->findChildren<RadioButton*>())
                 EXPECT_FALSE(button->isChecked()) << button->objectName().toStdString();
             EXPECT_TRUE(w.txtSizeBytes->isEnabled() && w.lblSizeBytes->isEnabled());
         }},
        {"Modified and Between",
         {{"optDateModified", "1"}, {"optDateBetween", "1"}, {"txtSizeBytes", "42"}},
         {},
         [](Tfrmmain& w) {
             EXPECT_EQ(w.txtSizeBytes->text(), "42") << "set although disabled";
             EXPECT_TRUE(w.optDateModified->isChecked() && w.optDateBetween->isChecked());
             EXPECT_TRUE(w.dtpBefore->isEnabled() && w.dtpAfter->isEnabled());
             EXPECT_FALSE(w.dtpExact->isEnabled());
         }},
        {"Ignore Dates",
         {{"optDateIgnore", "1"}},
         [](Tfrmmain& w) { w.optDateAccessed->setChecked(true), w.optDateBefore->setChecked(true); },
         [](Tfrmmain& w) {
             for (auto* test : {w.optDateBefore, w.optDateAfter, w.optDateBetween, w.optDateExact})
                 EXPECT_FALSE(test->isChecked() || test->isEnabled()) << test->objectName().toStdString();
             EXPECT_FALSE(w.dtpBefore->isEnabled() || w.dtpAfter->isEnabled() || w.dtpExact->isEnabled());
         }},
        {"Append checks Output again",
         {{"chkOutputResults", "0"}, {"chkAppend", "1"}},
         {},
         [](Tfrmmain& w) {
             EXPECT_TRUE(w.chkAppend->isChecked() && w.chkOutputResults->isChecked() &&
                         w.txtOutputFilename->isEnabled());
         }},
        {"the drive text alone does not move the folder list",
         {{"cboDrives", "Q:  unmapped"}},
         [](Tfrmmain& w) { ASSERT_EQ(w.DirectoryListBox1->setDirectory("C:\\DATA"), 0); },
         [](Tfrmmain& w) {
             EXPECT_EQ(w.cboDrives->currentText(), "Q:  unmapped");
             EXPECT_EQ(w.DirectoryListBox1->directory(), "C:\\DATA");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto w = makeWindow();
        if (c.before)
            c.before(*w);
        EXPECT_TRUE(load(*w, tws(c.changes)));
        EXPECT_TRUE(ui.messages.empty());
        c.check(*w);
    }
}

// A refused key ends the load: the keys before it are applied, the refused
// control keeps its value, and nothing after it is applied.
TEST_F(SettingsFileTest, ARefusedKeyEndsTheLoadThere)
{
    const Keys everyKeyChanged = {{"cboPattern", "*.exe"},
                                  {"cboPath", "C:\\DATA\\PUBLIC"},
                                  {"optSizeEqual", "1"},
                                  {"txtSizeBytes", "7"},
                                  {"optDateCreation", "1"},
                                  {"optDateExact", "1"},
                                  {"dtpBefore", "40000"},
                                  {"dtpAfter", "40001"},
                                  {"dtpExact", "40002"},
                                  {"chkAttribHidden", "1"},
                                  {"txtOutputFilename", "late.csv"},
                                  {"memCommandFileCount", "1"},
                                  {"lstUsersCount", "1"}};
    const struct {
        QString key, value, message;
    } cases[] = {
        {"cboPath", "C:\\NOWHERE", "I/O error 2"},
        {"cboPath", "Q:\\DATA", "I/O error 2"},
        {"dtpBefore", "0", "You must be in ShowCheckbox mode to set to this date"},
        {"dtpAfter", "25568", "Date is less than minimum of "},
        {"dtpExact", "word", "You must be in ShowCheckbox mode to set to this date"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.key + "=" + c.value).toStdString());
        auto w = makeWindow();
        ASSERT_EQ(w->DirectoryListBox1->setDirectory("C:\\DATA"), 0);
        const auto before = snapshot(*w);
        Keys keys = everyKeyChanged;
        keys.emplace_back(c.key, c.value);
        EXPECT_FALSE(load(*w, tws(keys)));
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].title, "Trawl");
        EXPECT_EQ(ui.messages[0].text.left(c.message.size()), c.message);
        EXPECT_EQ(ui.messages[0].text.size() > c.message.size(), c.message.endsWith(' '));

        const auto after = snapshot(*w);
        const qsizetype refused = kControlKeys.indexOf(c.key);
        for (const auto& [key, value] : everyKeyChanged) {
            if (!kControlKeys.contains(key))
                continue;
            const bool applied = kControlKeys.indexOf(key) < refused;
            EXPECT_EQ(valueOnly(after.at(key)) == valueOnly(before.at(key)), !applied) << key.toStdString();
        }
        EXPECT_EQ(valueOnly(after.at(c.key)), valueOnly(before.at(c.key)));
        EXPECT_TRUE(memoLines(*w) == QStringList{""} && owners(*w).isEmpty());
    }
}

// A file that is not there changes nothing and says which file was looked for.
TEST_F(SettingsFileTest, AMissingFileIsNamedAndChangesNothing)
{
    window->cboPattern->setEditText("*.jpg");
    window->txtSizeBytes->setText("5");
    window->chkAttribReadOnly->setChecked(true);
    window->optDateModified->setChecked(true);
    window->optDateBefore->setChecked(true);
    window->lstUsers->addItem("THERE.ACME");
    const auto before = snapshot(*window);

    const QString missing = folders.root() + "/no such file.tws";
    EXPECT_FALSE(window->LoadSettings(missing));
    EXPECT_EQ(ui.messageTexts(),
              std::vector<QString>{"Unable to read settings file " + missing + "\n\n(looked for " + missing + ")"});
    EXPECT_EQ(snapshot(*window), before);
    EXPECT_EQ(owners(*window), QStringList{"THERE.ACME"});
}

// Loaded twice, a file still leaves its own template and owners only: added
// to those there, every command would be written twice.
TEST_F(SettingsFileTest, TemplateLinesAndOwnersReplaceThoseThere)
{
    window->memCommandFile->setPlainText("typed\n");
    window->lstUsers->addItem("THERE.ACME");
    const QByteArray file = tws({{"memCommandFileCount", "3"},
                                 {"memCommandFile0", "one"},
                                 {"memCommandFile2", "three"},
                                 {"lstUsersCount", "2"},
                                 {"lstUsers0", "A.ACME"},
                                 {"lstUsers1", "B.ACME"}});
    ASSERT_TRUE(load(*window, file));
    ASSERT_TRUE(load(*window, file));
    EXPECT_EQ(memoLines(*window), (QStringList{"one", "", "three"}));
    EXPECT_EQ(owners(*window), (QStringList{"A.ACME", "B.ACME"}));
    // A file without lists empties them.
    ASSERT_TRUE(load(*window, tws()));
    EXPECT_EQ(memoLines(*window), QStringList{""});
    EXPECT_TRUE(owners(*window).isEmpty());

    // Damaged counts: none below zero, and no endless list.
    auto w = makeWindow();
    ASSERT_TRUE(load(*w, tws({{"memCommandFileCount", "-5"}, {"lstUsersCount", "0x7FFFFFFF"}})));
    EXPECT_EQ(memoLines(*w), QStringList{""});
    EXPECT_EQ(owners(*w).size(), 10000);
}

TEST_F(SettingsFileTest, DialogsAndAFileThatCannotBeWritten)
{
    ui.queueCancel();
    window->Button1Click();
    ui.queueCancel();
    window->Button2Click();
    ASSERT_EQ(ui.fileDialogs.size(), 2u);
    for (const auto& dialog : ui.fileDialogs) {
        EXPECT_EQ(dialog.request.initialFolder, folders.executableFolder()) << "no folder used yet";
        EXPECT_EQ(dialog.request.defaultExtension + dialog.request.filterName + dialog.request.filterPattern,
                  "twsTrawl Files *.tws*.tws");
        const bool open = dialog.kind == RecordingUiServices::DialogKind::Open;
        EXPECT_EQ(dialog.request.overwritePrompt, !open) << "Save asks before it replaces a file";
        EXPECT_EQ(dialog.request.fileMustExist, open);
    }
    EXPECT_TRUE(QDir(folders.root()).entryList({"*.tws"}).isEmpty() && ui.messages.empty());

    folders.write("plain", "a file, so no folder below it");
    QDir().mkpath(folders.root() + "/taken.tws/inner");  // a folder in the way is not deleted
    for (const QString& name : {QString("plain/s.tws"), QString("taken.tws")}) {
        ui.clear();
        save(*window, name);
        EXPECT_EQ(ui.messageTexts(), std::vector<QString>{"Unable to write to " + folders.root() + "/" + name});
    }
    EXPECT_TRUE(QFileInfo(folders.root() + "/taken.tws/inner").isDir());
}

// Both dialogs open where a settings file was last chosen, in this run and
// the next; the title names the file the window's settings came from.
TEST_F(SettingsFileTest, DialogsOpenInTheLastFolderAndTheTitleNamesTheFile)
{
    EXPECT_EQ(window->windowTitle(), "Trawl");
    const QString nightly = folders.write("jobs/nightly.tws", tws());
    ui.queueFileName(nightly);
    window->Button2->click();
    EXPECT_EQ(window->windowTitle(), "nightly.tws - Trawl");
    QDir().mkpath(folders.root() + "/kept");
    save(*window, "kept/weekly.tws");
    EXPECT_EQ(window->windowTitle(), "weekly.tws - Trawl");
    window->Button2->click();  // cancelled
    ASSERT_EQ(ui.fileDialogs.size(), 3u);
    EXPECT_EQ(ui.fileDialogs[1].request.initialFolder, folders.root() + "/jobs");
    EXPECT_EQ(ui.fileDialogs[2].request.initialFolder, folders.root() + "/kept");

    // A load that fails leaves the title as it was; a bare name is shown as found.
    EXPECT_FALSE(window->LoadSettings(folders.root() + "/missing.tws"));
    EXPECT_EQ(window->windowTitle(), "weekly.tws - Trawl");
    folders.write(folders.configFolder() + "/bare.tws", tws());
    ASSERT_TRUE(window->LoadSettings("bare.tws"));
    EXPECT_EQ(window->windowTitle(), "bare.tws - Trawl");

    // The next start opens there too, unless the folder has gone.
    window->close();
    for (const bool gone : {false, true}) {
        SCOPED_TRACE(gone ? "folder gone" : "folder there");
        if (gone)
            QDir(folders.root() + "/kept").removeRecursively();
        auto next = makeWindow();
        next->RestoreWindowState();
        next->Button1Click();
        ASSERT_FALSE(ui.fileDialogs.empty());
        EXPECT_EQ(ui.fileDialogs.back().request.initialFolder,
                  gone ? folders.executableFolder() : folders.root() + "/kept");
    }
}

// Every file in a folder, hidden ones (a temporary file left behind) included.
QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A save writes the bytes that setting each key in turn into a new file gave,
// so files saved now read back exactly as before.
TEST_F(SettingsFileTest, ASaveWritesWhatSettingEachKeyInTurnWrote)
{
    Tfrmmain& w = *window;
    w.cboDrives->setEditText("C:     (local)");
    w.cboPattern->setEditText("  *.jpg");
    ASSERT_EQ(w.DirectoryListBox1->setDirectory("C:\\DATA\\PUBLIC"), 0);
    w.optSizeLess->setChecked(true);
    w.txtSizeBytes->setText("1234");
    w.optDateCreation->setChecked(true);
    w.optDateBetween->setChecked(true);
    w.dtpBefore->setDaySerial(36900.75);
    w.dtpAfter->setDaySerial(37000);
    const QList<QCheckBox*> boxes = w.findChildren<QCheckBox*>();
    for (qsizetype i = 0; i < boxes.size(); i += 3)
        boxes[i]->setChecked(true);
    w.optOutputSepOther->setChecked(true);
    w.txtOutputFilename->setText("C:\\" + QString(125, QChar(0xE9)) + "xy");  // 255 bytes: the most a value holds
    w.txtOutputSepOther->setText(" ; ");
    w.memCommandFile->setPlainText("'copy !1 C:\\SAVE'\n\nrem \"!2\"");
    w.lstUsers->addItems({"JSMITH.SALES.ACME", "ADMIN.ACME", ""});

    const std::string expected = (folders.root() + "/expected.tws").toStdString();
    const auto set = [&](const QString& key, const QString& value) {
        ASSERT_FALSE(IniWriteString(expected, "TRAWL", key.toStdString(), value.toStdString()).has_value())
            << key.toStdString();
    };
    const std::map<QString, QString> seen = snapshot(w);
    for (const QString& key : kControlKeys) {
        const QString value = valueOnly(seen.at(key));
        set(key, value == "on"           ? "1"
                 : value == "off"        ? "0"
                 : key.startsWith("dtp") ? QString::number(std::trunc(value.toDouble()))
                                         : value);
    }
    const QStringList lines = memoLines(w);
    set("memCommandFileCount", QString::number(lines.size()));
    for (qsizetype i = 0; i < lines.size(); ++i)
        set(QString("memCommandFile%1").arg(i), lines[i]);
    set("lstUsersCount", QString::number(w.lstUsers->count()));
    for (int j = 0; j < w.lstUsers->count(); ++j)
        set(QString("lstUsers%1").arg(j), w.lstUsers->item(j)->text());
    for (const QString& key : kHistoryKeys) {
        const QString value = valueOnly(seen.at(key));
        set(key, value == "on" ? "1" : value == "off" ? "0" : value);
    }

    const QString saved = save(w);
    EXPECT_TRUE(ui.messages.empty());
    const QByteArray bytes = folders.read(saved);
    EXPECT_EQ(bytes.toStdString(), folders.read(QString::fromStdString(expected)).toStdString());
    EXPECT_TRUE(bytes.contains("\r\ndtpBefore=36900\r\n") && bytes.contains("\r\ntxtOutputSepOther= ; \r\n"));
}

// A value longer than a settings file holds would be saved cut, naming
// another file or folder: the save is refused before anything is written.
TEST_F(SettingsFileTest, AValueLongerThanTheFileHoldsRefusesTheSave)
{
    const QString nested = QString(100, 'A') + "/" + QString(100, 'B') + "/" + QString(60, 'C');
    QDir().mkpath(folders.localRoot() + "/" + nested);
    struct Case {
        const char* key;
        std::function<void(Tfrmmain&)> set;
        QString message;  // when not the value's
    };
    QStringList lines;
    for (int i = 0; i <= 10000; ++i)
        lines << QString("rem %1").arg(i);
    const Case cases[] = {
        {"txtOutputFilename", [](Tfrmmain& w) { w.txtOutputFilename->setText("C:\\" + QString(253, 'n')); }, {}},
        {"txtOutputFilename",
         [](Tfrmmain& w) { w.txtOutputFilename->setText(QString(128, QChar(0xE9))); },
         {}},  // 256 bytes
        {"cboPattern", [](Tfrmmain& w) { w.cboPattern->setEditText(QString(256, '?')); }, {}},
        {"cboPath",
         [&](Tfrmmain& w) {
             ASSERT_EQ(w.DirectoryListBox1->setDirectory("C:\\" + QString(nested).replace('/', '\\')), 0);
         },
         {}},
        {"txtOutputSepOther", [](Tfrmmain& w) { w.txtOutputSepOther->setText(QString(300, ';')); }, {}},
        {"lstUsers1",
         [](Tfrmmain& w) {
             w.lstUsers->addItems({"ADMIN.ACME", QString(256, 'U')});
         },
         {}},
        // A list longer than a file holds is not cut without a word.
        {"memCommandFile10000", [&](Tfrmmain& w) { w.memCommandFile->setPlainText(lines.join('\n')); },
         "A settings file holds at most 10000 template lines; the window has 10001. Nothing was saved."},
        {"lstUsers10000", [&](Tfrmmain& w) { w.lstUsers->addItems(lines); },
         "A settings file holds at most 10000 owners; the window has 10001. Nothing was saved."},
    };
    const QByteArray old = "[TRAWL]\r\ncboPattern=*.OLD\r\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const QString file = folders.write("sets/saved.tws", old);
        auto w = makeWindow();
        c.set(*w);
        ui.queueFileName(file);
        w->Button1Click();
        const QString message = c.message.isEmpty() ? QString("The value of %1 is longer than 255 bytes").arg(c.key)
                                                    : c.message;
        EXPECT_EQ(ui.messageTexts(), std::vector<QString>{message});
        EXPECT_EQ(folders.read(file), old);
        EXPECT_EQ(entriesOf(folders.root() + "/sets"), QStringList{"saved.tws"});
    }
}

// A save that cannot be written (here a full disk) says so and keeps the old
// file byte for byte, with no temporary file beside it.
TEST_F(SettingsFileTest, ASaveThatFailsKeepsTheOldFile)
{
    const QByteArray old = "[TRAWL]\r\ncboPattern=*.OLD\r\nlstUsersCount=0\r\n";
    const QString file = folders.write("sets/saved.tws", old);
    for (int i = 0; i < 100; ++i)
        window->lstUsers->addItem(QString("OWNER%1.").arg(i) + QString(100, 'O'));

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    ui.queueFileName(file);
    window->Button1Click();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(ui.messageTexts(), std::vector<QString>{"Unable to write to " + file});
    EXPECT_EQ(folders.read(file), old);
    EXPECT_EQ(entriesOf(folders.root() + "/sets"), QStringList{"saved.tws"});

    // With room the same save replaces the file whole.
    ui.clear();
    save(*window, "sets/saved.tws");
    EXPECT_TRUE(ui.messages.empty());
    const QByteArray text = folders.read(file);
    EXPECT_TRUE(text.startsWith("[TRAWL]\r\ncboDrives=") &&
                text.contains("\r\nlstUsers99=OWNER99." + QByteArray(100, 'O') + "\r\nchkHistory=0\r\n"));
    EXPECT_FALSE(text.contains("*.OLD"));
    EXPECT_EQ(entriesOf(folders.root() + "/sets"), QStringList{"saved.tws"});
}

}  // namespace
