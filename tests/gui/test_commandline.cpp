// The command line: which arguments load a settings file or set the
// unattended-run flags, and what the auto-run timer does with them.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <memory>

#include "app/datepicker.h"
#include "app/radiobutton.h"
#include "app/tfrmmain.h"
#include "netclient/nwclient.h"
#include "support/gui_profilefolders.h"
#include "support/gui_recordinguiservices.h"

namespace {

// A settings file that loads cleanly and leaves its name in the pattern box,
// so a test can tell which file was loaded.
QByteArray settingsNamed(const QString& marker)
{
    return "[TRAWL]\r\ncboPattern=" + marker.toUtf8() +
           "\r\noptSizeIgnore=1\r\noptDateIgnore=1\r\ndtpBefore=36892\r\ndtpAfter=36892\r\ndtpExact=36892\r\n"
           "memCommandFileCount=0\r\nlstUsersCount=1\r\nlstUsers0=" + marker.toUtf8() + "\r\n";
}

// Records, with each message, the status line as it stood when the message was shown.
class StatusRecordingUi : public RecordingUiServices {
public:
    const Tfrmmain* window = nullptr;
    std::vector<QString> statusAtMessage;

    void messageBox(QWidget* owner, const QString& text, const QString& title) override
    {
        statusAtMessage.push_back(window ? window->lblMessage->text() : QString());
        RecordingUiServices::messageBox(owner, text, title);
    }
};

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folders.writeConfigFile("a.tws", settingsNamed("a.tws"));
        folders.writeConfigFile("b.tws", settingsNamed("b.tws"));
        folders.writeConfigFile("a=b.tws", settingsNamed("a=b.tws"));
        folders.writeConfigFile("my settings.tws", settingsNamed("my settings.tws"));
        // Refused at its first day.
        folders.writeConfigFile("bad.tws", "[TRAWL]\r\ncboPattern=bad.tws\r\ndtpBefore=100\r\n");

        setNwClient(nullptr);
        window = std::make_unique<Tfrmmain>();
        window->cboPattern->setEditText("untouched");
        ui.window = window.get();
    }

    // Runs the command line; the pattern box then names the files loaded, the
    // owner list every one of them in order.
    bool parse(const QStringList& arguments)
    {
        window->commandLineArguments = arguments;
        return window->ParseCommandLine();
    }
    QStringList loadedFiles() const
    {
        QStringList names;
        for (int i = 0; i < window->lstUsers->count(); ++i)
            names << window->lstUsers->item(i)->text();
        return names;
    }

    ScopedProfileFolders folders;
    StatusRecordingUi ui;
    ScopedUiServices installed{ui};
    std::unique_ptr<Tfrmmain> window;
};

TEST_F(CommandLineTest, Grammar)
{
    struct Case {
        QStringList arguments;
        QStringList loaded;
        bool autoRun;
        bool autoClose;
        QString settingsName;
    } const cases[] = {
        {{"/settings=a.tws", "/autorun"}, {"a.tws"}, true, false, "a.tws"},
        {{"/SETTINGS=a.tws", "/x"}, {"a.tws"}, false, false, "a.tws"},
        {{"/Settings=a.tws", "/x"}, {"a.tws"}, false, false, "a.tws"},
        {{"/settingsX=a.tws", "/x"}, {"a.tws"}, false, false, "a.tws"},
        {{"/settings=a=b.tws", "/x"}, {"a=b.tws"}, false, false, "a=b.tws"},
        {{"/settings=my settings.tws", "/autoclose"}, {"my settings.tws"}, false, true, "my settings.tws"},
        {{"/AutoRun", "/AUTOCLOSE"}, {}, true, true, ""},
        {{"/autorun2", "/autoclose "}, {}, false, false, ""},
        {{"autorun", "-autorun", "/auto"}, {}, false, false, ""},
        {{"/settings", "/settings=", "/setting=a.tws"}, {}, false, false, ""},
        {{"/settings=a.tws", "/settings=b.tws", "/autorun"}, {"a.tws", "b.tws"}, true, false, "b.tws"},
        {{"/autorun", "/autoclose", "/settings=a.tws"}, {"a.tws"}, true, true, "a.tws"},
        // A single argument is read like any other.
        {{"/settings=a.tws"}, {"a.tws"}, false, false, "a.tws"},
        {{"/autorun"}, {}, true, false, ""},
        {{}, {}, false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        window = std::make_unique<Tfrmmain>();
        ui.window = window.get();
        window->AutoRun = !c.autoRun;  // cleared or set by every parse
        window->AutoClose = !c.autoClose;
        ui.clear();

        EXPECT_TRUE(parse(c.arguments));
        EXPECT_EQ(loadedFiles(), c.loaded);
        EXPECT_EQ(window->AutoRun, c.autoRun);
        EXPECT_EQ(window->AutoClose, c.autoClose);
        EXPECT_EQ(window->SettingsFileName, c.settingsName);
        EXPECT_TRUE(ui.messages.empty());
    }
}

TEST_F(CommandLineTest, AFileThatFailsToLoadEndsTheCommandLine)
{
    EXPECT_FALSE(parse({"/settings=a.tws", "/settings=bad.tws", "/autorun", "/settings=b.tws"}));
    EXPECT_EQ(loadedFiles(), QStringList{"a.tws"});
    EXPECT_EQ(window->cboPattern->currentText(), "bad.tws") << "keys before the refusal are applied";
    EXPECT_FALSE(window->AutoRun) << "arguments after the failure are not read";
    EXPECT_EQ(window->SettingsFileName, "bad.tws");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].text.startsWith("Date is less than minimum of "));

    ui.clear();
    EXPECT_FALSE(parse({"/autorun", "/autoclose", "/settings=missing.tws"}));
    EXPECT_EQ(ui.messageTexts(), std::vector<QString>{"You must be in ShowCheckbox mode to set to this date"});
}

