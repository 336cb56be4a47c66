// The window's own widgets: radio buttons whose group the program manages,
// the date picker with its day serials, and the recording UI services.
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "app/datepicker.h"
#include "app/radiobutton.h"
#include "support/gui_recordinguiservices.h"

TEST(RadioButtonGroup, CheckingOneClearsTheOthersBeforeItsRuleRuns)
{
    QWidget parent;
    auto* a = new RadioButton(QStringLiteral("A"), &parent);
    auto* b = new RadioButton(QStringLiteral("B"), &parent);
    auto* c = new RadioButton(QStringLiteral("C"), &parent);
    auto* outsider = new RadioButton(QStringLiteral("D"), &parent);
    RadioButton::makeExclusiveGroup({a, b, c});
    outsider->setChecked(true);
    a->setChecked(true);

    bool othersClearWhenRun = false;
    QObject::connect(b, &RadioButton::becameChecked, b,
                     [&] { othersClearWhenRun = !a->isChecked() && !c->isChecked(); });
    QSignalSpy bChecked(b, &RadioButton::becameChecked);
    QSignalSpy aChecked(a, &RadioButton::becameChecked);

    b->click();
    EXPECT_TRUE(b->isChecked());
    EXPECT_FALSE(a->isChecked());
    EXPECT_TRUE(othersClearWhenRun);
    EXPECT_EQ(bChecked.count(), 1);
    EXPECT_EQ(aChecked.count(), 0) << "being cleared is not a click";
    EXPECT_TRUE(outsider->isChecked()) << "a button outside the group is left alone";

    b->click();
    EXPECT_TRUE(b->isChecked()) << "a click on a checked button keeps it checked";
    EXPECT_EQ(bChecked.count(), 1) << "and runs nothing";

    b->setChecked(false);
    EXPECT_FALSE(a->isChecked() || b->isChecked() || c->isChecked()) << "the program can leave a group clear";
    EXPECT_EQ(bChecked.count(), 1);

    c->setChecked(true);
    a->setChecked(true);
    EXPECT_FALSE(c->isChecked());
    EXPECT_EQ(aChecked.count(), 1);
}

TEST(DatePickerSerials, ReadsAndSetsWholeDaysSince30December1899)
{
    DatePicker picker;
    struct Case {
        double serial;
        QDate date;
    };
    const Case cases[] = {
        {25569.0, QDate(1970, 1, 1)},     {36526.0, QDate(2000, 1, 1)},
        {45000.0, QDate(2023, 3, 15)},    {45000.75, QDate(2023, 3, 15)},  // a time of day is dropped
        {2958465.0, QDate(9999, 12, 31)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serial);
        EXPECT_EQ(picker.setDaySerial(c.serial), QString());
        EXPECT_EQ(picker.date(), c.date);
        EXPECT_EQ(picker.daySerial(), std::floor(c.serial));
    }
    picker.setDate(QDate(2024, 2, 29));
    EXPECT_EQ(picker.daySerial(), 45351.0);
}

TEST(DatePickerSerials, RefusesEmptyAndEarlyDaysAndKeepsItsDate)
{
    DatePicker picker;
    picker.setDate(QDate(2021, 6, 1));
    const QString minimumText = QDate(1970, 1, 1).toString(picker.displayFormat());
    struct Case {
        double serial;
        QString message;
    };
    const Case cases[] = {
        {0.0, QStringLiteral("You must be in ShowCheckbox mode to set to this date")},
        {std::numeric_limits<double>::quiet_NaN(),
         QStringLiteral("You must be in ShowCheckbox mode to set to this date")},
        {1.0, QStringLiteral("Date is less than minimum of ") + minimumText},
        {25568.0, QStringLiteral("Date is less than minimum of ") + minimumText},
        {25568.9, QStringLiteral("Date is less than minimum of ") + minimumText},
        {-40.0, QStringLiteral("Date is less than minimum of ") + minimumText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serial);
        EXPECT_EQ(picker.setDaySerial(c.serial), c.message);
        EXPECT_EQ(picker.date(), QDate(2021, 6, 1));
    }
    EXPECT_FALSE(picker.setDaySerial(1e9).isEmpty()) << "a day past the calendar is refused too";
    EXPECT_EQ(picker.date(), QDate(2021, 6, 1));
}

