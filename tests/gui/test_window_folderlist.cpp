// The folder list of one drive, on a drive table pointing at a temporary folder.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <gtest/gtest.h>

#include "app/folderlistbox.h"
#include "app/tfrmmain.h"
#include "platform/drives.h"
#include "support/gui_recordinguiservices.h"

namespace {

class FolderList : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        const QDir root(temp.path());
        for (const char* folder : {"DATA/PUBLIC/Alpha", "DATA/PUBLIC/beta", "DATA/EMPTY", "OTHER"})
            ASSERT_TRUE(root.mkpath(QString::fromLatin1(folder)));
        QFile file(root.filePath(QStringLiteral("DATA/notes.txt")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        platform::drives().clear();
        platform::drives().setDrive('F', temp.path().toStdString());
    }

    void TearDown() override
    {
        QDir::setCurrent(m_startFolder);
        platform::drives().clear();
    }

    QStringList entries() const
    {
        QStringList texts;
        for (int row = 0; row < list.count(); ++row)
            texts << list.item(row)->text();
        return texts;
    }

    QString host(const char* relative) const { return QDir(temp.path()).filePath(QString::fromLatin1(relative)); }

    static QString canonical(const QString& path) { return QDir(path).canonicalPath(); }

    RecordingUiServices ui;
    ScopedUiServices installed{ui};
    QString m_startFolder = QDir::currentPath();
    QTemporaryDir temp;
    FolderListBox list;
};

}  // namespace

TEST_F(FolderList, ShowsTheRootTheWayDownAndTheSubfoldersOfTheCurrentFolder)
{
    ASSERT_EQ(list.setDirectory(QStringLiteral("F:\\")), 0);
    EXPECT_EQ(list.directory(), QStringLiteral("F:\\"));
    EXPECT_EQ(entries(), QStringList({"F:\\", "DATA", "OTHER"})) << "files are not listed";
    EXPECT_EQ(list.currentRow(), 0);
    EXPECT_EQ(canonical(QDir::currentPath()), canonical(temp.path()));

    ASSERT_EQ(list.setDirectory(QStringLiteral("F:\\DATA\\PUBLIC")), 0);
    EXPECT_EQ(list.directory(), QStringLiteral("F:\\DATA\\PUBLIC"));
    EXPECT_EQ(entries(), QStringList({"F:\\", "DATA", "PUBLIC", "Alpha", "beta"}));
    EXPECT_EQ(list.currentRow(), 2) << "the current folder is highlighted";
    EXPECT_EQ(list.entryFolder(1), QStringLiteral("F:\\DATA"));
    EXPECT_EQ(list.entryFolder(3), QStringLiteral("F:\\DATA\\PUBLIC\\Alpha"));
    EXPECT_EQ(canonical(QDir::currentPath()), canonical(host("DATA/PUBLIC")));
}

TEST_F(FolderList, AcceptsTheUsualSpellingsOfAPathAndShowsTheNamesOnDisk)
{
    const struct {
        const char* typed;
        const char* current;
    } cases[] = {
        {"f:", "F:\\"},
        {"F:\\data\\public\\", "F:\\DATA\\PUBLIC"},
        {"f:/Data/Public/ALPHA", "F:\\DATA\\PUBLIC\\Alpha"},
        {"F:\\DATA\\.\\PUBLIC\\..\\EMPTY", "F:\\DATA\\EMPTY"},
        {"F:\\..\\..", "F:\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(list.setDirectory(QString::fromLatin1(c.typed)), 0);
        EXPECT_EQ(list.directory(), QString::fromLatin1(c.current));
    }
}

TEST_F(FolderList, RefusesWhatIsNoFolderAndChangesNothing)
{
    ASSERT_EQ(list.setDirectory(QStringLiteral("F:\\DATA")), 0);
    const QStringList before = entries();
    QSignalSpy changed(&list, &FolderListBox::directoryChanged);
    const struct {
        const char* typed;
        int code;
    } cases[] = {
        {"F:\\MISSING", ENOENT}, {"F:\\DATA\\notes.txt", ENOTDIR}, {"Q:\\", ENOENT}, {"DATA", EINVAL}, {"", EINVAL},
        {"F:\\DATA\\*", ENOENT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(list.setDirectory(QString::fromLatin1(c.typed)), c.code);
        EXPECT_EQ(list.directory(), QStringLiteral("F:\\DATA"));
        EXPECT_EQ(entries(), before);
    }
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(canonical(QDir::currentPath()), canonical(host("DATA")));
}

TEST_F(FolderList, DoubleClickOrEnterOpensAnEntryAndTellsWhoListens)
{
    ASSERT_EQ(list.setDirectory(QStringLiteral("F:\\DATA")), 0);
    QSignalSpy changed(&list, &FolderListBox::directoryChanged);
    const int publicRow = entries().indexOf(QStringLiteral("PUBLIC"));
    ASSERT_GE(publicRow, 0);

    QListWidgetItem* entry = list.item(publicRow);
    emit list.itemDoubleClicked(entry);
    EXPECT_EQ(list.directory(), QStringLiteral("F:\\DATA\\PUBLIC"));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toString(), QStringLiteral("F:\\DATA\\PUBLIC"));

    list.setCurrentRow(0);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(list.directory(), QStringLiteral("F:\\"));
    EXPECT_EQ(changed.count(), 2);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(FolderList, AFolderGoneSinceItWasListedIsReportedOnce)
{
    ASSERT_EQ(list.setDirectory(QStringLiteral("F:\\DATA")), 0);
    ASSERT_TRUE(QDir(host("DATA/EMPTY")).removeRecursively());
    list.setCurrentRow(entries().indexOf(QStringLiteral("EMPTY")));
    QTest::keyClick(&list, Qt::Key_Enter);
    EXPECT_EQ(list.directory(), QStringLiteral("F:\\DATA"));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].text.contains(QStringLiteral("F:\\DATA\\EMPTY")));
    EXPECT_EQ(ui.messages[0].title, QStringLiteral("Trawl"));
}

TEST_F(FolderList, TheUsersChoiceOfADrivePointsTheWindowsFolderListAtItsRoot)
{
    Tfrmmain window;
    ASSERT_EQ(window.DirectoryListBox1->setDirectory(QStringLiteral("F:\\DATA\\PUBLIC")), 0);
    window.cboDrives->addItem(QStringLiteral("F:       FS1/SYS:"));
    window.cboDrives->setCurrentIndex(0);
    EXPECT_EQ(window.DirectoryListBox1->directory(), QStringLiteral("F:\\DATA\\PUBLIC"))
        << "the program's own selection runs no handler";
    emit window.cboDrives->activated(0);
    EXPECT_EQ(window.DirectoryListBox1->directory(), QStringLiteral("F:\\"));
}
