// The window's size, place, state and results columns, kept in TRAWL.INI
// from one run to the next.
#include <QComboBox>
#include <QHeaderView>
#include <QTreeView>

#include "app/folderlistbox.h"
#include "app/tfrmmain.h"
#include "platform/uiservices.h"
#include "settings/profileroutines.h"

namespace {

constexpr const char* kStateFile = "TRAWL.INI";
constexpr int kDefaultColumnWidth = 110;
constexpr int kStoredColumns = 4;

enum StoredState : std::int32_t { Normal = 0, Minimised = 1, Maximised = 2 };

std::string columnKey(int column) { return "Column" + std::to_string(column); }

// The desktop's habits, in sections of their own beside Size and Columns.
constexpr const char* kLastScanSection = "LastScan";
constexpr const char* kPatternsSection = "Patterns";
constexpr const char* kSettingsFilesSection = "SettingsFiles";
constexpr int kTypedPatternCount = 10;

std::string patternKey(int slot) { return "Pattern" + std::to_string(slot); }

// A value the file holds whole; a cut one would name another folder or
// pattern, so it counts as none, when read and when about to be written.
bool storable(const QString& value) { return value.toStdString().size() <= kProfileValueLimit; }

QString storedText(const ProfileSectionReader& section, const std::string& key)
{
    return section.overLimit(key) ? QString() : QString::fromStdString(section.readString(key, ""));
}

// One of the patterns the list has of its own, below the typed ones shown
// above them. Patterns compare blind to case, as the wildcard match does.
bool isListPattern(const QComboBox* patterns, qsizetype typedShown, const QString& pattern)
{
    return patterns->findText(pattern, Qt::MatchFixedString) >= typedShown;
}

}  // namespace

void Tfrmmain::RestoreWindowState()
{
    // Every value is read by its own call, so each resolves the file anew.
    // A stored 0 means "no value": the designed size, or centred on that axis.
    if (const std::int32_t storedWidth = IniReadInteger(kStateFile, "Size", "Width", 0); storedWidth != 0)
        resize(storedWidth, height());  // the minimum size still holds
    if (const std::int32_t storedHeight = IniReadInteger(kStateFile, "Size", "Height", 0); storedHeight != 0)
        resize(width(), storedHeight);

    const QSize screen = uiServices().screenSize();
    // Centring divides with the fraction dropped toward zero, so a window
    // larger than the screen gets a negative edge.
    std::int32_t top = IniReadInteger(kStateFile, "Size", "Top", 0);
    if (top == 0)
        top = (screen.height() - height()) / 2;
    move(x(), top);
    std::int32_t left = IniReadInteger(kStateFile, "Size", "Left", 0);
    if (left == 0)
        left = (screen.width() - width()) / 2;
    move(left, y());

    // Values other than 1 and 2 give the normal state.
    Qt::WindowStates state = windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    switch (IniReadInteger(kStateFile, "Size", "State", Normal)) {
    case Minimised:
        state |= Qt::WindowMinimized;
        break;
    case Maximised:
        state |= Qt::WindowMaximized;
        break;
    default:
        break;
    }
    setWindowState(state);

    for (int column = 0; column < kStoredColumns; ++column) {
        std::int32_t columnWidth = IniReadInteger(kStateFile, "Columns", columnKey(column), kDefaultColumnWidth);
        if (columnWidth < 0)
            columnWidth = kDefaultColumnWidth;  // no width to give a column
        lvwResults->setColumnWidth(column, columnWidth);
    }

    // A habit missing or damaged in the file is simply not there.
    const ProfileSectionReader lastScan(kStateFile, kLastScanSection);
    m_lastScanFolder = storedText(lastScan, "Folder");
    m_lastScanPattern = storedText(lastScan, "Pattern");
    const ProfileSectionReader patterns(kStateFile, kPatternsSection);
    QStringList typed;
    for (int slot = 0; slot < kTypedPatternCount; ++slot) {
        const QString pattern = storedText(patterns, patternKey(slot));
        if (!pattern.isEmpty() && !typed.contains(pattern, Qt::CaseInsensitive) &&
            !isListPattern(cboPattern, m_typedPatterns.size(), pattern))
            typed << pattern;
    }
    setTypedPatterns(typed);
    if (!m_lastScanPattern.isEmpty())
        cboPattern->setEditText(m_lastScanPattern);
    m_settingsFolder = storedText(ProfileSectionReader(kStateFile, kSettingsFilesSection), "Folder");
}

