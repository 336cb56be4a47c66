// The drive table and the Windows paths it resolves to host paths, wildcard
// matching, and the FindFirst/FindNext listing of a folder.

#include "platform/drives.h"

#include "platform/asciicase.h"
#include "platform/folderreader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Bytes of the listing order compare unsigned, so names beyond ASCII sort after Z.
constexpr unsigned char foldByte(char c) { return static_cast<unsigned char>(ascii::toUpper(c)); }

bool isSeparator(char c) { return c == '\\' || c == '/'; }

int driveIndex(char letter)
{
    const unsigned char c = foldByte(letter);
    return (c >= 'A' && c <= 'Z') ? c - 'A' : -1;
}

bool beginsWithDrive(std::string_view text) { return text.size() >= 2 && driveIndex(text[0]) >= 0 && text[1] == ':'; }

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
bool listingOrder(const DirEntry& a, const DirEntry& b) { return ascii::compareListingOrder(a.name, b.name) < 0; }

// What one character of a pattern stands for, after the translation Windows
// makes before it matches: '?' becomes the DOS question mark, a '.' before a
// '?' or '*' the DOS dot, and a "*." that ends the pattern the DOS star.
enum class WildToken : unsigned char { Literal, Star, DosStar, DosQuestion, DosDot };

class WildPattern {
public:
    explicit WildPattern(std::string_view pattern) : m_text(pattern), m_length(pattern.size())
    {
        // "*." at the end: the star stops before the name's last dot and the
        // dot itself is gone, so the pattern takes the names without a dot.
        if (m_length >= 2 && pattern[m_length - 1] == '.' && pattern[m_length - 2] == '*') {
            m_dosStar = m_length - 2;
            --m_length;
        }
    }

    std::size_t length() const { return m_length; }
    char literal(std::size_t i) const { return m_text[i]; }
    WildToken token(std::size_t i) const
    {
        if (i == m_dosStar)
            return WildToken::DosStar;
        switch (m_text[i]) {
        case '*':
            return WildToken::Star;
        case '?':
            return WildToken::DosQuestion;
        case '.':
            if (i + 1 < m_text.size() && (m_text[i + 1] == '?' || m_text[i + 1] == '*'))
                return WildToken::DosDot;
            return WildToken::Literal;
        default:
            return WildToken::Literal;
        }
    }

private:
    std::string_view m_text;
    std::size_t m_length;
    std::size_t m_dosStar = std::string_view::npos;
};

// The pattern run as a set of positions reached so far, one name character at
// a time: no position is tried twice for one character, so the work is at
// most the pattern's length times the name's, whatever the pattern holds.
bool matchTranslated(const WildPattern& pattern, std::string_view name)
{
    const std::size_t states = pattern.length() + 1;
    // Names and patterns are short; only a long pattern costs an allocation.
    constexpr std::size_t kInline = 512;
    std::array<unsigned char, 2 * kInline> inlineSets;
    std::vector<unsigned char> heapSets;
    unsigned char* current = inlineSets.data();
    if (states > kInline) {
        heapSets.resize(2 * states);
        current = heapSets.data();
    }
    unsigned char* next = current + states;
    std::fill(current, current + states, 0);
    const std::size_t lastDot = name.rfind('.');

    // Moves along the steps that take no character: a star may take none, a
    // DOS question mark takes none at a dot or at the end of the name, a DOS
    // dot takes none at the end of the name. Each step leads one position on,
    // so one pass in order follows every chain of them.
    const auto takeEmptySteps = [&](std::size_t at) {
        const bool atEnd = at == name.size();
        const bool atDot = !atEnd && name[at] == '.';
        for (std::size_t i = 0; i + 1 < states; ++i) {
            if (!current[i])
                continue;
            switch (pattern.token(i)) {
            case WildToken::Star:
            case WildToken::DosStar:
                current[i + 1] = 1;
                break;
            case WildToken::DosQuestion:
                if (atEnd || atDot)
                    current[i + 1] = 1;
                break;
            case WildToken::DosDot:
                if (atEnd)
                    current[i + 1] = 1;
                break;
            case WildToken::Literal:
                break;
            }
        }
    };

    current[0] = 1;
    for (std::size_t at = 0; at < name.size(); ++at) {
        takeEmptySteps(at);
        const char c = name[at];
        bool any = false;
        std::fill(next, next + states, 0);
        for (std::size_t i = 0; i + 1 < states; ++i) {
            if (!current[i])
                continue;
            switch (pattern.token(i)) {
            case WildToken::Star:
                next[i] = 1;
                break;
            case WildToken::DosStar:
                // Any character but the name's last dot, which what follows must take.
                if (at != lastDot)
                    next[i] = 1;
                break;
            case WildToken::DosQuestion:
                if (c != '.')
                    next[i + 1] = 1;
                break;
            case WildToken::DosDot:
                if (c == '.')
                    next[i + 1] = 1;
                break;
            case WildToken::Literal:
                if (ascii::toUpper(pattern.literal(i)) == ascii::toUpper(c))
                    next[i + 1] = 1;
                break;
            }
            any = any || next[i] || next[i + 1];
        }
        if (!any)
            return false;
        std::swap(current, next);
    }
    takeEmptySteps(name.size());
    return current[states - 1] != 0;
}

}  // namespace

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
    // "*" and "*.*" take every name, with or without a dot, "." and ".." too.
    if (pattern == "*" || pattern == "*.*")
        return true;
    // No real name is empty; only the empty pattern names nothing.
    if (name.empty())
        return pattern.empty();
    // The common patterns of a scan, a plain name and "*" before a plain
    // ending (as "*.tmp"), are compared directly; a plain text has no '*' or
    // '?', and then no dot of it is a DOS dot either.
    const auto plain = [](std::string_view text) { return text.find_first_of("*?") == std::string_view::npos; };
    if (plain(pattern))
        return ascii::equalsIgnoringCase(pattern, name);
    if (pattern.front() == '*' && pattern.back() != '.' && plain(pattern.substr(1))) {
        const std::string_view ending = pattern.substr(1);
        return name.size() >= ending.size() &&
               ascii::equalsIgnoringCase(name.substr(name.size() - ending.size()), ending);
    }
    return matchTranslated(WildPattern(pattern), name);
}

