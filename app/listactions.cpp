// What a person does with the rows of the lists (sort, select, copy, open with
// the desktop's programs), and the last column that fills the list's width.

#include "app/listactions.h"

#include <QAction>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QTreeView>
#include <algorithm>

#include "output/qt_listmodels.h"
#include "platform/drives.h"
#include "platform/uiservices.h"

namespace {

// A copied cell stays on its line and in its column: control characters (a
// tab or a line break in a host name) become "?", which no NetWare name holds.
void appendCell(QString& text, const QString& cell)
{
    for (const QChar c : cell)
        text += (c.unicode() < 0x20 || c.unicode() == 0x7F) ? QLatin1Char('?') : c;
}

}  // namespace

ListActions::ListActions(QTreeView* view, SortableListModel* model, int pathColumn, const ResultsModel* results,
                         CompactListModel* clearable)
    : QObject(view),
      m_view(view),
      m_model(model),
      m_pathColumn(pathColumn),
      m_results(results),
      m_clearable(clearable)
{
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    // Ahead of the view's own Ctrl+C, which would copy one cell.
    view->installEventFilter(this);
    connect(view, &QWidget::customContextMenuRequested, this, &ListActions::showContextMenu);
    if (m_results) {
        connect(view, &QAbstractItemView::doubleClicked, this,
                [this](const QModelIndex& index) { openContainingFolder(index.row()); });
    }

    QHeaderView* header = view->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    connect(header, &QHeaderView::sectionClicked, this, &ListActions::headingClicked);
    // Rows that arrive after a sort stand below the sorted ones, so the
    // indicator goes until the next click sorts them all.
    connect(model, &QAbstractItemModel::rowsInserted, this, &ListActions::showSortIndicator);
    connect(model, &QAbstractItemModel::modelReset, this, &ListActions::showSortIndicator);
    connect(model, &QAbstractItemModel::layoutChanged, this, &ListActions::showSortIndicator);
    connect(model, &SortableListModel::listChanged, this, &ListActions::showSortIndicator);
    showSortIndicator();
}

void ListActions::headingClicked(int column)
{
    // The shown order reversed on a second click; any other column, or the
    // same one after new rows took its indicator away, sorts up.
    const bool reverse = m_model->sortedColumn() == column && m_model->sortedOrder() == Qt::AscendingOrder;
    // No hourglass: a million rows sort in well under a second, and a sort
    // during a scan must not take the scan's hourglass away.
    m_model->sort(column, reverse ? Qt::DescendingOrder : Qt::AscendingOrder);
    if (const QModelIndex current = m_view->currentIndex(); current.isValid())
        m_view->scrollTo(current);
}

void ListActions::showSortIndicator()
{
    // The header emits sortIndicatorChanged, which nothing here sorts on.
    m_view->header()->setSortIndicator(m_model->sortedColumn(), m_model->sortedOrder());
}

std::vector<int> ListActions::selectedRows() const
{
    std::vector<std::pair<int, int>> ranges;
    for (const QItemSelectionRange& range : m_view->selectionModel()->selection())
        ranges.emplace_back(range.top(), range.bottom());
    std::sort(ranges.begin(), ranges.end());
    std::vector<int> rows;
    int next = 0;  // rows above it are taken
    for (const auto& [top, bottom] : ranges) {
        for (int row = std::max(top, next); row <= bottom; ++row)
            rows.push_back(row);
        next = std::max(next, bottom + 1);
    }
    return rows;
}

void ListActions::copyRows() const
{
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) {
        uiServices().messageBeep(0);
        return;
    }
    const int columns = m_model->columnCount();
    QString text;
    for (int column = 0; column < columns; ++column) {
        if (column > 0)
            text += QLatin1Char('\t');
        appendCell(text, m_model->headerData(column, Qt::Horizontal).toString());
    }
    text += QLatin1Char('\n');
    for (const int row : rows) {
        for (int column = 0; column < columns; ++column) {
            if (column > 0)
                text += QLatin1Char('\t');
            appendCell(text, m_model->text(row, column));
        }
        text += QLatin1Char('\n');
    }
    QGuiApplication::clipboard()->setText(text);
}

void ListActions::copyPaths() const
{
    const std::vector<int> rows = selectedRows();
    if (rows.empty() || m_pathColumn < 0) {
        uiServices().messageBeep(0);
        return;
    }
    QString text;
    for (const int row : rows) {
        appendCell(text, m_model->text(row, m_pathColumn));
        text += QLatin1Char('\n');
    }
    QGuiApplication::clipboard()->setText(text);
}

void ListActions::openWithDesktop(const QString& windowsPath, const QString& what) const
{
    // The drive table of the workstation says where a drive's files live.
    const std::optional<std::string> host = platform::drives().hostPath(windowsPath.toStdString());
    const QString hostPath = host ? QString::fromStdString(*host) : QString();
    if (hostPath.isEmpty() || !QFileInfo::exists(hostPath)) {
        uiServices().messageBox(
            m_view->window(),
            QStringLiteral("Unable to open %1 %2: it is not there on this workstation").arg(what, windowsPath),
            QStringLiteral("Trawl"));
        return;
    }
    if (!uiServices().openWithDesktop(hostPath))
        uiServices().messageBox(m_view->window(),
                                QStringLiteral("Unable to open %1 %2 (%3): the desktop has no program for it")
                                    .arg(what, windowsPath, hostPath),
                                QStringLiteral("Trawl"));
}

