#include "support/gui_profilefolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/drives.h"
#include "settings/profileroutines.h"

ScopedProfileFolders::ScopedProfileFolders() : m_previousCurrentFolder(QDir::currentPath())
{
    QDir().mkpath(executableFolder());
    QDir().mkpath(localRoot());
    profile::setExecutableFolder(executableFolder().toStdString());
    profile::setConfigFolder(configFolder().toStdString());
    platform::drives().clear();
    platform::drives().setDrive('C', localRoot().toStdString());
}

ScopedProfileFolders::~ScopedProfileFolders()
{
    QDir::setCurrent(m_previousCurrentFolder);
    platform::drives().clear();
    profile::setExecutableFolder({});
    profile::setConfigFolder({});
}

QString ScopedProfileFolders::write(const QString& path, const QByteArray& text) const
{
    const QString full = absolute(path);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
    return full;
}

QByteArray ScopedProfileFolders::read(const QString& path) const
{
    QFile file(absolute(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
