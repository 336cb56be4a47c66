// The settings of the window turned into scan criteria: the checks, their
// order, the messages, and the fields each step leaves behind.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <memory>

#include "app/datepicker.h"
#include "app/radiobutton.h"
#include "app/tfrmmain.h"
#include "support/gui_recordinguiservices.h"

namespace {

constexpr double kJan1st2001 = 36892.0;

class ValidateSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<Tfrmmain>();
        // The start-up's defaults: no size test, no date test.
        window->optSizeIgnore->setChecked(true);
        window->optDateIgnore->setChecked(true);
    }

    // Validates and returns the one message shown, or "" when valid.
    QString validate()
    {
        ui.clear();
        const std::int32_t result = window->ValidateSettings();
        EXPECT_LE(ui.messages.size(), 1u) << "at most one message per validation";
        if (ui.messages.empty()) {
            EXPECT_EQ(result, 0);
            return {};
        }
        EXPECT_EQ(result, 1);
        EXPECT_EQ(ui.messages[0].title, "Trawl");
        EXPECT_EQ(ui.messages[0].owner, window.get());
        return ui.messages[0].text;
    }

    void chooseSize(RadioButton* mode, const QString& text)
    {
        mode->setChecked(true);
        window->txtSizeBytes->setText(text);
    }

    void outputTo(const QString& fileName)
    {
        window->chkOutputResults->setChecked(true);
        window->txtOutputFilename->setText(fileName);
    }

    RecordingUiServices ui;
    ScopedUiServices installed{ui};
    std::unique_ptr<Tfrmmain> window;
    const ScanCriteria& criteria() const { return window->scanCriteria; }
};

TEST_F(ValidateSettingsTest, DefaultWindowIsValidAndScansEveryFile)
{
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().Pattern, "*.*");
    EXPECT_EQ(criteria().SizeMode, 0);
    EXPECT_EQ(criteria().DateTestOn, 0);
    EXPECT_EQ(criteria().AttributeMask, 0u);
    EXPECT_EQ(criteria().OwnerTestOn, 0);
    EXPECT_EQ(criteria().OutputToFile, 0);
}

TEST_F(ValidateSettingsTest, PatternIsUsedAsTypedAndEmptyMeansEveryFile)
{
    window->cboPattern->setEditText("");
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().Pattern, "*.*");

    window->cboPattern->setEditText("report?.DOC");
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().Pattern, "report?.DOC");
}

TEST_F(ValidateSettingsTest, SizeTextIsCheckedOnlyWithASizeTest)
{
    window->txtSizeBytes->setText("not a number");
    EXPECT_EQ(validate(), "") << "Ignore Size does not look at the text";

    struct Case {
        const char* text;
        const char* message;
        double held;
    };
    const Case cases[] = {
        {"", "A file size must be entered", 0},
        {"0", "Invalid File Size\n\n0 is not a size: Equal To 0 is not possible", 0},
        {"letters", "Invalid File Size\n\n\"letters\" does not begin with a number", 0},
        {" ", "Invalid File Size\n\n\" \" does not begin with a number", 0},
        {"2147483648", "Invalid File Size\n\n\"2147483648\" is more than the largest size, 2,147,483,647 bytes", 0},
        {" 1e999", "Invalid File Size\n\n\"1e999\" is more than the largest size, 2,147,483,647 bytes", 0},
        {"2147483647", "", 2147483647.0},
        {"12kb", "", 12.0},
        {"-5", "", -5.0},
        {"16777217", "", 16777217.0},
    };
    for (const Case& c : cases) {
        chooseSize(window->optSizeEqual, c.text);
        EXPECT_EQ(validate(), c.message) << "size text \"" << c.text << '"';
        EXPECT_EQ(criteria().SizeMode, 3);
        if (*c.message == '\0') {
            EXPECT_EQ(criteria().SizeBytes, c.held) << "size text \"" << c.text << '"';
        }
    }
}

TEST_F(ValidateSettingsTest, TheNoteBelowTheSizeBoxShowsWhatTheTestWillUseAsTheUserTypes)
{
    window->optSizeLess->click();
    const struct {
        const char* typed;
        const char* note;
    } cases[] = {
        {"10M", "= 10 bytes"},
        {"1,000,000", "= 1 byte"},
        {"10000000", "= 10,000,000 bytes"},
        {"-2500", "= -2,500 bytes"},
        {"1.5", "= 1.5 bytes"},
        {"M", "not a number"},
        {"0", "0 is not a size"},
        {"3e9", "more than 2,147,483,647 bytes"},
        {"", ""},
    };
    for (const auto& c : cases) {
        window->txtSizeBytes->selectAll();
        QTest::keyClick(window->txtSizeBytes, Qt::Key_Delete);
        QTest::keyClicks(window->txtSizeBytes, c.typed);
        EXPECT_EQ(window->lblSizeValue->text().toStdString(), c.note) << "typed \"" << c.typed << '"';
    }
    EXPECT_TRUE(window->lblSizeValue->isEnabled());
    window->optSizeIgnore->click();
    EXPECT_FALSE(window->lblSizeValue->isEnabled()) << "the note follows its box";
}

