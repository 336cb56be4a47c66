// The list models on their own, with Qt's model tester watching every change.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QFont>
#include <QSignalSpy>
#include <string>
#include <vector>

#include "output/qt_listmodels.h"

namespace {

using Texts = std::vector<std::string>;

// Collects what the model tester complains about while a test runs.
class TesterMessages {
public:
    TesterMessages() : m_previous(qInstallMessageHandler(&collect)) { s_messages.clear(); }
    ~TesterMessages() { qInstallMessageHandler(m_previous); }
    std::string text() const { return s_messages; }

private:
    static void collect(QtMsgType, const QMessageLogContext&, const QString& text)
    {
        s_messages += text.toStdString() + "\n";
    }
    static inline std::string s_messages;
    QtMessageHandler m_previous;
};

// A column's texts from top to bottom.
Texts columnTexts(const QAbstractItemModel& model, int column)
{
    Texts texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts.push_back(model.data(model.index(row, column)).toString().toStdString());
    return texts;
}

// A row as a view shows it (headings for row -1), in UTF-8 so failures print readably.
Texts rowTexts(const QAbstractItemModel& model, int row)
{
    Texts texts;
    for (int column = 0; column < model.columnCount(); ++column)
        texts.push_back((row < 0 ? model.headerData(column, Qt::Horizontal) : model.data(model.index(row, column)))
                            .toString()
                            .toStdString());
    return texts;
}

TEST(ResultsModel, FlushAnnouncesRowsAndClearResets)
{
    TesterMessages messages;
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    EXPECT_EQ(rowTexts(model, -1), (Texts{"FileName", "Size", "Owner", "Full Path"}));

    model.appendRow("A.TXT", 10, "ADMIN", "F:\\A.TXT");
    model.appendRow("B.TXT", 20, "GUEST", "F:\\B.TXT");
    EXPECT_EQ(model.rowCount(), 0) << "rows are not seen before a flush";
    model.flush();
    model.flush();
    model.appendRow("C.TXT", 3221225472ull, "(unknown)", "F:\\C.TXT");
    model.flush();
    ASSERT_EQ(model.rowCount(), 3);
    ASSERT_EQ(inserted.count(), 2) << "one insertion per flush with new rows";
    EXPECT_EQ(inserted[0][1].toInt(), 0);
    EXPECT_EQ(inserted[0][2].toInt(), 1);
    EXPECT_EQ(inserted[1][1].toInt(), 2);
    EXPECT_EQ(inserted[1][2].toInt(), 2);
    EXPECT_EQ(rowTexts(model, 0), (Texts{"A.TXT", "10", "ADMIN", "F:\\A.TXT"}));
    EXPECT_EQ(rowTexts(model, 2), (Texts{"C.TXT", "3,221,225,472", "(unknown)", "F:\\C.TXT"}))
        << "sizes shown grouped by thousands";
    EXPECT_EQ(model.text(2, 1), "3221225472") << "and copied as plain digits";

    model.appendRow("UNSEEN.TXT", 1, "ADMIN", "F:\\UNSEEN.TXT");
    model.clear();
    model.flush();
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(model.rowCount(), 0) << "rows stored before the clear must not come back";
    model.appendRow("NEW.TXT", 5, "GUEST", "F:\\NEW.TXT");
    model.flush();
    EXPECT_EQ(rowTexts(model, 0), (Texts{"NEW.TXT", "5", "GUEST", "F:\\NEW.TXT"}));
    EXPECT_EQ(messages.text(), "");
}

// A row's texts as copied, numbers without grouping.
Texts cellTexts(const SortableListModel& model, int row)
{
    Texts texts;
    for (int column = 0; column < model.columnCount(); ++column)
        texts.push_back(model.text(row, column).toStdString());
    return texts;
}

TEST(ResultsModel, RowsKeepTheirTextsAcrossStorageBlocks)
{
    ResultsModel model;
    const std::string longPath(300 * 1024, 'p');  // larger than a text block
    for (int i = 0; i < 20000; ++i) {
        const std::string name = "FILE" + std::to_string(i) + ".DAT";
        model.appendRow(name, std::uint64_t(i) * 1000, i == 5000 ? longPath : "O" + std::to_string(i % 7),
                        "G:\\SOME\\FOLDER\\" + name);
    }
    model.appendRow("", UINT64_MAX, "",
                    "Gr\xC3\xBC\xC3\x9F"
                    "e");
    model.flush();
    ASSERT_EQ(model.rowCount(), 20001);
    for (int i : {0, 4095, 4096, 4999, 5001, 19999}) {
        const std::string name = "FILE" + std::to_string(i) + ".DAT";
        EXPECT_EQ(cellTexts(model, i),
                  (Texts{name, std::to_string(i * 1000), "O" + std::to_string(i % 7), "G:\\SOME\\FOLDER\\" + name}));
    }
    EXPECT_EQ(model.text(5000, 2).size(), qsizetype(longPath.size()));
    EXPECT_EQ(model.text(5000, 3), "G:\\SOME\\FOLDER\\FILE5000.DAT");
    EXPECT_EQ(cellTexts(model, 20000), (Texts{"", "18446744073709551615", "", "Grüße"}));
    EXPECT_EQ(model.text(20001, 0), QString()) << "nothing is read past the rows";
    EXPECT_EQ(model.text(0, 4), QString());
}

TEST(ErrorsModel, RowsAccumulateAcrossFlushesWithTheirCodesInWords)
{
    TesterMessages messages;
    ErrorsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    EXPECT_EQ(rowTexts(model, -1), (Texts{"FileName", "Size", "Problem", "Meaning"}));
    model.appendRow("DATA:LOCKED", 512, "NWIntScanExtendedInfo Code : 899c", 0x899C);
    model.flush();
    model.appendRow("SYS:X", 5000000000ull, "NWParseNetwarePath Code : 1", 1);
    model.appendRow("DATA:SECRET", 0, "NWIntScanFileInformation2 Code : 89a8", 0x89A8);
    model.appendRow("JSMITH", 0, "NWDSMapIDToName Code : fffffd87", static_cast<std::uint32_t>(-633));
    model.appendRow("ADMIN", 0, "NWDSMapIDToName Code : fffffd8f", static_cast<std::uint32_t>(-625));
    model.appendRow("DATA:LOCKED2", 7, "NWIntScanExtendedInfo Code : 899c", 0x899C);
    model.flush();
    ASSERT_EQ(model.rowCount(), 6);
    EXPECT_EQ(rowTexts(model, 0), (Texts{"DATA:LOCKED", "512", "NWIntScanExtendedInfo Code : 899c", "invalid path"}));
    EXPECT_EQ(rowTexts(model, 1), (Texts{"SYS:X", "5,000,000,000", "NWParseNetwarePath Code : 1", ""}))
        << "a code not known stays blank";
    EXPECT_EQ(columnTexts(model, 3),
              (Texts{"invalid path", "", "access denied", "", "directory not reachable", "invalid path"}));

    model.sort(3);
    EXPECT_EQ(columnTexts(model, 3),
              (Texts{"", "", "access denied", "directory not reachable", "invalid path", "invalid path"}))
        << "the meanings in order, not their problems";
    model.clear();
    model.appendRow("SYS:Y", 0, "NWParseNetwarePath Code : 1", 0x8998);
    model.flush();
    EXPECT_EQ(rowTexts(model, 0), (Texts{"SYS:Y", "0", "NWParseNetwarePath Code : 1", "no such volume"}))
        << "nothing left over from the rows cleared";
    EXPECT_EQ(messages.text(), "");
}

TEST(ResultsModel, SortMovesTheHeldRowsAndLaterRowsStandBelow)
{
    TesterMessages messages;
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    model.appendRow("b.txt", 100, "GUEST", "F:\\b.txt");
    model.appendRow("C", 9, "ADMIN", "F:\\C");
    // A path whose last part is not the name is shown as given.
    model.appendRow("a.doc", 10, "(unknown)", "F:\\SUB\\A.DOC");
    model.flush();
    const QPersistentModelIndex held = model.index(1, 2);  // "C", as a selection holds it

    model.sort(1);
    EXPECT_EQ(columnTexts(model, 1), (Texts{"9", "10", "100"}));
    EXPECT_EQ(held.row(), 0) << "a held row moves with its row";
    EXPECT_EQ(held.data().toString(), "ADMIN");
    EXPECT_EQ(model.sortedColumn(), 1);
    model.sort(0, Qt::DescendingOrder);
    EXPECT_EQ(columnTexts(model, 0), (Texts{"C", "b.txt", "a.doc"}));
    EXPECT_EQ(rowTexts(model, 2), (Texts{"a.doc", "10", "(unknown)", "F:\\SUB\\A.DOC"}));
    EXPECT_EQ(model.data(model.index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignRight | Qt::AlignVCenter);

    model.appendRow("A.TXT", 1, "ADMIN", "F:\\A.TXT");
    model.flush();
    EXPECT_EQ(columnTexts(model, 0), (Texts{"C", "b.txt", "a.doc", "A.TXT"})) << "a new row comes in at the end";
    EXPECT_EQ(model.sortedColumn(), -1) << "the rows are no longer all in order";
    model.sort(3);
    EXPECT_EQ(columnTexts(model, 3), (Texts{"F:\\A.TXT", "F:\\b.txt", "F:\\C", "F:\\SUB\\A.DOC"}));
    model.sort(-1);
    EXPECT_EQ(columnTexts(model, 0), (Texts{"b.txt", "C", "a.doc", "A.TXT"})) << "back in the order of arrival";
    EXPECT_EQ(held.row(), 1);

    model.sort(2);
    model.clear();
    EXPECT_EQ(model.sortedColumn(), -1);
    model.appendRow("X", 1, "ADMIN", "F:\\X");
    model.flush();
    EXPECT_EQ(rowTexts(model, 0), (Texts{"X", "1", "ADMIN", "F:\\X"})) << "no order is left over from the sort";
    EXPECT_EQ(messages.text(), "");
}

TEST(ErrorsModel, PathsSortInWalkOrder)
{
    ErrorsModel model;
    for (const char* path :
         {"F:\\DATA\\SUB", "DATA:LOCKED", "F:\\DATA\\Z.TXT", "F:\\DATA A\\B.TXT", "F:\\DATA\\SUB\\A.TXT"})
        model.appendRow(path, 0, "NWIntScanFileInformation2 Code : 1");
    model.flush();
    model.sort(0);
    EXPECT_EQ(columnTexts(model, 0), (Texts{"DATA:LOCKED", "F:\\DATA\\SUB", "F:\\DATA\\Z.TXT", "F:\\DATA\\SUB\\A.TXT",
                                            "F:\\DATA A\\B.TXT"}));
}

TEST(OwnerTotalsModel, FollowsTheResultsLargestFirstWithTheTotalLast)
{
    TesterMessages messages;
    ResultsModel results;
    OwnerTotalsModel totals(results);
    QAbstractItemModelTester tester(&totals, QAbstractItemModelTester::FailureReportingMode::Warning);
    EXPECT_EQ(rowTexts(totals, -1), (Texts{"Owner", "Matching Files", "Matching Size"}));
    EXPECT_EQ(rowTexts(totals, 0), (Texts{"Total", "0", "0"}));

    results.appendRow("A", 10, "ADMIN", "F:\\A");
    results.appendRow("B", 5000000000ull, "GUEST", "F:\\B");
    results.appendRow("C", 30, "ADMIN", "F:\\C");
    EXPECT_EQ(totals.rowCount(), 1) << "the totals wait for the results to show their rows";
    results.flush();
    const QPersistentModelIndex admin = totals.index(1, 0);
    ASSERT_EQ(totals.rowCount(), 3);
    EXPECT_EQ(rowTexts(totals, 0), (Texts{"GUEST", "1", "5,000,000,000"}));
    EXPECT_EQ(rowTexts(totals, 1), (Texts{"ADMIN", "2", "40"}));
    EXPECT_EQ(rowTexts(totals, 2), (Texts{"Total", "3", "5,000,000,040"}));
    EXPECT_TRUE(totals.data(totals.index(2, 0), Qt::FontRole).value<QFont>().bold());

    results.appendRow("D", 6000000000ull, "ADMIN", "F:\\D");
    results.appendRow("E", 1, "(unknown)", "F:\\E");
    results.flush();
    EXPECT_EQ(columnTexts(totals, 0), (Texts{"ADMIN", "GUEST", "(unknown)", "Total"}));
    EXPECT_EQ(admin.row(), 0) << "what a view holds follows its owner";
    totals.sort(0, Qt::AscendingOrder);
    EXPECT_EQ(columnTexts(totals, 0), (Texts{"(unknown)", "ADMIN", "GUEST", "Total"}));
    totals.sort(1, Qt::DescendingOrder);
    EXPECT_EQ(columnTexts(totals, 1), (Texts{"3", "1", "1", "5"}));
    EXPECT_EQ(columnTexts(totals, 0), (Texts{"ADMIN", "(unknown)", "GUEST", "Total"})) << "ties by name";

    // The results' filter narrows what they show, never what the totals count.
    results.setFilter("nobody");
    results.appendRow("F", 2, "NEWCOMER", "F:\\F");
    results.flush();
    EXPECT_EQ(results.rowCount(), 0);
    EXPECT_EQ(columnTexts(totals, 1), (Texts{"3", "1", "1", "1", "6"}));

    results.clear();
    EXPECT_EQ(columnTexts(totals, 0), (Texts{"Total"}));
    EXPECT_EQ(messages.text(), "");
}

TEST(ResultsModel, TheFilterShowsRowsWhosePathOrOwnerHoldsTheText)
{
    TesterMessages messages;
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    model.appendRow("report.doc", 300, "JSMITH.SALES.ACME", "F:\\DATA\\report.doc");
    model.appendRow("Budget.XLS", 100, "ADMIN", "F:\\DATA\\SALES\\Budget.XLS");
    model.appendRow("notes.txt", 200, "GUEST", "G:\\HOME\\notes.txt");
    model.appendRow("a.doc", 400, "(unknown)", "F:\\ARCHIVE\\A.DOC");
    model.flush();
    const struct {
        const char* filter;
        Texts shown;
    } cases[] = {
        {"sales", {"report.doc", "Budget.XLS"}},  // an owner's container, a folder
        {"DOC", {"report.doc", "a.doc"}},         // blind to case, the path's own spelling
        {"data\\r", {"report.doc"}},              // across folder and name
        {"g:\\", {"notes.txt"}},
        {"(unknown)", {"a.doc"}},
        {"A.DOC ", {}},
        {"", {"report.doc", "Budget.XLS", "notes.txt", "a.doc"}},
    };
    for (const auto& c : cases) {
        model.setFilter(c.filter);
        EXPECT_EQ(columnTexts(model, 0), c.shown) << "filter " << c.filter;
        EXPECT_EQ(model.totalRows(), 4) << "filter " << c.filter;
    }

    // What a view holds stays on its row while the row is shown, sorts and
    // new rows follow the filter, and the shown rows are what text() reads.
    const QPersistentModelIndex notes = model.index(2, 0);
    const QPersistentModelIndex budget = model.index(1, 0);
    model.setFilter("t");
    EXPECT_EQ(columnTexts(model, 0), (Texts{"report.doc", "Budget.XLS", "notes.txt"}));
    model.sort(1, Qt::DescendingOrder);
    EXPECT_EQ(columnTexts(model, 0), (Texts{"report.doc", "notes.txt", "Budget.XLS"}));
    EXPECT_EQ(notes.row(), 1);
    EXPECT_EQ(model.text(notes.row(), 3), "G:\\HOME\\notes.txt");
    EXPECT_EQ(model.fullPath(2), "F:\\DATA\\SALES\\Budget.XLS");
    EXPECT_EQ(model.folderPath(1), "G:\\HOME\\");
    model.setFilter("home");
    EXPECT_EQ(notes.row(), 0);
    EXPECT_FALSE(budget.isValid()) << "a row the filter hides is let go";
    model.appendRow("plan.txt", 1, "ADMIN", "G:\\HOME\\plan.txt");
    model.appendRow("other.txt", 1, "ADMIN", "F:\\other.txt");
    model.flush();
    EXPECT_EQ(columnTexts(model, 0), (Texts{"notes.txt", "plan.txt"}));
    EXPECT_EQ(model.totalRows(), 6);

    model.clear();
    model.appendRow("x.txt", 1, "ADMIN", "G:\\HOME\\x.txt");
    model.appendRow("y.txt", 1, "ADMIN", "F:\\y.txt");
    model.flush();
    EXPECT_EQ(columnTexts(model, 0), (Texts{"x.txt"})) << "the filter stays for the next scan's rows";
    EXPECT_EQ(messages.text(), "");
}

}  // namespace
