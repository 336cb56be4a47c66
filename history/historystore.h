#pragma once

// The history of scans: each recorded run of a search, and the files it
// matched, kept so that a run can be compared with the run of the same search
// before it. One interface, Store, with a home in an SQLite file
// (openSqliteStore); the scan reaches it only through Recorder
// (historyrecorder.h) and the window's history dialog through Store itself.
//
// Space grows with what changes: a file's facts are kept once for as long as
// consecutive complete runs of its search find them unchanged (a version of
// the file, from its first run to its last), so a run of an unchanged volume
// adds one row.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace history {

// What makes two runs comparable: the start folder and the search. Output
// options are no part of it.
struct SearchKey {
    std::string server;
    std::string volume;
    std::string path;     // the start folder on the volume
    std::string pattern;  // as typed
    std::string tests;    // the size, date and attribute tests and the owner list, one canonical text

    bool operator==(const SearchKey&) const = default;
};

// What is compared of a matching file (its access date is not).
struct FileFacts {
    std::uint64_t size = 0;
    std::string owner;            // as the Owner column shows it
    std::uint32_t modified = 0;   // DOS date << 16 | DOS time
    std::uint32_t created = 0;    // the same
    std::uint32_t attributes = 0;

    bool operator==(const FileFacts&) const = default;
};

// The fields a change names, in the order it names them.
enum ChangedField : std::uint8_t {
    kChangedSize = 0x1,
    kChangedOwner = 0x2,
    kChangedModified = 0x4,
    kChangedCreated = 0x8,
    kChangedAttributes = 0x10,
};
std::uint8_t differingFields(const FileFacts& before, const FileFacts& now);

enum class ChangeKind : std::uint8_t { New, Same, Changed, Gone };
struct Change {
    ChangeKind kind = ChangeKind::New;
    std::uint8_t fields = 0;  // ChangedField bits, for Changed
};
// "New", "Same", "Gone", or "Changed: " and the fields joined by "/".
std::string changeText(Change change);

struct RunInfo {
    std::int64_t id = 0;
    SearchKey key;
    std::string host;
    std::int64_t started = 0;  // seconds since 1970, UTC
    bool complete = false;     // walked to its end (a run stopped or cut off is partial)
    std::int64_t matches = 0;
    std::uint64_t bytes = 0;
};

// A file as a run recorded it: its path below the start folder ("SUB\B.TXT").
using FileVisitor = std::function<void(std::string_view path, const FileFacts& facts)>;

// One row a recording adds: a file first seen, or seen with other facts (the
// version it ends is closed), and the versions of the base no longer seen.
struct NewVersion {
    std::string path;
    FileFacts facts;
};

class Store {
public:
    virtual ~Store() = default;

    // The database as messages name it (never with a password).
    virtual const std::string& name() const = 0;
    // Opens it, making it and its schema when missing. False, with the
    // reason, when it cannot be opened or is no history of this program's
    // (a newer schema included); then it is left exactly as it was.
    virtual bool open(std::string& error) = 0;

    // The latest complete run of the search.
    virtual bool latestComplete(const SearchKey& key, std::optional<RunInfo>& run, std::string& error) = 0;
    // The versions a complete run found: each one's ID, path hash and the
    // digest of its facts, in the order they were recorded.
    struct VersionDigest {
        std::int64_t id;
        std::uint64_t pathHash;
        std::uint32_t factsDigest;
    };
    virtual bool forEachVersion(const RunInfo& run, const std::function<void(const VersionDigest&)>& visit,
                                std::string& error) = 0;
    // The path and facts of versions by ID, in the order given.
    virtual bool readVersions(const std::vector<std::int64_t>& ids, const FileVisitor& visit, std::string& error) = 0;
    // The files of a complete run, in the order they were recorded.
    virtual bool forEachFile(const RunInfo& run, const FileVisitor& visit, std::string& error) = 0;

    // Starts recording a run, for which versions are then staged; what is
    // staged is written only by commitRun, all at once. The run shows as
    // partial until committed complete.
    virtual bool beginRun(RunInfo& run, std::string& error) = 0;
    virtual bool stageVersion(const NewVersion& version, std::string& error) = 0;
    // Ends the run: complete, with the versions staged and those of the base
    // that ended (closed), or partial (nothing staged is kept). A base that is
    // no longer the latest complete run of the search (another recorder was
    // quicker) makes the run partial.
    virtual bool commitRun(RunInfo& run, const std::optional<RunInfo>& base, const std::vector<std::int64_t>& closed,
                           std::string& error) = 0;

    virtual bool listRuns(std::vector<RunInfo>& runs, std::string& error) = 0;
    // The files and bytes of each owner among a complete run's files.
    struct OwnerTotal {
        std::string owner;
        std::uint64_t files = 0;
        std::uint64_t bytes = 0;
    };
    virtual bool ownerTotals(const RunInfo& run, std::vector<OwnerTotal>& totals, std::string& error) = 0;
    // Deletes a run; every other run keeps its files.
    virtual bool deleteRun(std::int64_t id, std::string& error) = 0;
};

// The history in an SQLite file. Every call says its failure in error.
std::unique_ptr<Store> openSqliteStore(std::string fileName);

// The hash a path is looked up by, and the digest facts are compared by.
std::uint64_t pathHash(std::string_view path);
std::uint32_t factsDigest(const FileFacts& facts);

}  // namespace history

namespace history {

// The history's file: typed (a drive path or a host path, a relative one
// from the current folder, as an output file's), or, when nothing was typed,
// history.sqlite in $XDG_DATA_HOME/trawl (else ~/.local/share/trawl), that
// folder made when missing. False, with the reason, when it cannot be made.
bool historyFileName(std::string_view typed, std::string& fileName, std::string& error);

}  // namespace history
