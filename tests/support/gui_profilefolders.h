#pragma once

// Temporary stand-ins for the executable's folder and the user's
// configuration folder, so a test never touches the real ~/.config:
//
//     ScopedProfileFolders folders;
//     folders.writeConfigFile("a.tws", "[TRAWL]\r\n...");   // a bare "a.tws" now names it
//
// The guard also maps drive C: to a host folder of its own (localRoot()), puts
// the process's current folder back (the folder list changes it) and clears the
// drive table when it goes.

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
    // The host folder of drive C:.
    QString localRoot() const { return root() + "/local"; }

    // Writes a file (folders made as needed) and returns its full name.
    QString writeFile(const QString& path, const QByteArray& text) const;
    QString writeConfigFile(const QString& name, const QByteArray& text) const;
    QString writeExecutableFile(const QString& name, const QByteArray& text) const;
    // The bytes of a file; empty when it cannot be read.
    static QByteArray readFile(const QString& path);

private:
    QTemporaryDir m_dir;
    QString m_previousCurrentFolder;
};
