// The directory tree of the "Owners" page, listed one container at a time as
// the user opens it, and the owner list filled from it.

#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QTreeWidget>
#include <array>
#include <cstring>
#include <optional>
#include <string>

#include "app/tfrmmain.h"
#include "netclient/qt_dirtreeitem.h"
#include "platform/asciicase.h"
#include "platform/uiservices.h"
#include "scan/filetests.h"

namespace {

constexpr unsigned kStandardBeep = 0xFFFFFFFFu;
// Full names are held in 256-byte texts: the name context of a listing and the
// owner names the scan compares are never longer than this many bytes.
constexpr std::size_t kMaxFullNameBytes = 255;

// The node's text, then the text of each ancestor below the top node, joined
// by "."; the top node itself is "[root]". Built from the texts as they stand,
// so a node renamed in place changes every name below it. Nothing when the
// name would not fit its 256-byte text.
std::optional<std::string> fullNameOf(const QTreeWidgetItem* node)
{
    if (!node->parent())
        return std::string("[root]");
    std::string name = node->text(0).toStdString();
    for (const QTreeWidgetItem* ancestor = node->parent(); ancestor->parent(); ancestor = ancestor->parent()) {
        name += '.';
        name += ancestor->text(0).toStdString();
        if (name.size() > kMaxFullNameBytes)
            return std::nullopt;
    }
    if (name.size() > kMaxFullNameBytes)
        return std::nullopt;
    return name;
}

// Adds an owner to the list, or selects it when the list holds it already:
// the owner test compares names blind to the case of a-z, so a second entry
// would select no file the first does not.
void addOwner(QListWidget* list, const QString& name)
{
    const std::string wanted = name.toStdString();
    for (int row = 0; row < list->count(); ++row) {
        if (ascii::equalsIgnoringCase(list->item(row)->text().toStdString(), wanted)) {
            list->setCurrentRow(row);
            list->scrollToItem(list->item(row));
            return;
        }
    }
    list->addItem(name);
}

bool isLeafClass(std::string_view className)
{
    const QString name = QString::fromUtf8(className.data(), static_cast<qsizetype>(className.size()));
    return name.compare(QStringLiteral("User"), Qt::CaseInsensitive) == 0 ||
           name.compare(QStringLiteral("NCP Server"), Qt::CaseInsensitive) == 0;
}

}  // namespace

void Tfrmmain::treendsExpanding(QTreeWidgetItem* node)
{
    if (!node)
        return;
    // While a container is listed the window takes clicks (a slow directory
    // must not freeze it); a second container opened meanwhile would change
    // the listing's name context under the first. It closes again, still
    // unlisted, to be opened once the first is done.
    if (m_listingTree) {
        node->setExpanded(false);
        uiServices().messageBeep(kStandardBeep);
        return;
    }
    m_listingTree = true;
    uiServices().setCursor(ScreenCursor::Hourglass);
    repaint();
    LoadTreeNode(node);
    m_listingTree = false;
    // The whole tree, every level, not only the opened node's children: a
    // renamed node elsewhere finds its place again too.
    treends->sortItems(0, Qt::AscendingOrder);
    treends->setCurrentItem(node);
    uiServices().setCursor(ScreenCursor::Arrow);
}

void Tfrmmain::LoadTreeNode(QTreeWidgetItem* node)
{
    // The placeholder is the only record of a container not yet listed; once it
    // is gone the container is never listed again.
    if (!node || node->childCount() == 0 || node->child(0)->text(0) != QLatin1String(kTreePlaceholder))
        return;
    delete node->takeChild(0);
    ListTreeChildren(node);
}

