// The About box, shown modally through the UI services, and the help: the
// Help button, the help-file format and the viewer.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <filesystem>
#include <gtest/gtest.h>

#include "app/helpviewer.h"
#include "app/tfrmabout.h"
#include "app/tfrmmain.h"
#include "support/gui_controls.h"
#include "support/gui_recordinguiservices.h"

namespace {

class AboutAndHelp : public ::testing::Test {
protected:
    RecordingUiServices ui;
    ScopedUiServices installed{ui};
    Tfrmmain window;
    TfrmAbout about{&window};
};

QString writeFile(const QTemporaryDir& dir, const char* name, const QByteArray& text)
{
    const QString path = QDir(dir.path()).filePath(QString::fromLatin1(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return path;
}

}  // namespace

TEST_F(AboutAndHelp, AboutShowsModallyWithItsCaptionNameAndTheWindowsIcon)
{
    window.frmAbout = &about;
    about.setWindowTitle(QStringLiteral("stale"));
    QString productName;
    QImage picture;
    ui.onModal = [&](QDialog& shown) {
        productName = about.lblProductName->text();
        picture = about.Image1->pixmap().toImage();
        QTest::mouseClick(control<QPushButton>(shown, "Button1"), Qt::LeftButton);
    };

    QTest::mouseClick(window.cmdAbout, Qt::LeftButton);
    ASSERT_EQ(ui.modalDialogs.size(), 1u);
    EXPECT_EQ(ui.modalDialogs[0].dialog, &about);
    EXPECT_EQ(ui.modalDialogs[0].windowTitle, QStringLiteral("About Trawl")) << "the caption is set on every showing";
    EXPECT_EQ(ui.modalDialogs[0].result, QDialog::Accepted) << "OK ends the showing";
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(productName, QStringLiteral("Trawl Version 2.5"));
    EXPECT_EQ(picture, window.windowIcon().pixmap(32, 32).toImage());

    // Shown again, it takes the window's icon as it is now.
    QPixmap red(32, 32);
    red.fill(Qt::red);
    window.setWindowIcon(QIcon(red));
    QTest::mouseClick(window.cmdAbout, Qt::LeftButton);
    ASSERT_EQ(ui.modalDialogs.size(), 2u);
    EXPECT_EQ(picture.pixelColor(16, 16), QColor(Qt::red));
}

TEST_F(AboutAndHelp, HelpOpensTopicOneOfTheHelpFile)
{
    QTest::mouseClick(window.cmdHelp, Qt::LeftButton);
    window.HelpFile = QStringLiteral("/opt/trawl/TRAWL.HLP");
    QTest::mouseClick(window.cmdHelp, Qt::LeftButton);
    ASSERT_EQ(ui.helpCalls.size(), 2u);
    EXPECT_EQ(ui.helpCalls[0].helpFile, QCoreApplication::applicationDirPath() + QStringLiteral("/TRAWL.HLP"));
    EXPECT_EQ(ui.helpCalls[1].helpFile, QStringLiteral("/opt/trawl/TRAWL.HLP"));
    for (const auto& call : ui.helpCalls) {
        EXPECT_EQ(call.context, 1);
        EXPECT_EQ(call.owner, &window);
    }
}

TEST(HelpFormat, SplitsTopicsAndRendersEscapedMarkup)
{
    const QList<HelpTopic> topics = parseHelpTopics(
        QStringLiteral("; a comment\nstray text before any topic\n@topic 1 Trawl & co\nFirst line\nsecond line\n\n"
                       "== Part <one>\n* item **bold**\n* see [[2|the next]]\n| keep  two blanks <b>\n; hidden\n"
                       "@topic 2 Next\r\nuse `*.tmp`\r\n@topic x not a topic\n"));
    ASSERT_EQ(topics.size(), 2);
    EXPECT_EQ(topics[0].context, 1);
    EXPECT_EQ(topics[0].title, QStringLiteral("Trawl & co"));
    EXPECT_EQ(topics[1].context, 2);
    EXPECT_TRUE(topics[1].lines.contains(QStringLiteral("@topic x not a topic")));

    const QString html = helpTopicHtml(topics[0]);
    EXPECT_TRUE(html.contains(QStringLiteral("<h1>Trawl &amp; co</h1>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<p>First line second line</p>"))) << "lines join into a paragraph";
    EXPECT_TRUE(html.contains(QStringLiteral("<h2>Part &lt;one&gt;</h2>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<li>item <b>bold</b></li>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<a href=\"topic:2\">the next</a>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<pre>keep  two blanks &lt;b&gt;</pre>")));
    EXPECT_FALSE(html.contains(QStringLiteral("hidden")));
    EXPECT_FALSE(html.contains(QStringLiteral("stray")));
    EXPECT_TRUE(helpTopicHtml(topics[1]).contains(QStringLiteral("<code>*.tmp</code>")));
}

TEST_F(AboutAndHelp, TheViewerShowsATopicAndFollowsLinksToOthers)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = writeFile(dir, "T.HLP", "@topic 1 Trawl\nSee [[7|Errors]].\n@topic 7 Errors\nRows.\n");
    HelpViewer::openTopic(&window, file, 1);
    EXPECT_TRUE(ui.messages.empty());
    auto* viewer = window.findChild<HelpViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_TRUE(viewer->isWindow());
    EXPECT_FALSE(viewer->testAttribute(Qt::WA_QuitOnClose)) << "the viewer never keeps the program alive";
    EXPECT_EQ(viewer->currentContext(), 1);
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Trawl Help - Trawl"));

    emit viewer->browser()->anchorClicked(QUrl(QStringLiteral("topic:7")));
    EXPECT_EQ(viewer->currentContext(), 7);
    EXPECT_TRUE(viewer->browser()->toPlainText().contains(QStringLiteral("Rows.")));

    HelpViewer::openTopic(&window, file, 1);
    EXPECT_EQ(window.findChildren<HelpViewer*>().size(), 1) << "one viewer per window";
    EXPECT_EQ(viewer->currentContext(), 1);
    viewer->close();
}

// Back returns along the links and Contents, Contents shows the first
// topic, Esc closes the viewer.
TEST_F(AboutAndHelp, TheViewerGoesBackShowsTheContentsAndClosesWithEsc)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = writeFile(dir, "T.HLP", "@topic 1 Trawl\nx\n@topic 2 Path\ny\n@topic 7 Errors\nz\n");
    HelpViewer::openTopic(&window, file, 7);
    auto* viewer = window.findChild<HelpViewer*>();
    ASSERT_NE(viewer, nullptr);
    auto* back = control<QPushButton>(*viewer, "helpBack");
    auto* contents = control<QPushButton>(*viewer, "helpContents");
    ASSERT_TRUE(back && contents);
    EXPECT_FALSE(back->isEnabled()) << "nowhere to go back to yet";

