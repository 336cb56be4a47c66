// The results, errors and totals lists as a person uses them after a scan:
// heading clicks sort, rows are selected with the mouse and the keyboard and
// copied, the context menu opens a file or its folder through the desktop,
// and the Totals page sums the scan by owner.

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <cstdio>

#include "settings/profileroutines.h"
#include "support/gui_scanfixture.h"

namespace {

using Texts = std::vector<std::string>;

class ResultLists : public ScanFixture {
protected:
    // b.txt, C and Z.DOC in F:\, A.DOC in F:\SUB, found in that order.
    void scanFourFiles()
    {
        ws.makeFile(sys + "/b.txt", 100);
        ws.makeFile(sys + "/C", 9);
        ws.makeFile(sys + "/Z.DOC", 1000);
        ws.makeFile(sys + "/SUB/A.DOC", 10);
        startWindow();
        clickStart();
        w->PageControl1->setCurrentWidget(w->TabSheet6);
        QApplication::processEvents();
    }

    static void clickHeading(QTreeView* view, int column)
    {
        QHeaderView* header = view->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
    }
    static void clickRow(QTreeView* view, int row, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                          view->visualRect(view->model()->index(row, 0)).center());
    }
    // A press and release, then the second press that makes it a double click.
    static void doubleClickRow(QTreeView* view, int row)
    {
        const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    }
    static Texts column(QTreeView* view, int column)
    {
        Texts texts;
        for (int row = 0; row < view->model()->rowCount(); ++row)
            texts.push_back(view->model()->index(row, column).data().toString().toStdString());
        return texts;
    }
    // The section the indicator stands on (-1 for none) and its order.
    static std::pair<int, Qt::SortOrder> indicator(QTreeView* view)
    {
        return {view->header()->sortIndicatorSection(), view->header()->sortIndicatorOrder()};
    }
    static std::string clipboard() { return QApplication::clipboard()->text().toStdString(); }
    Texts desktopOpens() const
    {
        Texts paths;
        for (const QString& path : ui.desktopOpens)
            paths.push_back(path.toStdString());
        return paths;
    }
    Texts messages() const
    {
        Texts texts;
        for (const QString& text : ui.messageTexts())
            texts.push_back(text.toStdString());
        return texts;
    }

    // A right click at the row (-1: below the rows); the menu it opens.
    static QMenu* rightClick(QTreeView* view, int row)
    {
        const QPoint at = row >= 0 ? view->visualRect(view->model()->index(row, 0)).center()
                                   : QPoint(4, view->viewport()->height() - 4);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &event);
        for (QMenu* menu : view->findChildren<QMenu*>())
            if (menu->isVisible())
                return menu;
        return nullptr;
    }
    // The menu's items, "-" for a disabled one's mark.
    static Texts items(QMenu* menu)
    {
        Texts texts;
        for (QAction* action : menu->actions())
            if (!action->isSeparator())
                texts.push_back((action->isEnabled() ? "" : "-") + action->text().toStdString());
        return texts;
    }
    static void choose(QMenu* menu, const char* item)
    {
        for (QAction* action : menu->actions())
            if (action->text() == QLatin1String(item)) {
                ASSERT_TRUE(action->isEnabled()) << item;
                action->trigger();
                menu->close();
                return;
            }
        FAIL() << "no item " << item;
    }
};

