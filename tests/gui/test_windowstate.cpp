// The window's size, place, state and results columns kept in TRAWL.INI.

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTreeView>
#include <memory>

#include "app/tfrmmain.h"
#include "settings/profileroutines.h"
#include "support/gui_profilefolders.h"
#include "support/gui_recordinguiservices.h"

namespace {

QByteArray stateFile(int width, int height, int top, int left, int state, const QByteArray& columns = {})
{
    return "[Size]\r\nWidth=" + QByteArray::number(width) + "\r\nHeight=" + QByteArray::number(height) +
           "\r\nTop=" + QByteArray::number(top) + "\r\nLeft=" + QByteArray::number(left) +
           "\r\nState=" + QByteArray::number(state) + "\r\n" + columns;
}

class WindowStateTest : public ::testing::Test {
protected:
    void SetUp() override { window = std::make_unique<Tfrmmain>(); }

    QString configIni() const { return folders.configFolder() + "/TRAWL.INI"; }
    QList<int> columnWidths(const Tfrmmain& w) const
    {
        QList<int> widths;
        for (int column = 0; column < 4; ++column)
            widths << w.lvwResults->columnWidth(column);
        return widths;
    }
    void setColumnWidths(Tfrmmain& w, const QList<int>& widths)
    {
        for (int column = 0; column < widths.size(); ++column)
            w.lvwResults->setColumnWidth(column, widths[column]);
    }

    ScopedProfileFolders folders;
    RecordingUiServices ui;
    ScopedUiServices installed{ui};
    std::unique_ptr<Tfrmmain> window;
};

TEST_F(WindowStateTest, FirstRunIsTheDesignedSizeCentredWithColumnsOf110)
{
    setColumnWidths(*window, {50, 60, 70, 80});
    window->RestoreWindowState();
    EXPECT_EQ(window->size(), QSize(667, 500));
    EXPECT_EQ(window->pos(), QPoint((1024 - 667) / 2, (768 - 500) / 2));
    EXPECT_EQ(window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized), Qt::WindowNoState);
    EXPECT_EQ(columnWidths(*window), (QList<int>{110, 110, 110, 110}));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(QFileInfo::exists(configIni())) << "reading creates nothing";
}

