// The list models on their own, with Qt's model tester watching every change.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
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
    EXPECT_EQ(rowTexts(model, 2), (Texts{"C.TXT", "3221225472", "(unknown)", "F:\\C.TXT"}));

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

TEST(ResultsModel, RowsKeepTheirTextsAcrossStorageBlocks)
{
    ResultsModel model;
    const std::string longPath(300 * 1024, 'p');  // larger than a text block
    for (int i = 0; i < 20000; ++i) {
        const std::string name = "FILE" + std::to_string(i) + ".DAT";
        model.appendRow(name, std::uint64_t(i) * 1000, i == 5000 ? longPath : "O" + std::to_string(i % 7),
                        "G:\\SOME\\FOLDER\\" + name);
    }
    model.appendRow("", UINT64_MAX, "", "Gr\xC3\xBC\xC3\x9F" "e");
    model.flush();
    ASSERT_EQ(model.rowCount(), 20001);
    for (int i : {0, 4095, 4096, 4999, 5001, 19999}) {
        const std::string name = "FILE" + std::to_string(i) + ".DAT";
        EXPECT_EQ(rowTexts(model, i),
                  (Texts{name, std::to_string(i * 1000), "O" + std::to_string(i % 7), "G:\\SOME\\FOLDER\\" + name}));
    }
    EXPECT_EQ(model.text(5000, 2).size(), qsizetype(longPath.size()));
    EXPECT_EQ(model.text(5000, 3), "G:\\SOME\\FOLDER\\FILE5000.DAT");
    EXPECT_EQ(rowTexts(model, 20000), (Texts{"", "18446744073709551615", "", "Grüße"}));
    EXPECT_EQ(model.text(20001, 0), QString()) << "nothing is read past the rows";
    EXPECT_EQ(model.text(0, 4), QString());
}

TEST(ErrorsModel, RowsAccumulateAcrossFlushes)
{
    TesterMessages messages;
    ErrorsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    EXPECT_EQ(rowTexts(model, -1), (Texts{"FileName", "Size", "Problem"}));
    model.appendRow("DATA:LOCKED", 512, "NWIntScanExtendedInfo Code : 899c");
    model.flush();
    model.appendRow("SYS:X", 5000000000ull, "NWParseNetwarePath Code : 1");
    model.flush();
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(rowTexts(model, 0), (Texts{"DATA:LOCKED", "512", "NWIntScanExtendedInfo Code : 899c"}));
    EXPECT_EQ(rowTexts(model, 1), (Texts{"SYS:X", "5000000000", "NWParseNetwarePath Code : 1"}));
    EXPECT_EQ(messages.text(), "");
}

} // namespace
