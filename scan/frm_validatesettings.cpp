// The check of the window's settings when a scan starts, and their copy into
// the criteria the scan reads.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <cmath>
#include <initializer_list>

#include "app/datepicker.h"
#include "app/radiobutton.h"
#include "app/tfrmmain.h"
#include "output/outputfields.h"
#include "output/qt_listmodels.h"
#include "platform/uiservices.h"
#include "scan/attributeboxes.h"
#include "scan/sizenumber.h"

namespace {

// Texts longer than the criteria can hold are refused with a message rather
// than cut: a cut pattern or file name would scan or write something else.
bool tooLong(const QString& text, std::size_t limit) { return static_cast<std::size_t>(text.size()) > limit; }

// A setting the scan cannot start with: its message, and 1 for the caller.
std::int32_t refuse(QWidget* window, const QString& text)
{
    uiServices().messageBox(window, text, QStringLiteral("Trawl"));
    return 1;
}

// A button of a group and the value it stands for.
struct Choice {
    const RadioButton* button;
    std::int32_t value;
};

// The value of the group's checked button; a later checked button wins, and
// none checked gives none.
std::int32_t checkedChoice(std::initializer_list<Choice> group, std::int32_t none)
{
    std::int32_t value = none;
    for (const Choice& choice : group) {
        if (choice.button->isChecked())
            value = choice.value;
    }
    return value;
}

// Whole numbers grouped as the lists show sizes.
QString groupedWhole(double value) { return groupDigits(QString::number(static_cast<qlonglong>(value))); }

QString largestSizeText() { return groupedWhole(kLargestSize) + QStringLiteral(" bytes"); }

// Why a size text gives no size, for the message of a refused scan.
QString sizeRefusal(const SizeCheck& size, const QString& text, const QString& mode)
{
    switch (size.reading) {
    case SizeReading::NotANumber:
        return QStringLiteral("\"%1\" does not begin with a number").arg(text);
    case SizeReading::Zero:
        return QStringLiteral("0 is not a size: %1 0 is not possible").arg(mode);
    case SizeReading::TooLarge:
        return QStringLiteral("\"%1\" is more than the largest size, %2").arg(text.trimmed(), largestSizeText());
    default:
        return {};
    }
}

// The size a text gives, as the box's note shows it: "10M" shows "= 10
// bytes", which is what the test will use.
QString sizeNote(const SizeCheck& size)
{
    switch (size.reading) {
    case SizeReading::Size: {
        if (size.value == 1.0)
            return QStringLiteral("= 1 byte");
        // A negative size may be any double; past 2^53 it is no longer whole digits.
        const bool whole = std::trunc(size.value) == size.value && std::fabs(size.value) < 9007199254740992.0;
        const QString number = whole ? groupedWhole(size.value) : QString::number(size.value, 'g', 15);
        return QStringLiteral("= %1 bytes").arg(number);
    }
    case SizeReading::NotANumber:
        return QStringLiteral("not a number");
    case SizeReading::Zero:
        return QStringLiteral("0 is not a size");
    case SizeReading::TooLarge:
        return QStringLiteral("more than ") + largestSizeText();
    default:
        return {};
    }
}

}  // namespace

void Tfrmmain::ShowSizeReading()
{
    lblSizeValue->setText(sizeNote(checkSizeText(txtSizeBytes->text().toStdString())));
}

std::int32_t Tfrmmain::ValidateSettings()
{
    ScanCriteria& c = scanCriteria;

    const QString pattern = cboPattern->currentText();
    if (tooLong(pattern, kMaxPatternLength))
        return refuse(this, QStringLiteral("The file pattern is longer than %1 characters").arg(kMaxPatternLength));
    c.Pattern = pattern.isEmpty() ? std::string("*.*") : pattern.toStdString();

    // None checked keeps the previous mode.
    c.SizeMode = checkedChoice({{optSizeGreater, 1}, {optSizeLess, 2}, {optSizeEqual, 3}, {optSizeIgnore, 0}},
                               c.SizeMode);
    if (c.SizeMode > 0) {
        const QString sizeText = txtSizeBytes->text();
        const SizeCheck size = checkSizeText(sizeText.toStdString());
        if (size.reading == SizeReading::Empty)
            return refuse(this, QStringLiteral("A file size must be entered"));
        if (size.reading != SizeReading::Size) {
            const RadioButton* mode = c.SizeMode == 1 ? optSizeGreater : c.SizeMode == 2 ? optSizeLess : optSizeEqual;
            return refuse(this, QStringLiteral("Invalid File Size\n\n") + sizeRefusal(size, sizeText, mode->text()));
        }
        c.SizeBytes = size.value;
    }

    if (const std::int32_t refused = validateDateSettings(); refused != 0)
        return refused;

    c.AttributeMask = 0;
    for (const AttributeBoxRow& row : kAttributeBoxes) {
        if (m_attributeBoxes[index(row.id)]->isChecked())
            c.AttributeMask |= row.bit;
    }

    c.OwnerTestOn = lstUsers->count() > 0 ? 1 : 0;

    if (const std::int32_t refused = validateOutputSettings(); refused != 0)
        return refused;
    return validateHistorySettings();
}

