// Placeholder definitions until this file is written.
#include "app/tfrmmain.h"

bool Tfrmmain::ParseCommandLine() { return true; }
void Tfrmmain::Timer1Timer() {}
