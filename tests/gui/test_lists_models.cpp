// The list models on their own: announcing rows in batches, emptying, and the
// texts they give back, with Qt's model tester watching every change.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QStringList>
#include <string>
#include <vector>

#include "output/qt_listmodels.h"

namespace {

// Collects what the model tester complains about while a test runs.
class ModelTesterMessages {
public:
    ModelTesterMessages()
    {
        s_messages.clear();
        m_previous = qInstallMessageHandler(&collect);
    }
    ~ModelTesterMessages() { qInstallMessageHandler(m_previous); }
    QStringList messages() const { return s_messages; }

private:
    static void collect(QtMsgType, const QMessageLogContext& context, const QString& text)
    {
        s_messages << QString::fromLatin1(context.category ? context.category : "") + ": " + text;
    }
    static inline QStringList s_messages;
    QtMessageHandler m_previous = nullptr;
};

using Texts = std::vector<std::string>;

// A row as the view shows it, in UTF-8 so that failures print readably.
Texts rowTexts(const QAbstractItemModel& model, int row)
{
    Texts texts;
    for (int column = 0; column < model.columnCount(); ++column)
        texts.push_back(model.data(model.index(row, column)).toString().toStdString());
    return texts;
}

TEST(ResultsModel, HeadingsInColumnOrder)
{
    ResultsModel model;
    ASSERT_EQ(model.columnCount(), 4);
    Texts headings;
    for (int section = 0; section < model.columnCount(); ++section)
        headings.push_back(model.headerData(section, Qt::Horizontal).toString().toStdString());
    EXPECT_EQ(headings, (Texts{"FileName", "Size", "Owner", "Full Path"}));
}

TEST(ErrorsModel, HeadingsInColumnOrder)
{
    ErrorsModel model;
    ASSERT_EQ(model.columnCount(), 3);
    Texts headings;
    for (int section = 0; section < model.columnCount(); ++section)
        headings.push_back(model.headerData(section, Qt::Horizontal).toString().toStdString());
    EXPECT_EQ(headings, (Texts{"FileName", "Size", "Problem"}));
}

TEST(ResultsModel, FlushAnnouncesStoredRowsInOneInsertion)
{
    ModelTesterMessages messages;
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    model.appendRow("A.TXT", 10, "ADMIN", "F:\\A.TXT");
    model.appendRow("B.TXT", 20, "ADMIN", "F:\\B.TXT");
    model.appendRow("C.TXT", 30, "GUEST", "F:\\C.TXT");
    EXPECT_EQ(model.rowCount(), 0) << "rows are not seen before a flush";
    EXPECT_EQ(inserted.count(), 0);

    model.flush();
    EXPECT_EQ(model.rowCount(), 3);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 0);
    EXPECT_EQ(inserted[0][2].toInt(), 2);

    model.flush();
    EXPECT_EQ(inserted.count(), 1) << "a flush with nothing new announces nothing";

    model.appendRow("D.TXT", 40, "GUEST", "F:\\D.TXT");
    model.flush();
    ASSERT_EQ(inserted.count(), 2);
    EXPECT_EQ(inserted[1][1].toInt(), 3);
    EXPECT_EQ(inserted[1][2].toInt(), 3);
    EXPECT_EQ(rowTexts(model, 3), (Texts{"D.TXT", "40", "GUEST", "F:\\D.TXT"}));
    EXPECT_EQ(rowTexts(model, 0), (Texts{"A.TXT", "10", "ADMIN", "F:\\A.TXT"}));

    EXPECT_TRUE(messages.messages().isEmpty()) << messages.messages().join('\n').toStdString();
}

TEST(ResultsModel, ClearResetsOnceAndDropsUnannouncedRows)
{
    ModelTesterMessages messages;
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    for (int i = 0; i < 250; ++i)
        model.appendRow("OLD.TXT", i, "ADMIN", "F:\\OLD.TXT");
    model.flush();
    model.appendRow("UNSEEN.TXT", 1, "ADMIN", "F:\\UNSEEN.TXT");

    model.clear();
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(removed.count(), 0) << "emptying is one reset, not row-by-row removals";
    EXPECT_EQ(model.rowCount(), 0);
    model.flush();
    EXPECT_EQ(model.rowCount(), 0) << "rows stored before the clear must not come back";

    model.appendRow("NEW.TXT", 5, "GUEST", "F:\\NEW.TXT");
    model.flush();
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(rowTexts(model, 0), (Texts{"NEW.TXT", "5", "GUEST", "F:\\NEW.TXT"}));

    model.clear();
    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_TRUE(messages.messages().isEmpty()) << messages.messages().join('\n').toStdString();
}

