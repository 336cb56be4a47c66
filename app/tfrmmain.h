#pragma once

// The one main window. Its controls carry their given names (object name and
// member name alike); its methods keep their given names and live in the folder
// of the subsystem they belong to (the walker in scan/, the writers in output/,
// the start-up in netclient/, the settings in settings/).

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "netclient/nwclient.h"
#include "output/outputfields.h"
#include "scan/attributeboxes.h"
#include "scan/scancriteria.h"

class QCheckBox;
class QComboBox;
class QFont;
class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimer;
class QTreeView;
class QAction;
class QTreeWidget;
namespace history {
class Recorder;
class Store;
struct RunInfo;
}  // namespace history
class QTreeWidgetItem;
class DatePicker;
class ChangesModel;
class ErrorsModel;
class FolderListBox;
class OwnerTotalsModel;
class RadioButton;
class ResultsModel;
class TfrmAbout;

// How the program was started, gathered by main from the process (tests fill
// it directly): the window reads it and never the process itself.
struct StartOptions {
    QStringList arguments;              // those after the program's name, read by ParseCommandLine
    bool echoErrorsToStderr = false;    // an automatic run: every errors-list row goes to standard error too
    bool closeWhenAutoRunEnds = false;  // no screen: nobody could close the window when the scan ends
    // /autorun with /autoclose, or /autorun without a screen: nobody may be
    // there to answer a message or close the window. Message boxes close by
    // themselves after kUnattendedMessageTimeout, and a start that ends before
    // its scan (no client, a settings file that fails to load) closes the
    // window as the end of the scan would.
    bool unattended = false;
};

inline constexpr std::chrono::seconds kUnattendedMessageTimeout{60};

class Tfrmmain : public QMainWindow {
    Q_OBJECT

public:
    explicit Tfrmmain(QWidget* parent = nullptr);
    ~Tfrmmain() override;

    // The program-wide records of the window's state (one window per program).
    ScanCriteria scanCriteria;
    ScanProgress scanProgress;
    NWDSContextHandle MainContext = 0;
    NWDSContextHandle TreeContext = 0;
    bool AutoRun = false;
    bool AutoClose = false;
    QString SettingsFileName;
    QString HelpFile;  // full path of TRAWL.HLP: beside the executable, else in ../share/trawl
    TfrmAbout* frmAbout = nullptr;

    // The buttons at the right.
    QPushButton* cmdStart = nullptr;
    QPushButton* cmdStop = nullptr;
    QPushButton* cmdAbout = nullptr;
    QPushButton* cmdHelp = nullptr;
    // Below the buttons: shown while the folder list highlights a folder other
    // than the one the scan starts from, and says which one that is.
    QLabel* lblStartFolder = nullptr;

    // Status area.
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* lblPath = nullptr;
    QLabel* lblFileCount = nullptr;
    QLabel* lblDirCount = nullptr;
    QLabel* lblMatchCount = nullptr;
    QLabel* lblMatchSize = nullptr;
    QLabel* lblMessage = nullptr;

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QWidget* TabSheet5 = nullptr;
    QWidget* TabSheet6 = nullptr;
    QWidget* TabSheet7 = nullptr;
    QWidget* TabSheet8 = nullptr;
    QWidget* TabSheet9 = nullptr;   // "Totals", between Errors and Changes
    QWidget* TabSheet10 = nullptr;  // "Changes", between Totals and Batch Settings

    // "Path/File". txtPath shows the folder the scan starts from (the folder
    // list's current folder) and takes a typed or pasted one.
    QComboBox* cboDrives = nullptr;
    QLineEdit* txtPath = nullptr;
    FolderListBox* DirectoryListBox1 = nullptr;
    QLabel* Label8 = nullptr;
    QComboBox* cboPattern = nullptr;

