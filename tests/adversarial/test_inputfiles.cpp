// Files from outside and disks that fill up, met by the real window: settings
// files and workstation files that are huge, random or hold one enormous line,
// and an output file whose writes start failing halfway through a scan. Each
// case ends in a decided outcome the person can see (a message, an errors-list
// row), and nothing that is written is wrong.

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <functional>
#include <iostream>
#include <random>
#include <sstream>

#include "app/radiobutton.h"
#include "netclient/workstation.h"
#include "settings/profileroutines.h"
#include "support/gui_scanfixture.h"

namespace {

constexpr std::size_t kMegabyte = 1024 * 1024;

std::string readAll(const std::string& path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

void writeAll(const std::string& path, std::string_view text)
{
    std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
}

// Bytes that look like nothing, the same on every run.
std::string randomBytes(std::size_t size, std::uint64_t seed)
{
    std::mt19937_64 generator(seed);
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t word = generator();
        for (std::size_t b = 0; b < 8 && i + b < size; ++b)
            bytes[i + b] = static_cast<char>(word >> (8 * b));
    }
    return bytes;
}

using Keys = std::vector<std::pair<std::string, std::string>>;

// Settings that load and scan every *.DAT file below F:\ (days valid, nothing
// else set). A change replaces the value of its key where the key stands;
// the extra lines end the file.
std::string settingsText(const Keys& changes = {}, const std::string& extra = {})
{
    Keys keys = {{"cboDrives", "F:"},
                 {"cboPattern", "*.DAT"},
                 {"cboPath", "F:\\"},
                 {"optSizeIgnore", "1"},
                 {"txtSizeBytes", ""},
                 {"optDateIgnore", "1"},
                 {"dtpBefore", "40000"},
                 {"dtpAfter", "40000"},
                 {"dtpExact", "40000"},
                 {"optOutputSepComma", "1"},
                 {"txtOutputFilename", "found.csv"}};
    for (const auto& change : changes) {
        const auto found = std::find_if(keys.begin(), keys.end(),
                                        [&](const auto& k) { return k.first == change.first; });
        if (found != keys.end())
            found->second = change.second;
        else
            keys.push_back(change);
    }
    std::string text = "[TRAWL]\r\n";
    for (const auto& [key, value] : keys)
        text += key + "=" + value + "\r\n";
    return text + extra;
}

// A fingerprint of a file's bytes, so that a 100 MB file need not be held twice.
std::uint64_t fingerprint(std::string_view bytes)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash;
}

double secondsSince(const QElapsedTimer& timer) { return static_cast<double>(timer.elapsed()) / 1000.0; }

// --- Settings files --------------------------------------------------------------

class SettingsFiles : public ScanFixture {
protected:
    void SetUp() override
    {
        ScanFixture::SetUp();
        ws.makeFile(sys + "/A.DAT", 3);
        m_previousFolder = std::filesystem::current_path();
        // Bare and relative names must not find files beside the test executable.
        profile::setExecutableFolder(ws.root() + "/exe");
        startWindow();
    }
    void TearDown() override
    {
        ScanFixture::TearDown();
        profile::setExecutableFolder({});
        std::filesystem::current_path(m_previousFolder);
    }

private:
    std::filesystem::path m_previousFolder;
};

// Moving the folder list changes the current folder; a settings file named
// relative to the folder the load began in still gives every one of its keys.
TEST_F(SettingsFiles, ARelativeNameLoadsWholeThoughTheFolderListMoves)
{
    const std::string start = ws.makeFolder("start");
    std::filesystem::create_directories(start + "/sub");
    writeAll(start + "/sub/a.tws", settingsText({{"memCommandFileCount", "1"},
                                                 {"memCommandFile0", "echo !2"},
                                                 {"lstUsersCount", "1"},
                                                 {"lstUsers0", "JSMITH.SALES.ACME"}}));
    ws.makeFolder(sys + "/OTHER");
    ASSERT_EQ(w->DirectoryListBox1->setDirectory(QStringLiteral("F:\\OTHER")), 0);
    std::filesystem::current_path(start);
    ASSERT_TRUE(w->LoadSettings(QStringLiteral("sub/a.tws"))) << ui.messageTexts().front().toStdString();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(w->DirectoryListBox1->directory(), QStringLiteral("F:\\"));
    EXPECT_EQ(w->txtOutputFilename->text(), QStringLiteral("found.csv"));
    EXPECT_EQ(w->memCommandFile->toPlainText(), QStringLiteral("echo !2"));
    ASSERT_EQ(w->lstUsers->count(), 1);
}

