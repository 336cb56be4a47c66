// The scan's history: the run recorded, each match compared with the run of
// the same search before it, and the files gone since written after the walk.

#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "app/historydialog.h"
#include "app/tfrmmain.h"
#include "history/historyrecorder.h"
#include "output/qt_listmodels.h"
#include "netclient/nwclient.h"
#include "platform/asciicase.h"
#include "platform/pathjoin.h"
#include "platform/uiservices.h"

namespace {

std::string hostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return "localhost";
    return name;
}

// The search as one text: two runs compare only when their tests are the
// same. A test that is off says nothing of its values; the owner list counts
// as a set of names, blind to the case of a-z.
std::string testsText(const ScanCriteria& c, const QListWidget& owners)
{
    char text[160];
    std::string tests;
    if (c.SizeMode != 0) {
        std::snprintf(text, sizeof text, "size %d %.17g;", c.SizeMode, c.SizeBytes);
        tests += text;
    }
    if (c.DateTestOn != 0) {
        std::snprintf(text, sizeof text, "date %d %d %.17g %.17g %.17g;", c.DateType, c.DateMode, c.BeforeDate,
                      c.AfterDate, c.ExactDate);
        tests += text;
    }
    if (c.AttributeMask != 0) {
        std::snprintf(text, sizeof text, "attributes %x;", c.AttributeMask);
        tests += text;
    }
    if (c.OwnerTestOn != 0) {
        std::vector<std::string> names;
        for (int i = 0; i < owners.count(); ++i)
            names.push_back(ascii::toUpper(owners.item(i)->text().toStdString()));
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        tests += "owners";
        for (const std::string& name : names)
            tests += "|" + name;
        tests += ";";
    }
    return tests;
}

// The start folder's server, volume and path on the volume.
bool startFolderKey(const std::string& startFolder, history::SearchKey& key)
{
    NwClient* client = nwClient();
    NWCONN_HANDLE conn = 0;
    NWDIR_HANDLE dirHandle = 0;
    char volumePath[512] = {};
    if (client == nullptr || client->NWParseNetwarePath(startFolder.c_str(), &conn, &dirHandle, volumePath) != 0)
        return false;
    const std::string_view path = nw::boundedText(volumePath, sizeof volumePath);
    const std::size_t colon = path.find(':');
    key.volume = ascii::toUpper(path.substr(0, colon));
    key.path = colon == std::string_view::npos ? std::string() : ascii::toUpper(path.substr(colon + 1));
    return true;
}

std::string localMinute(std::int64_t seconds)
{
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    localtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &parts);
    return text;
}

}  // namespace

void Tfrmmain::reportHistoryFailure(const std::string& reason)
{
    const std::string name = m_historyStore ? m_historyStore->name() : scanCriteria.HistoryName;
    LogNWError(name.empty() ? std::string("history") : name, 0, ("History: " + reason).c_str(), 0);
    m_historyRecorder.reset();
}

void Tfrmmain::beginHistory(const std::string& startFolder)
{
    m_historyRecorder.reset();
    m_historyStore.reset();
    m_historyNote.clear();
    totalsModel->setBase(std::nullopt);
    if (scanCriteria.HistoryOn == 0)
        return;
    m_historyStartFolder = startFolder;
    std::string fileName;
    std::string error;
    if (!history::historyFileName(scanCriteria.HistoryName, fileName, error)) {
        reportHistoryFailure(error);
        return;
    }
    m_historyStore = history::openSqliteStore(fileName);
    if (!m_historyStore->open(error)) {
        reportHistoryFailure(error);
        return;
    }
    history::RunInfo run;
    run.key.server = scanCriteria.ServerName;
    if (!startFolderKey(startFolder, run.key))
        run.key.path = startFolder;  // a local drive: its folder stands for itself
    run.key.pattern = scanCriteria.Pattern;
    run.key.tests = testsText(scanCriteria, *lstUsers);
    run.host = hostName();
    run.started = static_cast<std::int64_t>(std::time(nullptr));
    m_historyRecorder = std::make_unique<history::Recorder>(*m_historyStore);
    if (!m_historyRecorder->begin(std::move(run), error)) {
        reportHistoryFailure(error);
        return;
    }
    // The Totals page shows each owner's change since the base.
    std::vector<history::Store::OwnerTotal> totals;
    if (const auto& base = m_historyRecorder->base(); base && m_historyStore->ownerTotals(*base, totals, error)) {
        OwnerTotalsModel::BaseTotals byOwner;
        for (history::Store::OwnerTotal& total : totals)
            byOwner.emplace(std::move(total.owner), std::make_pair(total.files, total.bytes));
        totalsModel->setBase(std::move(byOwner));
    }
}

