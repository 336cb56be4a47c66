// The output file of a scan: the headings line, one delimited record or one
// expanded command template per match. Each line is built whole in one reused
// buffer and handed to the stream in a single write.
#include "app/tfrmmain.h"
#include "output/outputformat.h"
#include "output/qt_listmodels.h"

namespace {

constexpr const char* kWriteFailedProblem = "Unable to write output file";

// The client's unpacking is asked only for the dates actually written; a
// failed unpack leaves the record as it was filled (zeros), as the client's
// codes for dates are not examined.
DateRecord unpackDate(std::uint16_t packed)
{
    DateRecord date{};
    if (NwClient* client = nwClient())
        client->NWUnpackDate(packed, &date);
    return date;
}

DateRecord unpackDateOfDateTime(std::uint32_t packed)
{
    DateRecord date{};
    TimeRecord time{};
    if (NwClient* client = nwClient())
        client->NWUnpackDateTime(packed, &date, &time);
    return date;
}

}  // namespace

void Tfrmmain::WriteHeadings()
{
    if (!scanProgress.OutputFile)
        return;
    buildHeadingsLine(m_outputLine, scanCriteria);
    scanProgress.OutputFile->write(m_outputLine);
    if (const int error = scanProgress.OutputFile->error())
        ReportOutputWriteError(error);
}

void Tfrmmain::WriteOutputRecord(const std::string& folder, const std::string& fileName, const std::string& owner,
                                 const FileInfoRecord& info, const ExtendedInfoRecord& extended,
                                 std::string_view change)
{
    if (!scanProgress.OutputFile)
        return;
    OutputRecord record;
    record.serverName = scanCriteria.ServerName;
    record.folder = folder;
    record.fileName = fileName;
    record.owner = owner;
    record.size = info.size;
    if (scanCriteria.OutAccessed != 0)
        record.accessed = unpackDate(info.lastAccessDate);
    if (scanCriteria.OutModified != 0)
        record.modified = unpackDateOfDateTime(info.lastUpdateDateAndTime);
    if (scanCriteria.OutCreation != 0)
        record.created = unpackDate(info.creationDate);
    record.attributes = extended.attributes;
    record.change = change;

    buildRecordLine(m_outputLine, scanCriteria, record);
    scanProgress.OutputFile->write(m_outputLine);
    if (const int error = scanProgress.OutputFile->error())
        ReportOutputWriteError(error);
}

void Tfrmmain::WriteCommandLine(const std::string& folder, const std::string& fileName)
{
    if (!scanProgress.OutputFile)
        return;
    buildCommandLines(m_outputLine, scanCriteria.CommandText, folder, fileName);
    scanProgress.OutputFile->write(m_outputLine);
    if (const int error = scanProgress.OutputFile->error())
        ReportOutputWriteError(error);
}

void Tfrmmain::ReportOutputWriteError(int errorCode)
{
    // A full disk fails every later write too: one row per scan says it all.
    if (outputErrorReported)
        return;
    outputErrorReported = true;
    LogNWError(scanCriteria.OutputFileName, static_cast<NWCCODE>(errorCode), kWriteFailedProblem, 0);
    errorsModel->flush();
}
