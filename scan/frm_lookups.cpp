// The lookups that complete what the listing knows of a file: its name in name
// space 0, its extended information and its owner's name.

#include <cstring>

#include "app/tfrmmain.h"
#include "netclient/nwclient.h"
#include "platform/asciicase.h"
#include "platform/pathjoin.h"

namespace {

constexpr std::size_t kNameBufferSize = 256;
constexpr std::size_t kPathBufferSize = 512;

// The file as the rows of the extended steps name it: its name in the folder
// the steps worked on. A volume path of a volume's root ends in its colon
// ("SYS:"), which the name follows directly.
std::string fileInFolder(std::string_view folder, std::string_view name)
{
    if (!folder.empty() && folder.back() == ':') {
        std::string path(folder);
        path.append(name);
        return path;
    }
    return joinPath(folder, name);
}

}  // namespace

std::int32_t Tfrmmain::GetShortName(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* volumePath,
                                    std::string& shortName)
{
    NwClient& client = *nwClient();
    shortName.clear();
    // A failed step's row shows the volume path with a-z in capitals (other
    // bytes, accented letters included, as they are).
    const auto logFailure = [&](NWCCODE code, const char* problem) {
        LogNWError(ascii::toUpper(volumePath), code, problem, 0);
    };

    std::uint8_t owningNameSpace = 0;
    NWCCODE code = client.NWGetOwningNameSpace(conn, dirHandle, volumePath, &owningNameSpace);
    if (code != nw::kSuccess) {
        logFailure(code, "Cannot Get Owning Name Space");
        return 1;
    }

    char nsPath[kPathBufferSize] = {};
    std::strncpy(nsPath, volumePath, sizeof nsPath - 1);
    NwNsPath pathRecord{volumePath, nsPath, static_cast<std::uint16_t>(sizeof nsPath)};
    code = client.NWGetNSPath(conn, dirHandle, 1, nw::kLongNameSpace, nw::kDosNameSpace, &pathRecord);
    if (code == nw::kInvalidNameSpace)
        return 0;  // no DOS name space: the caller keeps the listing's name
    if (code != nw::kSuccess) {
        logFailure(code, "Error with nwgetnspath ");
        return 1;
    }

    char name[kPathBufferSize] = {};
    code = client.NWGetLongName(conn, 0, volumePath, nw::kLongNameSpace, nw::kDosNameSpace, name);
    if (code != nw::kSuccess) {
        logFailure(code, "Error with nwgetlongname");
        return 1;
    }
    shortName.assign(nw::boundedText(name, kNameBufferSize));
    return 0;
}

std::int32_t Tfrmmain::ReadExtendedInfo(const std::string& folder, const std::string& shortName,
                                        const std::string& fileName, std::uint64_t size, ExtendedInfoRecord& extended,
                                        NWCONN_HANDLE& conn)
{
    NwClient& client = *nwClient();
    // Every row names the file, not only its folder: a folder of locked files
    // would otherwise give rows that all look the same.

    // The folder is parsed as it stands, without the code-page conversion the
    // file's own path gets.
    NWDIR_HANDLE dirHandle = 0;
    char folderVolumePath[kPathBufferSize] = {};
    NWCCODE code = client.NWParseNetwarePath(folder.c_str(), &conn, &dirHandle, folderVolumePath);
    folderVolumePath[kPathBufferSize - 1] = '\0';
    if (code != nw::kSuccess) {
        LogNWError(fileInFolder(folder, fileName), code, "NWParseNetwarePath", size);
        return 1;
    }

    NWDIR_HANDLE temporary = 0;
    code = client.NWAllocateTemporaryDirectoryHandle(conn, 0, folderVolumePath, &temporary, nullptr);
    const std::string file = fileInFolder(folderVolumePath, fileName);
    if (code != nw::kSuccess) {
        LogNWError(file, code, "NWAllocateTemporaryDirectoryHandle", size);
        return 1;
    }

    std::uint32_t sequence = 0xFFFFFFFFu;
    const NWCCODE readCode = client.NWIntScanExtendedInfo(conn, temporary, nw::kSearchHiddenAndSystem, &sequence,
                                                          shortName.c_str(), &extended, 0);
    if (readCode != nw::kSuccess)
        LogNWError(file, readCode, "NWIntScanExtendedInfo", size);

    // The handle is released whether the read worked or not; a server counts
    // every handle left open.
    code = client.NWDeallocateDirectoryHandle(conn, temporary);
    if (code != nw::kSuccess) {
        LogNWError(file, code, "NWDeallocateDirectoryHandle", size);
        return 1;
    }
    return readCode == nw::kSuccess ? 0 : 1;
}

void Tfrmmain::GetOwnerName(NWCONN_HANDLE conn, std::uint32_t ownerId, std::string& name)
{
    NwClient& client = *nwClient();
    char buffer[kNameBufferSize] = {};
    m_ownerOutsideDirectory = false;
    const NWCCODE code = client.NWDSMapIDToName(MainContext, conn, ownerId, buffer);
    if (code == nw::kSuccess) {
        name.assign(nw::boundedText(buffer, sizeof buffer));
        return;
    }
    // A directory that cannot be reached says nothing about the owner: the
    // bindery or the host's users must not name it instead, or a lost server
    // would quietly give a whole volume other owners. Each outage is one row
    // (and the first failure of a scan, so each scan's rows tell); the client
    // leaves a server that failed alone for a while, so the files after it
    // cost no wait.
    if (code == nw::kDsErrTransportFailure) {
        m_ownerNamesIncomplete = true;
        const std::uint64_t outage = client.directoryOutages();
        if (!m_directoryLossLogged || outage != m_directoryOutageLogged) {
            std::string directory = "directory";
            std::string reason;
            client.directoryFailure(directory, reason);
            const std::string problem = "NWDSMapIDToName: " + (reason.empty() ? std::string("no answer") : reason);
            LogNWError(directory, code, problem.c_str(), 0);
            m_directoryLossLogged = true;
            m_directoryOutageLogged = outage;
        }
        name.assign("(unknown)");
        return;
    }
    m_ownerOutsideDirectory = code == nw::kDsErrNoSuchEntry;
    buffer[0] = '\0';
    if (client.NWGetObjectName(conn, ownerId, buffer, nullptr) == nw::kSuccess) {
        name.assign(nw::boundedText(buffer, sizeof buffer));
        return;
    }
    name.assign("(unknown)");
}
