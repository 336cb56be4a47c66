// The profile routines against real files: where a name resolves to, what a
// read gives back, and what a write leaves on disk.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/drives.h"
#include "settings/profileroutines.h"

namespace fs = std::filesystem;

namespace {

class ProfileRoutines : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "trawl-profile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        config = root / "config" / "trawl";
        profile::setExecutableFolder((root / "exe").string());
        profile::setConfigFolder(config.string());
    }
    void TearDown() override
    {
        profile::setExecutableFolder({});
        profile::setConfigFolder({});
        platform::drives().clear();
        fs::remove_all(root);
    }
    std::string spit(const fs::path& path, const std::string& text)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    static std::string slurp(const fs::path& path)
    {
        std::ostringstream text;
        text << std::ifstream(path, std::ios::binary).rdbuf();
        return text.str();
    }

    fs::path root, config;
    fs::path exe() const { return root / "exe"; }
};

TEST_F(ProfileRoutines, NamesResolveBesideTheExecutableThenInTheConfigFolder)
{
    spit(exe() / "TRAWL.INI", "");
    spit(exe() / "sub" / "a.tws", "");
    fs::create_directories(exe() / "folder.tws");  // a folder is no profile
    // exe + "/abs/x.tws" names a real file, yet an absolute name is never joined.
    const std::string absolute = (root / "abs" / "x.tws").string();
    spit(exe() / absolute.substr(1), "");
    platform::drives().setDrive('F', (root / "vol").string());

    const std::pair<std::string, std::string> cases[] = {
        {"TRAWL.INI", (exe() / "TRAWL.INI").string()},   {"sub/a.tws", (exe() / "sub" / "a.tws").string()},
        {"new.tws", (config / "new.tws").string()},      {"folder.tws", (config / "folder.tws").string()},
        {"other/new.tws", "other/new.tws"},              {absolute, absolute},
        {"F:\\SETS\\A.TWS", (root / "vol" / "SETS" / "A.TWS").string()},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(ResolveProfilePath(name), expected) << name;
}

TEST_F(ProfileRoutines, ReadsFollowTheProfileRules)
{
    const std::string file = spit(root / "r.tws",
                                  "[Other]\r\nkey=wrong section\r\n[trawl]\r\n  KEY  =  *.jpg  \r\nq=\"  in quotes  \"\r\n"
                                  "long=" + std::string(300, 'x') + "\r\nutf8=" + std::string(254, 'a') + "\xC3\xA9\r\n"
                                  "i1=$1F\r\ni2=0X10\r\ni3= -1 \r\ni4=word\r\ni5=12abc\r\ni6=\r\n");
    EXPECT_EQ(IniReadString(file, "TRAWL", "key", "-"), "*.jpg");
    EXPECT_EQ(IniReadString(file, "TRAWL", "q", "-"), "  in quotes  ");
    EXPECT_EQ(IniReadString(file, "TRAWL", "long", "-"), std::string(255, 'x'));
    EXPECT_EQ(IniReadString(file, "TRAWL", "utf8", "-"), std::string(254, 'a')) << "a character is never split";
    EXPECT_EQ(IniReadString(file, "TRAWL", "missing", "-"), "-");
    EXPECT_EQ(IniReadString((root / "none.tws").string(), "TRAWL", "key", "dflt"), "dflt");
    const std::pair<const char*, std::int32_t> integers[] = {{"i1", 31}, {"i2", 16}, {"i3", -1}, {"i4", 7}, {"i5", 7}, {"i6", 7}};
    for (const auto& [key, expected] : integers)
        EXPECT_EQ(IniReadInteger(file, "TRAWL", key, 7), expected) << key;
    platform::drives().setDrive('F', root.string());
    EXPECT_EQ(IniReadString("F:\\r.tws", "TRAWL", "key", "-"), "*.jpg");
}

TEST_F(ProfileRoutines, AWriteChangesOnlyItsOwnLine)
{
    // Quotes and blanks that reading removes survive later writes of other keys.
    const std::string file = spit(root / "w.tws", "; note\n[TRAWL]\nquoted='x'\nblanks=   \n  Old Key = v \n[Size]\r\nWidth=1");
    ASSERT_FALSE(IniWriteString(file, "trawl", "OLD KEY", "new").has_value());
    ASSERT_FALSE(IniWriteInteger(file, "TRAWL", "added", -5).has_value());
    ASSERT_FALSE(IniWriteInteger(file, "Size", "Height", 2).has_value());
    ASSERT_FALSE(IniWriteString(file, "Columns", "long", std::string(300, 'y')).has_value());
    ASSERT_FALSE(IniWriteString(file, "Columns", "evil", "a.txt\r\n[Size]\r\nWidth=9").has_value());
    EXPECT_EQ(slurp(file), "; note\n[TRAWL]\nquoted='x'\nblanks=   \nOld Key=new\nadded=-5\r\n[Size]\r\nWidth=1\r\n"
                           "Height=2\r\n[Columns]\r\nlong=" + std::string(255, 'y') + "\r\nevil=a.txt\r\n");
}

TEST_F(ProfileRoutines, AFailedWriteIsAValueNamingTheFile)
{
    spit(root / "plain", "x");  // no folder can be made below a file, whoever runs the test
    const std::string blocked = (root / "plain" / "s.tws").string();
    for (const std::string& name : {blocked, std::string("Q:\\A.TWS")}) {  // Q: is not mapped
        const ProfileWriteResult error = IniWriteInteger(name, "Size", "State", 0);
        ASSERT_TRUE(error.has_value()) << name;
        EXPECT_EQ(error->message(), "Unable to write to " + name);
    }
}

} // namespace
