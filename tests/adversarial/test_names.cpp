// Host names that a NetWare volume could not hold, or that look like the
// output file's own punctuation, scanned for real: what the results list, the
// errors list, the delimited output file, the command file and the standard
// error lines of an unattended run hold for each. No name may break a line or
// be read as another file.

#include <QPlainTextEdit>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "support/gui_scanfixture.h"

using Row = std::array<std::string, 4>;
using ErrorRow = std::array<std::string, 3>;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// How the errors list shows a path: as UTF-8, a byte that is not shown as U+FFFD.
std::string shown(const std::string& bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).toStdString();
}

// Names the volume can hold, with a separator or text beyond ASCII in them.
const std::vector<std::string> kHeldNames = {"com,ma.txt", "na\xC3\xAFve caf\xC3\xA9.txt", "semi;colon.txt",
                                             "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt"};
// Names it cannot hold: control characters, bytes that are not UTF-8, and the
// characters NetWare reserves, the backslash included.
const std::vector<std::string> kRefusedNames = {"tab\tname.txt", "new\nline.txt", "cr\rname.txt", "ctl\x01.txt",
                                                "del\x7F.txt",   "bad\xFF.txt",   "dq\"uote.txt", "back\\slash.txt",
                                                "star*.txt",     "what?.txt",     "co:lon.txt",   "lt<.txt",
                                                "gt>.txt",       "pi|pe.txt"};

class Names : public ScanFixture {
protected:
    void SetUp() override
    {
        ScanFixture::SetUp();
        std::uint64_t size = 1;
        for (const std::string& name : kHeldNames)
            ws.makeFile(sys + "/" + name, size++);
        for (const std::string& name : kRefusedNames)
            ws.makeFile(sys + "/" + name, 100);
        // The name "back\slash.txt" beside a real back/slash.txt: the one
        // must never be read as the other.
        ws.makeFile(sys + "/back/slash.txt", 9);
        // A folder whose name holds a line break: each file in it is a row.
        ws.makeFile(sys + "/dir\nname/inner.txt", 7);
        // A folder named "evil\sub" beside a real evil/sub: it is not entered
        // (it would walk evil/sub a second time), and says so.
        ws.makeFile(sys + "/evil\\sub/unseen.txt", 8);
        ws.makeFile(sys + "/evil/sub/real.txt", 6);
    }

    // The rows every scan of the tree gives, in walk order.
    static std::vector<Row> expectedResults()
    {
        std::vector<Row> rows;
        std::uint64_t size = 1;
        for (const std::string& name : kHeldNames)
            rows.push_back({name, std::to_string(size++), "JSMITH.SALES.ACME", "F:\\" + name});
        rows.push_back({"slash.txt", "9", "JSMITH.SALES.ACME", "F:\\back\\slash.txt"});
        rows.push_back({"real.txt", "6", "JSMITH.SALES.ACME", "F:\\evil\\sub\\real.txt"});
        return rows;
    }
    static std::vector<ErrorRow> expectedErrors()
    {
        std::vector<ErrorRow> rows;
        for (const std::string& name : kRefusedNames)
            rows.push_back({shown("F:\\" + name), "100", "NWParseNetwarePath Code : 899c"});
        rows.push_back({"F:\\dir\nname\\inner.txt", "7", "NWParseNetwarePath Code : 899c"});
        rows.push_back({"F:\\evil\\sub", "0", "NWParseNetwarePath Code : 899c"});
        return rows;
    }

    // The errors rows the last scan added, sorted: the order of the root's
    // names is the listing's, which is not what these tests are about.
    std::vector<ErrorRow> newErrorsSorted(std::size_t earlier) const
    {
        auto rows = errors();
        rows.erase(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(earlier));
        std::sort(rows.begin(), rows.end());
        return rows;
    }
};

TEST_F(Names, ListsShowHeldNamesWholeAndEveryOtherAsARow)
{
    startWindow();
    clickStart();
    EXPECT_EQ(results(), expectedResults());
    auto expected = expectedErrors();
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(newErrorsSorted(0), expected);
    // Every file is counted, those with a row too; five folders are entered or
    // refused: back, dir<LF>name, evil, evil\sub (the real one) and "evil\sub".
    EXPECT_EQ(status()[1], std::to_string(kHeldNames.size() + kRefusedNames.size() + 3));
    EXPECT_EQ(status()[2], "5");
    EXPECT_EQ(status()[3], "6");
    EXPECT_EQ(status()[4], "25");  // 1 + 2 + 3 + 4 + 9 + 6
}

