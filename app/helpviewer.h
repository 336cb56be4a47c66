#pragma once

// The program's help viewer and its help-file format.
//
// A help file is UTF-8 text made of topics. A topic starts with a line
//     @topic <context number> <title>
// and runs to the next such line. Lines before the first topic and lines that
// begin with ';' are comments. Inside a topic:
//     == Heading            a heading (=== for a smaller one)
//     * text                one bulleted item per line
//     | text                a preformatted line, blanks kept
//     a blank line          ends a paragraph; other lines join into one
// and within any text: **bold**, `code`, and [[n|text]], a link to topic n.

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QPushButton;
class QTextBrowser;

struct HelpTopic {
    int context = 0;
    QString title;
    QStringList lines;
};

// The topics of a help file's text, in file order.
QList<HelpTopic> parseHelpTopics(const QString& text);
// The topic as HTML for the viewer; all of its text is escaped first.
QString helpTopicHtml(const HelpTopic& topic);

// A non-modal window showing one topic at a time; links move between topics,
// Back (Alt+Left) returns along them, Contents shows the file's first topic
// and Esc closes the window.
class HelpViewer : public QWidget {
    Q_OBJECT

public:
    // Opens the topic of a help file in the owner window's viewer (made on the
    // first call). A file that cannot be read or holds no such topic is
    // reported in a message box and no viewer is shown.
    static void openTopic(QWidget* owner, const QString& helpFile, int context);

    explicit HelpViewer(QWidget* parent = nullptr);

    QTextBrowser* browser() const { return m_browser; }
    // The topic shown, 0 before the first.
    int currentContext() const { return m_context; }
    // Shows a topic of the topics loaded; false when there is no such topic.
    bool showTopic(int context);
    void setTopics(const QString& helpFile, const QList<HelpTopic>& topics);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Shows a topic reached from the one shown, which Back then returns to.
    void follow(int context);
    void goBack();

    QPushButton* m_back;
    QPushButton* m_contents;
    QList<int> m_history;  // the topics Back returns to, the last first
    QTextBrowser* m_browser;
    QString m_helpFile;
    QList<HelpTopic> m_topics;
    int m_context = 0;
};
