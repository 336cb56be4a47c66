#pragma once

// A node of the directory tree. Nodes carry only their text and may be renamed
// in place; they sort by a locale-aware comparison that ignores case, so
// "apple" comes before "Banana" whatever the host's locale.

#include <QString>
#include <QTreeWidgetItem>

// The text of the one child of a container whose contents have not been listed.
inline constexpr char kTreePlaceholder[] = "Loading...";

class DirTreeItem : public QTreeWidgetItem {
public:
    explicit DirTreeItem(const QString& text);

    bool operator<(const QTreeWidgetItem& other) const override;
};

// Negative, zero or positive as a sorts before, with or after b: case-blind
// collation first, then the exact texts, so equal-looking names keep one order.
int compareTreeNames(const QString& a, const QString& b);
