#pragma once

// UI services for a run without a screen: no dialog ever waits. A message box
// becomes one line on standard error and counts as answered with OK; file
// dialogs are cancelled; modal dialogs are not shown.

#include <QString>
#include <cstdio>

#include "platform/uiservices.h"

// "Trawl: " and the text, each run of line breaks folded into one blank.
QString consoleMessageLine(const QString& text);

class ConsoleUiServices : public UiServices {
public:
    explicit ConsoleUiServices(std::FILE* errors = stderr) : m_errors(errors) {}

    void messageBox(QWidget* owner, const QString& text, const QString& title) override;
    void messageBeep(unsigned) override {}
    void setCursor(ScreenCursor) override {}
    void showHelp(QWidget* owner, const QString& helpFile, int context) override;
    std::optional<QString> openFileName(QWidget*, const FileDialogRequest&) override { return std::nullopt; }
    std::optional<QString> saveFileName(QWidget*, const FileDialogRequest&) override { return std::nullopt; }
    QSize screenSize() override { return {1024, 768}; }
    int execModal(QDialog& dialog) override;

private:
    void writeLine(const QString& line);
    std::FILE* m_errors;
};