    QTest::mouseClick(contents, Qt::LeftButton);
    emit viewer->browser()->anchorClicked(QUrl(QStringLiteral("topic:2")));
    emit viewer->browser()->anchorClicked(QUrl(QStringLiteral("topic:9")));  // no such topic: no step
    QList<int> seen{viewer->currentContext()};
    while (back->isEnabled()) {
        QTest::mouseClick(back, Qt::LeftButton);
        seen << viewer->currentContext();
    }
    EXPECT_EQ(seen, (QList<int>{2, 1, 7}));

    HelpViewer::openTopic(&window, file, 2);
    EXPECT_FALSE(back->isEnabled()) << "opened afresh, the viewer starts a new way";
    QTest::keyClick(viewer->browser(), Qt::Key_Escape);
    EXPECT_FALSE(viewer->isVisible());
}

TEST_F(AboutAndHelp, AMissingHelpFileOrTopicIsReportedInAMessage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = QDir(dir.path()).filePath(QStringLiteral("NONE.HLP"));
    HelpViewer::openTopic(&window, missing, 1);
    const QString noTopic = writeFile(dir, "T.HLP", "@topic 2 Other\ntext\n");
    HelpViewer::openTopic(&window, noTopic, 1);
    const QString empty = writeFile(dir, "E.HLP", "");
    HelpViewer::openTopic(&window, empty, 1);

    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_TRUE(ui.messages[0].text.contains(missing));
    EXPECT_TRUE(ui.messages[1].text.contains(QStringLiteral("no topic with context number 1")));
    EXPECT_TRUE(ui.messages[2].text.contains(QStringLiteral("no topic")));
    for (const auto& message : ui.messages)
        EXPECT_EQ(message.title, QStringLiteral("Trawl"));
    EXPECT_EQ(window.findChild<HelpViewer*>(), nullptr);
}

TEST(ShippedHelpFile, HasTopicOneAndATopicForEveryPage)
{
    const std::filesystem::path source = std::filesystem::path(TRAWL_SOURCE_DIR) / "app" / "TRAWL.HLP";
    QFile file(QString::fromStdString(source.string()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << source;
    const QList<HelpTopic> topics = parseHelpTopics(QString::fromUtf8(file.readAll()));
    QStringList titles;
    QList<int> contexts;
    for (const HelpTopic& topic : topics) {
        titles << topic.title;
        EXPECT_FALSE(contexts.contains(topic.context)) << "context " << topic.context << " twice";
        contexts << topic.context;
    }
    ASSERT_FALSE(topics.isEmpty());
    EXPECT_EQ(topics[0].context, 1);
    for (const char* page :
         {"Path/File", "Dates/Size", "Attributes", "Owners", "Output", "Results", "Errors", "Totals", "Changes",
          "Batch Settings"})
        EXPECT_TRUE(titles.contains(QString::fromLatin1(page))) << page;
    // Every link leads to a topic that exists.
    const QRegularExpression link(QStringLiteral("\\[\\[(\\d+)\\|"));
    for (const HelpTopic& topic : topics) {
        for (auto it = link.globalMatch(topic.lines.join(QLatin1Char('\n'))); it.hasNext();)
            EXPECT_TRUE(contexts.contains(it.next().captured(1).toInt())) << topic.title.toStdString();
    }
}
