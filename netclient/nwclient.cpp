// The program-wide pointer to the NetWare client.

#include "netclient/nwclient.h"

namespace {
NwClient* g_client = nullptr;
}

NwClient* nwClient() { return g_client; }

void setNwClient(NwClient* client) { g_client = client; }
