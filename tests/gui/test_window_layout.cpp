// How the window lays out and follows a change of its size: nothing overlaps
// or is cut off at the designed and at the minimum size; the page control and
// the lists grow, buttons keep to the top right and the status area to the
// bottom left. The window is shown (offscreen), so its start-up runs without a
// client and reports that through the recording services.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
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
#include "output/qt_listmodels.h"
#include "app/radiobutton.h"
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
    const auto checkEveryPage = [this](const char* state) {
        for (const QSize size : {QSize(667, 500), QSize(595, 442), QSize(900, 700)}) {
            resizeTo(size);
            for (int page = 0; page < window.PageControl1->count(); ++page) {
                window.PageControl1->setCurrentIndex(page);
                QApplication::processEvents();
                SCOPED_TRACE(QStringLiteral("%1, %2x%3, page %4")
                                 .arg(QLatin1String(state))
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(window.PageControl1->tabText(page))
                                 .toStdString());
                const QStringList faults = findLayoutFaults(&window);
                EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
            }
        }
    };
    checkEveryPage("as built");

    // The longest texts the size note, the filter note and the tabs' counts
    // take in practice.
    window.optSizeEqual->click();
    window.txtSizeBytes->setText(QStringLiteral("3000000000"));
    window.resultsModel->clear();  // as a scan begins
    for (int row = 0; row < 12345; ++row)
        window.errorsModel->appendRow("SYS:LOCKED\\F.DAT", 1, "NWIntScanExtendedInfo Code : 899c", 0x899C);
    for (int row = 0; row < 123456; ++row)
        window.resultsModel->appendRow("F.DAT", 1, "JSMITH.SALES.ACME", "F:\\DATA\\F.DAT");
    window.errorsModel->flush();
    window.resultsModel->flush();
    window.txtResultsFilter->setText(QStringLiteral("DATA"));
    ASSERT_EQ(window.lblResultsShown->text(), "123,456 of 123,456 shown");
    checkEveryPage("full");
    // Where the tabs have room they show both counts; where they have not,
    // the counts go, the results' first.
    const struct {
        QSize size;
        const char* results;
        const char* errors;
    } counts[] = {{{900, 700}, "Results (123,456)", "Errors (12,345)"},
                  {{667, 500}, "Results", "Errors (12,345)"},
                  {{595, 442}, "Results", "Errors"}};
    for (const auto& c : counts) {
        resizeTo(c.size);
        EXPECT_EQ(window.PageControl1->tabText(5), c.results) << c.size.width();
        EXPECT_EQ(window.PageControl1->tabText(6), c.errors) << c.size.width();
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
            // The results have their filter above them.
            const QWidget* page = window.PageControl1->currentWidget();
            const int top = g.page == 5 ? window.txtResultsFilter->geometry().bottom() + 1 : 0;
            EXPECT_EQ(g.widget->width(), page->width()) << "the list fills its page";
            EXPECT_GE(g.widget->y(), top);
            EXPECT_EQ(g.widget->geometry().bottom(), page->height() - 1);
        }
    }
}
