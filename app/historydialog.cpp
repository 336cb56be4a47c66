// The "History" dialog (see historydialog.h).

#include "app/historydialog.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString startFolderText(const history::SearchKey& key)
{
    return QString::fromStdString(key.server + "/" + key.volume + ":" + key.path);
}

}  // namespace

HistoryDialog::HistoryDialog(history::Store& store, CompareRuns compare, QWidget* parent)
    : QDialog(parent), m_store(store), m_compare(std::move(compare))
{
    setObjectName("HistoryDialog");
    setWindowTitle(QStringLiteral("History"));
    tblRuns = new QTableWidget(0, 7, this);
    tblRuns->setObjectName("tblRuns");
    tblRuns->setHorizontalHeaderLabels(
        {"Start", "Host", "Start folder", "Pattern", "Matches", "Bytes", "Run"});
    tblRuns->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblRuns->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblRuns->verticalHeader()->hide();
    tblRuns->horizontalHeader()->setStretchLastSection(true);
    lblHistoryNote = new QLabel(this);
    lblHistoryNote->setObjectName("lblHistoryNote");
    lblHistoryNote->setWordWrap(true);
    cmdHistoryDelete = new QPushButton(QStringLiteral("Delete"), this);
    cmdHistoryDelete->setObjectName("cmdHistoryDelete");
    cmdHistoryCompare = new QPushButton(QStringLiteral("Compare"), this);
    cmdHistoryCompare->setObjectName("cmdHistoryCompare");
    cmdHistoryCompare->setToolTip(QStringLiteral("Select two complete runs of one search to see what changed"));
    cmdHistoryClose = new QPushButton(QStringLiteral("Close"), this);
    cmdHistoryClose->setObjectName("cmdHistoryClose");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdHistoryDelete);
    buttons->addWidget(cmdHistoryCompare);
    buttons->addStretch(1);
    buttons->addWidget(cmdHistoryClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tblRuns, 1);
    layout->addWidget(lblHistoryNote);
    layout->addLayout(buttons);
    resize(720, 360);

    connect(tblRuns, &QTableWidget::itemSelectionChanged, this, &HistoryDialog::selectionChanged);
    connect(cmdHistoryDelete, &QPushButton::clicked, this, &HistoryDialog::deleteClick);
    connect(cmdHistoryCompare, &QPushButton::clicked, this, &HistoryDialog::compareClick);
    connect(cmdHistoryClose, &QPushButton::clicked, this, &QDialog::reject);
    reload();
}

void HistoryDialog::reload()
{
    std::string error;
    m_runs.clear();
    if (!m_store.listRuns(m_runs, error))
        lblHistoryNote->setText(QString::fromStdString(m_store.name() + ": " + error));
    std::reverse(m_runs.begin(), m_runs.end());
    tblRuns->clearSelection();
    tblRuns->setRowCount(static_cast<int>(m_runs.size()));
    for (int row = 0; row < static_cast<int>(m_runs.size()); ++row) {
        const history::RunInfo& run = m_runs[static_cast<std::size_t>(row)];
        const QString cells[] = {
            QDateTime::fromSecsSinceEpoch(run.started).toString(QStringLiteral("yyyy-MM-dd HH:mm")),
            QString::fromStdString(run.host),
            startFolderText(run.key),
            QString::fromStdString(run.key.pattern),
            QString::number(run.matches),
            QString::number(run.bytes),
            run.complete ? QStringLiteral("complete") : QStringLiteral("partial"),
        };
        for (int column = 0; column < 7; ++column)
            tblRuns->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    selectionChanged();
}

std::vector<const history::RunInfo*> HistoryDialog::selectedRuns() const
{
    std::vector<const history::RunInfo*> runs;
    for (const QModelIndex& index : tblRuns->selectionModel()->selectedRows())
        runs.push_back(&m_runs[static_cast<std::size_t>(index.row())]);
    // Oldest first.
    std::sort(runs.begin(), runs.end(), [](const auto* a, const auto* b) { return a->id < b->id; });
    return runs;
}

void HistoryDialog::selectionChanged()
{
    const std::vector<const history::RunInfo*> runs = selectedRuns();
    cmdHistoryDelete->setEnabled(runs.size() == 1);
    cmdHistoryCompare->setEnabled(runs.size() == 2 && runs[0]->key == runs[1]->key && runs[0]->complete &&
                                  runs[1]->complete);
}

void HistoryDialog::deleteClick()
{
    const std::vector<const history::RunInfo*> runs = selectedRuns();
    if (runs.size() != 1)
        return;
    std::string error;
    if (!m_store.deleteRun(runs[0]->id, error))
        lblHistoryNote->setText(QString::fromStdString(m_store.name() + ": " + error));
    reload();
}

void HistoryDialog::compareClick()
{
    const std::vector<const history::RunInfo*> runs = selectedRuns();
    if (runs.size() != 2 || !m_compare)
        return;
    m_compare(*runs[0], *runs[1]);
    accept();
}