std::int32_t Tfrmmain::validateHistorySettings()
{
    ScanCriteria& c = scanCriteria;
    c.HistoryOn = chkHistory->isChecked() ? 1 : 0;
    c.HistoryName.clear();
    c.OutChange = 0;
    c.ChangesOnly = 0;
    // What changed is known only against a recorded run.
    if (!chkHistory->isChecked() && (chkOutputChange->isChecked() || chkOutputChangesOnly->isChecked()))
        return refuse(this, QStringLiteral("The changes since the last run need the history: check \"Record "
                                           "this scan in the history\" on the Path/File page"));
    if (tooLong(txtHistory->text(), kMaxPathLength))
        return refuse(this, QStringLiteral("The history's file name is longer than %1 characters").arg(kMaxPathLength));
    c.HistoryName = txtHistory->text().toStdString();
    if (c.OutputToFile == 1) {
        c.OutChange = chkOutputChange->isChecked() && c.CommandFileOn == 0 ? 1 : 0;
        c.ChangesOnly = chkOutputChangesOnly->isChecked() ? 1 : 0;
    }
    return 0;
}

std::int32_t Tfrmmain::validateDateSettings()
{
    ScanCriteria& c = scanCriteria;
    c.DateTestOn = 0;
    if (optDateIgnore->isChecked())
        return 0;
    c.DateTestOn = 1;
    c.BeforeDate = dtpBefore->daySerial();
    c.AfterDate = dtpAfter->daySerial();
    c.ExactDate = dtpExact->daySerial();
    c.DateMode = checkedChoice({{optDateBefore, 1}, {optDateExact, 2}, {optDateAfter, 3}, {optDateBetween, 4}}, 0);
    if (c.DateMode == 0)
        return refuse(this, QStringLiteral("Select Date Range"));
    // None checked keeps the previous type.
    c.DateType = checkedChoice({{optDateAccessed, 1}, {optDateModified, 2}, {optDateCreation, 3}}, c.DateType);
    if (c.DateMode == 4 && c.BeforeDate >= c.AfterDate)
        return refuse(this, QStringLiteral("Before date is not earlier than After Date"));
    return 0;
}

std::int32_t Tfrmmain::validateOutputSettings()
{
    ScanCriteria& c = scanCriteria;
    c.OutputToFile = 0;
    c.CommandFileOn = 0;
    c.QuoteValues = 0;
    c.HeadingsOn = 0;
    c.OutputFileName.clear();
    if (!chkOutputResults->isChecked())
        return 0;

    const QString fileName = txtOutputFilename->text();
    if (fileName.isEmpty())
        return refuse(this, QStringLiteral("Enter a Output Filename"));
    if (tooLong(fileName, kMaxPathLength))
        return refuse(this, QStringLiteral("The output filename is longer than %1 characters").arg(kMaxPathLength));
    c.OutputToFile = 1;
    c.OutputFileName = fileName.toStdString();

    if (chkCommandFile->isChecked()) {
        // The memo's lines joined by carriage return and line feed, as
        // the memo holds them: a final line break is part of the template.
        QString text = memCommandFile->toPlainText();
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        if (tooLong(text, kMaxCommandTextLength))
            return refuse(
                this,
                QStringLiteral("The command file text is longer than %1 characters").arg(kMaxCommandTextLength));
        c.CommandFileOn = 1;
        c.CommandText = text.toStdString();
    }

    int fieldCount = 0;
    for (const OutputFieldRow& row : kOutputFields) {
        c.*row.enabled = m_outputFieldBoxes[index(row.id)]->isChecked() ? 1 : 0;
        fieldCount += c.*row.enabled;
    }

    if (chkOutputSurround->isChecked())
        c.QuoteValues = 1;
    if (chkOutputHeadings->isChecked())
        c.HeadingsOn = 1;

    c.Separator = static_cast<char>(checkedChoice({{optOutputSepComma, ','}, {optOutputSepTab, '\t'}}, c.Separator));
    if (optOutputSepOther->isChecked()) {
        const QString other = txtOutputSepOther->text();
        if (other.isEmpty())
            return refuse(this, QStringLiteral("Enter a Separator Character"));
        // The separator is one byte of the file: a character outside
        // ASCII would put half of its encoding between the fields.
        if (other.at(0).unicode() > 0x7F)
            return refuse(this, QStringLiteral("The separator must be a single-byte (ASCII) character"));
        c.Separator = static_cast<char>(other.at(0).unicode());
    }

    if (c.CommandFileOn == 1) {
        if (c.CommandText.empty())
            return refuse(this, QStringLiteral("Enter Text for command file"));
    } else if (fieldCount == 0 && !chkOutputChange->isChecked()) {
        return refuse(this, QStringLiteral("Select at least one output field"));
    }
    return 0;
}
