#include "platform/drives.h"

#include "platform/asciicase.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Bytes of the listing order compare unsigned, so names beyond ASCII sort after Z.
constexpr unsigned char foldByte(char c) { return static_cast<unsigned char>(ascii::toUpper(c)); }

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

int driveIndex(char letter)
{
    const unsigned char c = foldByte(letter);
    return (c >= 'A' && c <= 'Z') ? c - 'A' : -1;
}

bool beginsWithDrive(std::string_view text)
{
    return text.size() >= 2 && driveIndex(text[0]) >= 0 && text[1] == ':';
}

void appendComponent(std::string& path, std::string_view name)
{
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    path.append(name);
}

// A Windows path below its drive letter, split into components with "." and
// ".." applied. ".." at the root stays at the root, as on Windows, so no path
// leads above the drive's host folder.
struct DrivePath {
    int drive = -1;
    std::vector<std::string_view> components;
};

std::optional<DrivePath> splitDrivePath(std::string_view text)
{
    // A NUL would end the host path early and name a different file.
    if (!beginsWithDrive(text) || text.find('\0') != std::string_view::npos)
        return std::nullopt;
    DrivePath result;
    result.drive = driveIndex(text[0]);
    std::string_view rest = text.substr(2);
    while (!rest.empty()) {
        std::size_t end = 0;
        while (end < rest.size() && !isSeparator(rest[end]))
            ++end;
        const std::string_view part = rest.substr(0, end);
        rest.remove_prefix(end < rest.size() ? end + 1 : end);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!result.components.empty())
                result.components.pop_back();
            continue;
        }
        result.components.push_back(part);
    }
    return result;
}

bool existsNoFollow(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The entry of a host folder whose name equals the given one blind to the
// case of a-z. Several candidates (possible on a case-sensitive file system)
// give the smallest by bytes, so the choice does not depend on the listing order.
std::optional<std::string> findFoldedEntry(const std::string& folder, std::string_view name)
{
    DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
    if (!dir)
        return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view candidate(entry->d_name);
        if (ascii::equalsIgnoringCase(candidate, name) && (!best || candidate < std::string_view(*best)))
            best = std::string(candidate);
    }
    ::closedir(dir);
    return best;
}

// The host path of the components below a host folder, taking for each
// component that does not exist as spelt the entry that differs only in case.
// From the first component that exists in no spelling, the rest is kept as
// written, so that a file about to be created gets the name the user gave.
std::string resolveFolded(const std::string& hostFolder, const std::vector<std::string_view>& components)
{
    std::string path = hostFolder;
    std::size_t i = 0;
    for (; i < components.size(); ++i) {
        std::string candidate = path;
        appendComponent(candidate, components[i]);
        if (existsNoFollow(candidate)) {
            path = std::move(candidate);
            continue;
        }
        const std::optional<std::string> found = findFoldedEntry(path, components[i]);
        if (!found)
            break;
        appendComponent(path, *found);
    }
    for (; i < components.size(); ++i)
        appendComponent(path, components[i]);
    return path;
}

std::string joinExact(const std::string& hostFolder, const std::vector<std::string_view>& components)
{
    std::string path = hostFolder;
    for (const std::string_view& component : components)
        appendComponent(path, component);
    return path;
}

// Sort order of the listing: a-z folded to capitals, ties by the bytes.
bool listingOrder(const DirEntry& a, const DirEntry& b)
{
    const std::size_t common = std::min(a.name.size(), b.name.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char ca = foldByte(a.name[i]);
        const unsigned char cb = foldByte(b.name[i]);
        if (ca != cb)
            return ca < cb;
    }
    if (a.name.size() != b.name.size())
        return a.name.size() < b.name.size();
    return a.name < b.name;
}

bool matchOnce(std::string_view pattern, std::string_view name)
{
    // Greedy matching with one resume point: on a mismatch the last '*' takes
    // one more character. Each '*' only ever moves forward, so the work stays
    // bounded by pattern length times name length whatever the pattern.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            while (p < pattern.size() && pattern[p] == '*')
                ++p;
            if (p == pattern.size())
                return true;
            starP = p;
            starN = n;
            continue;
        }
        if (p < pattern.size()
            && (pattern[p] == '?'
                || ascii::toUpper(pattern[p]) == ascii::toUpper(name[n]))) {
            ++p;
            ++n;
            continue;
        }
        if (starP == std::string_view::npos)
            return false;
        p = starP;
        n = ++starN;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

void DriveTable::clear()
{
    for (std::string& folder : m_folders)
        folder.clear();
}

void DriveTable::setDrive(char letter, std::string hostFolder)
{
    const int index = driveIndex(letter);
    if (index < 0)
        return;
    // "/srv/x/" and "/srv/x" name the same folder; the root keeps its slash.
    while (hostFolder.size() > 1 && hostFolder.back() == '/')
        hostFolder.pop_back();
    m_folders[static_cast<std::size_t>(index)] = std::move(hostFolder);
}

std::optional<std::string> DriveTable::hostFolder(char letter) const
{
    const int index = driveIndex(letter);
    if (index < 0 || m_folders[static_cast<std::size_t>(index)].empty())
        return std::nullopt;
    return m_folders[static_cast<std::size_t>(index)];
}

std::optional<std::string> DriveTable::hostPath(std::string_view windowsPath) const
{
    const std::optional<DrivePath> parsed = splitDrivePath(windowsPath);
    if (!parsed)
        return std::nullopt;
    const std::string& folder = m_folders[static_cast<std::size_t>(parsed->drive)];
    if (folder.empty())
        return std::nullopt;
    std::string exact = joinExact(folder, parsed->components);
    if (parsed->components.empty() || existsNoFollow(exact))
        return exact;
    return resolveFolded(folder, parsed->components);
}