bool DirListing::open(std::string_view windowsPathAndPattern, std::uint32_t attributeRequest)
{
    return open(windowsPathAndPattern, attributeRequest, {});
}

namespace {

// A listing's "X:\FOLDER\PATTERN" taken apart: the host folder of the drive,
// the folder's components below it, and the pattern.
struct ListingTarget {
    std::string root;
    std::vector<std::string_view> components;
    std::string_view pattern;
};

// None when there is no pattern, no drive path or no such drive.
std::optional<ListingTarget> splitListingTarget(std::string_view windowsPathAndPattern)
{
    std::size_t cut = windowsPathAndPattern.size();
    while (cut > 0 && !isSeparator(windowsPathAndPattern[cut - 1]))
        --cut;
    // "X:PATTERN" lists the drive's root.
    if (cut == 0 && beginsWithDrive(windowsPathAndPattern))
        cut = 2;
    const std::string_view folderText = windowsPathAndPattern.substr(0, cut);
    const std::string_view pattern = windowsPathAndPattern.substr(cut);
    if (pattern.empty())
        return std::nullopt;

    std::optional<DrivePath> parsed = splitDrivePath(folderText);
    if (!parsed)
        return std::nullopt;
    std::optional<std::string> root = drives().hostFolder(static_cast<char>('A' + parsed->drive));
    if (!root)
        return std::nullopt;
    return ListingTarget{std::move(*root), std::move(parsed->components), pattern};
}

// Which entries of a folder a listing keeps, as the folder's reader or another
// reader's listing gives them, and what it reports of each: the entries that
// the request and the patterns take, with the attributes and the size their
// status gives. The folder is opened again for status calls only when an entry
// needs one.
class EntryFilter {
public:
    EntryFilter(const ListingTarget& target, std::uint32_t attributeRequest, std::string_view filePattern,
                KnownStatus* known, FolderReader& dir, const std::string& folder)
        : m_pattern(target.pattern),
          m_filePattern(filePattern),
          m_atRoot(target.components.empty()),
          m_wantDirectories((attributeRequest & kAttrDirectory) != 0),
          m_wantHidden((attributeRequest & kAttrHidden) != 0),
          m_known(known),
          m_dir(dir),
          m_folder(folder)
    {
    }

    // Adds the entry to entries when the listing keeps it.
    void consider(const char* entryName, unsigned char type, std::vector<DirEntry>& entries);

private:
    int folderFd()
    {
        if (!m_dir.isOpen())
            m_dir.open(m_folder.c_str());
        return m_dir.isOpen() ? m_dir.fd() : -1;
    }