TEST_F(ResultLists, HeadingClicksSortAndReverseAndTheIndicatorTellsWhenNewRowsCameBelow)
{
    ws.makeFile(sys + "/b.txt", 100);
    ws.makeFile(sys + "/C", 9);
    ws.makeFile(sys + "/Z.DOC", 1000);
    ws.makeFile(sys + "/SUB/A.DOC", 10);
    startWindow();
    w->PageControl1->setCurrentWidget(w->TabSheet6);
    // Sorted by size at the pump before SUB is entered: A.DOC comes after.
    // The walker shows new rows at most every few milliseconds; here they
    // are shown at once, as if that time had passed.
    bool clicked = false;
    const auto pumps = atEveryPump([&] {
        if (!clicked && w->currentPath == "F:\\SUB") {
            clicked = true;
            w->ShowProgress();
            ASSERT_EQ(w->resultsModel->rowCount(), 3);
            clickHeading(w->lvwResults, 1);
            EXPECT_EQ(indicator(w->lvwResults), std::pair(1, Qt::AscendingOrder));
        }
    });
    clickStart();
    ASSERT_TRUE(clicked);
    EXPECT_EQ(column(w->lvwResults, 1), (Texts{"9", "100", "1,000", "10"}));
    EXPECT_EQ(indicator(w->lvwResults).first, -1) << "the rows below the sorted ones are not in order";

    clickHeading(w->lvwResults, 1);
    EXPECT_EQ(column(w->lvwResults, 1), (Texts{"9", "10", "100", "1,000"})) << "sizes sort as numbers";
    EXPECT_EQ(indicator(w->lvwResults), std::pair(1, Qt::AscendingOrder));
    clickHeading(w->lvwResults, 1);
    EXPECT_EQ(column(w->lvwResults, 1), (Texts{"1,000", "100", "10", "9"}));
    EXPECT_EQ(indicator(w->lvwResults), std::pair(1, Qt::DescendingOrder));
    clickHeading(w->lvwResults, 0);
    EXPECT_EQ(column(w->lvwResults, 0), (Texts{"A.DOC", "b.txt", "C", "Z.DOC"})) << "names blind to case";
    clickHeading(w->lvwResults, 3);
    EXPECT_EQ(column(w->lvwResults, 3), (Texts{"F:\\b.txt", "F:\\C", "F:\\Z.DOC", "F:\\SUB\\A.DOC"}))
        << "paths in the order of the walk";

    // A new scan starts unsorted.
    clickStart();
    EXPECT_EQ(column(w->lvwResults, 0), (Texts{"b.txt", "C", "Z.DOC", "A.DOC"}));
    EXPECT_EQ(indicator(w->lvwResults).first, -1);
}

TEST_F(ResultLists, RowsAreSelectedWithShiftCtrlAndCtrlAAndCopiedWithTheirHeadings)
{
    scanFourFiles();
    QTreeView* list = w->lvwResults;
    clickRow(list, 0);
    clickRow(list, 2, Qt::ShiftModifier);
    clickRow(list, 3, Qt::ControlModifier);
    clickRow(list, 1, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard(), "FileName\tSize\tOwner\tFull Path\n"
                           "b.txt\t100\tJSMITH.SALES.ACME\tF:\\b.txt\n"
                           "Z.DOC\t1000\tJSMITH.SALES.ACME\tF:\\Z.DOC\n"
                           "A.DOC\t10\tJSMITH.SALES.ACME\tF:\\SUB\\A.DOC\n");

    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QMenu* menu = rightClick(list, 1);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(items(menu), (Texts{"Open", "Open Containing Folder", "Copy", "Copy Path"}));
    choose(menu, "Copy Path");
    EXPECT_EQ(clipboard(), "F:\\b.txt\nF:\\C\nF:\\Z.DOC\nF:\\SUB\\A.DOC\n") << "the right click kept the selection";

    // A right click outside the selection selects that row alone; copied
    // rows come in the order shown.
    clickRow(list, 0);
    clickHeading(list, 1);
    menu = rightClick(list, 3);
    ASSERT_NE(menu, nullptr);
    choose(menu, "Copy");
    EXPECT_EQ(clipboard(), "FileName\tSize\tOwner\tFull Path\nZ.DOC\t1000\tJSMITH.SALES.ACME\tF:\\Z.DOC\n");

    // Below the rows, with nothing selected, only what needs no row is offered.
    list->clearSelection();
    menu = rightClick(list, -1);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(items(menu), (Texts{"-Open", "-Open Containing Folder", "-Copy", "-Copy Path"}));
    menu->close();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(ui.beeps.size(), 1u) << "Ctrl+C with nothing selected beeps";

    // The errors list copies its rows and paths too, and opens nothing.
    w->errorsModel->appendRow("SYS:SUB\\LOCKED.DAT", 4096, "NWIntScanExtendedInfo Code : 899c");
    w->errorsModel->appendRow("SYS:SUB\\A\tB", 0, "NWParseNetwarePath Code : 1");
    w->errorsModel->flush();
    w->PageControl1->setCurrentWidget(w->TabSheet7);
    QTest::keyClick(w->lvwErrors, Qt::Key_A, Qt::ControlModifier);
    menu = rightClick(w->lvwErrors, 0);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(items(menu), (Texts{"Copy", "Copy Path", "Clear"}));
    choose(menu, "Copy Path");
    EXPECT_EQ(clipboard(), "SYS:SUB\\LOCKED.DAT\nSYS:SUB\\A?B\n") << "a tab in a name would start a new column";
}

