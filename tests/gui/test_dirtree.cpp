// The directory tree of the "Owners" page and the owner list, against a
// scripted directory: what a listing adds, when it runs, its order, its
// failures, the loops that must end, and the three buttons.

#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QPushButton>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/tfrmmain.h"
#include "scan/filetests.h"
#include "support/core_scriptedclient.h"
#include "support/core_tempworkstation.h"
#include "support/gui_recordinguiservices.h"

namespace {

constexpr unsigned kStandardBeep = 0xFFFFFFFFu;

QStringList childTexts(const QTreeWidgetItem* node)
{
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

QStringList entries(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

class DirTreeTest : public ::testing::Test {
protected:
    DirTreeTest()
    {
        client.directory["[root]"] = {{"ORG", "Organization", 5}};
        client.directory["ORG"] = {{"DEPT", "Organizational Unit", 2},
                                   {"USER1", "User", 0},
                                   {"FS1", "NCP Server", 0},
                                   {"QUEUE", "Print Queue", 0},
                                   {"PRINTING", "Organizational Unit", 1}};
        client.directory["DEPT.ORG"] = {{"USER3", "User", 0}, {"USER2", "User", 0}};
        client.directory["PRINTING.ORG"] = {{"LASER", "Print Queue", 0}};
    }

    void start() { window.FormShow(); }
    QTreeWidgetItem* root() const { return window.treends->topLevelItem(0); }
    // The child of a node by its text; fails the test when there is none.
    QTreeWidgetItem* child(QTreeWidgetItem* node, const QString& text) const
    {
        for (int i = 0; i < node->childCount(); ++i)
            if (node->child(i)->text(0) == text)
                return node->child(i);
        ADD_FAILURE() << "no child " << text.toStdString() << " under " << node->text(0).toStdString();
        return node;
    }
    // Opens a node as the user does; the tree's expansion runs the handler.
    QTreeWidgetItem* open(QTreeWidgetItem* node)
    {
        node->setExpanded(true);
        return node;
    }
    void select(QTreeWidgetItem* node) { window.treends->setCurrentItem(node); }

    QTemporaryDir config;
    ScopedEnvironment configHome{"XDG_CONFIG_HOME", config.path().toUtf8().constData()};
    RecordingUiServices ui;
    ScopedUiServices uiInstalled{ui};
    ScriptedClient client;
    ScopedNwClient clientInstalled{&client.mock};
    Tfrmmain window;
};

// The owner list's buttons.

TEST_F(DirTreeTest, RightAfterStartUpTheRootIsSelectedSoAddNamesTheTop)
{
    start();
    ASSERT_EQ(window.treends->selectedItems(), QList<QTreeWidgetItem*>{root()});
    window.cmdUserAdd->click();
    EXPECT_EQ(entries(window.lstUsers), QStringList{"[root]"});
    EXPECT_TRUE(ui.beeps.empty());
}

TEST_F(DirTreeTest, AddingAnOwnerAlreadyListedSelectsItInstead)
{
    start();
    QTreeWidgetItem* dept = open(child(open(child(root(), "ORG")), "DEPT"));
    // As a settings file may have left it: the owner test is blind to case.
    window.lstUsers->addItem("user2.Dept.org");
    select(child(dept, "USER2"));
    window.cmdUserAdd->click();
    select(child(root(), "ORG"));
    window.cmdUserAdd->click();
    window.actAddOutsideDirectory->trigger();
    EXPECT_EQ(entries(window.lstUsers), (QStringList{"user2.Dept.org", "ORG", kOutsideDirectoryItem}));

    select(child(dept, "USER2"));
    window.cmdUserAdd->click();
    EXPECT_EQ(window.lstUsers->count(), 3);
    EXPECT_EQ(window.lstUsers->currentRow(), 0);
    window.actAddOutsideDirectory->trigger();
    EXPECT_EQ(window.lstUsers->count(), 3);
    EXPECT_EQ(window.lstUsers->currentRow(), 2);
    EXPECT_TRUE(window.lstUsers->item(2)->isSelected());
    EXPECT_TRUE(ui.beeps.empty());
}

TEST_F(DirTreeTest, ButtonsWithNothingToActOnOnlyBeep)
{
    start();
    struct Case {
        const char* what;
        QStringList listBefore;
        std::function<void()> press;
    };
    const std::vector<Case> cases{
        {"> with nothing selected in the tree",
         {"A"},
         [&] {
             window.treends->clearSelection();
             window.cmdUserAdd->click();
         }},
        {"<< with an empty list", {}, [&] { window.cmdUsersDeleteAll->click(); }},
        {"< with no entry selected",
         {"A", "B"},
         [&] {
             window.lstUsers->clearSelection();
             window.cmdUserRemove->click();
         }},
    };
    for (const Case& c : cases) {
        window.lstUsers->clear();
        window.lstUsers->addItems(c.listBefore);
        ui.clear();
        c.press();
        EXPECT_EQ(ui.beeps, std::vector<unsigned>{kStandardBeep}) << c.what;
        EXPECT_EQ(entries(window.lstUsers), c.listBefore) << c.what;
    }
}

TEST_F(DirTreeTest, RemoveTakesTheSelectedEntryAndDeleteAllEmptiesTheList)
{
    start();
    window.lstUsers->addItems({"A.ORG", "B.ORG", "C.ORG"});
    window.lstUsers->setCurrentRow(1);
    window.cmdUserRemove->click();
    EXPECT_EQ(entries(window.lstUsers), (QStringList{"A.ORG", "C.ORG"}));
    // Nothing is selected after a removal: a second "<" only beeps.
    EXPECT_TRUE(window.lstUsers->selectedItems().isEmpty());
    window.cmdUserRemove->click();
    EXPECT_EQ(entries(window.lstUsers), (QStringList{"A.ORG", "C.ORG"}));
    EXPECT_EQ(ui.beeps, std::vector<unsigned>{kStandardBeep});
    ui.clear();

    window.cmdUsersDeleteAll->click();
    EXPECT_EQ(window.lstUsers->count(), 0);
    EXPECT_TRUE(ui.beeps.empty());
}

// What a listing adds.

TEST_F(DirTreeTest, UsersAndServersAreLeavesContainersWaitWithAPlaceholder)
{
    start();
    // The start-up listed the top: one container, not yet listed.
    EXPECT_EQ(childTexts(root()), QStringList{"ORG"});
    EXPECT_EQ(childTexts(child(root(), "ORG")), QStringList{"Loading..."});

    QTreeWidgetItem* org = open(child(root(), "ORG"));
    // Sorted; the print queue without subordinates is not shown.
    EXPECT_EQ(childTexts(org), (QStringList{"DEPT", "FS1", "PRINTING", "USER1"}));
    EXPECT_EQ(child(org, "USER1")->childCount(), 0);
    EXPECT_EQ(child(org, "FS1")->childCount(), 0);
    EXPECT_EQ(childTexts(child(org, "DEPT")), QStringList{"Loading..."});
    EXPECT_FALSE(child(org, "DEPT")->isExpanded());
    EXPECT_TRUE(client.called("NWDSSetContext(12,3,ORG)"));
}

TEST_F(DirTreeTest, AContainerOfOtherClassesOnlyShowsNothing)
{
    start();
    QTreeWidgetItem* printing = open(child(open(child(root(), "ORG")), "PRINTING"));
    EXPECT_TRUE(client.called("NWDSSetContext(12,3,PRINTING.ORG)"));
    EXPECT_EQ(printing->childCount(), 0);
}

TEST_F(DirTreeTest, ReopeningAListedContainerDoesNotListItAgain)
{
    start();
    QTreeWidgetItem* org = open(child(root(), "ORG"));
    const int listings = client.count("NWDSList(");
    const QStringList children = childTexts(org);

    for (int i = 0; i < 2; ++i) {
        org->setExpanded(false);
        org->setExpanded(true);
    }
    EXPECT_EQ(client.count("NWDSList("), listings);
    EXPECT_EQ(childTexts(org), children);
}

TEST_F(DirTreeTest, ClassNamesCompareBlindToCaseAndEachObjectGetsOneNode)
{
    client.directory["ORG"] = {{"lower", "user", 0}, {"SERVER", "NCP SERVER", 0}, {"ODD", "User", 1}};
    client.directory["ODD.ORG"] = {{"INNER", "User", 0}};
    start();
    QTreeWidgetItem* org = open(child(root(), "ORG"));
    EXPECT_EQ(childTexts(org), (QStringList{"lower", "ODD", "SERVER"}));
    // A user that holds objects is shown once, as a container that opens.
    EXPECT_EQ(childTexts(open(child(org, "ODD"))), QStringList{"INNER"});
}

TEST_F(DirTreeTest, EveryPortionOfAListingIsRead)
{
    client.portionSize = 2;
    client.directory["ORG"] = {
        {"U5", "User", 0}, {"U4", "User", 0}, {"U3", "User", 0}, {"U2", "User", 0}, {"U1", "User", 0}};
    start();
    EXPECT_EQ(childTexts(open(child(root(), "ORG"))), (QStringList{"U1", "U2", "U3", "U4", "U5"}));
    EXPECT_EQ(client.count("NWDSList(12,"), 1 + 3);
    EXPECT_EQ(client.buffersAllocated, 2);
    EXPECT_EQ(client.buffersFreed, 2);
}

// Order and selection after an opening.

TEST_F(DirTreeTest, AnOpeningSortsTheWholeTreeBlindToCaseAndSelectsTheOpenedNode)
{
    client.directory["[root]"] = {{"zeta", "Organization", 1}, {"Alpha", "Organization", 3}, {"beta", "User", 0}};
    client.directory["Alpha"] = {{"Mike", "User", 0}, {"charlie", "User", 0}, {"Bravo", "Organizational Unit", 1}};
    client.directory["zeta"] = {{"Z2", "User", 0}, {"Z1", "User", 0}};
    start();
    EXPECT_EQ(childTexts(root()), (QStringList{"Alpha", "beta", "zeta"}));

    QTreeWidgetItem* alpha = open(child(root(), "Alpha"));
    EXPECT_EQ(childTexts(alpha), (QStringList{"Bravo", "charlie", "Mike"}));
    EXPECT_EQ(window.treends->selectedItems(), QList<QTreeWidgetItem*>{alpha});

    // A node renamed in place finds its place at the next opening, on every level.
    child(root(), "beta")->setText(0, "aardvark");
    child(alpha, "Mike")->setText(0, "Able");
    QTreeWidgetItem* zeta = open(child(root(), "zeta"));
    EXPECT_EQ(childTexts(root()), (QStringList{"aardvark", "Alpha", "zeta"}));
    EXPECT_EQ(childTexts(alpha), (QStringList{"Able", "Bravo", "charlie"}));
    EXPECT_EQ(childTexts(zeta), (QStringList{"Z1", "Z2"}));
    EXPECT_EQ(window.treends->selectedItems(), QList<QTreeWidgetItem*>{zeta});
    EXPECT_FALSE(window.treends->isSortingEnabled());
}

TEST_F(DirTreeTest, AnOpeningShowsTheHourglassUntilItEnds)
{
    start();
    ui.clear();
    open(child(root(), "ORG"));
    EXPECT_EQ(ui.cursors, (std::vector<ScreenCursor>{ScreenCursor::Hourglass, ScreenCursor::Arrow}));
}

// A double click opens a container; it never starts renaming it, so no
// full name can be made that matches no owner.
TEST_F(DirTreeTest, ADoubleClickOpensAContainerAndNothingIsRenamed)
{
    window.show();
    window.PageControl1->setCurrentWidget(window.TabSheet4);
    start();
    QTreeWidgetItem* org = child(root(), "ORG");
    ASSERT_FALSE(org->isExpanded());
    QCoreApplication::processEvents();
    const QPoint centre = window.treends->visualItemRect(org).center();
    QTest::mouseClick(window.treends->viewport(), Qt::LeftButton, {}, centre);
    ASSERT_FALSE(org->isExpanded()) << "the click landed on the expand mark";
    QTest::mouseDClick(window.treends->viewport(), Qt::LeftButton, {}, centre);
    EXPECT_TRUE(org->isExpanded());
    EXPECT_EQ(childTexts(org), (QStringList{"DEPT", "FS1", "PRINTING", "USER1"}));
    window.treends->setCurrentItem(org);
    QTest::keyClick(window.treends, Qt::Key_F2);
    EXPECT_TRUE(window.treends->findChildren<QLineEdit*>().isEmpty()) << "an editor was opened";
    EXPECT_EQ(org->text(0), "ORG");
}

TEST_F(DirTreeTest, FullNamesFollowNodesRenamedInPlace)
{
    start();
    QTreeWidgetItem* org = open(child(root(), "ORG"));
    QTreeWidgetItem* dept = child(org, "DEPT");
    dept->setText(0, "SALES");
    client.directory["SALES.ORG"] = {{"USER9", "User", 0}};

    open(dept);
    EXPECT_TRUE(client.called("NWDSSetContext(12,3,SALES.ORG)"));
    select(child(dept, "USER9"));
    window.cmdUserAdd->click();
    EXPECT_EQ(entries(window.lstUsers), QStringList{"USER9.SALES.ORG"});
}

// Failures.

struct ListingFailure {
    const char* call;
    const char* label;
    bool listed;  // whether the listing ran and added the children
};

class DirTreeListingFailure : public DirTreeTest, public ::testing::WithParamInterface<ListingFailure> {};

TEST_P(DirTreeListingFailure, ShowsItsLabel)
{
    const ListingFailure& failure = GetParam();
    client.portionSize = 10;
    start();
    client.failures[failure.call] = 0x89FE;
    client.calls.clear();
    client.buffersAllocated = 0;
    QTreeWidgetItem* org = open(child(root(), "ORG"));

    ASSERT_EQ(ui.messages.size(), 1u) << failure.call;
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("An Error Occurred :\n\n%1\nError Code : 89fe").arg(failure.label))
        << failure.call;
    EXPECT_EQ(client.count("NWDSList("), failure.listed ? 1 : 0) << failure.call;
    EXPECT_EQ(org->childCount(), failure.listed ? 4 : 0) << failure.call;
    // Every buffer allocated is given back, and nothing else is.
    EXPECT_EQ(client.count("NWDSFreeBuf"), client.buffersAllocated) << failure.call;
}

INSTANTIATE_TEST_SUITE_P(EachCall, DirTreeListingFailure,
                         ::testing::Values(
                             // The context still names the top: listing it would put ORG under ORG.
                             ListingFailure{"NWDSSetContext(12,3,ORG)", "Cannot Set Context", false},
                             // No buffer, nothing to list into.
                             ListingFailure{"NWDSAllocBuf(4096)", "NWDSAllocBuf", false},
                             ListingFailure{"NWDSFreeBuf", "NWDSFreeBuf", true}));

TEST_F(DirTreeTest, AFailedListCallEndsTheListingWhateverTheIterationHandle)
{
    start();
    client.failures["NWDSList(12,)"] = 0x8801;  // and the handle is left at 99
    QTreeWidgetItem* org = open(child(root(), "ORG"));
    EXPECT_EQ(client.count("NWDSList("), 2);  // the top at start-up, ORG once
    EXPECT_EQ(org->childCount(), 0);
    EXPECT_TRUE(ui.messages.empty());
    // The node is listed for good: reopening does not try again.
    org->setExpanded(false);
    org->setExpanded(true);
    EXPECT_EQ(client.count("NWDSList("), 2);
}

TEST_F(DirTreeTest, AFailedReadEndsItsPortionAndTheListingGoesOnToTheNext)
{
    client.portionSize = 2;
    client.directory["ORG"] = {
        {"U1", "User", 0}, {"U2", "User", 0}, {"U3", "User", 0}, {"U4", "User", 0}, {"U5", "User", 0}};
    start();
    client.calls.clear();
    client.failures["NWDSGetObjectName(12)"] = static_cast<NWCCODE>(-308);
    QTreeWidgetItem* org = open(child(root(), "ORG"));
    // One read per portion of three, then the listing ended.
    EXPECT_EQ(client.count("NWDSList("), 3);
    EXPECT_EQ(client.count("NWDSGetObjectName("), 3);
    EXPECT_EQ(org->childCount(), 0);
    EXPECT_EQ(client.count("NWDSFreeBuf"), 1);
}

TEST_F(DirTreeTest, AFailedCountSkipsItsPortionWithoutAMessage)
{
    client.portionSize = 2;
    client.directory["ORG"] = {{"U1", "User", 0}, {"U2", "User", 0}, {"U3", "User", 0}};
    start();
    client.calls.clear();
    client.failures["NWDSGetObjectCount(12)"] = 0x8801;
    QTreeWidgetItem* org = open(child(root(), "ORG"));
    EXPECT_EQ(client.count("NWDSList("), 2);
    EXPECT_EQ(client.count("NWDSGetObjectName("), 0);
    EXPECT_EQ(org->childCount(), 0);
    EXPECT_TRUE(ui.messages.empty());
}

// The 255-byte limit of full names.

TEST_F(DirTreeTest, AFullNameLongerThan255IsRefusedWithABeep)
{
    const std::string fits(251, 'F');     // + ".ORG" = 255
    const std::string tooLong(252, 'L');  // + ".ORG" = 256
    client.directory["ORG"] = {{fits, "User", 0}, {tooLong, "User", 0}, {tooLong + "C", "Organizational Unit", 1}};
    start();
    QTreeWidgetItem* org = open(child(root(), "ORG"));
    ASSERT_EQ(org->childCount(), 3);

    select(child(org, QString::fromStdString(fits)));
    window.cmdUserAdd->click();
    ASSERT_EQ(window.lstUsers->count(), 1);
    EXPECT_EQ(window.lstUsers->item(0)->text().size(), 255);
    EXPECT_TRUE(ui.beeps.empty());

    select(child(org, QString::fromStdString(tooLong)));
    window.cmdUserAdd->click();
    EXPECT_EQ(window.lstUsers->count(), 1);
    EXPECT_EQ(ui.beeps, std::vector<unsigned>{kStandardBeep});

    // A container whose name cannot be written as the name context is not
    // listed: the context would still name another container.
    ui.clear();
    const int listings = client.count("NWDSList(");
    QTreeWidgetItem* container = open(child(org, QString::fromStdString(tooLong + "C")));
    EXPECT_EQ(ui.beeps, std::vector<unsigned>{kStandardBeep});
    EXPECT_EQ(client.count("NWDSList("), listings);
    EXPECT_EQ(client.count("NWDSSetContext(12,3," + tooLong), 0);
    EXPECT_EQ(container->childCount(), 0);
}

TEST_F(DirTreeTest, ALongNameGrownByARenameIsRefusedToo)
{
    start();
    QTreeWidgetItem* dept = open(child(open(child(root(), "ORG")), "DEPT"));
    QTreeWidgetItem* user = child(dept, "USER2");
    // Multi-byte characters count by their bytes: 128 x 2 bytes alone pass 255.
    dept->setText(0, QString(128, QChar(0x00E9)));
    select(user);
    window.cmdUserAdd->click();
    EXPECT_EQ(window.lstUsers->count(), 0);
    EXPECT_EQ(ui.beeps, std::vector<unsigned>{kStandardBeep});
}

}  // namespace
