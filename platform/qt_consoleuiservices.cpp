// The UI services of a run without a screen: messages as lines on standard
// error, and no dialog that waits.

#include "platform/qt_consoleuiservices.h"

#include <QDialog>
#include <QRegularExpression>

QString consoleMessageLine(const QString& text)
{
    static const QRegularExpression lineBreaks(QStringLiteral("[\\r\\n]+"));
    QString folded = text;
    folded.replace(lineBreaks, QStringLiteral(" "));
    return QStringLiteral("Trawl: ") + folded;
}

void ConsoleUiServices::writeLine(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), m_errors);
    std::fflush(m_errors);
}

void ConsoleUiServices::messageBox(QWidget*, const QString& text, const QString&)
{
    writeLine(consoleMessageLine(text));
}

void ConsoleUiServices::showHelp(QWidget*, const QString& helpFile, int context)
{
    writeLine(consoleMessageLine(
        QStringLiteral("Help topic %1 of %2 cannot be shown without a screen").arg(context).arg(helpFile)));
}

int ConsoleUiServices::execModal(QDialog&) { return QDialog::Rejected; }
