// The profile routines against real files in temporary folders: where a name
// resolves to, what a read gives back, and what a write leaves on disk.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/drives.h"
#include "settings/profileroutines.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void spit(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// A fresh folder holding an "exe" and a "config" folder, which the routines use
// in place of the executable's folder and the user's configuration folder.
class ProfileRoutines : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "trawl-profile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        exe = root / "exe";
        config = root / "config" / "trawl";
        fs::create_directories(exe);
        profile::setExecutableFolder(exe.string());
        profile::setConfigFolder(config.string());
    }
    void TearDown() override
    {
        profile::setExecutableFolder({});
        profile::setConfigFolder({});
        platform::drives().clear();
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    fs::path root, exe, config;
};

TEST_F(ProfileRoutines, ResolvesNamesBesideTheExecutableFirst)
{
    spit(exe / "TRAWL.INI", "[Size]\r\n");
    spit(exe / "sub" / "a.tws", "[TRAWL]\r\n");
    fs::create_directories(exe / "folder.tws");  // a folder is not a profile

    struct Case {
        std::string name;
        std::string expected;
    } const cases[] = {
        {"TRAWL.INI", (exe / "TRAWL.INI").string()},
        {"sub/a.tws", (exe / "sub" / "a.tws").string()},
        {"missing.tws", (config / "missing.tws").string()},
        {"folder.tws", (config / "folder.tws").string()},
        {"other/missing.tws", "other/missing.tws"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveProfilePath(c.name), c.expected) << c.name;
}

TEST_F(ProfileRoutines, AbsoluteNameIsNeverJoinedToTheExecutableFolder)
{
    // exe + "/abs/x.tws" names a real file; the absolute name must still win.
    spit(exe / "abs" / "x.tws", "[TRAWL]\r\nkey=beside\r\n");
    const fs::path absolute = root / "abs" / "x.tws";
    spit(absolute, "[TRAWL]\r\nkey=absolute\r\n");
    const std::string name = absolute.string();
    spit(exe / name.substr(1), "[TRAWL]\r\nkey=joined\r\n");

    EXPECT_EQ(ResolveProfilePath(name), name);
    EXPECT_EQ(IniReadString(name, "TRAWL", "key", "-"), "absolute");
}

TEST_F(ProfileRoutines, DriveLetterNamesGoThroughTheDriveTable)
{
    const fs::path host = root / "volume";
    spit(host / "SETS" / "a.tws", "[TRAWL]\r\nkey=on drive\r\n");
    platform::drives().setDrive('F', host.string());

    EXPECT_EQ(IniReadString("F:\\SETS\\a.tws", "TRAWL", "key", "-"), "on drive");
    EXPECT_EQ(IniReadString("Q:\\SETS\\a.tws", "TRAWL", "key", "-"), "-");

    const auto refused = IniWriteString("Q:\\new.tws", "TRAWL", "key", "x");
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->message(), "Unable to write to Q:\\new.tws");
}

TEST_F(ProfileRoutines, ReadsFollowTheProfileRules)
{
    spit(config / "a.tws",
         "[Other]\r\nKey=wrong section\r\n"
         "[trawl]\r\n"
         "  CBOPATTERN  =  *.jpg  \r\n"
         "quoted=\"  kept blanks  \"\r\n"
         "single='x'\r\n"
         "empty=\r\n");

    EXPECT_EQ(IniReadString("a.tws", "TRAWL", "cboPattern", "-"), "*.jpg");
    EXPECT_EQ(IniReadString("a.tws", "TRAWL", "quoted", "-"), "  kept blanks  ");
    EXPECT_EQ(IniReadString("a.tws", "TRAWL", "single", "-"), "x");
    EXPECT_EQ(IniReadString("a.tws", "TRAWL", "empty", "-"), "");
    EXPECT_EQ(IniReadString("a.tws", "TRAWL", "key", "-"), "-");
    EXPECT_EQ(IniReadString("a.tws", "Missing", "cboPattern", "-"), "-");
    EXPECT_EQ(IniReadString("nothing.tws", "TRAWL", "cboPattern", "dflt"), "dflt");
    EXPECT_EQ(IniReadInteger("nothing.tws", "TRAWL", "cboPattern", 110), 110);
}

TEST_F(ProfileRoutines, IntegerFormsAndNonIntegers)
{
    struct Case {
        const char* stored;
        std::int32_t expected;
    } const cases[] = {
        {"1", 1},      {"2", 2},        {"-1", -1},     {"$1F", 31},  {"0x10", 16}, {"0X10", 16},
        {" 12 ", 12},  {"word", -7},    {"", -7},       {"12abc", -7}, {"$1", 1},   {"25569", 25569},
    };
    std::string text = "[TRAWL]\r\n";
    for (std::size_t i = 0; i < std::size(cases); ++i)
        text += "k" + std::to_string(i) + "=" + cases[i].stored + "\r\n";
    spit(config / "n.tws", text);

    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(IniReadInteger("n.tws", "TRAWL", "k" + std::to_string(i), -7), cases[i].expected)
            << "stored \"" << cases[i].stored << "\"";
}