    // "Dates/Size".
    QGroupBox* GroupBox1 = nullptr;
    RadioButton* optSizeGreater = nullptr;
    RadioButton* optSizeLess = nullptr;
    RadioButton* optSizeEqual = nullptr;
    RadioButton* optSizeIgnore = nullptr;
    QLineEdit* txtSizeBytes = nullptr;
    QLabel* lblSizeBytes = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QGroupBox* RadioGroup1 = nullptr;
    RadioButton* optDateAccessed = nullptr;
    RadioButton* optDateModified = nullptr;
    RadioButton* optDateCreation = nullptr;
    RadioButton* optDateIgnore = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    RadioButton* optDateBefore = nullptr;
    RadioButton* optDateBetween = nullptr;
    RadioButton* optDateAfter = nullptr;
    RadioButton* optDateExact = nullptr;
    DatePicker* dtpBefore = nullptr;
    DatePicker* dtpAfter = nullptr;
    DatePicker* dtpExact = nullptr;

private:
    // The boxes of the attribute and output-field tables, each in its table's
    // order. Declared before the named members of the boxes, which are
    // references to these slots.
    std::array<QCheckBox*, kAttributeBoxCount> m_attributeBoxes{};
    std::array<QCheckBox*, kOutputFieldCount> m_outputFieldBoxes{};

public:
    // "Attributes".
    QGroupBox* GroupBox4 = nullptr;
    QCheckBox*& chkAttribReadOnly = m_attributeBoxes[index(AttributeBox::ReadOnly)];
    QCheckBox*& chkAttribShareable = m_attributeBoxes[index(AttributeBox::Shareable)];
    QCheckBox*& chkAttribHidden = m_attributeBoxes[index(AttributeBox::Hidden)];
    QCheckBox*& chkAttribSystem = m_attributeBoxes[index(AttributeBox::System)];
    QCheckBox*& chkAttribTransactional = m_attributeBoxes[index(AttributeBox::Transactional)];
    QCheckBox*& chkAttribMigrated = m_attributeBoxes[index(AttributeBox::Migrated)];
    QCheckBox*& chkAttribDontMigrate = m_attributeBoxes[index(AttributeBox::DontMigrate)];
    QCheckBox*& chkAttribDeleteInhibit = m_attributeBoxes[index(AttributeBox::DeleteInhibit)];
    QCheckBox*& chkAttribRenameInhibit = m_attributeBoxes[index(AttributeBox::RenameInhibit)];
    QCheckBox*& chkAttribCopyInhibit = m_attributeBoxes[index(AttributeBox::CopyInhibit)];
    QCheckBox*& chkAttribArchiveNeeded = m_attributeBoxes[index(AttributeBox::ArchiveNeeded)];
    QCheckBox*& chkAttribExecuteOnly = m_attributeBoxes[index(AttributeBox::ExecuteOnly)];
    QCheckBox*& chkAttribImmedPurge = m_attributeBoxes[index(AttributeBox::ImmedPurge)];
    QCheckBox*& chkAttribCompressed = m_attributeBoxes[index(AttributeBox::Compressed)];
    QCheckBox*& chkAttribImmedCompress = m_attributeBoxes[index(AttributeBox::ImmedCompress)];
    QCheckBox*& chkAttribDontCompress = m_attributeBoxes[index(AttributeBox::DontCompress)];
    QCheckBox*& chkAttribCantCompress = m_attributeBoxes[index(AttributeBox::CantCompress)];
    QCheckBox*& chkAttribDontSuballocate = m_attributeBoxes[index(AttributeBox::DontSuballocate)];
    QCheckBox*& chkAttribReadAudit = m_attributeBoxes[index(AttributeBox::ReadAudit)];
    QCheckBox*& chkAttribWriteAudit = m_attributeBoxes[index(AttributeBox::WriteAudit)];

    // "Owners".
    QTreeWidget* treends = nullptr;
    QAction* actAddOutsideDirectory = nullptr;
    QPushButton* cmdUserAdd = nullptr;
    QPushButton* cmdUserRemove = nullptr;
    QPushButton* cmdUsersDeleteAll = nullptr;
    QListWidget* lstUsers = nullptr;

