// The profile routines against real files: where a name resolves to, what a
// read gives back, and what a write leaves on disk.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
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
        {"TRAWL.INI", (exe() / "TRAWL.INI").string()},
        {"sub/a.tws", (exe() / "sub" / "a.tws").string()},
        {"new.tws", (config / "new.tws").string()},
        {"folder.tws", (config / "folder.tws").string()},
        {"other/new.tws", "other/new.tws"},
        {absolute, absolute},
        {"F:\\SETS\\A.TWS", (root / "vol" / "SETS" / "A.TWS").string()},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(ResolveProfilePath(name), expected) << name;
}

TEST_F(ProfileRoutines, ReadsFollowTheProfileRules)
{
    const std::string file = spit(
        root / "r.tws", "[Other]\r\nkey=wrong section\r\n[trawl]\r\n  KEY  =  *.jpg  \r\nq=\"  in quotes  \"\r\n"
                        "long=" +
                            std::string(300, 'x') + "\r\nutf8=" + std::string(254, 'a') +
                            "\xC3\xA9\r\n"
                            "i1=$1F\r\ni2=0X10\r\ni3= -1 \r\ni4=word\r\ni5=12abc\r\ni6=\r\n");
    EXPECT_EQ(IniReadString(file, "TRAWL", "key", "-"), "*.jpg");
    EXPECT_EQ(IniReadString(file, "TRAWL", "q", "-"), "  in quotes  ");
    EXPECT_EQ(IniReadString(file, "TRAWL", "long", "-"), std::string(255, 'x'));
    EXPECT_EQ(IniReadString(file, "TRAWL", "utf8", "-"), std::string(254, 'a')) << "a character is never split";
    EXPECT_EQ(IniReadString(file, "TRAWL", "missing", "-"), "-");
    EXPECT_EQ(IniReadString((root / "none.tws").string(), "TRAWL", "key", "dflt"), "dflt");
    const std::pair<const char*, std::int32_t> integers[] = {{"i1", 31}, {"i2", 16}, {"i3", -1},
                                                             {"i4", 7},  {"i5", 7},  {"i6", 7}};
    for (const auto& [key, expected] : integers)
        EXPECT_EQ(IniReadInteger(file, "TRAWL", key, 7), expected) << key;
    platform::drives().setDrive('F', root.string());
    EXPECT_EQ(IniReadString("F:\\r.tws", "TRAWL", "key", "-"), "*.jpg");
}

