// The simulated client's loading of a workstation, its start-up, and the
// calls, connection and locale libraries' operations that touch no file.

#include "netclient/simclient.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "netclient/dosdate.h"
#include "netclient/simclient_state.h"
#include "platform/drives.h"

using namespace simclient;
using workstation::Operation;

namespace {

constexpr std::int32_t kCodePage = 65001;
constexpr std::int32_t kCountryId = 1;

std::optional<std::string> systemUserName(std::uint32_t uid)
{
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(suggested > 0 ? suggested : 16384));
    for (int attempt = 0; attempt < 4; ++attempt) {
        passwd entry{};
        passwd* found = nullptr;
        const int error = ::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE) {
            buffer.resize(buffer.size() * 4);
            continue;
        }
        if (error != 0 || found == nullptr || found->pw_name == nullptr)
            return std::nullopt;
        return std::string(found->pw_name);
    }
    return std::nullopt;
}

std::string folderOfExecutable()
{
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0)
        return {};
    std::string path(buffer.data(), static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

bool simclient::copyText(std::string_view text, char* out, std::size_t capacity)
{
    if (text.size() + 1 > capacity)
        return false;
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
    return true;
}

void simclient::copyTruncated(std::string_view text, char* out, std::size_t capacity)
{
    const std::size_t length = std::min(text.size(), capacity - 1);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

// Loading.

SimClient::State::State() : hostUserLookup(systemUserName)
{
    caches.setListingSource([this](const std::string& folder) { return readAhead.listingOf(folder); });
}

SimClient::State::~State()
{
    if (platform::knownStatus() == &listingStatus)
        platform::setKnownStatus(nullptr);
}

void SimClient::State::reset()
{
    loaded = false;
    ws = {};
    volumes.clear();
    drives = {};
    connections.clear();
    for (auto& list : faults)
        list.clear();
    objects.clear();
    objectByName.clear();
    objectById.clear();
    topObjects.clear();
    ldap.reset();
    topListing = {};
    ownerLookups.clear();
    hostUsers.clear();
    contexts.clear();
    buffers.clear();
    setScan(false);
}

bool SimClient::State::install(workstation::Workstation model, std::string& reason)
{
    reset();
    ws = std::move(model);
    if (ws.ldap && !connectDirectory(reason)) {
        reset();
        return false;
    }

    for (const workstation::Volume& volume : ws.volumes) {
        const auto server = std::find_if(connections.begin(), connections.end(),
                                         [&](const ConnectionState& c) { return c.server == volume.server; });
        VolumeState state;
        state.connection = static_cast<std::size_t>(server - connections.begin());
        if (server == connections.end()) {
            connections.emplace_back();
            connections.back().server = volume.server;
        }
        state.name = volume.name;
        state.hostFolder = volume.hostFolder;
        volumes.push_back(std::move(state));
    }

    platform::setKnownStatus(&listingStatus);
    platform::drives().clear();
    for (const workstation::Drive& drive : ws.drives) {
        DriveState& state = drives[static_cast<std::size_t>(drive.letter - 'A')];
        state.kind = drive.netware ? DriveState::Kind::NetWare : DriveState::Kind::Local;
        state.volume = drive.volume;
        for (const std::string& part : drive.path) {
            if (!state.prefix.empty())
                state.prefix += '\\';
            state.prefix += part;
        }
        platform::drives().setDrive(drive.letter, drive.hostFolder);
    }

    installFaults();
    installDirectory();
    loaded = true;
    return true;
}

// Installs what read gives, or, when it fails, forgets the workstation
// loaded before, so that no half of either stays.
bool SimClient::State::load(const WorkstationReader& read, std::string* error)
{
    workstation::Workstation model;
    std::string reason;
    if (read(model, reason) && install(std::move(model), reason))
        return true;
    reset();
    platform::drives().clear();
    lastError = reason;
    if (error != nullptr)
        *error = reason;
    return false;
}

SimClient::SimClient() : m(std::make_unique<State>()) {}

SimClient::~SimClient() = default;

void SimClient::setExecutableFolder(std::string folder) { m->executableFolder = std::move(folder); }

bool SimClient::loadFile(const std::string& path, std::string* error)
{
    return m->load([&](workstation::Workstation& model,
                       std::string& reason) { return workstation::load(path, model, reason); },
                   error);
}

bool SimClient::loadText(std::string_view text, std::string* error, std::string_view fileName,
                         std::string_view baseFolder)
{
    return m->load([&](workstation::Workstation& model,
                       std::string& reason) { return workstation::parse(text, fileName, baseFolder, model, reason); },
                   error);
}

bool SimClient::isLoaded() const { return m->loaded; }

const workstation::Workstation& SimClient::workstationModel() const { return m->ws; }

const std::string& SimClient::lastError() const { return m->lastError; }

int SimClient::openTemporaryHandles(NWCONN_HANDLE conn) const
{
    return m->validConnection(conn) ? m->connections[conn - 1].open : 0;
}

void SimClient::setListPortionSize(std::size_t objects) { m->portionSize = objects; }

std::uint64_t SimClient::folderListings() const { return m->caches.listings(); }

std::uint64_t SimClient::entriesReadAhead() const { return m->readAhead.entriesRead(); }

std::uint64_t SimClient::answersReadAhead() const { return m->readAhead.answered(); }

std::uint64_t SimClient::listingsReadAhead() const { return m->readAhead.listingsGiven(); }

void SimClient::setHostUserLookup(HostUserLookup lookup)
{
    m->hostUserLookup = lookup ? std::move(lookup) : HostUserLookup(systemUserName);
    m->hostUsers.clear();
}

// The first line of the password file, which only its owner may read: a
// password others can read is no secret, and the start refuses it.
static bool readPassword(const std::string& path, std::string& password, std::string& reason)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        reason = "PasswordFile " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        reason = "PasswordFile " + path + ": not a file";
        return false;
    }
    if ((info.st_mode & (S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH)) != 0) {
        ::close(fd);
        char mode[8];
        std::snprintf(mode, sizeof mode, "%03o", static_cast<unsigned>(info.st_mode & 0777));
        reason = "PasswordFile " + path + " may be read by others (mode " + mode +
                 "): refused; let only its owner read it (chmod 600)";
        return false;
    }
    std::string text;
    char chunk[512];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got <= 0 || text.size() > 4096)
            break;
        text.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    const std::size_t end = text.find_first_of("\r\n");
    password = text.substr(0, end);
    // The copy read is wiped before it goes.
    std::fill(text.begin(), text.end(), '\0');
    std::fill(std::begin(chunk), std::end(chunk), '\0');
    return true;
}

