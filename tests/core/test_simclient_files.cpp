// File information, extended information, name spaces and directory handles
// of the simulated client, against real host files.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "netclient/dosdate.h"
#include "netclient/simclient.h"
#include "platform/asciicase.h"
#include "platform/drives.h"
#include "scan/scancriteria.h"
#include "support/core_tempworkstation.h"

namespace {

constexpr std::uint8_t kFilesHiddenSystem = 6;

class ClientFiles : public testing::Test {
protected:
    void SetUp() override
    {
        sys = ws.addVolume("FS1", "SYS");
        ws.addVolume("FS2", "APPS");
        ws.mapDrive('F', "FS1/SYS:");
    }

    void load()
    {
        client = ws.load();
        ASSERT_TRUE(client) << ws.lastError();
    }

    NWCCODE fileInfo(const std::string& volumePath, FileInfoRecord& info, std::uint8_t search = kFilesHiddenSystem)
    {
        std::uint8_t sequence[9];
        std::memset(sequence, 0xFF, sizeof sequence);
        std::memset(&info, 0xEE, sizeof info);
        return client->NWIntScanFileInformation2(1, 0, volumePath.c_str(), search, sequence, &info, 0);
    }

    // The extended read as the walker makes it: a temporary handle on the
    // folder, the read by name, the release.
    NWCCODE extendedInfo(const std::string& folderVolumePath, const std::string& name, ExtendedInfoRecord& info)
    {
        NWDIR_HANDLE handle = 0;
        NWCCODE code = client->NWAllocateTemporaryDirectoryHandle(1, 0, folderVolumePath.c_str(), &handle, nullptr);
        if (code != nw::kSuccess)
            return code;
        std::uint32_t sequence = 0xFFFFFFFF;
        std::memset(&info, 0, sizeof info);
        code = client->NWIntScanExtendedInfo(1, handle, kFilesHiddenSystem, &sequence, name.c_str(), &info, 0);
        EXPECT_EQ(client->NWDeallocateDirectoryHandle(1, handle), nw::kSuccess);
        return code;
    }

    std::string dosPath(const std::string& volumePath, NWCCODE* code = nullptr)
    {
        char result[512];
        std::strcpy(result, volumePath.c_str());
        NwNsPath path{volumePath.c_str(), result, sizeof result};
        const NWCCODE answer = client->NWGetNSPath(1, 0, 1, nw::kLongNameSpace, nw::kDosNameSpace, &path);
        if (code != nullptr)
            *code = answer;
        return answer == nw::kSuccess ? result : "";
    }

    std::string shortName(const std::string& volumePath)
    {
        char name[256] = "";
        EXPECT_EQ(client->NWGetLongName(1, 0, volumePath.c_str(), nw::kLongNameSpace, nw::kDosNameSpace, name),
                  nw::kSuccess)
            << volumePath;
        return name;
    }