TEST_F(WindowStateTest, StoredSizeAndPlace)
{
    struct Case {
        const char* name;
        int width, height, top, left;
        QSize screen;
        QSize expectedSize;
        QPoint expectedPos;
    } const cases[] = {
        {"as stored", 800, 600, 10, 20, {1024, 768}, {800, 600}, {20, 10}},
        {"zero edges centre", 800, 600, 0, 0, {1024, 768}, {800, 600}, {112, 84}},
        {"zero size keeps the design", 0, 0, 0, 7, {1024, 768}, {667, 500}, {7, 134}},
        {"negative edges", 700, 500, -30, -40, {1024, 768}, {700, 500}, {-40, -30}},
        {"minimum size", 100, 100, 5, 5, {1024, 768}, {595, 442}, {5, 5}},
        // (767 - 900) / 2 is -66 when the fraction is dropped toward zero.
        {"larger than the screen", 1200, 900, 0, 0, {1024, 767}, {1200, 900}, {-88, -66}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        folders.writeConfigFile("TRAWL.INI", stateFile(c.width, c.height, c.top, c.left, 0));
        ui.screen = c.screen;
        auto w = std::make_unique<Tfrmmain>();
        w->RestoreWindowState();
        EXPECT_EQ(w->size(), c.expectedSize);
        EXPECT_EQ(w->pos(), c.expectedPos);
    }
}

TEST_F(WindowStateTest, StoredStates)
{
    struct Case {
        int stored;
        bool minimised;
        bool maximised;
    } const cases[] = {{0, false, false}, {1, true, false}, {2, false, true}, {3, false, false}, {-1, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        folders.writeConfigFile("TRAWL.INI", stateFile(700, 520, 30, 40, c.stored));
        auto w = std::make_unique<Tfrmmain>();
        w->RestoreWindowState();
        EXPECT_EQ(w->isMinimized(), c.minimised);
        EXPECT_EQ(w->isMaximized(), c.maximised);
    }
}

TEST_F(WindowStateTest, StoredColumnWidths)
{
    folders.writeConfigFile("TRAWL.INI", stateFile(0, 0, 0, 0, 0,
                                                   "[Columns]\r\nColumn0=50\r\ncolumn1=0\r\nCOLUMN2=$12C\r\nColumn3=-5\r\n"));
    window->RestoreWindowState();
    EXPECT_EQ(columnWidths(*window), (QList<int>{50, 0, 300, 110}));
}

TEST_F(WindowStateTest, ClosingNormalWritesEveryKeyInOrder)
{
    window->resize(700, 520);
    window->move(30, 40);
    setColumnWidths(*window, {120, 80, 150, 300});
    window->FormClose();
    EXPECT_EQ(ScopedProfileFolders::readFile(configIni()),
              "[Size]\r\nState=0\r\nWidth=700\r\nHeight=520\r\nTop=40\r\nLeft=30\r\n"
              "[Columns]\r\nColumn0=120\r\nColumn1=80\r\nColumn2=150\r\nColumn3=300\r\n");
    EXPECT_TRUE(ui.messages.empty());

    // And the next run comes back the same.
    auto next = std::make_unique<Tfrmmain>();
    next->RestoreWindowState();
    EXPECT_EQ(next->geometry().size(), QSize(700, 520));
    EXPECT_EQ(next->pos(), QPoint(30, 40));
    EXPECT_EQ(columnWidths(*next), (QList<int>{120, 80, 150, 300}));
}

TEST_F(WindowStateTest, ClosingMaximisedOrMinimisedKeepsTheLastNormalPlace)
{
    for (const auto& [state, stored] : {std::pair{Qt::WindowMaximized, 2}, std::pair{Qt::WindowMinimized, 1}}) {
        SCOPED_TRACE(stored);
        folders.writeConfigFile("TRAWL.INI", stateFile(700, 520, 30, 40, 0));
        auto w = std::make_unique<Tfrmmain>();
        w->RestoreWindowState();
        w->resize(900, 700);  // moved on since the last close, then maximised or minimised
        w->setWindowState(state);
        w->FormClose();
        EXPECT_EQ(ScopedProfileFolders::readFile(configIni()),
                  stateFile(700, 520, 30, 40, stored, "[Columns]\r\nColumn0=110\r\nColumn1=110\r\nColumn2=110\r\nColumn3=110\r\n"));

        // It starts in that state, and coming out of it gives the last normal size and place.
        auto next = std::make_unique<Tfrmmain>();
        next->RestoreWindowState();
        EXPECT_EQ(next->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized), state);
        next->setWindowState(Qt::WindowNoState);
        EXPECT_EQ(next->size(), QSize(700, 520));
        EXPECT_EQ(next->pos(), QPoint(40, 30));
    }
}

TEST_F(WindowStateTest, ACopyBesideTheExecutableIsUsedInstead)
{
    const QByteArray configCopy = stateFile(900, 600, 10, 10, 0);
    folders.writeConfigFile("TRAWL.INI", configCopy);
    folders.writeExecutableFile("TRAWL.INI", stateFile(700, 520, 30, 40, 0));

    window->RestoreWindowState();
    EXPECT_EQ(window->size(), QSize(700, 520));
    window->resize(720, 530);
    window->FormClose();

    EXPECT_TRUE(ScopedProfileFolders::readFile(folders.executableFolder() + "/TRAWL.INI").contains("Width=720\r\n"));
    EXPECT_EQ(ScopedProfileFolders::readFile(configIni()), configCopy);
}

TEST_F(WindowStateTest, AnUnwritableFileGivesOneMessageAndTheWindowStillCloses)
{
    folders.writeFile(folders.root() + "/blocked", "a file where the folder should be");
    profile::setConfigFolder((folders.root() + "/blocked/trawl").toStdString());

    QCloseEvent close;
    QCoreApplication::sendEvent(window.get(), &close);
    EXPECT_TRUE(close.isAccepted());
    EXPECT_EQ(ui.messageTexts(), std::vector<QString>{"Unable to write to " + folders.root() + "/blocked/trawl/TRAWL.INI"});
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Trawl");
}

} // namespace
