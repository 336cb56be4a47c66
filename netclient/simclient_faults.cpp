// The fault table of the simulated client: what [Faults] makes an operation
// answer, by the path, name or ID it is asked about.

#include <cstdio>
#include <string>

#include "netclient/simclient_state.h"
#include "platform/drives.h"

using namespace simclient;
using workstation::Operation;

namespace {

std::string joinVolumePath(std::string_view folder, std::string_view name)
{
    std::string joined(folder);
    if (!joined.empty() && joined.back() != ':' && joined.back() != '\\')
        joined += '\\';
    joined += name;
    return joined;
}

}  // namespace

void SimClient::State::installFaults()
{
    for (const workstation::Fault& fault : ws.faults)
        faults[index(fault.operation)].push_back(&fault);
}

bool SimClient::State::faulted(Operation operation, std::string_view subject, NWCCODE& code) const
{
    for (const workstation::Fault* fault : faults[index(operation)]) {
        if (platform::wildcardMatch(fault->pattern, subject)) {
            code = fault->code;
            return true;
        }
    }
    return false;
}

// A bindery or directory ID matches a fault as "0x1A2B" or as decimal.
bool SimClient::State::faultedId(Operation operation, std::uint32_t id, NWCCODE& code) const
{
    if (!hasFaults(operation))
        return false;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(id));
    return faulted(operation, hex, code) || faulted(operation, std::to_string(id), code);
}

// The volume path a file operation names: a path relative to a directory
// handle is joined to the handle's own volume path.
std::string SimClient::State::faultPath(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::string_view path) const
{
    if (path.find(':') == std::string_view::npos)
        if (const HandleState* handle = findHandle(conn, dirHandle))
            return joinVolumePath(handle->volumePath, path);
    return std::string(path);
}

std::string_view SimClient::State::serverOf(NWCONN_HANDLE conn) const
{
    return validConnection(conn) ? std::string_view(connections[conn - 1].server) : std::string_view("*");
}

// The opening of an operation on no path: a pointer the caller left out
// refuses it before any fault is looked at.
bool SimClient::State::stops(Operation operation, bool argumentsGiven, NWCCODE& code, std::string_view subject) const
{
    if (!argumentsGiven) {
        code = nw::kErrInvalidParameter;
        return true;
    }
    return hasFaults(operation) && faulted(operation, subject, code);
}
