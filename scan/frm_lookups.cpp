// Placeholder definitions until this file is written.
#include "app/tfrmmain.h"

std::int32_t Tfrmmain::GetShortName(NWCONN_HANDLE, NWDIR_HANDLE, const char*, std::string&) { return 1; }
std::int32_t Tfrmmain::ReadExtendedInfo(const std::string&, const std::string&, std::uint64_t, ExtendedInfoRecord&, NWCONN_HANDLE&) { return 1; }
void Tfrmmain::GetOwnerName(NWCONN_HANDLE, std::uint32_t, std::string&) {}
