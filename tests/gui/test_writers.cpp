// The output file as the window writes it during a scan: headings, records,
// command lines, and what happens when the file cannot be written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "app/tfrmmain.h"
#include "output/qt_listmodels.h"
#include "support/core_mocknwclient.h"

namespace {

using ::testing::_;
using ::testing::DoAll;
using ::testing::NiceMock;
using ::testing::Return;
using ::testing::SetArgPointee;

class OutputWriters : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        path = folder.filePath("out.txt").toStdString();
        window.scanCriteria.OutputToFile = 1;
        window.scanCriteria.OutputFileName = path;
        window.scanCriteria.Separator = ',';
        window.scanCriteria.ServerName = "FS1";
    }

    // What the scan run does at the start of a scan.
    void openOutput(bool append = false, const std::string& file = {})
    {
        int error = 0;
        window.outputErrorReported = false;
        window.scanProgress.OutputFile = OutputStream::open(file.empty() ? path : file, append, &error);
        ASSERT_TRUE(window.scanProgress.OutputFile) << "error " << error;
    }

    // What the scan run does at its end, the failure report included.
    void closeOutput()
    {
        const int error = window.scanProgress.OutputFile->close();
        window.scanProgress.OutputFile.reset();
        if (error != 0)
            window.ReportOutputWriteError(error);
    }

    std::string fileText()
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    void match(const std::string& folder, const std::string& name, std::uint32_t size = 1234,
               const std::string& owner = "JSMITH.SALES.ACME")
    {
        info.size = size;
        window.RecordMatch(folder, name, size, owner, folder + "\\" + name, info, extended);
    }

    QTemporaryDir folder;
    std::string path;
    NiceMock<MockNwClient> client;
    ScopedNwClient installed{&client};
    Tfrmmain window;
    FileInfoRecord info{};
    ExtendedInfoRecord extended{};
};

TEST_F(OutputWriters, HeadingsThenOneRecordPerMatch)
{
    window.scanCriteria.OutSize = 1;
    window.scanCriteria.OutOwner = 1;
    window.scanCriteria.HeadingsOn = 1;
    openOutput();
    window.WriteHeadings();
    match("F:\\DATA", "A.TXT", 10, "ADMIN");
    match("F:\\DATA", "B.TXT", 20, "(unknown)");
    closeOutput();
    EXPECT_EQ(fileText(), "Size,Owner\r\n10,ADMIN\r\n20,(unknown)\r\n");

    window.scanCriteria.QuoteValues = 1;
    window.scanCriteria.Separator = '\t';
    openOutput();
    window.WriteHeadings();
    match("F:\\DATA", "A.TXT", 10, "ADMIN");
    closeOutput();
    EXPECT_EQ(fileText(), "\"Size\"\t\"Owner\"\r\n\"10\"\t\"ADMIN\"\r\n");
}

TEST_F(OutputWriters, RecordTakesSizeFromTheClientRecordUnsigned)
{
    window.scanCriteria.OutFullPath = 1;
    window.scanCriteria.OutSize = 1;
    openOutput();
    info.size = 0xC0000000u;  // 3 GiB
    window.RecordMatch("F:\\", "DISK.IMG", 3221225472ull, "ADMIN", "F:\\DISK.IMG", info, extended);
    closeOutput();
    EXPECT_EQ(fileText(), "F:\\DISK.IMG,3221225472\r\n");
}

TEST_F(OutputWriters, EveryFieldWithDatesFromTheClient)
{
    ScanCriteria& c = window.scanCriteria;
    c.OutServer = c.OutFullPath = c.OutFileName = c.OutExtension = c.OutSize = c.OutOwner = 1;
    c.OutAccessed = c.OutModified = c.OutCreation = c.OutAttributes = 1;
    c.Separator = ';';
    info.lastAccessDate = 0x1111;
    info.lastUpdateDateAndTime = 0x22223333;
    info.creationDate = 0x4444;
    extended.attributes = nwattr::ReadOnly | nwattr::Hidden | nwattr::Compressed;
    EXPECT_CALL(client, NWUnpackDate(0x1111, _))
        .WillOnce(DoAll(SetArgPointee<1>(DateRecord{7, 3, 2001}), Return(0)));
    EXPECT_CALL(client, NWUnpackDate(0x4444, _))
        .WillOnce(DoAll(SetArgPointee<1>(DateRecord{25, 12, 1995}), Return(0)));
    EXPECT_CALL(client, NWUnpackDateTime(0x22223333u, _, _))
        .WillOnce(DoAll(SetArgPointee<1>(DateRecord{1, 2, 2000}), SetArgPointee<2>(TimeRecord{5, 4, 3}), Return(0)));

    openOutput();
    window.WriteHeadings();
    window.RecordMatch("F:\\DATA", "archive.tar.gz", 99, "ADMIN", "F:\\DATA\\archive.tar.gz", info, extended);
    closeOutput();
    EXPECT_EQ(fileText(), "Server;Path;Filename;Extension;Size;Owner;Accessed;Modified;Created;Attributes\r\n"
                          "FS1;F:\\DATA\\archive.tar.gz;archive.tar.gz;gz;0;ADMIN;3/7/2001;2/1/2000;12/25/1995;"
                          "[RoH------------------Co--]\r\n");
}

TEST_F(OutputWriters, DatesNotWrittenAreNotUnpacked)
{
    window.scanCriteria.OutAccessed = 1;
    EXPECT_CALL(client, NWUnpackDate(_, _)).Times(1);
    EXPECT_CALL(client, NWUnpackDateTime(_, _, _)).Times(0);
    openOutput();
    match("F:\\DATA", "A.TXT");
    closeOutput();
    // The mock leaves the record as it was: an unfilled date is written as zeros.
    EXPECT_EQ(fileText(), "0/0/0\r\n");
}

