#include "support/gui_recordinguiservices.h"

#include <QDialog>

std::vector<QString> RecordingUiServices::messageTexts() const
{
    std::vector<QString> texts;
    for (const Message& message : messages)
        texts.push_back(message.text);
    return texts;
}

void RecordingUiServices::clear()
{
    messages.clear();
    beeps.clear();
    cursors.clear();
    helpCalls.clear();
    fileDialogs.clear();
    modalDialogs.clear();
    desktopOpens.clear();
    m_answers.clear();
}

void RecordingUiServices::messageBox(QWidget* owner, const QString& text, const QString& title)
{
    messages.push_back({owner, text, title, messageTimeout});
}

void RecordingUiServices::messageBeep(unsigned type) { beeps.push_back(type); }

void RecordingUiServices::setCursor(ScreenCursor cursor) { cursors.push_back(cursor); }

void RecordingUiServices::showHelp(QWidget* owner, const QString& helpFile, int context)
{
    helpCalls.push_back({owner, helpFile, context});
}

std::optional<QString> RecordingUiServices::openFileName(QWidget*, const FileDialogRequest& request)
{
    return answer(DialogKind::Open, request);
}

std::optional<QString> RecordingUiServices::saveFileName(QWidget*, const FileDialogRequest& request)
{
    return answer(DialogKind::Save, request);
}

std::optional<QString> RecordingUiServices::answer(DialogKind kind, const FileDialogRequest& request)
{
    std::optional<QString> chosen;
    if (!m_answers.empty()) {
        chosen = m_answers.front();
        m_answers.pop_front();
    }
    fileDialogs.push_back({kind, request, chosen});
    return chosen;
}

int RecordingUiServices::execModal(QDialog& dialog)
{
    // Shown for real (its show handler runs), but without a loop of its own.
    dialog.show();
    const std::size_t index = modalDialogs.size();
    modalDialogs.push_back({&dialog, dialog.objectName(), dialog.windowTitle(), 0});
    if (onModal)
        onModal(dialog);
    if (dialog.isVisible()) {
        if (onModal)
            dialog.reject();
        else
            dialog.accept();
    }
    modalDialogs[index].result = dialog.result();
    return dialog.result();
}

ScopedUiServices::ScopedUiServices(UiServices& services) : m_previous(&uiServices()) { setUiServices(&services); }

ScopedUiServices::~ScopedUiServices() { setUiServices(m_previous); }

bool RecordingUiServices::openWithDesktop(const QString& hostPath)
{
    desktopOpens.push_back(hostPath);
    return desktopSucceeds;
}