    std::string_view m_pattern;
    std::string_view m_filePattern;
    bool m_atRoot;
    bool m_wantDirectories;
    bool m_wantHidden;
    KnownStatus* m_known;
    FolderReader& m_dir;
    const std::string& m_folder;
};

void EntryFilter::consider(const char* entryName, unsigned char type, std::vector<DirEntry>& entries)
{
    const std::string_view name(entryName);
    const bool dotEntry = name == "." || name == "..";
    if (dotEntry && m_atRoot)
        return;
    if (!wildcardMatch(m_pattern, name))
        return;
    if (dotEntry) {
        if (m_wantDirectories)
            entries.push_back(DirEntry{std::string(name), 0, kAttrDirectory});
        return;
    }
    const bool hidden = name.front() == '.';
    if (hidden && !m_wantHidden)
        return;

    // Directories are known from d_type; a link is never one, whatever it
    // points to, so a walk never follows it.
    struct stat st;
    bool haveStat = false;
    bool isDirectory = type == DT_DIR;
    if (type == DT_UNKNOWN) {
        if (::fstatat(folderFd(), entryName, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                return;  // removed since the folder was read
        } else {
            haveStat = true;
            isDirectory = S_ISDIR(st.st_mode);
        }
    }
    if (isDirectory && !m_wantDirectories)
        return;
    // Known to be a file (or a link) from d_type alone: a name the caller
    // does not want costs no status call.
    if (!isDirectory && !m_filePattern.empty() && !wildcardMatch(m_filePattern, name))
        return;

    DirEntry result{std::string(name), 0, 0};
    if (hidden)
        result.attributes |= kAttrHidden;
    if (isDirectory) {
        result.attributes |= kAttrDirectory;
    } else {
        std::uint64_t knownSize = 0;
        std::uint32_t knownMode = 0;
        if (!haveStat && m_known != nullptr && m_known->status(name, knownSize, knownMode)) {
            st.st_size = static_cast<off_t>(knownSize);
            st.st_mode = knownMode;
            haveStat = true;
        }
        if (!haveStat) {
            if (::fstatat(folderFd(), entryName, &st, AT_SYMLINK_NOFOLLOW) == 0)
                haveStat = true;
            else if (errno == ENOENT)
                return;
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
    entries.push_back(std::move(result));
}

}  // namespace

bool DirListing::open(std::string_view windowsPathAndPattern, std::uint32_t attributeRequest,
                      std::string_view filePattern)
{
    m_entries.clear();
    m_next = 0;
    m_error = ENOENT;

    const std::optional<ListingTarget> target = splitListingTarget(windowsPathAndPattern);
    if (!target)
        return false;
    const bool atRoot = target->components.empty();

    // The spelling as given is tried first; only a folder missing under that
    // spelling costs the case-blind search.
    std::string folder = joinExact(target->root, target->components);
    KnownStatus* const known = g_knownStatus;
    // A folder another reader listed since it was last changed is not read
    // again; its files' status, when needed, comes from the folder opened then.
    const std::vector<ListedName>* given = nullptr;
    if (known != nullptr) {
        known->beginFolder(folder, filePattern);
        given = known->listing();
    }
    FolderReader dir;
    if (given == nullptr) {
        if (!dir.open(folder.c_str()) && (errno == ENOENT || errno == ENOTDIR) && !atRoot) {
            folder = resolveFolded(target->root, target->components);
            if (dir.open(folder.c_str()) && known != nullptr)
                known->beginFolder(folder, filePattern);
        }
        if (!dir.isOpen()) {
            m_error = errno;
            if (known != nullptr)
                known->endFolder();
            return false;
        }
    }
    m_error = 0;

    EntryFilter filter(*target, attributeRequest, filePattern, known, dir, folder);
    if (given != nullptr) {
        for (const ListedName& entry : *given)
            filter.consider(entry.name.c_str(), entry.type, m_entries);
    } else {
        while (const dirent64* entry = dir.next())
            filter.consider(entry->d_name, entry->d_type, m_entries);
    }
    dir.close();
    if (known != nullptr)
        known->endFolder();

    // A listing another reader gave is mostly in this order already.
    if (!std::is_sorted(m_entries.begin(), m_entries.end(), listingOrder))
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

std::string charToOem(std::string_view text) { return std::string(text); }

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

}  // namespace platform
