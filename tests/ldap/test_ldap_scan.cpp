// Scans and the Owners page of a window whose directory is a real slapd:
// owners named through uidNumber, the container rule, "(not in the
// directory)", and a server lost in the middle of a scan.

#include <QAction>
#include <QElapsedTimer>
#include <QTreeWidget>

#include <cstdio>
#include <set>

#include "ldap/ldapserver.h"
#include "netclient/qt_dirtreeitem.h"
#include "scan/filetests.h"
#include "support/core_mocknwclient.h"
#include "support/gui_scanfixture.h"

namespace {

QTreeWidgetItem* childNamed(QTreeWidgetItem* node, const QString& text)
{
    for (int i = 0; i < node->childCount(); ++i)
        if (node->child(i)->text(0) == text)
            return node->child(i);
    return nullptr;
}

class LdapScan : public ScanFixture {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.running());
        sys = ws.addVolume("FS1", "SYS");
        ws.mapDrive('F', "FS1/SYS:");
        ws.addLine("LDAP", "URI=" + server.ldapUri());
        ws.addLine("LDAP", std::string("Base=") + LdapTestServer::kBase);
        ws.addLine("LDAP", "Timeout=2");
        // Twenty files of one user, one of a user of a unit below SALES, one
        // of a user who has left, one of nobody the directory knows.
        for (int i = 0; i < 20; ++i)
            owned("SALES/report" + std::to_string(i) + ".txt", 4097);
        owned("EAST/alee.txt", 4099);
        owned("OLD/gone.txt", 4242);
        owned("OLD/gone2.txt", 4242);
        owned("ODD/dot.txt", 5001);
    }

    void owned(const std::string& path, std::uint32_t id)
    {
        const std::string file = ws.makeFile(sys + "/" + path, 10);
        if (!ws.setOwner(file, id))
            m_noXattrs = true;
    }

    std::set<std::string> namesAndOwners() const
    {
        std::set<std::string> rows;
        for (const auto& row : results())
            rows.insert(row[0] + " " + row[2]);
        return rows;
    }

    LdapTestServer server;
    bool m_noXattrs = false;
};

TEST_F(LdapScan, OwnersAreNamedByTheDirectoryAndChosenFromItsTree)
{
    if (m_noXattrs)
        GTEST_SKIP() << TempWorkstation::kNoXattrMessage;
    startWindow();

    // The tree browses the server; its menu adds the owners nobody names.
    QTreeWidgetItem* root = w->treends->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    QTreeWidgetItem* acme = childNamed(root, "ACME");
    ASSERT_NE(acme, nullptr);
    acme->setExpanded(true);
    QTreeWidgetItem* sales = childNamed(acme, "SALES");
    ASSERT_NE(sales, nullptr);
    w->treends->setCurrentItem(sales);
    w->cmdUserAdd->click();
    ASSERT_EQ(w->lstUsers->count(), 1);
    EXPECT_EQ(w->lstUsers->item(0)->text(), "SALES.ACME");

    setPattern("*.txt");
    const std::uint64_t before = client->directoryRequests();
    clickStart();
    EXPECT_TRUE(errors().empty());
    // The container rule: SALES and the unit below it, nothing else.
    EXPECT_EQ(resultNames().size(), 21u);
    EXPECT_EQ(namesAndOwners().count("alee.txt ALEE.EAST.SALES.ACME"), 1u);
    EXPECT_EQ(namesAndOwners().count("report7.txt JSMITH.SALES.ACME"), 1u);
    // One request per distinct owner, however many files each has.
    EXPECT_EQ(client->directoryRequests() - before, 4u);

    w->cmdUsersDeleteAll->click();
    w->actAddOutsideDirectory->trigger();
    ASSERT_EQ(w->lstUsers->count(), 1);
    EXPECT_EQ(w->lstUsers->item(0)->text(), kOutsideDirectoryItem);
    clickStart();
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(namesAndOwners(), (std::set<std::string>{"gone.txt (unknown)", "gone2.txt (unknown)"}));
    // A new scan asks again.
    EXPECT_EQ(client->directoryRequests() - before, 8u);
}

