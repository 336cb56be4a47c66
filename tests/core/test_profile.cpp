#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using profile::ProfileDocument;
using namespace std::string_literals;

namespace {

TEST(ParseInteger, DecimalAndHexadecimalFormsWrappingTo32Bits)
{
    const struct {
        const char* text;
        std::optional<std::int32_t> expected;
    } cases[] = {
        {"42", 42},
        {"-1", -1},
        {"+7", 7},
        {" \t12 ", 12},
        {"$1", 1},
        {"$ff", 255},
        {"$FFFFFFFF", -1},
        {"0x10", 16},
        {"0X1f", 31},
        {"-$10", -16},
        {"-0x10", -16},
        {"2147483648", INT32_MIN},
        {"-2147483648", INT32_MIN},
        {"99999999999", 1215752191},
        {"", {}},
        {"  ", {}},
        {"word", {}},
        {"12abc", {}},
        {"1 2", {}},
        {"$", {}},
        {"0x", {}},
        {"-", {}},
        {"0x-1", {}},
        {"--1", {}},
        {"1.5", {}},
        {"$-1", {}},
        {"\xd9\xa1", {}},
        {"1\n", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(profile::parseInteger(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ProfileParse, ReadingRules)
{
    const ProfileDocument doc = ProfileDocument::parse("orphan=before any header\n"
                                                       "; a comment\n"
                                                       "[Trawl]\n"
                                                       "cboPattern = *.tmp \n"
                                                       "CBOPATTERN=second\n"
                                                       "  txtA  =\t\"quoted value\"\t\n"
                                                       "txtB='single'\n"
                                                       "txtC=\"mismatched'\n"
                                                       "txtD=\"\n"
                                                       "txtE=\"\"\n"
                                                       "txtF='a' and 'b'\n"
                                                       "txtG=a=b\n"
                                                       "txtH=\" kept blanks \"\n"
                                                       "no equals sign here\n"
                                                       "=no key\n"
                                                       ";txtI=commented out\n"
                                                       "[Other]\n"
                                                       "x=1\n"
                                                       "[ TRAWL ]\n"
                                                       "later=continued\n"
                                                       "[Empty]\n");

    const struct {
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    } cases[] = {
        {"TRAWL", "cbopattern", "*.tmp"},  // the first of two, blanks dropped
        {"trawl", "TXTA", "quoted value"},
        {"Trawl", "txtB", "single"},
        {"Trawl", "txtC", "\"mismatched'"},
        {"Trawl", "txtD", "\""},
        {"Trawl", "txtE", ""},
        {"Trawl", "txtF", "a' and 'b"},
        {"Trawl", "txtG", "a=b"},
        {"Trawl", "txtH", " kept blanks "},
        {"Trawl", "later", "continued"},  // a repeated header continues the section
        {"Other", "x", "1"},
        {"Trawl", "x", {}},
        {"Trawl", "orphan", {}},
        {"", "orphan", {}},
        {"Trawl", "txtI", {}},
        {"Trawl", "", {}},
        {"Missing", "x", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(doc.value(c.section, c.key), c.expected) << c.section << "/" << c.key;

    ASSERT_EQ(doc.sections().size(), 3u);
    EXPECT_EQ(doc.sections()[0].name, "Trawl");
    EXPECT_EQ(doc.sections()[0].line, 3);
    EXPECT_EQ(doc.sections()[0].entries.size(), 11u);
    EXPECT_EQ(doc.sections()[0].entries.back().line, 20);
    EXPECT_EQ(doc.sections()[2].name, "Empty");
    EXPECT_TRUE(doc.sections()[2].entries.empty());
    EXPECT_EQ(doc.section("other"), &doc.sections()[1]);
}

TEST(ProfileParse, AnyBytesAndAnyLength)
{
    const std::string longValue(1 << 20, 'v');
    std::mt19937 random(12345);
    const char alphabet[] = "[]=;'\" \t\r\nabcAB\0\xff";
    std::string noise;
    for (int i = 0; i < (1 << 20); ++i)
        noise.push_back(alphabet[random() % (sizeof alphabet - 1)]);
    const ProfileDocument doc = ProfileDocument::parse(noise + "\n[S]\r\na=1\r\nb=2 \r\nc=x\0y\nlong="s + longValue +
                                                       "\nlast=3");
    EXPECT_EQ(doc.value("S", "a"), "1");
    EXPECT_EQ(doc.value("s", "B"), "2");
    EXPECT_EQ(doc.value("S", "c"), "x\0y"s);
    EXPECT_TRUE(doc.value("S", "long") == longValue) << "values are not cut here";
    EXPECT_EQ(doc.value("S", "last"), "3");
    for (const auto& section : doc.sections()) {
        for (const auto& entry : section.entries) {
            ASSERT_FALSE(entry.key.empty());
            ASSERT_EQ(entry.key.find_first_of("\n="), std::string::npos);
            ASSERT_EQ(entry.value.find('\n'), std::string::npos);
        }
    }
}

TEST(ProfileSetValue, InPlaceAppendedOrInANewSection)
{
    ProfileDocument doc = ProfileDocument::parse("[Size]\nWidth=10\nHeight=20\n[Columns]\nc0=100\n");
    doc.setValue("SIZE", "height", "25");            // in place, spelling of the file kept
    doc.setValue("size", "Left", "$10");             // appended at the end of its section
    doc.setValue("Trawl", "cboPath", "F:\\PUBLIC");  // a new section at the end
    doc.setValue("Trawl", "memCommandFile0", " spaced ");
    EXPECT_EQ(doc.serialize(), "[Size]\r\nWidth=10\r\nHeight=25\r\nLeft=$10\r\n"
                               "[Columns]\r\nc0=100\r\n"
                               "[Trawl]\r\ncboPath=F:\\PUBLIC\r\nmemCommandFile0= spaced \r\n");

    const ProfileDocument again = ProfileDocument::parse(doc.serialize());
    EXPECT_EQ(again.value("Size", "Height"), "25");
    EXPECT_EQ(again.value("Size", "Left"), "$10");
    EXPECT_EQ(profile::parseInteger(*again.value("Size", "Left")), 16);
    EXPECT_EQ(again.value("Trawl", "cboPath"), "F:\\PUBLIC");
    EXPECT_EQ(again.value("Trawl", "memCommandFile0"), "spaced") << "blanks around a value are dropped on reading";
    EXPECT_EQ(again.serialize(), ProfileDocument::parse(again.serialize()).serialize());
}

TEST(ProfileSetValue, NoTextCanAddLinesOfItsOwn)
{
    ProfileDocument doc;
    doc.setValue("S", "a", "one\r\n[Injected]\r\nevil=1");
    doc.setValue("S", "b=c", "two\nmore");
    doc.setValue("T]\nx=y", "k", "three");
    doc.setValue("S", "", "ignored");
    doc.setValue("S", ";comment", "ignored");
    doc.setValue("S", "[header", "ignored");
    const ProfileDocument read = ProfileDocument::parse(doc.serialize());
    EXPECT_EQ(read.value("S", "a"), "one");
    EXPECT_EQ(read.value("S", "b"), "two");
    EXPECT_EQ(read.value("T", "k"), "three");
    EXPECT_FALSE(read.section("Injected"));
    ASSERT_EQ(read.sections().size(), 2u);
    EXPECT_EQ(read.sections()[0].entries.size(), 2u);
}

// A folder of its own per test, removed afterwards.
class ProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/trawl-profile-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override
    {
        ::chmod(m_folder.c_str(), 0700);
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
    std::size_t filesInFolder() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()));
    }
    std::string m_folder;
};

TEST_F(ProfileFileTest, WritesReplacesAndReadsBack)
{
    const std::string path = m_folder + "/settings.tws";
    EXPECT_FALSE(profile::readFile(path));
    EXPECT_FALSE(profile::readFile(m_folder)) << "a folder is not a file";

    const std::string first = "[TRAWL]\r\nkey=a\0b\r\n"s;
    ASSERT_EQ(profile::writeFileAtomically(path, first), 0);
    EXPECT_EQ(profile::readFile(path), first);

    ::chmod(path.c_str(), 0640);
    ASSERT_EQ(profile::writeFileAtomically(path, "second"), 0);
    EXPECT_EQ(profile::readFile(path), "second");
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the replaced file's permissions are kept";

    // Through a link the file it names is replaced and the link stays.
    const std::string link = m_folder + "/link.tws";
    ASSERT_EQ(::symlink("settings.tws", link.c_str()), 0);
    ASSERT_EQ(profile::writeFileAtomically(link, "third"), 0);
    EXPECT_EQ(profile::readFile(path), "third");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(filesInFolder(), 2u) << "no temporary file is left behind";
}

TEST_F(ProfileFileTest, FailedWritesLeaveNothingAndTouchNothing)
{
    EXPECT_EQ(profile::writeFileAtomically(m_folder + "/missing/a.ini", "x"), ENOENT);
    EXPECT_FALSE(fs::exists(m_folder + "/missing"));
    EXPECT_EQ(filesInFolder(), 0u);
    EXPECT_NE(profile::writeFileAtomically(m_folder, "x"), 0) << "a folder is never replaced";
    EXPECT_NE(profile::writeFileAtomically("", "x"), 0);

    // A write that fails half-way (here: the file size limit) keeps the old file whole.
    const std::string path = m_folder + "/TRAWL.INI";
    ASSERT_EQ(profile::writeFileAtomically(path, "[Size]\r\nWidth=1\r\n"), 0);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const int error = profile::writeFileAtomically(path, std::string(100000, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(profile::readFile(path), "[Size]\r\nWidth=1\r\n");
    EXPECT_EQ(filesInFolder(), 1u);

    if (::geteuid() != 0) {  // root writes into any folder
        ::chmod(m_folder.c_str(), 0500);
        EXPECT_EQ(profile::writeFileAtomically(path, "new"), EACCES);
        EXPECT_EQ(profile::readFile(path), "[Size]\r\nWidth=1\r\n");
    }
}

}  // namespace
