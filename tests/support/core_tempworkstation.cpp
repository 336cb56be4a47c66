#include "support/core_tempworkstation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::string temporaryBase()
{
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

void makeParents(const std::string& path)
{
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    if (error)
        ADD_FAILURE() << "cannot make the folders of " << path << ": " << error.message();
}

}  // namespace

TempWorkstation::TempWorkstation()
{
    std::string pattern = temporaryBase() + "/trawl-ws-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        ADD_FAILURE() << "cannot make a temporary folder: " << std::strerror(errno);
    m_root = pattern;
}

TempWorkstation::~TempWorkstation()
{
    if (m_root.empty())
        return;
    // Folders a test made read-only must be writable again to be emptied.
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(m_root, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            ::chmod(it->path().c_str(), 0700);
    }
    fs::remove_all(m_root, error);
}

std::string TempWorkstation::absolute(std::string_view path) const
{
    if (!path.empty() && path.front() == '/')
        return std::string(path);
    return m_root + "/" + std::string(path);
}

std::string TempWorkstation::addVolume(std::string_view server, std::string_view volume)
{
    const std::string folder = makeFolder("volumes/" + std::string(server) + "-" + std::string(volume));
    addLine("Volumes", std::string(server) + "/" + std::string(volume) + "=" + folder);
    return folder;
}

std::string TempWorkstation::addLocalFolder(std::string_view name)
{
    return makeFolder("local/" + std::string(name));
}

void TempWorkstation::mapDrive(char letter, std::string_view target)
{
    addLine("Drives", std::string(1, letter) + "=" + std::string(target));
}

void TempWorkstation::addLine(std::string_view section, std::string_view line)
{
    for (auto& [name, lines] : m_sections) {
        if (name == section) {
            lines.emplace_back(line);
            return;
        }
    }
    m_sections.emplace_back(std::string(section), std::vector<std::string>{std::string(line)});
}

void TempWorkstation::addRawText(std::string_view text) { m_rawText += text; }

std::string TempWorkstation::makeFolder(std::string_view path)
{
    const std::string folder = absolute(path);
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        ADD_FAILURE() << "cannot make the folder " << folder << ": " << error.message();
    return folder;
}

std::string TempWorkstation::makeFile(std::string_view path, std::uint64_t size)
{
    const std::string file = absolute(path);
    makeParents(file);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        ADD_FAILURE() << "cannot make the file " << file << ": " << std::strerror(errno);
        return file;
    }
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0)
        ADD_FAILURE() << "cannot size the file " << file << ": " << std::strerror(errno);
    ::close(fd);
    return file;
}

std::string TempWorkstation::makeSymlink(std::string_view target, std::string_view linkPath)
{
    const std::string link = absolute(linkPath);
    makeParents(link);
    if (::symlink(std::string(target).c_str(), link.c_str()) != 0)
        ADD_FAILURE() << "cannot make the link " << link << ": " << std::strerror(errno);
    return link;
}

void TempWorkstation::setTimes(std::string_view path, std::time_t accessed, std::time_t modified)
{
    const std::string file = absolute(path);
    const timespec times[2] = {{accessed, 0}, {modified, 0}};
    if (::utimensat(AT_FDCWD, file.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        ADD_FAILURE() << "cannot set the times of " << file << ": " << std::strerror(errno);
}

void TempWorkstation::setMode(std::string_view path, mode_t mode)
{
    const std::string file = absolute(path);
    if (::chmod(file.c_str(), mode) != 0)
        ADD_FAILURE() << "cannot set the mode of " << file << ": " << std::strerror(errno);
}

bool TempWorkstation::xattrsSupported() const
{
    const std::string probe = m_root + "/.xattr-probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    const bool supported = ::setxattr(probe.c_str(), "user.trawl.probe", "1", 1, 0) == 0;
    ::unlink(probe.c_str());
    return supported;
}

bool TempWorkstation::setXattr(std::string_view path, std::string_view name, std::string_view value)
{
    const std::string file = absolute(path);
    if (::lsetxattr(file.c_str(), std::string(name).c_str(), value.data(), value.size(), 0) == 0)
        return true;
    if (errno != ENOTSUP && errno != EPERM)
        ADD_FAILURE() << "cannot set " << name << " on " << file << ": " << std::strerror(errno);
    return false;
}

bool TempWorkstation::setOwner(std::string_view path, std::uint32_t objectId)
{
    return setXattr(path, "user.nw.owner", std::to_string(objectId));
}

bool TempWorkstation::setAttributes(std::string_view path, std::uint32_t bits)
{
    return setXattr(path, "user.nw.attributes", std::to_string(bits));
}

bool TempWorkstation::setCreated(std::string_view path, std::string_view isoDate)
{
    return setXattr(path, "user.nw.created", isoDate);
}

std::string TempWorkstation::text() const
{
    std::string text;
    for (const auto& [name, lines] : m_sections) {
        text += "[" + name + "]\n";
        for (const std::string& line : lines)
            text += line + "\n";
        text += "\n";
    }
    return text + m_rawText;
}

std::string TempWorkstation::write()
{
    const std::string path = m_root + "/workstation.ini";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text();
    if (!out.flush())
        ADD_FAILURE() << "cannot write " << path;
    return path;
}

std::unique_ptr<SimClient> TempWorkstation::load()
{
    const std::string path = write();
    auto client = std::make_unique<SimClient>();
    m_lastError.clear();
    if (!client->loadFile(path, &m_lastError))
        return nullptr;
    return client;
}

std::time_t TempWorkstation::localTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return std::mktime(&parts);
}

ScopedTimeZone::ScopedTimeZone(const char* zone)
{
    if (const char* old = std::getenv("TZ")) {
        m_had = true;
        m_old = old;
    }
    ::setenv("TZ", zone, 1);
    ::tzset();
}

ScopedTimeZone::~ScopedTimeZone()
{
    if (m_had)
        ::setenv("TZ", m_old.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : m_name(name)
{
    if (const char* old = std::getenv(name)) {
        m_had = true;
        m_old = old;
    }
    if (value != nullptr)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_had)
        ::setenv(m_name.c_str(), m_old.c_str(), 1);
    else
        ::unsetenv(m_name.c_str());
}