    TempWorkstation ws;
    std::string sys;
    std::unique_ptr<SimClient> client;
};

TEST_F(ClientFiles, FileInformationComesFromTheHostFile)
{
    ScopedTimeZone zone("UTC");
    const std::string file = ws.makeFile(sys + "/Reports/Quarterly Report.xlsx", 12345);
    ws.setTimes(file, TempWorkstation::localTime(2022, 5, 6, 8, 0, 0),
                TempWorkstation::localTime(2021, 3, 4, 10, 20, 31));
    ws.addLine("Owners", std::to_string(::getuid()) + "=0x1001");
    load();

    FileInfoRecord info{};
    ASSERT_EQ(fileInfo("SYS:Reports\\Quarterly Report.xlsx", info), nw::kSuccess);
    EXPECT_EQ(info.size, 12345u);
    EXPECT_EQ(info.lastAccessDate, dosdate::packDate(2022, 5, 6));
    EXPECT_EQ(info.lastUpdateDateAndTime,
              static_cast<std::uint32_t>(dosdate::packDate(2021, 3, 4)) << 16 | dosdate::packTime(10, 20, 30));
    EXPECT_NE(info.creationDate, 0u);  // birth or status-change time: today
    EXPECT_EQ(info.ownerId, 0x1001u);  // the host user through [Owners]
    EXPECT_EQ(info.attributes, 0u);
    EXPECT_EQ(info.lastArchiveDateAndTime, 0u);
    EXPECT_STREQ(info.name, "Quarterly Report.xlsx");

    // The walker asks again with the path in capitals.
    FileInfoRecord upper{};
    ASSERT_EQ(fileInfo("SYS:REPORTS\\QUARTERLY REPORT.XLSX", upper), nw::kSuccess);
    EXPECT_EQ(upper.size, 12345u);
    EXPECT_STREQ(upper.name, "Quarterly Report.xlsx");
}

TEST_F(ClientFiles, DatesFollowTheLocalTimeZone)
{
    const std::string file = ws.makeFile(sys + "/late.txt");
    load();
    {
        ScopedTimeZone zone("UTC");
        ws.setTimes(file, TempWorkstation::localTime(2023, 6, 30, 23, 30),
                    TempWorkstation::localTime(2023, 6, 30, 23, 30));
    }
    ScopedTimeZone zone("Asia/Tokyo");  // UTC+9, no summer time
    FileInfoRecord info{};
    ASSERT_EQ(fileInfo("SYS:late.txt", info), nw::kSuccess);
    EXPECT_EQ(info.lastAccessDate, dosdate::packDate(2023, 7, 1));
    EXPECT_EQ(info.lastUpdateDateAndTime >> 16, dosdate::packDate(2023, 7, 1));
    EXPECT_EQ(info.lastUpdateDateAndTime & 0xFFFF, dosdate::packTime(8, 30, 0));
}

TEST_F(ClientFiles, DatesTheLayoutCannotHoldPackAsZero)
{
    ScopedTimeZone zone("UTC");
    struct Case {
        std::time_t when;
        bool packs;
    };
    const Case cases[] = {
        {TempWorkstation::localTime(1975, 6, 1), false},
        {TempWorkstation::localTime(1979, 12, 31, 23, 59, 59), false},
        {TempWorkstation::localTime(1980, 1, 1, 0, 0, 0), true},
        {TempWorkstation::localTime(2107, 12, 31, 23, 59, 58), true},
        {TempWorkstation::localTime(2108, 1, 1, 0, 0, 0), false},
    };
    const std::string file = ws.makeFile(sys + "/old.txt");
    load();
    for (const Case& c : cases) {
        ws.setTimes(file, c.when, c.when);
        FileInfoRecord info{};
        ASSERT_EQ(fileInfo("SYS:old.txt", info), nw::kSuccess);
        EXPECT_EQ(info.lastAccessDate != 0, c.packs) << c.when;
        EXPECT_EQ(info.lastUpdateDateAndTime != 0, c.packs) << c.when;
        DateRecord date{};
        TimeRecord time{};
        client->NWUnpackDateTime(info.lastUpdateDateAndTime, &date, &time);
        EXPECT_EQ(dosdate::isCalendarDate(date.year, date.month, date.day), c.packs) << c.when;
    }
}

TEST_F(ClientFiles, SizesOf4GiBAndMoreShowTheMostTheRecordHolds)
{
    ws.makeFile(sys + "/just-under.bin", 0xFFFFFFFEull);
    ws.makeFile(sys + "/four.bin", 0x100000000ull);
    ws.makeFile(sys + "/five.bin", 5ull << 30);
    load();
    FileInfoRecord info{};
    ASSERT_EQ(fileInfo("SYS:just-under.bin", info), nw::kSuccess);
    EXPECT_EQ(info.size, 0xFFFFFFFEu);
    ASSERT_EQ(fileInfo("SYS:four.bin", info), nw::kSuccess);
    EXPECT_EQ(info.size, 0xFFFFFFFFu);
    ASSERT_EQ(fileInfo("SYS:five.bin", info), nw::kSuccess);
    EXPECT_EQ(info.size, 0xFFFFFFFFu);
}

TEST_F(ClientFiles, WhatIsNotAFileOfTheSearchIsNotFound)
{
    ws.makeFolder(sys + "/Folder");
    ws.makeFile(sys + "/.hidden");
    ws.makeSymlink("/etc", sys + "/link-to-etc");
    ws.addLine("Volumes", "FS1/EMPTY=" + ws.makeFolder("empty"));
    load();
    FileInfoRecord info{};
    EXPECT_EQ(fileInfo("SYS:missing.txt", info), nw::kErrNoSuchFile);
    EXPECT_EQ(fileInfo("SYS:Folder\\missing.txt", info), nw::kErrNoSuchFile);
    EXPECT_EQ(fileInfo("NOVOL:x.txt", info), nw::kErrNoSuchVolume);
    EXPECT_EQ(fileInfo("APPS:x.txt", info), nw::kErrNoSuchVolume);  // FS2's volume, asked of FS1
    EXPECT_EQ(client->NWIntScanFileInformation2(9, 0, "SYS:x", 6, nullptr, &info, 0), nw::kErrInvalidConnection);
    EXPECT_EQ(fileInfo("SYS:bad|name", info), nw::kErrInvalidPath);
    // A path that shares folders with the one before it: only what it shares
    // up to a separator was checked already.
    EXPECT_EQ(fileInfo("SYS:Folder\\missing.txt", info), nw::kErrNoSuchFile);
    EXPECT_EQ(fileInfo("SYS:Folder|\\missing.txt", info), nw::kErrInvalidPath);
    EXPECT_EQ(fileInfo("SYS:Folder\\missing.txt\\x", info), nw::kErrNoSuchFile);
    EXPECT_EQ(fileInfo("SYS:Folder\\missing.txt|\\x", info), nw::kErrInvalidPath);
    EXPECT_EQ(fileInfo("SYS:Folder\\bad\xFF\\x", info), nw::kErrInvalidPath);

    // Folders only with the directory bit of the search attributes.
    EXPECT_EQ(fileInfo("SYS:Folder", info), nw::kErrNoSuchFile);
    ASSERT_EQ(fileInfo("SYS:Folder", info, 0x16), nw::kSuccess);
    EXPECT_EQ(info.attributes, platform::kAttrDirectory);

    // Hidden entries only with the hidden bit.
    EXPECT_EQ(fileInfo("SYS:.hidden", info, 0), nw::kErrNoSuchFile);
    ASSERT_EQ(fileInfo("SYS:.hidden", info), nw::kSuccess);
    EXPECT_EQ(info.attributes, platform::kAttrHidden);

    // A link is a file of its own, never the folder it points at.
    ASSERT_EQ(fileInfo("SYS:link-to-etc", info), nw::kSuccess);
    EXPECT_EQ(info.attributes, 0u);
    EXPECT_EQ(info.size, 4u);
}

TEST_F(ClientFiles, AttributesWithoutExtendedAttributes)
{
    const std::string readOnly = ws.makeFile(sys + "/locked.txt");
    ws.setMode(readOnly, 0444);
    const std::string hiddenReadOnly = ws.makeFile(sys + "/.secret");
    ws.setMode(hiddenReadOnly, 0400);
    ws.makeFile(sys + "/plain.txt");
    load();
    ExtendedInfoRecord info{};
    ASSERT_EQ(extendedInfo("SYS:", "LOCKED.TXT", info), nw::kSuccess);
    EXPECT_EQ(info.attributes, platform::kAttrReadOnly);
    ASSERT_EQ(extendedInfo("SYS:", ".secret", info), nw::kSuccess);
    EXPECT_EQ(info.attributes, platform::kAttrReadOnly | platform::kAttrHidden);
    ASSERT_EQ(extendedInfo("SYS:", "PLAIN.TXT", info), nw::kSuccess);
    EXPECT_EQ(info.attributes, 0u);
}

TEST_F(ClientFiles, ExtendedAttributesOverrideOwnerAttributesAndCreation)
{
    if (!ws.xattrsSupported())
        GTEST_SKIP() << TempWorkstation::kNoXattrMessage;
    ScopedTimeZone zone("UTC");
    const std::string file = ws.makeFile(sys + "/Data/Payroll 2024.xlsx", 300);
    ASSERT_TRUE(ws.setOwner(file, 0x1002));
    ASSERT_TRUE(ws.setAttributes(file, 0x10024));  // system, archive, and a bit of the upper word
    ASSERT_TRUE(ws.setCreated(file, "1999-12-31"));
    ws.setMode(file, 0444);  // with the attributes given, the host's read-only is not added
    const std::string oldCreated = ws.makeFile(sys + "/Data/ancient.txt");
    ASSERT_TRUE(ws.setCreated(oldCreated, "1970-01-01"));
    const std::string badValues = ws.makeFile(sys + "/Data/bad.txt");
    ASSERT_TRUE(ws.setXattr(badValues, "user.nw.owner", "nobody"));
    ASSERT_TRUE(ws.setXattr(badValues, "user.nw.created", "31.12.1999"));
    ASSERT_TRUE(ws.setXattr(badValues, "user.other", "ignored"));
    ws.addLine("Owners", std::to_string(::getuid()) + "=0x1009");
    load();

    FileInfoRecord info{};
    ASSERT_EQ(fileInfo("SYS:Data\\Payroll 2024.xlsx", info), nw::kSuccess);
    EXPECT_EQ(info.ownerId, 0x1002u);
    EXPECT_EQ(info.creationDate, dosdate::packDate(1999, 12, 31));
    EXPECT_EQ(info.attributes, 0x24u);
    EXPECT_EQ(info.extendedAttributes, 0x00u);

    ExtendedInfoRecord extended{};
    ASSERT_EQ(extendedInfo("SYS:DATA", shortName("SYS:DATA\\PAYROLL 2024.XLSX"), extended), nw::kSuccess);
    EXPECT_EQ(extended.attributes, 0x10024u);
    EXPECT_EQ(extended.ownerId, 0x1002u);
    EXPECT_EQ(extended.creationDateAndTime, static_cast<std::uint32_t>(dosdate::packDate(1999, 12, 31)) << 16);
    EXPECT_EQ(extended.fileSize, 300u);

    // A creation date the layout cannot hold packs as 0.
    ASSERT_EQ(fileInfo("SYS:Data\\ancient.txt", info), nw::kSuccess);
    EXPECT_EQ(info.creationDate, 0u);

    // Values that are not what they should be are passed over.
    ASSERT_EQ(fileInfo("SYS:Data\\bad.txt", info), nw::kSuccess);
    EXPECT_EQ(info.ownerId, 0x1009u);
    EXPECT_NE(info.creationDate, dosdate::packDate(1999, 12, 31));
    EXPECT_NE(info.creationDate, 0u);
}

// Samba's stored DOS attributes, then the SMB client's, stand in for our own
// when a file has none; a value that is not what it claims is passed over.
TEST_F(ClientFiles, DosAttributesOfSambaAndTheSmbClientComeAfterOurOwn)
{
    if (!ws.xattrsSupported())
        GTEST_SKIP() << TempWorkstation::kNoXattrMessage;
    ScopedTimeZone zone("UTC");
    const auto littleEndian = [](std::uint64_t value, std::size_t size) {
        std::string out;
        for (std::size_t i = 0; i < size; ++i)
            out += static_cast<char>(value >> (8 * i) & 0xFF);
        return out;
    };
    const auto ntTime = [](std::time_t time) {
        return static_cast<std::uint64_t>(time) * 10000000ULL + 116444736000000000ULL;
    };
    const auto samba = [&](std::uint32_t valid, std::uint32_t bits, std::time_t created) {
        return std::string("\0\0\5\0\5\0\0\0", 8) + littleEndian(valid, 4) + littleEndian(bits, 4) +
               littleEndian(ntTime(created), 8);
    };
    const std::time_t in2012 = TempWorkstation::localTime(2012, 3, 4, 10, 20, 30);
    const std::time_t in2009 = TempWorkstation::localTime(2009, 6, 7, 8, 9, 10);
    const std::uint32_t stamp2012 = static_cast<std::uint32_t>(dosdate::packDate(2012, 3, 4)) << 16 |
                                    dosdate::packTime(10, 20, 30);
    const std::uint32_t stamp2009 = static_cast<std::uint32_t>(dosdate::packDate(2009, 6, 7)) << 16 |
                                    dosdate::packTime(8, 9, 10);
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, std::string>> values;
        std::uint32_t attributes;
        std::optional<std::uint32_t> created;  // none: the host's own
    };
    const Case cases[] = {
        {"ours.txt",
         {{"user.nw.attributes", "36"}, {"user.nw.created", "1999-12-31"}, {"user.DOSATTRIB", samba(0x11, 6, in2012)}},
         0x24, static_cast<std::uint32_t>(dosdate::packDate(1999, 12, 31)) << 16},
        {"samba.txt",
         {{"user.DOSATTRIB", samba(0x11, 0x826, in2012)}, {"user.cifs.dosattrib", littleEndian(1, 4)}},
         nwattr::Hidden | nwattr::System | nwattr::ArchiveNeeded | nwattr::Compressed, stamp2012},
        {"client.txt",
         {{"user.DOSATTRIB", samba(0x10, 6, in2012)},
          {"user.cifs.dosattrib", littleEndian(0x1001, 4)},
          {"user.cifs.creationtime", littleEndian(ntTime(in2009), 8)}},
         nwattr::ReadOnly | nwattr::Migrated, stamp2012},
        {"badsamba.txt",
         {{"user.DOSATTRIB", std::string("0xZZ\0\0\5\0\5\0\0\0", 12) + littleEndian(0x11, 4) + littleEndian(6, 4)},
          {"user.cifs.dosattrib", littleEndian(2, 4)},
          {"user.cifs.creationtime", littleEndian(ntTime(in2009), 8)}},
         nwattr::Hidden, stamp2009},
        {"guessed.txt", {{"user.DOSATTRIB", samba(0x11, 6, in2012).substr(0, 20)}}, nwattr::ReadOnly, std::nullopt},
    };
    for (const Case& c : cases) {
        const std::string file = ws.makeFile(sys + "/" + c.name);
        for (const auto& [attribute, value] : c.values)
            ASSERT_TRUE(ws.setXattr(file, attribute, value)) << c.name << " " << attribute;
        ws.setMode(file, 0444);  // read-only only where nothing else says
    }
    load();
    for (const Case& c : cases) {
        ExtendedInfoRecord info{};
        ASSERT_EQ(extendedInfo("SYS:", ascii::toUpper(c.name), info), nw::kSuccess) << c.name;
        EXPECT_EQ(info.attributes, c.attributes) << c.name;
        if (c.created)
            EXPECT_EQ(info.creationDateAndTime, *c.created) << c.name;
        else
            EXPECT_NE(info.creationDateAndTime >> 16, dosdate::packDate(2012, 3, 4)) << c.name;
    }
}

