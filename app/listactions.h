#pragma once

// What a person does with the rows of the results, errors and totals lists:
// sorts them by a click on a column heading (a second click reverses), selects
// several (Shift, Ctrl, Ctrl+A), copies them (Ctrl+C or the context menu's
// "Copy": tab-separated, a headings line first; "Copy Path": the paths, one a
// line), and, in the results, opens a file or the folder that holds it (the
// context menu, or a double click for the folder) with the desktop's programs.
// A list that may be emptied by hand (the errors) has "Clear" in its menu.

#include <QObject>
#include <QString>
#include <vector>

class QMenu;
class QPoint;
class QTreeView;
class QWidget;
class CompactListModel;
class ResultsModel;
class SortableListModel;

class ListActions : public QObject {
    Q_OBJECT
public:
    // pathColumn: the column "Copy Path" copies, -1 for a list without paths.
    // results: the model whose rows can be opened; nullptr for the other lists.
    // clearable: the model "Clear" empties; nullptr for a list without it.
    // Owned by the view.
    ListActions(QTreeView* view, SortableListModel* model, int pathColumn, const ResultsModel* results = nullptr,
                CompactListModel* clearable = nullptr);

    void copyRows() const;
    void copyPaths() const;
    void openFile(int row) const;
    void openContainingFolder(int row) const;
    // The context menu for the row under the pointer (-1 for none).
    QMenu* makeContextMenu(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void headingClicked(int column);
    void showSortIndicator();
    void showContextMenu(const QPoint& position);
    // The selected rows, top to bottom.
    std::vector<int> selectedRows() const;
    // Hands a results path to the desktop, or says why it cannot.
    void openWithDesktop(const QString& windowsPath, const QString& what) const;

    QTreeView* m_view;
    SortableListModel* m_model;
    int m_pathColumn;
    const ResultsModel* m_results;
    CompactListModel* m_clearable;
};

// Makes the last column of a list take the width its list has to spare: it is
// shown at least as wide as the room right of the other columns, and at least
// as wide as it was last set (by a drag, or from the window state), which is
// what its width reads when the list is not on screen. A sharing column
// takes a part of that room too: it is shown at least a third as wide as the
// room right of the columns before it, until the person drags it, from when
// on it keeps the width dragged. The other columns keep exactly the widths
// they are given.
class LastColumnFill : public QObject {
    Q_OBJECT
public:
    explicit LastColumnFill(QTreeView* view, int sharingColumn = -1);  // owned by the view

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void sectionResized(int section, int newSize);
    void fit();
    void resizeSection(int section, int width);

    QTreeView* m_view;
    QWidget* m_viewport;
    QWidget* m_headerViewport;
    int m_ownWidth;
    int m_sharing;
    int m_sharingOwnWidth = 0;
    bool m_sharingDragged = false;
    bool m_headerPressed = false;
    bool m_fitting = false;
};
