// The About box: its panels and captions in their designed places.

#include "app/tfrmabout.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "app/appearance.h"

namespace {

QFrame* sunkenPanel(const QString& name, const QRect& geometry, QWidget* parent)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(1);
    panel->setGeometry(geometry);
    return panel;
}

}  // namespace

TfrmAbout::TfrmAbout(QWidget* mainWindow, QWidget* parent) : QDialog(parent), m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("About Trawl"));
    setFont(formFont(11));
    setFixedSize(300, 104);

    Panel1 = sunkenPanel(QStringLiteral("Panel1"), QRect(8, 8, 44, 44), this);
    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(6, 6, 32, 32);
    Image1->setAlignment(Qt::AlignCenter);

    Panel2 = sunkenPanel(QStringLiteral("Panel2"), QRect(60, 8, 232, 44), this);
    lblProductName = new QLabel(Panel2);
    lblProductName->setObjectName(QStringLiteral("lblProductName"));
    lblProductName->setGeometry(4, 4, 224, 36);
    lblProductName->setAlignment(Qt::AlignCenter);
    lblProductName->setTextFormat(Qt::PlainText);
    QFont nameFont = formFont(12);
    nameFont.setBold(true);
    lblProductName->setFont(nameFont);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(112, 66, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TfrmAbout::Button1Click);
}

void TfrmAbout::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TfrmAbout::FormShow()
{
    const QIcon icon = m_mainWindow ? m_mainWindow->windowIcon() : QApplication::windowIcon();
    Image1->setPixmap(icon.pixmap(32, 32));
    lblProductName->setText(QStringLiteral("Trawl Version 2.5"));
    setWindowTitle(QStringLiteral("About Trawl"));
}

void TfrmAbout::Button1Click() { done(QDialog::Accepted); }