TEST_F(ClientFiles, OwnersFallBackToTheHostUser)
{
    ws.makeFile(sys + "/mine.txt");
    load();
    FileInfoRecord info{};
    ASSERT_EQ(fileInfo("SYS:mine.txt", info), nw::kSuccess);
    EXPECT_EQ(info.ownerId, static_cast<std::uint32_t>(::getuid()));
}

TEST_F(ClientFiles, ExtendedRecordHoldsTheShortNameAndTheFileFacts)
{
    ScopedTimeZone zone("UTC");
    const std::string file = ws.makeFile(sys + "/Long Folder Name/Annual Budget.xlsx", 777);
    ws.setTimes(file, TempWorkstation::localTime(2020, 2, 29), TempWorkstation::localTime(2020, 3, 1, 13, 14, 16));
    load();
    ExtendedInfoRecord info{};
    ASSERT_EQ(extendedInfo("SYS:LONG FOLDER NAME", "ANNUAL~1.XLS", info), nw::kSuccess);
    EXPECT_EQ(info.nameLength, 12u);
    EXPECT_EQ(std::string(info.name, info.nameLength), "ANNUAL~1.XLS");
    EXPECT_EQ(info.nameSpace, nw::kDosNameSpace);
    EXPECT_EQ(info.fileSize, 777u);
    EXPECT_EQ(info.lastAccessDate, dosdate::packDate(2020, 2, 29));
    EXPECT_EQ(info.updatedDateAndTime,
              static_cast<std::uint32_t>(dosdate::packDate(2020, 3, 1)) << 16 | dosdate::packTime(13, 14, 16));
    EXPECT_EQ(info.ownerId, static_cast<std::uint32_t>(::getuid()));

    // The walker falls back to the listing's own name; that is found too.
    ASSERT_EQ(extendedInfo("SYS:Long Folder Name", "Annual Budget.xlsx", info), nw::kSuccess);
    EXPECT_EQ(std::string(info.name, info.nameLength), "ANNUAL~1.XLS");
    EXPECT_EQ(extendedInfo("SYS:Long Folder Name", "NOSUCH~1.XLS", info), nw::kErrNoSuchFile);
}