    // "Output".
    QCheckBox* chkOutputResults = nullptr;
    QCheckBox* chkAppend = nullptr;
    QCheckBox* chkCommandFile = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* txtOutputFilename = nullptr;
    QCheckBox* chkOutputHeadings = nullptr;
    QCheckBox* chkOutputSurround = nullptr;
    QGroupBox* RadioGroup2 = nullptr;
    RadioButton* optOutputSepComma = nullptr;
    RadioButton* optOutputSepTab = nullptr;
    RadioButton* optOutputSepOther = nullptr;
    QLineEdit* txtOutputSepOther = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    QCheckBox*& chkOutputServer = m_outputFieldBoxes[index(OutputField::Server)];
    QCheckBox*& chkOutputFullPath = m_outputFieldBoxes[index(OutputField::FullPath)];
    QCheckBox*& chkOutputFilename = m_outputFieldBoxes[index(OutputField::FileName)];
    QCheckBox*& chkOutputExtension = m_outputFieldBoxes[index(OutputField::Extension)];
    QCheckBox*& chkOutputSize = m_outputFieldBoxes[index(OutputField::Size)];
    QCheckBox*& chkOutputOwner = m_outputFieldBoxes[index(OutputField::Owner)];
    QCheckBox*& chkOutputAccessed = m_outputFieldBoxes[index(OutputField::Accessed)];
    QCheckBox*& chkOutputModified = m_outputFieldBoxes[index(OutputField::Modified)];
    QCheckBox*& chkOutputCreation = m_outputFieldBoxes[index(OutputField::Creation)];
    QCheckBox*& chkOutputAttributes = m_outputFieldBoxes[index(OutputField::Attributes)];
    QPlainTextEdit* memCommandFile = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    // The history of scans, on "Path/File" below the pattern.
    QGroupBox* grpHistory = nullptr;
    QCheckBox* chkHistory = nullptr;
    QLabel* lblHistory = nullptr;
    QLineEdit* txtHistory = nullptr;
    QCheckBox* chkOutputChange = nullptr;
    QCheckBox* chkOutputChangesOnly = nullptr;
    QPushButton* cmdHistory = nullptr;
    // The recorded runs, to delete one or compare two (scan/frm_history.cpp).
    void cmdHistoryClick();

    // "Results" and "Errors".
    QTreeView* lvwResults = nullptr;
    QTreeView* lvwErrors = nullptr;
    ResultsModel* resultsModel = nullptr;
    ErrorsModel* errorsModel = nullptr;

    // "Changes": the last scan's files that changed since the run before it.
    QTreeView* lvwChanges = nullptr;
    ChangesModel* changesModel = nullptr;

    // "Totals": the matches of the last scan by owner.
    QTreeView* lvwTotals = nullptr;
    OwnerTotalsModel* totalsModel = nullptr;

    // "Batch Settings".
    QGroupBox* GroupBox6 = nullptr;
    QGroupBox* GroupBox7 = nullptr;
    QGroupBox* GroupBox8 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* Label17 = nullptr;
    QLabel* Label18 = nullptr;
    QLabel* Label19 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

    QTimer* Timer1 = nullptr;

    // Control rules (app/).
    void optSizeIgnoreClick();
    void optSizeGreaterClick();
    void optSizeLessClick();
    void optSizeEqualClick();
    void optDateIgnoreClick();
    void optDateAccessedClick();
    void optDateModifiedClick();
    void optDateCreationClick();
    void optDateBeforeClick();
    void optDateAfterClick();
    void optDateExactClick();
    void optDateBetweenClick();
    void chkOutputResultsClick();
    void chkAppendClick();
    void chkCommandFileClick();
    void EnableDateParameters(bool enabled);
    void cmdAboutClick();
    void cmdHelpClick();
    // The path box and the note beside Start (app/frm_folderpath.cpp).
    void txtPathEditingFinished();
    void ShowStartFolder();

    // Scan request and run (scan/).
    std::int32_t ValidateSettings();
    void StartScan();
    void cmdStartClick();
    void cmdStopClick();
    void WalkFolder(const std::string& folder);
    std::int32_t MatchFile(const FileInfoRecord& info, const ExtendedInfoRecord& extended, std::string_view owner);
    std::int32_t GetShortName(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* volumePath,
                              std::string& shortName);
    // conn receives the connection of the folder's parse, used by the owner
    // lookup; fileName (the listing's name) names the file in error rows.
    std::int32_t ReadExtendedInfo(const std::string& folder, const std::string& shortName,
                                  const std::string& fileName, std::uint64_t size, ExtendedInfoRecord& extended,
                                  NWCONN_HANDLE& conn);
    void GetOwnerName(NWCONN_HANDLE conn, std::uint32_t ownerId, std::string& name);

    // Result and error lists, output file and command file (output/).
    void RecordMatch(const std::string& folder, const std::string& fileName, std::uint64_t size,
                     const std::string& owner, const std::string& fullPath, const FileInfoRecord& info,
                     const ExtendedInfoRecord& extended);
    void LogNWError(const std::string& path, NWCCODE code, const char* problem, std::uint64_t size);
    void WriteHeadings();
    void WriteOutputRecord(const std::string& folder, const std::string& fileName, const std::string& owner,
                           const FileInfoRecord& info, const ExtendedInfoRecord& extended,
                           std::string_view change = {});
    void WriteCommandLine(const std::string& folder, const std::string& fileName);