DriveTable& drives()
{
    static DriveTable table;
    return table;
}

namespace {
KnownStatus* g_knownStatus = nullptr;
}

void setKnownStatus(KnownStatus* source) { g_knownStatus = source; }

KnownStatus* knownStatus() { return g_knownStatus; }

bool wildcardMatch(std::string_view pattern, std::string_view name)
{
    if (matchOnce(pattern, name))
        return true;
    // A pattern ending in ".*" also matches the names without that extension
    // part, so "*.*" matches every name and "README.*" matches "README".
    while (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
        pattern.remove_suffix(2);
        if (matchOnce(pattern, name))
            return true;
    }
    return false;
}

bool DirListing::open(std::string_view windowsPathAndPattern, std::uint32_t attributeRequest)
{
    return open(windowsPathAndPattern, attributeRequest, {});
}

bool DirListing::open(std::string_view windowsPathAndPattern, std::uint32_t attributeRequest,
                      std::string_view filePattern)
{
    m_entries.clear();
    m_next = 0;
    m_error = ENOENT;

    std::size_t cut = windowsPathAndPattern.size();
    while (cut > 0 && !isSeparator(windowsPathAndPattern[cut - 1]))
        --cut;
    // "X:PATTERN" lists the drive's root.
    if (cut == 0 && beginsWithDrive(windowsPathAndPattern))
        cut = 2;
    const std::string_view folderText = windowsPathAndPattern.substr(0, cut);
    const std::string_view pattern = windowsPathAndPattern.substr(cut);
    if (pattern.empty())
        return false;

    const std::optional<DrivePath> parsed = splitDrivePath(folderText);
    if (!parsed)
        return false;
    const std::optional<std::string> root = drives().hostFolder(static_cast<char>('A' + parsed->drive));
    if (!root)
        return false;
    const bool atRoot = parsed->components.empty();

    // The spelling as given is tried first; only a folder missing under that
    // spelling costs the case-blind search.
    std::string folder = joinExact(*root, parsed->components);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir && (errno == ENOENT || errno == ENOTDIR) && !atRoot) {
        folder = resolveFolded(*root, parsed->components);
        dir = ::opendir(folder.c_str());
    }
    if (!dir) {
        m_error = errno;
        return false;
    }
    m_error = 0;

    KnownStatus* const known = g_knownStatus;
    if (known != nullptr)
        known->beginFolder(folder, filePattern);
    const int dirFd = ::dirfd(dir);
    const bool wantDirectories = (attributeRequest & kAttrDirectory) != 0;
    const bool wantHidden = (attributeRequest & kAttrHidden) != 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        const bool dotEntry = name == "." || name == "..";
        if (dotEntry && atRoot)
            continue;
        if (!wildcardMatch(pattern, name))
            continue;
        if (dotEntry) {
            if (wantDirectories)
                m_entries.push_back(DirEntry{std::string(name), 0, kAttrDirectory});
            continue;
        }
        const bool hidden = name.front() == '.';
        if (hidden && !wantHidden)
            continue;

        // Directories are known from d_type; a link is never one, whatever it
        // points to, so a walk never follows it.
        struct stat st;
        bool haveStat = false;
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT)
                    continue;  // removed since the folder was read
            } else {
                haveStat = true;
                isDirectory = S_ISDIR(st.st_mode);
            }
        }
        if (isDirectory && !wantDirectories)
            continue;
        // Known to be a file (or a link) from d_type alone: a name the caller
        // does not want costs no status call.
        if (!isDirectory && !filePattern.empty() && !wildcardMatch(filePattern, name))
            continue;

        DirEntry result{std::string(name), 0, 0};
        if (hidden)
            result.attributes |= kAttrHidden;
        if (isDirectory) {
            result.attributes |= kAttrDirectory;
        } else {
            std::uint64_t knownSize = 0;
            std::uint32_t knownMode = 0;
            if (!haveStat && known != nullptr && known->status(name, knownSize, knownMode)) {
                st.st_size = static_cast<off_t>(knownSize);
                st.st_mode = knownMode;
                haveStat = true;
            }
            if (!haveStat) {
                if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                    haveStat = true;
                else if (errno == ENOENT)
                    continue;
            }
            // An entry that cannot be examined (a folder readable but not
            // searchable) is still listed, size 0, so its failure shows later
            // instead of the file silently disappearing from the scan.
            if (haveStat) {
                result.size = static_cast<std::uint64_t>(st.st_size);
                if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
                    result.attributes |= kAttrReadOnly;
            }
        }
        m_entries.push_back(std::move(result));
    }
    ::closedir(dir);

    std::sort(m_entries.begin(), m_entries.end(), listingOrder);
    return !m_entries.empty();
}

bool DirListing::next(DirEntry& entry)
{
    if (m_next >= m_entries.size())
        return false;
    entry = std::move(m_entries[m_next++]);
    return true;
}

std::string charToOem(std::string_view text)
{
    return std::string(text);
}

int setCurrentFolder(std::string_view windowsPath)
{
    const std::optional<std::string> host = drives().hostPath(windowsPath);
    if (!host)
        return ENOENT;
    return ::chdir(host->c_str()) == 0 ? 0 : errno;
}

std::string resolveUserPath(std::string_view name)
{
    if (!beginsWithDrive(name))
        return std::string(name);
    // An unmapped letter keeps the text, so opening it fails cleanly instead of
    // writing somewhere the user did not ask for.
    std::optional<std::string> host = drives().hostPath(name);
    return host ? std::move(*host) : std::string(name);
}

} // namespace platform
