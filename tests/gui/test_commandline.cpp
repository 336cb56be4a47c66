// The command line, and what the auto-run timer does with it.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <memory>

#include "app/radiobutton.h"
#include "app/tfrmmain.h"
#include "netclient/nwclient.h"
#include "support/gui_profilefolders.h"
#include "support/gui_recordinguiservices.h"

namespace {

// A file that loads cleanly and puts its own name in the owner list, so the
// owners added tell which files were loaded and in which order.
QByteArray namedSettings(const QByteArray& name, const QByteArray& extra = {})
{
    return "[TRAWL]\r\ndtpBefore=36892\r\ndtpAfter=36892\r\ndtpExact=36892\r\nlstUsersCount=1\r\nlstUsers0=" + name +
           "\r\n" + extra;
}

// Notes the status line as it stood when each message was shown.
class StatusRecordingUi : public RecordingUiServices {
public:
    const Tfrmmain* window = nullptr;
    std::vector<QString> statusAtMessage;
    void messageBox(QWidget* owner, const QString& text, const QString& title) override
    {
        statusAtMessage.push_back(window->lblMessage->text());
        RecordingUiServices::messageBox(owner, text, title);
    }
};

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"a.tws", "b.tws", "a=b.tws", "my settings.tws"})
            folders.write(folders.configFolder() + "/" + name, namedSettings(name));
        folders.write(folders.configFolder() + "/bad.tws", "[TRAWL]\r\ndtpBefore=100\r\n");
        // Refused by the validation with a message, which is when the status line is read.
        folders.write(folders.configFolder() + "/refused.tws",
                      namedSettings("refused.tws", "optSizeGreater=1\r\noptDateIgnore=1\r\n"));
        newWindow();
    }
    void newWindow()
    {
        setNwClient(nullptr);
        window = std::make_unique<Tfrmmain>();
        ui.window = window.get();
        ui.clear();
        ui.statusAtMessage.clear();
        m_ownersAdded.clear();
        QObject::connect(window->lstUsers->model(), &QAbstractItemModel::rowsInserted, window.get(),
                         [this](const QModelIndex&, int first, int last) {
                             for (int row = first; row <= last; ++row)
                                 m_ownersAdded << window->lstUsers->item(row)->text();
                         });
        QFile::remove(folders.configFolder() + "/TRAWL.INI");
    }
    bool parse(const QStringList& arguments)
    {
        window->setStartOptions(StartOptions{arguments, false, false});
        return window->ParseCommandLine();
    }
    // Each load replaces the owner list, so the loads are told by the owners
    // added one after the other.
    QStringList loaded() const { return m_ownersAdded; }
    // Closing the window saves its state, so the state file shows the close.
    bool closed() const { return QFile::exists(folders.configFolder() + "/TRAWL.INI"); }

    ScopedProfileFolders folders;
    StatusRecordingUi ui;
    ScopedUiServices installed{ui};
    std::unique_ptr<Tfrmmain> window;
    QStringList m_ownersAdded;
};

TEST_F(CommandLineTest, Grammar)
{
    const struct {
        QStringList arguments;
        QStringList loaded;
        bool autoRun, autoClose;
    } cases[] = {
        {{"/settings=a.tws", "/autorun"}, {"a.tws"}, true, false},
        {{"/SETTINGS=a.tws", "/Settings=b.tws", "/settingsX=a.tws"}, {"a.tws", "b.tws", "a.tws"}, false, false},
        {{"/settings=a=b.tws", "/settings=my settings.tws", "/autoclose"},
         {"a=b.tws", "my settings.tws"},
         false,
         true},
        {{"/AutoRun", "/AUTOCLOSE"}, {}, true, true},
        {{"/autorun2", "/autoclose ", "autorun", "/settings", "/settings=", "/setting=a.tws"}, {}, false, false},
        {{"/autorun", "/autoclose", "/settings=b.tws"}, {"b.tws"}, true, true},
        {{"/settings=a.tws"}, {"a.tws"}, false, false},  // a single argument is read like any other
        {{"/autorun"}, {}, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        newWindow();
        window->AutoRun = !c.autoRun;
        window->AutoClose = !c.autoClose;
        EXPECT_TRUE(parse(c.arguments));
        EXPECT_EQ(loaded(), c.loaded);
        EXPECT_EQ(window->AutoRun, c.autoRun);
        EXPECT_EQ(window->AutoClose, c.autoClose);
        EXPECT_EQ(window->SettingsFileName, c.loaded.isEmpty() ? "" : c.loaded.last());
        EXPECT_TRUE(ui.messages.empty());
    }
}

TEST_F(CommandLineTest, AFileThatFailsToLoadEndsTheCommandLine)
{
    EXPECT_FALSE(parse({"/settings=a.tws", "/settings=bad.tws", "/autorun", "/settings=b.tws"}));
    EXPECT_EQ(loaded(), QStringList{"a.tws"});
    EXPECT_FALSE(window->AutoRun);
    EXPECT_EQ(ui.messages.size(), 1u);
    // A missing file is named as typed, with the file that was looked for.
    EXPECT_FALSE(parse({"/autorun", "/settings=missing.tws"}));
    EXPECT_EQ(ui.messageTexts().back(),
              "Unable to read settings file missing.tws\n\n(looked for " + folders.configFolder() + "/missing.tws)");
}

TEST_F(CommandLineTest, TheTimerStartsTheScanOnceAndClosesWhenAsked)
{
    const struct {
        QStringList arguments;
        QString status;  // empty: no scan
        bool closes;
    } cases[] = {
        {{"/settings=refused.tws", "/autorun", "/autoclose"},
         "Auto Running refused.tws - Will close when complete",
         true},
        {{"/autorun", "/settings=refused.tws"}, "Auto Running refused.tws", false},
        {{"/autorun", "/autoclose"}, "Auto Running  - Will close when complete", true},
        {{"/autorun"}, "Auto Running ", false},
        {{"/autoclose"}, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        newWindow();
        window->optSizeGreater->setChecked(true);  // refused by the validation without a settings file too
        ASSERT_TRUE(parse(c.arguments));
        window->Timer1->start();
        window->Timer1Timer();
        EXPECT_FALSE(window->Timer1->isActive());
        if (c.status.isEmpty()) {
            EXPECT_TRUE(ui.messages.empty());
        } else {
            EXPECT_EQ(ui.messageTexts(), std::vector<QString>{"A file size must be entered"});
            EXPECT_EQ(ui.statusAtMessage, std::vector<QString>{c.status});
        }
        EXPECT_EQ(window->lblMessage->text(), "");
        EXPECT_EQ(closed(), c.closes) << "closed however the scan ended";
    }
}

}  // namespace
