// The directory tree on a simulated workstation: typeless names listed
// through the tree's own context, portions that really iterate, and a fault
// that makes reads fail without the listing ever looping.

#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <memory>

#include "app/tfrmmain.h"
#include "netclient/simclient.h"
#include "platform/drives.h"
#include "support/core_mocknwclient.h"
#include "support/core_tempworkstation.h"
#include "support/gui_recordinguiservices.h"

namespace {

QStringList childTexts(const QTreeWidgetItem* node)
{
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

QTreeWidgetItem* childNamed(QTreeWidgetItem* node, const QString& text)
{
    for (int i = 0; i < node->childCount(); ++i)
        if (node->child(i)->text(0) == text)
            return node->child(i);
    return nullptr;
}

class SimDirTreeTest : public ::testing::Test {
protected:
    SimDirTreeTest()
    {
        ws.addVolume("FS1", "SYS");
        ws.mapDrive('F', "FS1/SYS:");
        for (const char* line :
             {"ACME=Organization", "SALES.ACME=Organizational Unit", "EAST.SALES.ACME=Organizational Unit",
              "jsmith.EAST.SALES.ACME=User, 0x1001", "MJONES.EAST.SALES.ACME=User, 0x1002",
              "ALEE.EAST.SALES.ACME=User, 0x1003", "bking.SALES.ACME=User, 0x1004", "FS1.ACME=NCP Server, 0x2001",
              "STAFF.ACME=Group", "PRINTERS.ACME=Organizational Unit", "LASER.PRINTERS.ACME=Print Queue"})
            ws.addLine("Directory", line);
    }
    ~SimDirTreeTest() override { platform::drives().clear(); }

    void start()
    {
        configFile = std::make_unique<ScopedEnvironment>("NWCLIENT_CONFIG", ws.write().c_str());
        window.FormShow();
        ASSERT_EQ(window.treends->topLevelItemCount(), 1);
    }
    QTreeWidgetItem* root() const { return window.treends->topLevelItem(0); }
    // Opens the child of a node by its text, as the user does.
    QTreeWidgetItem* open(QTreeWidgetItem* node, const QString& text)
    {
        QTreeWidgetItem* found = childNamed(node, text);
        if (found == nullptr) {
            ADD_FAILURE() << "no " << text.toStdString() << " under " << node->text(0).toStdString();
            return node;
        }
        found->setExpanded(true);
        return found;
    }

    TempWorkstation ws;
    QTemporaryDir config;
    ScopedEnvironment configHome{"XDG_CONFIG_HOME", config.path().toUtf8().constData()};
    RecordingUiServices ui;
    ScopedUiServices uiInstalled{ui};
    SimClient client;
    ScopedNwClient clientInstalled{&client};
    std::unique_ptr<ScopedEnvironment> configFile;
    Tfrmmain window;
};

TEST_F(SimDirTreeTest, ContainersOpenLevelByLevelAndOwnersGetTheirFullNames)
{
    client.setListPortionSize(1);
    start();
    EXPECT_EQ(childTexts(root()), QStringList{"ACME"});

    QTreeWidgetItem* acme = open(root(), "ACME");
    // The group has no objects below it and is not shown; PRINTERS holds one.
    EXPECT_EQ(childTexts(acme), (QStringList{"FS1", "PRINTERS", "SALES"}));
    QTreeWidgetItem* east = open(open(acme, "SALES"), "EAST");
    EXPECT_EQ(childTexts(east), (QStringList{"ALEE", "jsmith", "MJONES"}));
    EXPECT_EQ(childTexts(open(acme, "PRINTERS")), QStringList{});

    window.treends->setCurrentItem(childNamed(east, "jsmith"));
    window.cmdUserAdd->click();
    window.treends->setCurrentItem(childNamed(acme, "SALES"));
    window.cmdUserAdd->click();
    EXPECT_EQ(window.lstUsers->item(0)->text(), "jsmith.EAST.SALES.ACME");
    EXPECT_EQ(window.lstUsers->item(1)->text(), "SALES.ACME");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SimDirTreeTest, AFailingReadSkipsItsObjectAndTheListingEnds)
{
    // One object per portion: the failed read ends its own portion only.
    client.setListPortionSize(1);
    ws.addLine("Faults", "Fault0=NWDSGetObjectName, MJONES, 89FF");
    start();
    QTreeWidgetItem* east = open(open(open(root(), "ACME"), "SALES"), "EAST");
    EXPECT_EQ(childTexts(east), (QStringList{"ALEE", "jsmith"}));
    EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
