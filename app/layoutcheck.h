#pragma once

// Checks a laid-out window for the faults a user would see: a control that
// overlaps a sibling, runs past the edge of the widget holding it, or is too
// small for its caption. Used by the page renderer and by the layout tests.

#include <QStringList>

class QWidget;

// One line per fault, naming the controls by object name. Only visible,
// named controls are looked at (the inner parts of Qt's own widgets are not).
QStringList findLayoutFaults(const QWidget* root);
