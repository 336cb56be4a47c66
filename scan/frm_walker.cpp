// The walk of a folder and everything below it: first the files the pattern
// selects, then each subfolder, depth first.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "app/tfrmmain.h"
#include "output/qt_listmodels.h"
#include "platform/drives.h"
#include "platform/pathjoin.h"

namespace {

// Windows listing requests: normal, read-only, hidden and system entries; the
// subfolder listing asks for directories as well.
constexpr std::uint32_t kFileRequest = platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrSystem;
constexpr std::uint32_t kFolderRequest = kFileRequest | platform::kAttrDirectory;
constexpr std::int32_t kFilesPerPump = 100;
// The server's answer to a path with a name it cannot hold.
constexpr NWCCODE kInvalidPath = 0x899C;
constexpr const char* kListingFailedProblem = "Unable to list folder";
constexpr qint64 kDisplayIntervalMs = 40;

// Runs every waiting message; this is where a click on Stop is seen. Before
// that, the counters, the Current File line and the new rows are shown and
// painted (only what changed, not the whole window), at most once per display
// interval: a walk pumps at every folder, far more often than anyone can read,
// and painting was most of the cost of a scan. The scan's end shows the final
// state in any case.
void pump(Tfrmmain& window)
{
    static QElapsedTimer shown;
    if (!shown.isValid() || shown.hasExpired(kDisplayIntervalMs)) {
        window.ShowProgress();
        QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest);
        shown.start();
    }
    QCoreApplication::processEvents();
}

bool holdsSeparator(const std::string& name) { return name.find_first_of("\\/") != std::string::npos; }

// What the walk of one folder keeps from one file to the next.
struct FileBuffers {
    std::string fullPath;
    std::string owner;
    std::string shortName;
    FileInfoRecord info;
    ExtendedInfoRecord extended;
    char volumePath[512];
};

// One file of a folder's listing: its path, what the client tells of it, its
// extended information when the criteria or the output need it, its owner,
// and whether it is a match.
void examineFile(Tfrmmain& window, const std::string& folder, const platform::DirEntry& entry, bool wantExtended,
                 FileBuffers& buffers)
{
    NwClient& client = *nwClient();
    ScanProgress& progress = window.scanProgress;
    std::string& fullPath = buffers.fullPath;
    char* const volumePath = buffers.volumePath;

    // The pump comes before the count is raised, so files 1, 101, 201 ... see one.
    if (progress.FilesScanned % kFilesPerPump == 0)
        pump(window);
    if (progress.FilesScanned < INT32_MAX)
        ++progress.FilesScanned;

    // The buffer keeps its storage from one file to the next.
    fullPath.clear();
    appendJoinedPath(fullPath, folder, entry.name);
    window.currentPath = fullPath;

    // A host name holding a backslash would be read back as a folder and a
    // name, naming another file or none; no volume can hold it anyway.
    if (holdsSeparator(entry.name)) {
        window.LogNWError(fullPath, kInvalidPath, "NWParseNetwarePath", entry.size);
        return;
    }

    NWCONN_HANDLE conn = 0;
    NWDIR_HANDLE dirHandle = 0;
    volumePath[0] = '\0';
    NWCCODE code = client.NWParseNetwarePath(platform::charToOem(fullPath).c_str(), &conn, &dirHandle, volumePath);
    volumePath[sizeof buffers.volumePath - 1] = '\0';
    if (code != nw::kSuccess) {
        window.LogNWError(fullPath, code, "NWParseNetwarePath", entry.size);
        return;
    }

    std::uint8_t sequence[9];
    std::memset(sequence, 0xFF, sizeof sequence);
    std::memset(&buffers.info, 0, sizeof buffers.info);
    code = client.NWIntScanFileInformation2(conn, dirHandle, volumePath, nw::kSearchHiddenAndSystem, sequence,
                                            &buffers.info, 0);
    if (code != nw::kSuccess) {
        window.LogNWError(volumePath, code, "NWIntScanFileInformation2", entry.size);
        return;
    }

    std::memset(&buffers.extended, 0, sizeof buffers.extended);
    if (wantExtended) {
        // The path goes as the parse gave it, not in capitals: on the host,
        // names that differ only in case are different files, and the
        // capitals would find another one's short name and attributes.
        // The rows of these steps still show it in capitals.
        if (window.GetShortName(conn, dirHandle, volumePath, buffers.shortName) != 0)
            return;
        // Without a DOS name space the listing's own name finds the file.
        const std::string& name = buffers.shortName.empty() ? entry.name : buffers.shortName;
        if (window.ReadExtendedInfo(folder, name, entry.name, entry.size, buffers.extended, conn) != 0)
            return;
    }

    window.GetOwnerName(conn, buffers.info.ownerId, buffers.owner);
    if (window.MatchFile(buffers.info, buffers.extended, buffers.owner))
        window.RecordMatch(folder, entry.name, entry.size, buffers.owner, fullPath, buffers.info, buffers.extended);
}