TEST_F(ValidateSettingsTest, SizeModeFollowsTheCheckedButtonAndIsKeptWhenNoneIs)
{
    chooseSize(window->optSizeGreater, "10");
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().SizeMode, 1);
    window->optSizeLess->setChecked(true);
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().SizeMode, 2);

    // A settings file can leave no size button checked: the previous mode stays.
    window->optSizeLess->setChecked(false);
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().SizeMode, 2);
}

TEST_F(ValidateSettingsTest, FailingSizeLeavesTheNewPatternBehind)
{
    window->cboPattern->setEditText("*.bak");
    chooseSize(window->optSizeGreater, "0");
    EXPECT_EQ(validate(), "Invalid File Size\n\n0 is not a size: Greater Than 0 is not possible");
    EXPECT_EQ(criteria().Pattern, "*.bak");
}

TEST_F(ValidateSettingsTest, DateTestNeedsAModeAndAnOrderedRange)
{
    window->optDateModified->setChecked(true);
    EXPECT_EQ(validate(), "Select Date Range");
    EXPECT_EQ(criteria().DateTestOn, 1);

    ASSERT_EQ(window->dtpBefore->setDaySerial(kJan1st2001), "");
    ASSERT_EQ(window->dtpAfter->setDaySerial(kJan1st2001), "");
    ASSERT_EQ(window->dtpExact->setDaySerial(kJan1st2001 + 5), "");

    window->optDateBetween->setChecked(true);
    EXPECT_EQ(validate(), "Before date is not earlier than After Date");

    // Before, After and On Exact Date never compare the pickers with each other.
    for (RadioButton* mode : {window->optDateBefore, window->optDateAfter, window->optDateExact}) {
        mode->setChecked(true);
        EXPECT_EQ(validate(), "") << mode->objectName().toStdString();
    }
    EXPECT_EQ(criteria().DateMode, 2);
    EXPECT_EQ(criteria().DateType, 2);
    EXPECT_EQ(criteria().ExactDate, kJan1st2001 + 5);

    ASSERT_EQ(window->dtpAfter->setDaySerial(kJan1st2001 + 1), "");
    window->optDateBetween->setChecked(true);
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().DateMode, 4);
    EXPECT_EQ(criteria().BeforeDate, kJan1st2001);
    EXPECT_EQ(criteria().AfterDate, kJan1st2001 + 1);
}

TEST_F(ValidateSettingsTest, IgnoreDatesReadsNoPickerAndShowsNoDateMessage)
{
    window->optDateCreation->setChecked(true);
    window->optDateBefore->setChecked(true);
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().DateType, 3);

    window->optDateIgnore->setChecked(true);  // clears every date mode
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().DateTestOn, 0);
    EXPECT_EQ(criteria().DateType, 3) << "the type of the last date test stays";
}

TEST_F(ValidateSettingsTest, EveryAttributeBoxAddsItsBit)
{
    const std::pair<QCheckBox*, std::uint32_t> boxes[] = {
        {window->chkAttribReadOnly, 0x1},
        {window->chkAttribHidden, 0x2},
        {window->chkAttribSystem, 0x4},
        {window->chkAttribExecuteOnly, 0x8},
        {window->chkAttribArchiveNeeded, 0x20},
        {window->chkAttribShareable, 0x80},
        {window->chkAttribDontSuballocate, 0x800},
        {window->chkAttribTransactional, 0x1000},
        {window->chkAttribReadAudit, 0x4000},
        {window->chkAttribWriteAudit, 0x8000},
        {window->chkAttribImmedPurge, 0x10000},
        {window->chkAttribRenameInhibit, 0x20000},
        {window->chkAttribDeleteInhibit, 0x40000},
        {window->chkAttribCopyInhibit, 0x80000},
        {window->chkAttribMigrated, 0x400000},
        {window->chkAttribDontMigrate, 0x800000},
        {window->chkAttribImmedCompress, 0x2000000},
        {window->chkAttribCompressed, 0x4000000},
        {window->chkAttribDontCompress, 0x8000000},
        {window->chkAttribCantCompress, 0x20000000},
    };
    for (const auto& [box, bit] : boxes) {
        box->setChecked(true);
        EXPECT_EQ(validate(), "");
        EXPECT_EQ(criteria().AttributeMask, bit) << box->objectName().toStdString();
        box->setChecked(false);
    }
    window->chkAttribReadOnly->setChecked(true);
    window->chkAttribHidden->setChecked(true);
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().AttributeMask, 0x3u);
}