bool SimClient::State::connectDirectory(std::string& reason)
{
    const workstation::LdapSection& section = *ws.ldap;
    ldaplink::Settings settings;
    settings.uri = section.uri;
    settings.base = section.base;
    settings.bindDn = section.bindDn;
    settings.startTls = section.startTls;
    settings.caCertFile = section.caCertFile;
    settings.timeoutSeconds = section.timeoutSeconds;
    const std::string where = ws.fileName + ":" + std::to_string(section.line) + ": [LDAP] ";
    if (!section.passwordFile.empty() && !readPassword(section.passwordFile, settings.password, reason)) {
        reason = where + reason;
        return false;
    }
    ldap = std::make_unique<ldaplink::Link>(std::move(settings));
    ldap->setWaitHook(waitHook);
    if (!ldap->open()) {
        reason = where + section.uri + ": " + ldap->lastError();
        ldap.reset();
        return false;
    }
    return true;
}

// Calls library.

NWCCODE SimClient::NWCallsInit(void*, void*)
{
    std::string error;
    const std::string folder = m->executableFolder.empty() ? folderOfExecutable() : m->executableFolder;
    const auto path = workstation::find(folder, error);
    if (!path || !loadFile(*path, &error)) {
        m->lastError = error;
        std::fprintf(stderr, "Trawl: %s\n", error.c_str());
        return nw::kErrWorkstationFile;
    }
    NWCCODE code = 0;
    if (m->faulted(Operation::CallsInit, "*", code))
        return code;
    return nw::kSuccess;
}