TEST_F(ProfileRoutines, AWriteChangesOnlyItsOwnLine)
{
    // Quotes and blanks that reading removes survive later writes of other keys.
    const std::string file = spit(root / "w.tws",
                                  "; note\n[TRAWL]\nquoted='x'\nblanks=   \n  Old Key = v \n[Size]\r\nWidth=1");
    ASSERT_FALSE(IniWriteString(file, "trawl", "OLD KEY", "new").has_value());
    ASSERT_FALSE(IniWriteInteger(file, "TRAWL", "added", -5).has_value());
    ASSERT_FALSE(IniWriteInteger(file, "Size", "Height", 2).has_value());
    ASSERT_FALSE(IniWriteString(file, "Columns", "long", std::string(300, 'y')).has_value());
    ASSERT_FALSE(IniWriteString(file, "Columns", "evil", "a.txt\r\n[Size]\r\nWidth=9").has_value());
    EXPECT_EQ(slurp(file), "; note\n[TRAWL]\nquoted='x'\nblanks=   \nOld Key=new\nadded=-5\r\n[Size]\r\nWidth=1\r\n"
                           "Height=2\r\n[Columns]\r\nlong=" +
                               std::string(255, 'y') + "\r\nevil=a.txt\r\n");
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

// A file replaced whole holds, byte for byte, what writing its keys one by one
// into a new file gives, so files read back as they always did.
TEST_F(ProfileRoutines, AReplacedFileHoldsWhatKeyByKeyWritesGive)
{
    const ProfileEntries entries = {
        {"cboPattern", "*.TXT"},
        {"txtOutputSepOther", "   "},
        {"memCommandFile0", "'quoted !1'"},
        {"memCommandFile1", ""},
        {"lstUsers0", "JOS\xC3\x89.ACME"},
        {"evil", "a.txt\r\n[Size]\r\nWidth=9"},
        {"long", std::string(254, 'a') + "\xC3\xA9"},  // 256 bytes: cut before the character
        {"chkAppend", "1"},
    };
    const std::string keyByKey = (root / "one-by-one.tws").string();
    for (const auto& [key, value] : entries)
        ASSERT_FALSE(IniWriteString(keyByKey, "TRAWL", key, value).has_value()) << key;

    const std::string whole = spit(root / "whole.tws", "[Layout]\r\nVersion=3\r\n[TRAWL]\r\nObsolete=1\r\n");
    ASSERT_FALSE(IniReplaceFile(whole, "TRAWL", entries).has_value());
    EXPECT_EQ(slurp(whole), slurp(keyByKey)) << "an older layout leaves nothing behind";
    ASSERT_FALSE(IniReplaceFile("bare.tws", "TRAWL", entries).has_value());
    EXPECT_EQ(slurp(config / "bare.tws"), slurp(keyByKey)) << "a bare name goes to the configuration folder";
}

// A replacement that cannot be written reports the file and leaves the old
// one exactly as it was, with no temporary file beside it.
TEST_F(ProfileRoutines, AFailedReplacementLeavesTheOldFileAlone)
{
    const std::string old = "[TRAWL]\r\ncboPattern=*.OLD\r\n";
    ProfileEntries entries;
    for (int i = 0; i < 100; ++i)
        entries.emplace_back("lstUsers" + std::to_string(i), std::string(200, 'u'));
    const fs::path folder = root / "sets";
    const std::string path = spit(folder / "a.tws", old);
    const auto expectUntouched = [&](const ProfileWriteResult& result, const std::string& what) {
        ASSERT_TRUE(result.has_value()) << what;
        EXPECT_EQ(result->message(), "Unable to write to " + path) << what;
        EXPECT_EQ(slurp(path), old) << what;
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << what;
    };

    {  // a full disk: writes beyond 4 kB fail, the signal that would end the process ignored
        rlimit saved{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limited = saved;
        limited.rlim_cur = 4096;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        const ProfileWriteResult result = IniReplaceFile(path, "TRAWL", entries);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        expectUntouched(result, "full disk");
        EXPECT_EQ(result->code, EFBIG);
    }
    if (::geteuid() != 0) {  // root writes whatever the permissions say
        ::chmod(path.c_str(), 0400);
        expectUntouched(IniReplaceFile(path, "TRAWL", entries), "read-only file");
        ::chmod(path.c_str(), 0600);
        ::chmod(folder.c_str(), 0500);
        expectUntouched(IniReplaceFile(path, "TRAWL", entries), "read-only folder");
        ::chmod(folder.c_str(), 0700);
    }

    // Targets no write can reach, whoever runs the test.
    spit(root / "plain", "x");
    fs::create_directories(root / "taken.tws" / "inner");
    for (const fs::path& target : {root / "plain" / "s.tws", root / "missing" / "s.tws", root / "taken.tws"}) {
        const ProfileWriteResult result = IniReplaceFile(target.string(), "TRAWL", entries);
        ASSERT_TRUE(result.has_value()) << target;
        EXPECT_EQ(result->message(), "Unable to write to " + target.string());
    }
    EXPECT_TRUE(fs::is_directory(root / "taken.tws" / "inner")) << "a folder in the way is not removed";
    EXPECT_FALSE(fs::exists(root / "missing"));
    EXPECT_EQ(IniReplaceFile("Q:\\A.TWS", "TRAWL", entries).value().message(), "Unable to write to Q:\\A.TWS");
}

}  // namespace
