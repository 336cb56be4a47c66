// The start-up on simulated workstations: a missing workstation file, drives
// of two servers beside a local one, and the demo workstation that the run
// command makes, started as the user sees it.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <filesystem>
#include <memory>

#include "app/folderlistbox.h"
#include "app/tfrmmain.h"
#include "netclient/simclient.h"
#include "platform/drives.h"
#include "support/core_mocknwclient.h"
#include "support/core_tempworkstation.h"
#include "support/gui_recordinguiservices.h"

namespace {

QStringList comboEntries(const QComboBox* combo)
{
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    return entries;
}

QStringList childTexts(const QTreeWidgetItem* node)
{
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

std::string allMessages(const RecordingUiServices& ui)
{
    std::string text;
    for (const QString& message : ui.messageTexts())
        text += message.toStdString() + "\n";
    return text;
}

class SimStartupTest : public ::testing::Test {
protected:
    ~SimStartupTest() override { platform::drives().clear(); }

    // Starts the window on the workstation file at path, as the program does.
    void startOn(const std::string& path)
    {
        configFile = std::make_unique<ScopedEnvironment>("NWCLIENT_CONFIG", path.c_str());
        window.FormShow();
    }

    QTemporaryDir config;
    ScopedEnvironment configHome{"XDG_CONFIG_HOME", config.path().toUtf8().constData()};
    RecordingUiServices ui;
    ScopedUiServices uiInstalled{ui};
    SimClient client;
    ScopedNwClient clientInstalled{&client};
    std::unique_ptr<ScopedEnvironment> configFile;
    Tfrmmain window;
};

TEST_F(SimStartupTest, AMissingWorkstationFileFailsTheInitialisation)
{
    QTemporaryDir empty;
    startOn(empty.filePath("workstation.ini").toStdString());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "An Error Occurred :\n\nCannot Init Netware\nError Code : 88fe");
    EXPECT_EQ(window.cboDrives->count(), 0);
    EXPECT_EQ(window.treends->topLevelItemCount(), 0);
}

TEST_F(SimStartupTest, NetWareDrivesOfTwoServersAreListedAndTheLocalOneIsNot)
{
    TempWorkstation ws;
    ws.addVolume("FS1", "SYS");
    const std::string data = ws.addVolume("FS2", "DATA");
    ws.makeFolder(data + "/PUBLIC");
    ws.mapDrive('C', ws.addLocalFolder("c"));
    ws.mapDrive('F', "FS1/SYS:");
    ws.mapDrive('H', "FS2/DATA:PUBLIC");
    ws.addLine("Directory", "ORG=Organization");
    ws.addLine("Directory", "ADMIN.ORG=User, 0x1001");

    startOn(ws.write());

    EXPECT_TRUE(ui.messages.empty()) << allMessages(ui);
    EXPECT_EQ(comboEntries(window.cboDrives), (QStringList{"F:       FS1/SYS:", "H:       FS2/DATA:PUBLIC"}));
    EXPECT_EQ(window.cboDrives->currentIndex(), 0);
    EXPECT_EQ(window.DirectoryListBox1->directory(), "F:\\");
    ASSERT_EQ(window.treends->topLevelItemCount(), 1);
    EXPECT_EQ(childTexts(window.treends->topLevelItem(0)), QStringList{"ORG"});
}

// The demo workstation of the run command: made by trawl_makedemo (built beside
// the tests), and every page of the start-up has something to show.
TEST_F(SimStartupTest, TheDemoWorkstationStartsWithoutAMessage)
{
    const QString tool = QCoreApplication::applicationDirPath() + "/trawl_makedemo";
    if (!QFileInfo(tool).isExecutable())
        GTEST_SKIP() << "trawl_makedemo is not built beside the tests";
    QTemporaryDir top;
    const QString demo = top.filePath("demo");
    QProcess make;
    make.start(tool, {demo});
    ASSERT_TRUE(make.waitForFinished(120000));
    ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();

    startOn((demo + "/workstation.ini").toStdString());

    EXPECT_TRUE(ui.messages.empty()) << allMessages(ui);
    EXPECT_EQ(comboEntries(window.cboDrives),
              (QStringList{"F:       FS1/SYS:", "G:       FS1/DATA:", "H:       FS2/APPS:", "S:       FS2/SHARE:"}));
    EXPECT_EQ(window.DirectoryListBox1->directory(), "F:\\");
    QTreeWidgetItem* root = window.treends->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(childTexts(root), (QStringList{"ACME", "LABS"}));
    QTreeWidgetItem* acme = root->child(0);
    acme->setExpanded(true);
    // Units and a server; the group and the volume objects are not shown.
    EXPECT_EQ(childTexts(acme), (QStringList{"ADMIN", "ENG", "FS1", "SALES"}));
    EXPECT_TRUE(ui.messages.empty());

    // A second run leaves the demo as it is.
    QFile ini(demo + "/workstation.ini");
    ASSERT_TRUE(ini.open(QIODevice::Append));
    ini.write("; kept\n");
    ini.close();
    make.start(tool, {demo});
    ASSERT_TRUE(make.waitForFinished(120000));
    EXPECT_EQ(make.exitCode(), 0);
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().endsWith("; kept\n"));
    ini.close();

    // The demo holds a name that is not UTF-8, which Qt cannot remove by name.
    std::error_code error;
    std::filesystem::remove_all(demo.toStdString(), error);
}

}  // namespace
