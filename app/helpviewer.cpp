// The help file read into topics, a topic turned into HTML, and the window
// that shows the topics and follows their links.

#include "app/helpviewer.h"

#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/uiservices.h"

namespace {

// Larger files are refused rather than read whole.
constexpr qint64 kMaxHelpFileSize = 4 * 1024 * 1024;
const QString kTopicScheme = QStringLiteral("topic");

QString inlineHtml(const QString& text)
{
    QString html = text.toHtmlEscaped();
    static const QRegularExpression bold(QStringLiteral("\\*\\*(.+?)\\*\\*"));
    static const QRegularExpression code(QStringLiteral("`(.+?)`"));
    static const QRegularExpression link(QStringLiteral("\\[\\[(\\d{1,9})\\|(.+?)\\]\\]"));
    html.replace(bold, QStringLiteral("<b>\\1</b>"));
    html.replace(code, QStringLiteral("<code>\\1</code>"));
    html.replace(link, QStringLiteral("<a href=\"topic:\\1\">\\2</a>"));
    return html;
}

}  // namespace

QList<HelpTopic> parseHelpTopics(const QString& text)
{
    static const QRegularExpression header(QStringLiteral("^@topic\\s+(\\d{1,9})\\s*(.*)$"));
    QList<HelpTopic> topics;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QStringLiteral("@topic"))) {
            const QRegularExpressionMatch match = header.match(line.trimmed());
            if (match.hasMatch()) {
                HelpTopic topic;
                topic.context = match.captured(1).toInt();
                topic.title = match.captured(2).trimmed();
                topics << topic;
                continue;
            }
        }
        if (!topics.isEmpty())
            topics.last().lines << line;
    }
    return topics;
}

QString helpTopicHtml(const HelpTopic& topic)
{
    QString html = QStringLiteral("<html><body><h1>%1</h1>\n").arg(topic.title.toHtmlEscaped());
    enum class Block { None, Paragraph, List, Preformatted } block = Block::None;
    const auto close = [&] {
        switch (block) {
        case Block::Paragraph:
            html += QStringLiteral("</p>\n");
            break;
        case Block::List:
            html += QStringLiteral("</ul>\n");
            break;
        case Block::Preformatted:
            html += QStringLiteral("</pre>\n");
            break;
        case Block::None:
            break;
        }
        block = Block::None;
    };
    // A line of a block of this kind: it opens the block, or follows the open
    // one after the joiner.
    const auto enter = [&](Block kind, const QString& openTag, const QString& joiner) {
        if (block == kind) {
            html += joiner;
            return;
        }
        close();
        html += openTag;
        block = kind;
    };

    for (const QString& line : topic.lines) {
        const QString trimmed = line.trimmed();
        if (line.startsWith(QLatin1Char('|'))) {
            enter(Block::Preformatted, QStringLiteral("<pre>"), QStringLiteral("\n"));
            html += line.mid(line.startsWith(QStringLiteral("| ")) ? 2 : 1).toHtmlEscaped();
        } else if (trimmed.isEmpty()) {
            close();
        } else if (trimmed.startsWith(QStringLiteral("=="))) {
            close();
            const bool minor = trimmed.startsWith(QStringLiteral("==="));
            const QString tag = minor ? QStringLiteral("h3") : QStringLiteral("h2");
            html += QStringLiteral("<%1>%2</%1>\n").arg(tag, inlineHtml(trimmed.mid(minor ? 3 : 2).trimmed()));
        } else if (trimmed.startsWith(QStringLiteral("* "))) {
            enter(Block::List, QStringLiteral("<ul>\n"), QString());
            html += QStringLiteral("<li>%1</li>\n").arg(inlineHtml(trimmed.mid(2).trimmed()));
        } else {
            enter(Block::Paragraph, QStringLiteral("<p>"), QStringLiteral(" "));
            html += inlineHtml(trimmed);
        }
    }
    close();
    html += QStringLiteral("</body></html>\n");
    return html;
}

HelpViewer::HelpViewer(QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_back(new QPushButton(QStringLiteral("Back"), this)),
      m_contents(new QPushButton(QStringLiteral("Contents"), this)),
      m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpViewer"));
    // The viewer never keeps the program running once the main window closes.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(560, 480);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setOpenLinks(false);
    m_back->setObjectName(QStringLiteral("helpBack"));
    m_back->setShortcut(QKeySequence::Back);
    m_back->setEnabled(false);
    m_contents->setObjectName(QStringLiteral("helpContents"));
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(6, 6, 6, 0);
    buttons->addWidget(m_back);
    buttons->addWidget(m_contents);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);
    connect(m_browser, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.scheme() == kTopicScheme)
            follow(url.path().toInt());
    });
    connect(m_back, &QPushButton::clicked, this, &HelpViewer::goBack);
    connect(m_contents, &QPushButton::clicked, this, [this] {
        if (!m_topics.isEmpty())
            follow(m_topics.constFirst().context);
    });
}

void HelpViewer::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void HelpViewer::follow(int context)
{
    const int from = m_context;
    if (context == from || !showTopic(context) || from == 0)
        return;
    m_history << from;
    m_back->setEnabled(true);
}

void HelpViewer::goBack()
{
    if (m_history.isEmpty())
        return;
    showTopic(m_history.takeLast());
    m_back->setEnabled(!m_history.isEmpty());
}

void HelpViewer::setTopics(const QString& helpFile, const QList<HelpTopic>& topics)
{
    m_helpFile = helpFile;
    m_topics = topics;
    m_context = 0;
    m_history.clear();
    m_back->setEnabled(false);
}

bool HelpViewer::showTopic(int context)
{
    for (const HelpTopic& topic : std::as_const(m_topics)) {
        if (topic.context != context)
            continue;
        m_context = context;
        m_browser->setHtml(helpTopicHtml(topic));
        setWindowTitle(topic.title.isEmpty() ? QStringLiteral("Trawl Help")
                                             : QStringLiteral("Trawl Help - %1").arg(topic.title));
        return true;
    }
    return false;
}

void HelpViewer::openTopic(QWidget* owner, const QString& helpFile, int context)
{
    const QString title = QStringLiteral("Trawl");
    QFile file(helpFile);
    if (helpFile.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        uiServices().messageBox(owner, QStringLiteral("Cannot open the help file \"%1\".").arg(helpFile), title);
        return;
    }
    if (file.size() > kMaxHelpFileSize) {
        uiServices().messageBox(owner, QStringLiteral("The help file \"%1\" is too large to show.").arg(helpFile),
                                title);
        return;
    }
    const QList<HelpTopic> topics = parseHelpTopics(QString::fromUtf8(file.readAll()));
    const bool found = std::any_of(topics.begin(), topics.end(),
                                   [context](const HelpTopic& topic) { return topic.context == context; });
    if (!found) {
        uiServices().messageBox(
            owner,
            QStringLiteral("The help file \"%1\" has no topic with context number %2.").arg(helpFile).arg(context),
            title);
        return;
    }

    QWidget* window = owner ? owner->window() : nullptr;
    HelpViewer* viewer = window ? window->findChild<HelpViewer*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!viewer) {
        viewer = new HelpViewer(window);
        if (!window)
            viewer->setAttribute(Qt::WA_DeleteOnClose);
    }
    viewer->setTopics(helpFile, topics);
    viewer->showTopic(context);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}
