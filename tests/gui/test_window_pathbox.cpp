// The folder a scan starts from, as the user sees it: the path box above the
// folder list, a typed or pasted path, and the note beside Start while a
// single click has only highlighted another folder.

#include <QTest>

#include "support/gui_scanfixture.h"

namespace {

class PathBox : public ScanFixture {
protected:
    void SetUp() override
    {
        ScanFixture::SetUp();
        ws.makeFile(sys + "/root.txt", 1);
        ws.makeFile(sys + "/ETC/etc.txt", 2);
        ws.makeFile(sys + "/PUBLIC/Reports/q1.txt", 3);
        local = ws.addLocalFolder("c");
        ws.makeFile(local + "/DOCS/local.txt", 4);
        ws.mapDrive('C', local);
    }

    // Types into the path box as a user does, ending with Enter.
    void typePath(const QString& text)
    {
        QLineEdit* box = w->findChild<QLineEdit*>("txtPath");
        ASSERT_NE(box, nullptr);
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    QString pathBox() const
    {
        const auto* box = w->findChild<QLineEdit*>("txtPath");
        return box ? box->text() : "(no path box)";
    }
    // The note beside Start as it reads, without its line-break hints.
    QString note() const
    {
        const auto* label = w->findChild<QLabel*>("lblStartFolder");
        if (!label)
            return "(no note)";
        return label->isVisible() ? label->text().remove(QChar(0x200B)) : QString();
    }
    // A double click as the mouse gives it: a click, then the second press.
    void doubleClick(const QString& caption)
    {
        const QPoint at = entryCentre(caption);
        QTest::mouseClick(w->DirectoryListBox1->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(w->DirectoryListBox1->viewport(), Qt::LeftButton, {}, at);
    }
    QPoint entryCentre(const QString& caption) const
    {
        QCoreApplication::processEvents();
        const auto items = w->DirectoryListBox1->findItems(caption, Qt::MatchExactly);
        return items.isEmpty() ? QPoint(-1, -1) : w->DirectoryListBox1->visualItemRect(items.first()).center();
    }

    std::string local;
};

TEST_F(PathBox, ShowsTheStartFolderAndTakesATypedOne)
{
    startWindow();
    EXPECT_EQ(pathBox(), "F:\\");

    // Typed blind to case and with either slash; the box then shows the names on disk.
    typePath("f:/public\\REPORTS");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(w->DirectoryListBox1->directory(), "F:\\PUBLIC\\Reports");
    EXPECT_EQ(pathBox(), "F:\\PUBLIC\\Reports");
    EXPECT_EQ(status()[1], "0") << "Enter in the path box opens the folder, it starts no scan";

    // Refused with a message; the list and the box stay at the start folder.
    for (const auto& [typed, message] :
         {std::pair<QString, QString>{"F:\\PUBLIC\\NOPE", "The folder F:\\PUBLIC\\NOPE does not exist."},
          {"Q:\\DATA", "The folder Q:\\DATA does not exist."},
          {"F:\\root.txt", "F:\\root.txt is a file, not a folder."},
          {"PUBLIC", "PUBLIC is not a folder path. Type a drive letter, a colon and the folder, such as "
                     "F:\\PUBLIC\\REPORTS."}}) {
        ui.clear();
        typePath(typed);
        EXPECT_EQ(ui.messageTexts(), std::vector<QString>{message}) << typed.toStdString();
        EXPECT_EQ(w->DirectoryListBox1->directory(), "F:\\PUBLIC\\Reports");
        EXPECT_EQ(pathBox(), "F:\\PUBLIC\\Reports");
    }

    // The box follows the list when a folder is opened there.
    ui.clear();
    doubleClick("PUBLIC");
    EXPECT_EQ(pathBox(), "F:\\PUBLIC");

    // A local drive is typed like any other; its files are no NetWare files.
    typePath("C:\\DOCS");
    EXPECT_EQ(pathBox(), "C:\\DOCS");
    clickStart();
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0][0], "C:\\DOCS\\local.txt");
    EXPECT_EQ(errors()[0][2], "NWParseNetwarePath Code : 880f");
}

// A single click highlights a folder but does not open it: the note beside
// Start says which folder the scan still starts from, and the scan does.
TEST_F(PathBox, ASingleClickLeavesTheStartFolderAndTheNoteSaysSo)
{
    startWindow();
    EXPECT_EQ(note(), "");
    QTest::mouseClick(w->DirectoryListBox1->viewport(), Qt::LeftButton, {}, entryCentre("ETC"));
    ASSERT_EQ(w->DirectoryListBox1->currentItem()->text(), "ETC");
    EXPECT_EQ(note(), "Start scans:\nF:\\\n\nDouble-click a folder to start there instead.");
    EXPECT_EQ(pathBox(), "F:\\");

    clickStart();
    std::vector<std::string> paths;
    for (const auto& row : results())
        paths.push_back(row[3]);
    EXPECT_EQ(paths, (std::vector<std::string>{"F:\\root.txt", "F:\\ETC\\etc.txt", "F:\\PUBLIC\\Reports\\q1.txt"}));

    // Opened, the folder is the start folder and the note goes.
    doubleClick("ETC");
    EXPECT_EQ(pathBox(), "F:\\ETC");
    EXPECT_EQ(note(), "");
    clickStart();
    EXPECT_EQ(resultNames(), std::vector<std::string>{"etc.txt"});
}

}  // namespace
