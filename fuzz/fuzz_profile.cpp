// Random bytes as an INI file: parsing must never crash, blow up or lose the
// reading rules; lookups must give the first key of a name; integers must read
// back what was written; and a value set and written out must read back as a
// reader of the file would take it, without disturbing any other key.

#include "platform/profile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool sameFolded(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i]))
            return false;
    }
    return true;
}

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// What a reader of the file makes of a value as written.
std::string asRead(std::string_view value)
{
    value = trimmed(value);
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string_view upTo(std::string_view text, std::string_view stops)
{
    return text.substr(0, text.find_first_of(stops));
}

// The document read back from its text must hold the same sections and keys,
// each value as a reader takes it.
void requireReadsBackAs(const profile::ProfileDocument& written, const profile::ProfileDocument& read)
{
    require(read.sections().size() == written.sections().size());
    for (std::size_t s = 0; s < written.sections().size(); ++s) {
        const profile::ProfileSection& a = written.sections()[s];
        const profile::ProfileSection& b = read.sections()[s];
        require(a.name == b.name);
        require(a.entries.size() == b.entries.size());
        for (std::size_t e = 0; e < a.entries.size(); ++e) {
            require(a.entries[e].key == b.entries[e].key);
            require(asRead(a.entries[e].value) == b.entries[e].value);
        }
    }
}

void checkIntegers(std::string_view text)
{
    const std::optional<std::int32_t> value = profile::parseInteger(text);
    if (!value)
        return;
    // Whatever was read is read again from each written form.
    const std::uint32_t bits = static_cast<std::uint32_t>(*value);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%" PRId32, *value);
    require(profile::parseInteger(buffer) == value);
    std::snprintf(buffer, sizeof buffer, "$%" PRIX32, bits);
    require(profile::parseInteger(buffer) == value);
    std::snprintf(buffer, sizeof buffer, " 0x%" PRIx32 "\t", bits);
    require(profile::parseInteger(buffer) == value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    profile::ProfileDocument doc = profile::ProfileDocument::parse(text);

    checkIntegers(text.substr(0, 64));
    // The lookups are checked for the first sections only: each check scans the
    // document, and a large input of many short sections would make the
    // checks, not the parser, take all the time.
    std::size_t sectionsChecked = 0;
    for (const profile::ProfileSection& section : doc.sections()) {
        if (++sectionsChecked > 64)
            break;
        require(doc.section(section.name) == &section);
        std::size_t checked = 0;
        for (const profile::ProfileEntry& entry : section.entries) {
            require(!entry.key.empty() && entry.key.find_first_of("=\n") == std::string::npos);
            require(entry.key == trimmed(entry.key));
            require(entry.value.find('\n') == std::string::npos);
            if (++checked > 64)
                continue;
            checkIntegers(entry.value);
            const profile::ProfileEntry* first = nullptr;
            for (const profile::ProfileEntry& candidate : section.entries) {
                if (sameFolded(candidate.key, entry.key)) {
                    first = &candidate;
                    break;
                }
            }
            require(doc.value(section.name, entry.key) == first->value);
        }
    }
    requireReadsBackAs(doc, profile::ProfileDocument::parse(doc.serialize()));

    FuzzedDataProvider provider(data, size);
    const std::string sectionName = provider.ConsumeRandomLengthString(40);
    const std::string key = provider.ConsumeRandomLengthString(40);
    const std::string value = provider.ConsumeRandomLengthString(400);
    const std::string before = doc.serialize();
    doc.setValue(sectionName, key, value);

    const std::string_view storedKey = trimmed(upTo(key, "=\r\n"));
    if (storedKey.empty() || storedKey[0] == ';' || storedKey[0] == '[') {
        require(doc.serialize() == before);
        return 0;
    }
    const profile::ProfileDocument read = profile::ProfileDocument::parse(doc.serialize());
    requireReadsBackAs(doc, read);
    require(read.value(trimmed(upTo(sectionName, "]\r\n")), storedKey) == asRead(upTo(value, "\r\n")));
    return 0;
}