NWCCODE SimClient::NWUnpackDate(std::uint16_t packedDate, DateRecord* date)
{
    if (date == nullptr)
        return nw::kErrInvalidParameter;
    NWCCODE code = 0;
    if (m->hasFaults(Operation::UnpackDate) && m->faulted(Operation::UnpackDate, "*", code)) {
        // Callers do not look at the code: leave them no valid date.
        *date = DateRecord{0, 0, 0};
        return code;
    }
    dosdate::unpackDate(packedDate, *date);
    return nw::kSuccess;
}

NWCCODE SimClient::NWUnpackDateTime(std::uint32_t packedDateTime, DateRecord* date, TimeRecord* time)
{
    if (date == nullptr)
        return nw::kErrInvalidParameter;
    TimeRecord unused{};
    TimeRecord& timeRecord = time != nullptr ? *time : unused;
    NWCCODE code = 0;
    if (m->hasFaults(Operation::UnpackDateTime) && m->faulted(Operation::UnpackDateTime, "*", code)) {
        *date = DateRecord{0, 0, 0};
        timeRecord = TimeRecord{0, 0, 0};
        return code;
    }
    dosdate::unpackDateTime(packedDateTime, *date, timeRecord);
    return nw::kSuccess;
}

// Connection library.

NWCCODE SimClient::NWCCGetPrimConnRef(std::uint32_t* connRef)
{
    NWCCODE code = 0;
    if (m->stops(Operation::CCGetPrimConnRef, connRef != nullptr, code))
        return code;
    if (m->connections.empty())
        return nw::kErrNoPrimaryConnection;
    *connRef = 1;  // the server of the first volume
    return nw::kSuccess;
}

NWCCODE SimClient::NWCCOpenConnByRef(std::uint32_t connRef, std::uint32_t, std::uint32_t, NWCONN_HANDLE* conn)
{
    NWCCODE code = 0;
    if (m->stops(Operation::CCOpenConnByRef, conn != nullptr, code, m->serverOf(connRef)))
        return code;
    if (!m->validConnection(connRef))
        return nw::kErrInvalidConnection;
    *conn = connRef;
    return nw::kSuccess;
}

NWCCODE SimClient::NWGetConnectionInformation(NWCONN_HANDLE conn, int level, ConnectionInfoRecord* info)
{
    NWCCODE code = 0;
    if (m->stops(Operation::GetConnectionInformation, info != nullptr, code, m->serverOf(conn)))
        return code;
    if (!m->validConnection(conn))
        return nw::kErrInvalidConnection;
    if (level != nw::kConnectionInfoLevel)
        return nw::kErrInvalidParameter;
    std::memset(info, 0, sizeof *info);
    copyTruncated(m->connections[conn - 1].server, info->serverName, sizeof info->serverName);
    return nw::kSuccess;
}

// Locale library.

NWCCODE SimClient::NWLlocaleconv(LocaleRecord* locale)
{
    NWCCODE code = 0;
    if (m->stops(Operation::Llocaleconv, locale != nullptr, code))
        return code;
    std::memset(locale, 0, sizeof *locale);
    locale->codePage = kCodePage;
    locale->countryId = kCountryId;
    return nw::kSuccess;
}

NWCCODE SimClient::NWInitUnicodeTables(std::int32_t countryCode, std::int32_t codePage)
{
    NWCCODE code = 0;
    if (m->faulted(Operation::InitUnicodeTables, "*", code))
        return code;
    // Only the tables of the locale this client reports exist, so arguments
    // given in the wrong order are refused.
    if (codePage != kCodePage || countryCode <= 0)
        return nw::kErrInvalidParameter;
    return nw::kSuccess;
}