TEST_F(ValidateSettingsTest, OwnerTestIsOnWhenTheListHoldsAName)
{
    window->lstUsers->addItem("JSMITH.SALES.ACME");
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().OwnerTestOn, 1);
    window->lstUsers->clear();
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().OwnerTestOn, 0);
}

TEST_F(ValidateSettingsTest, OutputChecksRunInOrder)
{
    window->chkOutputResults->setChecked(true);
    EXPECT_EQ(validate(), "Enter a Output Filename");
    EXPECT_EQ(criteria().OutputToFile, 0);

    window->txtOutputFilename->setText("out.csv");
    EXPECT_EQ(validate(), "Select at least one output field");
    EXPECT_EQ(criteria().OutputToFile, 1);
    EXPECT_EQ(criteria().OutputFileName, "out.csv");

    window->chkOutputSize->setChecked(true);
    window->optOutputSepOther->setChecked(true);
    EXPECT_EQ(validate(), "Enter a Separator Character");

    window->txtOutputSepOther->setText("ab");
    window->chkOutputSurround->setChecked(true);
    window->chkOutputHeadings->setChecked(true);
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().Separator, 'a');
    EXPECT_EQ(criteria().QuoteValues, 1);
    EXPECT_EQ(criteria().HeadingsOn, 1);
    EXPECT_EQ(criteria().OutSize, 1);
    EXPECT_EQ(criteria().OutOwner, 0);

    window->optOutputSepTab->setChecked(true);
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().Separator, '\t');
}

TEST_F(ValidateSettingsTest, CommandFileNeedsATemplateButNoField)
{
    outputTo("cmds.bat");
    window->chkCommandFile->setChecked(true);
    EXPECT_EQ(validate(), "Enter Text for command file");

    window->memCommandFile->setPlainText("copy !1 X:\\SAVE\necho !2\n");
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().CommandFileOn, 1);
    EXPECT_EQ(criteria().CommandText, "copy !1 X:\\SAVE\r\necho !2\r\n")
        << "lines joined by CR LF, the final line break kept";
}

TEST_F(ValidateSettingsTest, WithoutOutputNoOutputControlIsRead)
{
    outputTo("first.csv");
    window->chkOutputOwner->setChecked(true);
    window->chkOutputSurround->setChecked(true);
    ASSERT_EQ(validate(), "");

    window->chkOutputResults->setChecked(false);
    window->optOutputSepOther->setChecked(true);  // empty Other: would be refused with output on
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().OutputToFile, 0);
    EXPECT_EQ(criteria().QuoteValues, 0);
    EXPECT_EQ(criteria().OutputFileName, "");
    EXPECT_EQ(criteria().OutOwner, 1) << "field flags of the previous validation stay";
}

TEST_F(ValidateSettingsTest, TextsLongerThanTheirRoomAreRefusedNotCut)
{
    window->cboPattern->setEditText(QString(256, 'x'));
    EXPECT_EQ(validate(), "The file pattern is longer than 255 characters");
    window->cboPattern->setEditText(QString(255, 'x'));
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().Pattern.size(), 255u);

    outputTo(QString(512, 'o'));
    window->chkOutputSize->setChecked(true);
    EXPECT_EQ(validate(), "The output filename is longer than 511 characters");
    window->txtOutputFilename->setText(QString(511, 'o'));
    EXPECT_EQ(validate(), "");

    window->chkCommandFile->setChecked(true);
    window->memCommandFile->setPlainText(QString(1024, 'c'));
    EXPECT_EQ(validate(), "The command file text is longer than 1023 characters");
    window->memCommandFile->setPlainText(QString(1023, 'c'));
    EXPECT_EQ(validate(), "");
}

TEST_F(ValidateSettingsTest, SeparatorOutsideAsciiIsRefused)
{
    outputTo("out.txt");
    window->chkOutputSize->setChecked(true);
    window->optOutputSepOther->setChecked(true);
    window->txtOutputSepOther->setText(QString::fromUtf8("\xc2\xa7"));
    EXPECT_EQ(validate(), "The separator must be a single-byte (ASCII) character");
    window->txtOutputSepOther->setText(";;");
    EXPECT_EQ(validate(), "");
    EXPECT_EQ(criteria().Separator, ';');
}

}  // namespace