// One click on a part of the date and typing replace that part, whichever it
// is and wherever in it the click falls.
TEST(DatePickerTyping, OneClickOnAPartAndTypingReplaceIt)
{
    DatePicker picker;
    picker.setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    picker.setFixedWidth(160);
    picker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
    auto* edit = picker.findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    const struct {
        int position;  // of the character clicked, in "14/03/2026"
        const char* typed;
        QDate expected;
    } cases[] = {
        {8, "2016", QDate(2016, 3, 14)}, {6, "1999", QDate(1999, 3, 14)}, {3, "11", QDate(2026, 11, 14)},
        {4, "07", QDate(2026, 7, 14)},   {0, "25", QDate(2026, 3, 25)},
    };
    for (const auto& c : cases) {
        picker.setDate(QDate(2026, 3, 14));
        edit->setCursorPosition(0);
        const QString text = edit->text();
        const QFontMetrics metrics(edit->font());
        const int x = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x() +
                      metrics.horizontalAdvance(text.left(c.position)) +
                      metrics.horizontalAdvance(text.at(c.position)) / 2;
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(x, edit->height() / 2));
        QTest::keyClicks(edit, c.typed);
        EXPECT_EQ(picker.date(), c.expected) << "clicked at " << c.position << ", typed " << c.typed;
    }
}

TEST(RecordingServices, AnswersFileDialogsInOrderAndRestoresThePreviousServices)
{
    UiServices* before = &uiServices();
    {
        RecordingUiServices ui;
        ScopedUiServices installed(ui);
        EXPECT_EQ(&uiServices(), &ui);
        ui.queueFileName(QStringLiteral("/tmp/a.tws"));
        ui.queueCancel();
        FileDialogRequest request;
        request.defaultExtension = QStringLiteral("tws");
        EXPECT_EQ(uiServices().saveFileName(nullptr, request), QStringLiteral("/tmp/a.tws"));
        EXPECT_EQ(uiServices().openFileName(nullptr, request), std::nullopt);
        EXPECT_EQ(uiServices().openFileName(nullptr, request), std::nullopt) << "nothing queued is a cancel";
        ASSERT_EQ(ui.fileDialogs.size(), 3u);
        EXPECT_EQ(ui.fileDialogs[0].kind, RecordingUiServices::DialogKind::Save);
        EXPECT_EQ(ui.fileDialogs[0].request.defaultExtension, QStringLiteral("tws"));
        EXPECT_EQ(ui.fileDialogs[1].kind, RecordingUiServices::DialogKind::Open);

        uiServices().setCursor(ScreenCursor::Hourglass);
        EXPECT_EQ(ui.currentCursor(), ScreenCursor::Hourglass);
        uiServices().messageBeep(0x30);
        EXPECT_EQ(ui.beeps, std::vector<unsigned>{0x30});

        QDialog dialog;
        EXPECT_EQ(uiServices().execModal(dialog), QDialog::Accepted);
        EXPECT_FALSE(dialog.isVisible());
        ui.onModal = [](QDialog& shown) {
            EXPECT_TRUE(shown.isVisible());
            shown.reject();
        };
        EXPECT_EQ(uiServices().execModal(dialog), QDialog::Rejected);
        EXPECT_EQ(ui.modalDialogs.size(), 2u);
    }
    EXPECT_EQ(&uiServices(), before);
}

TEST(QtServices, HourglassAndArrowLeaveNoCursorBehind)
{
    setUiServices(nullptr);
    uiServices().setCursor(ScreenCursor::Hourglass);
    uiServices().setCursor(ScreenCursor::Hourglass);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    uiServices().setCursor(ScreenCursor::Arrow);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "one Arrow ends any number of Hourglasses";
    EXPECT_FALSE(uiServices().screenSize().isEmpty());
}
