// Placeholder definitions until this file is written.
#include "app/tfrmmain.h"

std::int32_t Tfrmmain::MatchFile(const FileInfoRecord&, const ExtendedInfoRecord&, std::string_view) { return 0; }
