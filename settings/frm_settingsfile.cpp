// Save Settings, Load Settings and the settings file they share.
#include <QAbstractButton>
#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>
#include <variant>

#include "app/datepicker.h"
#include "app/folderlistbox.h"
#include "app/radiobutton.h"
#include "app/tfrmmain.h"
#include "output/outputfields.h"
#include "platform/uiservices.h"
#include "scan/attributeboxes.h"
#include "settings/profileroutines.h"

namespace {

constexpr const char* kSection = "TRAWL";

// The counts of template lines and owners are trusted up to this many; a
// larger count in a damaged file would otherwise fill the memo or the owner
// list with millions of empty entries. Save refuses a longer list rather than
// write one that would not load whole.
constexpr int kMaxListEntries = 10000;

std::string utf8(const QString& text) { return text.toStdString(); }
QString fromUtf8(const std::string& text) { return QString::fromStdString(text); }

// One key of the settings file and the control it holds. Keys are saved and
// loaded in the order of the table, which is the order of the file.
struct ComboText {
    QComboBox* Tfrmmain::*control;
};
struct FolderPath {};
struct RadioFlag {
    RadioButton* Tfrmmain::*control;
};
struct CheckFlag {
    QCheckBox* Tfrmmain::*control;
};
struct EditText {
    QLineEdit* Tfrmmain::*control;
};
struct Day {
    DatePicker* Tfrmmain::*control;
};
// A run of keys, one per box of a table, each named by its box: the attribute
// boxes in the order of their table, the output-field boxes in the order of
// their settingsRank.
struct AttributeFlags {};
struct OutputFieldFlags {};
using SettingControl =
    std::variant<ComboText, FolderPath, RadioFlag, CheckFlag, EditText, Day, AttributeFlags, OutputFieldFlags>;

struct SettingKey {
    const char* key;  // null for a run, whose boxes name their own keys
    SettingControl control;
};

// The date-type buttons come before the date-test buttons, whose rules the
// date-type rule resets, and chkOutputResults before chkAppend and
// chkCommandFile, whose rules check it again.
const SettingKey kSettingKeys[] = {
    {"cboDrives", ComboText{&Tfrmmain::cboDrives}},
    {"cboPattern", ComboText{&Tfrmmain::cboPattern}},
    {"cboPath", FolderPath{}},
    {"optSizeGreater", RadioFlag{&Tfrmmain::optSizeGreater}},
    {"optSizeLess", RadioFlag{&Tfrmmain::optSizeLess}},
    {"optSizeEqual", RadioFlag{&Tfrmmain::optSizeEqual}},
    {"optSizeIgnore", RadioFlag{&Tfrmmain::optSizeIgnore}},
    {"txtSizeBytes", EditText{&Tfrmmain::txtSizeBytes}},
    {"optDateAccessed", RadioFlag{&Tfrmmain::optDateAccessed}},
    {"optDateModified", RadioFlag{&Tfrmmain::optDateModified}},
    {"optDateCreation", RadioFlag{&Tfrmmain::optDateCreation}},
    {"optDateIgnore", RadioFlag{&Tfrmmain::optDateIgnore}},
    {"optDateBefore", RadioFlag{&Tfrmmain::optDateBefore}},
    {"optDateAfter", RadioFlag{&Tfrmmain::optDateAfter}},
    {"optDateBetween", RadioFlag{&Tfrmmain::optDateBetween}},
    {"optDateExact", RadioFlag{&Tfrmmain::optDateExact}},
    {"dtpBefore", Day{&Tfrmmain::dtpBefore}},
    {"dtpAfter", Day{&Tfrmmain::dtpAfter}},
    {"dtpExact", Day{&Tfrmmain::dtpExact}},
    {nullptr, AttributeFlags{}},
    {"chkOutputResults", CheckFlag{&Tfrmmain::chkOutputResults}},
    {"chkAppend", CheckFlag{&Tfrmmain::chkAppend}},
    {"chkCommandFile", CheckFlag{&Tfrmmain::chkCommandFile}},
    {"chkOutputHeadings", CheckFlag{&Tfrmmain::chkOutputHeadings}},
    {nullptr, OutputFieldFlags{}},
    {"chkOutputSurround", CheckFlag{&Tfrmmain::chkOutputSurround}},
    {"optOutputSepComma", RadioFlag{&Tfrmmain::optOutputSepComma}},
    {"optOutputSepTab", RadioFlag{&Tfrmmain::optOutputSepTab}},
    {"optOutputSepOther", RadioFlag{&Tfrmmain::optOutputSepOther}},
    {"txtOutputFilename", EditText{&Tfrmmain::txtOutputFilename}},
    {"txtOutputSepOther", EditText{&Tfrmmain::txtOutputSepOther}},
};

// The history's keys come after every key above and after the template and
// owner lists, so the keys of a file written before them stay where they
// were; a file without them loads their defaults (unchecked, empty).
const SettingKey kHistoryKeys[] = {
    {"chkHistory", CheckFlag{&Tfrmmain::chkHistory}},
    {"txtHistory", EditText{&Tfrmmain::txtHistory}},
    {"chkOutputChange", CheckFlag{&Tfrmmain::chkOutputChange}},
    {"chkOutputChangesOnly", CheckFlag{&Tfrmmain::chkOutputChangesOnly}},
};

constexpr std::array<const OutputFieldRow*, kOutputFieldCount> outputFieldsInSettingsOrder()
{
    std::array<const OutputFieldRow*, kOutputFieldCount> ordered{};
    for (const OutputFieldRow& row : kOutputFields)
        ordered[row.settingsRank] = &row;
    return ordered;
}
constexpr std::array<const OutputFieldRow*, kOutputFieldCount> kOutputFieldsInSettingsOrder =
    outputFieldsInSettingsOrder();
// Two rows of one rank would leave a key out of the file. Checked on the ranks
// themselves: a sanitizer build cannot compare a table's addresses at compile time.
constexpr bool settingsRanksAreDistinct()
{
    std::array<bool, kOutputFieldCount> taken{};
    for (const OutputFieldRow& row : kOutputFields) {
        if (row.settingsRank >= kOutputFieldCount || taken[row.settingsRank])
            return false;
        taken[row.settingsRank] = true;
    }
    return true;
}
static_assert(settingsRanksAreDistinct());

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

// The template lines as the memo shows them: a line wrapped at the memo's
// width gives one line per displayed row, and an empty last line (the text
// ends with a line break, or the memo is empty) is not a line.
QStringList displayedLines(QPlainTextEdit* memo)
{
    QStringList lines;
    QTextDocument* document = memo->document();
    QAbstractTextDocumentLayout* layout = document->documentLayout();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        if (!block.next().isValid() && text.isEmpty())
            break;
        layout->blockBoundingRect(block);  // lays the block out if it has not been yet
        const QTextLayout* blockLayout = block.layout();
        if (!blockLayout || blockLayout->lineCount() <= 1) {
            lines << text;
            continue;
        }
        for (int i = 0; i < blockLayout->lineCount(); ++i) {
            const QTextLine row = blockLayout->lineAt(i);
            lines << text.mid(row.textStart(), row.textLength());
        }
    }
    return lines;
}