TEST_F(ClientFiles, ShortNamesAndNameSpacePaths)
{
    ws.makeFile(sys + "/Long Folder Name/Quarterly Report.xlsx");
    ws.makeFile(sys + "/Long Folder Name/Quarterly Review.xlsx");
    ws.makeFile(sys + "/Long Folder Name/readme.txt");
    ws.makeFile(sys + "/Long Folder Name/.profile");
    load();

    EXPECT_EQ(dosPath("SYS:LONG FOLDER NAME\\QUARTERLY REPORT.XLSX"), "SYS:LONGFO~1\\QUARTE~1.XLS");
    EXPECT_EQ(dosPath("SYS:Long Folder Name\\Quarterly Review.xlsx"), "SYS:LONGFO~1\\QUARTE~2.XLS");
    EXPECT_EQ(dosPath("SYS:LONG FOLDER NAME\\README.TXT"), "SYS:LONGFO~1\\README.TXT");
    EXPECT_EQ(dosPath("SYS:"), "SYS:");
    EXPECT_EQ(shortName("SYS:LONG FOLDER NAME\\.PROFILE"), "PROFIL~1");
    EXPECT_EQ(shortName("SYS:LONG FOLDER NAME\\readme.txt"), "README.TXT");

    // Back from name space 0 to the long names, as the host spells them.
    char result[512];
    NwNsPath path{"SYS:LONGFO~1\\QUARTE~2.XLS", result, sizeof result};
    ASSERT_EQ(client->NWGetNSPath(1, 0, 1, nw::kDosNameSpace, nw::kLongNameSpace, &path), nw::kSuccess);
    EXPECT_STREQ(result, "SYS:Long Folder Name\\Quarterly Review.xlsx");
    char longName[256];
    ASSERT_EQ(client->NWGetLongName(1, 0, "SYS:LONGFO~1\\QUARTE~1.XLS", nw::kDosNameSpace, nw::kLongNameSpace,
                                    longName),
              nw::kSuccess);
    EXPECT_STREQ(longName, "Quarterly Report.xlsx");

    std::uint8_t nameSpace = 99;
    EXPECT_EQ(client->NWGetOwningNameSpace(1, 0, "SYS:LONG FOLDER NAME\\README.TXT", &nameSpace), nw::kSuccess);
    EXPECT_EQ(nameSpace, nw::kLongNameSpace);
    EXPECT_EQ(client->NWGetOwningNameSpace(1, 0, "SYS:LONG FOLDER NAME\\GONE.TXT", &nameSpace), nw::kErrNoSuchFile);

    NWCCODE code = 0;
    EXPECT_EQ(dosPath("SYS:Long Folder Name\\gone.txt", &code), "");
    EXPECT_EQ(code, nw::kErrNoSuchFile);
    // Name spaces the volumes do not carry answer the code the walker takes as "keep your own name".
    NwNsPath mac{"SYS:LONG FOLDER NAME\\README.TXT", result, sizeof result};
    EXPECT_EQ(client->NWGetNSPath(1, 0, 1, nw::kLongNameSpace, 1, &mac), nw::kInvalidNameSpace);
    EXPECT_EQ(client->NWGetLongName(1, 0, "SYS:LONG FOLDER NAME\\README.TXT", 4, 2, longName), nw::kInvalidNameSpace);
    // A result that does not fit the caller's buffer is refused, not cut.
    char tiny[10];
    NwNsPath small{"SYS:LONG FOLDER NAME\\README.TXT", tiny, sizeof tiny};
    EXPECT_EQ(client->NWGetNSPath(1, 0, 1, nw::kLongNameSpace, nw::kDosNameSpace, &small), nw::kErrBufferTooSmall);
}

