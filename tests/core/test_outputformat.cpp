#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/outputformat.h"
#include "scan/pathjoin.h"
#include "scan/scancriteria.h"

namespace {

std::string attributeLetters(std::uint32_t attributes)
{
    char buffer[kAttributeLettersLength + 8];
    std::fill(std::begin(buffer), std::end(buffer), 'Z');
    EXPECT_EQ(FormatAttributes(attributes, buffer), 0);
    EXPECT_EQ(buffer[kAttributeLettersLength], '\0') << "letters must end with a zero";
    EXPECT_EQ(buffer[kAttributeLettersLength + 1], 'Z') << "nothing written past the zero";
    return buffer;
}

struct AttributeCase {
    std::uint32_t attributes;
    const char* letters;
};

TEST(FormatAttributes, LettersOfKnownWords)
{
    using namespace nwattr;
    const std::vector<AttributeCase> cases{
        {0, "[Rw-----------------------]"},
        {ReadOnly | Hidden | Compressed, "[RoH------------------Co--]"},
        {ArchiveNeeded | Shareable | DeleteInhibit | DontMigrate, "[Rw---A---SHDi----------Dm]"},
        {0xFFFFFFFF, "[RoHSyAXTPSHDiRiCiIcDsCoMi]"},
        // Precedence inside the shared positions.
        {Compressed | DontCompress, "[Rw-------------------Co--]"},
        {DontCompress | CantCompress, "[Rw-------------------Dc--]"},
        {CantCompress, "[Rw-------------------Cc--]"},
        {Migrated | DontMigrate, "[Rw---------------------Mi]"},
        // Bits without a group show nothing.
        {ReadAudit | WriteAudit | 0x00000010 | 0x00000040 | 0x10000000, "[Rw-----------------------]"},
    };
    for (const AttributeCase& c : cases)
        EXPECT_EQ(attributeLetters(c.attributes), c.letters) << std::hex << "attributes 0x" << c.attributes;
}

TEST(FormatAttributes, EachBitLightsOnlyItsOwnGroup)
{
    using namespace nwattr;
    // Position of each group's letters inside the 27 characters.
    const std::vector<AttributeCase> cases{
        {Hidden, "[RwH----------------------]"},
        {System, "[Rw-Sy--------------------]"},
        {ArchiveNeeded, "[Rw---A-------------------]"},
        {ExecuteOnly, "[Rw----X------------------]"},
        {Transactional, "[Rw-----T-----------------]"},
        {ImmedPurge, "[Rw------P----------------]"},
        {Shareable, "[Rw-------SH--------------]"},
        {DeleteInhibit, "[Rw---------Di------------]"},
        {RenameInhibit, "[Rw-----------Ri----------]"},
        {CopyInhibit, "[Rw-------------Ci--------]"},
        {ImmedCompress, "[Rw---------------Ic------]"},
        {DontSuballocate, "[Rw-----------------Ds----]"},
        {Compressed, "[Rw-------------------Co--]"},
        {DontMigrate, "[Rw---------------------Dm]"},
    };
    for (const AttributeCase& c : cases) {
        const std::string letters = attributeLetters(c.attributes);
        EXPECT_EQ(letters.size(), kAttributeLettersLength);
        EXPECT_EQ(letters, c.letters) << std::hex << "attributes 0x" << c.attributes;
    }
}

TEST(FileExtension, TextAfterTheLastDot)
{
    const std::vector<std::pair<std::string_view, std::string_view>> cases{
        {"README", ""},          {"archive.tar.gz", "gz"}, {"REPORT.TXT", "TXT"},
        {"trailing.", ""},       {".profile", "profile"},  {"", ""},
        {"a.b.c.longer", "longer"},
    };
    for (const auto& [name, extension] : cases)
        EXPECT_EQ(fileExtension(name), extension) << "name " << name;
}

TEST(JoinedPath, FollowsTheSamePathRuleAsTheWalker)
{
    const std::vector<std::pair<std::string_view, std::string_view>> cases{
        {"F:\\", "name"}, {"F:\\DATA", "REPORT.TXT"}, {"F:\\A\\B\\", "x"}, {"", "x"}};
    for (const auto& [folder, name] : cases) {
        std::string joined = "prefix:";
        appendJoinedPath(joined, folder, name);
        EXPECT_EQ(joined, "prefix:" + joinPath(folder, name)) << folder << " + " << name;
    }
    std::string root;
    appendJoinedPath(root, "F:\\", "name");
    EXPECT_EQ(root, "F:\\name");
}

TEST(DateText, MonthDayYearWithoutLeadingZeros)
{
    std::string text;
    appendDate(text, DateRecord{7, 3, 2001});
    EXPECT_EQ(text, "3/7/2001");
    text.clear();
    appendDate(text, DateRecord{31, 12, 1999});
    EXPECT_EQ(text, "12/31/1999");
    // A record the client left unfilled is written as it stands.
    text.clear();
    appendDate(text, DateRecord{0, 0, 0});
    EXPECT_EQ(text, "0/0/0");
}

TEST(ProblemText, CodeInLowerCaseHexWithoutPadding)
{
    EXPECT_EQ(problemText("NWParseNetwarePath", 0x899C), "NWParseNetwarePath Code : 899c");
    EXPECT_EQ(problemText("Error with nwgetnspath ", 0x8801), "Error with nwgetnspath  Code : 8801");
    EXPECT_EQ(problemText("Unable to write output file", 28), "Unable to write output file Code : 1c");
    EXPECT_EQ(problemText("X", 0), "X Code : 0");
    EXPECT_EQ(problemText("X", 0xFFFFFFFF), "X Code : ffffffff");
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

OutputRecord sampleRecord()
{
    OutputRecord record;
    record.serverName = "FS1";
    record.folder = "F:\\DATA";
    record.fileName = "REPORT.TXT";
    record.owner = "JSMITH.SALES.ACME";
    record.size = 1234;
    record.accessed = DateRecord{7, 3, 2001};
    record.modified = DateRecord{1, 2, 2000};
    record.created = DateRecord{25, 12, 1995};
    record.attributes = nwattr::ReadOnly;
    return record;
}

struct LineCase {
    const char* what;
    ScanCriteria criteria;
    OutputRecord record;
    std::string expected;
};

TEST(RecordLine, FieldsSeparatorsAndQuotes)
{
    using SC = ScanCriteria;
    OutputRecord readme = sampleRecord();
    readme.fileName = "README";
    OutputRecord archive = sampleRecord();
    archive.fileName = "archive.tar.gz";
    OutputRecord atRoot = sampleRecord();
    atRoot.folder = "F:\\";
    atRoot.fileName = "name";
    OutputRecord huge = sampleRecord();
    huge.size = 3u * 1024 * 1024 * 1024;
    OutputRecord awkward = sampleRecord();
    awkward.owner = "a,\"b\"";

    const std::vector<LineCase> cases{
        {"size and owner", criteriaWith({&SC::OutSize, &SC::OutOwner}, ',', false), sampleRecord(),
         "1234,JSMITH.SALES.ACME\r\n"},
        {"size and owner quoted", criteriaWith({&SC::OutSize, &SC::OutOwner}, ',', true), sampleRecord(),
         "\"1234\",\"JSMITH.SALES.ACME\"\r\n"},
        {"tab", criteriaWith({&SC::OutFileName, &SC::OutSize, &SC::OutOwner}, '\t', false), sampleRecord(),
         "REPORT.TXT\t1234\tJSMITH.SALES.ACME\r\n"},
        {"other separator", criteriaWith({&SC::OutFileName, &SC::OutExtension}, ';', false), sampleRecord(),
         "REPORT.TXT;TXT\r\n"},
        {"no extension quoted", criteriaWith({&SC::OutFileName, &SC::OutExtension}, ',', true), readme,
         "\"README\",\"\"\r\n"},
        {"no extension bare", criteriaWith({&SC::OutExtension, &SC::OutSize}, ',', false), readme, ",1234\r\n"},
        {"last extension", criteriaWith({&SC::OutExtension}, ',', false), archive, "gz\r\n"},
        {"drive root", criteriaWith({&SC::OutFullPath}, ',', false), atRoot, "F:\\name\r\n"},
        {"folder path", criteriaWith({&SC::OutFullPath}, ',', false), sampleRecord(), "F:\\DATA\\REPORT.TXT\r\n"},
        {"3 GiB unsigned", criteriaWith({&SC::OutSize}, ',', false), huge, "3221225472\r\n"},
        {"largest size", criteriaWith({&SC::OutSize}, ',', false),
         [] {
             OutputRecord r = sampleRecord();
             r.size = 0xFFFFFFFF;
             return r;
         }(),
         "4294967295\r\n"},
        {"values unescaped", criteriaWith({&SC::OutOwner, &SC::OutSize}, ',', true), awkward,
         "\"1234\",\"a,\"b\"\"\r\n"},
        {"dates", criteriaWith({&SC::OutAccessed, &SC::OutModified, &SC::OutCreation}, ',', false),
         sampleRecord(), "3/7/2001,2/1/2000,12/25/1995\r\n"},
        {"every field in file order",
         criteriaWith({&SC::OutAttributes, &SC::OutCreation, &SC::OutModified, &SC::OutAccessed, &SC::OutOwner,
                       &SC::OutSize, &SC::OutExtension, &SC::OutFileName, &SC::OutFullPath, &SC::OutServer},
                      '|', false),
         sampleRecord(),
         "FS1|F:\\DATA\\REPORT.TXT|REPORT.TXT|TXT|1234|JSMITH.SALES.ACME|3/7/2001|2/1/2000|12/25/1995|"
         "[Ro-----------------------]\r\n"},
    };
    std::string line = "left over from an earlier record";
    for (const LineCase& c : cases) {
        buildRecordLine(line, c.criteria, c.record);
        EXPECT_EQ(line, c.expected) << c.what;
    }
}

TEST(HeadingsLine, CheckedFieldsInFileOrder)
{
    using SC = ScanCriteria;
    std::string line = "stale";
    buildHeadingsLine(line, criteriaWith({&SC::OutOwner, &SC::OutSize}, ',', false));
    EXPECT_EQ(line, "Size,Owner\r\n");
    buildHeadingsLine(line, criteriaWith({&SC::OutOwner, &SC::OutSize}, '\t', true));
    EXPECT_EQ(line, "\"Size\"\t\"Owner\"\r\n");
    buildHeadingsLine(line,
                      criteriaWith({&SC::OutAttributes, &SC::OutCreation, &SC::OutModified, &SC::OutAccessed,
                                    &SC::OutOwner, &SC::OutSize, &SC::OutExtension, &SC::OutFileName,
                                    &SC::OutFullPath, &SC::OutServer},
                                   ';', false));
    EXPECT_EQ(line, "Server;Path;Filename;Extension;Size;Owner;Accessed;Modified;Created;Attributes\r\n");
    // No field checked (a command file with headings on): an empty line.
    buildHeadingsLine(line, criteriaWith({}, ',', true));
    EXPECT_EQ(line, "\r\n");
}

struct CommandCase {
    const char* commandTemplate;
    const char* folder;
    const char* fileName;
    std::string expected;
};

TEST(CommandLines, TemplateEscapes)
{
    const std::vector<CommandCase> cases{
        {"copy !1 X:\\SAVE", "F:\\DATA", "REPORT.TXT", "copy F:\\DATA\\REPORT.TXT X:\\SAVE\r\n"},
        {"echo !2", "F:\\", "name.txt", "echo name.txt\r\n"},
        {"del !1", "F:\\", "name.txt", "del F:\\name.txt\r\n"},
        {"100!!", "F:\\", "a", "100!\r\n"},
        {"!x", "F:\\", "a", "x\r\n"},
        {"!!1", "F:\\", "a", "!1\r\n"},
        {"attrib -r !1\r\ndel !2", "G:\\P", "f.c", "attrib -r G:\\P\\f.c\r\ndel f.c\r\n"},
        {"del !1\r\n", "G:\\P", "f.c", "del G:\\P\\f.c\r\n\r\n"},
        {"echo done!", "G:\\P", "f.c", "echo done\r\n"},
        {"!", "G:\\P", "f.c", "\r\n"},
        {"!1!2", "G:\\P", "f.c", "G:\\P\\f.cf.c\r\n"},
        {"!3", "G:\\P", "f.c", "3\r\n"},
    };
    std::string out = "stale";
    for (const CommandCase& c : cases) {
        buildCommandLines(out, c.commandTemplate, c.folder, c.fileName);
        EXPECT_EQ(out, c.expected) << "template " << c.commandTemplate;
        EXPECT_EQ(out.find('\0'), std::string::npos) << "template " << c.commandTemplate;
    }
}

} // namespace
