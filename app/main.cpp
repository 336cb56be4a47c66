// The program's start: --help and --version, the platform with or without a
// display, the simulated workstation, the windows, and the exit status of an
// unattended run.

#include <QApplication>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "app/appearance.h"
#include "app/tfrmabout.h"
#include "app/tfrmmain.h"
#include "netclient/simclient.h"
#include "netclient/workstation.h"
#include "platform/asciicase.h"
#include "platform/helpfile.h"
#include "platform/qt_consoleuiservices.h"
#include "settings/commandline.h"
#include "settings/profileroutines.h"

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void requestStop(int) { g_stopRequested = 1; }

// A switch of the command line, read by the window's own parser before the
// window exists.
bool hasSwitch(int argc, char* argv[], CommandLineActionKind kind)
{
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        const std::u16string_view text(reinterpret_cast<const char16_t*>(argument.utf16()),
                                       static_cast<std::size_t>(argument.size()));
        if (readCommandLineArgument(text).kind == kind)
            return true;
    }
    return false;
}

bool choosesPlatform(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (ascii::equalsIgnoringCase(argv[i], "-platform"))
            return true;
    }
    return false;
}

bool displayAvailable()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// A runtime folder Qt accepts: a folder of this user that only this user may enter.
bool usableRuntimeFolder(const char* path)
{
    struct stat st {};
    return path && path[0] == '/' && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 0777) == 0700;
}