TEST_F(ResultLists, TheContextMenuAndADoubleClickOpenTheFileOrItsFolderOnTheHost)
{
    scanFourFiles();
    QTreeView* list = w->lvwResults;
    QMenu* menu = rightClick(list, 3);
    ASSERT_NE(menu, nullptr);
    choose(menu, "Open Containing Folder");
    menu = rightClick(list, 3);
    ASSERT_NE(menu, nullptr);
    choose(menu, "Open");
    doubleClickRow(list, 0);
    EXPECT_EQ(desktopOpens(), (Texts{sys + "/SUB", sys + "/SUB/A.DOC", sys}));
    EXPECT_TRUE(ui.messages.empty());

    // Gone since the scan, or nothing on the desktop to open it: a message, not silence.
    ASSERT_EQ(std::remove((sys + "/C").c_str()), 0);
    menu = rightClick(list, 1);
    ASSERT_NE(menu, nullptr);
    choose(menu, "Open");
    ui.desktopSucceeds = false;
    doubleClickRow(list, 3);
    EXPECT_EQ(ui.desktopOpens.size(), 4u);
    EXPECT_EQ(messages(),
              (Texts{"Unable to open the file F:\\C: it is not there on this workstation",
                     "Unable to open the folder F:\\SUB\\ (" + sys + "/SUB): the desktop has no program for it"}));
}

TEST_F(ResultLists, TheFilterNarrowsTheRowsShownAndActedOnButNotTheCounts)
{
    auto tab = [this](QWidget* page) {
        return w->PageControl1->tabText(w->PageControl1->indexOf(page)).toStdString();
    };
    ws.addLine("Faults", "Fault0=NWIntScanFileInformation2, *BAD*, 89FF");
    ws.makeFile(sys + "/BAD1.TXT", 1);
    ws.makeFile(sys + "/SUB/BAD2.TXT", 1);
    scanFourFiles();
    EXPECT_EQ(tab(w->TabSheet6), "Results (4)");
    EXPECT_EQ(tab(w->TabSheet7), "Errors (2)");

    QTest::keyClicks(w->txtResultsFilter, "sub");
    QTreeView* list = w->lvwResults;
    EXPECT_EQ(column(list, 3), Texts{"F:\\SUB\\A.DOC"});
    EXPECT_EQ(w->lblResultsShown->text(), "1 of 4 shown");
    EXPECT_EQ(tab(w->TabSheet6), "Results (4)");
    EXPECT_EQ(w->lblMatchCount->text(), "4");
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard(), "FileName\tSize\tOwner\tFull Path\nA.DOC\t10\tJSMITH.SALES.ACME\tF:\\SUB\\A.DOC\n");
    QMenu* menu = rightClick(list, 0);
    ASSERT_NE(menu, nullptr);
    choose(menu, "Open");
    EXPECT_EQ(desktopOpens(), Texts{sys + "/SUB/A.DOC"});

    // Enter in the filter is not a Start, which would empty the list.
    w->txtResultsFilter->clear();
    QTest::keyClicks(w->txtResultsFilter, ".doc");
    clickHeading(list, 1);
    QTest::keyClick(w->txtResultsFilter, Qt::Key_Return);
    EXPECT_EQ(column(list, 0), (Texts{"A.DOC", "Z.DOC"}));
    EXPECT_EQ(column(list, 1), (Texts{"10", "1,000"}));
    EXPECT_EQ(w->lblResultsShown->text(), "2 of 4 shown");
    w->txtResultsFilter->clear();
    EXPECT_EQ(column(list, 0), (Texts{"C", "A.DOC", "b.txt", "Z.DOC"}));
    EXPECT_EQ(w->lblResultsShown->text(), "");

    // A scan without errors leaves the tab plain; the rows of both stay.
    setPattern("Z*");
    clickStart();
    EXPECT_EQ(tab(w->TabSheet6), "Results (1)");
    EXPECT_EQ(tab(w->TabSheet7), "Errors");
    EXPECT_EQ(w->errorsModel->rowCount(), 2);
}

