#pragma once

// The "History" dialog: the runs recorded in the history (start, host, start
// folder, pattern, matches, bytes, complete or partial), newest first.
// Delete removes the selected run; Compare, with two complete runs of one
// search selected, hands them to the window, which shows on the Changes page
// what changed from the earlier to the later.

#include <QDialog>

#include <functional>
#include <vector>

#include "history/historystore.h"

class QLabel;
class QPushButton;
class QTableWidget;

class HistoryDialog : public QDialog {
    Q_OBJECT
public:
    using CompareRuns = std::function<void(const history::RunInfo& earlier, const history::RunInfo& later)>;
    HistoryDialog(history::Store& store, CompareRuns compare, QWidget* parent = nullptr);

    QTableWidget* tblRuns = nullptr;
    QPushButton* cmdHistoryDelete = nullptr;
    QPushButton* cmdHistoryCompare = nullptr;
    QPushButton* cmdHistoryClose = nullptr;
    QLabel* lblHistoryNote = nullptr;

private:
    void reload();
    void selectionChanged();
    std::vector<const history::RunInfo*> selectedRuns() const;
    void deleteClick();
    void compareClick();

    history::Store& m_store;
    CompareRuns m_compare;
    std::vector<history::RunInfo> m_runs;  // newest first, as the rows
};
