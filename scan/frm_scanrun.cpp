// One complete scan, from Start to the restored window, and the Stop button.

#include <QCheckBox>
#include <QLabel>
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

} // namespace

void Tfrmmain::StartScan()
{
    if (scanProgress.Running == 1 || m_scanActive)
        return;
    lastScanOutcome = ScanOutcome::NotRun;
    if (ValidateSettings() != 0) {
        scanProgress.Running = 0;
        return;
    }
    if (nwClient() == nullptr)
        return;

    const std::string startFolder = DirectoryListBox1 ? DirectoryListBox1->directory().toStdString() : std::string();

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

    // The file is opened before anything else changes, so a file that cannot
    // be opened leaves the window idle.
    if (scanCriteria.OutputToFile == 1) {
        int error = 0;
        scanProgress.OutputFile = OutputStream::open(platform::resolveUserPath(scanCriteria.OutputFileName),
                                                     chkAppend->isChecked(), &error);
        if (!scanProgress.OutputFile) {
            uiServices().messageBox(this, QStringLiteral("Unable to Open output file. Please check to the path"),
                                    QStringLiteral("Trawl"));
            return;
        }
    }

    NWCCODE code = nw::kSuccess;
    if (readServerName(startFolder, scanCriteria.ServerName, code) && code != nw::kSuccess)
        ShowNWError(QStringLiteral("Cannot Get Connection Information"), code);

    if (scanCriteria.HeadingsOn == 1)
        WriteHeadings();

    cmdStop->setEnabled(true);
    cmdStart->setEnabled(false);
    uiServices().setCursor(ScreenCursor::Hourglass);
    repaint();

    resultsModel->clear();

    m_scanActive = true;
    scanProgress.Running = 1;
    WalkFolder(startFolder);
    // Only Stop (or closing the window) clears the flag during the walk.
    lastScanOutcome = scanProgress.Running == 1 ? ScanOutcome::Completed : ScanOutcome::Stopped;
    scanProgress.Running = 0;

    cmdStop->setEnabled(false);
    cmdStart->setEnabled(true);
    uiServices().setCursor(ScreenCursor::Arrow);
    repaint();

    if (scanProgress.OutputFile) {
        const int error = scanProgress.OutputFile->close();
        scanProgress.OutputFile.reset();
        if (error != 0)
            ReportOutputWriteError(error);
    }
    ShowProgress();
    m_scanActive = false;

    // A close asked for during the walk was held back until the file was closed.
    if (closeAfterScan) {
        closeAfterScan = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void Tfrmmain::cmdStartClick()
{
    StartScan();
}

void Tfrmmain::cmdStopClick()
{
    scanProgress.Running = 0;
}
