// One complete scan, from Start to the restored window, and the Stop button.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <cstring>

#include "app/folderlistbox.h"
#include "app/tfrmmain.h"
#include "output/qt_listmodels.h"
#include "platform/drives.h"
#include "platform/uiservices.h"

namespace {

// The server of the start folder's connection. False when the folder is no
// NetWare path; code holds a failed read of the connection information.
bool readServerName(const std::string& folder, std::string& serverName, NWCCODE& code)
{
    NwClient& client = *nwClient();
    NWCONN_HANDLE conn = 0;
    NWDIR_HANDLE dirHandle = 0;
    char volumePath[512] = {};
    code = nw::kSuccess;
    if (client.NWParseNetwarePath(folder.c_str(), &conn, &dirHandle, volumePath) != nw::kSuccess)
        return false;
    ConnectionInfoRecord record{};
    code = client.NWGetConnectionInformation(conn, nw::kConnectionInfoLevel, &record);
    if (code != nw::kSuccess) {
        // Nothing is copied from a record the client did not fill.
        serverName.clear();
        return true;
    }
    serverName.assign(record.serverName, strnlen(record.serverName, sizeof record.serverName));
    if (serverName.size() > kMaxServerNameLength)
        serverName.resize(kMaxServerNameLength);
    return true;
}

}  // namespace

void Tfrmmain::StartScan()
{
    if (scanProgress.Running == 1 || m_scanActive)
        return;
    lastScanOutcome = ScanOutcome::NotRun;
    m_historyNote.clear();
    if (ValidateSettings() != 0) {
        scanProgress.Running = 0;
        return;
    }
    if (nwClient() == nullptr)
        return;

    const std::string startFolder = DirectoryListBox1 ? DirectoryListBox1->directory().toStdString() : std::string();

    resetScanProgress();
    // Owner names and files the client kept from an earlier scan may be out
    // of date; what it keeps for this one goes when the scan ends, however
    // it ends.
    NwClient* const client = nwClient();
    client->beginScan();
    struct ScanEnd {
        NwClient* client;
        ~ScanEnd() { client->endScan(); }
    } scanEnd{client};
    m_directoryLossLogged = false;
    m_ownerNamesIncomplete = false;

    // The file is opened before anything else changes, so a file that cannot
    // be opened leaves the window idle.
    if (scanCriteria.OutputToFile == 1) {
        int error = 0;
        const std::string outputPath = platform::resolveUserPath(scanCriteria.OutputFileName);
        scanProgress.OutputFile = OutputStream::open(outputPath, chkAppend->isChecked(), &error);
        if (!scanProgress.OutputFile) {
            // The file as the system was asked for it (a drive path resolved),
            // and why the system refused it.
            uiServices().messageBox(this,
                                    QStringLiteral("Unable to Open output file. Please check to the path\n%1: %2")
                                        .arg(QString::fromStdString(outputPath),
                                             QString::fromLocal8Bit(std::strerror(error))),
                                    QStringLiteral("Trawl"));
            return;
        }
    }

    NWCCODE code = nw::kSuccess;
    if (readServerName(startFolder, scanCriteria.ServerName, code) && code != nw::kSuccess)
        ShowNWError(QStringLiteral("Cannot Get Connection Information"), code);

    if (scanCriteria.HeadingsOn == 1)
        WriteHeadings();
    beginHistory(startFolder);

    // The outcome of the scan before does not stand beside this one.
    if (m_outcomeShown) {
        lblMessage->clear();
        m_outcomeShown = false;
    }

    // Disabling Start moves the focus on (to Stop, or past it), and disabling
    // Stop at the end would move it further, to About, where Enter opens the
    // About box. Noted here so that the end of the scan can give it back to
    // Start, unless the user has put it elsewhere meanwhile.
    const bool focusWasOnStart = focusWidget() == nullptr || focusWidget() == cmdStart;
    cmdStop->setEnabled(true);
    cmdStart->setEnabled(false);
    const QPointer<QWidget> focusMovedTo = focusWidget();
    uiServices().setCursor(ScreenCursor::Hourglass);
    repaint();

    resultsModel->clear();
    changesModel->clear();

    m_scanActive = true;
    const std::int64_t errorsBefore = errorRowsAdded;
    scanProgress.Running = 1;
    WalkFolder(startFolder);
    // Only Stop (or closing the window) clears the flag during the walk.
    lastScanOutcome = scanProgress.Running == 1 ? ScanOutcome::Completed : ScanOutcome::Stopped;
    scanProgress.Running = 0;

    const QWidget* focus = focusWidget();
    const bool focusToStart = focusWasOnStart && (focus == nullptr || focus == focusMovedTo || focus == cmdStop);
    cmdStop->setEnabled(false);
    cmdStart->setEnabled(true);
    if (focusToStart)
        cmdStart->setFocus(Qt::OtherFocusReason);
    uiServices().setCursor(ScreenCursor::Arrow);
    repaint();

    endHistory();
    closeOutputFile();
    ShowProgress();
    ShowScanOutcome(errorRowsAdded - errorsBefore);
    m_scanActive = false;

    // A close asked for during the walk was held back until the file was closed.
    if (closeAfterScan) {
        closeAfterScan = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void Tfrmmain::resetScanProgress()
{
    currentPath.clear();
    lblPath->setText(QString());
    lblFileCount->setText(QStringLiteral("0"));
    lblMatchCount->setText(QStringLiteral("0"));
    lblDirCount->setText(QStringLiteral("0"));
    lblMatchSize->setText(QStringLiteral("0"));

    scanProgress.FilesScanned = 0;
    scanProgress.MatchingFiles = 0;
    scanProgress.DirsScanned = 0;
    scanProgress.MatchingSize = 0;
    outputErrorReported = false;
}

void Tfrmmain::closeOutputFile()
{
    if (!scanProgress.OutputFile)
        return;
    const int error = scanProgress.OutputFile->close();
    scanProgress.OutputFile.reset();
    if (error != 0)
        ReportOutputWriteError(error);
}

void Tfrmmain::ShowScanOutcome(std::int64_t errorRows)
{
    if (lastScanOutcome == ScanOutcome::NotRun)
        return;
    const auto counted = [](std::int64_t count, const char* one, const char* many) {
        return QString::number(count) + QLatin1Char(' ') + QLatin1String(count == 1 ? one : many);
    };
    lblMessage->setText((lastScanOutcome == ScanOutcome::Completed
                             ? QStringLiteral("Scan complete: ") +
                                   counted(scanProgress.MatchingFiles, "matching file", "matching files") +
                                   QStringLiteral(", ") + counted(errorRows, "error", "errors")
                             : QStringLiteral("Scan stopped: the results are partial")) +
                        ownerNamesNote());
    m_outcomeShown = true;
}

QString Tfrmmain::ownerNamesNote() const
{
    return m_ownerNamesIncomplete ? QStringLiteral("; owner names incomplete: the directory did not answer")
                                  : QString();
}

void Tfrmmain::cmdStartClick()
{
    // Noted before the scan: both can be changed while it runs.
    const QString folder = DirectoryListBox1->directory();
    const QString pattern = cboPattern->currentText();
    StartScan();
    if (lastScanOutcome != ScanOutcome::NotRun)
        rememberScan(folder, pattern);
}

void Tfrmmain::cmdStopClick() { scanProgress.Running = 0; }