void Tfrmmain::ListTreeChildren(QTreeWidgetItem* node)
{
    NwClient* client = nwClient();
    if (!node || !client)
        return;

    // The listing lists whatever the name context names. When this node's name
    // cannot be written there (too long for its text, or refused), the context
    // still names the container listed before, whose objects must not appear
    // under this node: the node is left without children instead.
    const std::optional<std::string> fullName = fullNameOf(node);
    if (!fullName) {
        uiServices().messageBeep(kStandardBeep);
        return;
    }
    std::array<char, kMaxFullNameBytes + 1> nameContext{};
    std::memcpy(nameContext.data(), fullName->data(), fullName->size());
    if (const NWCCODE code = client->NWDSSetContext(TreeContext, nw::kContextNameContext, nameContext.data())) {
        ShowNWError(QStringLiteral("Cannot Set Context"), code);
        return;
    }

    // Without a buffer there is nothing to list into.
    Buf_T* buffer = nullptr;
    if (const NWCCODE code = client->NWDSAllocBuf(nw::kDsBufferSize, &buffer)) {
        ShowNWError(QStringLiteral("NWDSAllocBuf"), code);
        return;
    }

    std::int32_t iteration = -1;
    do {
        // A failed list call ends the whole listing: calling it again with the
        // same handle would fail the same way for ever. A directory that did
        // not answer leaves the container as it was, to be opened again later.
        if (const NWCCODE code = client->NWDSList(TreeContext, "", &iteration, buffer)) {
            if (code == nw::kDsErrTransportFailure)
                ShowTreeUnanswered(node);
            break;
        }
        std::uint32_t count = 0;
        if (client->NWDSGetObjectCount(TreeContext, buffer, &count) != nw::kSuccess)
            continue;
        for (std::uint32_t index = 0; index < count; ++index) {
            std::array<char, 256> name{};
            std::uint32_t attributeCount = 0;
            ObjectInfoRecord info{};
            // A failed read ends this portion: the same read would be tried again.
            if (client->NWDSGetObjectName(TreeContext, buffer, name.data(), &attributeCount, &info) != nw::kSuccess)
                break;
            const std::string_view objectName = nw::boundedText(name.data(), name.size());
            const QString text = QString::fromUtf8(objectName.data(), static_cast<qsizetype>(objectName.size()));
            // One node per object: a container (with subordinates) can be
            // opened whatever its class; users and servers without subordinates
            // are leaves; any other object without subordinates is not shown.
            if (info.subordinateCount > 0) {
                auto* child = new DirTreeItem(text);
                child->addChild(new DirTreeItem(QString::fromLatin1(kTreePlaceholder)));
                node->addChild(child);
                repaint();
            } else if (isLeafClass(nw::boundedText(info.baseClass, sizeof info.baseClass))) {
                node->addChild(new DirTreeItem(text));
            }
        }
    } while (iteration != -1);

    if (const NWCCODE code = client->NWDSFreeBuf(buffer))
        ShowNWError(QStringLiteral("NWDSFreeBuf"), code);
}

void Tfrmmain::ShowTreeUnanswered(QTreeWidgetItem* node)
{
    qDeleteAll(node->takeChildren());
    node->addChild(new DirTreeItem(QString::fromLatin1(kTreePlaceholder)));
    node->setExpanded(false);
    std::string directory = "directory";
    std::string reason;
    nwClient()->directoryFailure(directory, reason);
    lblMessage->setText(QStringLiteral("%1 not listed: the directory did not answer (%2: %3)")
                            .arg(QString::fromStdString(fullNameOf(node).value_or(std::string())),
                                 QString::fromStdString(directory), QString::fromStdString(reason)));
    m_outcomeShown = true;
}

void Tfrmmain::cmdUserAddClick()
{
    const QList<QTreeWidgetItem*> selected = treends->selectedItems();
    if (selected.isEmpty()) {
        uiServices().messageBeep(kStandardBeep);
        return;
    }
    // The owner test compares names of at most 255 bytes; a longer one could
    // never match and is refused rather than cut into some other name.
    const std::optional<std::string> fullName = fullNameOf(selected.first());
    if (!fullName) {
        uiServices().messageBeep(kStandardBeep);
        return;
    }
    addOwner(lstUsers, QString::fromStdString(*fullName));
}

void Tfrmmain::AddOutsideDirectoryClick() { addOwner(lstUsers, QString::fromLatin1(kOutsideDirectoryItem)); }

void Tfrmmain::cmdUserRemoveClick()
{
    const QList<QListWidgetItem*> selected = lstUsers->selectedItems();
    if (selected.isEmpty()) {
        uiServices().messageBeep(kStandardBeep);
        return;
    }
    delete lstUsers->takeItem(lstUsers->row(selected.first()));
    // The list would select the next entry by itself, and a second "<" would
    // remove an owner nobody chose: after a removal nothing is selected.
    lstUsers->selectionModel()->clear();
}

void Tfrmmain::cmdUsersDeleteAllClick()
{
    if (lstUsers->count() == 0) {
        uiServices().messageBeep(kStandardBeep);
        return;
    }
    lstUsers->clear();
}
