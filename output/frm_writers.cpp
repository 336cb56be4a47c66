// Placeholder definitions until this file is written.
#include "app/tfrmmain.h"

void Tfrmmain::WriteHeadings() {}
void Tfrmmain::WriteOutputRecord(const std::string&, const std::string&, const std::string&, const FileInfoRecord&, const ExtendedInfoRecord&) {}
void Tfrmmain::WriteCommandLine(const std::string&, const std::string&) {}
void Tfrmmain::ReportOutputWriteError(int) {}
