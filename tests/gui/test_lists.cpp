// Matches and failures as the window records them.
#include <gtest/gtest.h>

#include <QStringList>
#include <string>

#include "app/tfrmmain.h"
#include "output/qt_listmodels.h"

namespace {

// A row's cells joined by " | ", as readable text for failures.
template <typename Model>
std::string rowText(const Model& model, int row)
{
    QStringList cells;
    for (int column = 0; column < model.columnCount(); ++column)
        cells << model.text(row, column);
    return cells.join(" | ").toStdString();
}

TEST(RecordMatch, AddsRowAndCountsEveryByte)
{
    Tfrmmain window;
    const FileInfoRecord info{};
    const ExtendedInfoRecord extended{};
    window.RecordMatch("F:\\", "BIG.DAT", 16777216, "(unknown)", "F:\\BIG.DAT", info, extended);
    EXPECT_EQ(window.resultsModel->rowCount(), 0) << "the per-file path leaves the views to the pump";
    // A single-precision total would stay at 16777216.
    window.RecordMatch("F:\\DATA", "ONE.DAT", 1, "ADMIN", "F:\\DATA\\ONE.DAT", info, extended);
    EXPECT_EQ(window.scanProgress.MatchingSize, 16777217u);
    window.RecordMatch("F:\\DATA", "HUGE.DAT", 5000000000ull, "ADMIN", "F:\\DATA\\HUGE.DAT", info, extended);
    EXPECT_EQ(window.scanProgress.MatchingSize, 5016777217ull);
    EXPECT_EQ(window.scanProgress.MatchingFiles, 3);

    window.resultsModel->flush();
    ASSERT_EQ(window.resultsModel->rowCount(), 3);
    EXPECT_EQ(rowText(*window.resultsModel, 0), "BIG.DAT | 16777216 | (unknown) | F:\\BIG.DAT");
    EXPECT_EQ(rowText(*window.resultsModel, 2), "HUGE.DAT | 5000000000 | ADMIN | F:\\DATA\\HUGE.DAT");
}

TEST(LogNWError, ProblemCellHoldsTextAndHexCode)
{
    Tfrmmain window;
    window.LogNWError("SYS:PUBLIC\\A.TXT", 0x8801, "Error with nwgetnspath ", 0);
    window.LogNWError("DATA:LOCKED", 0x899C, "NWIntScanExtendedInfo", 3221225472ull);
    window.errorsModel->flush();
    ASSERT_EQ(window.errorsModel->rowCount(), 2);
    EXPECT_EQ(rowText(*window.errorsModel, 0), "SYS:PUBLIC\\A.TXT | 0 | Error with nwgetnspath  Code : 8801 | invalid connection");
    EXPECT_EQ(rowText(*window.errorsModel, 1), "DATA:LOCKED | 3221225472 | NWIntScanExtendedInfo Code : 899c | invalid path");
}

}  // namespace
