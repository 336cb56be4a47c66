// The profile routines: where a settings or window-state file name leads, the
// reads of one key and the writes that replace the file whole.

#include "settings/profileroutines.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "platform/asciicase.h"
#include "platform/drives.h"
#include "platform/profile.h"

namespace fs = std::filesystem;

namespace {

std::string g_executableFolder;
std::string g_configFolder;

bool startsWithDriveLetter(std::string_view name)
{
    if (name.size() < 2 || name[1] != ':')
        return false;
    const char c = name[0];
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isReadableFile(const std::string& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec) && ::access(path.c_str(), R_OK) == 0;
}

std::string joinFolder(const std::string& folder, std::string_view name)
{
    if (folder.empty())
        return std::string(name);
    std::string path = folder;
    if (path.back() != '/')
        path += '/';
    path += name;
    return path;
}

struct ResolvedProfile {
    std::string path;
    bool inConfigFolder = false;  // a bare name that fell through to the configuration folder
    bool unmappedDrive = false;   // a drive-letter name the drive table does not know
};

ResolvedProfile resolve(std::string_view fileName)
{
    ResolvedProfile resolved;
    if (startsWithDriveLetter(fileName)) {
        if (auto host = platform::drives().hostPath(fileName)) {
            resolved.path = *host;
        } else {
            resolved.path = std::string(fileName);
            resolved.unmappedDrive = true;
        }
        return resolved;
    }
    // Joining an absolute name to the executable's folder could name a real
    // file on this host ("/opt/trawl" + "/etc/x"), so an absolute name is never joined.
    if (!fileName.empty() && fileName.front() == '/') {
        resolved.path = std::string(fileName);
        return resolved;
    }
    const std::string besideExecutable = joinFolder(profile::executableFolder(), fileName);
    if (!fileName.empty() && isReadableFile(besideExecutable)) {
        resolved.path = besideExecutable;
        return resolved;
    }
    if (fileName.find('/') == std::string_view::npos) {
        resolved.path = joinFolder(profile::configFolder(), fileName);
        resolved.inConfigFolder = true;
        return resolved;
    }
    resolved.path = std::string(fileName);
    return resolved;
}

// The document of a profile for reading; nothing when the file cannot be read.
// Only regular files are read, so a name such as /dev/zero cannot stall a load.
std::optional<profile::ProfileDocument> readProfile(std::string_view fileName)
{
    const ResolvedProfile resolved = resolve(fileName);
    if (resolved.unmappedDrive || !isReadableFile(resolved.path))
        return std::nullopt;
    auto text = profile::readFile(resolved.path);
    if (!text)
        return std::nullopt;
    return profile::ProfileDocument::parse(*text);
}

// A value is one line of the file: the text ends at its first line break.
std::string_view firstLine(std::string_view text)
{
    const auto end = text.find_first_of("\r\n");
    return end == std::string_view::npos ? text : text.substr(0, end);
}

// The profile text with one key set. Every other line stays byte for byte as
// it was: parsing and writing the whole document again would drop the quotes
// and blanks that the reading rules remove from other values. The parser
// tells where the section and the key are; the key's line is replaced, a new
// key goes after the last line of its section, a new section at the end.
std::string withKeySet(const std::string& text, std::string_view section, std::string_view key,
                       std::string_view value)
{
    std::vector<std::string> lines;  // each with its own line end, if it had one
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t newline = text.find('\n', start);
        const std::size_t end = newline == std::string::npos ? text.size() : newline + 1;
        lines.emplace_back(text, start, end - start);
        start = end;
    }
    const auto joined = [&] {
        std::string result;
        for (const std::string& line : lines)
            result += line;
        return result;
    };
    const auto lineEnd = [](const std::string& line) {
        return line.ends_with("\r\n") ? std::string("\r\n")
               : line.ends_with('\n') ? std::string("\n")
                                      : std::string();
    };

    const profile::ProfileDocument document = profile::ProfileDocument::parse(text);
    const profile::ProfileSection* found = document.section(section);
    if (!found) {
        if (!lines.empty() && lineEnd(lines.back()).empty())
            lines.back() += "\r\n";
        lines.push_back("[" + std::string(section) + "]\r\n");
        lines.push_back(std::string(key) + "=" + std::string(value) + "\r\n");
        return joined();
    }
    for (const profile::ProfileEntry& entry : found->entries) {
        if (ascii::equalsIgnoringCase(entry.key, key)) {
            std::string& line = lines.at(static_cast<std::size_t>(entry.line - 1));
            const std::string end = lineEnd(line);
            line = entry.key + "=" + std::string(value) + end;
            return joined();
        }
    }
    int last = found->line;
    for (const profile::ProfileEntry& entry : found->entries)
        last = std::max(last, entry.line);
    std::string& previous = lines.at(static_cast<std::size_t>(last - 1));
    if (lineEnd(previous).empty())
        previous += "\r\n";
    lines.insert(lines.begin() + last, std::string(key) + "=" + std::string(value) + "\r\n");
    return joined();
}

}  // namespace

