#pragma once

// The project's INI (private-profile) reader and writer, used for the settings
// files, the window-state file and the simulated workstation file.
//
// Reading rules: a line "[NAME]" opens a section (one section per header; a
// later header of the same name, compared case-blind, continues it); "key=value"
// lines belong to the section above; keys and section names are compared blind
// to case; blanks (spaces and tabs) around keys and values are dropped; a value
// wholly enclosed in a pair of double or single quotes loses the pair; lines
// starting with ';' and lines without '=' are ignored. Lines end in "\n" or
// "\r\n". Any bytes are accepted: nothing here fails on malformed text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace profile {

// An integer as the profile functions read it: optional blanks, optional sign,
// then decimal digits, or hexadecimal after "$", "0x" or "0X". Trailing text
// after the digits makes the value not an integer. Values outside the signed
// 32-bit range wrap as the 32-bit value (so "$FFFFFFFF" is -1).
std::optional<std::int32_t> parseInteger(std::string_view text);

// The lines of a profile text one by one, as the parser sees them: numbered
// from 1, ended by "\n" with an optional "\r", blanks around them dropped.
class ProfileLines {
public:
    explicit ProfileLines(std::string_view text) : m_rest(text) {}
    // The next line; false at the end of the text.
    bool next(std::string_view& line);
    int number() const { return m_number; }

private:
    std::string_view m_rest;
    int m_number = 0;
};

// The longest start of text of at most limit bytes that does not split a
// UTF-8 sequence.
std::string_view wholeCharacters(std::string_view text, std::size_t limit);

struct ProfileEntry {
    std::string key;    // as written, trimmed
    std::string value;  // trimmed, one pair of enclosing quotes removed
    int line = 0;       // 1-based line number in the text
};

struct ProfileSection {
    std::string name;  // as written in its first header
    int line = 0;
    std::vector<ProfileEntry> entries;
};

class ProfileDocument {
public:
    static ProfileDocument parse(std::string_view text);

    // The value of the first key of that name in the section, if any.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    const ProfileSection* section(std::string_view name) const;
    const std::vector<ProfileSection>& sections() const { return m_sections; }

    // Sets the key in place when it exists, else appends it to its section;
    // the section is created at the end when missing. Everything is stored as a
    // reader of the file would get it back, so no text can add lines: the value
    // ends at its first line break, the key at its first '=' or line break, the
    // section name at its first ']' or line break, and the key and section name
    // lose their surrounding blanks. A key that is then empty, or begins with
    // ';' or '[', cannot be written and is ignored. The value is not quoted: one
    // with blanks around it or wholly in quotes reads back without them.
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    // The document as text, "\r\n" after every line.
    std::string serialize() const;

private:
    std::vector<ProfileSection> m_sections;
};

// Reads a whole file; nothing when it cannot be opened or read.
std::optional<std::string> readFile(const std::string& path);
// Writes the text to the file, replacing it safely: a temporary file beside it,
// flushed, then renamed over the old one, so a failed write never leaves a
// half-written file. Returns 0 or the system's error code.
int writeFileAtomically(const std::string& path, std::string_view text);

}  // namespace profile