void Tfrmmain::RestoreLastScanFolder()
{
    // A folder removed, or a drive no longer mapped, leaves the drive list's
    // own choice without a word: the folder is a habit, not a setting.
    if (!m_lastScanFolder.isEmpty() && DirectoryListBox1->setDirectory(m_lastScanFolder) == 0)
        selectDriveOf(DirectoryListBox1->directory());
}

void Tfrmmain::rememberScan(const QString& folder, const QString& pattern)
{
    if (storable(folder))
        m_lastScanFolder = folder;
    if (!storable(pattern))
        return;
    m_lastScanPattern = pattern;
    // The list's own patterns stay where they are.
    if (isListPattern(cboPattern, m_typedPatterns.size(), pattern))
        return;
    QStringList typed = m_typedPatterns;
    typed.removeIf([&](const QString& known) { return known.compare(pattern, Qt::CaseInsensitive) == 0; });
    typed.prepend(pattern);
    setTypedPatterns(typed.mid(0, kTypedPatternCount));
}

void Tfrmmain::setTypedPatterns(const QStringList& patterns)
{
    const QString text = cboPattern->currentText();
    for (qsizetype shown = 0; shown < m_typedPatterns.size(); ++shown)
        cboPattern->removeItem(0);
    cboPattern->insertItems(0, patterns);
    m_typedPatterns = patterns;
    cboPattern->setEditText(text);
}

void Tfrmmain::FormClose()
{
    // One message for a file that cannot be written, then the rest is not
    // tried; the window closes all the same, as its state is only a comfort.
    const auto failed = [&](const ProfileWriteResult& result) {
        if (!result)
            return false;
        uiServices().messageBox(this, QString::fromStdString(result->message()), "Trawl");
        return true;
    };

    const StoredState state = isMinimized() ? Minimised : isMaximized() ? Maximised : Normal;
    if (failed(IniWriteInteger(kStateFile, "Size", "State", state)))
        return;
    // Minimised or maximised, the four keys keep the last normal size and place.
    if (state == Normal) {
        if (failed(IniWriteInteger(kStateFile, "Size", "Width", width())) ||
            failed(IniWriteInteger(kStateFile, "Size", "Height", height())) ||
            failed(IniWriteInteger(kStateFile, "Size", "Top", y())) ||
            failed(IniWriteInteger(kStateFile, "Size", "Left", x())))
            return;
    }
    for (int column = 0; column < kStoredColumns; ++column) {
        if (failed(IniWriteInteger(kStateFile, "Columns", columnKey(column), lvwResults->columnWidth(column))))
            return;
    }

    // Only what there is: a window that never scanned adds no sections.
    const auto writeHabit = [&](const char* section, const std::string& key, const QString& value) {
        return !value.isEmpty() && failed(IniWriteString(kStateFile, section, key, value.toStdString()));
    };
    if (writeHabit(kLastScanSection, "Folder", m_lastScanFolder) ||
        writeHabit(kLastScanSection, "Pattern", m_lastScanPattern))
        return;
    for (int slot = 0; slot < m_typedPatterns.size(); ++slot) {
        if (writeHabit(kPatternsSection, patternKey(slot), m_typedPatterns[slot]))
            return;
    }
    writeHabit(kSettingsFilesSection, "Folder", m_settingsFolder);
}
