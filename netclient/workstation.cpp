// Finding, reading and checking the workstation file (see workstation.h).

#include "netclient/workstation.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "netclient/netnames.h"
#include "platform/asciicase.h"
#include "platform/pathjoin.h"
#include "platform/profile.h"

namespace workstation {

namespace {

constexpr std::array<std::string_view, kOperationCount> kOperationNames = {
    "NWCallsInit",
    "NWParseNetwarePath",
    "NWIntScanFileInformation2",
    "NWAllocateTemporaryDirectoryHandle",
    "NWIntScanExtendedInfo",
    "NWDeallocateDirectoryHandle",
    "NWGetOwningNameSpace",
    "NWGetNSPath",
    "NWGetLongName",
    "NWGetObjectName",
    "NWUnpackDate",
    "NWUnpackDateTime",
    "NWCCGetPrimConnRef",
    "NWCCOpenConnByRef",
    "NWGetConnectionInformation",
    "NWLlocaleconv",
    "NWInitUnicodeTables",
    "NWDSCreateContextHandle",
    "NWDSGetContext",
    "NWDSSetContext",
    "NWDSDuplicateContextHandle",
    "NWDSAllocBuf",
    "NWDSFreeBuf",
    "NWDSList",
    "NWDSGetObjectCount",
    "NWDSGetObjectName",
    "NWDSMapIDToName",
};

std::string_view trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// A text of the file as an error reason quotes it, cut after kQuotedLimit
// bytes: a value of a megabyte would otherwise make a megabyte line on
// standard error. The cut never splits a UTF-8 sequence.
constexpr std::size_t kQuotedLimit = 80;

std::string quoted(std::string_view text)
{
    const std::string_view cut = profile::wholeCharacters(text, kQuotedLimit);
    return cut.size() == text.size() ? std::string(text) : std::string(cut) + "...";
}

// "F=FS1/SYS:   ; the system volume": a ';' after a blank starts a comment.
std::string_view stripComment(std::string_view value)
{
    for (std::size_t i = 1; i < value.size(); ++i)
        if (value[i] == ';' && (value[i - 1] == ' ' || value[i - 1] == '\t'))
            return trim(value.substr(0, i));
    return value;
}

bool isServerOrVolumeChar(char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("_-@!#$%&'()^{}~").find(c) != std::string_view::npos;
}

bool isServerOrVolumeName(std::string_view name, std::size_t limit)
{
    return !name.empty() && name.size() <= limit && std::all_of(name.begin(), name.end(), isServerOrVolumeChar);
}

std::string hostFolderOf(std::string_view written, std::string_view baseFolder)
{
    std::string path;
    if (!written.empty() && written.front() != '/' && !baseFolder.empty())
        path = joinHostPath(baseFolder, written);
    else
        path = std::string(written);
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The name of the subfolder of `folder` that equals `name` blind to case
// (the exact name first, else the first such folder by bytes).
std::optional<std::string> findSubfolder(const std::string& folder, std::string_view name)
{
    if (isFolder(joinHostPath(folder, name)))
        return std::string(name);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view candidate = entry->d_name;
        if (!ascii::equalsIgnoringCase(candidate, name) || (best && candidate >= *best))
            continue;
        if (isFolder(joinHostPath(folder, candidate)))
            best = std::string(candidate);
    }
    ::closedir(dir);
    return best;
}

std::vector<std::string_view> splitPath(std::string_view path)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\' || path[i] == '/') {
            if (i > start)
                parts.push_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

std::optional<NWCCODE> parseHexCode(std::string_view text)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    else if (!text.empty() && text[0] == '$')
        text.remove_prefix(1);
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    NWCCODE code = 0;
    for (char c : text) {
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        code = code << 4 | static_cast<NWCCODE>(digit);
    }
    return code;
}

bool hasControlChar(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

// Directory name components may not hold the characters that mark types and
// escapes in directory names.
bool isDirectoryComponent(std::string_view component)
{
    return !component.empty() && !hasControlChar(component) && netnames::isValidUtf8(component) &&
           component.find_first_of("=+\\") == std::string_view::npos;
}

class Reader {
public:
    Reader(std::string_view fileName, std::string_view baseFolder, Workstation& result, std::string& error)
        : m_fileName(fileName), m_baseFolder(baseFolder), m_ws(result), m_error(error)
    {
    }

    bool read(const profile::ProfileDocument& document)
    {
        // Volumes first: drives refer to them wherever the sections stand.
        static constexpr std::array<std::string_view, 7> kOrder = {"Volumes", "Drives", "Directory", "LDAP",
                                                                   "Bindery", "Owners", "Faults"};
        for (std::string_view wanted : kOrder) {
            for (const profile::ProfileSection& section : document.sections()) {
                if (!ascii::equalsIgnoringCase(section.name, wanted))
                    continue;
                for (const profile::ProfileEntry& entry : section.entries) {
                    m_section = wanted;
                    if (!readEntry(entry))
                        return false;
                }
            }
        }
        std::sort(m_ws.drives.begin(), m_ws.drives.end(),
                  [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
        return checkLdap();
    }

private:
    bool fail(const profile::ProfileEntry& entry, const std::string& reason)
    {
        m_error = std::string(m_fileName) + ":" + std::to_string(entry.line) + ": [" + std::string(m_section) + "] " +
                  quoted(entry.key) + ": " + reason;
        return false;
    }

    bool readEntry(const profile::ProfileEntry& entry)
    {
        const std::string_view value = stripComment(entry.value);
        using Read = bool (Reader::*)(const profile::ProfileEntry&, std::string_view);
        static constexpr std::pair<std::string_view, Read> kSections[] = {
            {"Volumes", &Reader::readVolume},      {"Drives", &Reader::readDrive},
            {"Directory", &Reader::readObject},    {"LDAP", &Reader::readLdap},
            {"Bindery", &Reader::readBinderyName}, {"Owners", &Reader::readOwner},
        };
        for (const auto& [section, read] : kSections)
            if (m_section == section)
                return (this->*read)(entry, value);
        return readFault(entry, value);
    }

    bool readVolume(const profile::ProfileEntry& entry, std::string_view value)
    {
        const std::string_view key = entry.key;
        const std::size_t slash = key.find('/');
        if (slash == std::string_view::npos || !isServerOrVolumeName(key.substr(0, slash), kMaxServerName) ||
            !isServerOrVolumeName(key.substr(slash + 1), kMaxVolumeName))
            return fail(entry, "not a SERVER/VOLUME name (server up to 47 and volume up to 15 letters, digits or "
                               "_-@!#$%&'()^{}~)");
        Volume volume;
        volume.server = ascii::toUpper(key.substr(0, slash));
        volume.name = ascii::toUpper(key.substr(slash + 1));
        volume.line = entry.line;
        for (const Volume& other : m_ws.volumes)
            if (other.server == volume.server && other.name == volume.name)
                return fail(entry, "volume already defined at line " + std::to_string(other.line));
        if (value.empty())
            return fail(entry, "no host folder");
        volume.hostFolder = hostFolderOf(value, m_baseFolder);
        if (!isFolder(volume.hostFolder))
            return fail(entry, "no such folder " + quoted(volume.hostFolder));
        m_ws.volumes.push_back(std::move(volume));
        return true;
    }

    bool readDrive(const profile::ProfileEntry& entry, std::string_view value)
    {
        if (entry.key.size() != 1 || ascii::toUpper(entry.key[0]) < 'A' || ascii::toUpper(entry.key[0]) > 'Z')
            return fail(entry, "not a drive letter A to Z");
        Drive drive;
        drive.letter = ascii::toUpper(entry.key[0]);
        drive.line = entry.line;
        for (const Drive& other : m_ws.drives)
            if (other.letter == drive.letter)
                return fail(entry, "drive already mapped at line " + std::to_string(other.line));
        if (value.empty())
            return fail(entry, "neither SERVER/VOLUME:[PATH] nor a host folder");

        // SERVER/VOLUME:PATH, told from a host folder by the one slash before the colon.
        const std::size_t colon = value.find(':');
        const std::size_t slash = value.find('/');
        const bool netware = colon != std::string_view::npos && slash != std::string_view::npos && slash > 0 &&
                             slash < colon &&
                             value.substr(0, colon).find_first_of("/\\", slash + 1) == std::string_view::npos;
        if (!netware) {
            drive.hostFolder = hostFolderOf(value, m_baseFolder);
            if (!isFolder(drive.hostFolder))
                return fail(entry, "no such folder " + quoted(drive.hostFolder));
            m_ws.drives.push_back(std::move(drive));
            return true;
        }

        const std::string server = ascii::toUpper(trim(value.substr(0, slash)));
        const std::string volumeName = ascii::toUpper(trim(value.substr(slash + 1, colon - slash - 1)));
        const auto volume = std::find_if(m_ws.volumes.begin(), m_ws.volumes.end(),
                                         [&](const Volume& v) { return v.server == server && v.name == volumeName; });
        if (volume == m_ws.volumes.end())
            return fail(entry, "unknown volume " + quoted(server) + "/" + quoted(volumeName));
        drive.netware = true;
        drive.volume = static_cast<std::size_t>(volume - m_ws.volumes.begin());
        drive.hostFolder = volume->hostFolder;
        for (std::string_view part : splitPath(value.substr(colon + 1))) {
            if (!netnames::isNetWareName(part))
                return fail(entry, "bad folder name in " + quoted(value));
            const auto found = findSubfolder(drive.hostFolder, part);
            if (!found)
                return fail(entry, "no folder " + quoted(value.substr(colon + 1)) + " on " + quoted(server) + "/" +
                                       quoted(volumeName));
            drive.hostFolder = joinHostPath(drive.hostFolder, *found);
            drive.path.push_back(*found);
        }
        m_ws.drives.push_back(std::move(drive));
        return true;
    }

    bool readObject(const profile::ProfileEntry& entry, std::string_view value)
    {
        const std::string_view name = entry.key;
        if (name.size() > kMaxFullName)
            return fail(entry, "name longer than 255 characters");
        std::size_t start = 0;
        for (std::size_t i = 0; i <= name.size(); ++i) {
            if (i == name.size() || name[i] == '.') {
                if (!isDirectoryComponent(name.substr(start, i - start)))
                    return fail(entry, "not a dotted name of components without = + \\ or control characters");
                start = i + 1;
            }
        }
        const std::size_t comma = value.find(',');
        const std::string_view className = trim(value.substr(0, comma));
        if (className.empty())
            return fail(entry, "no class");
        if (className.size() > kMaxClassName || hasControlChar(className) ||
            className.find('=') != std::string_view::npos)
            return fail(entry, "bad class " + quoted(className));
        DirectoryObject object;
        object.fullName = std::string(name);
        object.className = std::string(className);
        object.line = entry.line;
        if (comma != std::string_view::npos) {
            const std::string_view idText = trim(value.substr(comma + 1));
            const auto id = profile::parseInteger(idText);
            if (!id)
                return fail(entry, "bad ID " + quoted(idText));
            object.id = static_cast<std::uint32_t>(*id);
        }
        const std::string folded = ascii::toUpper(object.fullName);
        if (const auto known = m_names.find(folded); known != m_names.end())
            return fail(entry, "object already defined at line " + std::to_string(known->second));
        if (object.id) {
            if (const auto known = m_ids.find(*object.id); known != m_ids.end())
                return fail(entry, "ID already used at line " + std::to_string(known->second));
            m_ids.emplace(*object.id, entry.line);
        }
        m_names.emplace(folded, entry.line);
        m_ws.directory.push_back(std::move(object));
        return true;
    }

    bool readLdap(const profile::ProfileEntry& entry, std::string_view value)
    {
        if (!m_ws.directory.empty())
            return fail(entry, "the directory comes from [Directory] (line " +
                                   std::to_string(m_ws.directory.front().line) + ") or from [LDAP], not both");
        if (!m_ws.ldap) {
            m_ws.ldap.emplace();
            m_ws.ldap->line = entry.line;
        }
        LdapSection& ldap = *m_ws.ldap;
        const std::string key = ascii::toUpper(entry.key);
        if (!m_ldapKeys.insert(key).second)
            return fail(entry, "given twice");
        if (hasControlChar(value))
            return fail(entry, "a control character in the value");
        if (key == "URI") {
            const std::string scheme = ascii::toUpper(value.substr(0, value.find("://") + 3));
            if ((scheme != "LDAP://" && scheme != "LDAPS://") || value.find("://") == std::string_view::npos ||
                value.find_first_of(" \t") != std::string_view::npos)
                return fail(entry, "not one ldap:// or ldaps:// URI");
            ldap.uri = std::string(value);
        } else if (key == "BASE") {
            if (value.empty())
                return fail(entry, "no DN");
            ldap.base = std::string(value);
        } else if (key == "BINDDN") {
            ldap.bindDn = std::string(value);
        } else if (key == "PASSWORDFILE") {
            if (value.empty())
                return fail(entry, "no file");
            ldap.passwordFile = hostFolderOf(value, m_baseFolder);
        } else if (key == "CACERTFILE") {
            if (value.empty())
                return fail(entry, "no file");
            ldap.caCertFile = hostFolderOf(value, m_baseFolder);
        } else if (key == "STARTTLS") {
            if (value != "0" && value != "1")
                return fail(entry, "not 0 or 1");
            ldap.startTls = value == "1";
        } else if (key == "TIMEOUT") {
            const auto seconds = profile::parseInteger(value);
            if (!seconds || *seconds < 1 || *seconds > 600)
                return fail(entry, "not a number of seconds from 1 to 600");
            ldap.timeoutSeconds = static_cast<int>(*seconds);
        } else {
            return fail(entry, "unknown key (URI, Base, BindDN, PasswordFile, StartTLS, CACertFile, Timeout)");
        }
        return true;
    }

    // What [LDAP] needs as a whole, reported at its first line.
    bool checkLdap()
    {
        if (!m_ws.ldap)
            return true;
        const LdapSection& ldap = *m_ws.ldap;
        std::string missing;
        if (ldap.uri.empty())
            missing = "URI";
        else if (ldap.base.empty())
            missing = "Base";
        else if (!ldap.bindDn.empty() && ldap.passwordFile.empty())
            missing = "PasswordFile (BindDN is given)";
        else if (ldap.bindDn.empty() && !ldap.passwordFile.empty())
            missing = "BindDN (PasswordFile is given)";
        if (missing.empty())
            return true;
        m_error = std::string(m_fileName) + ":" + std::to_string(ldap.line) + ": [LDAP] no " + missing;
        return false;
    }

    bool readBinderyName(const profile::ProfileEntry& entry, std::string_view value)
    {
        const auto id = profile::parseInteger(entry.key);
        if (!id)
            return fail(entry, "the object ID is not an integer");
        if (value.empty() || value.size() > kMaxBinderyName || hasControlChar(value))
            return fail(entry, "not a name of 1 to 255 characters");
        if (!m_ws.bindery.emplace(static_cast<std::uint32_t>(*id), std::string(value)).second)
            return fail(entry, "object ID given twice");
        return true;
    }

    bool readOwner(const profile::ProfileEntry& entry, std::string_view value)
    {
        const auto uid = profile::parseInteger(entry.key);
        if (!uid)
            return fail(entry, "the host user ID is not an integer");
        const auto id = profile::parseInteger(value);
        if (!id)
            return fail(entry, "the object ID " + quoted(value) + " is not an integer");
        if (!m_ws.owners.emplace(static_cast<std::uint32_t>(*uid), static_cast<std::uint32_t>(*id)).second)
            return fail(entry, "host user ID given twice");
        return true;
    }

    bool readFault(const profile::ProfileEntry& entry, std::string_view value)
    {
        // The wildcard may itself hold commas: the operation ends at the first,
        // the code starts after the last.
        const std::size_t first = value.find(',');
        const std::size_t last = value.rfind(',');
        if (first == std::string_view::npos || first == last)
            return fail(entry, "needs three parts: operation, path wildcard, code (hex)");
        const std::string_view operation = trim(value.substr(0, first));
        const std::string_view pattern = trim(value.substr(first + 1, last - first - 1));
        const std::string_view codeText = trim(value.substr(last + 1));
        Fault fault;
        const auto known = operationFromName(operation);
        if (!known)
            return fail(entry, "unknown operation " + quoted(operation));
        if (pattern.empty())
            return fail(entry, "empty path wildcard");
        const auto code = parseHexCode(codeText);
        if (!code)
            return fail(entry, "bad hex code " + quoted(codeText));
        if (*code == 0)
            return fail(entry, "code 0 would be success");
        fault.operation = *known;
        fault.pattern = std::string(pattern);
        fault.code = *code;
        fault.line = entry.line;
        m_ws.faults.push_back(std::move(fault));
        return true;
    }

    std::string_view m_fileName;
    std::string_view m_baseFolder;
    Workstation& m_ws;
    std::string& m_error;
    std::string_view m_section;
    std::unordered_map<std::string, int> m_names;
    std::unordered_map<std::uint32_t, int> m_ids;
    std::unordered_set<std::string> m_ldapKeys;
};

// The profile parser passes over lines it cannot use. The workstation file is
// checked line by line instead, so that a damaged or foreign file (a binary,
// text of another format) fails the start-up at its first bad line rather than
// starting a workstation with nothing in it. The lines are those the parser
// sees: ended by "\n" with an optional "\r", blanks around them dropped.
bool checkLines(std::string_view text, std::string_view fileName, std::string& error)
{
    bool inSection = false;
    profile::ProfileLines lines(text);
    std::string_view line;
    while (lines.next(line)) {
        const auto fail = [&](std::string_view reason) {
            error = std::string(fileName) + ":" + std::to_string(lines.number()) + ": " + std::string(reason);
            return false;
        };
        if (line.find('\0') != std::string_view::npos)
            return fail("a zero byte: not a text file");
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            if (line.find(']') == std::string_view::npos)
                return fail("a section header without ']'");
            inSection = true;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return fail("neither a [Section] header, a key=value line nor a ; comment");
        if (trim(line.substr(0, equals)).empty())
            return fail("a value without a key");
        if (!inSection)
            return fail("a key=value line before the first [Section] header");
    }
    return true;
}

const char* environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

std::string_view operationName(Operation operation)
{
    const auto index = static_cast<std::size_t>(operation);
    return index < kOperationCount ? kOperationNames[index] : std::string_view{};
}

std::optional<Operation> operationFromName(std::string_view name)
{
    for (std::size_t i = 0; i < kOperationCount; ++i)
        if (ascii::equalsIgnoringCase(kOperationNames[i], name))
            return static_cast<Operation>(i);
    return std::nullopt;
}

bool parse(std::string_view text, std::string_view fileName, std::string_view baseFolder, Workstation& result,
           std::string& error)
{
    if (!checkLines(text, fileName, error))
        return false;
    Workstation parsed;
    parsed.fileName = std::string(fileName);
    Reader reader(fileName, baseFolder, parsed, error);
    if (!reader.read(profile::ProfileDocument::parse(text)))
        return false;
    result = std::move(parsed);
    return true;
}

bool load(const std::string& path, Workstation& result, std::string& error)
{
    if (isFolder(path)) {
        error = path + ": is a folder, not a workstation file";
        return false;
    }
    const auto text = profile::readFile(path);
    if (!text) {
        error = path + ": cannot be read";
        return false;
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
    return parse(*text, path, folder, result, error);
}

std::optional<std::string> find(std::string_view executableFolder, std::string& error)
{
    if (const char* named = environment("NWCLIENT_CONFIG"))
        return std::string(named);
    std::vector<std::string> tried;
    if (!executableFolder.empty()) {
        std::string candidate = joinHostPath(executableFolder, "workstation.ini");
        if (isRegularFile(candidate))
            return candidate;
        tried.push_back(std::move(candidate));
    }
    std::string configFolder;
    if (const char* xdg = environment("XDG_CONFIG_HOME"))
        configFolder = xdg;
    else if (const char* home = environment("HOME"))
        configFolder = joinHostPath(home, ".config");
    if (!configFolder.empty()) {
        std::string candidate = joinHostPath(joinHostPath(configFolder, "trawl"), "workstation.ini");
        if (isRegularFile(candidate))
            return candidate;
        tried.push_back(std::move(candidate));
    }
    // The system's configuration folders, where an administrator puts one file
    // for every user of the machine. Relative entries are skipped: they would
    // depend on the folder the program was started from.
    const char* systemFolders = environment("XDG_CONFIG_DIRS");
    const std::string_view folders = systemFolders ? systemFolders : "/etc/xdg";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t colon = std::min(folders.find(':', start), folders.size());
        const std::string_view folder = folders.substr(start, colon - start);
        start = colon + 1;
        if (folder.empty() || folder.front() != '/')
            continue;
        std::string candidate = joinHostPath(joinHostPath(folder, "trawl"), "workstation.ini");
        if (isRegularFile(candidate))
            return candidate;
        tried.push_back(std::move(candidate));
    }
    error = "no workstation file: NWCLIENT_CONFIG is not set";
    for (std::size_t i = 0; i < tried.size(); ++i)
        error += (i == 0 ? " and none at " : " or ") + tried[i];
    return std::nullopt;
}

}  // namespace workstation