TEST(ResultsModel, ManyRowsKeepTheirOwnTexts)
{
    // Enough rows and text to cross several row blocks and text blocks.
    ResultsModel model;
    const int count = 20000;
    for (int i = 0; i < count; ++i) {
        const std::string name = "FILE" + std::to_string(i) + ".DAT";
        model.appendRow(name, static_cast<std::uint64_t>(i) * 1000, "OWNER" + std::to_string(i % 7),
                        "G:\\SOME\\LONGER\\FOLDER\\NAME\\" + name);
        if (i % 100 == 99)
            model.flush();
    }
    model.flush();
    ASSERT_EQ(model.rowCount(), count);
    for (int i : {0, 1, 4095, 4096, 4097, 8191, 12345, count - 1}) {
        const std::string name = "FILE" + std::to_string(i) + ".DAT";
        EXPECT_EQ(rowTexts(model, i), (Texts{name, std::to_string(std::uint64_t(i) * 1000),
                                             "OWNER" + std::to_string(i % 7),
                                             "G:\\SOME\\LONGER\\FOLDER\\NAME\\" + name}))
            << "row " << i;
    }
}

TEST(ResultsModel, UnusualTextsAndSizes)
{
    ResultsModel model;
    const std::string longPath(300 * 1024, 'p');  // larger than one text block
    model.appendRow("", 0, "", "");
    model.appendRow("Gr\xC3\xBC\xC3\x9F" "e.txt", 3221225472ull, "(unknown)", "F:\\Gr\xC3\xBC\xC3\x9F" "e.txt");
    model.appendRow("big", UINT64_MAX, "O", longPath);
    model.appendRow("after", 16777217, "O", "F:\\after");
    model.flush();
    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(rowTexts(model, 0), (Texts{"", "0", "", ""}));
    EXPECT_EQ(rowTexts(model, 1), (Texts{"Grüße.txt", "3221225472", "(unknown)", "F:\\Grüße.txt"}));
    EXPECT_EQ(model.text(2, 1), "18446744073709551615");
    EXPECT_EQ(model.text(2, 3).size(), qsizetype(longPath.size()));
    EXPECT_EQ(rowTexts(model, 3), (Texts{"after", "16777217", "O", "F:\\after"}));
    // Out-of-range requests give nothing instead of reading past the rows.
    EXPECT_EQ(model.text(4, 0), QString());
    EXPECT_EQ(model.text(-1, 0), QString());
    EXPECT_EQ(model.text(0, 4), QString());
    EXPECT_FALSE(model.data(model.index(1, 0), Qt::EditRole).isValid());
}

TEST(ErrorsModel, RowsAccumulateAcrossFlushes)
{
    ModelTesterMessages messages;
    ErrorsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    model.appendRow("DATA:PUBLIC\\LOCKED", 512, "NWIntScanExtendedInfo Code : 899c");
    model.flush();
    model.appendRow("SYS:X", 0, "Error with nwgetnspath  Code : 8801");
    model.appendRow("big", 5000000000ull, "NWParseNetwarePath Code : 1");
    model.flush();

    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(inserted.count(), 2);
    EXPECT_EQ(rowTexts(model, 0), (Texts{"DATA:PUBLIC\\LOCKED", "512", "NWIntScanExtendedInfo Code : 899c"}));
    EXPECT_EQ(rowTexts(model, 1), (Texts{"SYS:X", "0", "Error with nwgetnspath  Code : 8801"}));
    EXPECT_EQ(model.text(2, 1), "5000000000");
    EXPECT_TRUE(messages.messages().isEmpty()) << messages.messages().join('\n').toStdString();
}

} // namespace
