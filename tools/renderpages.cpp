// Renders each page of the main window and the About box to PNG files, and
// lists any control that overlaps another, runs past its container's edge or
// is too small for its caption.
//
//     trawl_renderpages <outdir> [--size WIDTHxHEIGHT]
//
// Runs headless (the offscreen platform unless QT_QPA_PLATFORM says
// otherwise). The window is shown in its start-up state: Ignore Size and
// Ignore Dates checked.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QTabWidget>
#include <QTextStream>
#include <cstdio>

#include "app/layoutcheck.h"
#include "app/radiobutton.h"
#include "app/tfrmabout.h"
#include "app/tfrmmain.h"
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
    std::fprintf(stderr, "usage: trawl_renderpages <outdir> [--size WIDTHxHEIGHT]\n");
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
    if (arguments.size() == 2 && arguments[0] == QStringLiteral("--size")) {
        const QStringList parts = arguments[1].split(QLatin1Char('x'));
        if (parts.size() != 2 || parts[0].toInt() <= 0 || parts[1].toInt() <= 0)
            return usage();
        size = QSize(parts[0].toInt(), parts[1].toInt());
    } else if (!arguments.isEmpty()) {
        return usage();
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

    std::printf("%d layout fault(s); images in %s\n", faults, qPrintable(outDir));
    setUiServices(nullptr);
    return faults == 0 ? 0 : 1;
}
