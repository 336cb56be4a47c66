#pragma once

// A window on a temporary workstation, started as the program starts it, for
// tests that run real scans: drive F: is FS1/SYS:, the directory knows a few
// users, and the time zone is UTC. Controls are set as a user would set them.

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/datepicker.h"
#include "app/folderlistbox.h"
#include "app/radiobutton.h"
#include "app/tfrmmain.h"
#include "output/qt_listmodels.h"
#include "support/core_tempworkstation.h"
#include "support/gui_recordinguiservices.h"

class ScanFixture : public ::testing::Test {
protected:
    ScanFixture() : m_zone("UTC"), m_ui(ui) {}

    void SetUp() override
    {
        sys = ws.addVolume("FS1", "SYS");
        ws.mapDrive('F', "FS1/SYS:");
        for (const char* line :
             {"ACME=Organization", "SALES.ACME=Organizational Unit", "JSMITH.SALES.ACME=User, 0x1001",
              "SMITH.SALES.ACME=User, 0x1002", "FS1.ACME=NCP Server, 0x2001"})
            ws.addLine("Directory", line);
        ws.addLine("Bindery", "0x3001=GUEST");
        // Files without an owner attribute belong to whoever runs the test.
        ws.addLine("Owners", std::to_string(::getuid()) + "=0x1001");
    }

    void TearDown() override
    {
        w.reset();
        setNwClient(nullptr);
    }

    // Writes the workstation and shows a window on it, started as asked.
    void showWindow(StartOptions options = {})
    {
        const std::string ini = ws.write();
        // The guards of an earlier window go first, or their restoring would
        // undo the new values.
        m_config.reset();
        m_xdg.reset();
        m_config = std::make_unique<ScopedEnvironment>("NWCLIENT_CONFIG", ini.c_str());
        m_xdg = std::make_unique<ScopedEnvironment>("XDG_CONFIG_HOME", (ws.root() + "/config").c_str());
        client = std::make_unique<SimClient>();
        // The bindery must not name IDs from this machine's user database.
        client->setHostUserLookup([](std::uint32_t) { return std::nullopt; });
        setNwClient(client.get());
        w = std::make_unique<Tfrmmain>();
        w->setStartOptions(std::move(options));
        w->show();
    }

    // A window shown without a message; F:\ is the current folder.
    void startWindow(const char* folder = "F:\\")
    {
        showWindow();
        ASSERT_TRUE(ui.messages.empty()) << ui.messages.front().text.toStdString();
        ASSERT_EQ(w->DirectoryListBox1->setDirectory(QString::fromUtf8(folder)), 0) << folder;
        ui.clear();  // what the start-up did is not the scan's
    }

    void clickStart()
    {
        ASSERT_TRUE(w->cmdStart->isEnabled());
        w->cmdStart->click();
    }

    void setPattern(const char* pattern) { w->cboPattern->setEditText(QString::fromUtf8(pattern)); }
    void setSize(RadioButton* mode, const char* bytes)
    {
        mode->click();
        w->txtSizeBytes->setText(QString::fromUtf8(bytes));
    }
    void addOwner(const char* name) { w->lstUsers->addItem(QString::fromUtf8(name)); }

    // Runs f at every pump of the walk (and at any other event-loop turn) until
    // the timer is stopped or destroyed.
    std::unique_ptr<QTimer> atEveryPump(std::function<void()> f)
    {
        auto timer = std::make_unique<QTimer>();
        timer->setInterval(0);
        QObject::connect(timer.get(), &QTimer::timeout, std::move(f));
        timer->start();
        return timer;
    }

    std::vector<std::array<std::string, 4>> results() const
    {
        std::vector<std::array<std::string, 4>> rows;
        for (int r = 0; r < w->resultsModel->rowCount(); ++r)
            rows.push_back({w->resultsModel->text(r, 0).toStdString(), w->resultsModel->text(r, 1).toStdString(),
                            w->resultsModel->text(r, 2).toStdString(), w->resultsModel->text(r, 3).toStdString()});
        return rows;
    }
    std::vector<std::string> resultNames() const
    {
        std::vector<std::string> names;
        for (const auto& row : results())
            names.push_back(row[0]);
        return names;
    }
    std::vector<std::array<std::string, 3>> errors() const
    {
        std::vector<std::array<std::string, 3>> rows;
        for (int r = 0; r < w->errorsModel->rowCount(); ++r)
            rows.push_back({w->errorsModel->text(r, 0).toStdString(), w->errorsModel->text(r, 1).toStdString(),
                            w->errorsModel->text(r, 2).toStdString()});
        return rows;
    }
    // The five status texts: Current File, files, folders, matches, matching size.
    std::array<std::string, 5> status() const
    {
        return {w->lblPath->text().toStdString(), w->lblFileCount->text().toStdString(),
                w->lblDirCount->text().toStdString(), w->lblMatchCount->text().toStdString(),
                w->lblMatchSize->text().toStdString()};
    }

    TempWorkstation ws;
    std::string sys;  // host folder of FS1/SYS, drive F:
    RecordingUiServices ui;
    std::unique_ptr<SimClient> client;
    std::unique_ptr<Tfrmmain> w;

private:
    ScopedTimeZone m_zone;
    ScopedUiServices m_ui;
    std::unique_ptr<ScopedEnvironment> m_config;
    std::unique_ptr<ScopedEnvironment> m_xdg;
};
