// An unattended run (/autorun /autoclose) that cannot start, on a desktop:
// its message must not wait for ever, and the window closes as it would at
// the end of a scan.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <fstream>

#include "support/gui_scanfixture.h"

namespace {

using namespace std::chrono_literals;

class UnattendedRun : public ScanFixture {
protected:
    // A settings file that loads cleanly, with extra key=value lines.
    QString writeSettings(const std::string& extra)
    {
        const std::string path = ws.root() + "/run.tws";
        std::ofstream(path) << "[TRAWL]\ncboPattern=*.*\noptSizeIgnore=1\noptDateIgnore=1\n"
                               "dtpBefore=40000\ndtpAfter=40000\ndtpExact=40000\noptOutputSepComma=1\n"
                            << extra;
        return QString::fromStdString(path);
    }
    static StartOptions options(const QStringList& arguments, bool unattended)
    {
        return {.arguments = arguments, .echoErrorsToStderr = true, .unattended = unattended};
    }
    // Lets the auto-run timer and anything queued after it run.
    void settle() { QTest::qWait(800); }
};

TEST_F(UnattendedRun, ARunThatCannotStartShowsItsMessageAndCloses)
{
    ws.makeFile(sys + "/a.txt", 4);
    const struct {
        const char* name;
        std::string settings;  // empty: no settings file is made
        bool clientStarts;
        QString message;  // the start of the one message
    } cases[] = {
        {"missing settings file", "", true, "Unable to read settings file "},
        {"settings refused", "chkOutputResults=1\nchkOutputSize=1\n", true, "Enter a Output Filename"},
        {"output file not opened", "chkOutputResults=1\nchkOutputSize=1\ntxtOutputFilename=/no/such/folder/o.csv\n",
         true, "Unable to Open output file. Please check to the path\n/no/such/folder/o.csv: "},
        {"client that cannot start", "", false, "An Error Occurred :\n\nCannot Init Netware"},  // last: it spoils ws
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.clear();
        ui.messageTimeout = 0ms;
        if (!c.clientStarts)
            ws.mapDrive('G', "FS9/NONE:");
        const QString settings = c.settings.empty() ? QString::fromStdString(ws.root() + "/missing.tws")
                                                    : writeSettings(c.settings);
        showWindow(options({"/settings=" + settings, "/autorun", "/autoclose"}, true));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !w->isVisible(); }, 5000)) << "the window stayed open";
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_TRUE(ui.messages[0].text.startsWith(c.message)) << ui.messages[0].text.toStdString();
        EXPECT_EQ(ui.messages[0].timeout, kUnattendedMessageTimeout) << "the message closes by itself";
        EXPECT_EQ(w->unattendedExitStatus, 2);
    }
}

// Someone who started the run by hand is there to answer and to close.
TEST_F(UnattendedRun, WithoutAutoCloseTheMessageWaitsAndTheWindowStays)
{
    showWindow(options({"/settings=" + writeSettings("chkOutputResults=1\nchkOutputSize=1\n"), "/autorun"}, false));
    settle();
    ASSERT_EQ(ui.messageTexts(), std::vector<QString>{"Enter a Output Filename"});
    EXPECT_EQ(ui.messages[0].timeout, 0ms);
    EXPECT_TRUE(w->isVisible());
}

// The desktop's message box, on the offscreen platform: shown, and closed by
// itself once its time is up.
TEST(DesktopMessageBox, ClosesByItselfWhenNobodyAnswers)
{
    setUiServices(nullptr);
    uiServices().setMessageTimeout(200ms);
    QString shownText;
    bool rescued = false;
    QTimer::singleShot(50, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            shownText = box->text();
    });
    // Were the box to wait, this ends the test instead of the time limit.
    QTimer::singleShot(5000, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            rescued = true;
            modal->close();
        }
    });
    QElapsedTimer elapsed;
    elapsed.start();
    uiServices().messageBox(nullptr, "Nobody is there", "Trawl");
    uiServices().setMessageTimeout(0ms);
    EXPECT_EQ(shownText, "Nobody is there");
    EXPECT_FALSE(rescued);
    EXPECT_GE(elapsed.elapsed(), 150);
}

}  // namespace