// The output file for each way of writing it: one line per match, each line
// exactly the match's fields. A separator inside a name is written as it
// stands (values are never escaped); with quoting on the field stays whole,
// as no name the volume holds can contain a double quote. No name reaches the
// file with a line break, so the line count is the match count.
TEST_F(Names, OutputFileHoldsOneWholeLinePerMatch)
{
    startWindow();
    const std::string out = ws.root() + "/out.txt";
    w->chkOutputResults->click();
    w->txtOutputFilename->setText(QString::fromStdString(out));
    w->chkOutputFullPath->setChecked(true);
    w->chkOutputFilename->setChecked(true);
    w->chkOutputExtension->setChecked(true);

    struct Case {
        const char* what;
        RadioButton* separatorButton;
        const char* other;
        char separator;
        bool quoted;
    } cases[] = {
        {"comma", w->optOutputSepComma, "", ',', false},
        {"comma, quoted", w->optOutputSepComma, "", ',', true},
        {"tab", w->optOutputSepTab, "", '\t', false},
        {"semicolon, quoted", w->optOutputSepOther, ";", ';', true},
        {"semicolon", w->optOutputSepOther, ";", ';', false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.separatorButton->click();
        w->txtOutputSepOther->setText(QString::fromUtf8(c.other));
        w->chkOutputSurround->setChecked(c.quoted);
        clickStart();
        ASSERT_TRUE(ui.messages.empty()) << ui.messages.front().text.toStdString();

        const std::string quote = c.quoted ? "\"" : "";
        std::string expected;
        for (const Row& row : expectedResults()) {
            const std::string& name = row[0];
            const std::string extension = name.substr(name.rfind('.') + 1);
            expected += quote + row[3] + quote + c.separator + quote + name + quote + c.separator + quote +
                        extension + quote + "\r\n";
        }
        const std::string written = readFile(out);
        EXPECT_EQ(written, expected);
        std::size_t lineBreaks = 0;
        for (std::size_t i = 0; i < written.size(); ++i) {
            if (written[i] == '\n' || written[i] == '\r') {
                ASSERT_TRUE(written[i] == '\r' && i + 1 < written.size() && written[i + 1] == '\n')
                    << "a line break that is not a record's end at byte " << i;
                ++lineBreaks;
                ++i;
            }
        }
        EXPECT_EQ(lineBreaks, expectedResults().size());
    }
}

TEST_F(Names, CommandFileHoldsOneBlockPerMatch)
{
    startWindow();
    const std::string out = ws.root() + "/cmd.bat";
    w->chkOutputResults->click();
    w->txtOutputFilename->setText(QString::fromStdString(out));
    w->chkCommandFile->click();
    w->memCommandFile->setPlainText(QStringLiteral("copy \"!1\" \"X:\\SAVE\\!2\""));
    clickStart();
    ASSERT_TRUE(ui.messages.empty()) << ui.messages.front().text.toStdString();
    std::string expected;
    for (const Row& row : expectedResults())
        expected += "copy \"" + row[3] + "\" \"X:\\SAVE\\" + row[0] + "\"\r\n";
    EXPECT_EQ(readFile(out), expected);
}

// An unattended run echoes each errors row as one line of three fields; the
// control characters of a host name must not add fields or lines.
TEST_F(Names, EachErrorsRowIsOneLineOnStandardError)
{
    startWindow();
    StartOptions echoing;
    echoing.echoErrorsToStderr = true;
    w->setStartOptions(echoing);
    testing::internal::CaptureStderr();
    clickStart();
    const std::string echoed = testing::internal::GetCapturedStderr();
    w->setStartOptions({});

    std::vector<std::string> lines;
    std::istringstream in(echoed);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), expectedErrors().size()) << echoed;
    for (const std::string& line : lines)
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 2) << line;
    // A control character shows as "?"; every other byte as it stands.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "F:\\tab?name.txt\t100\tNWParseNetwarePath Code : 899c"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "F:\\dir?name\\inner.txt\t7\tNWParseNetwarePath Code : 899c"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "F:\\bad\xFF.txt\t100\tNWParseNetwarePath Code : 899c"),
              lines.end());
}

}  // namespace

namespace {

// Names that differ only in the case of their letters are different files on
// the host, and one short name cannot serve both: each must still be read as
// itself, its size and attributes never those of the other.
class NamesByCase : public ScanFixture {};

TEST_F(NamesByCase, EachFileReadAsItself)
{
    struct File {
        const char* name;
        std::uint64_t size;
        std::uint32_t attributes;
        const char* letters;
    } files[] = {
        {"CASE.TXT", 11, nwattr::ReadOnly, "[Ro-----------------------]"},
        {"Case.txt", 22, nwattr::Hidden, "[RwH----------------------]"},
        {"case.txt", 33, nwattr::Shareable, "[Rw-------SH--------------]"},
        // Folders too: each file is looked up in its own folder.
        {"DIR/a.txt", 44, nwattr::System, "[Rw-Sy--------------------]"},
        {"Dir/a.txt", 55, nwattr::DeleteInhibit, "[Rw---------Di------------]"},
    };
    for (const File& f : files) {
        const std::string path = ws.makeFile(sys + "/" + f.name, f.size);
        if (!ws.setAttributes(path, f.attributes))
            GTEST_SKIP() << TempWorkstation::kNoXattrMessage;
    }
    startWindow();
    const std::string out = ws.root() + "/out.csv";
    w->chkOutputResults->click();
    w->txtOutputFilename->setText(QString::fromStdString(out));
    w->chkOutputFilename->setChecked(true);
    w->chkOutputSize->setChecked(true);
    w->chkOutputAttributes->setChecked(true);
    clickStart();

    EXPECT_TRUE(errors().empty()) << errors().front()[0] << ' ' << errors().front()[2];
    std::vector<Row> expectedRows;
    std::string expectedFile;
    for (const File& f : files) {
        std::string path = f.name;
        std::replace(path.begin(), path.end(), '/', '\\');
        const std::string name = path.substr(path.rfind('\\') + 1);
        expectedRows.push_back({name, std::to_string(f.size), "JSMITH.SALES.ACME", "F:\\" + path});
        expectedFile += name + "," + std::to_string(f.size) + "," + f.letters + "\r\n";
    }
    EXPECT_EQ(results(), expectedRows);
    EXPECT_EQ(readFile(out), expectedFile);

    // The attribute test sees each file's own attributes too.
    w->chkAttribReadOnly->click();
    clickStart();
    EXPECT_EQ(resultNames(), std::vector<std::string>{"CASE.TXT"});
}

}  // namespace
