// The command line and the unattended run it can start.
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <cstdio>

#include "app/tfrmmain.h"

namespace {

// ASCII letters compared blind to case, nothing else folded: "/ſettings" is no switch.
bool equalsIgnoringAsciiCase(QStringView text, QLatin1StringView word)
{
    if (text.size() != word.size())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const char16_t lower = (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
        if (lower != word[i].unicode())
            return false;
    }
    return true;
}

} // namespace

void Tfrmmain::reportUnattendedRun(std::int64_t errorRows, double seconds)
{
    switch (lastScanOutcome) {
    case ScanOutcome::NotRun:
        unattendedExitStatus = 2;
        break;
    case ScanOutcome::Stopped:
        unattendedExitStatus = 3;
        break;
    case ScanOutcome::Completed:
        unattendedExitStatus = errorRows > 0 ? 1 : 0;
        break;
    }
    std::printf("Trawl: %d files scanned, %d folders scanned, %d matching files, %llu bytes matching, "
                "%lld errors, %.2f seconds\n",
                scanProgress.FilesScanned, scanProgress.DirsScanned, scanProgress.MatchingFiles,
                static_cast<unsigned long long>(scanProgress.MatchingSize), static_cast<long long>(errorRows),
                seconds);
    std::fflush(stdout);
}

bool Tfrmmain::ParseCommandLine()
{
    AutoRun = false;
    AutoClose = false;
    SettingsFileName.clear();
    // Every argument is read, a single one too: "trawl /autorun" runs with the
    // window's defaults and "trawl /settings=a.tws" loads a.tws.
    for (const QString& argument : std::as_const(commandLineArguments)) {
        if (argument.size() >= 9 && equalsIgnoringAsciiCase(QStringView(argument).left(9), QLatin1StringView("/settings"))) {
            // The name is everything after the first "=", further "=" included;
            // a switch without a name names nothing to load.
            const qsizetype equals = argument.indexOf(u'=');
            if (equals < 0 || equals + 1 == argument.size())
                continue;
            SettingsFileName = argument.mid(equals + 1);
            // A file that fails to load ends the start-up here: no later
            // argument is read and no unattended scan runs.
            if (!LoadSettings(SettingsFileName))
                return false;
        } else if (equalsIgnoringAsciiCase(argument, QLatin1StringView("/autorun"))) {
            AutoRun = true;
        } else if (equalsIgnoringAsciiCase(argument, QLatin1StringView("/autoclose"))) {
            AutoClose = true;
        }
    }
    return true;
}

void Tfrmmain::Timer1Timer()
{
    Timer1->stop();
    if (AutoRun) {
        QString message = QString("Auto Running %1").arg(SettingsFileName);
        if (AutoClose)
            message += " - Will close when complete";
        lblMessage->setText(message);
        repaint();
        const std::int64_t errorsBefore = errorRowsAdded;
        QElapsedTimer elapsed;
        elapsed.start();
        StartScan();
        lblMessage->clear();
        reportUnattendedRun(errorRowsAdded - errorsBefore, elapsed.elapsed() / 1000.0);
    }
    // However the scan ended: finished, stopped, or refused by the validation.
    if (AutoClose || (AutoRun && closeWhenAutoRunEnds))
        close();
}