TEST_F(ClientFiles, ShortNamesAreStableAndUniqueInTheirFolder)
{
    const std::vector<std::string> names = {"Report 2024.txt", "REPORT~1.TXT", "report 2023.txt", "a.txt", "A.TXT"};
    for (const std::string& name : names)
        ws.makeFile(sys + "/Mixed/" + name);
    load();
    std::vector<std::string> first;
    for (const std::string& name : names)
        first.push_back(shortName("SYS:Mixed\\" + name));
    // The 8.3 name keeps its own; the others get free numbers; of two names
    // that differ only in case, the first by bytes keeps the name.
    EXPECT_EQ(first, (std::vector<std::string>{"REPORT~2.TXT", "REPORT~1.TXT", "REPORT~3.TXT", "A~1.TXT", "A.TXT"}));
    // In other capitals a name finds the one it folds to (of two, the first
    // by bytes) before any short name; a short name in any capitals finds its
    // file; the folder itself too.
    const std::pair<const char*, const char*> lookups[] = {
        {"mixed\\a.TXT", "A.TXT"},
        {"MIXED\\report 2024.TXT", "REPORT~2.TXT"},
        {"Mixed\\report~1.txt", "REPORT~1.TXT"},
        {"mIxEd\\a~1.txt", "A~1.TXT"},
        {"MIXED\\Report~3.Txt", "REPORT~3.TXT"},
        {"mixed", "MIXED"},
    };
    for (const auto& [asked, expected] : lookups)
        EXPECT_EQ(shortName(std::string("SYS:") + asked), expected) << asked;
    char missing[256] = "";
    EXPECT_EQ(client->NWGetLongName(1, 0, "SYS:MIXED\\REPORT~4.TXT", nw::kLongNameSpace, nw::kDosNameSpace, missing),
              nw::kErrNoSuchFile);

    auto again = ws.load();
    ASSERT_TRUE(again);
    for (std::size_t i = 0; i < names.size(); ++i) {
        char name[256];
        ASSERT_EQ(again->NWGetLongName(1, 0, ("SYS:Mixed\\" + names[i]).c_str(), 4, 0, name), nw::kSuccess);
        EXPECT_EQ(name, first[i]) << names[i];
    }
}

