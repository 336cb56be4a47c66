// The walk of a folder and everything below it: first the files the pattern
// selects, then each subfolder, depth first.

#include <QCoreApplication>
#include <QLabel>

#include <cstring>

#include "app/tfrmmain.h"
#include "output/qt_listmodels.h"
#include "platform/drives.h"
#include "scan/pathjoin.h"

namespace {

// Windows listing requests: normal, read-only, hidden and system entries; the
// subfolder listing asks for directories as well.
constexpr std::uint32_t kFileRequest = platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrSystem;
constexpr std::uint32_t kFolderRequest = kFileRequest | platform::kAttrDirectory;
constexpr std::uint8_t kSearchAttributes = 6;  // hidden and system files too
constexpr std::int32_t kFilesPerPump = 100;

// Shows what the walk has done, paints what is waiting to be painted (the
// changed labels and rows, not the whole window) and runs every waiting
// message; this is where a click on Stop is seen.
void pump(Tfrmmain& window)
{
    window.ShowProgress();
    QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest);
    QCoreApplication::processEvents();
}

void upperCaseAscii(char* text)
{
    for (; *text != '\0'; ++text)
        if (*text >= 'a' && *text <= 'z')
            *text = static_cast<char>(*text - ('a' - 'A'));
}

// The folder and a name by the join rule, into a buffer that keeps its storage
// from one file to the next.
void joinInto(std::string& path, const std::string& folder, const std::string& name)
{
    path.assign(folder);
    if (folder.empty() || folder.back() != '\\')
        path.push_back('\\');
    path.append(name);
}

} // namespace

void Tfrmmain::WalkFolder(const std::string& folder)
{
    NwClient& client = *nwClient();
    ScanProgress& progress = scanProgress;
    const bool wantExtended =
        scanCriteria.AttributeMask != 0 || (scanCriteria.OutputToFile == 1 && scanCriteria.OutAttributes == 1);

    {
        platform::DirListing files;
        files.open(joinPath(folder, scanCriteria.Pattern), kFileRequest);
        platform::DirEntry entry;
        std::string fullPath;
        std::string owner;
        std::string shortName;
        FileInfoRecord info;
        ExtendedInfoRecord extended;
        char volumePath[512];

        while (progress.Running == 1 && files.next(entry)) {
            if (entry.attributes & platform::kAttrDirectory)
                continue;
            // The pump comes before the count is raised, so files 1, 101, 201 ... see one.
            if (progress.FilesScanned % kFilesPerPump == 0)
                pump(*this);
            ++progress.FilesScanned;

            joinInto(fullPath, folder, entry.name);
            currentPath = fullPath;

            NWCONN_HANDLE conn = 0;
            NWDIR_HANDLE dirHandle = 0;
            volumePath[0] = '\0';
            NWCCODE code = client.NWParseNetwarePath(platform::charToOem(fullPath).c_str(), &conn, &dirHandle,
                                                     volumePath);
            volumePath[sizeof volumePath - 1] = '\0';
            if (code != nw::kSuccess) {
                LogNWError(fullPath, code, "NWParseNetwarePath", entry.size);
                continue;
            }

            std::uint8_t sequence[9];
            std::memset(sequence, 0xFF, sizeof sequence);
            std::memset(&info, 0, sizeof info);
            code = client.NWIntScanFileInformation2(conn, dirHandle, volumePath, kSearchAttributes, sequence, &info,
                                                    0);
            if (code != nw::kSuccess) {
                LogNWError(volumePath, code, "NWIntScanFileInformation2", entry.size);
                continue;
            }

            std::memset(&extended, 0, sizeof extended);
            if (wantExtended) {
                upperCaseAscii(volumePath);
                if (GetShortName(conn, dirHandle, volumePath, shortName) != 0)
                    continue;
                // Without a DOS name space the listing's own name finds the file.
                if (ReadExtendedInfo(folder, shortName.empty() ? entry.name : shortName, entry.size, extended,
                                     conn)
                    != 0)
                    continue;
            }

            GetOwnerName(conn, info.ownerId, owner);
            if (!MatchFile(info, extended, owner))
                continue;
            RecordMatch(folder, entry.name, entry.size, owner, fullPath, info, extended);
        }
    }

    platform::DirListing folders;
    folders.open(joinPath(folder, "*.*"), kFolderRequest);
    platform::DirEntry entry;
    while (progress.Running == 1 && folders.next(entry)) {
        if (!(entry.attributes & platform::kAttrDirectory) || entry.name == "." || entry.name == "..")
            continue;
        ++progress.DirsScanned;
        const std::string subfolder = joinPath(folder, entry.name);
        currentPath = subfolder;
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
}
