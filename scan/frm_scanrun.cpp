// Placeholder definitions until this file is written.
#include "app/tfrmmain.h"

void Tfrmmain::StartScan() {}
void Tfrmmain::cmdStartClick() { StartScan(); }
void Tfrmmain::cmdStopClick() { scanProgress.Running = 0; }