// Under cron, or su without a login session, the runtime folder is missing and
// Qt notes on standard error that it made one up, in every run; an unattended
// run is to write only its own lines. Such a run gets a private folder of its
// own (mkdtemp makes it readable by this user only), removed when it ends.
class PrivateRuntimeFolder {
public:
    PrivateRuntimeFolder()
    {
        if (usableRuntimeFolder(std::getenv("XDG_RUNTIME_DIR")))
            return;
        const char* tmp = std::getenv("TMPDIR");
        std::string base = tmp && tmp[0] == '/' ? tmp : "/tmp";
        std::string pattern = base + "/trawl-runtime-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            return;
        m_folder = pattern;
        ::setenv("XDG_RUNTIME_DIR", m_folder.c_str(), 1);
    }
    ~PrivateRuntimeFolder()
    {
        if (m_folder.empty())
            return;
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    PrivateRuntimeFolder(const PrivateRuntimeFolder&) = delete;
    PrivateRuntimeFolder& operator=(const PrivateRuntimeFolder&) = delete;

private:
    std::string m_folder;
};

constexpr const char* kUsage = "Usage: trawl [/settings=FILE] [/autorun] [/autoclose]\n"
                               "       trawl --help | --version\n"
                               "\n"
                               "Finds files on NetWare volumes served by a simulated NetWare workstation.\n"
                               "\n"
                               "  /settings=FILE  load a settings file (.tws) saved with Save Settings\n"
                               "  /autorun        start the scan half a second after start-up\n"
                               "  /autoclose      close Trawl when that scan ends\n"
                               "  --help          show this text and exit\n"
                               "  --version       show the version and exit\n"
                               "\n"
                               "Without a display, a run with /autorun starts on Qt's offscreen platform:\n"
                               "messages and failed files go to standard error, one summary line to standard\n"
                               "output. Exit status with /autorun /autoclose: 0 the scan ended without errors,\n"
                               "1 it ended with rows on the Errors page, 2 no scan ran, 3 the scan was stopped.\n"
                               "\n"
                               "Environment:\n"
                               "  NWCLIENT_CONFIG   the workstation file; when set, no other place is tried\n"
                               "  XDG_CONFIG_HOME   the user's configuration folder (~/.config when unset)\n"
                               "  XDG_CONFIG_DIRS   the system's configuration folders (/etc/xdg when unset)\n"
                               "  DISPLAY, WAYLAND_DISPLAY  the display; without one only /autorun runs\n"
                               "  QT_QPA_PLATFORM   Qt's platform (offscreen needs no display)\n"
                               "\n"
                               "The workstation file is the first of: $NWCLIENT_CONFIG; workstation.ini beside\n"
                               "the executable; trawl/workstation.ini in the user's configuration folder; then\n"
                               "trawl/workstation.ini in each system configuration folder.\n"
                               "\n";

// --help and --version are answered before Qt or the client start, so they
// work on any terminal, with or without a display. Returns whether one was given.
bool answerInformationSwitch(int argc, char* argv[])
{
    bool help = false;
    bool version = false;
    for (int i = 1; i < argc; ++i) {
        help = help || std::strcmp(argv[i], "--help") == 0;
        version = version || std::strcmp(argv[i], "--version") == 0;
    }
    if (help) {
        std::fputs(kUsage, stdout);
        const std::string folder = profile::executableFolder();
        std::string error;
        const auto workstationFile = workstation::find(folder, error);
        std::printf("Workstation file now: %s\n", workstationFile ? workstationFile->c_str() : "none found");
        const std::string helpFile = findHelpFile(folder);
        std::error_code ignored;
        std::printf("Help file: %s%s\n", helpFile.c_str(),
                    std::filesystem::is_regular_file(helpFile, ignored) ? "" : " (missing)");
    } else if (version) {
        std::fputs("Trawl " TRAWL_VERSION "\n", stdout);
    }
    return help || version;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (answerInformationSwitch(argc, argv))
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    // Set before Qt reads the environment, removed after the application is gone.
    const PrivateRuntimeFolder runtimeFolder;
    const bool autoRun = hasSwitch(argc, argv, CommandLineActionKind::AutoRun);
    const bool autoClose = hasSwitch(argc, argv, CommandLineActionKind::AutoClose);
    // A scheduled run on a machine without a screen starts on the offscreen
    // platform by itself; a platform chosen explicitly is kept.
    if (autoRun && !displayAvailable() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Any other start without a screen would end in the platform's abort (and
    // a core dump, for a scheduled run whose /autorun was misspelt): say why
    // instead, and end as a run that could not start.
    if (!autoRun && !displayAvailable() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !choosesPlatform(argc, argv)) {
        std::fputs("Trawl: no display to show the window on; an unattended run needs /autorun\n", stderr);
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trawl"));
    QApplication::setWindowIcon(trawlIcon());

    // Without a screen no dialog may wait for a click nobody can give: message
    // boxes go to standard error and count as answered with OK.
    const QString platform = QGuiApplication::platformName();
    const bool headless = platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
    ConsoleUiServices consoleServices;
    if (headless)
        setUiServices(&consoleServices);

    // The simulated NetWare workstation is installed before the window exists:
    // its first showing starts the client, which then finds its workstation file.
    SimClient client;
    client.setExecutableFolder(QCoreApplication::applicationDirPath().toStdString());
    setNwClient(&client);

    Tfrmmain frmmain;
    TfrmAbout frmAbout(&frmmain);
    frmmain.frmAbout = &frmAbout;

    QStringList arguments = QApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    frmmain.setStartOptions({.arguments = arguments,
                             .echoErrorsToStderr = autoRun,
                             .closeWhenAutoRunEnds = headless,
                             .unattended = autoRun && (autoClose || headless)});

    // In an unattended run, SIGTERM or SIGINT (a scheduler's time limit,
    // Ctrl+C) stops the scan as the Stop button does; the run then ends.
    QTimer stopPoll;
    if (autoRun) {
        std::signal(SIGTERM, requestStop);
        std::signal(SIGINT, requestStop);
        QObject::connect(&stopPoll, &QTimer::timeout, &frmmain, [&frmmain] {
            if (g_stopRequested) {
                g_stopRequested = 0;
                if (frmmain.scanProgress.Running)
                    frmmain.cmdStopClick();
                else
                    frmmain.close();
            }
        });
        stopPoll.start(50);
    }

    frmmain.show();
    const int status = app.exec();
    if (autoRun && autoClose)
        return frmmain.unattendedExitStatus;
    return status;
}
