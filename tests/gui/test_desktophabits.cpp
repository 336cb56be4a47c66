// What the window keeps of the user's habits from one run to the next: the
// folder and pattern of the last scan and the patterns typed for scans.

#include <gtest/gtest.h>

#include <QFile>
#include <QTest>
#include <fstream>

#include "support/gui_scanfixture.h"

namespace {

const QStringList kListPatterns = {"*.*", "*.tmp", "*.jpg", "*.bak", "*.exe"};

class DesktopHabits : public ScanFixture {
protected:
    std::string stateFile() const { return ws.root() + "/config/trawl/TRAWL.INI"; }
    void writeStateFile(const std::string& text)
    {
        ws.makeFolder(ws.root() + "/config/trawl");
        std::ofstream(stateFile(), std::ios::binary) << text;
    }
    QByteArray stateFileText() const
    {
        QFile file(QString::fromStdString(stateFile()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Types a pattern and presses Start, as a user would.
    void scanWith(const QString& pattern)
    {
        w->cboPattern->lineEdit()->clear();
        QTest::keyClicks(w->cboPattern->lineEdit(), pattern);
        clickStart();
    }
    QStringList patternList() const
    {
        QStringList items;
        for (int i = 0; i < w->cboPattern->count(); ++i)
            items << w->cboPattern->itemText(i);
        return items;
    }
};

TEST_F(DesktopHabits, TheLastScanAndTheTypedPatternsComeBackAtTheNextStart)
{
    ws.makeFile(sys + "/SUB/a.doc", 4);
    startWindow("F:\\SUB");
    scanWith("*.doc");
    scanWith("*.JPG");  // one of the list's own: it stays where it is
    scanWith("b*.txt");
    w->optSizeGreater->click();  // refused for want of a size: not a scan
    scanWith("refused*");
    w->optSizeIgnore->click();
    scanWith("*.DOC");  // blind to case, as the match is: moved up, not added
    ASSERT_EQ(ui.messageTexts(), std::vector<QString>{"A file size must be entered"});
    EXPECT_EQ(patternList(), QStringList({"*.DOC", "b*.txt"}) + kListPatterns);
    w->DirectoryListBox1->setDirectory("F:\\");  // looked at, not scanned
    w->close();
    EXPECT_TRUE(stateFileText().startsWith("[Size]\r\n"));
    EXPECT_TRUE(stateFileText().endsWith("[Columns]\r\nColumn0=110\r\nColumn1=110\r\nColumn2=110\r\nColumn3=110\r\n"
                                         "[LastScan]\r\nFolder=F:\\SUB\r\nPattern=*.DOC\r\n"
                                         "[Patterns]\r\nPattern0=*.DOC\r\nPattern1=b*.txt\r\n"))
        << stateFileText().toStdString();

    ui.clear();
    showWindow();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(w->DirectoryListBox1->directory(), "F:\\SUB");
    EXPECT_TRUE(w->cboDrives->currentText().startsWith("F:"));
    EXPECT_EQ(w->cboPattern->currentText(), "*.DOC");
    EXPECT_EQ(patternList(), QStringList({"*.DOC", "b*.txt"}) + kListPatterns);

    // Ten are kept, the newest first.
    for (int i = 0; i < 11; ++i)
        scanWith(QString("p%1*").arg(i));
    EXPECT_EQ(patternList().mid(0, 11),
              QStringList({"p10*", "p9*", "p8*", "p7*", "p6*", "p5*", "p4*", "p3*", "p2*", "p1*", "*.*"}));
}

TEST_F(DesktopHabits, AHabitMissingOrDamagedLoadsAsNothing)
{
    ws.makeFolder(sys + "/THERE");
    const std::string tooLong(300, 'x');
    const struct {
        const char* name;
        std::string file;
        QString folder, pattern;
        QStringList typed;
    } cases[] = {
        {"no habits yet", "[Size]\r\nWidth=700\r\n", "F:\\", "*.*", {}},
        {"as kept",
         "[LastScan]\r\nFolder=F:\\THERE\r\nPattern=*.log\r\n[Patterns]\r\nPattern0=*.log\r\n",
         "F:\\THERE",
         "*.log",
         {"*.log"}},
        {"folder gone", "[LastScan]\r\nFolder=F:\\GONE\r\nPattern=*.log\r\n", "F:\\", "*.log", {}},
        {"drive not mapped", "[LastScan]\r\nFolder=Q:\\DATA\r\n", "F:\\", "*.*", {}},
        {"no path at all", "[LastScan]\r\nFolder=::\x01?*\r\n", "F:\\", "*.*", {}},
        {"too long to be whole",
         "[LastScan]\r\nFolder=F:\\" + tooLong + "\r\nPattern=" + tooLong + "\r\n",
         "F:\\",
         "*.*",
         {}},
        {"gaps, blanks, twins and the list's own",
         "[Patterns]\r\nPattern0=\r\nPattern2=a*\r\nPattern3=A*\r\nPattern4=*.JPG\r\nPattern5=" + tooLong +
             "\r\nPattern9=z*\r\nPattern10=beyond\r\n",
         "F:\\",
         "*.*",
         {"a*", "z*"}},
        {"not a profile",
         std::string("\0\xff", 2) + "[LastScan\r\nFolder\r\n=\r\n[Patterns]]\r\n=x\r\n",
         "F:\\",
         "*.*",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeStateFile(c.file);
        showWindow();
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(w->DirectoryListBox1->directory(), c.folder);
        EXPECT_EQ(w->cboPattern->currentText(), c.pattern);
        EXPECT_EQ(patternList(), c.typed + kListPatterns);
    }
}

}  // namespace