// Replaces the memo's lines with these, as one step the user can undo.
void replaceLines(QPlainTextEdit* memo, const QStringList& lines)
{
    QTextCursor cursor(memo->document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            cursor.insertBlock();
        cursor.insertText(lines[i]);
    }
    cursor.endEditBlock();
}

// Save refuses, and load stops at, a value longer than a settings file holds.
QString overLimitMessage(const std::string& key)
{
    return QString("The value of %1 is longer than %2 bytes").arg(fromUtf8(key)).arg(kProfileValueLimit);
}

int listCount(std::int32_t stored) { return std::clamp<std::int32_t>(stored, 0, kMaxListEntries); }

QString tooManyMessage(const char* what, qsizetype count)
{
    return QString("A settings file holds at most %1 %2; the window has %3. Nothing was saved.")
        .arg(kMaxListEntries)
        .arg(what)
        .arg(count);
}

// The dialogs open where the last settings file was chosen, while that
// folder is there; else in the executable's folder. Save asks before it
// replaces a file.
FileDialogRequest settingsDialogRequest(const QString& lastFolder, bool fileMustExist)
{
    FileDialogRequest request;
    request.initialFolder = QFileInfo(lastFolder).isDir() ? lastFolder : fromUtf8(profile::executableFolder());
    request.defaultExtension = "tws";
    request.filterName = "Trawl Files *.tws";
    request.filterPattern = "*.tws";
    request.fileMustExist = fileMustExist;
    request.overwritePrompt = !fileMustExist;
    return request;
}

// The reads of one load of a settings file, and its refusals: a message box,
// after which the load goes no further.
class SettingsFileReads {
public:
    SettingsFileReads(const ProfileSectionReader& file, QWidget* owner) : m_file(file), m_owner(owner) {}