TEST_F(ResultLists, TheErrorsTabCountsTheLastScanAndClearEmptiesTheList)
{
    auto tab = [this] { return w->PageControl1->tabText(w->PageControl1->indexOf(w->TabSheet7)).toStdString(); };
    ws.addLine("Faults", "Fault0=NWIntScanFileInformation2, *BAD*, 89FF");
    ws.makeFile(sys + "/BAD1.TXT", 1);
    ws.makeFile(sys + "/BAD2.TXT", 1);
    ws.makeFile(sys + "/good.txt", 1);
    startWindow();
    EXPECT_EQ(tab(), "Errors");
    clickStart();
    EXPECT_EQ(tab(), "Errors (2)");
    setPattern("BAD1*");
    clickStart();
    EXPECT_EQ(tab(), "Errors (1)") << "the last scan's rows, not all the list holds";
    EXPECT_EQ(w->errorsModel->rowCount(), 3);

    w->PageControl1->setCurrentWidget(w->TabSheet7);
    QApplication::processEvents();
    QMenu* menu = rightClick(w->lvwErrors, 0);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(items(menu), (Texts{"Copy", "Copy Path", "Clear"}));
    choose(menu, "Clear");
    EXPECT_EQ(w->errorsModel->rowCount(), 0);
    EXPECT_EQ(tab(), "Errors");
    menu = rightClick(w->lvwErrors, -1);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(items(menu), (Texts{"-Copy", "-Copy Path", "-Clear"}));
    menu->close();

    setPattern("*");
    clickStart();
    EXPECT_EQ(tab(), "Errors (2)");
    EXPECT_EQ(w->errorsModel->rowCount(), 2);
    EXPECT_EQ(w->errorsModel->text(0, 3), "no such file");
}