std::string_view Tfrmmain::historyChange(const std::string& fullPath, std::uint64_t size, const std::string& owner,
                                         const FileInfoRecord& info, const ExtendedInfoRecord& extended,
                                         bool& unchanged)
{
    unchanged = false;
    if (!m_historyRecorder)
        return {};
    // Paths are kept below the start folder, so a volume reached through
    // another drive letter compares all the same.
    std::string_view path(fullPath);
    if (path.substr(0, m_historyStartFolder.size()) == m_historyStartFolder)
        path.remove_prefix(m_historyStartFolder.size());
    while (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    const history::FileFacts facts{size, owner, info.lastUpdateDateAndTime, extended.creationDateAndTime,
                                   extended.attributes};
    const history::Change change = m_historyRecorder->add(path, facts);
    unchanged = change.kind == history::ChangeKind::Same;
    m_historyChange = history::changeText(change);
    if (!unchanged)
        changesModel->appendRow(fullPath, size, m_historyChange);
    return m_historyChange;
}

void Tfrmmain::endHistory()
{
    if (!m_historyRecorder)
        return;
    const bool complete = lastScanOutcome == ScanOutcome::Completed;
    std::string error;
    if (complete) {
        // The files of the run before that this one did not find, after the
        // walk's, with the facts last recorded.
        const bool read = m_historyRecorder->forEachGone(
            [&](std::string_view path, const history::FileFacts& facts) {
                const std::string fullPath = joinPath(m_historyStartFolder, path);
                changesModel->appendRow(fullPath, facts.size, "Gone");
                if (scanCriteria.OutputToFile == 0)
                    return;
                const std::size_t slash = fullPath.rfind('\\');
                const std::string folder = fullPath.substr(0, slash == std::string::npos ? 0 : slash);
                const std::string fileName = fullPath.substr(slash == std::string::npos ? 0 : slash + 1);
                if (scanCriteria.CommandFileOn != 0) {
                    WriteCommandLine(folder, fileName);
                    return;
                }
                FileInfoRecord info{};
                ExtendedInfoRecord extended{};
                info.size = static_cast<std::uint32_t>(std::min<std::uint64_t>(facts.size, 0xFFFFFFFFu));
                info.lastUpdateDateAndTime = facts.modified;
                info.creationDate = static_cast<std::uint16_t>(facts.created >> 16);
                extended.attributes = facts.attributes;
                WriteOutputRecord(folder, fileName, facts.owner, info, extended, "Gone");
            },
            error);
        if (!read)
            reportHistoryFailure(error);
    }
    if (!m_historyRecorder)
        return;
    history::Recorder& recorder = *m_historyRecorder;
    if (!recorder.finish(complete, scanProgress.MatchingFiles, scanProgress.MatchingSize, error)) {
        reportHistoryFailure(error);
        return;
    }
    if (!recorder.base())
        m_historyNote = "; history: first run of this search";
    else
        m_historyNote = "; history: " + std::to_string(recorder.newCount()) + " new, " +
                        std::to_string(recorder.goneCount()) + " gone, " + std::to_string(recorder.changedCount()) +
                        " changed since " + localMinute(recorder.base()->started);
    m_historyRecorder.reset();
    m_historyStore.reset();
}

void Tfrmmain::cmdHistoryClick()
{
    std::string fileName;
    std::string error;
    if (!history::historyFileName(txtHistory->text().toStdString(), fileName, error)) {
        uiServices().messageBox(this, QString::fromStdString(error), QStringLiteral("Trawl"));
        return;
    }
    const std::unique_ptr<history::Store> store = history::openSqliteStore(fileName);
    if (!store->open(error)) {
        uiServices().messageBox(this, QString::fromStdString(fileName + ": " + error), QStringLiteral("Trawl"));
        return;
    }
    HistoryDialog dialog(
        *store,
        [&](const history::RunInfo& earlier, const history::RunInfo& later) {
            ShowComparison(*store, earlier, later);
        },
        this);
    uiServices().execModal(dialog);
}

void Tfrmmain::ShowComparison(history::Store& store, const history::RunInfo& earlier, const history::RunInfo& later)
{
    // The runs may be of a volume no drive of this workstation maps: their
    // files are named by server, volume and path.
    const history::SearchKey& key = later.key;
    const std::string folder = key.server + "/" + key.volume + ":" + key.path;
    changesModel->clear();
    std::string error;
    const bool compared = history::compareRuns(
        store, earlier, later,
        [&](std::string_view path, const history::FileFacts& facts, history::Change change) {
            changesModel->appendRow(joinPath(folder, path), facts.size, history::changeText(change));
        },
        error);
    changesModel->flush();
    PageControl1->setCurrentWidget(TabSheet10);
    if (!compared)
        uiServices().messageBox(this, QString::fromStdString(store.name() + ": " + error), QStringLiteral("Trawl"));
}
