// Placeholder definitions until this file is written.
#include "app/tfrmmain.h"

void Tfrmmain::WalkFolder(const std::string&) {}
void Tfrmmain::ShowProgress() {}
