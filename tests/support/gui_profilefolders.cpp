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

QString ScopedProfileFolders::writeFile(const QString& path, const QByteArray& text) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
    return path;
}

QString ScopedProfileFolders::writeConfigFile(const QString& name, const QByteArray& text) const
{
    return writeFile(configFolder() + "/" + name, text);
}

QString ScopedProfileFolders::writeExecutableFile(const QString& name, const QByteArray& text) const
{
    return writeFile(executableFolder() + "/" + name, text);
}

QByteArray ScopedProfileFolders::readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