TEST_F(CommandLineTest, ANameWithAFolderIsTakenFromTheCurrentFolder)
{
    QDir().mkpath(folders.root() + "/work");
    folders.writeFile(folders.root() + "/work/sets/c.tws", settingsNamed("c.tws"));
    QDir::setCurrent(folders.root() + "/work");
    EXPECT_TRUE(parse({"/settings=sets/c.tws"}));
    EXPECT_EQ(loadedFiles(), QStringList{"c.tws"});

    EXPECT_TRUE(parse({"/settings=" + folders.configFolder() + "/b.tws"}));
    EXPECT_EQ(loadedFiles(), (QStringList{"c.tws", "b.tws"}));
}

class AutoRunTest : public CommandLineTest {
protected:
    void SetUp() override
    {
        CommandLineTest::SetUp();
        // The validation refuses this window with a message, which is when the
        // status line is looked at.
        folders.writeConfigFile("refused.tws", "[TRAWL]\r\noptSizeGreater=1\r\ntxtSizeBytes=\r\noptDateIgnore=1\r\n"
                                               "dtpBefore=36892\r\ndtpAfter=36892\r\ndtpExact=36892\r\n");
        window->optSizeGreater->setChecked(true);
        window->txtSizeBytes->clear();
        window->optDateIgnore->setChecked(true);
    }

    // The state file the close writes shows that the window was closed.
    bool windowWasClosed() const { return QFileInfo::exists(folders.configFolder() + "/TRAWL.INI"); }
};

TEST_F(AutoRunTest, StatusLineNamesTheFileWhileTheScanRuns)
{
    struct Case {
        QStringList arguments;
        QString status;
        bool closes;
    } const cases[] = {
        {{"/settings=refused.tws", "/autorun", "/autoclose"}, "Auto Running refused.tws - Will close when complete", true},
        {{"/autorun", "/settings=refused.tws"}, "Auto Running refused.tws", false},
        {{"/autorun", "/autoclose"}, "Auto Running  - Will close when complete", true},
        {{"/autorun"}, "Auto Running ", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QFile::remove(folders.configFolder() + "/TRAWL.INI");
        ui.clear();
        ui.statusAtMessage.clear();
        ASSERT_TRUE(parse(c.arguments));
        window->Timer1->start();

        window->Timer1Timer();
        EXPECT_FALSE(window->Timer1->isActive()) << "the timer runs once";
        ASSERT_EQ(ui.messageTexts(), std::vector<QString>{"A file size must be entered"});
        EXPECT_EQ(ui.statusAtMessage.at(0), c.status);
        EXPECT_EQ(window->lblMessage->text(), "") << "cleared when the scan returns";
        EXPECT_EQ(windowWasClosed(), c.closes) << "closed however the scan ended";
    }
}

TEST_F(AutoRunTest, AutoCloseWithoutAutoRunClosesWithoutScanning)
{
    // The start-up never starts the timer then; should it fire, nothing is scanned.
    ASSERT_TRUE(parse({"/autoclose"}));
    window->Timer1Timer();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(window->lblMessage->text(), "");
    EXPECT_TRUE(windowWasClosed());
}

} // namespace
