// A node of the directory tree, sorted by a locale-aware comparison.

#include "netclient/qt_dirtreeitem.h"

#include <QCollator>

DirTreeItem::DirTreeItem(const QString& text) : QTreeWidgetItem(QStringList{text})
{
    setFlags(flags() | Qt::ItemIsEditable);
}

bool DirTreeItem::operator<(const QTreeWidgetItem& other) const
{
    return compareTreeNames(text(0), other.text(0)) < 0;
}

int compareTreeNames(const QString& a, const QString& b)
{
    static const QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    if (const int order = collator.compare(a, b))
        return order;
    return QString::compare(a, b, Qt::CaseSensitive);
}
