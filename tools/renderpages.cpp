// Renders each page of the main window and the About box to PNG files, and
// lists any control that overlaps another, runs past its container's edge or
// is too small for its caption. The first help topic is rendered as well when
// TRAWL.HLP sits beside the executable.
//
//     trawl_renderpages <outdir> [--size WIDTHxHEIGHT] [--folder HOSTFOLDER [WINDOWSPATH]]
//
// --folder maps drive F to a host folder and opens WINDOWSPATH (default F:\)
// in the folder list, to show it with entries.
// Runs headless (the offscreen platform unless QT_QPA_PLATFORM says
// otherwise). The window is shown in its start-up state: Ignore Size and
// Ignore Dates checked.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTextStream>
#include <cstdio>

#include "app/folderlistbox.h"
#include "app/helpviewer.h"
#include "app/layoutcheck.h"
#include "app/radiobutton.h"
#include "app/tfrmabout.h"
#include "app/tfrmmain.h"
#include "platform/drives.h"
#include "platform/uiservices.h"

namespace {

// Nothing may wait on a person: boxes go to standard error.
class QuietUiServices final : public UiServices {
public:
    void messageBox(QWidget*, const QString& text, const QString&) override
    {
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

const char* const kPageFiles[] = {"page1-path-file.png", "page2-dates-size.png", "page3-attributes.png",
                                  "page4-owners.png",    "page5-output.png",     "page6-results.png",
                                  "page7-errors.png",    "page8-batch-settings.png"};

int usage()
{
    std::fprintf(stderr, "usage: trawl_renderpages <outdir> [--size WIDTHxHEIGHT] [--folder HOSTFOLDER [WINDOWSPATH]]\n");
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (arguments.isEmpty())
        return usage();
    const QString outDir = arguments.takeFirst();
    QSize size(667, 500);
    QString hostFolder;
    QString openFolder = QStringLiteral("F:\\");
    while (!arguments.isEmpty()) {
        const QString option = arguments.takeFirst();
        if (option == QStringLiteral("--size") && !arguments.isEmpty()) {
            const QStringList parts = arguments.takeFirst().split(QLatin1Char('x'));
            if (parts.size() != 2 || parts[0].toInt() <= 0 || parts[1].toInt() <= 0)
                return usage();
            size = QSize(parts[0].toInt(), parts[1].toInt());
        } else if (option == QStringLiteral("--folder") && !arguments.isEmpty()) {
            hostFolder = arguments.takeFirst();
            if (!arguments.isEmpty() && !arguments.first().startsWith(QStringLiteral("--")))
                openFolder = arguments.takeFirst();
        } else {
            return usage();
        }
    }
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(outDir));
        return 1;
    }

    QuietUiServices services;
    setUiServices(&services);

    Tfrmmain window;
    TfrmAbout about(&window);
    window.frmAbout = &about;
    window.show();
    // The start-up state, also when no client is there to run the start-up.
    window.optSizeIgnore->setChecked(true);
    window.optDateIgnore->setChecked(true);
    window.resize(size);
    if (!hostFolder.isEmpty()) {
        platform::drives().setDrive('F', hostFolder.toStdString());
        if (const int code = window.DirectoryListBox1->setDirectory(openFolder); code != 0)
            std::fprintf(stderr, "cannot open %s: error %d\n", qPrintable(openFolder), code);
    }
    QApplication::processEvents();

    int faults = 0;
    const auto save = [&](QWidget& widget, const QString& name) {
        QApplication::processEvents();
        const QString path = QDir(outDir).filePath(name);
        if (!widget.grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++faults;
        }
        for (const QString& fault : findLayoutFaults(&widget)) {
            std::printf("%s: %s\n", qPrintable(name), qPrintable(fault));
            ++faults;
        }
    };
    for (int page = 0; page < window.PageControl1->count() && page < 8; ++page) {
        window.PageControl1->setCurrentIndex(page);
        save(window, QString::fromLatin1(kPageFiles[page]));
    }
    about.show();
    save(about, QStringLiteral("about.png"));
    about.hide();

    // The first help topic, when the help file sits beside the executable.
    QFile helpFile(window.HelpFile);
    if (helpFile.open(QIODevice::ReadOnly)) {
        HelpViewer viewer;
        viewer.setTopics(window.HelpFile, parseHelpTopics(QString::fromUtf8(helpFile.readAll())));
        if (viewer.showTopic(1)) {
            viewer.show();
            save(viewer, QStringLiteral("help.png"));
        }
    }

    std::printf("%d layout fault(s); images in %s\n", faults, qPrintable(outDir));
    setUiServices(nullptr);
    return faults == 0 ? 0 : 1;
}
