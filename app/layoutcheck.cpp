// The layout check: each visible, named control against its siblings, the
// edges of the widget holding it and its own caption.

#include "app/layoutcheck.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>
#include <QWidget>
#include <algorithm>

namespace {

bool isControl(const QWidget* widget)
{
    return !widget->isWindow() && widget->isVisible() && !widget->objectName().isEmpty() &&
           !widget->objectName().startsWith(QStringLiteral("qt_"));
}

QString describe(const QWidget* widget)
{
    const QRect r = widget->geometry();
    return QStringLiteral("%1 (%2,%3 %4x%5)")
        .arg(widget->objectName())
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height());
}

// Whether the widget shows all of its caption or text.
bool captionFits(const QWidget* widget)
{
    const QSize size = widget->size();
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (label->text().isEmpty())
            return true;
        if (label->wordWrap())
            return label->heightForWidth(size.width()) <= size.height();
        return label->sizeHint().width() <= size.width() && label->sizeHint().height() <= size.height();
    }
    if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
        const QFontMetrics metrics(button->font());
        return metrics.horizontalAdvance(button->text()) + 8 <= size.width() && metrics.height() + 4 <= size.height();
    }
    if (qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QGroupBox*>(widget))
        return widget->minimumSizeHint().width() <= size.width() &&
               widget->minimumSizeHint().height() <= size.height();
    if (qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QComboBox*>(widget) ||
        qobject_cast<const QLineEdit*>(widget))
        return widget->minimumSizeHint().height() <= size.height() &&
               widget->minimumSizeHint().width() <= size.width();
    return true;
}

void check(const QWidget* container, QStringList& faults)
{
    if (const auto* tabBar = qobject_cast<const QTabBar*>(container)) {
        // The scroll buttons only show when the tabs do not all fit.
        const auto arrows = tabBar->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly);
        if (std::any_of(arrows.begin(), arrows.end(), [](const QToolButton* arrow) { return arrow->isVisible(); }))
            faults << QStringLiteral("the tabs of %1 do not all fit").arg(tabBar->parentWidget()->objectName());
        return;
    }
    QList<const QWidget*> controls;
    for (const QObject* child : container->children()) {
        const auto* widget = qobject_cast<const QWidget*>(child);
        if (!widget || widget->isWindow() || !widget->isVisible())
            continue;
        if (isControl(widget))
            controls << widget;
        // Unnamed widgets (a tab widget's page stack) may hold named ones.
        check(widget, faults);
    }
    const QRect inside = container->rect();
    for (qsizetype i = 0; i < controls.size(); ++i) {
        const QWidget* widget = controls[i];
        if (!inside.contains(widget->geometry()))
            faults << QStringLiteral("%1 runs past the edge of %2").arg(describe(widget), container->objectName());
        if (!captionFits(widget))
            faults << QStringLiteral("%1 is too small for its text").arg(describe(widget));
        for (qsizetype j = i + 1; j < controls.size(); ++j) {
            if (widget->geometry().intersects(controls[j]->geometry()))
                faults << QStringLiteral("%1 overlaps %2").arg(describe(widget), describe(controls[j]));
        }
    }
}

}  // namespace

QStringList findLayoutFaults(const QWidget* root)
{
    QStringList faults;
    if (root)
        check(root, faults);
    return faults;
}
