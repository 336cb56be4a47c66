// Recording a match in the results list and a failed client call in the
// errors list. Both run once per file inside the walk, so they only store:
// no widget is touched here and no text is formatted for display; the walker's
// ShowProgress announces the new rows and shows the counters at its pumps.
#include <climits>

#include <cstdio>

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

    if (scanCriteria.OutputToFile != 0) {
        if (scanCriteria.CommandFileOn != 0)
            WriteCommandLine(folder, fileName);
        else
            WriteOutputRecord(folder, fileName, owner, info, extended);
    }
}

void Tfrmmain::LogNWError(const std::string& path, NWCCODE code, const char* problem, std::uint64_t size)
{
    const std::string problemCell = problemText(problem ? problem : "", code);
    errorsModel->appendRow(path, size, problemCell);
    ++errorRowsAdded;
    if (echoErrorsToStderr)
        std::fprintf(stderr, "%s\t%llu\t%s\n", path.c_str(), static_cast<unsigned long long>(size),
                     problemCell.c_str());
}