TEST_F(LdapScan, AServerLostDuringAScanIsOneErrorRowAndNoOwnerIsGuessed)
{
    if (m_noXattrs)
        GTEST_SKIP() << TempWorkstation::kNoXattrMessage;
    // Names the bindery would give must not stand in for the directory's.
    ws.addLine("Bindery", "4097=IMPOSTOR");
    startWindow();
    setPattern("*.txt");
    addOwner(kOutsideDirectoryItem);

    // The server goes at the scan's first pump, before its first file.
    auto stopper = atEveryPump([&] { server.stop(); });
    clickStart();
    stopper.reset();
    const auto rows = errors();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], server.ldapUri());
    EXPECT_NE(rows[0][2].find("NWDSMapIDToName: "), std::string::npos) << rows[0][2];
    EXPECT_NE(rows[0][2].find("Can't contact LDAP server"), std::string::npos) << rows[0][2];
    EXPECT_NE(rows[0][2].find("Code : fffffd8f"), std::string::npos) << rows[0][2];
    // No owner is claimed to be outside a directory that did not answer, and
    // an empty result does not pass for "no such files".
    EXPECT_TRUE(resultNames().empty());
    EXPECT_EQ(w->lblMessage->text().toStdString(),
              "Scan complete: 0 matching files, 1 error; owner names incomplete: the directory did not answer");
    // The summary line of an unattended run says the same.
    testing::internal::CaptureStdout();
    w->reportUnattendedRun(1, 0.25);
    const std::string summary = testing::internal::GetCapturedStdout();
    EXPECT_NE(summary.find("1 errors, 0.25 seconds; owner names incomplete: the directory did not answer\n"),
              std::string::npos)
        << summary;

    w->lstUsers->clear();
    addOwner("(unknown)");
    clickStart();
    EXPECT_EQ(resultNames().size(), 24u);
    EXPECT_EQ(errors().size(), 2u);  // one more row, for the new scan

    // Back again: the next scan names the owners without a row.
    ASSERT_TRUE(server.start());
    w->lstUsers->clear();
    addOwner("JSMITH.SALES.ACME");
    addOwner("A%2EB.ODD.ACME");
    clickStart();
    EXPECT_EQ(errors().size(), 2u);
    EXPECT_EQ(resultNames().size(), 21u);
    EXPECT_EQ(namesAndOwners().count("dot.txt A%2EB.ODD.ACME"), 1u);
}

// A server that takes requests and never answers (SIGSTOP): the window keeps
// turning while a lookup waits, the first failure is the only wait of the
// scan, Stop ends a wait at once, and the rows and status line say why the
// owners are unnamed.
TEST_F(LdapScan, AStalledServerNeverHoldsTheWindow)
{
    if (m_noXattrs)
        GTEST_SKIP() << TempWorkstation::kNoXattrMessage;
    startWindow();
    setPattern("*.txt");
    addOwner("JSMITH.SALES.ACME");
    int ticks = 0;
    auto ticker = atEveryPump([&] { ++ticks; });
    ticker->setInterval(50);
    server.pause();
    const std::string incomplete = "; owner names incomplete: the directory did not answer";

    // Timeout is 2 s: the first lookup waits it out, the 23 files after it
    // are answered by the back-off without a request.
    const std::uint64_t before = client->directoryRequests();
    QElapsedTimer clock;
    clock.start();
    clickStart();
    const qint64 waited = clock.elapsed();
    EXPECT_GE(waited, 1900);
    EXPECT_LT(waited, 3500);
    EXPECT_GE(ticks, 15) << "the window stood still while the lookup waited";
    EXPECT_EQ(client->directoryRequests() - before, 1u);
    EXPECT_EQ(w->lblMessage->text().toStdString(), "Scan complete: 0 matching files, 1 error" + incomplete);
    auto rows = errors();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], server.ldapUri());
    EXPECT_NE(rows[0][2].find("NWDSMapIDToName: Timed out"), std::string::npos) << rows[0][2];

    // A new scan tries the server once more; Stop gives that wait up at once.
    qint64 stopClicked = -1;
    QTimer::singleShot(500, w.get(), [&] {
        stopClicked = clock.elapsed();
        w->cmdStop->click();
    });
    clock.restart();
    clickStart();
    const qint64 ended = clock.elapsed();
    ASSERT_GE(stopClicked, 0) << "Stop could not be clicked during the wait";
    EXPECT_LT(ended - stopClicked, 1000);
    EXPECT_EQ(w->lblMessage->text().toStdString(), "Scan stopped: the results are partial" + incomplete);
    rows = errors();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NE(rows[1][2].find("NWDSMapIDToName: no answer; waiting was given up"), std::string::npos) << rows[1][2];
    server.resume();
}

