// The command line and the unattended run it can start.
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <string_view>
#include <vector>

#include "app/tfrmmain.h"
#include "settings/commandline.h"

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
                "%lld errors, %.2f seconds%s%s\n",
                scanProgress.FilesScanned, scanProgress.DirsScanned, scanProgress.MatchingFiles,
                static_cast<unsigned long long>(scanProgress.MatchingSize), static_cast<long long>(errorRows),
                seconds, ownerNamesNote().toUtf8().constData(), m_historyNote.c_str());
    std::fflush(stdout);
}

bool Tfrmmain::ParseCommandLine()
{
    AutoRun = false;
    AutoClose = false;
    SettingsFileName.clear();
    // Every argument is read, a single one too: "trawl /autorun" runs with the
    // window's defaults and "trawl /settings=a.tws" loads a.tws.
    std::vector<std::u16string_view> arguments;
    arguments.reserve(m_startOptions.arguments.size());
    for (const QString& argument : std::as_const(m_startOptions.arguments))
        arguments.emplace_back(QStringView(argument).utf16(), static_cast<std::size_t>(argument.size()));
    for (const CommandLineAction& action : readCommandLine(arguments)) {
        switch (action.kind) {
        case CommandLineActionKind::LoadSettings:
            SettingsFileName = QString(reinterpret_cast<const QChar*>(action.settingsName.data()),
                                       static_cast<qsizetype>(action.settingsName.size()));
            // A file that fails to load ends the start-up here: no later
            // argument is read and no unattended scan runs.
            if (!LoadSettings(SettingsFileName))
                return false;
            break;
        case CommandLineActionKind::AutoRun:
            AutoRun = true;
            break;
        case CommandLineActionKind::AutoClose:
            AutoClose = true;
            break;
        case CommandLineActionKind::Ignored:
            break;
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
        // How the scan ended replaces the notice; a scan that did not run
        // leaves nothing to show.
        if (lblMessage->text() == message)
            lblMessage->clear();
        reportUnattendedRun(errorRowsAdded - errorsBefore, elapsed.elapsed() / 1000.0);
    }
    // However the scan ended: finished, stopped, or refused by the validation.
    if (AutoClose || (AutoRun && m_startOptions.closeWhenAutoRunEnds))
        close();
}
