#pragma once

// One scan recorded in the history and compared with the run before it (its
// base: the latest complete run of the same search). The scan hands it each
// match as the walk finds it and gets the match's change back; after the walk
// it asks for the base's files this run did not find (Gone), then finishes.
//
// Of the base it keeps in memory only each file's path hash and the digest of
// its facts (24 bytes a file): a changed file's old facts are read back from
// the store when it is met. What this run adds (files new or changed) is
// staged in the store and written with the run when it finishes.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/historystore.h"

namespace history {

// The files of one complete run, as a comparison needs them: each one's path
// hash, the digest of its facts and its version, sorted by hash (24 bytes a
// file), and whether the run compared with it has met it.
class RunIndex {
public:
    bool read(Store& store, const RunInfo& run, std::string& error);
    void clear() { std::vector<Entry>().swap(m_entries); }
    // The change of a file of the other run against this one; fields need
    // the old facts, read from the store only for a changed file.
    Change compare(Store& store, std::string_view path, const FileFacts& facts, std::string& error);
    // The versions of this run the other one did not meet, in recorded order.
    std::vector<std::int64_t> unmet() const;
    // Versions that changed since, in the order met.
    const std::vector<std::int64_t>& changed() const { return m_changed; }

private:
    struct Entry {
        std::uint64_t pathHash;
        std::int64_t version;
        std::uint32_t factsDigest;
        bool met;
    };
    std::vector<Entry> m_entries;
    std::vector<std::int64_t> m_changed;
};

// What changed from one complete run to a later one of the same search:
// visit gets each New and Changed file of the later run as it was recorded,
// then each Gone file of the earlier one.
bool compareRuns(Store& store, const RunInfo& earlier, const RunInfo& later,
                 const std::function<void(std::string_view path, const FileFacts& facts, Change change)>& visit,
                 std::string& error);

class Recorder {
public:
    explicit Recorder(Store& store) : m_store(store) {}

    // Finds the base and reads its files, and begins the run. False, with the
    // reason, when the store fails; the recorder then compares nothing (every
    // file is New) and records nothing.
    bool begin(RunInfo run, std::string& error);
    // A match of the walk: its path below the start folder, and its facts.
    Change add(std::string_view path, const FileFacts& facts);
    // After the walk: the base's files this run did not match, in the order
    // they were recorded, with the facts last recorded.
    bool forEachGone(const FileVisitor& visit, std::string& error);
    // Ends the run: complete (walked to its end) or partial. False, with the
    // reason, when the store failed at any point of the run.
    bool finish(bool complete, std::int64_t matches, std::uint64_t bytes, std::string& error);

    const std::optional<RunInfo>& base() const { return m_base; }
    const RunInfo& run() const { return m_run; }
    std::int64_t newCount() const { return m_new; }
    std::int64_t changedCount() const { return m_changed; }
    std::int64_t goneCount() const { return m_gone; }

private:
    void failed(std::string error);

    Store& m_store;
    RunInfo m_run;
    std::optional<RunInfo> m_base;
    RunIndex m_baseFiles;
    std::vector<std::int64_t> m_closed;  // versions of the base that went
    std::int64_t m_new = 0;
    std::int64_t m_changed = 0;
    std::int64_t m_gone = 0;
    bool m_recording = false;
    std::string m_error;  // the first failure of the store in this run
};

}  // namespace history
