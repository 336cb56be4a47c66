#pragma once

// The client's return codes in a few words, for the errors list: the codes
// the client and the servers behind it answer, not the host's error numbers.

#include <string_view>

#include "netclient/nwclient.h"

// "invalid path" for 899c and so on; empty for success and for a code not
// known here.
std::string_view nwCodeInWords(NWCCODE code);
