#pragma once

// Everything that would stop a test or needs a person goes through this one
// interface: modal message boxes, the beep, the screen cursor, the help viewer,
// the open and save dialogs, the screen size and the desktop's programs. The Qt implementation shows the
// real thing; tests install one that records each call and answers from a script.

#include <QSize>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

class QDialog;
class QWidget;

enum class ScreenCursor { Arrow, Hourglass };

struct FileDialogRequest {
    QString initialFolder;
    QString defaultExtension;  // without the dot, e.g. "tws"
    QString filterName;        // e.g. "Trawl Files *.tws"
    QString filterPattern;     // e.g. "*.tws"
    bool fileMustExist = false;
    bool overwritePrompt = false;
};

class UiServices {
public:
    virtual ~UiServices() = default;
    // A modal box with the text, the title and one OK button.
    virtual void messageBox(QWidget* owner, const QString& text, const QString& title) = 0;
    virtual void messageBeep(unsigned type) = 0;
    virtual void setCursor(ScreenCursor cursor) = 0;
    virtual void showHelp(QWidget* owner, const QString& helpFile, int context) = 0;
    // The chosen full file name, or nothing when cancelled.
    virtual std::optional<QString> openFileName(QWidget* owner, const FileDialogRequest& request) = 0;
    virtual std::optional<QString> saveFileName(QWidget* owner, const FileDialogRequest& request) = 0;
    virtual QSize screenSize() = 0;
    // Shows a dialog modally and returns its result (QDialog::Accepted or
    // QDialog::Rejected); the window behind it takes no input meanwhile.
    virtual int execModal(QDialog& dialog) = 0;
    // Opens a host file (the argument, a host path) with the desktop's default
    // program, or a host folder with its file manager. False when nothing
    // could open it; services without a desktop open nothing.
    virtual bool openWithDesktop(const QString&) { return false; }
    // From now on a message box nobody answers closes by itself after this
    // time, as if answered with OK; zero waits for the answer. For runs that
    // nobody may be watching. Services that never wait ignore it.
    virtual void setMessageTimeout(std::chrono::milliseconds) {}
};

// The program-wide services; the Qt implementation until something else is set.
UiServices& uiServices();
// Installs other services (not owned); nullptr restores the Qt implementation.
void setUiServices(UiServices* services);