TEST_F(ResultLists, TheTotalsPageSumsTheLastScanByOwnerLargestFirst)
{
    const struct {
        const char* name;
        std::uint64_t size;
        std::uint32_t owner;
    } files[] = {{"a", 200, 0x1001}, {"b", 100, 0x1001}, {"c", 1000, 0x1002}, {"d", 5, 0x7777}};
    for (const auto& f : files)
        if (!ws.setOwner(ws.makeFile(sys + "/" + f.name, f.size), f.owner))
            GTEST_SKIP() << TempWorkstation::kNoXattrMessage;
    startWindow();
    clickStart();
    EXPECT_EQ(w->PageControl1->tabText(w->PageControl1->indexOf(w->TabSheet9)), "Totals");
    EXPECT_EQ(w->PageControl1->indexOf(w->TabSheet9), w->PageControl1->indexOf(w->TabSheet7) + 1)
        << "the page after Errors";
    w->PageControl1->setCurrentWidget(w->TabSheet9);
    QApplication::processEvents();
    QTreeView* totals = w->lvwTotals;
    EXPECT_EQ(column(totals, 0), (Texts{"SMITH.SALES.ACME", "JSMITH.SALES.ACME", "(unknown)", "Total"}));
    EXPECT_EQ(column(totals, 1), (Texts{"1", "2", "1", "4"}));
    EXPECT_EQ(column(totals, 2), (Texts{"1,000", "300", "5", "1,305"}));
    EXPECT_EQ(indicator(totals), std::pair(2, Qt::DescendingOrder));

    clickHeading(totals, 0);
    EXPECT_EQ(column(totals, 0), (Texts{"(unknown)", "JSMITH.SALES.ACME", "SMITH.SALES.ACME", "Total"}));
    QTest::keyClick(totals, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(totals, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard(), "Owner\tMatching Files\tMatching Size\n(unknown)\t1\t5\nJSMITH.SALES.ACME\t2\t300\n"
                           "SMITH.SALES.ACME\t1\t1000\nTotal\t4\t1305\n");

    // The next scan's totals replace these.
    setSize(w->optSizeLess, "150");
    clickStart();
    EXPECT_EQ(column(totals, 0), (Texts{"(unknown)", "JSMITH.SALES.ACME", "Total"}));
    EXPECT_EQ(column(totals, 2), (Texts{"5", "100", "105"}));
}

TEST_F(ResultLists, OwnerAndFullPathShareTheRestOfTheWidthAndSizesStandRight)
{
    scanFourFiles();
    w->errorsModel->appendRow("SYS:X", 1, "NWParseNetwarePath Code : 1");
    w->errorsModel->flush();
    w->resize(667, 500);
    QApplication::processEvents();
    QTreeView* list = w->lvwResults;
    const auto widths = [list] {
        return std::vector<int>{list->columnWidth(0), list->columnWidth(1), list->columnWidth(2),
                                list->columnWidth(3)};
    };
    const std::vector<int> narrow = widths();
    EXPECT_EQ(narrow[0] + narrow[1] + narrow[2] + narrow[3], list->viewport()->width())
        << "the columns reach the list's right edge";
    EXPECT_GE(narrow[2], 110);
    w->resize(1267, 500);
    QApplication::processEvents();
    const std::vector<int> wide = widths();
    EXPECT_EQ(wide[0], 110);
    EXPECT_EQ(wide[1], 110);
    EXPECT_EQ(wide[2] + wide[3], narrow[2] + narrow[3] + 600);
    EXPECT_EQ(wide[2], (list->viewport()->width() - 220) / 3) << "Owner takes a third of the room right of Size";

    // A wider name column leaves the others less room; the window state keeps
    // the widths as shown.
    list->setColumnWidth(0, 170);
    EXPECT_EQ(list->columnWidth(2) + list->columnWidth(3), wide[2] + wide[3] - 60);
    const int fullPath = list->columnWidth(3);
    w->FormClose();
    EXPECT_EQ(IniReadInteger("TRAWL.INI", "Columns", "Column0", 0), 170);
    EXPECT_EQ(IniReadInteger("TRAWL.INI", "Columns", "Column3", 0), fullPath);

    // Dragged by the person, Owner keeps the width dragged, narrower or not.
    QHeaderView* header = list->header();
    const int edge = header->sectionViewportPosition(2) + header->sectionSize(2) - 1;
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(edge, header->height() / 2));
    QTest::mouseMove(header->viewport(), QPoint(edge - 100, header->height() / 2));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(edge - 100, header->height() / 2));
    const int dragged = list->columnWidth(2);
    EXPECT_LT(dragged, wide[2] - 50);
    w->resize(1467, 500);
    QApplication::processEvents();
    EXPECT_EQ(list->columnWidth(2), dragged);
    EXPECT_EQ(list->columnWidth(0) + list->columnWidth(1) + dragged + list->columnWidth(3),
              list->viewport()->width());
    for (QTreeView* view : {w->lvwResults, w->lvwErrors, w->lvwTotals})
        EXPECT_EQ(view->model()->index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
                  Qt::AlignRight | Qt::AlignVCenter)
            << view->objectName().toStdString();
}

}  // namespace
