// The words for the client's return codes.

#include "netclient/nwcodes.h"

#include <algorithm>
#include <array>

#include "netclient/simclient.h"

namespace {

struct CodeWords {
    NWCCODE code;
    std::string_view words;
};

// Every code the client returns.
constexpr std::array<CodeWords, 24> kCodeWords{{
    {nw::kErrInvalidConnection, "invalid connection"},
    {nw::kErrDriveNotMapped, "drive not mapped"},
    {nw::kErrNotNetWareDrive, "not a NetWare drive"},
    {nw::kErrNoPrimaryConnection, "no server connection"},
    {nw::kErrInvalidParameter, "invalid parameter"},
    {nw::kErrBufferTooSmall, "answer too long"},
    {nw::kErrWorkstationFile, "no usable workstation file"},
    {nw::kErrNoSuchVolume, "no such volume"},
    {nw::kErrBadDirectoryHandle, "invalid directory handle"},
    {nw::kErrInvalidPath, "invalid path"},
    {nw::kErrNoMoreDirectoryHandles, "no more directory handles"},
    {nw::kErrAccessDenied, "access denied"},
    {nw::kInvalidNameSpace, "name space not on volume"},
    {nw::kErrNoSuchObject, "no such object"},
    {nw::kErrNoSuchFile, "no such file"},
    {nw::kDsErrBadKey, "invalid context key"},
    {nw::kDsErrBadContext, "invalid context"},
    {nw::kDsErrBufferEmpty, "no more directory objects"},
    {nw::kDsErrBadBuffer, "invalid directory buffer"},
    {nw::kDsErrNameTooLong, "directory name too long"},
    {nw::kDsErrInvalidIteration, "invalid directory iteration"},
    {nw::kDsErrNoSuchEntry, "no such directory entry"},
    {nw::kDsErrTransportFailure, "directory not reachable"},
    {nw::kDsErrInsufficientBuffer, "directory buffer too small"},
}};

}  // namespace

std::string_view nwCodeInWords(NWCCODE code)
{
    const auto found = std::find_if(kCodeWords.begin(), kCodeWords.end(),
                                    [code](const CodeWords& entry) { return entry.code == code; });
    return found == kCodeWords.end() ? std::string_view() : found->words;
}
