#pragma once

// The About box: the program's icon, its name and version, and OK. Created
// once at program start and shown modally by the About button.

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

class TfrmAbout : public QDialog {
    Q_OBJECT

public:
    // mainWindow lends its icon on every showing; it is not the Qt parent, so
    // that the box stands centred on the screen.
    explicit TfrmAbout(QWidget* mainWindow = nullptr, QWidget* parent = nullptr);

    QFrame* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* lblProductName = nullptr;
    QPushButton* Button1 = nullptr;

    void FormShow();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* m_mainWindow;
};
