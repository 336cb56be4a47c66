// One folder of 100,000 files, scanned for real: every file found and counted
// once, every one a row of the results list and a line of the output file,
// and the scan ends. The time it takes is reported, not judged (speed is the
// benchmark's business).

#include <fcntl.h>
#include <unistd.h>

#include <QElapsedTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/gui_scanfixture.h"

namespace {

constexpr int kFiles = 100000;

class LargeFolder : public ScanFixture {};

std::string fileName(int i)
{
    char name[16];
    std::snprintf(name, sizeof name, "f%06d.dat", i);
    return name;
}

TEST_F(LargeFolder, HundredThousandFilesInOneFolder)
{
    // On a memory file system where there is one: on a disk shared with other
    // work, making 100,000 files takes most of a minute, scanning them seconds.
    std::string folder = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : ws.root()) + "/trawl-big-XXXXXX";
    ASSERT_NE(::mkdtemp(folder.data()), nullptr) << std::strerror(errno);
    struct Cleanup {
        std::string folder;
        ~Cleanup()
        {
            std::error_code error;
            std::filesystem::remove_all(folder, error);
        }
    } cleanup{folder};
    ws.addLine("Volumes", "FS1/BIG=" + folder);
    ws.mapDrive('G', "FS1/BIG:");

    QElapsedTimer made;
    made.start();
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folderFd, 0) << std::strerror(errno);
    for (int i = 0; i < kFiles; ++i) {
        const int fd = ::openat(folderFd, fileName(i).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0)
            ::close(folderFd);
        ASSERT_GE(fd, 0) << fileName(i) << ": " << std::strerror(errno);
        ::close(fd);
    }
    ::close(folderFd);
    ws.makeFile(folder + "/zend/last.txt", 3);  // the walk goes on past the big folder's files
    std::printf("[ TIMING   ] %d files made in %lld ms\n", kFiles, static_cast<long long>(made.elapsed()));
    startWindow("G:\\");
    const std::string out = ws.root() + "/out.txt";
    w->chkOutputResults->click();
    w->txtOutputFilename->setText(QString::fromStdString(out));
    w->chkOutputFullPath->setChecked(true);

    QElapsedTimer timer;
    timer.start();
    clickStart();
    const qint64 elapsed = timer.elapsed();
    RecordProperty("scan_ms", static_cast<int>(elapsed));
    std::printf("[ TIMING   ] %d files scanned in %lld ms\n", kFiles + 1, static_cast<long long>(elapsed));

    EXPECT_FALSE(w->scanProgress.Running);
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(status(), (std::array<std::string, 5>{"G:\\zend\\last.txt", std::to_string(kFiles + 1), "1",
                                                    std::to_string(kFiles + 1), "3"}));
    ASSERT_EQ(w->resultsModel->rowCount(), kFiles + 1);
    // In listing order, each file once: every row checked, not a sample.
    for (int i = 0; i < kFiles; ++i) {
        ASSERT_EQ(w->resultsModel->text(i, 0).toStdString(), fileName(i)) << "row " << i;
        ASSERT_EQ(w->resultsModel->text(i, 3).toStdString(), "G:\\" + fileName(i)) << "row " << i;
    }
    EXPECT_EQ(w->resultsModel->text(kFiles, 3).toStdString(), "G:\\zend\\last.txt");

    std::ifstream in(out, std::ios::binary);
    std::string line;
    int lines = 0;
    while (std::getline(in, line)) {
        const std::string expected = (lines < kFiles ? "G:\\" + fileName(lines) : std::string("G:\\zend\\last.txt")) +
                                     "\r";
        ASSERT_EQ(line, expected) << "line " << lines;
        ++lines;
    }
    EXPECT_EQ(lines, kFiles + 1);
}

}  // namespace
