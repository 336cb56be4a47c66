// The window's size, place, state and results columns kept in TRAWL.INI.

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QTreeView>
#include <memory>

#include "app/tfrmmain.h"
#include "settings/profileroutines.h"
#include "support/gui_profilefolders.h"
#include "support/gui_recordinguiservices.h"

namespace {

QByteArray sizeSection(int width, int height, int top, int left, int state)
{
    return QString("[Size]\r\nWidth=%1\r\nHeight=%2\r\nTop=%3\r\nLeft=%4\r\nState=%5\r\n")
        .arg(width)
        .arg(height)
        .arg(top)
        .arg(left)
        .arg(state)
        .toUtf8();
}

class WindowStateTest : public ::testing::Test {
protected:
    std::unique_ptr<Tfrmmain> restored(const QByteArray& stateFile)
    {
        if (!stateFile.isNull())
            folders.write(configIni(), stateFile);
        auto w = std::make_unique<Tfrmmain>();
        for (int column = 0; column < 4; ++column)
            w->lvwResults->setColumnWidth(column, 50);
        w->RestoreWindowState();
        return w;
    }
    static QList<int> columns(const Tfrmmain& w)
    {
        return {w.lvwResults->columnWidth(0), w.lvwResults->columnWidth(1), w.lvwResults->columnWidth(2),
                w.lvwResults->columnWidth(3)};
    }
    QString configIni() const { return folders.configFolder() + "/TRAWL.INI"; }

    ScopedProfileFolders folders;
    RecordingUiServices ui;
    ScopedUiServices installed{ui};
};

TEST_F(WindowStateTest, Restore)
{
    const QByteArray columnSection = "[Columns]\r\nColumn0=50\r\ncolumn1=0\r\nCOLUMN2=$12C\r\nColumn3=-5\r\n";
    const struct {
        const char* name;
        QByteArray file;
        QSize screen, size;
        QPoint pos;
        Qt::WindowStates state;
        QList<int> columns;
    } cases[] = {
        {"first run", {}, {1024, 768}, {667, 500}, {178, 134}, Qt::WindowNoState, {110, 110, 110, 110}},
        {"as stored",
         sizeSection(800, 600, 10, 20, 0) + columnSection,
         {1024, 768},
         {800, 600},
         {20, 10},
         Qt::WindowNoState,
         {50, 0, 300, 110}},
        {"zero edges centre",
         sizeSection(800, 600, 0, 0, 0),
         {1024, 768},
         {800, 600},
         {112, 84},
         Qt::WindowNoState,
         {110, 110, 110, 110}},
        {"below the minimum",
         sizeSection(100, 100, -30, -40, 0),
         {1024, 768},
         {595, 442},
         {-40, -30},
         Qt::WindowNoState,
         {110, 110, 110, 110}},
        // (767 - 900) / 2 is -66 with the fraction dropped toward zero.
        {"larger than the screen",
         sizeSection(1200, 900, 0, 0, 0),
         {1024, 767},
         {1200, 900},
         {-88, -66},
         Qt::WindowNoState,
         {110, 110, 110, 110}},
        {"minimised",
         sizeSection(0, 0, 5, 5, 1),
         {1024, 768},
         {667, 500},
         {5, 5},
         Qt::WindowMinimized,
         {110, 110, 110, 110}},
        {"maximised",
         sizeSection(0, 0, 5, 5, 2),
         {1024, 768},
         {667, 500},
         {5, 5},
         Qt::WindowMaximized,
         {110, 110, 110, 110}},
        {"unknown state",
         sizeSection(0, 0, 5, 5, 7),
         {1024, 768},
         {667, 500},
         {5, 5},
         Qt::WindowNoState,
         {110, 110, 110, 110}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(configIni());
        ui.screen = c.screen;
        auto w = restored(c.file);
        EXPECT_EQ(w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized), c.state);
        w->setWindowState(Qt::WindowNoState);  // the normal size and place lie beneath
        EXPECT_EQ(w->size(), c.size);
        EXPECT_EQ(w->pos(), c.pos);
        EXPECT_EQ(columns(*w), c.columns);
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(WindowStateTest, CloseWritesTheStateAndOnlyANormalSizeAndPlace)
{
    for (const auto& [state, stored] :
         {std::pair{Qt::WindowNoState, 0}, {Qt::WindowMaximized, 2}, {Qt::WindowMinimized, 1}}) {
        SCOPED_TRACE(stored);
        auto w = restored(sizeSection(700, 520, 30, 40, 0));
        w->resize(720, 530);
        w->move(11, 12);
        w->lvwResults->setColumnWidth(3, 300);
        w->setWindowState(state);
        w->FormClose();
        const QByteArray size = stored == 0 ? "Width=720\r\nHeight=530\r\nTop=12\r\nLeft=11\r\n"
                                            : "Width=700\r\nHeight=520\r\nTop=30\r\nLeft=40\r\n";
        EXPECT_EQ(folders.read(configIni()),
                  "[Size]\r\n" + size + "State=" + QByteArray::number(stored) +
                      "\r\n[Columns]\r\nColumn0=110\r\nColumn1=110\r\nColumn2=110\r\nColumn3=300\r\n");
    }
}

TEST_F(WindowStateTest, ACopyBesideTheExecutableIsUsedInstead)
{
    const QByteArray configCopy = sizeSection(900, 600, 10, 10, 0);
    folders.write(configIni(), configCopy);
    folders.write(folders.executableFolder() + "/TRAWL.INI", sizeSection(700, 520, 30, 40, 0));
    auto w = restored({});
    EXPECT_EQ(w->size(), QSize(700, 520));
    w->resize(720, 530);
    w->FormClose();
    EXPECT_TRUE(folders.read(folders.executableFolder() + "/TRAWL.INI").contains("Width=720\r\n"));
    EXPECT_EQ(folders.read(configIni()), configCopy);
}

TEST_F(WindowStateTest, AnUnwritableFileGivesOneMessageAndTheWindowStillCloses)
{
    folders.write("blocked", "a file where the folder should be");
    profile::setConfigFolder((folders.root() + "/blocked/trawl").toStdString());
    Tfrmmain w;
    QCloseEvent close;
    QCoreApplication::sendEvent(&w, &close);
    EXPECT_TRUE(close.isAccepted());
    EXPECT_EQ(ui.messageTexts(),
              std::vector<QString>{"Unable to write to " + folders.root() + "/blocked/trawl/TRAWL.INI"});
}

}  // namespace
