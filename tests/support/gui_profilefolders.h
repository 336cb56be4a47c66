#pragma once

// Temporary stand-ins for the executable's folder and the user's configuration
// folder, so that no test touches the real ~/.config; drive C: maps to
// localRoot(). The process's current folder (which the folder list changes)
// and the drive table are put back when the guard goes.

#include <QString>
#include <QTemporaryDir>

class ScopedProfileFolders {
public:
    ScopedProfileFolders();
    ~ScopedProfileFolders();
    ScopedProfileFolders(const ScopedProfileFolders&) = delete;
    ScopedProfileFolders& operator=(const ScopedProfileFolders&) = delete;

    QString root() const { return m_dir.path(); }
    QString executableFolder() const { return root() + "/exe"; }
    QString configFolder() const { return root() + "/config/trawl"; }
    QString localRoot() const { return root() + "/local"; }

    // Writes a file, making its folders; a relative path is taken from root().
    QString write(const QString& path, const QByteArray& text) const;
    // The bytes of a file (a relative path from root()); empty when unreadable.
    QByteArray read(const QString& path) const;

private:
    QString absolute(const QString& path) const { return path.startsWith('/') ? path : root() + "/" + path; }

    QTemporaryDir m_dir;
    QString m_previousCurrentFolder;
};
