// The folder the scan starts from, always in view: the path box above the
// folder list, and the note beside Start while the list highlights another.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <cerrno>
#include <cstring>

#include "app/folderlistbox.h"
#include "app/tfrmmain.h"
#include "platform/uiservices.h"

namespace {

// Why a typed folder cannot be opened, in words.
QString refusalMessage(const QString& typed, int code)
{
    switch (code) {
    case ENOENT:
        return QStringLiteral("The folder %1 does not exist.").arg(typed);
    case ENOTDIR:
        return QStringLiteral("%1 is a file, not a folder.").arg(typed);
    case EINVAL:
        return QStringLiteral("%1 is not a folder path. Type a drive letter, a colon and the folder, "
                              "such as F:\\PUBLIC\\REPORTS.")
            .arg(typed);
    default:
        return QStringLiteral("Cannot open the folder %1\n\n%2")
            .arg(typed, QString::fromLocal8Bit(std::strerror(code)));
    }
}

// A path breaks after its backslashes in a narrow label.
QString breakable(const QString& path)
{
    QString text = path;
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\u200B"));
    return text;
}

}  // namespace

void Tfrmmain::txtPathEditingFinished()
{
    if (m_applyingPath)
        return;
    const QString typed = txtPath->text().trimmed();
    const QString current = DirectoryListBox1->directory();
    if (typed.isEmpty() || typed == current) {
        txtPath->setText(current);
        return;
    }
    m_applyingPath = true;
    if (const int code = DirectoryListBox1->setDirectory(typed); code != 0) {
        // The box goes back to the folder the scan starts from: a path that
        // was refused must not look like the start folder.
        txtPath->setText(current);
        uiServices().messageBox(this, refusalMessage(typed, code), QStringLiteral("Trawl"));
    } else {
        const QString folder = DirectoryListBox1->directory();
        selectDriveOf(folder);
        txtPath->setText(folder);
    }
    m_applyingPath = false;
}

void Tfrmmain::selectDriveOf(const QString& folder)
{
    // Choosing the entry this way runs no drive rule, which would list the
    // drive's root.
    for (int entry = 0; entry < cboDrives->count(); ++entry) {
        if (cboDrives->itemText(entry).startsWith(folder.left(1), Qt::CaseInsensitive)) {
            const QSignalBlocker blocker(cboDrives);
            cboDrives->setCurrentIndex(entry);
            return;
        }
    }
}

void Tfrmmain::ShowStartFolder()
{
    const QString folder = DirectoryListBox1->directory();
    if (!txtPath->hasFocus() || !txtPath->isModified())
        txtPath->setText(folder);
    const int row = DirectoryListBox1->currentRow();
    const QString highlighted = row >= 0 ? DirectoryListBox1->entryFolder(row) : folder;
    if (folder.isEmpty() || highlighted == folder) {
        lblStartFolder->clear();
        lblStartFolder->setVisible(false);
        return;
    }
    // A single click only highlights; Start still scans the opened folder.
    lblStartFolder->setText(
        QStringLiteral("Start scans:\n%1\n\nDouble-click a folder to start there instead.").arg(breakable(folder)));
    lblStartFolder->setToolTip(QStringLiteral("Start scans %1, not the highlighted %2").arg(folder, highlighted));
    lblStartFolder->setVisible(true);
}
