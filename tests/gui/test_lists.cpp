// Matches and failures as the window records them: the rows of the results
// and errors lists and the match counters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tfrmmain.h"
#include "output/qt_listmodels.h"

namespace {

using Texts = std::vector<std::string>;

template <typename Model>
Texts rowTexts(const Model& model, int row)
{
    Texts texts;
    for (int column = 0; column < model.columnCount(); ++column)
        texts.push_back(model.text(row, column).toStdString());
    return texts;
}

class RecordingLists : public ::testing::Test {
protected:
    void match(const std::string& folder, const std::string& name, std::uint64_t size, const std::string& owner)
    {
        window.RecordMatch(folder, name, size, owner, folder + "\\" + name, info, extended);
    }

    Tfrmmain window;
    FileInfoRecord info{};
    ExtendedInfoRecord extended{};
};

TEST_F(RecordingLists, MatchAddsRowAndMovesCounters)
{
    window.RecordMatch("F:\\", "ROOT.TXT", 120, "(unknown)", "F:\\ROOT.TXT", info, extended);
    match("F:\\DATA", "REPORT.TXT", 3221225472ull, "JSMITH.SALES.ACME");

    window.resultsModel->flush();
    ASSERT_EQ(window.resultsModel->rowCount(), 2);
    EXPECT_EQ(rowTexts(*window.resultsModel, 0), (Texts{"ROOT.TXT", "120", "(unknown)", "F:\\ROOT.TXT"}));
    EXPECT_EQ(rowTexts(*window.resultsModel, 1),
              (Texts{"REPORT.TXT", "3221225472", "JSMITH.SALES.ACME", "F:\\DATA\\REPORT.TXT"}));
    EXPECT_EQ(window.scanProgress.MatchingFiles, 2);
    EXPECT_EQ(window.scanProgress.MatchingSize, 3221225472ull + 120);
}

TEST_F(RecordingLists, MatchingSizeCountsEveryByte)
{
    // A single-precision total would stay at 16777216 here.
    match("F:\\DATA", "BIG.DAT", 16777216, "ADMIN");
    match("F:\\DATA", "ONE.DAT", 1, "ADMIN");
    EXPECT_EQ(window.scanProgress.MatchingSize, 16777217u);

    // Sizes past 4 GiB add up without wrapping.
    match("F:\\DATA", "HUGE.DAT", 5000000000ull, "ADMIN");
    EXPECT_EQ(window.scanProgress.MatchingSize, 5016777217ull);
    EXPECT_EQ(window.scanProgress.MatchingFiles, 3);
}

TEST_F(RecordingLists, RowsWaitForTheNextFlush)
{
    // The per-file path stores only; the walker's pump shows the rows.
    match("F:\\DATA", "A.TXT", 1, "ADMIN");
    EXPECT_EQ(window.resultsModel->rowCount(), 0);
    EXPECT_EQ(window.resultsModel->text(0, 0), "A.TXT");
    window.resultsModel->flush();
    EXPECT_EQ(window.resultsModel->rowCount(), 1);
}

TEST_F(RecordingLists, NoOutputWithoutTheOutputSwitch)
{
    // Command mode without output on writes nothing and needs no file.
    window.scanCriteria.OutputToFile = 0;
    window.scanCriteria.CommandFileOn = 1;
    window.scanCriteria.CommandText = "del !1";
    match("F:\\DATA", "A.TXT", 1, "ADMIN");
    EXPECT_EQ(window.scanProgress.MatchingFiles, 1);
    EXPECT_FALSE(window.scanProgress.OutputFile);
}

TEST_F(RecordingLists, FailedCallsBecomeErrorRows)
{
    struct Case {
        const char* path;
        NWCCODE code;
        const char* problem;
        std::uint64_t size;
        Texts row;
    };
    const std::vector<Case> cases{
        {"SYS:PUBLIC\\A.TXT", 0x8801, "Error with nwgetnspath ", 0,
         {"SYS:PUBLIC\\A.TXT", "0", "Error with nwgetnspath  Code : 8801"}},
        {"SYS:PUBLIC\\A.TXT", 0x899C, "Cannot Get Owning Name Space", 0,
         {"SYS:PUBLIC\\A.TXT", "0", "Cannot Get Owning Name Space Code : 899c"}},
        {"DATA:LOCKED", 0x899C, "NWIntScanExtendedInfo", 3221225472ull,
         {"DATA:LOCKED", "3221225472", "NWIntScanExtendedInfo Code : 899c"}},
        {"G:\\X", 0xFFFFFFFF, "NWParseNetwarePath", 17, {"G:\\X", "17", "NWParseNetwarePath Code : ffffffff"}},
        {"G:\\Y", 0, "NWIntScanFileInformation2", 0, {"G:\\Y", "0", "NWIntScanFileInformation2 Code : 0"}},
    };
    for (const Case& c : cases)
        window.LogNWError(c.path, c.code, c.problem, c.size);
    window.errorsModel->flush();
    ASSERT_EQ(window.errorsModel->rowCount(), int(cases.size()));
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(rowTexts(*window.errorsModel, int(i)), cases[i].row) << "row " << i;
}

} // namespace
