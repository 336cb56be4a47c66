// The INI reader and writer: the parse, the sections and keys looked up blind
// to case, the text written back and the file replaced atomically.

#include "platform/profile.h"

#include "platform/asciicase.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace profile {

namespace {

std::size_t foldedHash(std::string_view text)
{
    std::size_t hash = 14695981039346656037ull;
    for (const char c : text)
        hash = (hash ^ static_cast<unsigned char>(ascii::toUpper(c))) * 1099511628211ull;
    return hash;
}

// The sections of a document being parsed, by name blind to case, so that a
// file of many sections parses in linear time. An open table of indexes into
// the document's sections: four bytes a slot and no allocation per header.
class SectionIndex {
public:
    explicit SectionIndex(const std::vector<ProfileSection>& sections) : m_sections(sections), m_slots(64, 0) {}

    // The index of the section of that name, or SIZE_MAX.
    std::size_t find(std::string_view name) const
    {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t slot = foldedHash(name) & mask;; slot = (slot + 1) & mask) {
            const std::uint32_t stored = m_slots[slot];
            if (stored == 0)
                return SIZE_MAX;
            if (ascii::equalsIgnoringCase(m_sections[stored - 1].name, name))
                return stored - 1;
        }
    }

    // Records the last section of the document.
    void addLast()
    {
        if (m_sections.size() * 2 > m_slots.size())
            grow();
        place(m_sections.size() - 1);
    }

private:
    void place(std::size_t index)
    {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t slot = foldedHash(m_sections[index].name) & mask;
        while (m_slots[slot] != 0)
            slot = (slot + 1) & mask;
        m_slots[slot] = static_cast<std::uint32_t>(index + 1);
    }

    void grow()
    {
        m_slots.assign(m_slots.size() * 2, 0);
        for (std::size_t i = 0; i + 1 < m_sections.size(); ++i)
            place(i);
    }

