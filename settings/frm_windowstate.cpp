// The window's size, place, state and results columns, kept in TRAWL.INI
// from one run to the next.
#include <QHeaderView>
#include <QTreeView>

#include "app/tfrmmain.h"
#include "platform/uiservices.h"
#include "settings/profileroutines.h"

namespace {

constexpr const char* kStateFile = "TRAWL.INI";
constexpr int kDefaultColumnWidth = 110;
constexpr int kStoredColumns = 4;

enum StoredState : std::int32_t { Normal = 0, Minimised = 1, Maximised = 2 };

std::string columnKey(int column) { return "Column" + std::to_string(column); }

}  // namespace

void Tfrmmain::RestoreWindowState()
{
    // Every value is read by its own call, so each resolves the file anew.
    // A stored 0 means "no value": the designed size, or centred on that axis.
    if (const std::int32_t storedWidth = IniReadInteger(kStateFile, "Size", "Width", 0); storedWidth != 0)
        resize(storedWidth, height());  // the minimum size still holds
    if (const std::int32_t storedHeight = IniReadInteger(kStateFile, "Size", "Height", 0); storedHeight != 0)
        resize(width(), storedHeight);

    const QSize screen = uiServices().screenSize();
    // Centring divides with the fraction dropped toward zero, so a window
    // larger than the screen gets a negative edge.
    std::int32_t top = IniReadInteger(kStateFile, "Size", "Top", 0);
    if (top == 0)
        top = (screen.height() - height()) / 2;
    move(x(), top);
    std::int32_t left = IniReadInteger(kStateFile, "Size", "Left", 0);
    if (left == 0)
        left = (screen.width() - width()) / 2;
    move(left, y());

    // Values other than 1 and 2 give the normal state.
    Qt::WindowStates state = windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    switch (IniReadInteger(kStateFile, "Size", "State", Normal)) {
    case Minimised:
        state |= Qt::WindowMinimized;
        break;
    case Maximised:
        state |= Qt::WindowMaximized;
        break;
    default:
        break;
    }
    setWindowState(state);

    for (int column = 0; column < kStoredColumns; ++column) {
        std::int32_t columnWidth = IniReadInteger(kStateFile, "Columns", columnKey(column), kDefaultColumnWidth);
        if (columnWidth < 0)
            columnWidth = kDefaultColumnWidth;  // no width to give a column
        lvwResults->setColumnWidth(column, columnWidth);
    }
}

void Tfrmmain::FormClose()
{
    // One message for a file that cannot be written, then the rest is not
    // tried; the window closes all the same, as its state is only a comfort.
    const auto failed = [&](const ProfileWriteResult& result) {
        if (!result)
            return false;
        uiServices().messageBox(this, QString::fromStdString(result->message()), "Trawl");
        return true;
    };

    const StoredState state = isMinimized() ? Minimised : isMaximized() ? Maximised : Normal;
    if (failed(IniWriteInteger(kStateFile, "Size", "State", state)))
        return;
    // Minimised or maximised, the four keys keep the last normal size and place.
    if (state == Normal) {
        if (failed(IniWriteInteger(kStateFile, "Size", "Width", width())) ||
            failed(IniWriteInteger(kStateFile, "Size", "Height", height())) ||
            failed(IniWriteInteger(kStateFile, "Size", "Top", y())) ||
            failed(IniWriteInteger(kStateFile, "Size", "Left", x())))
            return;
    }
    for (int column = 0; column < kStoredColumns; ++column) {
        if (failed(IniWriteInteger(kStateFile, "Columns", columnKey(column), lvwResults->columnWidth(column))))
            return;
    }
}