// In a scan each folder is listed once and kept, whatever changes on the
// host meanwhile; outside a scan every call lists afresh.
TEST_F(ClientFiles, FindingByShortNameListsEachFolderOnceAScan)
{
    const int kFiles = 60;
    for (int i = 0; i < kFiles; ++i)
        ws.makeFile(sys + "/Shared Documents/Meeting notes number " + std::to_string(i) + ".docx");
    load();
    // The walker's sequence for each file, in capitals.
    const auto walkerSteps = [&] {
        for (int i = 0; i < kFiles; ++i) {
            const std::string volumePath = "SYS:SHARED DOCUMENTS\\MEETING NOTES NUMBER " + std::to_string(i) +
                                           ".DOCX";
            std::uint8_t nameSpace = 0;
            ASSERT_EQ(client->NWGetOwningNameSpace(1, 0, volumePath.c_str(), &nameSpace), nw::kSuccess);
            ASSERT_FALSE(dosPath(volumePath).empty());
            const std::string name = shortName(volumePath);
            ExtendedInfoRecord info{};
            ASSERT_EQ(extendedInfo("SYS:Shared Documents", name, info), nw::kSuccess) << name;
            EXPECT_EQ(std::string(info.name, info.nameLength), name);
        }
    };
    const std::string first = "SYS:SHARED DOCUMENTS\\MEETING NOTES NUMBER 0.DOCX";
    const std::string added = "SYS:SHARED DOCUMENTS\\MEETING NOTES ADDENDUM.DOCX";

    client->beginScan();
    const std::uint64_t before = client->folderListings();
    walkerSteps();
    // The volume root and the folder, once each.
    EXPECT_EQ(client->folderListings() - before, 2u);
    // A file added to the folder during the scan: the scan keeps the short
    // names it listed.
    ws.makeFile(sys + "/Shared Documents/Meeting notes addendum.docx");
    EXPECT_EQ(shortName(first), "MEETIN~1.DOC");
    EXPECT_EQ(client->folderListings() - before, 2u);
    client->endScan();

    // Outside a scan each call lists both folders again, and sees the file.
    const std::uint64_t outside = client->folderListings();
    EXPECT_EQ(shortName(added), "MEETIN~1.DOC");
    EXPECT_EQ(shortName(first), "MEETIN~2.DOC");
    EXPECT_EQ(client->folderListings() - outside, 4u);

    // The next scan lists each folder once again.
    client->beginScan();
    const std::uint64_t next = client->folderListings();
    walkerSteps();
    EXPECT_EQ(shortName(added), "MEETIN~1.DOC");
    EXPECT_EQ(client->folderListings() - next, 2u);
    client->endScan();
}

