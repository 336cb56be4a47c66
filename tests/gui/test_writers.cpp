// The output file as the window writes it during a scan.
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
        window.scanCriteria.OutputToFile = 1;
        window.scanCriteria.OutputFileName = path;
        window.scanCriteria.Separator = ',';
        window.scanCriteria.ServerName = "FS1";
    }

    // A scan as the scan run frames it: open, headings when on, the matches,
    // close with its failure reported.
    void scan(std::initializer_list<const char*> names, bool append = false)
    {
        int error = 0;
        window.outputErrorReported = false;
        window.scanProgress.OutputFile = OutputStream::open(window.scanCriteria.OutputFileName, append, &error);
        ASSERT_TRUE(window.scanProgress.OutputFile) << "error " << error;
        if (window.scanCriteria.HeadingsOn)
            window.WriteHeadings();
        for (const char* name : names)
            window.RecordMatch(folderText, name, info.size, "ADMIN", folderText + "\\" + name, info, extended);
        if (const int closeError = window.scanProgress.OutputFile->close())
            window.ReportOutputWriteError(closeError);
        window.scanProgress.OutputFile.reset();
    }

    std::string fileText() const
    {
        std::ostringstream text;
        text << std::ifstream(path, std::ios::binary).rdbuf();
        return text.str();
    }

    QTemporaryDir folder;
    const std::string path = folder.filePath("out.txt").toStdString();
    std::string folderText = "F:\\DATA";
    NiceMock<MockNwClient> client;
    ScopedNwClient installed{&client};
    Tfrmmain window;
    FileInfoRecord info{};
    ExtendedInfoRecord extended{};
};

TEST_F(OutputWriters, RecordsTakeDatesAndSizeFromTheClient)
{
    ScanCriteria& c = window.scanCriteria;
    c.HeadingsOn = c.QuoteValues = 1;
    c.OutServer = c.OutFullPath = c.OutSize = c.OutOwner = c.OutAccessed = c.OutModified = c.OutCreation = 1;
    c.OutAttributes = 1;
    info.size = 0xC0000000u;  // 3 GiB
    info.creationDate = 0x4444;
    info.lastAccessDate = 0x1111;
    info.lastUpdateDateAndTime = 0x2222;
    extended.attributes = nwattr::ReadOnly | nwattr::Hidden | nwattr::Compressed;
    EXPECT_CALL(client, NWUnpackDate(0x1111, _)).WillOnce(DoAll(SetArgPointee<1>(DateRecord{7, 3, 2001}), Return(0)));
    EXPECT_CALL(client, NWUnpackDate(0x4444, _)).WillOnce(DoAll(SetArgPointee<1>(DateRecord{9, 1, 1995}), Return(0)));
    EXPECT_CALL(client, NWUnpackDateTime(0x2222u, _, _))
        .WillOnce(DoAll(SetArgPointee<1>(DateRecord{1, 12, 2000}), Return(0)));
    folderText = "F:\\";
    scan({"DISK.IMG"});
    EXPECT_EQ(fileText(), "\"Server\",\"Path\",\"Size\",\"Owner\",\"Accessed\",\"Modified\",\"Created\","
                          "\"Attributes\"\r\n"
                          "\"FS1\",\"F:\\DISK.IMG\",\"3221225472\",\"ADMIN\",\"3/7/2001\",\"12/1/2000\",\"1/9/1995\","
                          "\"[RoH------------------Co--]\"\r\n");
}

TEST_F(OutputWriters, DatesNotWrittenAreNotUnpacked)
{
    window.scanCriteria.OutAccessed = 1;
    EXPECT_CALL(client, NWUnpackDate(_, _)).Times(2);
    EXPECT_CALL(client, NWUnpackDateTime(_, _, _)).Times(0);
    scan({"A.TXT", "B.TXT"});
    // The mock fills nothing: a record without a calendar date is an empty field.
    EXPECT_EQ(fileText(), "\r\n\r\n");
}

TEST_F(OutputWriters, AppendedScansRepeatTheHeadings)
{
    window.scanCriteria.OutFileName = window.scanCriteria.HeadingsOn = 1;
    scan({"ONE.TXT"}, true);
    scan({"TWO.TXT", "THREE.TXT"}, true);
    EXPECT_EQ(fileText(), "Filename\r\nONE.TXT\r\nFilename\r\nTWO.TXT\r\nTHREE.TXT\r\n");
    scan({"FOUR.TXT"}, false);
    EXPECT_EQ(fileText(), "Filename\r\nFOUR.TXT\r\n");
}

TEST_F(OutputWriters, CommandFileTakesThePlaceOfRecords)
{
    ScanCriteria& c = window.scanCriteria;
    c.CommandFileOn = c.HeadingsOn = 1;
    c.CommandText = "copy !1 X:\\SAVE\r\necho !2!";
    scan({"REPORT.TXT", "B.TXT"});
    EXPECT_EQ(fileText(), "\r\ncopy F:\\DATA\\REPORT.TXT X:\\SAVE\r\necho REPORT.TXT\r\n"
                          "copy F:\\DATA\\B.TXT X:\\SAVE\r\necho B.TXT\r\n");

    // Headings follow the field boxes even in a command file.
    c.OutFileName = c.QuoteValues = 1;
    c.CommandText = "del !1";
    folderText = "F:\\";
    scan({"ROOT.TXT"});
    EXPECT_EQ(fileText(), "\"Filename\"\r\ndel F:\\ROOT.TXT\r\n");
}

TEST_F(OutputWriters, FullDiskGivesOneErrorRowPerScan)
{
    if (access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full here";
    window.scanCriteria.OutputFileName = "/dev/full";
    window.scanCriteria.OutFullPath = 1;
    folderText = "F:\\" + std::string(300, 'D');
    auto writeErrorRows = [this] {
        window.errorsModel->flush();
        return window.errorsModel->rowCount();
    };

    // Far more than the stream buffers: writes fail while the scan runs, and
    // the scan goes on listing matches.
    int error = 0;
    window.outputErrorReported = false;
    window.scanProgress.OutputFile = OutputStream::open("/dev/full", false, &error);
    for (int i = 0; i < 1000; ++i)
        window.RecordMatch(folderText, "F.TXT", 1, "ADMIN", folderText + "\\F.TXT", info, extended);
    EXPECT_EQ(writeErrorRows(), 1) << "reported during the scan";
    EXPECT_NE(window.scanProgress.OutputFile->close(), 0);
    window.ReportOutputWriteError(ENOSPC);  // the scan run's report of the failed close
    EXPECT_EQ(writeErrorRows(), 1);
    EXPECT_EQ(window.scanProgress.MatchingFiles, 1000);
    EXPECT_EQ(window.errorsModel->text(0, 0), "/dev/full");
    EXPECT_EQ(window.errorsModel->text(0, 1), "0");
    EXPECT_EQ(window.errorsModel->text(0, 2), "Unable to write output file Code : 1c");

    // A small scan fails only at its close; the next scan has its own row.
    folderText = "F:\\DATA";
    scan({"A.TXT"});
    EXPECT_EQ(writeErrorRows(), 2);
}

}  // namespace