    // Client start-up, drive list and directory tree (netclient/).
    void FormShow();
    void FillDriveList();
    void cboDrivesChange();
    void ShowNWError(const QString& label, NWCCODE code);
    void treendsExpanding(QTreeWidgetItem* node);
    void LoadTreeNode(QTreeWidgetItem* node);
    void ListTreeChildren(QTreeWidgetItem* node);
    void cmdUserAddClick();
    void cmdUserRemoveClick();
    void cmdUsersDeleteAllClick();
    // The tree's menu entry that adds the owner entry kOutsideDirectoryItem.
    void AddOutsideDirectoryClick();

    // Settings file, command line, window state (settings/).
    void Button1Click();
    void Button2Click();
    // True when every key was applied; false after the message of the refused key.
    bool LoadSettings(const QString& fileName);
    // False when a settings file failed to load, which ends the start-up.
    bool ParseCommandLine();
    void Timer1Timer();
    // The summary line of an automatic run on standard output, and its exit status.
    void reportUnattendedRun(std::int64_t errorRows, double seconds);
    void RestoreWindowState();
    void FormClose();

    void setStartOptions(StartOptions options) { m_startOptions = std::move(options); }

    // Shows the counters, the Current File line and the rows appended since the
    // last call; the walker calls it at every message pump and when a scan ends,
    // so the per-file work never touches a widget.
    void ShowProgress();
    // The file or folder being examined, shown in lblPath by ShowProgress.
    std::string currentPath;
    // One errors-list row naming the output file, at most once per scan.
    void ReportOutputWriteError(int errorCode);
    bool outputErrorReported = false;
    // Set when the window is closed during a scan: the walk ends first, then
    // the scan run closes the output file and the window.
    bool closeAfterScan = false;

    // How the last scan run ended: refused before it began (settings, output
    // file), walked to its end, or stopped.
    enum class ScanOutcome { NotRun, Completed, Stopped };
    ScanOutcome lastScanOutcome = ScanOutcome::NotRun;
    // Errors-list rows added since the program started.
    std::int64_t errorRowsAdded = 0;
    // The status line's text when a scan ends, by how it ended.
    void ShowScanOutcome(std::int64_t errorRows);
    // The exit status of a run with /autorun and /autoclose: 0 the scan ran to
    // its end without errors-list rows, 1 with rows, 2 no scan ran, 3 stopped.
    int unattendedExitStatus = 2;

    // What the size box will use, the results filter and the list counts on
    // the tabs: kept together, apart from the given members above.
    // Below the size box: the size its text gives, or why it gives none.
    QLabel* lblSizeValue = nullptr;
    void ShowSizeReading();
    // Above the results: narrows the rows shown to those whose path or owner
    // holds the text; the note beside it says how many of how many are shown.
    QLineEdit* txtResultsFilter = nullptr;
    QLabel* lblResultsShown = nullptr;
    // The Results tab shows how many matches the list holds, the Errors tab
    // how many rows the last scan added.
    void ShowListCounts();
    // Desktop habits: the folder and pattern of the last scan started from
    // Start, the patterns typed for scans and the folder of the settings
    // files, kept in the window-state file (settings/frm_windowstate.cpp);
    // the title naming the settings file (settings/frm_settingsfile.cpp);
    // the keyboard shortcuts (app/tfrmmain.cpp).
    // The last scan's folder, once the drive list is filled; a folder gone
    // leaves the list as it is.
    void RestoreLastScanFolder();
    // Notes a scan that ran: its folder and pattern, the pattern first among
    // the typed ones unless it is one of the list's own.
    void rememberScan(const QString& folder, const QString& pattern);

private:
    void setTypedPatterns(const QStringList& patterns);
    void selectDriveOf(const QString& folder);
    void showSettingsFile(const QString& fileName);
    void buildShortcuts();
    QString m_lastScanFolder;
    QString m_lastScanPattern;
    QStringList m_typedPatterns;  // newest first; above the list's own patterns in cboPattern
    QString m_settingsFolder;     // host folder of the last settings file chosen in a dialog

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildWindow();
    QLayout* buildButtonColumn();
    QLayout* buildStatusArea(const QFont& windowFont);
    void addPages();
    void buildPathFilePage();
    void buildDatesSizePage();
    QGroupBox* buildSizeGroup();
    QGroupBox* buildDatesGroup();
    void buildAttributesPage();
    void buildOwnersPage();
    void buildOutputPage();
    QLayout* buildOutputFileColumn();
    QGroupBox* buildSeparatorGroup();
    QGroupBox* buildOutputFieldsGroup();
    QGroupBox* buildHistoryGroup();
    void buildResultsPage();
    void buildErrorsPage();
    void buildTotalsPage();
    void buildChangesPage();
    void buildBatchSettingsPage();
    void connectRules();