bool isSubfolder(const platform::DirEntry& entry)
{
    return (entry.attributes & platform::kAttrDirectory) && entry.name != "." && entry.name != "..";
}

// Lists a folder for the walk: each file the pattern selects goes to examine,
// in the listing's order, while the scan runs; the subfolders are returned,
// to be walked after the files. When the pattern names no folder of its own,
// one listing of every entry serves both: its files that the pattern matches
// are exactly those a listing of the pattern returns, in the same order, and
// the folder is read once instead of twice.
template <class Examine>
std::vector<std::string> listFolder(Tfrmmain& window, const std::string& folder, const Examine& examine)
{
    const ScanProgress& progress = window.scanProgress;
    const std::string& pattern = window.scanCriteria.Pattern;
    std::vector<std::string> subfolders;
    // A folder that exists but cannot be read is a row: its files would
    // otherwise be missing from the scan without a word. One that has gone
    // since its parent was listed holds nothing to examine.
    const auto checkListing = [&](const platform::DirListing& listing) {
        const int error = listing.error();
        if (error != 0 && error != ENOENT && error != ENOTDIR)
            window.LogNWError(folder, static_cast<NWCCODE>(error), kListingFailedProblem, 0);
    };
    platform::DirListing listing;
    platform::DirEntry entry;
    if (pattern.find_first_of("\\/") == std::string::npos) {
        if (!listing.open(joinPath(folder, "*.*"), kFolderRequest, pattern))
            checkListing(listing);
        while (progress.Running == 1 && listing.next(entry)) {
            if (entry.attributes & platform::kAttrDirectory) {
                if (isSubfolder(entry))
                    subfolders.push_back(std::move(entry.name));
            } else if (platform::wildcardMatch(pattern, entry.name)) {
                examine(entry);
            }
        }
    } else {
        listing.open(joinPath(folder, pattern), kFileRequest);
        while (progress.Running == 1 && listing.next(entry))
            if (!(entry.attributes & platform::kAttrDirectory))
                examine(entry);
        platform::DirListing folders;
        if (!folders.open(joinPath(folder, "*.*"), kFolderRequest))
            checkListing(folders);
        while (progress.Running == 1 && folders.next(entry))
            if (isSubfolder(entry))
                subfolders.push_back(std::move(entry.name));
    }
    return subfolders;
}

}  // namespace

void Tfrmmain::WalkFolder(const std::string& folder)
{
    // The history records every match's attributes and creation time, so
    // that two runs compare alike whatever their output fields.
    const bool wantExtended = scanCriteria.AttributeMask != 0 || scanCriteria.HistoryOn != 0 ||
                              (scanCriteria.OutputToFile == 1 && scanCriteria.OutAttributes == 1);
    // Buffers kept from one file to the next.
    FileBuffers buffers;

    // Files first, in the listing's order, then the subfolders.
    const auto examine = [&](const platform::DirEntry& entry) {
        examineFile(*this, folder, entry, wantExtended, buffers);
    };
    const std::vector<std::string> subfolders = listFolder(*this, folder, examine);

    for (const std::string& name : subfolders) {
        if (scanProgress.Running != 1)
            break;
        if (scanProgress.DirsScanned < INT32_MAX)
            ++scanProgress.DirsScanned;
        const std::string subfolder = joinPath(folder, name);
        currentPath = subfolder;
        // Its path would lead into another folder, or nowhere.
        if (holdsSeparator(name)) {
            LogNWError(subfolder, kInvalidPath, "NWParseNetwarePath", 0);
            continue;
        }
        pump(*this);
        WalkFolder(subfolder);
    }
}

void Tfrmmain::ShowProgress()
{
    lblPath->setText(QString::fromStdString(currentPath));
    lblFileCount->setText(QString::number(scanProgress.FilesScanned));
    lblDirCount->setText(QString::number(scanProgress.DirsScanned));
    lblMatchCount->setText(QString::number(scanProgress.MatchingFiles));
    lblMatchSize->setText(QString::number(scanProgress.MatchingSize));
    resultsModel->flush();
    errorsModel->flush();
    changesModel->flush();
}
