// The window's first showing: the client, its contexts, the default control
// values, the drive list and the root of the directory tree.

#include <QCoreApplication>
#include <QComboBox>
#include <QDate>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <array>
#include <cstring>
#include <string>

#include "app/datepicker.h"
#include "app/folderlistbox.h"
#include "app/radiobutton.h"
#include "app/tfrmmain.h"
#include "netclient/qt_dirtreeitem.h"
#include "platform/helpfile.h"
#include "platform/profile.h"
#include "platform/uiservices.h"

namespace {

// A drive entry is held in a 512-byte text; only its first character is ever
// read back, so a longer entry is cut at a character boundary and kept.
constexpr std::size_t kMaxDriveEntryBytes = 511;

}  // namespace

void Tfrmmain::ShowNWError(const QString& label, NWCCODE code)
{
    const QString text = QString::asprintf("An Error Occurred :\n\n%s\nError Code : %lx", label.toUtf8().constData(),
                                           static_cast<unsigned long>(code));
    uiServices().messageBox(this, text, QStringLiteral("Trawl"));
}

void Tfrmmain::InstallWaitHook(bool takeClicks)
{
    m_waitHookClient = nwClient();
    if (m_waitHookClient)
        m_waitHookClient->setWaitHook([this, takeClicks] { return KeepWaitingForServer(takeClicks); });
}

