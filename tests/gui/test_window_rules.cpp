// The rules by which the window's controls enable, disable, check and clear
// one another, driven by clicks and by the program as the start-up and the
// settings loader drive them.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include "app/datepicker.h"
#include "app/radiobutton.h"
#include "app/tfrmmain.h"
#include "support/gui_recordinguiservices.h"

namespace {

class WindowRules : public ::testing::Test {
protected:
    // The state the start-up leaves: Ignore Size, then Ignore Dates, checked
    // by the program (each runs its rule).
    void applyStartUpDefaults()
    {
        window.optSizeIgnore->setChecked(true);
        window.optDateIgnore->setChecked(true);
    }

    // A click as the user makes it (the button decides its next state), on a
    // window that is not shown.
    static void click(QAbstractButton* button) { button->click(); }

    QList<RadioButton*> parameters() const
    {
        return {window.optDateBefore, window.optDateBetween, window.optDateAfter, window.optDateExact};
    }

    // Which of Before, After, Exact pickers are enabled, as "BAE" letters.
    QString enabledPickers() const
    {
        QString letters;
        if (window.dtpBefore->isEnabled())
            letters += QLatin1Char('B');
        if (window.dtpAfter->isEnabled())
            letters += QLatin1Char('A');
        if (window.dtpExact->isEnabled())
            letters += QLatin1Char('E');
        return letters;
    }

    // The checked buttons among the four date parameters, by caption.
    QStringList checkedParameters() const
    {
        QStringList checked;
        for (RadioButton* button : parameters()) {
            if (button->isChecked())
                checked << button->text();
        }
        return checked;
    }

    RecordingUiServices ui;
    ScopedUiServices installed{ui};
    Tfrmmain window;
};

}  // namespace