    // The date and output parts of ValidateSettings (scan/), with its answers.
    std::int32_t validateDateSettings();
    std::int32_t validateOutputSettings();
    std::int32_t validateHistorySettings();
    // The counters and their labels back to nothing when a scan starts, and the
    // output file closed when it ends, a failed write reported (scan/).
    void resetScanProgress();
    void closeOutputFile();

    StartOptions m_startOptions;
    bool m_shown = false;
    // True while lblMessage shows how the last scan ended; the next scan
    // clears it, an unattended run's notice is left alone.
    bool m_outcomeShown = false;
    // Set while the path box applies its text, whose message box could
    // otherwise end the editing a second time.
    bool m_applyingPath = false;
    // The output writers build each line here; reused so a scan allocates once.
    std::string m_outputLine;
    // True from the start of a walk until StartScan has finished with it; a
    // Stop followed by Start inside the walk's pump must not begin a second scan.
    bool m_scanActive = false;
    // The owner test's list as UTF-8 texts, made again whenever the list
    // changes (it may be edited while a scan runs), not at every file.
    std::vector<std::string> m_ownerItems;
    bool m_ownerItemsStale = true;
    bool m_ownerItemsWatched = false;
    // What the last owner lookup learnt beyond the name: the directory
    // answered that it has no object of that ID (kOutsideDirectoryItem
    // matches then); and, for the current scan, whether a lost directory
    // has already been reported in the errors list.
    bool m_ownerOutsideDirectory = false;
    bool m_directoryLossLogged = false;

    // A directory server that is slow or gone (netclient/frm_startup.cpp,
    // scan/frm_lookups.cpp, netclient/frm_dirtree.cpp). While a client call
    // waits on the server the window keeps painting and taking clicks; a Stop
    // or a close gives a scan's wait up. The client it was installed on is
    // kept so the window can take it back when it goes.
    // While the client starts, the window paints but takes no clicks.
    void InstallWaitHook(bool takeClicks);
    bool KeepWaitingForServer(bool takeClicks);
    NwClient* m_waitHookClient = nullptr;
    // Set when an owner of this scan could not be named because the directory
    // did not answer: the status and summary lines say so.
    bool m_ownerNamesIncomplete = false;
    // The client's outage the last directory row was written for: each
    // outage is one row, however many files it leaves unnamed.
    std::uint64_t m_directoryOutageLogged = 0;
    // True while the tree lists a container: a second one opened meanwhile
    // waits until the user opens it again.
    bool m_listingTree = false;
    // A container the directory did not list: closed, unlisted, and the
    // status line says why.
    void ShowTreeUnanswered(QTreeWidgetItem* node);
    // The text the status line ends with when owners went unnamed.
    QString ownerNamesNote() const;

    // The history of the running scan (scan/frm_history.cpp): opened before
    // the walk, told each match (which gets its change back), and after the
    // walk asked for the files gone since the run before, then closed.
    // Whatever fails is one errors-list row; the scan goes on.
    void beginHistory(const std::string& startFolder);
    std::string_view historyChange(const std::string& fullPath, std::uint64_t size, const std::string& owner,
                                   const FileInfoRecord& info, const ExtendedInfoRecord& extended,
                                   bool& unchanged);
    void endHistory();
    void reportHistoryFailure(const std::string& reason);
    // What changed between two recorded runs, on the Changes page.
    void ShowComparison(history::Store& store, const history::RunInfo& earlier, const history::RunInfo& later);
    std::unique_ptr<history::Store> m_historyStore;
    std::unique_ptr<history::Recorder> m_historyRecorder;
    std::string m_historyStartFolder;  // the start folder, which recorded paths are relative to
    std::string m_historyChange;       // the last match's change, reused
    // What the summary line of an unattended run ends with; empty without history.
    std::string m_historyNote;
    // The errors-list rows there were when the last scan began; -1 before
    // any scan. A scan begins by emptying the results.
    int m_errorRowsBeforeScan = -1;
};
