// Placeholder definitions until this file is written.
#include "app/tfrmmain.h"

void Tfrmmain::Button1Click() {}
void Tfrmmain::Button2Click() {}
bool Tfrmmain::LoadSettings(const QString&) { return true; }
