#pragma once

// What stands in for the Windows file system: drive letters mapped to host
// folders, Windows paths ("X:\A\B") resolved to host paths, the listing of a
// pattern in FindFirst/FindNext style, the code-page conversion and the
// process's current folder.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Windows file attribute bits, as the listing reports them (the NetWare
// attributes share their low bits).
enum AttributeBit : std::uint32_t {
    kAttrReadOnly = 0x01,
    kAttrHidden = 0x02,
    kAttrSystem = 0x04,
    kAttrDirectory = 0x10,
    kAttrArchive = 0x20,
};

// The drive letters of the workstation, each naming a host folder.
class DriveTable {
public:
    void clear();
    void setDrive(char letter, std::string hostFolder);
    // The host folder of a drive letter (either case), if the letter is mapped.
    std::optional<std::string> hostFolder(char letter) const;
    // "X:\A\B" (or "X:/A/B", "X:") to its host path; a host folder whose name
    // differs only in case is found too. Empty when the letter is not mapped
    // or the text is not a drive path.
    std::optional<std::string> hostPath(std::string_view windowsPath) const;

private:
    std::array<std::string, 26> m_folders;
};

// The program-wide drive table.
DriveTable& drives();

struct DirEntry {
    std::string name;
    std::uint64_t size = 0;
    std::uint32_t attributes = 0;  // kAttr* bits
};

// Windows wildcard matching, blind to the case of a-z: '*' any run of
// characters; '?' one character, or none before a dot or at the end of the
// name ("file?.txt" takes "file.txt", "*.tx?" takes "x.tx"); a '.' before a
// '?' or '*' a dot or the end of the name ("README.*" takes "README"); "*."
// at the end the names without a dot; "*" and "*.*" every name. The work is
// at most the pattern's length times the name's.
bool wildcardMatch(std::string_view pattern, std::string_view name);

// One entry of a folder as the host lists it: its name and its type (a
// d_type value, never DT_UNKNOWN).
struct ListedName {
    std::string name;
    unsigned char type = 0;
};

// What another reader of the host already knows of a folder's entries and
// knows to be unchanged: a listing takes the folder's entries and a file's
// size and mode from it instead of asking the host again.
class KnownStatus {
public:
    virtual ~KnownStatus() = default;
    // Once per listing, before its entries are asked for, with the pattern
    // its files are to match (empty when it keeps every file).
    virtual void beginFolder(const std::string& hostFolder, std::string_view filePattern) = 0;
    virtual bool status(std::string_view name, std::uint64_t& size, std::uint32_t& mode) = 0;
    // The folder's entries, "." and ".." among them, when they were read
    // already and nothing changed since; nullptr when the listing must read
    // the folder itself. Valid until the next beginFolder().
    virtual const std::vector<ListedName>* listing() { return nullptr; }
    // When the listing has read the folder and made all its own calls.
    virtual void endFolder() {}
};
// The program-wide source, or none (nullptr).
void setKnownStatus(KnownStatus* source);
KnownStatus* knownStatus();

// A FindFirst/FindNext listing of "X:\FOLDER\PATTERN". Entries come sorted by
// name (a-z folded to capitals, ties by bytes); "." and ".." are returned in
// folders below a root. Symbolic links are reported as files. Only entries whose
// attributes fit the request are returned: directories only when the request
// holds kAttrDirectory, hidden and system entries only when it holds theirs.
class DirListing {
public:
    // False (and no entries) when the folder cannot be listed or nothing matches.
    bool open(std::string_view windowsPathAndPattern, std::uint32_t attributeRequest);
    // The same listing without the files whose names filePattern does not
    // match (folders stay whatever their names; an empty filePattern leaves
    // out nothing): a walk that wants the folders and the files of a pattern
    // reads the folder once and pays nothing for the files it would skip.
    bool open(std::string_view windowsPathAndPattern, std::uint32_t attributeRequest, std::string_view filePattern);
    bool next(DirEntry& entry);
    // After a failed open: the system's error code when the folder itself
    // could not be read (ENOENT when it does not exist), 0 when it was read
    // and nothing matched.
    int error() const { return m_error; }

private:
    std::vector<DirEntry> m_entries;
    std::size_t m_next = 0;
    int m_error = 0;
};

// The ANSI and OEM code pages are both UTF-8 on this host: a copy.
std::string charToOem(std::string_view text);

// Makes the host folder of a Windows path the process's current folder.
// Returns 0, or the system's error code.
int setCurrentFolder(std::string_view windowsPath);

// A file name typed for output or settings: one that begins with a drive
// letter goes through the drive table; any other is a host path, relative to
// the current folder.
std::string resolveUserPath(std::string_view name);

}  // namespace platform
