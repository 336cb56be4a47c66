// Placeholder definitions until this file is written.
#include "app/tfrmmain.h"

std::int32_t Tfrmmain::ValidateSettings() { return 1; }
