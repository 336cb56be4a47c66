#pragma once

// The folder list of one drive, in the classic style: the drive's root, then
// each folder from the root down to the current folder, then the subfolders of
// the current folder, each level indented one step further. The current folder
// is highlighted; a double-click or Enter on an entry makes it current.
// Folders are Windows paths on the drives of the drive table: "F:\" for a
// root, "F:\DATA\PUBLIC" below it (no trailing backslash).

#include <QListWidget>
#include <QString>

class FolderListBox : public QListWidget {
    Q_OBJECT

public:
    explicit FolderListBox(QWidget* parent = nullptr);

    // The current folder; empty until one has been set.
    QString directory() const { return m_directory; }
    // Makes a folder current ("f:", "F:\data\", "F:/DATA" all name the same
    // kind of path; names take the case they have on disk), lists it and makes
    // it the process's current folder. Returns 0, or a system error code
    // (ENOENT for a drive that is not mapped or a folder that does not exist,
    // ENOTDIR, EINVAL for a text that is no drive path) and changes nothing.
    int setDirectory(const QString& windowsPath);
    // The folder an entry stands for.
    QString entryFolder(int row) const;

signals:
    // The current folder changed, by the user or by setDirectory.
    void directoryChanged(const QString& directory);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openEntry(QListWidgetItem* item);
    void fill(const QString& root, const QStringList& components);

    QString m_directory;
};
