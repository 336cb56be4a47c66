#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <cmath>

#include "app/datepicker.h"
#include "app/radiobutton.h"
#include "app/tfrmmain.h"
#include "output/outputfields.h"
#include "platform/uiservices.h"
#include "scan/attributeboxes.h"
#include "scan/sizenumber.h"

namespace {

// Texts longer than the criteria can hold are refused with a message rather
// than cut: a cut pattern or file name would scan or write something else.
bool tooLong(const QString& text, std::size_t limit) { return static_cast<std::size_t>(text.size()) > limit; }

} // namespace

std::int32_t Tfrmmain::ValidateSettings()
{
    ScanCriteria& c = scanCriteria;
    auto refuse = [this](const QString& text) {
        uiServices().messageBox(this, text, QStringLiteral("Trawl"));
        return 1;
    };

    const QString pattern = cboPattern->currentText();
    if (tooLong(pattern, kMaxPatternLength))
        return refuse(QStringLiteral("The file pattern is longer than %1 characters").arg(kMaxPatternLength));
    c.Pattern = pattern.isEmpty() ? std::string("*.*") : pattern.toStdString();

    // A later checked button wins; none checked keeps the previous mode.
    if (optSizeGreater->isChecked())
        c.SizeMode = 1;
    if (optSizeLess->isChecked())
        c.SizeMode = 2;
    if (optSizeEqual->isChecked())
        c.SizeMode = 3;
    if (optSizeIgnore->isChecked())
        c.SizeMode = 0;

    if (c.SizeMode > 0) {
        const QString sizeText = txtSizeBytes->text();
        if (sizeText.isEmpty())
            return refuse(QStringLiteral("A file size must be entered"));
        const double size = parseSizeNumber(sizeText.toStdString());
        if (size == 0.0 || size > 2147483647.0 || std::isnan(size))
            return refuse(QStringLiteral("Invalid File Size"));
        c.SizeBytes = size;
    }

    c.DateTestOn = 0;
    if (!optDateIgnore->isChecked()) {
        c.DateTestOn = 1;
        c.BeforeDate = dtpBefore->daySerial();
        c.AfterDate = dtpAfter->daySerial();
        c.ExactDate = dtpExact->daySerial();
        c.DateMode = 0;
        if (optDateBefore->isChecked())
            c.DateMode = 1;
        if (optDateExact->isChecked())
            c.DateMode = 2;
        if (optDateAfter->isChecked())
            c.DateMode = 3;
        if (optDateBetween->isChecked())
            c.DateMode = 4;
        if (c.DateMode == 0)
            return refuse(QStringLiteral("Select Date Range"));
        if (optDateAccessed->isChecked())
            c.DateType = 1;
        if (optDateModified->isChecked())
            c.DateType = 2;
        if (optDateCreation->isChecked())
            c.DateType = 3;
        if (c.DateMode == 4 && c.BeforeDate >= c.AfterDate)
            return refuse(QStringLiteral("Before date is not earlier than After Date"));
    }

    c.AttributeMask = 0;
    for (const AttributeBoxRow& row : kAttributeBoxes) {
        if (m_attributeBoxes[index(row.id)]->isChecked())
            c.AttributeMask |= row.bit;
    }

    c.OwnerTestOn = lstUsers->count() > 0 ? 1 : 0;

    c.OutputToFile = 0;
    c.CommandFileOn = 0;
    c.QuoteValues = 0;
    c.HeadingsOn = 0;
    c.OutputFileName.clear();
    if (chkOutputResults->isChecked()) {
        const QString fileName = txtOutputFilename->text();
        if (fileName.isEmpty())
            return refuse(QStringLiteral("Enter a Output Filename"));
        if (tooLong(fileName, kMaxPathLength))
            return refuse(QStringLiteral("The output filename is longer than %1 characters").arg(kMaxPathLength));
        c.OutputToFile = 1;
        c.OutputFileName = fileName.toStdString();

        if (chkCommandFile->isChecked()) {
            // The memo's lines joined by carriage return and line feed, as
            // the memo holds them: a final line break is part of the template.
            QString text = memCommandFile->toPlainText();
            text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
            if (tooLong(text, kMaxCommandTextLength))
                return refuse(QStringLiteral("The command file text is longer than %1 characters")
                                  .arg(kMaxCommandTextLength));
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

        if (optOutputSepComma->isChecked())
            c.Separator = ',';
        if (optOutputSepTab->isChecked())
            c.Separator = '\t';
        if (optOutputSepOther->isChecked()) {
            const QString other = txtOutputSepOther->text();
            if (other.isEmpty())
                return refuse(QStringLiteral("Enter a Separator Character"));
            // The separator is one byte of the file: a character outside
            // ASCII would put half of its encoding between the fields.
            if (other.at(0).unicode() > 0x7F)
                return refuse(QStringLiteral("The separator must be a single-byte (ASCII) character"));
            c.Separator = static_cast<char>(other.at(0).unicode());
        }

        if (c.CommandFileOn == 1) {
            if (c.CommandText.empty())
                return refuse(QStringLiteral("Enter Text for command file"));
        } else if (fieldCount == 0) {
            return refuse(QStringLiteral("Select at least one output field"));
        }
    }
    return 0;
}