TEST_F(ClientFiles, TemporaryHandlesAreLimitedPerConnection)
{
    ws.makeFolder(sys + "/Public");
    ws.makeFile(sys + "/Public/file.txt");
    ws.addLine("Volumes", "FS2/DATA=" + ws.makeFolder("fs2data"));
    load();

    std::vector<NWDIR_HANDLE> handles;
    for (int i = 0; i < nw::kMaxDirectoryHandles; ++i) {
        NWDIR_HANDLE handle = 0;
        ASSERT_EQ(client->NWAllocateTemporaryDirectoryHandle(1, 0, "SYS:PUBLIC", &handle, nullptr), nw::kSuccess)
            << i;
        EXPECT_NE(handle, 0);
        handles.push_back(handle);
    }
    EXPECT_EQ(client->openTemporaryHandles(1), 255);
    NWDIR_HANDLE extra = 0;
    EXPECT_EQ(client->NWAllocateTemporaryDirectoryHandle(1, 0, "SYS:PUBLIC", &extra, nullptr),
              nw::kErrNoMoreDirectoryHandles);
    // The other server has handles of its own.
    EXPECT_EQ(client->NWAllocateTemporaryDirectoryHandle(2, 0, "DATA:", &extra, nullptr), nw::kSuccess);
    EXPECT_EQ(client->openTemporaryHandles(2), 1);

    EXPECT_EQ(client->NWDeallocateDirectoryHandle(1, handles[10]), nw::kSuccess);
    EXPECT_EQ(client->openTemporaryHandles(1), 254);
    EXPECT_EQ(client->NWDeallocateDirectoryHandle(1, handles[10]), nw::kErrBadDirectoryHandle);
    EXPECT_EQ(client->NWDeallocateDirectoryHandle(1, 0), nw::kErrBadDirectoryHandle);
    EXPECT_EQ(client->NWDeallocateDirectoryHandle(7, handles[0]), nw::kErrInvalidConnection);
    NWDIR_HANDLE reused = 0;
    ASSERT_EQ(client->NWAllocateTemporaryDirectoryHandle(1, 0, "SYS:PUBLIC", &reused, nullptr), nw::kSuccess);
    EXPECT_EQ(reused, handles[10]);
    // A released handle no longer reads.
    ASSERT_EQ(client->NWDeallocateDirectoryHandle(1, reused), nw::kSuccess);
    std::uint32_t sequence = 0xFFFFFFFF;
    ExtendedInfoRecord info{};
    EXPECT_EQ(client->NWIntScanExtendedInfo(1, reused, 6, &sequence, "FILE.TXT", &info, 0),
              nw::kErrBadDirectoryHandle);
    EXPECT_EQ(client->NWIntScanExtendedInfo(1, handles[0], 6, &sequence, "FILE.TXT", &info, 0), nw::kSuccess);
    for (NWDIR_HANDLE handle : handles) {
        if (handle != handles[10]) {
            EXPECT_EQ(client->NWDeallocateDirectoryHandle(1, handle), nw::kSuccess);
        }
    }
    EXPECT_EQ(client->openTemporaryHandles(1), 0);
}