void ListActions::openFile(int row) const
{
    if (m_results && row >= 0 && row < m_results->rowCount())
        openWithDesktop(m_results->fullPath(row), QStringLiteral("the file"));
}

void ListActions::openContainingFolder(int row) const
{
    if (m_results && row >= 0 && row < m_results->rowCount())
        openWithDesktop(m_results->folderPath(row), QStringLiteral("the folder"));
}

QMenu* ListActions::makeContextMenu(int row)
{
    auto* menu = new QMenu(m_view);
    menu->setObjectName(QStringLiteral("listMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (m_results) {
        QAction* open = menu->addAction(QStringLiteral("Open"), this, [this, row] { openFile(row); });
        QAction* folder = menu->addAction(QStringLiteral("Open Containing Folder"), this,
                                          [this, row] { openContainingFolder(row); });
        open->setEnabled(row >= 0);
        folder->setEnabled(row >= 0);
        menu->addSeparator();
    }
    const bool anySelected = m_view->selectionModel()->hasSelection();
    QAction* copy = menu->addAction(QStringLiteral("Copy"), this, &ListActions::copyRows);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(anySelected);
    if (m_pathColumn >= 0) {
        QAction* copyPath = menu->addAction(QStringLiteral("Copy Path"), this, &ListActions::copyPaths);
        copyPath->setEnabled(anySelected);
    }
    if (m_clearable) {
        menu->addSeparator();
        QAction* clear = menu->addAction(QStringLiteral("Clear"), m_clearable, &CompactListModel::clear);
        clear->setEnabled(m_clearable->totalRows() > 0);
    }
    return menu;
}

void ListActions::showContextMenu(const QPoint& position)
{
    // A right click on a row outside the selection selects that row alone,
    // so the menu acts on what the person pointed at.
    const QModelIndex index = m_view->indexAt(position);
    if (index.isValid() && !m_view->selectionModel()->isRowSelected(index.row(), {})) {
        m_view->selectionModel()->setCurrentIndex(index,
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    makeContextMenu(index.isValid() ? index.row() : -1)->popup(m_view->viewport()->mapToGlobal(position));
}

bool ListActions::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy)) {
            event->accept();
            if (event->type() == QEvent::KeyPress)
                copyRows();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

LastColumnFill::LastColumnFill(QTreeView* view, int sharingColumn)
    : QObject(view),
      m_view(view),
      m_viewport(view->viewport()),
      m_headerViewport(view->header()->viewport()),
      m_ownWidth(view->header()->sectionSize(view->header()->count() - 1)),
      m_sharing(sharingColumn)
{
    // Qt's own stretch would override the width the last column is given.
    view->header()->setStretchLastSection(false);
    if (m_sharing >= 0)
        m_sharingOwnWidth = view->header()->sectionSize(m_sharing);
    m_viewport->installEventFilter(this);
    // A column resized while a button is down on the header is resized by the person.
    m_headerViewport->installEventFilter(this);
    connect(view->header(), &QHeaderView::sectionResized, this,
            [this](int section, int, int newSize) { sectionResized(section, newSize); });
}

void LastColumnFill::sectionResized(int section, int newSize)
{
    if (m_fitting)
        return;
    if (section == m_view->header()->count() - 1)
        m_ownWidth = newSize;
    if (section == m_sharing) {
        m_sharingOwnWidth = newSize;
        m_sharingDragged = m_sharingDragged || m_headerPressed;
    }
    fit();
}

void LastColumnFill::resizeSection(int section, int width)
{
    QHeaderView* header = m_view->header();
    if (width == header->sectionSize(section))
        return;
    m_fitting = true;
    header->resizeSection(section, width);
    m_fitting = false;
}

void LastColumnFill::fit()
{
    // Only a list on screen has room to fill.
    if (!m_view->isVisible())
        return;
    QHeaderView* header = m_view->header();
    const int last = header->count() - 1;
    if (last < 0)
        return;
    const int room = m_view->viewport()->width();
    int others = 0;
    for (int section = 0; section < last; ++section) {
        if (section == m_sharing && !m_sharingDragged)
            resizeSection(section, std::max(m_sharingOwnWidth, (room - others) / 3));
        others += header->sectionSize(section);
    }
    resizeSection(last, std::max(m_ownWidth, room - others));
}

bool LastColumnFill::eventFilter(QObject* watched, QEvent* event)
{
    // The viewport still sends events while the view is being destroyed, so
    // the view is not asked which widget its viewport is.
    if (event->type() == QEvent::Resize && watched == m_viewport)
        fit();
    if (watched == m_headerViewport &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease))
        m_headerPressed = event->type() == QEvent::MouseButtonPress;
    return QObject::eventFilter(watched, event);
}