TEST_F(OutputWriters, AppendedScansRepeatTheHeadings)
{
    window.scanCriteria.OutFileName = 1;
    window.scanCriteria.HeadingsOn = 1;
    for (const char* name : {"ONE.TXT", "TWO.TXT"}) {
        openOutput(true);
        window.WriteHeadings();
        match("F:\\DATA", name);
        closeOutput();
    }
    EXPECT_EQ(fileText(), "Filename\r\nONE.TXT\r\nFilename\r\nTWO.TXT\r\n");

    // Without append the file starts over.
    openOutput(false);
    window.WriteHeadings();
    closeOutput();
    EXPECT_EQ(fileText(), "Filename\r\n");
}

TEST_F(OutputWriters, CommandFileExpandsTheTemplatePerMatch)
{
    struct Case {
        const char* commandTemplate;
        const char* folder;
        const char* name;
        const char* expected;
    };
    const Case cases[]{
        {"copy !1 X:\\SAVE", "F:\\DATA", "REPORT.TXT", "copy F:\\DATA\\REPORT.TXT X:\\SAVE\r\n"},
        {"echo !2", "F:\\", "ROOT.TXT", "echo ROOT.TXT\r\n"},
        {"del !1", "F:\\", "ROOT.TXT", "del F:\\ROOT.TXT\r\n"},
        {"100!!", "F:\\", "A", "100!\r\n"},
        {"!x", "F:\\", "A", "x\r\n"},
        {"attrib -r !1\r\ndel !1", "G:\\P", "f.c", "attrib -r G:\\P\\f.c\r\ndel G:\\P\\f.c\r\n"},
        {"del !1\r\n", "G:\\P", "f.c", "del G:\\P\\f.c\r\n\r\n"},
        {"echo wow!", "G:\\P", "f.c", "echo wow\r\n"},
    };
    window.scanCriteria.CommandFileOn = 1;
    // Field switches play no part in command lines.
    window.scanCriteria.OutSize = 1;
    for (const Case& c : cases) {
        window.scanCriteria.CommandText = c.commandTemplate;
        openOutput();
        match(c.folder, c.name);
        closeOutput();
        const std::string text = fileText();
        EXPECT_EQ(text, c.expected) << "template " << c.commandTemplate;
        EXPECT_EQ(text.find('\0'), std::string::npos) << "template " << c.commandTemplate;
    }
}

TEST_F(OutputWriters, CommandFileHeadingsLine)
{
    window.scanCriteria.CommandFileOn = 1;
    window.scanCriteria.HeadingsOn = 1;
    window.scanCriteria.CommandText = "echo !2";
    openOutput();
    window.WriteHeadings();
    match("F:\\DATA", "A.TXT");
    match("F:\\DATA", "B.TXT");
    closeOutput();
    EXPECT_EQ(fileText(), "\r\necho A.TXT\r\necho B.TXT\r\n");

    window.scanCriteria.OutFileName = 1;
    window.scanCriteria.OutOwner = 1;
    window.scanCriteria.QuoteValues = 1;
    openOutput();
    window.WriteHeadings();
    match("F:\\DATA", "A.TXT");
    closeOutput();
    EXPECT_EQ(fileText(), "\"Filename\",\"Owner\"\r\necho A.TXT\r\n");
}

class OutputToFullDisk : public OutputWriters {
protected:
    void SetUp() override
    {
        OutputWriters::SetUp();
        if (access("/dev/full", W_OK) != 0)
            GTEST_SKIP() << "no /dev/full on this machine";
        window.scanCriteria.OutputFileName = "/dev/full";
        window.scanCriteria.OutFullPath = 1;
        window.scanCriteria.OutOwner = 1;
    }

    int writeErrorRows() const
    {
        window.errorsModel->flush();
        int rows = 0;
        for (int row = 0; row < window.errorsModel->rowCount(); ++row)
            rows += window.errorsModel->text(row, 2).startsWith("Unable to write output file") ? 1 : 0;
        return rows;
    }
};

TEST_F(OutputToFullDisk, OneErrorRowPerScanAndTheScanGoesOn)
{
    openOutput(false, "/dev/full");
    window.WriteHeadings();
    // Far more than the stream buffers, so writes fail while the scan runs.
    const std::string longFolder = "F:\\" + std::string(200, 'D');
    for (int i = 0; i < 2000; ++i)
        match(longFolder, "FILE" + std::to_string(i) + ".TXT");
    EXPECT_EQ(writeErrorRows(), 1) << "the failure shows while the scan runs";
    closeOutput();

    window.resultsModel->flush();
    EXPECT_EQ(window.resultsModel->rowCount(), 2000) << "every match is still listed";
    EXPECT_EQ(window.scanProgress.MatchingFiles, 2000);
    ASSERT_EQ(writeErrorRows(), 1) << "the failed close adds no second row";
    const int row = window.errorsModel->rowCount() - 1;
    EXPECT_EQ(window.errorsModel->text(row, 0), "/dev/full");
    EXPECT_EQ(window.errorsModel->text(row, 1), "0");
    EXPECT_EQ(window.errorsModel->text(row, 2), QString("Unable to write output file Code : %1").arg(ENOSPC, 0, 16));
    EXPECT_EQ(window.errorsModel->text(row, 2), "Unable to write output file Code : 1c");

    // A small scan fails only when the file is flushed at its end: still one
    // row, and a new row for the new scan.
    openOutput(false, "/dev/full");
    match("F:\\DATA", "ONE.TXT");
    EXPECT_EQ(writeErrorRows(), 1);
    closeOutput();
    EXPECT_EQ(writeErrorRows(), 2);
}

} // namespace
