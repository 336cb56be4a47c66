// The history in an SQLite file (see historystore.h and docs/history.md).

#include <sqlite3.h>

#include <unordered_map>
#include <utility>

#include "history/historystore.h"

namespace history {

namespace {

// The schema this program writes; a file of a newer one is refused.
constexpr int kSchemaVersion = 1;

constexpr const char* kSchema = R"sql(
CREATE TABLE searches (
    id INTEGER PRIMARY KEY,
    server TEXT NOT NULL,
    volume TEXT NOT NULL,
    path TEXT NOT NULL,
    pattern TEXT NOT NULL,
    tests TEXT NOT NULL,
    UNIQUE (server, volume, path, pattern, tests)
);
CREATE TABLE runs (
    id INTEGER PRIMARY KEY,
    search_id INTEGER NOT NULL REFERENCES searches (id),
    host TEXT NOT NULL,
    started INTEGER NOT NULL,
    state TEXT NOT NULL CHECK (state IN ('recording', 'complete', 'partial')),
    matches INTEGER NOT NULL DEFAULT 0,
    bytes INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE folders (id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE);
CREATE TABLE owners (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
CREATE TABLE versions (
    id INTEGER PRIMARY KEY,
    search_id INTEGER NOT NULL REFERENCES searches (id),
    first_run INTEGER NOT NULL,
    last_run INTEGER,
    folder_id INTEGER NOT NULL REFERENCES folders (id),
    name TEXT NOT NULL,
    size INTEGER NOT NULL,
    owner_id INTEGER NOT NULL REFERENCES owners (id),
    modified INTEGER NOT NULL,
    created INTEGER NOT NULL,
    attributes INTEGER NOT NULL
);
CREATE VIEW run_files AS
    SELECT r.id AS run_id, f.path || CASE WHEN f.path = '' THEN '' ELSE '\' END || v.name AS path,
           v.size, o.name AS owner, v.modified, v.created, v.attributes, v.id AS version_id
    FROM runs r
    JOIN versions v ON v.search_id = r.search_id AND v.first_run <= r.id
                   AND (v.last_run IS NULL OR v.last_run >= r.id)
    JOIN folders f ON f.id = v.folder_id
    JOIN owners o ON o.id = v.owner_id
    WHERE r.state = 'complete';
)sql";

// A statement prepared once and reset after each use.
class Statement {
public:
    Statement() = default;
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool prepare(sqlite3* db, const char* sql)
    {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
        return sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_statement, nullptr) == SQLITE_OK;
    }
    sqlite3_stmt* get() const { return m_statement; }
    Statement& bind(int index, std::int64_t value)
    {
        sqlite3_bind_int64(m_statement, index, value);
        return *this;
    }
    Statement& bind(int index, std::string_view text)
    {
        // An empty view may point nowhere, which SQLite would take for NULL.
        sqlite3_bind_text(m_statement, index, text.empty() ? "" : text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return sqlite3_step(m_statement); }
    void reset()
    {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    std::string_view text(int column) const
    {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
        return bytes ? std::string_view(bytes, static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)))
                     : std::string_view();
    }

private:
    sqlite3_stmt* m_statement = nullptr;
};

// "SUB\DEEP\B.TXT" as its folder and name.
std::pair<std::string_view, std::string_view> splitPath(std::string_view path)
{
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string_view::npos)
        return {std::string_view(), path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

class SqliteStore final : public Store {
public:
    explicit SqliteStore(std::string fileName) : m_name(std::move(fileName)) {}
    ~SqliteStore() override
    {
        m_statements.clear();
        sqlite3_close_v2(m_db);
    }

    const std::string& name() const override { return m_name; }

    bool open(std::string& error) override
    {
        // Never made here unless missing: a file that is there and no history
        // is left exactly as it was.
        const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW;
        if (sqlite3_open_v2(m_name.c_str(), &m_db, flags, nullptr) != SQLITE_OK)
            return fail(error);
        // Another recorder's write waits this long before this one gives up.
        sqlite3_busy_timeout(m_db, 60000);
        int version = 0;
        if (!userVersion(version, error))
            return false;
        if (version > kSchemaVersion) {
            error = "made by a newer Trawl (schema " + std::to_string(version) + "; this one knows " +
                    std::to_string(kSchemaVersion) + "): left as it is";
            return false;
        }
        if (version == 0 && !createSchema(error))
            return false;
        // Staged versions wait in a table of this connection's own, on disk
        // beside the system's temporary files, so a large first run costs no
        // memory and locks nothing until it is committed.
        return exec("PRAGMA temp_store = FILE; PRAGMA foreign_keys = ON;"
                    "CREATE TEMP TABLE staged (folder_key INTEGER NOT NULL, name TEXT NOT NULL, size INTEGER,"
                    " owner_key INTEGER NOT NULL, modified INTEGER, created INTEGER, attributes INTEGER);"
                    "CREATE TEMP TABLE staged_folders (key INTEGER PRIMARY KEY, path TEXT NOT NULL, id INTEGER);"
                    "CREATE TEMP TABLE staged_owners (key INTEGER PRIMARY KEY, name TEXT NOT NULL, id INTEGER);"
                    "CREATE TEMP TABLE closed (id INTEGER PRIMARY KEY);",
                    error);
    }

    bool latestComplete(const SearchKey& key, std::optional<RunInfo>& run, std::string& error) override
    {
        run.reset();
        Statement& q = statement(
            "SELECT r.id, r.host, r.started, r.matches, r.bytes FROM runs r JOIN searches s ON s.id = r.search_id"
            " WHERE s.server = ?1 AND s.volume = ?2 AND s.path = ?3 AND s.pattern = ?4 AND s.tests = ?5"
            " AND r.state = 'complete' ORDER BY r.id DESC LIMIT 1");
        bindKey(q, key);
        const int code = q.step();
        if (code == SQLITE_ROW) {
            RunInfo found;
            found.id = q.integer(0);
            found.key = key;
            found.host = q.text(1);
            found.started = q.integer(2);
            found.complete = true;
            found.matches = q.integer(3);
            found.bytes = static_cast<std::uint64_t>(q.integer(4));
            run = std::move(found);
        }
        q.reset();
        return code == SQLITE_ROW || code == SQLITE_DONE || fail(error);
    }

    bool forEachVersion(const RunInfo& run, const std::function<void(const VersionDigest&)>& visit,
                        std::string& error) override
    {
        return eachFileOf(run, [&](std::int64_t id, std::string_view path, const FileFacts& facts) {
            visit(VersionDigest{id, pathHash(path), factsDigest(facts)});
        }, error);
    }

    bool readVersions(const std::vector<std::int64_t>& ids, const FileVisitor& visit, std::string& error) override
    {
        Statement& q = statement(
            "SELECT f.path, v.name, v.size, o.name, v.modified, v.created, v.attributes FROM versions v"
            " JOIN folders f ON f.id = v.folder_id JOIN owners o ON o.id = v.owner_id WHERE v.id = ?1");
        std::string path;
        for (const std::int64_t id : ids) {
            q.bind(1, id);
            const int code = q.step();
            if (code == SQLITE_ROW) {
                FileFacts facts;
                joinFolder(q.text(0), q.text(1), path);
                readFacts(q, 2, facts);
                visit(path, facts);
            }
            q.reset();
            if (code != SQLITE_ROW && code != SQLITE_DONE)
                return fail(error);
        }
        return true;
    }

    bool forEachFile(const RunInfo& run, const FileVisitor& visit, std::string& error) override
    {
        return eachFileOf(run, [&](std::int64_t, std::string_view path, const FileFacts& facts) { visit(path, facts); },
                          error);
    }

    bool beginRun(RunInfo& run, std::string& error) override
    {
        m_stagedFolders.clear();
        m_stagedOwners.clear();
        if (!exec("DELETE FROM temp.staged; DELETE FROM temp.staged_folders; DELETE FROM temp.staged_owners;"
                  "DELETE FROM temp.closed; BEGIN IMMEDIATE",
                  error))
            return false;
        Statement& insertSearch = statement(
            "INSERT OR IGNORE INTO searches (server, volume, path, pattern, tests) VALUES (?1, ?2, ?3, ?4, ?5)");
        bindKey(insertSearch, run.key);
        bool ok = insertSearch.step() == SQLITE_DONE;
        insertSearch.reset();
        Statement& insertRun = statement(
            "INSERT INTO runs (search_id, host, started, state) SELECT id, ?6, ?7, 'recording' FROM searches"
            " WHERE server = ?1 AND volume = ?2 AND path = ?3 AND pattern = ?4 AND tests = ?5");
        bindKey(insertRun, run.key);
        insertRun.bind(6, run.host).bind(7, run.started);
        ok = ok && insertRun.step() == SQLITE_DONE;
        insertRun.reset();
        if (!ok) {
            fail(error);
            exec("ROLLBACK", error);
            return false;
        }
        run.id = sqlite3_last_insert_rowid(m_db);
        // The staging goes on in a transaction of its own, which writes only
        // this connection's temporary tables and so locks nothing another
        // recorder needs; one transaction, not one per file.
        return exec("COMMIT; BEGIN", error);
    }

    bool stageVersion(const NewVersion& version, std::string& error) override
    {
        // Folders and owners are staged once each, the files by their keys:
        // the run's rows then join on small integers when they are written.
        const auto [folder, name] = splitPath(version.path);
        const std::optional<std::int64_t> folderKey =
            stagedKey(m_stagedFolders, folder, "INSERT INTO temp.staged_folders (key, path) VALUES (?1, ?2)");
        const std::optional<std::int64_t> ownerKey =
            stagedKey(m_stagedOwners, version.facts.owner, "INSERT INTO temp.staged_owners (key, name) VALUES (?1, ?2)");
        if (!folderKey || !ownerKey)
            return fail(error);
        Statement& q = statement("INSERT INTO temp.staged VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        q.bind(1, *folderKey).bind(2, name).bind(3, static_cast<std::int64_t>(version.facts.size));
        q.bind(4, *ownerKey).bind(5, version.facts.modified).bind(6, version.facts.created);
        q.bind(7, version.facts.attributes);
        const int code = q.step();
        q.reset();
        return code == SQLITE_DONE || fail(error);
    }

    bool commitRun(RunInfo& run, const std::optional<RunInfo>& base, const std::vector<std::int64_t>& closed,
                   std::string& error) override
    {
        if ((sqlite3_get_autocommit(m_db) == 0 && !exec("COMMIT", error)) || !exec("BEGIN IMMEDIATE", error))
            return false;
        const auto rollBack = [&] {
            fail(error);
            std::string ignored;
            exec("ROLLBACK", ignored);
            return false;
        };
        if (run.complete) {
            // Another recorder of the same search may have completed a run
            // since this one took its base: this run is then no longer the
            // next of its base, and is kept as partial.
            std::optional<RunInfo> latest;
            if (!latestComplete(run.key, latest, error))
                return rollBack();
            if ((latest ? latest->id : 0) != (base ? base->id : 0))
                run.complete = false;
        }
        if (run.complete) {
            Statement& close = statement("INSERT INTO temp.closed (id) VALUES (?1)");
            for (const std::int64_t id : closed) {
                close.bind(1, id);
                const int code = close.step();
                close.reset();
                if (code != SQLITE_DONE)
                    return rollBack();
            }
            Statement& update = statement(
                "UPDATE versions SET last_run = ?1 WHERE id IN (SELECT id FROM temp.closed)");
            update.bind(1, base ? base->id : 0);
            if (update.step() != SQLITE_DONE) {
                update.reset();
                return rollBack();
            }
            update.reset();
            Statement& copy = statement(
                "INSERT INTO versions (search_id, first_run, folder_id, name, size, owner_id, modified, created,"
                " attributes) SELECT r.search_id, r.id, f.id, s.name, s.size, o.id, s.modified, s.created,"
                " s.attributes FROM temp.staged s JOIN runs r ON r.id = ?1"
                " JOIN temp.staged_folders f ON f.key = s.folder_key JOIN temp.staged_owners o ON o.key = s.owner_key"
                " ORDER BY s.rowid");
            copy.bind(1, run.id);
            const bool copied =
                exec("INSERT OR IGNORE INTO folders (path) SELECT path FROM temp.staged_folders;"
                     "INSERT OR IGNORE INTO owners (name) SELECT name FROM temp.staged_owners;"
                     "UPDATE temp.staged_folders SET id = (SELECT id FROM folders WHERE folders.path = staged_folders.path);"
                     "UPDATE temp.staged_owners SET id = (SELECT id FROM owners WHERE owners.name = staged_owners.name);",
                     error) &&
                copy.step() == SQLITE_DONE;
            copy.reset();
            if (!copied)
                return rollBack();
        }
        Statement& finish = statement("UPDATE runs SET state = ?2, matches = ?3, bytes = ?4 WHERE id = ?1");
        finish.bind(1, run.id).bind(2, run.complete ? "complete" : "partial").bind(3, run.matches);
        finish.bind(4, static_cast<std::int64_t>(run.bytes));
        const bool finished = finish.step() == SQLITE_DONE;
        finish.reset();
        if (!finished || !exec("COMMIT", error))
            return rollBack();
        std::string ignored;
        exec("DELETE FROM temp.staged; DELETE FROM temp.staged_folders; DELETE FROM temp.staged_owners;"
             "DELETE FROM temp.closed",
             ignored);
        return true;
    }

    bool listRuns(std::vector<RunInfo>& runs, std::string& error) override
    {
        runs.clear();
        Statement& q = statement(
            "SELECT r.id, s.server, s.volume, s.path, s.pattern, s.tests, r.host, r.started, r.state, r.matches,"
            " r.bytes FROM runs r JOIN searches s ON s.id = r.search_id ORDER BY r.id");
        int code = SQLITE_ROW;
        while ((code = q.step()) == SQLITE_ROW) {
            RunInfo run;
            run.id = q.integer(0);
            run.key = {std::string(q.text(1)), std::string(q.text(2)), std::string(q.text(3)),
                       std::string(q.text(4)), std::string(q.text(5))};
            run.host = q.text(6);
            run.started = q.integer(7);
            run.complete = q.text(8) == "complete";
            run.matches = q.integer(9);
            run.bytes = static_cast<std::uint64_t>(q.integer(10));
            runs.push_back(std::move(run));
        }
        q.reset();
        return code == SQLITE_DONE || fail(error);
    }

    bool ownerTotals(const RunInfo& run, std::vector<OwnerTotal>& totals, std::string& error) override
    {
        totals.clear();
        Statement& q = statement(
            "SELECT o.name, count(*), sum(v.size) FROM versions v JOIN runs r ON r.id = ?1"
            " AND r.search_id = v.search_id JOIN owners o ON o.id = v.owner_id WHERE v.first_run <= r.id"
            " AND (v.last_run IS NULL OR v.last_run >= r.id) GROUP BY o.name");
        q.bind(1, run.id);
        int code = SQLITE_ROW;
        while ((code = q.step()) == SQLITE_ROW)
            totals.push_back({std::string(q.text(0)), static_cast<std::uint64_t>(q.integer(1)),
                              static_cast<std::uint64_t>(q.integer(2))});
        q.reset();
        return code == SQLITE_DONE || fail(error);
    }

    bool deleteRun(std::int64_t id, std::string& error) override
    {
        // Versions no remaining complete run holds go with it; when it was
        // the latest complete run of its search, the one before it becomes
        // the latest again, and the versions that run held open again.
        const char* sql[] = {
            "CREATE TEMP TABLE IF NOT EXISTS doomed (id INTEGER PRIMARY KEY, search_id INTEGER, previous INTEGER,"
            " latest INTEGER)",
            "DELETE FROM temp.doomed",
            "INSERT INTO temp.doomed SELECT r.id, r.search_id,"
            " (SELECT max(p.id) FROM runs p WHERE p.search_id = r.search_id AND p.state = 'complete' AND p.id < r.id),"
            " r.state = 'complete' AND NOT EXISTS (SELECT 1 FROM runs n WHERE n.search_id = r.search_id"
            " AND n.state = 'complete' AND n.id > r.id) FROM runs r WHERE r.id = ?1",
            "DELETE FROM runs WHERE id = ?1",
            "DELETE FROM versions WHERE search_id = (SELECT search_id FROM temp.doomed) AND NOT EXISTS ("
            " SELECT 1 FROM runs r WHERE r.search_id = versions.search_id AND r.state = 'complete'"
            " AND r.id >= versions.first_run AND (versions.last_run IS NULL OR r.id <= versions.last_run))",
            "UPDATE versions SET last_run = NULL WHERE search_id = (SELECT search_id FROM temp.doomed)"
            " AND (SELECT latest FROM temp.doomed) AND last_run = (SELECT previous FROM temp.doomed)",
        };
        if (!exec("BEGIN IMMEDIATE", error))
            return false;
        for (const char* text : sql) {
            Statement& q = statement(text);
            if (sqlite3_bind_parameter_count(q.get()) > 0)
                q.bind(1, id);
            const int code = q.step();
            q.reset();
            if (code != SQLITE_DONE) {
                fail(error);
                std::string ignored;
                exec("ROLLBACK", ignored);
                return false;
            }
        }
        return exec("COMMIT", error);
    }

private:
    bool fail(std::string& error) const
    {
        error = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        return false;
    }

    bool exec(const char* sql, std::string& error)
    {
        return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK || fail(error);
    }

    bool userVersion(int& version, std::string& error)
    {
        Statement q;
        if (!q.prepare(m_db, "PRAGMA user_version"))
            return fail(error);
        if (q.step() != SQLITE_ROW)
            return fail(error);
        version = static_cast<int>(q.integer(0));
        return true;
    }

    bool createSchema(std::string& error)
    {
        // Only into a database without tables: a file that holds something
        // else is no history to be added to, and is left as it is.
        {
            Statement tables;
            if (!tables.prepare(m_db, "SELECT count(*) FROM sqlite_schema") || tables.step() != SQLITE_ROW)
                return fail(error);
            if (tables.integer(0) != 0) {
                error = "not a Trawl history: it holds other tables";
                return false;
            }
        }
        // The journal mode cannot change inside a transaction; two programs
        // making the same new history find out in it which one was first.
        if (!exec("PRAGMA journal_mode = WAL", error) || !exec("BEGIN IMMEDIATE", error))
            return false;
        int version = 0;
        std::string ignored;
        if (!userVersion(version, error)) {
            exec("ROLLBACK", ignored);
            return false;
        }
        const std::string sql = std::string(kSchema) + "PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";";
        if ((version == 0 && !exec(sql.c_str(), error)) || !exec("COMMIT", error)) {
            exec("ROLLBACK", ignored);
            return false;
        }
        return true;
    }

    Statement& statement(const char* sql)
    {
        for (auto& [text, prepared] : m_statements)
            if (text == sql)
                return *prepared;
        auto prepared = std::make_unique<Statement>();
        prepared->prepare(m_db, sql);
        m_statements.emplace_back(sql, std::move(prepared));
        return *m_statements.back().second;
    }

    static void bindKey(Statement& q, const SearchKey& key)
    {
        q.bind(1, key.server).bind(2, key.volume).bind(3, key.path).bind(4, key.pattern).bind(5, key.tests);
    }

    static void readFacts(const Statement& q, int first, FileFacts& facts)
    {
        facts.size = static_cast<std::uint64_t>(q.integer(first));
        facts.owner.assign(q.text(first + 1));
        facts.modified = static_cast<std::uint32_t>(q.integer(first + 2));
        facts.created = static_cast<std::uint32_t>(q.integer(first + 3));
        facts.attributes = static_cast<std::uint32_t>(q.integer(first + 4));
    }

    static void joinFolder(std::string_view folder, std::string_view name, std::string& path)
    {
        path.assign(folder);
        if (!folder.empty())
            path += '\\';
        path.append(name);
    }

    bool eachFileOf(const RunInfo& run,
                    const std::function<void(std::int64_t, std::string_view, const FileFacts&)>& visit,
                    std::string& error)
    {
        Statement& q = statement(
            "SELECT v.id, f.path, v.name, v.size, o.name, v.modified, v.created, v.attributes FROM versions v"
            " JOIN runs r ON r.id = ?1 AND r.search_id = v.search_id JOIN folders f ON f.id = v.folder_id"
            " JOIN owners o ON o.id = v.owner_id WHERE v.first_run <= r.id"
            " AND (v.last_run IS NULL OR v.last_run >= r.id) ORDER BY v.id");
        q.bind(1, run.id);
        std::string path;
        FileFacts facts;
        int code = SQLITE_ROW;
        while ((code = q.step()) == SQLITE_ROW) {
            joinFolder(q.text(1), q.text(2), path);
            readFacts(q, 3, facts);
            visit(q.integer(0), path, facts);
        }
        q.reset();
        return code == SQLITE_DONE || fail(error);
    }

    // The key a folder or owner was staged under, staging it when new.
    std::optional<std::int64_t> stagedKey(std::unordered_map<std::string, std::int64_t>& keys, std::string_view text,
                                          const char* insert)
    {
        const std::string wanted(text);
        if (const auto known = keys.find(wanted); known != keys.end())
            return known->second;
        const std::int64_t key = static_cast<std::int64_t>(keys.size()) + 1;
        Statement& q = statement(insert);
        q.bind(1, key).bind(2, text);
        const int code = q.step();
        q.reset();
        if (code != SQLITE_DONE)
            return std::nullopt;
        keys.emplace(wanted, key);
        return key;
    }

    std::string m_name;
    sqlite3* m_db = nullptr;
    std::unordered_map<std::string, std::int64_t> m_stagedFolders;
    std::unordered_map<std::string, std::int64_t> m_stagedOwners;
    std::vector<std::pair<const char*, std::unique_ptr<Statement>>> m_statements;
};

}  // namespace

std::unique_ptr<Store> openSqliteStore(std::string fileName) { return std::make_unique<SqliteStore>(std::move(fileName)); }

}  // namespace history
