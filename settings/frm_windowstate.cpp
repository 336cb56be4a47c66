// Placeholder definitions until this file is written.
#include "app/tfrmmain.h"

void Tfrmmain::RestoreWindowState() {}
void Tfrmmain::FormClose() {}
