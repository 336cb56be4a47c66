// The folder list of one drive: its levels read through the drive table's
// listings, drawn indented, and the entry that a double-click or Enter opens.

#include "app/folderlistbox.h"

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QStyle>
#include <QStyledItemDelegate>
#include <cerrno>
#include <cstring>

#include "platform/drives.h"
#include "platform/uiservices.h"

namespace {

constexpr int kFolderRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kIndentStep = 10;
// Folders and files, hidden and system ones included: the listing only
// returns directories when asked for them.
constexpr std::uint32_t kListAttributes = 0x17;

// Draws each entry indented by its level.
class IndentDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem indented(option);
        indented.rect.adjust(indent(index), 0, 0, 0);
        QStyledItemDelegate::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(index), 0);
    }

private:
    static int indent(const QModelIndex& index) { return index.data(kLevelRole).toInt() * kIndentStep; }
};

QString joinFolder(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('\\')) ? folder + name : folder + QLatin1Char('\\') + name;
}

// The folders below path (a Windows folder), in the order the listing gives.
QStringList subfolders(const QString& path)
{
    QStringList names;
    platform::DirListing listing;
    if (!listing.open(joinFolder(path, QStringLiteral("*.*")).toStdString(), kListAttributes))
        return names;
    platform::DirEntry entry;
    while (listing.next(entry)) {
        if (!(entry.attributes & platform::kAttrDirectory) || entry.name == "." || entry.name == "..")
            continue;
        names << QString::fromStdString(entry.name);
    }
    return names;
}

// The name a folder has on disk: the entry of its parent's listing that
// matches it, the exact spelling first, else one differing in case only.
QString nameOnDisk(const QString& parent, const QString& name)
{
    const QStringList names = subfolders(parent);
    if (names.contains(name))
        return name;
    for (const QString& candidate : names) {
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return name;
}

}  // namespace

FolderListBox::FolderListBox(QWidget* parent) : QListWidget(parent)
{
    setItemDelegate(new IndentDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this, &FolderListBox::openEntry);
}

QString FolderListBox::entryFolder(int row) const
{
    const QListWidgetItem* entry = item(row);
    return entry ? entry->data(kFolderRole).toString() : QString();
}

int FolderListBox::setDirectory(const QString& windowsPath)
{
    const QString text = windowsPath.trimmed();
    if (text.size() < 2 || text[1] != QLatin1Char(':') || !text[0].isLetter() || text[0].unicode() > 0x7F)
        return EINVAL;
    const QString root = text.left(1).toUpper() + QStringLiteral(":\\");

    QStringList components;
    for (const QString& part : text.mid(2).split(QRegularExpression(QStringLiteral("[\\\\/]")), Qt::SkipEmptyParts)) {
        if (part == QStringLiteral("."))
            continue;
        if (part == QStringLiteral("..")) {
            if (!components.isEmpty())
                components.removeLast();
            continue;
        }
        if (part.contains(QLatin1Char('*')) || part.contains(QLatin1Char('?')))
            return ENOENT;
        components << part;
    }

    QString folder = root;
    for (QString& part : components) {
        part = nameOnDisk(folder, part);
        folder = joinFolder(folder, part);
    }

    const std::optional<std::string> host = platform::drives().hostPath(folder.toStdString());
    if (!host)
        return ENOENT;
    const QFileInfo info(QString::fromStdString(*host));
    if (!info.exists())
        return ENOENT;
    if (!info.isDir())
        return ENOTDIR;
    if (const int code = platform::setCurrentFolder(folder.toStdString()); code != 0)
        return code;

    const bool changed = folder != m_directory;
    m_directory = folder;
    fill(root, components);
    if (changed)
        emit directoryChanged(m_directory);
    return 0;
}

void FolderListBox::fill(const QString& root, const QStringList& components)
{
    const QStyle* style = QApplication::style();
    const auto addEntry = [this](const QString& caption, const QString& folder, int level, const QIcon& icon) {
        auto* entry = new QListWidgetItem(icon, caption, this);
        entry->setData(kFolderRole, folder);
        entry->setData(kLevelRole, level);
        entry->setToolTip(folder);
    };

    clear();
    addEntry(root, root, 0, style->standardIcon(QStyle::SP_DriveHDIcon));
    QString folder = root;
    int level = 0;
    for (const QString& part : components) {
        folder = joinFolder(folder, part);
        addEntry(part, folder, ++level, style->standardIcon(QStyle::SP_DirOpenIcon));
    }
    const int currentRow = count() - 1;
    for (const QString& name : subfolders(folder))
        addEntry(name, joinFolder(folder, name), level + 1, style->standardIcon(QStyle::SP_DirClosedIcon));
    setCurrentRow(currentRow);
    scrollToItem(item(currentRow));
}

void FolderListBox::openEntry(QListWidgetItem* entry)
{
    if (!entry)
        return;
    const QString folder = entry->data(kFolderRole).toString();
    if (const int code = setDirectory(folder); code != 0) {
        uiServices().messageBox(this,
                                QStringLiteral("Cannot open the folder %1\n\n%2")
                                    .arg(folder, QString::fromLocal8Bit(std::strerror(code))),
                                QStringLiteral("Trawl"));
    }
}

void FolderListBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter opens the entry and goes no further (it does not start a scan).
        openEntry(currentItem());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}
