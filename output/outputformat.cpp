// The texts of the output file, the command file and the lists, each appended
// to the caller's buffer.

#include "output/outputformat.h"

#include <array>
#include <charconv>

#include "netclient/dosdate.h"
#include "output/outputfields.h"
#include "scan/scancriteria.h"

namespace {

struct AttributeGroup {
    std::uint32_t bit;
    std::string_view set;
    std::string_view clear;
};

// Groups 1 to 13: one bit each. Groups 14 and 15 share one position among
// several bits and are handled apart.
constexpr std::array<AttributeGroup, 13> kSingleBitGroups{{
    {nwattr::ReadOnly, "Ro", "Rw"},
    {nwattr::Hidden, "H", "-"},
    {nwattr::System, "Sy", "--"},
    {nwattr::ArchiveNeeded, "A", "-"},
    {nwattr::ExecuteOnly, "X", "-"},
    {nwattr::Transactional, "T", "-"},
    {nwattr::ImmedPurge, "P", "-"},
    {nwattr::Shareable, "SH", "--"},
    {nwattr::DeleteInhibit, "Di", "--"},
    {nwattr::RenameInhibit, "Ri", "--"},
    {nwattr::CopyInhibit, "Ci", "--"},
    {nwattr::ImmedCompress, "Ic", "--"},
    {nwattr::DontSuballocate, "Ds", "--"},
}};

std::string_view compressionLetters(std::uint32_t attributes)
{
    // Compressed wins over don't-compress, which wins over can't-compress.
    if (attributes & nwattr::Compressed)
        return "Co";
    if (attributes & nwattr::DontCompress)
        return "Dc";
    if (attributes & nwattr::CantCompress)
        return "Cc";
    return "--";
}

std::string_view migrationLetters(std::uint32_t attributes)
{
    if (attributes & nwattr::Migrated)
        return "Mi";
    if (attributes & nwattr::DontMigrate)
        return "Dm";
    return "--";
}

void appendField(DelimitedLine& line, OutputField field, const OutputRecord& record)
{
    switch (field) {
    case OutputField::Server:
        line.addField(record.serverName);
        return;
    case OutputField::FullPath:
        appendJoinedPath(line.beginField(), record.folder, record.fileName);
        line.endField();
        return;
    case OutputField::FileName:
        line.addField(record.fileName);
        return;
    case OutputField::Extension:
        line.addField(fileExtension(record.fileName));
        return;
    case OutputField::Size:
        appendDecimal(line.beginField(), record.size);
        line.endField();
        return;
    case OutputField::Owner:
        line.addField(record.owner);
        return;
    case OutputField::Accessed:
        appendDate(line.beginField(), record.accessed);
        line.endField();
        return;
    case OutputField::Modified:
        appendDate(line.beginField(), record.modified);
        line.endField();
        return;
    case OutputField::Creation:
        appendDate(line.beginField(), record.created);
        line.endField();
        return;
    case OutputField::Attributes: {
        char letters[kAttributeLettersLength + 1];
        FormatAttributes(record.attributes, letters);
        line.addField(std::string_view(letters, kAttributeLettersLength));
        return;
    }
    }
}

}  // namespace

std::int32_t FormatAttributes(std::uint32_t attributes, char* buffer)
{
    char* out = buffer;
    auto put = [&out](std::string_view text) {
        for (char c : text)
            *out++ = c;
    };
    put("[");
    for (const AttributeGroup& group : kSingleBitGroups)
        put((attributes & group.bit) ? group.set : group.clear);
    put(compressionLetters(attributes));
    put(migrationLetters(attributes));
    put("]");
    *out = '\0';
    return 0;
}

std::string_view fileExtension(std::string_view fileName)
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    return fileName.substr(dot + 1);
}

void appendDecimal(std::string& out, std::uint64_t value)
{
    char digits[20];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void appendDate(std::string& out, const DateRecord& date)
{
    if (!dosdate::isCalendarDate(date.year, date.month, date.day))
        return;
    appendDecimal(out, date.month);
    out.push_back('/');
    appendDecimal(out, date.day);
    out.push_back('/');
    appendDecimal(out, date.year);
}

std::string problemText(std::string_view problem, std::uint32_t code)
{
    std::string text;
    text.reserve(problem.size() + 16);
    text.append(problem);
    text.append(" Code : ");
    char digits[8];
    const auto result = std::to_chars(digits, digits + sizeof digits, code, 16);
    text.append(digits, result.ptr);
    return text;
}

DelimitedLine::DelimitedLine(std::string& line, char separator, bool quoteValues)
    : m_line(line), m_separator(separator), m_quote(quoteValues)
{
    m_line.clear();
}

std::string& DelimitedLine::beginField()
{
    if (m_started)
        m_line.push_back(m_separator);
    m_started = true;
    if (m_quote)
        m_line.push_back('"');
    return m_line;
}

void DelimitedLine::endField()
{
    if (m_quote)
        m_line.push_back('"');
}

void DelimitedLine::addField(std::string_view value)
{
    beginField().append(value);
    endField();
}

void DelimitedLine::finish() { m_line.append("\r\n"); }

void buildHeadingsLine(std::string& line, const ScanCriteria& criteria)
{
    DelimitedLine builder(line, criteria.Separator, criteria.QuoteValues != 0);
    for (const OutputFieldRow& field : kOutputFields) {
        if (criteria.*field.enabled != 0)
            builder.addField(field.heading);
    }
    if (criteria.OutChange != 0)
        builder.addField("Change");
    builder.finish();
}

void buildRecordLine(std::string& line, const ScanCriteria& criteria, const OutputRecord& record)
{
    DelimitedLine builder(line, criteria.Separator, criteria.QuoteValues != 0);
    for (const OutputFieldRow& field : kOutputFields) {
        if (criteria.*field.enabled != 0)
            appendField(builder, field.id, record);
    }
    if (criteria.OutChange != 0)
        builder.addField(record.change);
    builder.finish();
}

void buildCommandLines(std::string& out, std::string_view commandTemplate, std::string_view folder,
                       std::string_view fileName)
{
    out.clear();
    const std::size_t length = commandTemplate.size();
    for (std::size_t i = 0; i < length; ++i) {
        const char c = commandTemplate[i];
        if (c != '!') {
            out.push_back(c);
            continue;
        }
        // A "!" with nothing after it has nothing to stand for.
        if (i + 1 == length)
            break;
        const char next = commandTemplate[++i];
        if (next == '1')
            appendJoinedPath(out, folder, fileName);
        else if (next == '2')
            out.append(fileName);
        else
            out.push_back(next);
    }
    out.append("\r\n");
}