    QString text(std::string_view key) const { return fromUtf8(m_file.readString(key, "")); }
    std::int32_t integer(std::string_view key) const { return m_file.readInteger(key, 0); }
    bool flag(std::string_view key, QAbstractButton* button) const
    {
        button->setChecked(integer(key) != 0);
        return true;
    }
    bool refuse(const QString& message) const
    {
        uiServices().messageBox(m_owner, message, "Trawl");
        return false;
    }
    // A text longer than a settings file holds was not written by Save. Cut,
    // it could name another output file than the one meant: the load ends there.
    bool overLong(const std::string& key) const
    {
        if (!m_file.overLimit(key))
            return false;
        refuse(overLimitMessage(key));
        return true;
    }

private:
    const ProfileSectionReader& m_file;
    QWidget* m_owner;
};

// The file's template lines and owners replace those in the window: added
// to them, a second load would write every command twice and keep the
// owners of the first file in the owner test. Up to a refused key, the
// keys before it are applied, as for every other key.
bool loadListKeys(const SettingsFileReads& file, QPlainTextEdit* memCommandFile, QListWidget* lstUsers)
{
    QStringList lines;
    const int lineCount = listCount(file.integer("memCommandFileCount"));
    for (int i = 0; i < lineCount; ++i) {
        const std::string key = "memCommandFile" + std::to_string(i);
        if (file.overLong(key)) {
            replaceLines(memCommandFile, lines);
            return false;
        }
        lines << file.text(key.c_str());
    }
    replaceLines(memCommandFile, lines);

    lstUsers->clear();
    const int ownerCount = listCount(file.integer("lstUsersCount"));
    for (int j = 0; j < ownerCount; ++j) {
        const std::string key = "lstUsers" + std::to_string(j);
        if (file.overLong(key))
            return false;
        lstUsers->addItem(file.text(key.c_str()));
    }
    return true;
}

}  // namespace

void Tfrmmain::Button1Click()
{
    const std::optional<QString> chosen = uiServices().saveFileName(this,
                                                                    settingsDialogRequest(m_settingsFolder, false));
    if (!chosen)
        return;
    m_settingsFolder = QFileInfo(*chosen).absolutePath();
    // The whole name is used: a name cut at some length would name another file.
    const std::string fileName = utf8(*chosen);

    ProfileEntries entries;
    const auto addText = [&](std::string key, const QString& value) {
        entries.emplace_back(std::move(key), utf8(value));
    };
    const auto addInteger = [&](std::string key, std::int32_t value) {
        entries.emplace_back(std::move(key), std::to_string(value));
    };
    const auto addFlag = [&](std::string_view key, const QAbstractButton* button) {
        addInteger(std::string(key), button->isChecked() ? 1 : 0);
    };

    const auto saveKey = [&](const SettingKey& setting) {
        std::visit(Overloaded{
                       [&](const ComboText& c) { addText(setting.key, (this->*c.control)->currentText()); },
                       [&](const FolderPath&) { addText(setting.key, DirectoryListBox1->directory()); },
                       [&](const RadioFlag& c) { addFlag(setting.key, this->*c.control); },
                       [&](const CheckFlag& c) { addFlag(setting.key, this->*c.control); },
                       [&](const EditText& c) { addText(setting.key, (this->*c.control)->text()); },
                       [&](const Day& c) {
                           // Whole days, the fraction cut toward zero.
                           const double day = std::trunc((this->*c.control)->daySerial());
                           addInteger(setting.key, static_cast<std::int32_t>(day));
                       },
                       [&](const AttributeFlags&) {
                           for (const AttributeBoxRow& row : kAttributeBoxes)
                               addFlag(row.name, m_attributeBoxes[index(row.id)]);
                       },
                       [&](const OutputFieldFlags&) {
                           for (const OutputFieldRow* row : kOutputFieldsInSettingsOrder)
                               addFlag(row->name, m_outputFieldBoxes[index(row->id)]);
                       },
                   },
                   setting.control);
    };
    for (const SettingKey& setting : kSettingKeys)
        saveKey(setting);

    // A list cut at the limit would run other commands, or find other owners,
    // than the window shows: the save is refused with the reason instead.
    const QStringList lines = displayedLines(memCommandFile);
    if (lines.size() > kMaxListEntries) {
        uiServices().messageBox(this, tooManyMessage("template lines", lines.size()), "Trawl");
        return;
    }
    if (lstUsers->count() > kMaxListEntries) {
        uiServices().messageBox(this, tooManyMessage("owners", lstUsers->count()), "Trawl");
        return;
    }
    addInteger("memCommandFileCount", static_cast<std::int32_t>(lines.size()));
    for (qsizetype i = 0; i < lines.size(); ++i)
        addText("memCommandFile" + std::to_string(i), lines[i]);

    const int owners = lstUsers->count();
    addInteger("lstUsersCount", owners);
    for (int j = 0; j < owners; ++j)
        addText("lstUsers" + std::to_string(j), lstUsers->item(j)->text());
    for (const SettingKey& setting : kHistoryKeys)
        saveKey(setting);

    // A value cut to the limit could name another output file or folder than
    // the one meant, and the load refuses it anyway: nothing is written.
    for (const auto& [key, value] : entries) {
        if (value.size() > kProfileValueLimit) {
            uiServices().messageBox(this, overLimitMessage(key), "Trawl");
            return;
        }
    }
    // The file is replaced whole, so an older file of another layout leaves
    // no keys behind, and a failed write leaves it as it was.
    if (const ProfileWriteResult failed = IniReplaceFile(fileName, kSection, entries))
        uiServices().messageBox(this, fromUtf8(failed->message()), "Trawl");
    else
        showSettingsFile(*chosen);
}

