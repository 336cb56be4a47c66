// Placeholder until the window is built.
#include "app/tfrmmain.h"

#include <QShowEvent>

Tfrmmain::Tfrmmain(QWidget* parent) : QMainWindow(parent) { setObjectName("frmmain"); }
Tfrmmain::~Tfrmmain() = default;
void Tfrmmain::showEvent(QShowEvent* event) { QMainWindow::showEvent(event); }
void Tfrmmain::closeEvent(QCloseEvent* event) { QMainWindow::closeEvent(event); }
