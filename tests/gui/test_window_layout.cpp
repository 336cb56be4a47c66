// How the window lays out and follows a change of its size: nothing overlaps
// or is cut off at the designed and at the minimum size; the page control and
// the lists grow, buttons keep to the top right and the status area to the
// bottom left. The window is shown (offscreen), so its start-up runs without a
// client and reports that through the recording services.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "app/folderlistbox.h"
#include "app/layoutcheck.h"
#include "app/tfrmmain.h"
#include "netclient/nwclient.h"
#include "support/gui_recordinguiservices.h"

namespace {

class WindowLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        setNwClient(nullptr);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    void resizeTo(const QSize& size)
    {
        window.resize(size);
        QApplication::processEvents();
    }

    // The geometry of a widget in the window's coordinates.
    QRect placed(const QWidget* widget) const { return QRect(widget->mapTo(&window, QPoint(0, 0)), widget->size()); }

    RecordingUiServices ui;
    ScopedUiServices installed{ui};
    Tfrmmain window;
};

}  // namespace

TEST_F(WindowLayout, NoControlOverlapsOrIsCutOffOnAnyPage)
{
    for (const QSize size : {QSize(667, 500), QSize(595, 442), QSize(900, 700)}) {
        resizeTo(size);
        for (int page = 0; page < window.PageControl1->count(); ++page) {
            window.PageControl1->setCurrentIndex(page);
            QApplication::processEvents();
            SCOPED_TRACE(QStringLiteral("%1x%2, page %3")
                             .arg(size.width())
                             .arg(size.height())
                             .arg(window.PageControl1->tabText(page))
                             .toStdString());
            const QStringList faults = findLayoutFaults(&window);
            EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
        }
    }
}

TEST_F(WindowLayout, GrowingTheWindowGrowsThePagesAndListsAndKeepsTheEdges)
{
    resizeTo(QSize(667, 500));
    window.PageControl1->setCurrentIndex(0);
    QApplication::processEvents();
    const QRect pages = placed(window.PageControl1);
    const QRect start = placed(window.cmdStart);
    const QRect label1 = placed(window.Label1);
    const QRect matchSize = placed(window.lblMatchSize);
    const QRect folders = placed(window.DirectoryListBox1);

    resizeTo(QSize(867, 650));
    EXPECT_EQ(placed(window.PageControl1).size(), pages.size() + QSize(200, 150));
    EXPECT_EQ(placed(window.cmdStart).size(), start.size());
    EXPECT_EQ(placed(window.cmdStart).topRight(), start.topRight() + QPoint(200, 0))
        << "buttons keep to the top right";
    EXPECT_EQ(placed(window.Label1), label1.translated(0, 150)) << "the status area keeps to the bottom left";
    EXPECT_EQ(placed(window.lblMatchSize), matchSize.translated(0, 150));
    EXPECT_EQ(placed(window.DirectoryListBox1).width(), folders.width());
    EXPECT_EQ(placed(window.DirectoryListBox1).height(), folders.height() + 150) << "the folder list grows in height";
    EXPECT_EQ(placed(window.lblMessage).width(), window.centralWidget()->width() - 16)
        << "the message line spans the window";

    struct Grows {
        int page;
        QWidget* widget;
        bool wider;
        bool taller;
    };
    const Grows grows[] = {
        {3, window.treends, false, true},        {3, window.lstUsers, false, true},
        {4, window.memCommandFile, true, false}, {5, window.lvwResults, true, true},
        {6, window.lvwErrors, true, true},
    };
    for (const Grows& g : grows) {
        SCOPED_TRACE(g.widget->objectName().toStdString());
        resizeTo(QSize(667, 500));
        window.PageControl1->setCurrentIndex(g.page);
        QApplication::processEvents();
        const QSize before = g.widget->size();
        resizeTo(QSize(867, 650));
        EXPECT_EQ(g.widget->width(), before.width() + (g.wider ? 200 : 0));
        EXPECT_EQ(g.widget->height(), before.height() + (g.taller ? 150 : 0));
        if (g.page >= 5) {
            EXPECT_EQ(g.widget->size(), window.PageControl1->currentWidget()->size()) << "the list fills its page";
        }
    }
}