// One line of a megabyte somewhere in a file that is otherwise right. A text
// longer than a settings file holds ends the load at its key with a message,
// so no cut name is ever used; lines the reading rules pass over change nothing.
TEST_F(SettingsFiles, AMegabyteLineIsRefusedAtItsKeyOrPassedOver)
{
    const std::string huge(kMegabyte, 'Q');
    struct Case {
        const char* what;
        Keys changes;       // keys changed or added in a file that loads
        std::string extra;  // lines after them
        QString refusal;    // the one message, empty when the load succeeds
        std::function<void(Tfrmmain&)> check;
    };
    const Case cases[] = {
        {"a megabyte output file name",
         {{"txtOutputFilename", huge}},
         {},
         "The value of txtOutputFilename is longer than 255 bytes",
         [](Tfrmmain& w) { EXPECT_EQ(w.txtOutputFilename->text(), QStringLiteral("earlier.csv")); }},
        {"a megabyte pattern",
         {{"cboPattern", huge}},
         {},
         "The value of cboPattern is longer than 255 bytes",
         [](Tfrmmain& w) { EXPECT_EQ(w.cboPattern->currentText(), QStringLiteral("EARLIER.*")); }},
        {"a megabyte folder",
         {{"cboPath", "F:\\" + huge}},
         {},
         "The value of cboPath is longer than 255 bytes",
         [](Tfrmmain& w) {
             EXPECT_EQ(w.cboPattern->currentText(), QStringLiteral("*.DAT")) << "keys before it apply";
         }},
        {"a megabyte template line",
         {{"memCommandFileCount", "3"},
          {"memCommandFile0", "echo !1"},
          {"memCommandFile1", huge},
          {"memCommandFile2", "x"}},
         {},
         "The value of memCommandFile1 is longer than 255 bytes",
         [](Tfrmmain& w) { EXPECT_EQ(w.memCommandFile->toPlainText(), QStringLiteral("echo !1")); }},
        {"a megabyte owner",
         {{"lstUsersCount", "2"}, {"lstUsers0", "ADMIN"}, {"lstUsers1", huge}},
         {},
         "The value of lstUsers1 is longer than 255 bytes",
         [](Tfrmmain& w) {
             ASSERT_EQ(w.lstUsers->count(), 1);
             EXPECT_EQ(w.lstUsers->item(0)->text(), QStringLiteral("ADMIN"));
         }},
        {"255 bytes, the most a value holds",
         {{"cboPattern", std::string(251, 'P') + ".DAT"}},
         {},
         {},
         [](Tfrmmain& w) { EXPECT_EQ(w.cboPattern->currentText().size(), 255); }},
        {"a megabyte of blanks around a value",
         {{"cboPattern", std::string(kMegabyte, ' ') + "*.TXT \t"}},
         {},
         {},
         [](Tfrmmain& w) { EXPECT_EQ(w.cboPattern->currentText(), QStringLiteral("*.TXT")); }},
        {"a megabyte line without '='",
         {},
         "chkOutputSize=1\r\n" + huge + "\r\nchkOutputOwner=1\r\n",
         {},
         [](Tfrmmain& w) {
             EXPECT_TRUE(w.chkOutputSize->isChecked());
             EXPECT_TRUE(w.chkOutputOwner->isChecked());
         }},
        {"a megabyte key",
         {},
         huge + "=1\r\nchkOutputSize=1\r\n",
         {},
         [](Tfrmmain& w) { EXPECT_TRUE(w.chkOutputSize->isChecked()); }},
        {"a megabyte section name after the keys",
         {},
         "[" + huge + "]\r\ncboPattern=WRONG\r\nchkOutputSize=1\r\n",
         {},
         [](Tfrmmain& w) {
             EXPECT_EQ(w.cboPattern->currentText(), QStringLiteral("*.DAT"));
             EXPECT_FALSE(w.chkOutputSize->isChecked());
         }},
        {"a megabyte flag value",
         {{"chkOutputSize", std::string(kMegabyte, '1')}},
         {},
         {},
         [](Tfrmmain& w) { EXPECT_TRUE(w.chkOutputSize->isChecked()) << "any integer but 0 checks"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        w->cboPattern->setEditText(QStringLiteral("EARLIER.*"));
        w->txtOutputFilename->setText(QStringLiteral("earlier.csv"));
        w->chkOutputSize->setChecked(false);
        w->chkOutputOwner->setChecked(false);
        w->memCommandFile->clear();
        w->lstUsers->clear();
        ui.clear();
        const std::string file = ws.root() + "/case.tws";
        const std::string text = settingsText(c.changes, c.extra);
        writeAll(file, text);

        QElapsedTimer timer;
        timer.start();
        const bool loaded = w->LoadSettings(QString::fromStdString(file));
        std::cout << "[ measure  ] " << c.what << ": loaded in " << secondsSince(timer) << " s\n";

        EXPECT_EQ(loaded, c.refusal.isEmpty());
        EXPECT_EQ(ui.messageTexts(), c.refusal.isEmpty() ? std::vector<QString>{} : std::vector<QString>{c.refusal});
        c.check(*w);
        EXPECT_TRUE(readAll(file) == text) << "a load never writes its file";
    }
}

// A hundred megabytes of random bytes picked with Load Settings: one message,
// no crash, and the file is left as it was.
TEST_F(SettingsFiles, AHundredMegabytesOfRandomBytesAreRefusedThroughTheLoadButton)
{
    const std::string file = ws.root() + "/random.tws";
    std::uint64_t before = 0;
    {
        const std::string bytes = randomBytes(100 * kMegabyte, 0x7261776c);
        writeAll(file, bytes);
        before = fingerprint(bytes);
    }
    ui.queueFileName(QString::fromStdString(file));

    QElapsedTimer timer;
    timer.start();
    w->Button2Click();
    std::cout << "[ measure  ] 100 MB of random bytes: refused in " << secondsSince(timer) << " s\n";

    // Random bytes hold no [TRAWL] section, so every key reads as missing and
    // the load ends at the first date, as for a file that does not exist.
    EXPECT_EQ(ui.messageTexts(),
              std::vector<QString>{QStringLiteral("You must be in ShowCheckbox mode to set to this date")});
    EXPECT_EQ(fingerprint(readAll(file)), before) << "the file was changed";
    EXPECT_EQ(w->memCommandFile->toPlainText(), QString());
}

// --- Workstation files -----------------------------------------------------------

class WorkstationFiles : public ::testing::Test {
protected:
    // Starts a window on the workstation text; returns what went to standard error.
    std::string startOn(const std::string& text)
    {
        const std::string ini = ws.root() + "/workstation.ini";
        writeAll(ini, text);
        ScopedEnvironment config("NWCLIENT_CONFIG", ini.c_str());
        ScopedEnvironment xdg("XDG_CONFIG_HOME", (ws.root() + "/config").c_str());
        SimClient client;
        client.setHostUserLookup([](std::uint32_t) { return std::nullopt; });
        setNwClient(&client);
        ::testing::internal::CaptureStderr();
        {
            Tfrmmain window;
            window.show();
            driveEntries = window.cboDrives->count();
        }
        setNwClient(nullptr);
        return ::testing::internal::GetCapturedStderr();
    }

    TempWorkstation ws;
    RecordingUiServices ui;
    ScopedUiServices installed{ui};
    ScopedTimeZone zone{"UTC"};
    int driveEntries = 0;
};

const QString kCannotInit = QStringLiteral("An Error Occurred :\n\nCannot Init Netware\nError Code : 88fe");

TEST_F(WorkstationFiles, AMegabyteLineIsRefusedWithItsLineOrPassedOver)
{
    const std::string sys = ws.makeFolder("volumes/sys");
    const std::string head = "[Volumes]\nFS1/SYS=" + sys + "\n[Drives]\nF=FS1/SYS:\n";
    const std::string huge(kMegabyte, 'Q');
    struct Case {
        const char* what;
        std::string text;
        std::string refusal;  // what follows "Trawl: <file>:" on standard error; empty when accepted
    };
    const Case cases[] = {
        {"a megabyte host folder", head + "[Volumes]\nFS1/DATA=/" + huge + "\n",
         "6: [Volumes] FS1/DATA: no such folder /QQQ"},
        {"a megabyte directory name", head + "[Directory]\n" + huge + "=User\n", "6: [Directory] QQQ"},
        {"a megabyte line without '='", head + huge + "\n",
         "5: neither a [Section] header, a key=value line nor a ; comment"},
        {"a megabyte section header left open", head + "[" + huge + "\n", "5: a section header without ']'"},
        {"a megabyte section name", head + "[" + huge + "]\nkey=value\n", {}},
        {"a megabyte comment", head + ";" + huge + "\n", {}},
        {"a megabyte value in a section of its own", head + "[Notes]\nnote=" + huge + "\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui.clear();
        QElapsedTimer timer;
        timer.start();
        const std::string errors = startOn(c.text);
        std::cout << "[ measure  ] " << c.what << ": start-up in " << secondsSince(timer) << " s\n";
        if (c.refusal.empty()) {
            EXPECT_TRUE(ui.messages.empty()) << ui.messageTexts().front().toStdString();
            EXPECT_EQ(driveEntries, 1);
            continue;
        }
        EXPECT_EQ(ui.messageTexts(), std::vector<QString>{kCannotInit});
        const std::string expected = "Trawl: " + ws.root() + "/workstation.ini:" + c.refusal;
        EXPECT_EQ(errors.substr(0, expected.size()), expected) << errors.substr(0, 300);
        EXPECT_EQ(driveEntries, 0);
    }
}

TEST_F(WorkstationFiles, AHundredMegabytesOfRandomBytesFailTheStartUpAtTheFirstLine)
{
    QElapsedTimer timer;
    timer.start();
    const std::string errors = startOn(randomBytes(100 * kMegabyte, 0x6e77636c));
    std::cout << "[ measure  ] 100 MB of random bytes: start-up refused in " << secondsSince(timer) << " s\n";
    EXPECT_EQ(ui.messageTexts(), std::vector<QString>{kCannotInit});
    const std::string expected = "Trawl: " + ws.root() + "/workstation.ini:1: ";
    EXPECT_EQ(errors.substr(0, expected.size()), expected) << errors.substr(0, 300);
    EXPECT_EQ(driveEntries, 0);
}

// The lines the profile reader passes over are mistakes in a workstation file.
TEST(WorkstationLines, EveryLineIsAHeaderAKeyACommentOrBlank)
{
    using namespace std::string_literals;
    const std::string head = "; the test workstation\n\n[Notes]\n";
    const std::pair<std::string, std::string> cases[] = {
        {head + "a=1\nzero"s + '\0' + "byte=1\n", "ws.ini:5: a zero byte: not a text file"},
        {head + "[Volumes\n", "ws.ini:4: a section header without ']'"},
        {head + "just words\n", "ws.ini:4: neither a [Section] header, a key=value line nor a ; comment"},
        {head + "  = value\n", "ws.ini:4: a value without a key"},
        {"key=value\n[Notes]\n", "ws.ini:1: a key=value line before the first [Section] header"},
        {"\xEF\xBB\xBF[Volumes]\n", "ws.ini:1: neither a [Section] header, a key=value line nor a ; comment"},
    };
    for (const auto& [text, reason] : cases) {
        workstation::Workstation model;
        std::string error;
        EXPECT_FALSE(workstation::parse(text, "ws.ini", "", model, error)) << text;
        EXPECT_EQ(error, reason) << text;
    }
    workstation::Workstation model;
    std::string error;
    EXPECT_TRUE(workstation::parse(head + "  ; indented comment\r\n\t\r\n[Empty] ; trailing\r\nk = v \r\n", "ws.ini",
                                   "", model, error))
        << error;
}

// --- A disk that fills up ------------------------------------------------------

// Writes beyond the limit fail as on a full disk (with EFBIG instead of
// ENOSPC), for as long as the guard lives; the signal that would end the
// process is ignored, so the write returns the error instead.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limited{bytes, m_previous.rlim_max};
        m_active = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~ScopedFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;
    bool active() const { return m_active; }

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = SIG_DFL;
    bool m_active = false;
};

constexpr rlim_t kRoom = 32 * 1024;

class FullDisk : public ScanFixture {
protected:
    void SetUp() override
    {
        ScanFixture::SetUp();
        // 600 matches of about 230 bytes each: four times the room.
        const std::string folder = "FOLDER_WITH_A_LONG_NAME_" + std::string(150, 'L');
        for (int i = 0; i < 600; ++i)
            ws.makeFile(sys + "/" + folder + "/FILE" + std::to_string(1000 + i) + ".DAT", 1);
        startWindow();
        setPattern("*.DAT");
        w->chkOutputResults->click();
        w->optOutputSepComma->click();
        w->chkOutputHeadings->setChecked(true);
        w->chkOutputFullPath->setChecked(true);
        w->chkOutputSize->setChecked(true);
    }

    // One scan into the file; the limit applies while it runs when given.
    void scanInto(const std::string& file, bool append, rlim_t limit = 0)
    {
        w->txtOutputFilename->setText(QString::fromStdString(file));
        w->chkAppend->setChecked(append);
        if (limit == 0) {
            clickStart();
            return;
        }
        ScopedFileSizeLimit room(limit);
        ASSERT_TRUE(room.active());
        clickStart();
    }

    // What the scan wrote is a byte prefix of what a scan with room writes,
    // and shorter: complete lines are right records, none repeated, and what
    // follows the failure is missing rather than garbled.
    static void expectPrefix(const std::string& written, const std::string& whole)
    {
        ASSERT_LT(written.size(), whole.size());
        EXPECT_TRUE(whole.compare(0, written.size(), written) == 0) << "not a prefix of the full output";
    }

    // The one errors-list row the failed write added (the list keeps the rows
    // of earlier scans), and a scan that still ran to its end.
    void expectWriteFailureReported(const std::string& file, std::size_t rowsBefore)
    {
        EXPECT_EQ(w->lastScanOutcome, Tfrmmain::ScanOutcome::Completed);
        const auto rows = errors();
        ASSERT_GE(rows.size(), rowsBefore);
        EXPECT_EQ(std::vector(rows.begin() + static_cast<std::ptrdiff_t>(rowsBefore), rows.end()),
                  (std::vector<std::array<std::string, 3>>{{file, "0", "Unable to write output file Code : 1b"}}));
        EXPECT_EQ(results().size(), 600u) << "the results list keeps every match";
        EXPECT_TRUE(w->cmdStart->isEnabled());
        EXPECT_FALSE(w->scanProgress.OutputFile) << "the file is closed";
    }
};

TEST_F(FullDisk, RecordsAndCommandsStopAtTheFailureAndSaySo)
{
    for (const bool commands : {false, true}) {
        SCOPED_TRACE(commands ? "command file" : "records");
        w->chkCommandFile->setChecked(commands);
        w->memCommandFile->setPlainText(QStringLiteral("copy !1 X:\\SAVE\\!2\necho !2"));
        const std::string reference = ws.root() + (commands ? "/commands.ref" : "/records.ref");
        const std::size_t rowsBeforeReference = errors().size();
        scanInto(reference, false);
        ASSERT_EQ(errors().size(), rowsBeforeReference) << "the scan with room failed";
        const std::string whole = readAll(reference);
        ASSERT_GT(whole.size(), 3 * kRoom);

        const std::size_t rowsBefore = errors().size();
        const std::string file = ws.root() + (commands ? "/commands.out" : "/records.out");
        scanInto(file, false, kRoom);
        expectWriteFailureReported(file, rowsBefore);
        EXPECT_TRUE(ui.messages.empty()) << "the failure is a row of the Errors page, not a box";
        const std::string written = readAll(file);
        EXPECT_EQ(written.size(), kRoom);
        expectPrefix(written, whole);
    }
}

TEST_F(FullDisk, AppendingKeepsTheEarlierLinesWhole)
{
    const std::string reference = ws.root() + "/records.ref";
    scanInto(reference, false);
    const std::string whole = readAll(reference);

    std::string earlier;
    for (int i = 0; i < 300; ++i)
        earlier += "EARLIER SCAN, LINE " + std::to_string(i) + "\r\n";
    const std::string file = ws.root() + "/appended.csv";
    writeAll(file, earlier);
    scanInto(file, true, kRoom);
    expectWriteFailureReported(file, 0);
    const std::string written = readAll(file);
    ASSERT_GE(written.size(), earlier.size());
    EXPECT_TRUE(written.compare(0, earlier.size(), earlier) == 0) << "the earlier lines were damaged";
    expectPrefix(written.substr(earlier.size()), whole);

    // A file already at the limit takes nothing more, and loses nothing.
    writeAll(file, std::string(kRoom - 6, 'E') + "\r\nEND\r\n");
    scanInto(file, true, kRoom);
    expectWriteFailureReported(file, 1);
    EXPECT_EQ(readAll(file), std::string(kRoom - 6, 'E') + "\r\nEND\r\n");
}

}  // namespace