namespace profile {

std::string executableFolder()
{
    if (!g_executableFolder.empty())
        return g_executableFolder;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return fs::current_path(ec).string();
    return exe.parent_path().string();
}

std::string configFolder()
{
    if (!g_configFolder.empty())
        return g_configFolder;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
        return joinFolder(xdg, "trawl");
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0')
        return joinFolder(joinFolder(home, ".config"), "trawl");
    return ".config/trawl";
}

void setExecutableFolder(std::string folder) { g_executableFolder = std::move(folder); }
void setConfigFolder(std::string folder) { g_configFolder = std::move(folder); }

std::string limitProfileValue(std::string_view text)
{
    return std::string(profile::wholeCharacters(text, kProfileValueLimit));
}

}  // namespace profile

std::string ResolveProfilePath(std::string_view fileName) { return resolve(fileName).path; }

ProfileSectionReader::ProfileSectionReader(std::string_view fileName, std::string_view section)
{
    const auto document = readProfile(fileName);
    if (!document)
        return;
    m_fileRead = true;
    const profile::ProfileSection* found = document->section(section);
    if (!found)
        return;
    for (const profile::ProfileEntry& entry : found->entries)
        m_values.try_emplace(ascii::toUpper(entry.key), entry.value);
}

const std::string* ProfileSectionReader::find(std::string_view key) const
{
    const auto found = m_values.find(ascii::toUpper(key));
    return found == m_values.end() ? nullptr : &found->second;
}

std::string ProfileSectionReader::readString(std::string_view key, std::string_view defaultValue) const
{
    const std::string* value = find(key);
    return value ? profile::limitProfileValue(*value) : std::string(defaultValue);
}

std::int32_t ProfileSectionReader::readInteger(std::string_view key, std::int32_t defaultValue) const
{
    const std::string* value = find(key);
    if (!value)
        return defaultValue;
    return profile::parseInteger(profile::limitProfileValue(*value)).value_or(defaultValue);
}

bool ProfileSectionReader::overLimit(std::string_view key) const
{
    const std::string* value = find(key);
    return value && value->size() > kProfileValueLimit;
}

std::string IniReadString(std::string_view fileName, std::string_view section, std::string_view key,
                          std::string_view defaultValue)
{
    return ProfileSectionReader(fileName, section).readString(key, defaultValue);
}

std::int32_t IniReadInteger(std::string_view fileName, std::string_view section, std::string_view key,
                            std::int32_t defaultValue)
{
    return ProfileSectionReader(fileName, section).readInteger(key, defaultValue);
}

namespace {

// What every write does first: a drive the workstation does not map is
// refused, and the configuration folder is made when the file goes there (a
// failure to make it shows in the write itself).
ProfileWriteResult prepareWrite(const ResolvedProfile& resolved)
{
    if (resolved.unmappedDrive)
        return ProfileWriteError{resolved.path, ENOENT};
    if (resolved.inConfigFolder) {
        std::error_code ec;
        fs::create_directories(profile::configFolder(), ec);
    }
    return std::nullopt;
}

}  // namespace

ProfileWriteResult IniWriteString(std::string_view fileName, std::string_view section, std::string_view key,
                                  std::string_view value)
{
    const ResolvedProfile resolved = resolve(fileName);
    const auto failure = [&](int code) { return ProfileWriteError{resolved.path, code}; };
    if (ProfileWriteResult refused = prepareWrite(resolved))
        return refused;

    std::string text;
    std::error_code ec;
    const auto status = fs::status(resolved.path, ec);
    if (fs::exists(status)) {
        // The file is replaced whole, so one that cannot be read or written
        // must not be touched: its other keys would be lost.
        if (!fs::is_regular_file(status))
            return failure(EISDIR);
        if (::access(resolved.path.c_str(), R_OK | W_OK) != 0)
            return failure(errno);
        auto existing = profile::readFile(resolved.path);
        if (!existing)
            return failure(EIO);
        text = std::move(*existing);
    }
    text = withKeySet(text, section, key, profile::limitProfileValue(firstLine(value)));
    if (const int code = profile::writeFileAtomically(resolved.path, text); code != 0)
        return failure(code);
    return std::nullopt;
}

ProfileWriteResult IniWriteInteger(std::string_view fileName, std::string_view section, std::string_view key,
                                   std::int32_t value)
{
    return IniWriteString(fileName, section, key, std::to_string(value));
}

ProfileWriteResult IniReplaceFile(std::string_view fileName, std::string_view section, const ProfileEntries& entries)
{
    const ResolvedProfile resolved = resolve(fileName);
    const auto failure = [&](int code) { return ProfileWriteError{resolved.path, code}; };
    if (ProfileWriteResult refused = prepareWrite(resolved))
        return refused;
    std::error_code ec;
    const auto status = fs::status(resolved.path, ec);
    if (fs::exists(status)) {
        if (!fs::is_regular_file(status))
            return failure(EISDIR);
        if (::access(resolved.path.c_str(), W_OK) != 0)
            return failure(errno);
    }

    // The lines IniWriteString gives when it adds the keys one by one to a new file.
    std::string text = "[" + std::string(section) + "]\r\n";
    for (const auto& [key, value] : entries)
        text += key + "=" + profile::limitProfileValue(firstLine(value)) + "\r\n";
    if (const int code = profile::writeFileAtomically(resolved.path, text); code != 0)
        return failure(code);
    return std::nullopt;
}