TEST_F(ProfileRoutines, ValuesAreCutAt255BytesBothWays)
{
    const std::string longText(300, 'x');
    spit(config / "long.tws", "[TRAWL]\r\nread=" + longText + "\r\n");
    EXPECT_EQ(IniReadString("long.tws", "TRAWL", "read", ""), std::string(255, 'x'));

    ASSERT_FALSE(IniWriteString("w.tws", "TRAWL", "written", longText).has_value());
    EXPECT_EQ(slurp(config / "w.tws"), "[TRAWL]\r\nwritten=" + std::string(255, 'x') + "\r\n");

    // A two-byte character straddling the limit is dropped whole, not split.
    const std::string accented = std::string(254, 'a') + "\xC3\xA9" + "tail";
    ASSERT_FALSE(IniWriteString("w.tws", "TRAWL", "accented", accented).has_value());
    EXPECT_EQ(IniReadString("w.tws", "TRAWL", "accented", ""), std::string(254, 'a'));
    EXPECT_EQ(profile::limitProfileValue(std::string(253, 'a') + "\xC3\xA9"), std::string(253, 'a') + "\xC3\xA9");
}

TEST_F(ProfileRoutines, WritesCreateInPlaceAndAppend)
{
    const fs::path file = root / "s.tws";
    const std::string name = file.string();
    ASSERT_FALSE(IniWriteString(name, "TRAWL", "cboDrives", "F:").has_value());
    ASSERT_FALSE(IniWriteInteger(name, "TRAWL", "optSizeIgnore", 1).has_value());
    ASSERT_FALSE(IniWriteInteger(name, "Size", "Width", -5).has_value());
    ASSERT_FALSE(IniWriteString(name, "trawl", "cboDrives", "G:").has_value());
    ASSERT_FALSE(IniWriteString(name, "TRAWL", "cboPattern", "*.*").has_value());

    EXPECT_EQ(slurp(file),
              "[TRAWL]\r\ncboDrives=G:\r\noptSizeIgnore=1\r\ncboPattern=*.*\r\n"
              "[Size]\r\nWidth=-5\r\n");
}

TEST_F(ProfileRoutines, OtherLinesStayAsTheyWere)
{
    // Quotes and blanks that reading removes must survive later writes, or a
    // saved "'x'" or "   " would change as soon as the next key is written.
    const fs::path file = root / "keep.tws";
    spit(file,
         "; a comment\n"
         "[TRAWL]\n"
         "quoted='x'\n"
         "blanks=   \n"
         "  Spaced Key  =  v  \n"
         "[Size]\r\n"
         "Width=1\r\n"
         "[trawl]\r\n"
         "later=1");
    const std::string name = file.string();
    ASSERT_FALSE(IniWriteString(name, "TRAWL", "SPACED KEY", "new").has_value());
    ASSERT_FALSE(IniWriteInteger(name, "Trawl", "added", 5).has_value());
    ASSERT_FALSE(IniWriteInteger(name, "Size", "Height", 2).has_value());
    ASSERT_FALSE(IniWriteString(name, "Columns", "Column0", "  padded  ").has_value());

    EXPECT_EQ(slurp(file),
              "; a comment\n"
              "[TRAWL]\n"
              "quoted='x'\n"
              "blanks=   \n"
              "Spaced Key=new\n"
              "[Size]\r\n"
              "Width=1\r\n"
              "Height=2\r\n"
              "[trawl]\r\n"
              "later=1\r\n"
              "added=5\r\n"
              "[Columns]\r\n"
              "Column0=  padded  \r\n");
    EXPECT_EQ(IniReadString(name, "TRAWL", "quoted", ""), "x");
    EXPECT_EQ(IniReadString(name, "TRAWL", "blanks", "-"), "");
}

TEST_F(ProfileRoutines, AValueCannotAddLinesToTheFile)
{
    const std::string name = (root / "inject.tws").string();
    ASSERT_FALSE(IniWriteString(name, "TRAWL", "txtOutputFilename", "a.txt\r\n[Size]\r\nWidth=1").has_value());
    EXPECT_EQ(slurp(name), "[TRAWL]\r\ntxtOutputFilename=a.txt\r\n");
}

TEST_F(ProfileRoutines, BareNamesAreWrittenToACreatedConfigFolder)
{
    ASSERT_FALSE(fs::exists(config));
    ASSERT_FALSE(IniWriteInteger("TRAWL.INI", "Size", "State", 2).has_value());
    EXPECT_EQ(slurp(config / "TRAWL.INI"), "[Size]\r\nState=2\r\n");

    // Once a copy exists beside the executable, it is the one written.
    spit(exe / "TRAWL.INI", "[Size]\r\nState=0\r\n");
    ASSERT_FALSE(IniWriteInteger("TRAWL.INI", "Size", "State", 1).has_value());
    EXPECT_EQ(slurp(exe / "TRAWL.INI"), "[Size]\r\nState=1\r\n");
    EXPECT_EQ(slurp(config / "TRAWL.INI"), "[Size]\r\nState=2\r\n");
}

TEST_F(ProfileRoutines, AFailedWriteIsAValueNamingTheFile)
{
    // Below a regular file no folder can be made, whatever the user's rights.
    spit(root / "plain", "x");
    const std::string blocked = (root / "plain" / "s.tws").string();
    const auto error = IniWriteString(blocked, "TRAWL", "cboDrives", "F:");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message(), "Unable to write to " + blocked);
    EXPECT_NE(error->code, 0);

    // A folder standing where the file should be is not replaced.
    fs::create_directories(root / "dir.tws");
    const auto onFolder = IniWriteInteger((root / "dir.tws").string(), "TRAWL", "x", 1);
    ASSERT_TRUE(onFolder.has_value());
    EXPECT_TRUE(fs::is_directory(root / "dir.tws"));

    // A bare name whose configuration folder cannot be made.
    profile::setConfigFolder((root / "plain" / "trawl").string());
    const auto bare = IniWriteInteger("TRAWL.INI", "Size", "State", 0);
    ASSERT_TRUE(bare.has_value());
    EXPECT_EQ(bare->message(), "Unable to write to " + (root / "plain" / "trawl" / "TRAWL.INI").string());
}

} // namespace
