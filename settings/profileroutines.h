#pragma once

// The profile routines of the settings file and the window-state file. Each
// call resolves the file name, opens the file, does one read or one write and
// closes it again; nothing is remembered between calls.
//
// Values are at most kProfileValueLimit bytes: a longer value found in a file
// reads cut to the limit, and a longer text written is cut before it is
// stored. A cut never splits a UTF-8 sequence. A value is one line: a text to
// write ends at its first line break, so no value can add keys or sections.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

inline constexpr std::size_t kProfileValueLimit = 255;

// A write that did not reach the file; the message names the resolved file.
struct ProfileWriteError {
    std::string fileName;
    int code = 0;  // the system's error code, when one is known
    std::string message() const { return "Unable to write to " + fileName; }
};
using ProfileWriteResult = std::optional<ProfileWriteError>;  // empty on success

// The key's text, or the default when the file, the section or the key is missing.
std::string IniReadString(std::string_view fileName, std::string_view section, std::string_view key,
                          std::string_view defaultValue);
// The key's value (decimal, or hexadecimal after "$", "0x", "0X"), or the
// default when the key is missing or its value is not an integer.
std::int32_t IniReadInteger(std::string_view fileName, std::string_view section, std::string_view key,
                            std::int32_t defaultValue);
// One section of a profile read once, for a caller that reads many keys in a
// row (a settings load reads every key, a thousand template lines included):
// the file is not read again for each key, and a current folder changed
// between two reads cannot make the later keys come from another file. The
// values are those IniReadString and IniReadInteger give.
class ProfileSectionReader {
public:
    ProfileSectionReader(std::string_view fileName, std::string_view section);
    std::string readString(std::string_view key, std::string_view defaultValue) const;
    std::int32_t readInteger(std::string_view key, std::int32_t defaultValue) const;
    // True when the key holds more than kProfileValueLimit bytes, which the
    // reads above cut.
    bool overLimit(std::string_view key) const;
    // False when the file could not be read at all (missing, not a regular
    // file, unreadable); a file without the section was read.
    bool fileRead() const { return m_fileRead; }

private:
    const std::string* find(std::string_view key) const;
    bool m_fileRead = false;
    std::unordered_map<std::string, std::string> m_values;  // by key in capitals; the first key of each name
};

// Sets the key: in place when it exists, appended to its section otherwise,
// the section and the file created when missing. Every other line of the
// file stays as it was, quotes, blanks and comments included.
[[nodiscard]] ProfileWriteResult IniWriteString(std::string_view fileName, std::string_view section,
                                                std::string_view key, std::string_view value);
// Writes the value in decimal, as IniWriteString does.
[[nodiscard]] ProfileWriteResult IniWriteInteger(std::string_view fileName, std::string_view section,
                                                 std::string_view key, std::int32_t value);

// Keys and their values, in the order they are written.
using ProfileEntries = std::vector<std::pair<std::string, std::string>>;

// Replaces the whole file with one section holding these keys, in this order,
// each line as IniWriteString writes it into a new file. The text is built
// first and written once, through a temporary file renamed over the old one:
// a failed write leaves the old file as it was. An existing file that is not
// a regular file or cannot be written is left alone and reported.
[[nodiscard]] ProfileWriteResult IniReplaceFile(std::string_view fileName, std::string_view section,
                                                const ProfileEntries& entries);

// The file a profile name stands for:
// - a name beginning with a drive letter ("F:\TRAWL\A.TWS") goes through the drive table;
// - an absolute name is used as it stands;
// - a relative name is looked for in the executable's folder first, and used
//   from there when that file exists and can be opened for reading;
// - otherwise a bare name (no folder part) names the file in the user's
//   configuration folder, and a relative name with a folder part is used as it
//   stands (relative to the current folder).
std::string ResolveProfilePath(std::string_view fileName);

namespace profile {

// The executable's folder: the folder of /proc/self/exe unless set.
std::string executableFolder();
// The user's configuration folder: $XDG_CONFIG_HOME/trawl, else ~/.config/trawl, unless set.
std::string configFolder();
// Tests point the two folders elsewhere; an empty text goes back to the default.
void setExecutableFolder(std::string folder);
void setConfigFolder(std::string folder);

// Cuts a text to the value limit without splitting a UTF-8 sequence.
std::string limitProfileValue(std::string_view text);

}  // namespace profile
