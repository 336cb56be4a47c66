#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "netclient/dosdate.h"
#include "output/outputformat.h"
#include "scan/scancriteria.h"

namespace {

TEST(FormatAttributes, LettersOfAttributeWords)
{
    using namespace nwattr;
    const std::vector<std::pair<std::uint32_t, const char*>> cases{
        {0, "[Rw-----------------------]"},
        {ReadOnly | Hidden | Compressed, "[RoH------------------Co--]"},
        {ArchiveNeeded | Shareable | DeleteInhibit | DontMigrate, "[Rw---A---SHDi----------Dm]"},
        {0xFFFFFFFF, "[RoHSyAXTPSHDiRiCiIcDsCoMi]"},
        // Shared positions: the first bit in order wins.
        {Compressed | DontCompress, "[Rw-------------------Co--]"},
        {DontCompress | CantCompress, "[Rw-------------------Dc--]"},
        {CantCompress, "[Rw-------------------Cc--]"},
        {Migrated | DontMigrate, "[Rw---------------------Mi]"},
        // Each remaining bit in its own place; audit and unknown bits show nothing.
        {System | ExecuteOnly | ImmedPurge | RenameInhibit, "[Rw-Sy-X-P----Ri----------]"},
        {Transactional | CopyInhibit | ImmedCompress | DontSuballocate, "[Rw-----T-------CiIcDs----]"},
        {ReadAudit | WriteAudit | 0x10000050, "[Rw-----------------------]"},
    };
    for (const auto& [attributes, letters] : cases) {
        char buffer[kAttributeLettersLength + 2];
        buffer[kAttributeLettersLength + 1] = 'Z';
        EXPECT_EQ(FormatAttributes(attributes, buffer), 0);
        EXPECT_EQ(std::string(buffer), letters) << std::hex << "attributes 0x" << attributes;
        EXPECT_EQ(buffer[kAttributeLettersLength + 1], 'Z') << "nothing written past the zero";
    }
}

TEST(OutputTexts, ExtensionDateAndProblem)
{
    for (const auto& [name, extension] : std::vector<std::pair<std::string_view, std::string_view>>{
             {"README", ""}, {"archive.tar.gz", "gz"}, {"trailing.", ""}, {".profile", "profile"}, {"", ""}})
        EXPECT_EQ(fileExtension(name), extension) << "name " << name;

    // Dates as the client unpacks them from their packed form: a date the
    // layout cannot hold is packed as 0 and written as nothing, not 0/0/1980.
    const struct {
        int year, month, day;
        const char* written;
    } dates[] = {
        {2001, 3, 7, "3/7/2001"}, {1999, 12, 31, "12/31/1999"},
        {1980, 1, 1, "1/1/1980"}, {2107, 12, 31, "12/31/2107"},
        {1975, 6, 1, ""},         {2110, 1, 1, ""},
        {2001, 2, 30, ""},
    };
    for (const auto& d : dates) {
        DateRecord unpacked{};
        dosdate::unpackDate(dosdate::packDate(d.year, d.month, d.day), unpacked);
        std::string date = "x";
        appendDate(date, unpacked);
        EXPECT_EQ(date, std::string("x") + d.written) << d.year << '-' << d.month << '-' << d.day;
    }
    std::string failedUnpack;
    appendDate(failedUnpack, DateRecord{});
    EXPECT_EQ(failedUnpack, "") << "a record the client left unfilled";

    EXPECT_EQ(problemText("Error with nwgetnspath ", 0x8801), "Error with nwgetnspath  Code : 8801");
    EXPECT_EQ(problemText("Unable to write output file", 28), "Unable to write output file Code : 1c");
    EXPECT_EQ(problemText("X", 0), "X Code : 0");
    EXPECT_EQ(problemText("X", 0xFFFF899C), "X Code : ffff899c");
}

ScanCriteria criteriaWith(std::initializer_list<std::int32_t ScanCriteria::*> fields, char separator, bool quote)
{
    ScanCriteria criteria;
    criteria.Separator = separator;
    criteria.QuoteValues = quote ? 1 : 0;
    for (auto field : fields)
        criteria.*field = 1;
    return criteria;
}

OutputRecord recordOf(std::string_view folder, std::string_view name, std::uint32_t size = 1234,
                      std::string_view owner = "JSMITH.SALES.ACME")
{
    return {"FS1", folder, name, owner, size, {7, 3, 2001}, {1, 2, 2000}, {25, 12, 1995}, nwattr::ReadOnly, {}};
}

TEST(RecordLine, FieldsSeparatorsAndQuotes)
{
    using SC = ScanCriteria;
    const auto allFields = {&SC::OutAttributes, &SC::OutCreation, &SC::OutModified,  &SC::OutAccessed,
                            &SC::OutOwner,      &SC::OutSize,     &SC::OutExtension, &SC::OutFileName,
                            &SC::OutFullPath,   &SC::OutServer};
    const OutputRecord report = recordOf("F:\\DATA", "REPORT.TXT");
    struct Case {
        const char* what;
        ScanCriteria criteria;
        OutputRecord record;
        const char* expected;
    };
    const std::vector<Case> cases{
        {"size, owner", criteriaWith({&SC::OutSize, &SC::OutOwner}, ',', false), report,
         "1234,JSMITH.SALES.ACME\r\n"},
        {"quoted", criteriaWith({&SC::OutSize, &SC::OutOwner}, ',', true), report,
         "\"1234\",\"JSMITH.SALES.ACME\"\r\n"},
        {"tab", criteriaWith({&SC::OutFileName, &SC::OutSize}, '\t', false), report, "REPORT.TXT\t1234\r\n"},
        {"semicolon", criteriaWith({&SC::OutFileName, &SC::OutExtension}, ';', false), report, "REPORT.TXT;TXT\r\n"},
        {"no dot quoted", criteriaWith({&SC::OutExtension, &SC::OutSize}, ',', true), recordOf("F:\\", "README"),
         "\"\",\"1234\"\r\n"},
        {"last dot", criteriaWith({&SC::OutExtension}, ',', false), recordOf("F:\\", "archive.tar.gz"), "gz\r\n"},
        {"drive root", criteriaWith({&SC::OutFullPath}, ',', false), recordOf("F:\\", "name"), "F:\\name\r\n"},
        {"3 GiB", criteriaWith({&SC::OutSize}, ',', false), recordOf("F:\\", "a", 0xC0000000u), "3221225472\r\n"},
        {"unescaped", criteriaWith({&SC::OutOwner}, ',', true), recordOf("F:\\", "a", 1, "a,\"b\""),
         "\"a,\"b\"\"\r\n"},
        {"file order", criteriaWith(allFields, '|', false), report,
         "FS1|F:\\DATA\\REPORT.TXT|REPORT.TXT|TXT|1234|JSMITH.SALES.ACME|3/7/2001|2/1/2000|12/25/1995|"
         "[Ro-----------------------]\r\n"},
    };
    std::string line = "left over";
    for (const Case& c : cases) {
        buildRecordLine(line, c.criteria, c.record);
        EXPECT_EQ(line, c.expected) << c.what;
    }

    buildHeadingsLine(line, criteriaWith(allFields, ';', false));
    EXPECT_EQ(line, "Server;Path;Filename;Extension;Size;Owner;Accessed;Modified;Created;Attributes\r\n");
    buildHeadingsLine(line, criteriaWith({&SC::OutOwner, &SC::OutSize}, '\t', true));
    EXPECT_EQ(line, "\"Size\"\t\"Owner\"\r\n");
    buildHeadingsLine(line, criteriaWith({}, ',', true));
    EXPECT_EQ(line, "\r\n") << "no field checked: an empty line";
}

TEST(CommandLines, TemplateEscapes)
{
    struct Case {
        const char* commandTemplate;
        const char* folder;
        const char* expected;
    };
    const std::vector<Case> cases{
        {"copy !1 X:\\SAVE", "F:\\DATA", "copy F:\\DATA\\REPORT.TXT X:\\SAVE\r\n"},
        {"echo !2", "F:\\", "echo REPORT.TXT\r\n"},
        {"del !1", "F:\\", "del F:\\REPORT.TXT\r\n"},
        {"100!!", "F:\\", "100!\r\n"},
        {"!x!!1", "F:\\", "x!1\r\n"},
        {"attrib -r !1\r\ndel !2", "G:\\P", "attrib -r G:\\P\\REPORT.TXT\r\ndel REPORT.TXT\r\n"},
        {"del !1\r\n", "G:\\P", "del G:\\P\\REPORT.TXT\r\n\r\n"},
        {"echo done!", "G:\\P", "echo done\r\n"},
        {"!", "G:\\P", "\r\n"},
    };
    std::string out = "stale";
    for (const Case& c : cases) {
        buildCommandLines(out, c.commandTemplate, c.folder, "REPORT.TXT");
        EXPECT_EQ(out, c.expected) << "template " << c.commandTemplate;
        EXPECT_EQ(out.find('\0'), std::string::npos) << "template " << c.commandTemplate;
    }
}

}  // namespace
