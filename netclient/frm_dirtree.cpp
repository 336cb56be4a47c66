// Placeholder definitions until this file is written.
#include "app/tfrmmain.h"

void Tfrmmain::treendsExpanding(QTreeWidgetItem*) {}
void Tfrmmain::LoadTreeNode(QTreeWidgetItem*) {}
void Tfrmmain::ListTreeChildren(QTreeWidgetItem*) {}
void Tfrmmain::cmdUserAddClick() {}
void Tfrmmain::cmdUserRemoveClick() {}
void Tfrmmain::cmdUsersDeleteAllClick() {}