TEST_F(WindowRules, StartUpDefaultsDisableTheSizeBoxAndEveryDateParameter)
{
    applyStartUpDefaults();
    EXPECT_TRUE(window.optSizeIgnore->isChecked());
    EXPECT_FALSE(window.txtSizeBytes->isEnabled());
    EXPECT_FALSE(window.lblSizeBytes->isEnabled());
    EXPECT_TRUE(window.optDateIgnore->isChecked());
    for (RadioButton* button : parameters()) {
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_FALSE(button->isEnabled());
        EXPECT_FALSE(button->isChecked()) << "Before, checked in the design, is cleared";
    }
    EXPECT_EQ(enabledPickers(), QString());
    EXPECT_TRUE(window.optOutputSepComma->isChecked());
    EXPECT_FALSE(window.txtOutputFilename->isEnabled());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(WindowRules, EachSizeTestEnablesTheSizeBoxAndIgnoreKeepsTheTypedSize)
{
    applyStartUpDefaults();
    for (RadioButton* test : {window.optSizeGreater, window.optSizeLess, window.optSizeEqual}) {
        SCOPED_TRACE(test->objectName().toStdString());
        click(window.optSizeIgnore);
        ASSERT_FALSE(window.txtSizeBytes->isEnabled());
        click(test);
        EXPECT_TRUE(test->isChecked());
        EXPECT_FALSE(window.optSizeIgnore->isChecked());
        EXPECT_TRUE(window.txtSizeBytes->isEnabled());
        EXPECT_TRUE(window.lblSizeBytes->isEnabled());
    }

    window.txtSizeBytes->clear();
    QTest::keyClicks(window.txtSizeBytes, QStringLiteral("4096"));
    click(window.optSizeIgnore);
    EXPECT_FALSE(window.txtSizeBytes->isEnabled());
    EXPECT_EQ(window.txtSizeBytes->text(), QStringLiteral("4096")) << "the disabled box keeps the typed size";
    click(window.optSizeEqual);
    EXPECT_TRUE(window.txtSizeBytes->isEnabled());
    EXPECT_EQ(window.txtSizeBytes->text(), QStringLiteral("4096"));
    EXPECT_FALSE(window.optSizeGreater->isChecked() || window.optSizeLess->isChecked() ||
                 window.optSizeIgnore->isChecked());
}

TEST_F(WindowRules, EachDateParameterEnablesItsPickers)
{
    struct Case {
        RadioButton* Tfrmmain::*button;
        const char* pickers;
    };
    const Case cases[] = {
        {&Tfrmmain::optDateBefore, "B"},
        {&Tfrmmain::optDateAfter, "A"},
        {&Tfrmmain::optDateExact, "E"},
        {&Tfrmmain::optDateBetween, "BA"},
    };
    applyStartUpDefaults();
    click(window.optDateModified);
    // Every order of choices must end with the pickers of the last choice.
    for (const Case& first : cases) {
        for (const Case& second : cases) {
            RadioButton* a = window.*first.button;
            RadioButton* b = window.*second.button;
            SCOPED_TRACE((a->text() + QStringLiteral(" then ") + b->text()).toStdString());
            click(a);
            click(b);
            EXPECT_EQ(enabledPickers(), QString::fromLatin1(second.pickers));
            EXPECT_EQ(checkedParameters(), QStringList{b->text()});
        }
    }
}

TEST_F(WindowRules, ChoosingADateTypeClearsTheParameterAndDisablesThePickers)
{
    applyStartUpDefaults();
    for (RadioButton* type : {window.optDateAccessed, window.optDateModified, window.optDateCreation}) {
        SCOPED_TRACE(type->objectName().toStdString());
        click(window.optDateAccessed == type ? window.optDateCreation : window.optDateAccessed);
        click(window.optDateBefore);
        ASSERT_EQ(enabledPickers(), QStringLiteral("B"));
        click(type);
        EXPECT_EQ(checkedParameters(), QStringList());
        EXPECT_EQ(enabledPickers(), QString());
        for (RadioButton* button : parameters())
            EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    }
    // Choosing Before again enables its picker only.
    click(window.optDateBefore);
    EXPECT_EQ(enabledPickers(), QStringLiteral("B"));
}

TEST_F(WindowRules, ClickingTheCheckedDateTypeAgainChangesNothing)
{
    applyStartUpDefaults();
    click(window.optDateAccessed);
    click(window.optDateBefore);
    click(window.optDateAccessed);
    EXPECT_TRUE(window.optDateAccessed->isChecked()) << "a click does not clear a checked radio button";
    EXPECT_EQ(checkedParameters(), QStringList{QStringLiteral("Before")});
    EXPECT_EQ(enabledPickers(), QStringLiteral("B"));

    // The same from the program: checking a checked button runs no rule.
    window.optDateAccessed->setChecked(true);
    EXPECT_EQ(checkedParameters(), QStringList{QStringLiteral("Before")});
    EXPECT_EQ(enabledPickers(), QStringLiteral("B"));
}

TEST_F(WindowRules, IgnoreDatesDisablesTheParametersAndATypeEnablesThemAllClear)
{
    applyStartUpDefaults();
    click(window.optDateCreation);
    click(window.optDateBetween);
    ASSERT_EQ(enabledPickers(), QStringLiteral("BA"));

    click(window.optDateIgnore);
    EXPECT_FALSE(window.optDateCreation->isChecked());
    for (RadioButton* button : parameters()) {
        EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString();
        EXPECT_FALSE(button->isChecked()) << button->objectName().toStdString();
    }
    EXPECT_EQ(enabledPickers(), QString());

    click(window.optDateModified);
    for (RadioButton* button : parameters())
        EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    EXPECT_EQ(checkedParameters(), QStringList());
    EXPECT_EQ(enabledPickers(), QString());
}

TEST_F(WindowRules, ClearingARadioButtonFromTheProgramRunsNoRule)
{
    applyStartUpDefaults();
    click(window.optSizeLess);
    window.optSizeLess->setChecked(false);
    EXPECT_TRUE(window.txtSizeBytes->isEnabled()) << "clearing runs no rule, so the box stays enabled";
    EXPECT_FALSE(window.optSizeIgnore->isChecked()) << "and checks nothing else";

    click(window.optDateAccessed);
    click(window.optDateExact);
    window.optDateExact->setChecked(false);
    window.optDateAccessed->setChecked(false);
    EXPECT_EQ(enabledPickers(), QStringLiteral("E"));
    EXPECT_TRUE(window.optDateBefore->isEnabled());
}

TEST_F(WindowRules, GroupsAreExclusiveWithinThemselvesOnly)
{
    applyStartUpDefaults();
    click(window.optDateAccessed);
    click(window.optDateAfter);
    click(window.optSizeGreater);
    click(window.optOutputSepTab);

    EXPECT_TRUE(window.optDateAccessed->isChecked());
    EXPECT_TRUE(window.optDateAfter->isChecked());
    EXPECT_TRUE(window.optSizeGreater->isChecked());
    EXPECT_TRUE(window.optOutputSepTab->isChecked());
    EXPECT_FALSE(window.optOutputSepComma->isChecked());
    EXPECT_FALSE(window.optSizeIgnore->isChecked());

    window.optOutputSepOther->setChecked(true);
    EXPECT_FALSE(window.optOutputSepTab->isChecked()) << "checking from the program clears the group too";
    EXPECT_TRUE(window.optDateAfter->isChecked());
}

TEST_F(WindowRules, OutputResultsEnablesTheFileNameBoxByClickOrByProgram)
{
    click(window.chkOutputResults);
    EXPECT_TRUE(window.txtOutputFilename->isEnabled());
    click(window.chkOutputResults);
    EXPECT_FALSE(window.txtOutputFilename->isEnabled());
    window.chkOutputResults->setChecked(true);
    EXPECT_TRUE(window.txtOutputFilename->isEnabled());
    window.chkOutputResults->setChecked(false);
    EXPECT_FALSE(window.txtOutputFilename->isEnabled());
}

TEST_F(WindowRules, AppendAndCommandFileSwitchOutputOnAndNeverOff)
{
    for (QCheckBox* Tfrmmain::*box : {&Tfrmmain::chkAppend, &Tfrmmain::chkCommandFile}) {
        QCheckBox* option = window.*box;
        SCOPED_TRACE(option->objectName().toStdString());
        window.chkAppend->setChecked(false);
        window.chkCommandFile->setChecked(false);
        window.chkOutputResults->setChecked(false);

        click(option);
        EXPECT_TRUE(window.chkOutputResults->isChecked());
        EXPECT_TRUE(window.txtOutputFilename->isEnabled());

        click(window.chkOutputResults);
        EXPECT_FALSE(window.txtOutputFilename->isEnabled());
        EXPECT_TRUE(option->isChecked()) << "clearing the output leaves the option checked";

        click(window.chkOutputResults);
        click(option);
        EXPECT_FALSE(option->isChecked());
        EXPECT_TRUE(window.chkOutputResults->isChecked()) << "clearing the option leaves the output as it was";
        EXPECT_TRUE(window.txtOutputFilename->isEnabled());

        // Checked by the program, as a settings file does, the rule runs too.
        window.chkOutputResults->setChecked(false);
        option->setChecked(true);
        EXPECT_TRUE(window.chkOutputResults->isChecked());
        EXPECT_TRUE(window.txtOutputFilename->isEnabled());
    }
}
