// Times full scans by Trawl: the real window (offscreen), the real StartScan,
// the simulated client serving the benchmark tree. One case per run:
//
//   trawl_scanbench WORKSTATION_INI a     every file a match: owner, size and date tests on
//   trawl_scanbench WORKSTATION_INI b     pattern *.tmp, size > 10 KiB, modified since 2020-01-01
//   trawl_scanbench WORKSTATION_INI c     as a, with the attribute test "Archive Needed"
//   trawl_scanbench WORKSTATION_INI rows N   memory of N result rows
//
// Prints one line of "key value" pairs for bench/run.sh, among them the peak
// resident memory of the process and the longest time the event loop went
// unserved during the scan (the longest gap between two message pumps, from
// the click on Start to the scan's end).

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDate>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include "app/datepicker.h"
#include "app/folderlistbox.h"
#include "app/radiobutton.h"
#include "app/tfrmmain.h"
#include "netclient/simclient.h"
#include "output/qt_listmodels.h"
#include "platform/uiservices.h"

namespace {

// Nothing may wait on a person: boxes go to standard error.
class QuietUiServices : public UiServices {
public:
    int boxes = 0;
    void messageBox(QWidget*, const QString& text, const QString&) override
    {
        ++boxes;
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    void messageBeep(unsigned) override {}
    void setCursor(ScreenCursor) override {}
    void showHelp(QWidget*, const QString&, int) override {}
    std::optional<QString> openFileName(QWidget*, const FileDialogRequest&) override { return std::nullopt; }
    std::optional<QString> saveFileName(QWidget*, const FileDialogRequest&) override { return std::nullopt; }
    QSize screenSize() override { return {1280, 1024}; }
    int execModal(QDialog&) override { return QDialog::Rejected; }
};

long statusKiB(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(key);
    while (std::getline(status, line))
        if (line.compare(0, length, key) == 0)
            return std::stol(line.substr(length));
    return -1;
}

long residentKiB() { return statusKiB("VmRSS:"); }
long peakResidentKiB() { return statusKiB("VmHWM:"); }

// Notes every time the event loop is served: the dispatcher says it is awake
// at the start of each round of events, so the longest gap is the longest
// stretch in which a click or a repaint would have waited. Listening costs the
// scan no system call, where an event posted to itself each round would.
class PumpWatch : public QObject {
public:
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_connection = QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, this,
                                        [this] {
                                            note();
                                            ++m_deliveries;
                                        });
    }
    // Closes the last stretch (up to the scan's end) and stops.
    void stop()
    {
        note();
        QObject::disconnect(m_connection);
    }
    qint64 longestGapNs() const { return m_longest; }
    long long deliveries() const { return m_deliveries; }

private:
    void note()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }

    QElapsedTimer m_clock;
    QMetaObject::Connection m_connection;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    long long m_deliveries = 0;
};

double cpuSeconds(clockid_t clock = CLOCK_PROCESS_CPUTIME_ID)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void chooseCommonTests(Tfrmmain& w)
{
    // Greater Than -1 passes every size; the owners cover every owner of the
    // tree; the modified dates of the tree lie between 2010 and 2024.
    w.optSizeGreater->setChecked(true);
    w.txtSizeBytes->setText(QStringLiteral("-1"));
    w.optDateModified->setChecked(true);
    w.optDateBetween->setChecked(true);
    w.dtpBefore->setDaySerial(DatePicker::serialOf(QDate(2000, 1, 1)));
    w.dtpAfter->setDaySerial(DatePicker::serialOf(QDate(2030, 12, 31)));
    for (const char* owner : {"SUPERVISOR", "GUEST", "ACME", "(unknown)"})
        w.lstUsers->addItem(QString::fromLatin1(owner));
}

int runRows(Tfrmmain& w, int rows)
{
    const long before = residentKiB();
    FileInfoRecord info{};
    ExtendedInfoRecord extended{};
    char name[64];
    for (int i = 0; i < rows; ++i) {
        std::snprintf(name, sizeof name, "Quarterly Summary %07d.xls", i);
        const std::string folder = "F:\\Projects 3\\Reports 2020 12\\Shared 7";
        w.RecordMatch(folder, name, 123456789u + static_cast<unsigned>(i), "USER17.SALES.ACME", folder + "\\" + name,
                      info, extended);
        if (i % 100 == 99)
            w.ShowProgress();
    }
    w.ShowProgress();
    const long after = residentKiB();
    std::printf("rows %d rss_before_kib %ld rss_after_kib %ld delta_mib %.1f\n", rows, before, after,
                static_cast<double>(after - before) / 1024.0);
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s WORKSTATION_INI a|b|c|rows [N]\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window state and settings of this machine stay out of the run.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("NWCLIENT_CONFIG", argv[1]);
    QApplication app(argc, argv);

    QuietUiServices ui;
    setUiServices(&ui);
    SimClient client;
    setNwClient(&client);

    Tfrmmain w;
    w.show();  // the first showing starts the client
    QApplication::processEvents();

    const std::string mode = argv[2];
    if (mode == "rows")
        return runRows(w, argc > 3 ? std::atoi(argv[3]) : 1000000);

    if (w.DirectoryListBox1->setDirectory(QStringLiteral("F:\\")) != 0) {
        std::fprintf(stderr, "drive F: of %s cannot be listed\n", argv[1]);
        return 1;
    }
    if (mode == "a" || mode == "c") {
        w.cboPattern->setEditText(QStringLiteral("*.*"));
        chooseCommonTests(w);
        if (mode == "c")
            w.chkAttribArchiveNeeded->setChecked(true);
    } else if (mode == "b") {
        w.cboPattern->setEditText(QStringLiteral("*.tmp"));
        w.optSizeGreater->setChecked(true);
        w.txtSizeBytes->setText(QStringLiteral("10241"));
        w.optDateModified->setChecked(true);
        w.optDateAfter->setChecked(true);
        w.dtpAfter->setDaySerial(DatePicker::serialOf(QDate(2020, 1, 1)));
    } else {
        std::fprintf(stderr, "unknown case %s\n", argv[2]);
        return 2;
    }

    const int boxesBefore = ui.boxes;
    QElapsedTimer timer;
    const double cpuBefore = cpuSeconds();
    const double walkerCpuBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    PumpWatch pumps;
    pumps.start();
    timer.start();
    w.StartScan();
    const double wall = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpuBefore;
    const double walkerCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - walkerCpuBefore;
    pumps.stop();
    if (ui.boxes != boxesBefore)
        return 1;

    std::printf(
        "case %s files %d folders %d matches %d errors %d wall_s %.3f cpu_s %.3f walker_cpu_s %.3f files_per_s %.0f "
        "rss_mib %.1f "
        "peak_rss_mib %.1f pumps %lld longest_gap_ms %.1f ahead_read %llu ahead_answers %llu ahead_listings %llu "
        "cache_listings %llu\n",
        mode.c_str(), w.scanProgress.FilesScanned, w.scanProgress.DirsScanned, w.scanProgress.MatchingFiles,
        w.errorsModel->rowCount(), wall, cpu, walkerCpu, static_cast<double>(w.scanProgress.FilesScanned) / wall,
        static_cast<double>(residentKiB()) / 1024.0, static_cast<double>(peakResidentKiB()) / 1024.0,
        pumps.deliveries(), static_cast<double>(pumps.longestGapNs()) / 1e6,
        static_cast<unsigned long long>(client.entriesReadAhead()),
        static_cast<unsigned long long>(client.answersReadAhead()),
        static_cast<unsigned long long>(client.listingsReadAhead()),
        static_cast<unsigned long long>(client.folderListings()));
    return 0;
}