// The Owners page's tree on a stalled server: a container being opened
// waits with the window turning, closes again unlisted, says why, and is not
// asked again within the back-off.
TEST_F(LdapScan, AStalledServerLeavesATreeContainerToOpenAgain)
{
    startWindow();
    QTreeWidgetItem* acme = childNamed(w->treends->topLevelItem(0), "ACME");
    ASSERT_NE(acme, nullptr);
    acme->setExpanded(true);
    QTreeWidgetItem* sales = childNamed(acme, "SALES");
    ASSERT_NE(sales, nullptr);
    int ticks = 0;
    auto ticker = atEveryPump([&] { ++ticks; });
    ticker->setInterval(50);
    server.pause();

    const std::uint64_t before = client->directoryRequests();
    QElapsedTimer clock;
    clock.start();
    sales->setExpanded(true);
    EXPECT_LT(clock.elapsed(), 3500);
    EXPECT_GE(ticks, 15) << "the window stood still while the listing waited";
    EXPECT_FALSE(sales->isExpanded());
    ASSERT_EQ(sales->childCount(), 1);
    EXPECT_EQ(sales->child(0)->text(0), kTreePlaceholder);
    EXPECT_EQ(w->lblMessage->text().toStdString(),
              "SALES.ACME not listed: the directory did not answer (" + server.ldapUri() + ": Timed out)");

    clock.restart();
    sales->setExpanded(true);
    EXPECT_LT(clock.elapsed(), 200);
    EXPECT_FALSE(sales->isExpanded());
    EXPECT_EQ(client->directoryRequests() - before, 1u);
    server.resume();
}

// The tree opens a container of 10,000 objects, listed in pages, at once.
TEST(LdapTree, AContainerOfTenThousandOpensWhole)
{
    LdapTestServer& server = sharedLdapServer();
    ASSERT_TRUE(server.running());
    TempWorkstation ws;
    ws.addVolume("FS1", "SYS");
    ws.mapDrive('F', "FS1/SYS:");
    ws.addLine("LDAP", "URI=" + server.ldapUri());
    ws.addLine("LDAP", std::string("Base=") + LdapTestServer::kBase);
    const ScopedEnvironment config("NWCLIENT_CONFIG", ws.write().c_str());
    RecordingUiServices ui;
    const ScopedUiServices installed(ui);
    SimClient client;
    const ScopedNwClient clientInstalled(&client);
    Tfrmmain window;
    window.show();
    ASSERT_TRUE(ui.messages.empty());
    QTreeWidgetItem* acme = childNamed(window.treends->topLevelItem(0), "ACME");
    ASSERT_NE(acme, nullptr);
    acme->setExpanded(true);
    QTreeWidgetItem* big = childNamed(acme, "BIG");
    ASSERT_NE(big, nullptr);
    QElapsedTimer timer;
    timer.start();
    big->setExpanded(true);
    const qint64 elapsed = timer.elapsed();
    ASSERT_EQ(big->childCount(), 10000);
    EXPECT_EQ(big->child(0)->text(0), "U00000");
    EXPECT_EQ(big->child(9999)->text(0), "U09999");
    std::printf("opening a container of 10000 objects in the tree took %lld ms\n", static_cast<long long>(elapsed));
}

}  // namespace