TEST_F(ClientFiles, TemporaryHandlesNeedAFolder)
{
    ws.makeFile(sys + "/file.txt");
    ws.makeFolder(sys + "/Sub Folder/Deeper");
    load();
    NWDIR_HANDLE handle = 0;
    std::uint8_t rights = 0;
    EXPECT_EQ(client->NWAllocateTemporaryDirectoryHandle(1, 0, "SYS:file.txt", &handle, nullptr),
              nw::kErrInvalidPath);
    EXPECT_EQ(client->NWAllocateTemporaryDirectoryHandle(1, 0, "SYS:missing", &handle, nullptr), nw::kErrInvalidPath);
    EXPECT_EQ(client->openTemporaryHandles(1), 0);
    ASSERT_EQ(client->NWAllocateTemporaryDirectoryHandle(1, 0, "SYS:SUB FOLDER", &handle, &rights), nw::kSuccess);
    EXPECT_NE(rights, 0);
    // A path relative to a handle.
    NWDIR_HANDLE deeper = 0;
    ASSERT_EQ(client->NWAllocateTemporaryDirectoryHandle(1, handle, "DEEPER", &deeper, nullptr), nw::kSuccess);
    ws.makeFile(sys + "/Sub Folder/Deeper/inner.txt", 5);
    FileInfoRecord info{};
    std::uint8_t sequence[9];
    std::memset(sequence, 0xFF, sizeof sequence);
    ASSERT_EQ(client->NWIntScanFileInformation2(1, deeper, "inner.txt", 6, sequence, &info, 0), nw::kSuccess);
    EXPECT_EQ(info.size, 5u);
    EXPECT_EQ(client->openTemporaryHandles(1), 2);
}

TEST_F(ClientFiles, WildcardScansWalkTheFolderWithTheirSequence)
{
    for (const char* name : {"b.txt", "a.txt", "c.doc", "Long name.txt"})
        ws.makeFile(sys + "/Mix/" + name);
    ws.makeFolder(sys + "/Mix/folder.txt");
    load();
    NWDIR_HANDLE handle = 0;
    ASSERT_EQ(client->NWAllocateTemporaryDirectoryHandle(1, 0, "SYS:MIX", &handle, nullptr), nw::kSuccess);
    std::vector<std::string> found;
    std::uint32_t sequence = 0xFFFFFFFF;
    ExtendedInfoRecord info{};
    while (client->NWIntScanExtendedInfo(1, handle, 6, &sequence, "*.TXT", &info, 0) == nw::kSuccess) {
        found.emplace_back(info.name, info.nameLength);
        ASSERT_LT(found.size(), 10u);
    }
    EXPECT_EQ(found, (std::vector<std::string>{"LONGNA~1.TXT", "A.TXT", "B.TXT"}));

    std::vector<std::string> names;
    std::uint8_t position[9];
    std::memset(position, 0xFF, sizeof position);
    FileInfoRecord file{};
    while (client->NWIntScanFileInformation2(1, 0, "SYS:MIX\\*.txt", 0x16, position, &file, 0) == nw::kSuccess) {
        names.emplace_back(file.name);
        ASSERT_LT(names.size(), 10u);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Long name.txt", "a.txt", "b.txt", "folder.txt"}));
}

}  // namespace

namespace {

template <typename T>
T readAt(const void* record, std::size_t offset)
{
    T value{};
    std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof value);
    return value;
}

TEST(ClientRecords, FieldsStandAtTheClientsByteOffsets)
{
    TempWorkstation ws;
    const std::string sys = ws.addVolume("FS1", "SYS");
    const std::string file = ws.makeFile(sys + "/.layout", 0x01020304);
    ws.addLine("Owners", std::to_string(::getuid()) + "=0xA1B2C3D4");
    auto client = ws.load();
    ASSERT_TRUE(client) << ws.lastError();

    FileInfoRecord info{};
    std::uint8_t sequence[9];
    std::memset(sequence, 0xFF, sizeof sequence);
    ASSERT_EQ(client->NWIntScanFileInformation2(1, 0, "SYS:.layout", 6, sequence, &info, 0), nw::kSuccess);
    EXPECT_EQ(readAt<std::uint8_t>(&info, 0), platform::kAttrHidden);
    EXPECT_EQ(readAt<std::uint32_t>(&info, 4), 0x01020304u);
    EXPECT_EQ(readAt<std::uint32_t>(&info, 16), 0xA1B2C3D4u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&info) + 24), ".layout");

    NWDIR_HANDLE handle = 0;
    ASSERT_EQ(client->NWAllocateTemporaryDirectoryHandle(1, 0, "SYS:", &handle, nullptr), nw::kSuccess);
    std::uint32_t position = 0xFFFFFFFF;
    ExtendedInfoRecord extended{};
    ASSERT_EQ(client->NWIntScanExtendedInfo(1, handle, 6, &position, ".LAYOUT", &extended, 0), nw::kSuccess);
    EXPECT_EQ(readAt<std::uint32_t>(&extended, 8), platform::kAttrHidden);

    ConnectionInfoRecord connection{};
    ASSERT_EQ(client->NWGetConnectionInformation(1, 1, &connection), nw::kSuccess);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&connection) + 56), "FS1");
}

}  // namespace
