#pragma once

// UI services for widget tests: every call is recorded, file dialogs are
// answered from a script, and modal dialogs are shown without a loop of their
// own, so no test ever waits on a person.
//
//     RecordingUiServices ui;
//     ScopedUiServices installed(ui);         // restores the previous services
//     ui.queueFileName("/tmp/a.tws");         // the next file dialog picks this
//     ui.queueCancel();                        // the one after it is cancelled
//     ... drive the window ...
//     EXPECT_EQ(ui.messages.at(0).text, "...");

#include <QSize>
#include <QString>
#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/uiservices.h"

class QDialog;

class RecordingUiServices : public UiServices {
public:
    struct Message {
        QWidget* owner = nullptr;
        QString text;
        QString title;
        std::chrono::milliseconds timeout{0};  // after which the box would have closed by itself
    };
    struct HelpCall {
        QWidget* owner = nullptr;
        QString helpFile;
        int context = 0;
    };
    enum class DialogKind { Open, Save };
    struct FileDialog {
        DialogKind kind = DialogKind::Open;
        FileDialogRequest request;
        std::optional<QString> answer;  // what the dialog returned
    };
    struct ModalDialog {
        QDialog* dialog = nullptr;
        QString objectName;
        QString windowTitle;  // as shown, after its show handler ran
        int result = 0;
    };

    // Everything recorded, oldest first.
    std::vector<Message> messages;
    std::vector<unsigned> beeps;        // the beep types
    std::vector<ScreenCursor> cursors;  // every cursor change
    std::vector<HelpCall> helpCalls;
    std::vector<FileDialog> fileDialogs;  // open and save, in order
    std::vector<ModalDialog> modalDialogs;
    std::vector<QString> desktopOpens;            // host paths handed to the desktop
    bool desktopSucceeds = true;                  // what openWithDesktop answers
    std::chrono::milliseconds messageTimeout{0};  // the last setMessageTimeout

    // The answers of the next file dialogs, first in first out; a dialog with
    // no answer queued is cancelled.
    void queueFileName(const QString& fileName) { m_answers.emplace_back(fileName); }
    void queueCancel() { m_answers.emplace_back(std::nullopt); }
    std::size_t queuedAnswers() const { return m_answers.size(); }

    // Runs while a modal dialog is shown (for instance to look at it or click
    // one of its buttons). A dialog still visible afterwards is closed with
    // accept() when there is no handler, else with reject().
    std::function<void(QDialog&)> onModal;

    QSize screen{1024, 768};

    // The cursor the program left: the last change, Arrow when none.
    ScreenCursor currentCursor() const { return cursors.empty() ? ScreenCursor::Arrow : cursors.back(); }
    // The message texts, in order.
    std::vector<QString> messageTexts() const;
    // Forgets everything recorded and queued.
    void clear();

    void messageBox(QWidget* owner, const QString& text, const QString& title) override;
    void messageBeep(unsigned type) override;
    void setCursor(ScreenCursor cursor) override;
    void showHelp(QWidget* owner, const QString& helpFile, int context) override;
    std::optional<QString> openFileName(QWidget* owner, const FileDialogRequest& request) override;
    std::optional<QString> saveFileName(QWidget* owner, const FileDialogRequest& request) override;
    QSize screenSize() override { return screen; }
    int execModal(QDialog& dialog) override;
    bool openWithDesktop(const QString& hostPath) override;
    void setMessageTimeout(std::chrono::milliseconds timeout) override { messageTimeout = timeout; }

private:
    std::optional<QString> answer(DialogKind kind, const FileDialogRequest& request);

    std::deque<std::optional<QString>> m_answers;
};

// Installs services for the life of the guard and puts the previous ones back.
class ScopedUiServices {
public:
    explicit ScopedUiServices(UiServices& services);
    ~ScopedUiServices();
    ScopedUiServices(const ScopedUiServices&) = delete;
    ScopedUiServices& operator=(const ScopedUiServices&) = delete;

private:
    UiServices* m_previous;
};
