// Placeholder definitions until this file is written.
#include "app/tfrmmain.h"

void Tfrmmain::FormShow() {}
void Tfrmmain::FillDriveList() {}
void Tfrmmain::cboDrivesChange() {}
void Tfrmmain::ShowNWError(const QString&, NWCCODE) {}
