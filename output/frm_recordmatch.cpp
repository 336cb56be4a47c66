// Recording a match in the results list and a failed client call in the
// errors list. Both run once per file inside the walk, so they only store:
// no widget is touched here and no text is formatted for display; the walker's
// ShowProgress announces the new rows and shows the counters at its pumps.
#include <climits>

#include <cstdio>
#include <string_view>

#include "app/tfrmmain.h"
#include "output/outputformat.h"
#include "output/qt_listmodels.h"

void Tfrmmain::RecordMatch(const std::string& folder, const std::string& fileName, std::uint64_t size,
                           const std::string& owner, const std::string& fullPath, const FileInfoRecord& info,
                           const ExtendedInfoRecord& extended)
{
    resultsModel->appendRow(fileName, size, owner, fullPath);

    if (scanProgress.MatchingFiles < INT32_MAX)
        ++scanProgress.MatchingFiles;
    scanProgress.MatchingSize += size;

    bool unchanged = false;
    const std::string_view change = historyChange(fullPath, size, owner, info, extended, unchanged);
    if (scanCriteria.OutputToFile != 0 && !(unchanged && scanCriteria.ChangesOnly != 0)) {
        if (scanCriteria.CommandFileOn != 0)
            WriteCommandLine(folder, fileName);
        else
            WriteOutputRecord(folder, fileName, owner, info, extended, change);
    }
}

namespace {

// Each row is one line of three tab-separated fields on standard error, so a
// control character in a path (a tab or a line break in a host name) is
// written as "?", which no NetWare name can hold.
std::string lineSafe(std::string_view text)
{
    std::string safe(text);
    for (char& c : safe)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return safe;
}

}  // namespace

void Tfrmmain::LogNWError(const std::string& path, NWCCODE code, const char* problem, std::uint64_t size)
{
    const std::string problemCell = problemText(problem ? problem : "", code);
    errorsModel->appendRow(path, size, problemCell, code);
    ++errorRowsAdded;
    if (m_startOptions.echoErrorsToStderr)
        std::fprintf(stderr, "%s\t%llu\t%s\n", lineSafe(path).c_str(), static_cast<unsigned long long>(size),
                     lineSafe(problemCell).c_str());
}
