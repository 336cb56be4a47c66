// Random workstation files, then random drive paths, name contexts and IDs
// against the simulated client loaded from them: reading must never crash or
// hang, must either fail with "file:line: reason" or give a
// model that keeps its own rules, and every answer of the client must fit the
// caller's buffer.
//
// Input: the workstation text, a NUL byte, then probe lines (each tried as a
// drive path, a name context and an object ID). Relative host folders are
// taken from "/", so "FS1/SYS=tmp" is a volume the fuzzer can find.

#include "netclient/simclient.h"
#include "netclient/workstation.h"
#include "platform/profile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// "fuzz.ini:<line>: <reason>", the line counted from 1.
bool isLineError(std::string_view error)
{
    constexpr std::string_view prefix = "fuzz.ini:";
    if (error.substr(0, prefix.size()) != prefix)
        return false;
    error.remove_prefix(prefix.size());
    std::size_t digits = 0;
    while (digits < error.size() && error[digits] >= '0' && error[digits] <= '9')
        ++digits;
    return digits > 0 && error[0] != '0' && error.substr(digits, 2) == ": " && error.size() > digits + 2;
}

void checkModel(const workstation::Workstation& model)
{
    for (const workstation::Volume& volume : model.volumes) {
        require(!volume.server.empty() && volume.server.size() <= workstation::kMaxServerName);
        require(!volume.name.empty() && volume.name.size() <= workstation::kMaxVolumeName);
    }
    char previous = 0;
    for (const workstation::Drive& drive : model.drives) {
        require(drive.letter >= 'A' && drive.letter <= 'Z' && drive.letter > previous);
        previous = drive.letter;
        require(!drive.netware || drive.volume < model.volumes.size());
        for (const std::string& part : drive.path)
            require(part != ".." && part.find('/') == std::string::npos);
    }
    for (const workstation::DirectoryObject& object : model.directory)
        require(object.fullName.size() <= workstation::kMaxFullName &&
                object.className.size() <= workstation::kMaxClassName);
    for (const workstation::Fault& fault : model.faults)
        require(fault.code != 0 && fault.operation != workstation::Operation::Count && !fault.pattern.empty());
    if (model.ldap) {
        require(model.directory.empty() && !model.ldap->uri.empty() && !model.ldap->base.empty());
        require(model.ldap->timeoutSeconds >= 1 && model.ldap->timeoutSeconds <= 600);
        require(model.ldap->bindDn.empty() == model.ldap->passwordFile.empty());
    }
}

void probe(SimClient& client, std::string_view line, std::size_t servers, std::size_t objects)
{
    // The client reads texts up to their first NUL.
    const std::string text(line.substr(0, line.find('\0')));

    char volumePath[512];
    std::memset(volumePath, 0x5A, sizeof volumePath);
    NWCONN_HANDLE conn = 0;
    NWDIR_HANDLE dirHandle = 9;
    if (client.NWParseNetwarePath(text.c_str(), &conn, &dirHandle, volumePath) == nw::kSuccess) {
        const std::size_t length = ::strnlen(volumePath, sizeof volumePath);
        require(length < sizeof volumePath && std::memchr(volumePath, ':', length) != nullptr);
        require(conn >= 1 && conn <= servers && dirHandle == 0);
    }

    for (const std::uint32_t flags : {0u, nw::kTypelessNames}) {
        NWDSContextHandle context = 0;
        require(client.NWDSCreateContextHandle(&context) == nw::kSuccess);
        require(client.NWDSSetContext(context, nw::kContextFlags, &flags) == nw::kSuccess);
        const bool fits = text.size() < 256;
        require((client.NWDSSetContext(context, nw::kContextNameContext, text.c_str()) == nw::kSuccess) == fits);

        Buf_T* buffer = nullptr;
        require(client.NWDSAllocBuf(nw::kDsBufferSize, &buffer) == nw::kSuccess);
        std::int32_t iteration = -1;
        std::size_t listed = 0;
        for (std::size_t portion = 0; portion <= objects + 1; ++portion) {
            if (client.NWDSList(context, "", &iteration, buffer) != nw::kSuccess)
                break;
            std::uint32_t count = 0;
            require(client.NWDSGetObjectCount(context, buffer, &count) == nw::kSuccess);
            for (std::uint32_t i = 0; i < count; ++i) {
                char name[256];
                std::memset(name, 0x5A, sizeof name);
                ObjectInfoRecord info{};
                std::uint32_t attributes = 0;
                if (client.NWDSGetObjectName(context, buffer, name, &attributes, &info) == nw::kSuccess)
                    require(::strnlen(name, sizeof name) < sizeof name &&
                            ::strnlen(info.baseClass, sizeof info.baseClass) < sizeof info.baseClass);
            }
            listed += count;
            if (iteration == -1)
                break;
        }
        require(iteration == -1 || listed <= objects);
        require(client.NWDSFreeBuf(buffer) == nw::kSuccess);

        if (const auto id = profile::parseInteger(text)) {
            char name[256];
            std::memset(name, 0x5A, sizeof name);
            if (client.NWDSMapIDToName(context, 1, static_cast<std::uint32_t>(*id), name) == nw::kSuccess)
                require(::strnlen(name, sizeof name) < sizeof name);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string_view text = input.substr(0, split);
    std::string_view probes = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

    workstation::Workstation model;
    std::string error;
    const bool parsed = workstation::parse(text, "fuzz.ini", "/", model, error);
    if (parsed)
        checkModel(model);
    else
        require(isLineError(error));
    // A workstation with [LDAP] loads only where its server answers: no
    // network here, its text is what is checked.
    if (parsed && model.ldap)
        return 0;

    SimClient client;
    std::string loadError;
    require(client.loadText(text, &loadError, "fuzz.ini", "/") == parsed);
    if (!parsed) {
        require(loadError == error);
        return 0;
    }
    std::size_t servers = 0;
    for (std::size_t i = 0; i < model.volumes.size(); ++i) {
        bool seen = false;
        for (std::size_t k = 0; k < i; ++k)
            seen = seen || model.volumes[k].server == model.volumes[i].server;
        servers += seen ? 0 : 1;
    }
    for (int lines = 0; lines < 32 && !probes.empty(); ++lines) {
        const std::size_t end = probes.find('\n');
        probe(client, probes.substr(0, end), servers, model.directory.size());
        probes = end == std::string_view::npos ? std::string_view() : probes.substr(end + 1);
    }
    return 0;
}
