// The real UI services: Qt's message box, beep, override cursor, file dialogs,
// the program's own help viewer and the desktop's programs.
#include "platform/uiservices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "app/helpviewer.h"

namespace {

class QtUiServices final : public UiServices {
public:
    void messageBox(QWidget* owner, const QString& text, const QString& title) override
    {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, owner);
        box.setTextFormat(Qt::PlainText);
        if (m_messageTimeout.count() > 0)
            QTimer::singleShot(m_messageTimeout, &box, &QDialog::accept);
        box.exec();
    }

    void setMessageTimeout(std::chrono::milliseconds timeout) override { m_messageTimeout = timeout; }

    void messageBeep(unsigned) override { QApplication::beep(); }

    void setCursor(ScreenCursor cursor) override
    {
        if (cursor == ScreenCursor::Hourglass) {
            // One override at a time, so that a single Arrow always restores.
            if (QApplication::overrideCursor())
                QApplication::changeOverrideCursor(Qt::WaitCursor);
            else
                QApplication::setOverrideCursor(Qt::WaitCursor);
            return;
        }
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }

    void showHelp(QWidget* owner, const QString& helpFile, int context) override
    {
        HelpViewer::openTopic(owner, helpFile, context);
    }

    std::optional<QString> openFileName(QWidget* owner, const FileDialogRequest& request) override
    {
        return runFileDialog(owner, request, QFileDialog::AcceptOpen);
    }

    std::optional<QString> saveFileName(QWidget* owner, const FileDialogRequest& request) override
    {
        return runFileDialog(owner, request, QFileDialog::AcceptSave);
    }

    QSize screenSize() override
    {
        const QScreen* screen = QGuiApplication::primaryScreen();
        return screen ? screen->size() : QSize(1024, 768);
    }

    int execModal(QDialog& dialog) override { return dialog.exec(); }

    bool openWithDesktop(const QString& hostPath) override
    {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(hostPath));
    }

private:
    std::chrono::milliseconds m_messageTimeout{0};

    static std::optional<QString> runFileDialog(QWidget* owner, const FileDialogRequest& request,
                                                QFileDialog::AcceptMode mode)
    {
        QFileDialog dialog(owner);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(mode);
        if (mode == QFileDialog::AcceptOpen)
            dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        else
            dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
        if (!request.initialFolder.isEmpty())
            dialog.setDirectory(request.initialFolder);
        dialog.setDefaultSuffix(request.defaultExtension);
        if (!request.filterPattern.isEmpty()) {
            // Qt reads the pattern from the parentheses; hiding them leaves the
            // filter's own name ("Trawl Files *.tws") on show.
            const QString name = request.filterName.isEmpty() ? request.filterPattern : request.filterName;
            dialog.setNameFilter(name + QStringLiteral(" (") + request.filterPattern + QStringLiteral(")"));
            dialog.setOption(QFileDialog::HideNameFilterDetails);
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }
};

QtUiServices& qtServices()
{
    static QtUiServices services;
    return services;
}

UiServices* g_services = nullptr;

}  // namespace

UiServices& uiServices() { return g_services ? *g_services : qtServices(); }

void setUiServices(UiServices* services) { g_services = services; }
