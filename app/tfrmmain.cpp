// The main window: its pages and controls with their designed captions and
// values, how they follow a change of the window's size, and the wiring of
// every control to its handler. The control rules are in frm_controlrules.cpp.
#include "app/tfrmmain.h"

#include "history/historyrecorder.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QShowEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string_view>

#include "app/appearance.h"
#include "app/datepicker.h"
#include "app/folderlistbox.h"
#include "app/listactions.h"
#include "app/radiobutton.h"
#include "app/tfrmabout.h"
#include "output/qt_listmodels.h"
#include "platform/helpfile.h"
#include "platform/uiservices.h"
#include "scan/filetests.h"

namespace {

constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kStatusCaptionWidth = 84;
constexpr int kStatusValueWidth = 120;
constexpr int kStatusPathWidth = 480;
constexpr int kStatusLineHeight = 15;
constexpr int kResultsColumnWidth = 110;

QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

template <typename Widget>
Widget* named(Widget* widget, std::string_view name)
{
    widget->setObjectName(latin1(name));
    return widget;
}

QLabel* makeLabel(const char* name, const QString& text)
{
    auto* label = named(new QLabel(text), name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// A label that wraps its text within the width the layout gives it.
QLabel* makeWrappingLabel(const char* name, const QString& text)
{
    QLabel* label = makeLabel(name, text);
    label->setWordWrap(true);
    return label;
}

QCheckBox* makeCheck(std::string_view name, const QString& text) { return named(new QCheckBox(text), name); }

RadioButton* makeRadio(const char* name, const QString& text) { return named(new RadioButton(text), name); }

QPushButton* makeButton(const char* name, const QString& text, int width = kButtonWidth)
{
    auto* button = named(new QPushButton(text), name);
    button->setFixedSize(width, kButtonHeight);
    // Enter on a focused button presses that button, not the default one.
    button->setAutoDefault(true);
    return button;
}

QGroupBox* makeGroup(const char* name, const QString& title) { return named(new QGroupBox(title), name); }

// A status label of fixed size; texts longer than it are clipped.
QLabel* makeStatusLabel(const char* name, const QString& text, int width)
{
    QLabel* label = makeLabel(name, text);
    label->setFixedSize(width, kStatusLineHeight);
    return label;
}

QTreeView* makeListView(const char* name, QAbstractItemModel* model)
{
    auto* view = named(new QTreeView, name);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSortingEnabled(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setModel(model);
    return view;
}

QWidget* makePage(const char* name) { return named(new QWidget, name); }

// A page holding one control that fills it.
void fillPage(QWidget* page, QWidget* control)
{
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(control);
}

// A group of texts above one another, with an optional button at their right.
void fillTextGroup(QGroupBox* group, std::initializer_list<QLabel*> labels, QPushButton* button)
{
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    for (QLabel* label : labels)
        texts->addWidget(label);
    auto* layout = new QHBoxLayout(group);
    layout->setContentsMargins(8, 4, 8, 6);
    layout->addLayout(texts, 1);
    if (button)
        layout->addWidget(button, 0, Qt::AlignTop);
}

// The named members are bound to the slots by their enum and the builder fills
// the slots by row: a row out of its place would put a name on another box.
template <typename Row, std::size_t Count>
constexpr bool rowsInEnumOrder(const std::array<Row, Count>& rows)
{
    for (std::size_t slot = 0; slot < Count; ++slot) {
        if (index(rows[slot].id) != slot)
            return false;
    }
    return true;
}
static_assert(rowsInEnumOrder(kAttributeBoxes) && index(AttributeBox::WriteAudit) + 1 == kAttributeBoxCount);
static_assert(rowsInEnumOrder(kOutputFields) && index(OutputField::Attributes) + 1 == kOutputFieldCount);

// One box per row of a table, filling each column down before the next, each
// stored in the slot of its row.
template <typename Row, std::size_t Count>
void addCheckColumns(QGridLayout* grid, const std::array<Row, Count>& rows, std::array<QCheckBox*, Count>& boxes,
                     int rowsPerColumn)
{
    for (std::size_t slot = 0; slot < Count; ++slot) {
        const int position = static_cast<int>(slot);
        boxes[slot] = makeCheck(rows[slot].name, latin1(rows[slot].caption));
        grid->addWidget(boxes[slot], position % rowsPerColumn, position / rowsPerColumn);
    }
}

// Tabs with less padding, so that the eight captions fit the page control's
// width down to the window's minimum size.
class CompactTabStyle final : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_TabBarTabHSpace)
            return 6;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// Calls back whenever the widget it watches changes its size; owned by it.
class ResizeWatcher final : public QObject {
public:
    ResizeWatcher(QWidget* watched, std::function<void()> resized) : QObject(watched), m_resized(std::move(resized))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            m_resized();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_resized;
};

}  // namespace

Tfrmmain::Tfrmmain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmmain"));
    HelpFile = QString::fromStdString(findHelpFile(QCoreApplication::applicationDirPath().toStdString()));
    buildWindow();
    connectRules();
    buildShortcuts();
}

Tfrmmain::~Tfrmmain()
{
    // The base class closes the window and deletes the controls after this
    // body: the path box would lose the focus, the folder list and the owner
    // list their rows then, and their handlers must not run on a window that
    // is half gone.
    if (m_waitHookClient != nullptr && m_waitHookClient == nwClient())
        m_waitHookClient->setWaitHook({});
    disconnect(txtPath, nullptr, this, nullptr);
    disconnect(DirectoryListBox1, nullptr, this, nullptr);
    disconnect(lstUsers->model(), nullptr, this, nullptr);
}

void Tfrmmain::buildWindow()
{
    setWindowTitle(QStringLiteral("Trawl"));
    setWindowIcon(trawlIcon());
    const QFont windowFont = formFont(11);
    setFont(windowFont);
    setMinimumSize(595, 442);
    resize(667, 500);

    auto* central = named(new QWidget, "centralWidget");
    setCentralWidget(central);
    auto* windowLayout = new QVBoxLayout(central);
    windowLayout->setContentsMargins(8, 8, 8, 6);
    windowLayout->setSpacing(6);

    // The page control and, at the top right, the four buttons.
    auto* topRow = new QHBoxLayout;
    topRow->setSpacing(8);
    PageControl1 = named(new QTabWidget, "PageControl1");
    // Made after the page control, so destroyed after it.
    auto* tabStyle = new CompactTabStyle;
    tabStyle->setParent(this);
    PageControl1->tabBar()->setStyle(tabStyle);
    topRow->addWidget(PageControl1, 1);
    topRow->addLayout(buildButtonColumn());
    windowLayout->addLayout(topRow, 1);
    windowLayout->addLayout(buildStatusArea(windowFont));

    addPages();
    buildPathFilePage();
    buildDatesSizePage();
    buildAttributesPage();
    buildOwnersPage();
    buildOutputPage();
    buildResultsPage();
    buildErrorsPage();
    buildTotalsPage();
    buildChangesPage();
    buildBatchSettingsPage();

    // The designed state, before the start-up applies its defaults: Before is
    // the checked date parameter, Comma the separator, the pickers show today.
    optDateBefore->setChecked(true);
    PageControl1->setCurrentIndex(0);

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(500);
    Timer1->setSingleShot(true);
}

QLayout* Tfrmmain::buildButtonColumn()
{
    auto* buttonColumn = new QVBoxLayout;
    buttonColumn->setSpacing(6);
    cmdStart = makeButton("cmdStart", QStringLiteral("Start"));
    cmdStart->setDefault(true);
    cmdStop = makeButton("cmdStop", QStringLiteral("Stop"));
    cmdStop->setEnabled(false);
    cmdAbout = makeButton("cmdAbout", QStringLiteral("About"));
    cmdHelp = makeButton("cmdHelp", QStringLiteral("Help"));
    for (QPushButton* button : {cmdStart, cmdStop, cmdAbout, cmdHelp})
        buttonColumn->addWidget(button);
    lblStartFolder = makeLabel("lblStartFolder", QString());
    lblStartFolder->setWordWrap(true);
    lblStartFolder->setFixedWidth(kButtonWidth);
    lblStartFolder->setVisible(false);
    buttonColumn->addSpacing(6);
    buttonColumn->addWidget(lblStartFolder);
    buttonColumn->addStretch(1);
    return buttonColumn;
}

// The status area at the foot: labels of fixed size, anchored bottom left.
QLayout* Tfrmmain::buildStatusArea(const QFont& windowFont)
{
    Label1 = makeStatusLabel("Label1", QStringLiteral("Current File :"), kStatusCaptionWidth);
    Label2 = makeStatusLabel("Label2", QStringLiteral("Files Scanned"), kStatusCaptionWidth);
    Label3 = makeStatusLabel("Label3", QStringLiteral("Dirs Scanned"), kStatusCaptionWidth);
    Label4 = makeStatusLabel("Label4", QStringLiteral("Matching Files"), kStatusCaptionWidth);
    Label5 = makeStatusLabel("Label5", QStringLiteral("Matching Size"), kStatusCaptionWidth);
    lblPath = makeStatusLabel("lblPath", QString(), kStatusPathWidth);
    lblFileCount = makeStatusLabel("lblFileCount", QStringLiteral("0"), kStatusValueWidth);
    lblDirCount = makeStatusLabel("lblDirCount", QStringLiteral("0"), kStatusValueWidth);
    lblMatchCount = makeStatusLabel("lblMatchCount", QStringLiteral("0"), kStatusValueWidth);
    lblMatchSize = makeStatusLabel("lblMatchSize", QStringLiteral("0"), kStatusValueWidth);
    lblMessage = makeLabel("lblMessage", QString());
    lblMessage->setFixedHeight(kStatusLineHeight);
    QFont messageFont(windowFont);
    messageFont.setBold(true);
    lblMessage->setFont(messageFont);

    auto* status = new QGridLayout;
    status->setHorizontalSpacing(6);
    status->setVerticalSpacing(2);
    status->addWidget(Label1, 0, 0);
    status->addWidget(lblPath, 0, 1, 1, 4, Qt::AlignLeft);
    status->addWidget(Label2, 1, 0);
    status->addWidget(lblFileCount, 1, 1);
    status->addWidget(Label4, 1, 3);
    status->addWidget(lblMatchCount, 1, 4);
    status->addWidget(Label3, 2, 0);
    status->addWidget(lblDirCount, 2, 1);
    status->addWidget(Label5, 2, 3);
    status->addWidget(lblMatchSize, 2, 4);
    status->addWidget(lblMessage, 3, 0, 1, 6);
    status->setColumnMinimumWidth(2, 12);
    status->setColumnStretch(5, 1);
    return status;
}

void Tfrmmain::addPages()
{
    TabSheet1 = makePage("TabSheet1");
    TabSheet2 = makePage("TabSheet2");
    TabSheet3 = makePage("TabSheet3");
    TabSheet4 = makePage("TabSheet4");
    TabSheet5 = makePage("TabSheet5");
    TabSheet6 = makePage("TabSheet6");
    TabSheet7 = makePage("TabSheet7");
    TabSheet8 = makePage("TabSheet8");
    TabSheet9 = makePage("TabSheet9");
    TabSheet10 = makePage("TabSheet10");
    PageControl1->addTab(TabSheet1, QStringLiteral("Path/File"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Dates/Size"));
    PageControl1->addTab(TabSheet3, QStringLiteral("Attributes"));
    PageControl1->addTab(TabSheet4, QStringLiteral("Owners"));
    PageControl1->addTab(TabSheet5, QStringLiteral("Output"));
    PageControl1->addTab(TabSheet6, QStringLiteral("Results"));
    PageControl1->addTab(TabSheet7, QStringLiteral("Errors"));
    PageControl1->addTab(TabSheet9, QStringLiteral("Totals"));
    PageControl1->addTab(TabSheet10, QStringLiteral("Changes"));
    PageControl1->addTab(TabSheet8, QStringLiteral("Batch Settings"));
}

// "Path/File": the drive and its folder list at the left (the list grows in
// height), the file pattern beside them.
void Tfrmmain::buildPathFilePage()
{
    cboDrives = named(new QComboBox, "cboDrives");
    cboDrives->setEditable(true);
    cboDrives->setInsertPolicy(QComboBox::NoInsert);
    cboDrives->setFixedWidth(250);
    txtPath = named(new QLineEdit, "txtPath");
    txtPath->setFixedWidth(250);
    txtPath->setPlaceholderText(QStringLiteral("F:\\PUBLIC\\REPORTS"));
    txtPath->setToolTip(QStringLiteral("The folder the scan starts from: type or paste a path and press Enter"));
    DirectoryListBox1 = named(new FolderListBox, "DirectoryListBox1");
    DirectoryListBox1->setFixedWidth(250);
    Label8 = makeLabel("Label8", QStringLiteral("File Pattern :"));
    cboPattern = named(new QComboBox, "cboPattern");
    cboPattern->setEditable(true);
    cboPattern->setInsertPolicy(QComboBox::NoInsert);
    cboPattern->addItems({QStringLiteral("*.*"), QStringLiteral("*.tmp"), QStringLiteral("*.jpg"),
                          QStringLiteral("*.bak"), QStringLiteral("*.exe")});
    cboPattern->setCurrentText(QStringLiteral("*.*"));
    cboPattern->setFixedWidth(180);

    auto* folderColumn = new QVBoxLayout;
    folderColumn->addWidget(cboDrives);
    folderColumn->addWidget(txtPath);
    folderColumn->addWidget(DirectoryListBox1, 1);
    auto* patternColumn = new QVBoxLayout;
    patternColumn->addWidget(Label8);
    patternColumn->addWidget(cboPattern);
    patternColumn->addSpacing(12);
    patternColumn->addWidget(buildHistoryGroup());
    patternColumn->addStretch(1);
    auto* page = new QHBoxLayout(TabSheet1);
    page->setSpacing(16);
    page->addLayout(folderColumn);
    page->addLayout(patternColumn);
    page->addStretch(1);
}

// "Dates/Size": the size test at the left, the date test beside it.
void Tfrmmain::buildDatesSizePage()
{
    auto* page = new QHBoxLayout(TabSheet2);
    page->addWidget(buildSizeGroup(), 0, Qt::AlignTop);
    page->addWidget(buildDatesGroup(), 0, Qt::AlignTop);
    page->addStretch(1);
    GroupBox1->setFixedWidth(150);
    GroupBox2->setFixedWidth(290);
}

QGroupBox* Tfrmmain::buildSizeGroup()
{
    GroupBox1 = makeGroup("GroupBox1", QStringLiteral("File Size"));
    optSizeGreater = makeRadio("optSizeGreater", QStringLiteral("Greater Than"));
    optSizeLess = makeRadio("optSizeLess", QStringLiteral("Less Than"));
    optSizeEqual = makeRadio("optSizeEqual", QStringLiteral("Equal To"));
    optSizeIgnore = makeRadio("optSizeIgnore", QStringLiteral("Ignore Size"));
    txtSizeBytes = named(new QLineEdit, "txtSizeBytes");
    txtSizeBytes->setFixedWidth(120);
    lblSizeBytes = makeLabel("lblSizeBytes", QStringLiteral("Enter Size in Bytes"));
    // The tips state the boundaries as the size test applies them.
    optSizeGreater->setToolTip(
        QStringLiteral("Files of at least the size below: a file of exactly that size passes"));
    optSizeLess->setToolTip(QStringLiteral("Files of at most the size below: a file of exactly that size passes"));
    optSizeEqual->setToolTip(QStringLiteral("Files of exactly the size below"));
    optSizeIgnore->setToolTip(QStringLiteral("No size test: files of any size pass"));
    txtSizeBytes->setToolTip(QStringLiteral("The size in bytes as a plain number (1048576 is one megabyte); "
                                            "anything after the number, as in 12kb, is ignored"));
    // Room for two lines below the box, so the group keeps its height while
    // the note changes as the user types.
    lblSizeValue = makeWrappingLabel("lblSizeValue", QString());
    lblSizeValue->setMinimumHeight(2 * QFontMetrics(lblSizeValue->font()).lineSpacing());
    lblSizeValue->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* sizeLayout = new QVBoxLayout(GroupBox1);
    for (QWidget* widget : {static_cast<QWidget*>(optSizeGreater), static_cast<QWidget*>(optSizeLess),
                            static_cast<QWidget*>(optSizeEqual), static_cast<QWidget*>(optSizeIgnore)})
        sizeLayout->addWidget(widget);
    sizeLayout->addSpacing(8);
    sizeLayout->addWidget(lblSizeBytes);
    sizeLayout->addWidget(txtSizeBytes);
    sizeLayout->addWidget(lblSizeValue);
    return GroupBox1;
}

// The date type above, the date parameters and their pickers below.
QGroupBox* Tfrmmain::buildDatesGroup()
{
    GroupBox2 = makeGroup("GroupBox2", QStringLiteral("File Dates"));
    RadioGroup1 = makeGroup("RadioGroup1", QStringLiteral("Date Type"));
    optDateAccessed = makeRadio("optDateAccessed", QStringLiteral("Accessed Date"));
    optDateModified = makeRadio("optDateModified", QStringLiteral("Modified Date"));
    optDateCreation = makeRadio("optDateCreation", QStringLiteral("Creation Date"));
    optDateIgnore = makeRadio("optDateIgnore", QStringLiteral("Ignore Dates"));
    optDateAccessed->setToolTip(QStringLiteral("Test the day each file was last accessed"));
    optDateModified->setToolTip(QStringLiteral("Test the day each file was last changed; the time of day is not "
                                               "compared"));
    optDateCreation->setToolTip(QStringLiteral("Test the day each file was created"));
    optDateIgnore->setToolTip(QStringLiteral("No date test: files of any date pass"));
    auto* typeLayout = new QGridLayout(RadioGroup1);
    typeLayout->setVerticalSpacing(4);
    typeLayout->addWidget(optDateAccessed, 0, 0);
    typeLayout->addWidget(optDateModified, 0, 1);
    typeLayout->addWidget(optDateCreation, 1, 0);
    typeLayout->addWidget(optDateIgnore, 1, 1);

    GroupBox3 = makeGroup("GroupBox3", QStringLiteral("Date Parameters"));
    optDateBefore = makeRadio("optDateBefore", QStringLiteral("Before"));
    optDateBetween = makeRadio("optDateBetween", QStringLiteral("Between"));
    optDateAfter = makeRadio("optDateAfter", QStringLiteral("After"));
    optDateExact = makeRadio("optDateExact", QStringLiteral("On Exact Date"));
    dtpBefore = named(new DatePicker, "dtpBefore");
    dtpAfter = named(new DatePicker, "dtpAfter");
    dtpExact = named(new DatePicker, "dtpExact");
    // The tips state the boundaries as the date test applies them: whole days,
    // the days named included.
    optDateBefore->setToolTip(QStringLiteral("Files dated on or before the day beside Before"));
    optDateBetween->setToolTip(QStringLiteral("Files dated from the day beside Before to the day beside After, both "
                                              "days included; Before must be the earlier day"));
    optDateAfter->setToolTip(QStringLiteral("Files dated on or after the day beside After"));
    optDateExact->setToolTip(QStringLiteral("Files dated on the day beside On Exact Date"));
    dtpBefore->setToolTip(QStringLiteral("Before: files dated on or before this day pass. Between: the first day, "
                                         "included"));
    dtpAfter->setToolTip(QStringLiteral("After: files dated on or after this day pass. Between: the last day, "
                                        "included"));
    dtpExact->setToolTip(QStringLiteral("Files dated on this day pass"));
    auto* parameterLayout = new QGridLayout(GroupBox3);
    parameterLayout->setVerticalSpacing(4);
    parameterLayout->addWidget(optDateBefore, 0, 0);
    parameterLayout->addWidget(dtpBefore, 0, 1);
    parameterLayout->addWidget(optDateBetween, 1, 0);
    parameterLayout->addWidget(optDateAfter, 2, 0);
    parameterLayout->addWidget(dtpAfter, 2, 1);
    parameterLayout->addWidget(optDateExact, 3, 0);
    parameterLayout->addWidget(dtpExact, 3, 1);
    for (DatePicker* picker : {dtpBefore, dtpAfter, dtpExact}) {
        picker->setFixedWidth(120);
        picker->setDate(QDate::currentDate());
    }
    parameterLayout->setColumnStretch(2, 1);

    auto* datesLayout = new QVBoxLayout(GroupBox2);
    datesLayout->addWidget(RadioGroup1);
    datesLayout->addWidget(GroupBox3);
    return GroupBox2;
}

// "Attributes": the boxes of the attribute table in three columns.
void Tfrmmain::buildAttributesPage()
{
    GroupBox4 = makeGroup("GroupBox4", QStringLiteral("List Files Which Are :"));
    auto* grid = new QGridLayout(GroupBox4);
    grid->setHorizontalSpacing(24);
    grid->setVerticalSpacing(6);
    addCheckColumns(grid, kAttributeBoxes, m_attributeBoxes, 7);
    for (QCheckBox* box : m_attributeBoxes)
        box->setToolTip(QStringLiteral("Only files with the %1 attribute; a file needs every attribute ticked, "
                                       "others it has do not matter")
                            .arg(box->text()));
    auto* page = new QGridLayout(TabSheet3);
    page->addWidget(GroupBox4, 0, 0);
    page->setRowStretch(1, 1);
    page->setColumnStretch(1, 1);
}

// "Owners": the directory tree, the three buttons, the owner list; tree and
// list grow in height.
void Tfrmmain::buildOwnersPage()
{
    treends = named(new QTreeWidget, "treends");
    treends->setColumnCount(1);
    treends->setHeaderHidden(true);
    // No label editing: a double click opens a container, and a renamed node
    // would give full names that match no owner.
    treends->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The selection stays as visible as with the focus when the tree loses it.
    QPalette treePalette = treends->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        treePalette.setColor(QPalette::Inactive, role, treePalette.color(QPalette::Active, role));
    treends->setPalette(treePalette);
    treends->setFixedWidth(210);
    // Owners no directory names: a menu entry of the tree, as it is no node of it.
    actAddOutsideDirectory = new QAction(QStringLiteral("Add \"%1\"").arg(QLatin1String(kOutsideDirectoryItem)),
                                         treends);
    actAddOutsideDirectory->setObjectName(QStringLiteral("actAddOutsideDirectory"));
    treends->addAction(actAddOutsideDirectory);
    treends->setContextMenuPolicy(Qt::ActionsContextMenu);
    cmdUserAdd = makeButton("cmdUserAdd", QStringLiteral(">"), 36);
    cmdUserRemove = makeButton("cmdUserRemove", QStringLiteral("<"), 36);
    cmdUsersDeleteAll = makeButton("cmdUsersDeleteAll", QStringLiteral("<<"), 36);
    cmdUserAdd->setToolTip(QStringLiteral("Add the object selected in the tree to the owners: a file must belong "
                                          "to one of them"));
    cmdUserRemove->setToolTip(QStringLiteral("Remove the selected owner from the list"));
    cmdUsersDeleteAll->setToolTip(QStringLiteral("Remove every owner from the list: no owner test"));
    lstUsers = named(new QListWidget, "lstUsers");
    lstUsers->setFixedWidth(210);

    auto* buttons = new QVBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdUserAdd);
    buttons->addWidget(cmdUserRemove);
    buttons->addWidget(cmdUsersDeleteAll);
    buttons->addStretch(1);
    auto* page = new QHBoxLayout(TabSheet4);
    page->addWidget(treends);
    page->addLayout(buttons);
    page->addWidget(lstUsers);
    page->addStretch(1);
}

// "Output": the file and its format at the top left, the fields beside them,
// the quoting below, and the command template (growing in width).
void Tfrmmain::buildOutputPage()
{
    QLayout* fileColumn = buildOutputFileColumn();
    chkOutputSurround = makeCheck("chkOutputSurround",
                                  QStringLiteral("Surround values with quotes (eg \"filename\",\"user1\")"));

    memCommandFile = named(new QPlainTextEdit, "memCommandFile");
    memCommandFile->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memCommandFile->setFixedHeight(54);
    Label6 = makeLabel("Label6", QStringLiteral("Use !1 for full path name "));
    Label7 = makeLabel("Label7", QStringLiteral("and !2 for filename only"));
    auto* templateLabels = new QVBoxLayout;
    templateLabels->setSpacing(2);
    templateLabels->addWidget(Label6);
    templateLabels->addWidget(Label7);
    templateLabels->addStretch(1);

    auto* page = new QGridLayout(TabSheet5);
    page->setContentsMargins(8, 8, 8, 8);
    page->setVerticalSpacing(6);
    page->setHorizontalSpacing(6);
    page->addLayout(fileColumn, 0, 0);
    page->addWidget(buildOutputFieldsGroup(), 0, 1, Qt::AlignTop);
    page->addWidget(buildSeparatorGroup(), 1, 0, 1, 2, Qt::AlignLeft);
    page->addWidget(chkOutputSurround, 2, 0, 1, 2);
    auto* templateRow = new QHBoxLayout;
    templateRow->addLayout(templateLabels);
    templateRow->addWidget(memCommandFile, 1);
    page->addLayout(templateRow, 3, 0, 1, 3);
    page->setColumnStretch(2, 1);
    page->setRowStretch(4, 1);
}


// Whether the scan is recorded in the history, where, and what the output
// file gets of the comparison with the run before.
QGroupBox* Tfrmmain::buildHistoryGroup()
{
    grpHistory = named(new QGroupBox(QStringLiteral("History of scans")), "grpHistory");
    // Two lines each, to fit beside the folder list in the smallest window.
    chkHistory = makeCheck("chkHistory", QStringLiteral("Record this scan in\nthe history"));
    lblHistory = makeLabel("lblHistory", QStringLiteral("Database :"));
    txtHistory = named(new QLineEdit, "txtHistory");
    txtHistory->setPlaceholderText(QStringLiteral("~/.local/share/trawl/history.sqlite"));
    txtHistory->setToolTip(QStringLiteral("The history's SQLite file; empty: history.sqlite in Trawl's data folder"));
    chkOutputChange = makeCheck("chkOutputChange", QStringLiteral("Change field"));
    chkOutputChange->setToolTip(
        QStringLiteral("Write each file's change since the last run of this search: New, Gone, Same or Changed"));
    chkOutputChangesOnly =
        makeCheck("chkOutputChangesOnly", QStringLiteral("Only files that changed\nsince the last run"));
    auto* grid = new QGridLayout(grpHistory);
    grid->setContentsMargins(8, 4, 8, 4);
    grid->setVerticalSpacing(2);
    grid->addWidget(chkHistory, 0, 0, 1, 2);
    grid->addWidget(lblHistory, 1, 0);
    grid->addWidget(txtHistory, 1, 1);
    grid->addWidget(chkOutputChange, 2, 0, 1, 2);
    grid->addWidget(chkOutputChangesOnly, 3, 0, 1, 2);
    cmdHistory = named(new QPushButton(QStringLiteral("History...")), "cmdHistory");
    cmdHistory->setToolTip(QStringLiteral("The recorded runs: delete one, or compare two"));
    grid->addWidget(cmdHistory, 4, 0, 1, 2, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    return grpHistory;
}

// Whether and where to write, above one another.
QLayout* Tfrmmain::buildOutputFileColumn()
{
    chkOutputResults = makeCheck("chkOutputResults", QStringLiteral("Output Results to File"));
    chkAppend = makeCheck("chkAppend", QStringLiteral("Append To Existing File"));
    chkCommandFile = makeCheck("chkCommandFile", QStringLiteral("Create Command File"));
    Label9 = makeLabel("Label9", QStringLiteral("Filename :"));
    txtOutputFilename = named(new QLineEdit, "txtOutputFilename");
    txtOutputFilename->setEnabled(false);
    txtOutputFilename->setFixedWidth(140);
    chkOutputHeadings = makeCheck("chkOutputHeadings", QStringLiteral("Output Column Headings"));

    auto* fileColumn = new QVBoxLayout;
    fileColumn->setSpacing(4);
    fileColumn->addWidget(chkOutputResults);
    fileColumn->addWidget(chkAppend);
    fileColumn->addWidget(chkCommandFile);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(Label9);
    nameRow->addWidget(txtOutputFilename);
    nameRow->addStretch(1);
    fileColumn->addLayout(nameRow);
    fileColumn->addWidget(chkOutputHeadings);
    fileColumn->addStretch(1);
    return fileColumn;
}

QGroupBox* Tfrmmain::buildSeparatorGroup()
{
    RadioGroup2 = makeGroup("RadioGroup2", QStringLiteral("Separate values with a :"));
    optOutputSepComma = makeRadio("optOutputSepComma", QStringLiteral("Comma"));
    optOutputSepTab = makeRadio("optOutputSepTab", QStringLiteral("Tab"));
    optOutputSepOther = makeRadio("optOutputSepOther", QStringLiteral("Other :"));
    txtOutputSepOther = named(new QLineEdit, "txtOutputSepOther");
    txtOutputSepOther->setFixedWidth(28);
    optOutputSepComma->setChecked(true);
    auto* separatorLayout = new QHBoxLayout(RadioGroup2);
    separatorLayout->setContentsMargins(6, 4, 6, 4);
    separatorLayout->setSpacing(4);
    separatorLayout->addWidget(optOutputSepComma);
    separatorLayout->addWidget(optOutputSepTab);
    separatorLayout->addWidget(optOutputSepOther);
    separatorLayout->addWidget(txtOutputSepOther);
    separatorLayout->addStretch(1);
    return RadioGroup2;
}

// The boxes of the output-field table in two columns.
QGroupBox* Tfrmmain::buildOutputFieldsGroup()
{
    GroupBox5 = makeGroup("GroupBox5", QStringLiteral("Fields :"));
    auto* fieldGrid = new QGridLayout(GroupBox5);
    fieldGrid->setContentsMargins(6, 4, 6, 6);
    fieldGrid->setHorizontalSpacing(6);
    fieldGrid->setVerticalSpacing(4);
    addCheckColumns(fieldGrid, kOutputFields, m_outputFieldBoxes, 5);
    return GroupBox5;
}

// "Results": the filter above one list view that fills the rest of the page.
// The widths are saved with the window state and restored exactly; on screen
// Owner and Full Path also share whatever room the page has to spare.
void Tfrmmain::buildResultsPage()
{
    resultsModel = new ResultsModel(this);
    lvwResults = makeListView("lvwResults", resultsModel);
    lvwResults->header()->setStretchLastSection(false);
    lvwResults->header()->setDefaultSectionSize(kResultsColumnWidth);
    for (int column = 0; column < resultsModel->columnCount(); ++column)
        lvwResults->header()->resizeSection(column, kResultsColumnWidth);
    new LastColumnFill(lvwResults, 2);
    new ListActions(lvwResults, resultsModel, 3, resultsModel);

    txtResultsFilter = named(new QLineEdit, "txtResultsFilter");
    txtResultsFilter->setPlaceholderText(QStringLiteral("Filter by path or owner"));
    txtResultsFilter->setClearButtonEnabled(true);
    txtResultsFilter->setFixedWidth(250);
    lblResultsShown = makeLabel("lblResultsShown", QString());
    auto* filterRow = new QHBoxLayout;
    filterRow->setContentsMargins(0, 0, 0, 0);
    filterRow->addWidget(txtResultsFilter);
    filterRow->addWidget(lblResultsShown, 1);
    auto* page = new QVBoxLayout(TabSheet6);
    page->setContentsMargins(0, 4, 0, 0);
    page->setSpacing(4);
    page->addLayout(filterRow);
    page->addWidget(lvwResults, 1);
}

// "Errors": one list view filling the page.
void Tfrmmain::buildErrorsPage()
{
    errorsModel = new ErrorsModel(this);
    lvwErrors = makeListView("lvwErrors", errorsModel);
    lvwErrors->header()->resizeSection(0, 200);
    lvwErrors->header()->resizeSection(1, 60);
    lvwErrors->header()->resizeSection(2, 210);
    new ListActions(lvwErrors, errorsModel, 0, nullptr, errorsModel);
    fillPage(TabSheet7, lvwErrors);
}

// "Totals": one list view filling the page, following the results.
void Tfrmmain::buildTotalsPage()
{
    totalsModel = new OwnerTotalsModel(*resultsModel, this);
    lvwTotals = makeListView("lvwTotals", totalsModel);
    lvwTotals->header()->resizeSection(0, 260);
    lvwTotals->header()->resizeSection(1, 110);
    new ListActions(lvwTotals, totalsModel, -1);
    fillPage(TabSheet9, lvwTotals);
}

// "Changes": the last scan's files that changed since the run before it.
void Tfrmmain::buildChangesPage()
{
    changesModel = new ChangesModel(this);
    lvwChanges = makeListView("lvwChanges", changesModel);
    lvwChanges->header()->resizeSection(0, 330);
    lvwChanges->header()->resizeSection(1, 80);
    new ListActions(lvwChanges, changesModel, 0, nullptr, nullptr);
    fillPage(TabSheet10, lvwChanges);
}

// "Batch Settings": save, load and the command-line help. Long texts wrap
// within the page rather than run past its edge.
void Tfrmmain::buildBatchSettingsPage()
{
    GroupBox6 = makeGroup("GroupBox6", QStringLiteral("Save Current Settings"));
    Label10 = makeWrappingLabel("Label10", QStringLiteral("This option saves all the parameters currently set in "
                                                          "trawl. The data is saved in a *.tws file "));
    Label11 = makeWrappingLabel("Label11", QStringLiteral("which may then be used to run Trawl in batch mode."));
    Button1 = makeButton("Button1", QStringLiteral("Save Settings"), 96);

    GroupBox7 = makeGroup("GroupBox7", QStringLiteral("Load Settings from File"));
    Label12 = makeWrappingLabel(
        "Label12", QStringLiteral("This option loads the settings back into the GUI from a saved *.tws file"));
    Label13 = makeWrappingLabel("Label13", QStringLiteral("This can be used to modify a batch routine, or run a "
                                                          "regular scan in attended mode."));
    Button2 = makeButton("Button2", QStringLiteral("Load Settings"), 96);

    GroupBox8 = makeGroup("GroupBox8", QStringLiteral("Batch Mode"));
    Label14 = makeWrappingLabel("Label14", QStringLiteral("To use Trawl in batch mode, create a *.tws file using "
                                                          "the Save Settings button."));
    Label15 = makeWrappingLabel("Label15", QStringLiteral("Trawl can then be run from the command line, batch file "
                                                          "or shortcut using the following parameters :"));
    Label16 = makeWrappingLabel("Label16", QStringLiteral("/settings=filename  This will load a tws file into Trawl "
                                                          "(e.g. /settings=c:\\trawl\\scanforjpegs.tws)"));
    Label17 = makeWrappingLabel("Label17", QStringLiteral("/autorun  - This will automatically start the scan as "
                                                          "soon as  the tws file is loaded."));
    Label18 = makeWrappingLabel("Label18", QStringLiteral("/autoclose - Trawl will shut down when the autorun is "
                                                          "complete"));
    Label19 = makeWrappingLabel(
        "Label19", QStringLiteral("Sample : trawl /settings=c:\\trawl\\scanjpegs.tws /autorun /autoclose"));

    fillTextGroup(GroupBox6, {Label10, Label11}, Button1);
    fillTextGroup(GroupBox7, {Label12, Label13}, Button2);
    fillTextGroup(GroupBox8, {Label14, Label15, Label16, Label17, Label18, Label19}, nullptr);

    auto* page = new QVBoxLayout(TabSheet8);
    page->setSpacing(4);
    page->addWidget(GroupBox6);
    page->addWidget(GroupBox7);
    page->addWidget(GroupBox8);
    page->addStretch(1);
}

void Tfrmmain::connectRules()
{
    RadioButton::makeExclusiveGroup({optSizeGreater, optSizeLess, optSizeEqual, optSizeIgnore});
    RadioButton::makeExclusiveGroup({optDateAccessed, optDateModified, optDateCreation, optDateIgnore});
    RadioButton::makeExclusiveGroup({optDateBefore, optDateBetween, optDateAfter, optDateExact});
    RadioButton::makeExclusiveGroup({optOutputSepComma, optOutputSepTab, optOutputSepOther});

    const auto onChecked = [this](RadioButton* button, void (Tfrmmain::*rule)()) {
        connect(button, &RadioButton::becameChecked, this, rule);
    };
    onChecked(optSizeIgnore, &Tfrmmain::optSizeIgnoreClick);
    onChecked(optSizeGreater, &Tfrmmain::optSizeGreaterClick);
    onChecked(optSizeLess, &Tfrmmain::optSizeLessClick);
    onChecked(optSizeEqual, &Tfrmmain::optSizeEqualClick);
    onChecked(optDateIgnore, &Tfrmmain::optDateIgnoreClick);
    onChecked(optDateAccessed, &Tfrmmain::optDateAccessedClick);
    onChecked(optDateModified, &Tfrmmain::optDateModifiedClick);
    onChecked(optDateCreation, &Tfrmmain::optDateCreationClick);
    onChecked(optDateBefore, &Tfrmmain::optDateBeforeClick);
    onChecked(optDateAfter, &Tfrmmain::optDateAfterClick);
    onChecked(optDateExact, &Tfrmmain::optDateExactClick);
    onChecked(optDateBetween, &Tfrmmain::optDateBetweenClick);

    // A check box's rule runs on every change, by a click or from the program.
    connect(chkOutputResults, &QCheckBox::toggled, this, &Tfrmmain::chkOutputResultsClick);
    connect(chkAppend, &QCheckBox::toggled, this, &Tfrmmain::chkAppendClick);
    connect(chkCommandFile, &QCheckBox::toggled, this, &Tfrmmain::chkCommandFileClick);

    connect(cmdStart, &QPushButton::clicked, this, &Tfrmmain::cmdStartClick);
    connect(cmdStop, &QPushButton::clicked, this, &Tfrmmain::cmdStopClick);
    connect(cmdAbout, &QPushButton::clicked, this, &Tfrmmain::cmdAboutClick);
    connect(cmdHelp, &QPushButton::clicked, this, &Tfrmmain::cmdHelpClick);
    connect(cmdHistory, &QPushButton::clicked, this, &Tfrmmain::cmdHistoryClick);
    connect(cmdUserAdd, &QPushButton::clicked, this, &Tfrmmain::cmdUserAddClick);
    connect(cmdUserRemove, &QPushButton::clicked, this, &Tfrmmain::cmdUserRemoveClick);
    connect(cmdUsersDeleteAll, &QPushButton::clicked, this, &Tfrmmain::cmdUsersDeleteAllClick);
    connect(Button1, &QPushButton::clicked, this, &Tfrmmain::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmmain::Button2Click);

    // Only the user's choices reach the drive handler; the program's own
    // selection of an entry does not.
    connect(cboDrives, &QComboBox::activated, this, &Tfrmmain::cboDrivesChange);
    connect(cboDrives->lineEdit(), &QLineEdit::textEdited, this, &Tfrmmain::cboDrivesChange);

    // Qt reports an expansion once it has happened; the handler fills the node
    // then, before the next paint.
    connect(treends, &QTreeWidget::itemExpanded, this, &Tfrmmain::treendsExpanding);
    connect(actAddOutsideDirectory, &QAction::triggered, this, &Tfrmmain::AddOutsideDirectoryClick);

    // The path box follows the folder list and takes a typed path; the note
    // beside Start follows the list's highlight.
    connect(txtPath, &QLineEdit::editingFinished, this, &Tfrmmain::txtPathEditingFinished);
    connect(DirectoryListBox1, &FolderListBox::directoryChanged, this, &Tfrmmain::ShowStartFolder);
    connect(DirectoryListBox1, &QListWidget::currentRowChanged, this, &Tfrmmain::ShowStartFolder);

    connect(Timer1, &QTimer::timeout, this, &Tfrmmain::Timer1Timer);

    connect(txtSizeBytes, &QLineEdit::textChanged, this, &Tfrmmain::ShowSizeReading);
    connect(txtResultsFilter, &QLineEdit::textChanged, this,
            [this](const QString& text) { resultsModel->setFilter(text.toStdString()); });
    // A scan begins by emptying the results: the Errors tab counts from there.
    connect(resultsModel, &QAbstractItemModel::modelReset, this,
            [this] { m_errorRowsBeforeScan = errorsModel->totalRows(); });
    connect(errorsModel, &QAbstractItemModel::modelReset, this,
            [this] { m_errorRowsBeforeScan = std::min(m_errorRowsBeforeScan, 0); });
    connect(resultsModel, &CompactListModel::listChanged, this, &Tfrmmain::ShowListCounts);
    connect(errorsModel, &CompactListModel::listChanged, this, &Tfrmmain::ShowListCounts);
    new ResizeWatcher(PageControl1, [this] { ShowListCounts(); });
}

void Tfrmmain::ShowListCounts()
{
    // Called at every pump of a scan: a tab's text is set only when it changes.
    const auto showCount = [this](QWidget* page, const QString& caption, int count) {
        const QString text = count <= 0 ? caption
                                        : QStringLiteral("%1 (%2)").arg(caption, groupDigits(QString::number(count)));
        if (const int tab = PageControl1->indexOf(page); PageControl1->tabText(tab) != text)
            PageControl1->setTabText(tab, text);
    };
    // Ten captions leave little room at the smaller window sizes: a count
    // that would make the tabs scroll is left out, the results' first, as
    // Matching Files shows it too.
    const auto tabsFit = [this] { return PageControl1->tabBar()->sizeHint().width() <= PageControl1->width(); };
    const int results = resultsModel->totalRows();
    showCount(TabSheet6, QStringLiteral("Results"), results);
    showCount(TabSheet7, QStringLiteral("Errors"),
              m_errorRowsBeforeScan < 0 ? 0 : errorsModel->totalRows() - m_errorRowsBeforeScan);
    if (!tabsFit())
        showCount(TabSheet6, QStringLiteral("Results"), 0);
    if (!tabsFit())
        showCount(TabSheet7, QStringLiteral("Errors"), 0);
    lblResultsShown->setText(txtResultsFilter->text().isEmpty()
                                 ? QString()
                                 : QStringLiteral("%1 of %2 shown")
                                       .arg(groupDigits(QString::number(resultsModel->rowCount())),
                                            groupDigits(QString::number(results))));
}

// The keys of a desktop program, on every page of the window. Start is
// pressed rather than its handler called, so a running scan (Start disabled)
// ignores them.
void Tfrmmain::buildShortcuts()
{
    const auto addShortcut = [this](const char* name, const QList<QKeySequence>& keys, auto handler) {
        auto* action = new QAction(this);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(keys);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);
    };
    addShortcut("actHelp", {QKeySequence(Qt::Key_F1)}, &Tfrmmain::cmdHelpClick);
    addShortcut("actLoadSettings", {QKeySequence(Qt::CTRL | Qt::Key_O)}, &Tfrmmain::Button2Click);
    addShortcut("actSaveSettings", {QKeySequence(Qt::CTRL | Qt::Key_S)}, &Tfrmmain::Button1Click);
    addShortcut("actStartScan",
                {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_Return),
                 QKeySequence(Qt::CTRL | Qt::Key_Enter)},
                [this] { cmdStart->click(); });
}

void Tfrmmain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // The start-up runs when the window first becomes visible, not when it is
    // restored from the task bar.
    if (m_shown || event->spontaneous())
        return;
    m_shown = true;
    if (m_startOptions.unattended)
        uiServices().setMessageTimeout(kUnattendedMessageTimeout);
    FormShow();
    // A run that cannot start ends as one whose scan was refused would.
    if (m_startOptions.unattended && !Timer1->isActive())
        QTimer::singleShot(0, this, &QWidget::close);
}

void Tfrmmain::closeEvent(QCloseEvent* event)
{
    if (m_scanActive || scanProgress.Running) {
        // The walk ends first; the scan run then closes the output file and
        // the window.
        closeAfterScan = true;
        scanProgress.Running = 0;
        event->ignore();
        return;
    }
    FormClose();
    QMainWindow::closeEvent(event);
}

void Tfrmmain::keyPressEvent(QKeyEvent* event)
{
    // Esc stops a running scan, as Stop does.
    if (event->key() == Qt::Key_Escape && scanProgress.Running == 1) {
        event->accept();
        cmdStopClick();
        return;
    }
    // Start is the window's default button: Enter that no control used starts
    // a scan. Not from a list or the path box: Enter on a highlighted result
    // would empty the list it was read from, and a typed path or filter is not
    // yet a scan.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && cmdStart->isEnabled()) {
        const QWidget* focus = focusWidget();
        if (qobject_cast<const QAbstractItemView*>(focus) || focus == txtPath || focus == txtResultsFilter) {
            event->accept();
            return;
        }
        event->accept();
        cmdStart->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}