void Tfrmmain::Button2Click()
{
    const std::optional<QString> chosen = uiServices().openFileName(this,
                                                                    settingsDialogRequest(m_settingsFolder, true));
    if (!chosen)
        return;
    m_settingsFolder = QFileInfo(*chosen).absolutePath();
    LoadSettings(*chosen);
}

bool Tfrmmain::LoadSettings(const QString& fileName)
{
    // The file is read once, not once per key: a long template or owner list
    // made the load take minutes, and cboPath changes the current folder, from
    // which a relative name would find the later keys in another file.
    const ProfileSectionReader settings(utf8(fileName), kSection);
    // A file that is not there (a name mistyped on the command line) is said
    // to be missing, with the file that was looked for, and nothing changes.
    if (!settings.fileRead()) {
        uiServices().messageBox(this,
                                QString("Unable to read settings file %1\n\n(looked for %2)")
                                    .arg(fileName, fromUtf8(ResolveProfilePath(utf8(fileName)))),
                                "Trawl");
        return false;
    }
    const SettingsFileReads file(settings, this);

    const auto applyKey = [&](const SettingKey& setting) {
        return std::visit(
            Overloaded{
                [&](const ComboText& c) {
                    // The text only: the drive-change rule would list the root of
                    // whatever the text names, and cboPath sets the folder anyway.
                    if (file.overLong(setting.key))
                        return false;
                    QComboBox* combo = this->*c.control;
                    const QSignalBlocker blocker(combo);
                    if (combo->isEditable())
                        combo->setEditText(file.text(setting.key));
                    else
                        combo->setCurrentText(file.text(setting.key));
                    return true;
                },
                [&](const FolderPath&) {
                    if (file.overLong(setting.key))
                        return false;
                    const QString folder = file.text(setting.key);
                    if (folder.isEmpty() || folder == DirectoryListBox1->directory())
                        return true;
                    if (const int code = DirectoryListBox1->setDirectory(folder); code != 0)
                        return file.refuse(QString("I/O error %1").arg(code));
                    return true;
                },
                // Checking a radio button runs its rule; clearing runs none.
                [&](const RadioFlag& c) { return file.flag(setting.key, this->*c.control); },
                [&](const CheckFlag& c) { return file.flag(setting.key, this->*c.control); },
                [&](const EditText& c) {
                    if (file.overLong(setting.key))
                        return false;
                    (this->*c.control)->setText(file.text(setting.key));
                    return true;
                },
                [&](const Day& c) {
                    const QString refusal = (this->*c.control)->setDaySerial(file.integer(setting.key));
                    return refusal.isEmpty() ? true : file.refuse(refusal);
                },
                [&](const AttributeFlags&) {
                    for (const AttributeBoxRow& row : kAttributeBoxes)
                        file.flag(row.name, m_attributeBoxes[index(row.id)]);
                    return true;
                },
                [&](const OutputFieldFlags&) {
                    for (const OutputFieldRow* row : kOutputFieldsInSettingsOrder)
                        file.flag(row->name, m_outputFieldBoxes[index(row->id)]);
                    return true;
                },
            },
            setting.control);
    };
    for (const SettingKey& setting : kSettingKeys)
        if (!applyKey(setting))
            return false;
    if (!loadListKeys(file, memCommandFile, lstUsers))
        return false;
    for (const SettingKey& setting : kHistoryKeys)
        if (!applyKey(setting))
            return false;
    showSettingsFile(fileName);
    return true;
}

void Tfrmmain::showSettingsFile(const QString& fileName)
{
    // The name of the file the profile routines used, without its folder: a
    // drive path or a bare name on the command line is shown as found.
    const QString shown = QFileInfo(fromUtf8(ResolveProfilePath(utf8(fileName)))).fileName();
    setWindowTitle(shown + " - Trawl");
}