bool Tfrmmain::KeepWaitingForServer(bool takeClicks)
{
    QCoreApplication::processEvents(takeClicks ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    // Stop, Esc or a close gives a scan's wait up; outside a scan a wait lasts
    // until the server answers or its Timeout passes.
    return !(m_scanActive && scanProgress.Running == 0);
}

void Tfrmmain::FormShow()
{
    HelpFile = QString::fromStdString(findHelpFile(QCoreApplication::applicationDirPath().toStdString()));

    // Without a client nothing below can run; it is the same as a client that
    // cannot start.
    NwClient* clientPointer = nwClient();
    InstallWaitHook(false);
    const NWCCODE initCode = clientPointer ? clientPointer->NWCallsInit(nullptr, nullptr) : 0xFFFFFFFFu;
    if (initCode != nw::kSuccess) {
        ShowNWError(QStringLiteral("Cannot Init Netware"), initCode);
        return;
    }
    NwClient& client = *clientPointer;

    // Each step below reports its own failure and the start-up goes on. A value
    // a failed step should have produced is 0 for the steps after it: no
    // reference, no connection, no context, an empty flags word.
    LocaleRecord locale{};
    if (client.NWLlocaleconv(&locale) != nw::kSuccess)
        locale = LocaleRecord{};
    if (const NWCCODE code = client.NWInitUnicodeTables(locale.countryId, locale.codePage))
        ShowNWError(QStringLiteral("NWInitUnicodeTables()"), code);

    std::uint32_t connRef = 0;
    if (const NWCCODE code = client.NWCCGetPrimConnRef(&connRef)) {
        ShowNWError(QStringLiteral("NWCCGetPrimConnRef()"), code);
        connRef = 0;
    }
    // The connection is opened for the client's sake and never kept or closed.
    NWCONN_HANDLE conn = 0;
    if (const NWCCODE code = client.NWCCOpenConnByRef(connRef, 1, 0, &conn))
        ShowNWError(QStringLiteral("NWCCOpenConnByRef() "), code);

    MainContext = 0;
    if (const NWCCODE code = client.NWDSCreateContextHandle(&MainContext)) {
        ShowNWError(QStringLiteral("NWCDSCreateContextHandle() "), code);
        MainContext = 0;
    }

    std::uint32_t flags = 0;
    if (const NWCCODE code = client.NWDSGetContext(MainContext, nw::kContextFlags, &flags)) {
        ShowNWError(QStringLiteral("Cannot Get Context"), code);
        flags = 0;
    }
    flags |= nw::kTypelessNames;
    if (const NWCCODE code = client.NWDSSetContext(MainContext, nw::kContextFlags, &flags))
        ShowNWError(QStringLiteral("Cannot Set Context"), code);

    std::array<char, 256> nameContext{};
    std::strcpy(nameContext.data(), "[root]");
    if (const NWCCODE code = client.NWDSSetContext(MainContext, nw::kContextNameContext, nameContext.data()))
        ShowNWError(QStringLiteral("Cannot Set Context"), code);

    TreeContext = 0;
    if (const NWCCODE code = client.NWDSDuplicateContextHandle(MainContext, &TreeContext)) {
        ShowNWError(QStringLiteral("Cannot Duplicate Context"), code);
        TreeContext = 0;
    }

    PageControl1->setCurrentWidget(TabSheet1);
    // Checking from code runs the buttons' rules, as a click would.
    optSizeIgnore->setChecked(true);
    optDateIgnore->setChecked(true);
    const double today = DatePicker::serialOf(QDate::currentDate());
    dtpBefore->setDaySerial(today);
    dtpExact->setDaySerial(today);
    dtpAfter->setDaySerial(today);

    RestoreWindowState();
    FillDriveList();
    RestoreLastScanFolder();

    // Expanding the root lists the top of the directory at once (through the
    // tree's expansion handler) and selects the root. The tree never sorts by
    // itself: it is put in order after each opening.
    auto* root = new DirTreeItem(QStringLiteral("[root]"));
    root->addChild(new DirTreeItem(QString::fromLatin1(kTreePlaceholder)));
    treends->addTopLevelItem(root);
    root->setExpanded(true);
    treends->setSortingEnabled(false);

    InstallWaitHook(true);
    if (!ParseCommandLine())
        return;
    if (AutoRun)
        Timer1->start();
}

void Tfrmmain::FillDriveList()
{
    cboDrives->clear();
    if (NwClient* client = nwClient()) {
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            const char root[] = {letter, ':', '\\', '\0'};
            NWCONN_HANDLE conn = 0;
            NWDIR_HANDLE dirHandle = 0;
            std::array<char, 512> volumePath{};
            // Only drives on NetWare volumes parse; the others are skipped silently.
            if (client->NWParseNetwarePath(root, &conn, &dirHandle, volumePath.data()) != nw::kSuccess)
                continue;

            // The record is not filled when the call fails: the entry then
            // names no server.
            ConnectionInfoRecord info{};
            std::string server;
            if (const NWCCODE code = client->NWGetConnectionInformation(conn, nw::kConnectionInfoLevel, &info))
                ShowNWError(QStringLiteral("Cannot Get Connection Information"), code);
            else
                server = nw::boundedText(info.serverName, sizeof info.serverName);

            std::string entry = std::string(1, letter) + ":       " + server + "/" +
                                std::string(nw::boundedText(volumePath.data(), volumePath.size()));
            cboDrives->addItem(QString::fromUtf8(profile::wholeCharacters(entry, kMaxDriveEntryBytes)));
        }
    }

    // Selecting entry 0 here is no user choice, so the change handler (bound to
    // the user's picks and edits only) does not run; the folder list is pointed
    // at the drive here instead.
    cboDrives->setCurrentIndex(cboDrives->count() > 0 ? 0 : -1);
    if (cboDrives->currentIndex() >= 0)
        DirectoryListBox1->setDirectory(cboDrives->itemText(cboDrives->currentIndex()).left(1) +
                                        QStringLiteral(":\\"));
}

void Tfrmmain::cboDrivesChange()
{
    // Text typed into the box selects no entry unless it reads exactly as one.
    const int index = cboDrives->currentIndex();
    if (index < 0 || cboDrives->currentText() != cboDrives->itemText(index))
        return;
    const QString entry = cboDrives->itemText(index);
    if (entry.isEmpty())
        return;
    DirectoryListBox1->setDirectory(entry.left(1) + QStringLiteral(":\\"));
}
