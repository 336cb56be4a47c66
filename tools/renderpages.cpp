// Renders each page of the main window and the About box to PNG files, and
// lists any control that overlaps another, runs past its container's edge or
// is too small for its caption. The first help topic is rendered as well when
// TRAWL.HLP sits beside the executable.
//
//     trawl_renderpages <outdir> [--size WIDTHxHEIGHT] [--folder HOSTFOLDER [WINDOWSPATH]] [--rows]
//
// --folder maps drive F to a host folder and opens WINDOWSPATH (default F:\)
// in the folder list, to show it with entries. --rows fills the results and
// errors lists with a few sample rows (the results sorted by size, largest
// first), so that they and the totals show what a scan leaves.
// Runs headless (the offscreen platform unless QT_QPA_PLATFORM says
// otherwise). The window is shown in its start-up state: Ignore Size and
// Ignore Dates checked.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QItemSelectionModel>
#include <QTextStream>
#include <QTreeView>
#include <cstdio>
#include <iterator>
#include <string>

#include "app/folderlistbox.h"
#include "app/helpviewer.h"
#include "app/layoutcheck.h"
#include "app/radiobutton.h"
#include "app/tfrmabout.h"
#include "app/tfrmmain.h"
#include "output/qt_listmodels.h"
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
                                  "page7-errors.png",    "page8-totals.png",     "page9-batch-settings.png"};

int usage()
{
    std::fprintf(stderr,
                 "usage: trawl_renderpages <outdir> [--size WIDTHxHEIGHT] [--folder HOSTFOLDER [WINDOWSPATH]] "
                 "[--rows]\n");
    return 2;
}

// A scan's worth of rows in the three lists.
void addSampleRows(Tfrmmain& window)
{
    const struct {
        const char* name;
        std::uint64_t size;
        const char* owner;
        const char* folder;
    } matches[] = {
        {"BUDGET.XLS", 48128, "JSMITH.SALES.ACME", "F:\\DATA\\SALES"},
        {"FORECAST.DOC", 1503232, "JSMITH.SALES.ACME", "F:\\DATA\\SALES"},
        {"logo.bmp", 921654, "ADMIN.ACME", "F:\\PUBLIC"},
        {"NET.CFG", 612, "ADMIN.ACME", "F:\\"},
        {"REPORT.TXT", 20480, "(unknown)", "F:\\DATA\\REPORTS"},
        {"Q4 Summary.doc", 3670016, "BJONES.SUPPORT.ACME", "F:\\DATA\\REPORTS"},
    };
    for (const auto& match : matches) {
        std::string path = match.folder;
        if (path.back() != '\\')
            path += '\\';
        path += match.name;
        window.resultsModel->appendRow(match.name, match.size, match.owner, path);
    }
    window.errorsModel->appendRow("DATA:LOCKED\\PAYROLL.DAT", 4096, "NWIntScanExtendedInfo Code : 899c");
    window.errorsModel->appendRow("F:\\DATA\\PRIVATE", 0, "Unable to list folder Code : d");
    window.resultsModel->flush();
    window.errorsModel->flush();
    window.resultsModel->sort(1, Qt::DescendingOrder);
    window.lvwResults->selectionModel()->select(window.resultsModel->index(1, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

}  // namespace

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
    bool sampleRows = false;
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
        } else if (option == QStringLiteral("--rows")) {
            sampleRows = true;
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
    if (sampleRows)
        addSampleRows(window);
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
    for (int page = 0; page < window.PageControl1->count() && page < int(std::size(kPageFiles)); ++page) {
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
