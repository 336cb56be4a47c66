// Placeholder definitions until this file is written.
#include "app/tfrmmain.h"

void Tfrmmain::RecordMatch(const std::string&, const std::string&, std::uint64_t, const std::string&, const std::string&, const FileInfoRecord&, const ExtendedInfoRecord&) {}
void Tfrmmain::LogNWError(const std::string&, NWCCODE, const char*, std::uint64_t) {}