    const std::vector<ProfileSection>& m_sections;
    std::vector<std::uint32_t> m_slots;
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view unquoted(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// Text up to the first of the given characters.
std::string_view cutAt(std::string_view text, std::string_view stops)
{
    const std::size_t end = text.find_first_of(stops);
    return end == std::string_view::npos ? text : text.substr(0, end);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The folder part of a host path, for the temporary file beside it.
std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

int writeAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

}  // namespace

std::optional<std::int32_t> parseInteger(std::string_view text)
{
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    // Unsigned arithmetic wraps modulo 2^32, which is the 32-bit value asked for.
    std::uint32_t value = 0;
    for (const char c : text) {
        const int digit = base == 16 ? hexDigit(c) : ((c >= '0' && c <= '9') ? c - '0' : -1);
        if (digit < 0)
            return std::nullopt;
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
    }
    if (negative)
        value = 0u - value;
    return static_cast<std::int32_t>(value);
}

bool ProfileLines::next(std::string_view& line)
{
    if (m_rest.empty())
        return false;
    ++m_number;
    const std::size_t newline = m_rest.find('\n');
    line = m_rest.substr(0, newline);
    m_rest.remove_prefix(newline == std::string_view::npos ? m_rest.size() : newline + 1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    line = trimmed(line);
    return true;
}

std::string_view wholeCharacters(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    // Back off over continuation bytes so the last character stays whole.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

ProfileDocument ProfileDocument::parse(std::string_view text)
{
    ProfileDocument document;
    SectionIndex sectionIndex(document.m_sections);
    std::size_t current = SIZE_MAX;  // no header seen yet: keys are ignored
    ProfileLines lines(text);
    std::string_view line;
    while (lines.next(line)) {
        const int lineNumber = lines.number();
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const std::string_view name = trimmed(cutAt(line.substr(1), "]"));
            if (current != SIZE_MAX && ascii::equalsIgnoringCase(document.m_sections[current].name, name))
                continue;
            current = sectionIndex.find(name);
            if (current == SIZE_MAX) {
                current = document.m_sections.size();
                document.m_sections.push_back(ProfileSection{std::string(name), lineNumber, {}});
                sectionIndex.addLast();
            }
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || current == SIZE_MAX)
            continue;
        const std::string_view key = trimmed(line.substr(0, equals));
        if (key.empty())
            continue;
        const std::string_view value = unquoted(trimmed(line.substr(equals + 1)));
        document.m_sections[current].entries.push_back(
            ProfileEntry{std::string(key), std::string(value), lineNumber});
    }
    return document;
}

const ProfileSection* ProfileDocument::section(std::string_view name) const
{
    for (const ProfileSection& candidate : m_sections) {
        if (ascii::equalsIgnoringCase(candidate.name, name))
            return &candidate;
    }
    return nullptr;
}

std::optional<std::string> ProfileDocument::value(std::string_view sectionName, std::string_view key) const
{
    const ProfileSection* found = section(sectionName);
    if (!found)
        return std::nullopt;
    for (const ProfileEntry& entry : found->entries) {
        if (ascii::equalsIgnoringCase(entry.key, key))
            return entry.value;
    }
    return std::nullopt;
}

void ProfileDocument::setValue(std::string_view sectionName, std::string_view key, std::string_view value)
{
    // Stored in the form a reader of the file gets back, so that no text given
    // here can end its line early and add keys or sections of its own.
    sectionName = trimmed(cutAt(sectionName, "]\r\n"));
    key = trimmed(cutAt(key, "=\r\n"));
    value = cutAt(value, "\r\n");
    if (key.empty() || key.front() == ';' || key.front() == '[')
        return;

    ProfileSection* target = nullptr;
    for (ProfileSection& candidate : m_sections) {
        if (ascii::equalsIgnoringCase(candidate.name, sectionName)) {
            target = &candidate;
            break;
        }
    }
    if (!target)
        target = &m_sections.emplace_back(ProfileSection{std::string(sectionName), 0, {}});
    for (ProfileEntry& entry : target->entries) {
        if (ascii::equalsIgnoringCase(entry.key, key)) {
            entry.value.assign(value);
            return;
        }
    }
    target->entries.push_back(ProfileEntry{std::string(key), std::string(value), 0});
}

std::string ProfileDocument::serialize() const
{
    std::size_t size = 0;
    for (const ProfileSection& section : m_sections) {
        size += section.name.size() + 6;
        for (const ProfileEntry& entry : section.entries)
            size += entry.key.size() + entry.value.size() + 3;
    }
    std::string text;
    text.reserve(size);
    for (const ProfileSection& section : m_sections) {
        text += '[';
        text += section.name;
        text += "]\r\n";
        for (const ProfileEntry& entry : section.entries) {
            text += entry.key;
            text += '=';
            text += entry.value;
            text += "\r\n";
        }
    }
    return text;
}

std::optional<std::string> readFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string text;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        text.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return text;
}

int writeFileAtomically(const std::string& path, std::string_view text)
{
    if (path.empty())
        return ENOENT;

    // A link is written through, as an ordinary write would: the file it
    // names is replaced, the link stays.
    std::string target = path;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    const bool replacing = ::stat(target.c_str(), &st) == 0;
    if (replacing && S_ISDIR(st.st_mode))
        return EISDIR;

    const std::string folder = folderOf(target);
    std::string temporary;
    int fd = -1;
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + (folder == "/" ? "" : "/") + ".trawl-" + std::to_string(::getpid()) + "-" +
                    std::to_string(++counter) + ".tmp";
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return errno;
    }
    if (fd < 0)
        return EEXIST;

    // The new file keeps the permissions of the one it replaces; a new file
    // gets the ordinary ones (0666 less the umask) from open().
    int error = 0;
    if (replacing)
        ::fchmod(fd, st.st_mode & 07777);
    error = writeAll(fd, text);
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    if (error) {
        ::unlink(temporary.c_str());
        return error;
    }
    // The rename itself reaches the disk with the folder.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return 0;
}

}  // namespace profile
