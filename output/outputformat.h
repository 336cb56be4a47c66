#pragma once

// The texts the output file, the command file and the two lists are made of:
// attribute letters, extensions, dates, sizes, problem texts, the delimited
// line and the expanded command template. Plain functions without a window,
// each appending to a caller's buffer so that a scan reuses one buffer for
// all its lines.

#include <cstdint>
#include <string>
#include <string_view>

#include "netclient/nwclient.h"
#include "platform/pathjoin.h"

struct ScanCriteria;

// Length of the attribute letters: "[", fifteen groups, "]".
inline constexpr std::size_t kAttributeLettersLength = 27;

// Fills buffer (room for at least kAttributeLettersLength + 1 characters) with
// the attribute letters of a NetWare attribute word and a terminating zero;
// returns 0. Groups without their bit show hyphens (read-only shows "Rw").
std::int32_t FormatAttributes(std::uint32_t attributes, char* buffer);

// The text after the last dot of the name; empty when there is no dot or the
// name ends in one.
std::string_view fileExtension(std::string_view fileName);

// Appends month/day/year in decimal without leading zeros (3/7/2001), and
// nothing for a record that holds no calendar date: a date the packed layout
// cannot hold (before 1980, after 2107) is stored as 0, which unpacks to
// day 0 of month 0, and must not come out as a date that never was.
void appendDate(std::string& out, const DateRecord& date);

void appendDecimal(std::string& out, std::uint64_t value);

// The Problem cell of an errors-list row: the problem text, " Code : " and the
// code in lower-case hexadecimal without prefix or leading zeros. The text is
// kept as given, trailing blanks included.
std::string problemText(std::string_view problem, std::uint32_t code);

// One line of delimited fields. The separator stands only between fields;
// with quoting every field, empty ones included, is enclosed in double
// quotes, outside the separator. Values go in as they are, never escaped.
class DelimitedLine {
public:
    // Empties line and starts writing into it.
    DelimitedLine(std::string& line, char separator, bool quoteValues);

    void addField(std::string_view value);
    // For values appended in place (numbers, dates): beginField() returns the
    // line to append the value to, endField() closes the field.
    std::string& beginField();
    void endField();
    // Ends the line with "\r\n".
    void finish();

private:
    std::string& m_line;
    char m_separator;
    bool m_quote;
    bool m_started = false;
};

// The values of one output record. Dates arrive unpacked by the client.
struct OutputRecord {
    std::string_view serverName;
    std::string_view folder;
    std::string_view fileName;
    std::string_view owner;
    std::uint32_t size = 0;
    DateRecord accessed{};
    DateRecord modified{};
    DateRecord created{};
    std::uint32_t attributes = 0;
    std::string_view change;  // the history's "New", "Gone", "Same" or "Changed: ..."
};

// The headings line of the checked fields, in the file's fixed order, that of
// kOutputFields (Server, Path, Filename, Extension, Size, Owner, Accessed,
// Modified, Created, Attributes), then Change, ending in "\r\n"; "\r\n"
// alone when no field is checked.
void buildHeadingsLine(std::string& line, const ScanCriteria& criteria);

// One record line of the checked fields, in the same order as the headings.
// The size is written unsigned, so a file over 2 GiB never shows negative.
void buildRecordLine(std::string& line, const ScanCriteria& criteria, const OutputRecord& record);

// Empties out and writes the command template expanded for one match, then
// "\r\n". "!1" is the full path, "!2" the file name, "!" before any other
// character writes that character, and a "!" ending the template writes
// nothing. Every other character, line breaks included, is copied.
void buildCommandLines(std::string& out, std::string_view commandTemplate, std::string_view folder,
                       std::string_view fileName);
