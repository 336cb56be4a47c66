// The history of scans in an SQLite file: change values and their order, the
// base rule, deleting runs, two recorders at once, a recorder killed, and
// databases that cannot be used (never altered).

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "history/historyrecorder.h"
#include "history/historystore.h"

namespace {

using namespace history;
namespace fs = std::filesystem;

class History : public testing::Test {
protected:
    void SetUp() override
    {
        m_folder = fs::temp_directory_path() / ("trawl-history-" + std::to_string(::getpid()) + "-" +
                                                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        database = (m_folder / "history.sqlite").string();
    }
    void TearDown() override { fs::remove_all(m_folder); }

    static SearchKey key(const std::string& pattern = "*.TXT", const std::string& path = "PUBLIC")
    {
        return SearchKey{"FS1", "SYS", path, pattern, "size:none;date:none;attributes:;owners:"};
    }

    static FileFacts facts(std::uint64_t size, const std::string& owner = "JSMITH.ACME", std::uint32_t modified = 1,
                           std::uint32_t attributes = 0x20)
    {
        return FileFacts{size, owner, modified, 7, attributes};
    }

    struct Outcome {
        std::vector<std::string> changes;  // "path change" in walk order, then the Gone ones
        std::int64_t base = 0;
        bool recorded = false;
    };
    // One run: the files in walk order; complete unless stopped.
    Outcome run(const SearchKey& search, const std::vector<std::pair<std::string, FileFacts>>& files,
                bool complete = true)
    {
        std::unique_ptr<Store> store = openSqliteStore(database);
        std::string error;
        EXPECT_TRUE(store->open(error)) << error;
        Recorder recorder(*store);
        RunInfo info;
        info.key = search;
        info.host = "host1";
        info.started = 1700000000;
        EXPECT_TRUE(recorder.begin(info, error)) << error;
        Outcome outcome;
        outcome.base = recorder.base() ? recorder.base()->id : 0;
        for (const auto& [path, fileFacts] : files)
            outcome.changes.push_back(path + " " + changeText(recorder.add(path, fileFacts)));
        if (complete) {
            EXPECT_TRUE(recorder.forEachGone(
                [&](std::string_view path, const FileFacts& old) {
                    outcome.changes.push_back(std::string(path) + " Gone " + std::to_string(old.size));
                },
                error))
                << error;
        }
        outcome.recorded = recorder.finish(complete, static_cast<std::int64_t>(files.size()), 0, error);
        EXPECT_TRUE(outcome.recorded) << error;
        return outcome;
    }

    std::vector<RunInfo> runs()
    {
        std::unique_ptr<Store> store = openSqliteStore(database);
        std::string error;
        std::vector<RunInfo> list;
        EXPECT_TRUE(store->open(error) && store->listRuns(list, error)) << error;
        return list;
    }

    std::vector<std::string> filesOf(std::int64_t runId)
    {
        std::unique_ptr<Store> store = openSqliteStore(database);
        std::string error;
        std::vector<std::string> files;
        RunInfo info;
        info.id = runId;
        EXPECT_TRUE(store->open(error)) << error;
        EXPECT_TRUE(store->forEachFile(info, [&](std::string_view path, const FileFacts& f) {
            files.push_back(std::string(path) + " " + std::to_string(f.size));
        }, error)) << error;
        return files;
    }

    std::string database;

private:
    fs::path m_folder;
};

TEST_F(History, ChangesOfEachKindInTheirOrderAndTheRunsTheyLeave)
{
    const Outcome first = run(key(), {{"A.TXT", facts(1)}, {"SUB\\B.TXT", facts(2)}, {"C.TXT", facts(3)}});
    EXPECT_EQ(first.base, 0);
    EXPECT_EQ(first.changes, (std::vector<std::string>{"A.TXT New", "SUB\\B.TXT New", "C.TXT New"}));

    // B grows and is touched, C goes, D comes, E changes owner and attributes.
    const Outcome second = run(key(), {{"D.TXT", facts(4)},
                                       {"SUB\\B.TXT", facts(20, "JSMITH.ACME", 2)},
                                       {"A.TXT", facts(1)}});
    EXPECT_EQ(second.base, runs()[0].id);
    EXPECT_EQ(second.changes, (std::vector<std::string>{"D.TXT New", "SUB\\B.TXT Changed: Size/Modified",
                                                        "A.TXT Same", "C.TXT Gone 3"}));

    const Outcome third = run(key(), {{"A.TXT", facts(1, "MJONES.ACME", 1, 0x21)},
                                      {"SUB\\B.TXT", facts(20, "JSMITH.ACME", 2)},
                                      {"C.TXT", facts(3)}});
    EXPECT_EQ(third.changes, (std::vector<std::string>{"A.TXT Changed: Owner/Attributes", "SUB\\B.TXT Same",
                                                       "C.TXT New", "D.TXT Gone 4"}));

    // Each run keeps its own files, in the order they were recorded.
    const std::vector<RunInfo> list = runs();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(filesOf(list[0].id), (std::vector<std::string>{"A.TXT 1", "SUB\\B.TXT 2", "C.TXT 3"}));
    EXPECT_EQ(filesOf(list[1].id), (std::vector<std::string>{"A.TXT 1", "D.TXT 4", "SUB\\B.TXT 20"}));
    EXPECT_EQ(filesOf(list[2].id), (std::vector<std::string>{"SUB\\B.TXT 20", "A.TXT 1", "C.TXT 3"}));

    // Any two runs compare as a recording would have: the first with the
    // third here.
    {
        std::unique_ptr<Store> store = openSqliteStore(database);
        std::string error;
        ASSERT_TRUE(store->open(error)) << error;
        std::vector<std::string> changes;
        ASSERT_TRUE(compareRuns(*store, list[0], list[2],
                                [&](std::string_view path, const FileFacts& f, Change change) {
                                    changes.push_back(std::string(path) + " " + changeText(change) + " " +
                                                      std::to_string(f.size));
                                },
                                error))
            << error;
        EXPECT_EQ(changes, (std::vector<std::string>{"SUB\\B.TXT Changed: Size/Modified 20",
                                                     "A.TXT Changed: Owner/Attributes 1"}));
    }

    // Deleting the middle run leaves the others whole; deleting the latest
    // makes the first the base again, with its files.
    std::unique_ptr<Store> store = openSqliteStore(database);
    std::string error;
    ASSERT_TRUE(store->open(error)) << error;
    ASSERT_TRUE(store->deleteRun(list[1].id, error)) << error;
    EXPECT_EQ(filesOf(list[0].id), (std::vector<std::string>{"A.TXT 1", "SUB\\B.TXT 2", "C.TXT 3"}));
    EXPECT_EQ(filesOf(list[2].id), (std::vector<std::string>{"SUB\\B.TXT 20", "A.TXT 1", "C.TXT 3"}));
    ASSERT_TRUE(store->deleteRun(list[2].id, error)) << error;
    store.reset();
    const Outcome again = run(key(), {{"A.TXT", facts(1)}, {"C.TXT", facts(3)}});
    EXPECT_EQ(again.base, list[0].id);
    EXPECT_EQ(again.changes, (std::vector<std::string>{"A.TXT Same", "C.TXT Same", "SUB\\B.TXT Gone 2"}));
}

TEST_F(History, OnlyACompleteRunOfTheSameFolderAndSearchIsABase)
{
    run(key(), {{"A.TXT", facts(1)}});
    const std::int64_t complete = runs()[0].id;
    // Another pattern, another folder: no base. A stopped run is partial and
    // is never one.
    EXPECT_EQ(run(key("*.DOC"), {{"A.TXT", facts(1)}}).base, 0);
    EXPECT_EQ(run(key("*.TXT", "HOME"), {{"A.TXT", facts(1)}}).base, 0);
    EXPECT_EQ(run(key(), {{"B.TXT", facts(1)}}, false).base, complete);
    const Outcome next = run(key(), {{"A.TXT", facts(1)}});
    EXPECT_EQ(next.base, complete);
    EXPECT_EQ(next.changes, (std::vector<std::string>{"A.TXT Same"}));
    const std::vector<RunInfo> list = runs();
    ASSERT_EQ(list.size(), 5u);
    EXPECT_FALSE(list[3].complete);
    EXPECT_TRUE(list[4].complete);
}

TEST_F(History, TwoRecordersAtOnceAndOneKilledLoseNothing)
{
    std::string error;
    std::unique_ptr<Store> first = openSqliteStore(database);
    std::unique_ptr<Store> second = openSqliteStore(database);
    ASSERT_TRUE(first->open(error) && second->open(error)) << error;
    Recorder one(*first), two(*second);
    RunInfo info;
    info.key = key();
    ASSERT_TRUE(one.begin(info, error)) << error;
    info.key = key("*.DOC");
    ASSERT_TRUE(two.begin(info, error)) << error;
    for (int i = 0; i < 100; ++i) {
        one.add("F" + std::to_string(i) + ".TXT", facts(static_cast<std::uint64_t>(i)));
        two.add("F" + std::to_string(i) + ".DOC", facts(static_cast<std::uint64_t>(i)));
    }
    EXPECT_TRUE(two.finish(true, 100, 0, error)) << error;
    EXPECT_TRUE(one.finish(true, 100, 0, error)) << error;
    first.reset();
    second.reset();
    std::vector<RunInfo> list = runs();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(filesOf(list[0].id).size(), 100u);
    EXPECT_EQ(filesOf(list[1].id).size(), 100u);

    // A recorder killed before it finished leaves the database as it was,
    // its run partial; the next run compares with the last complete one.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::unique_ptr<Store> store = openSqliteStore(database);
        std::string childError;
        Recorder killed(*store);
        RunInfo killedRun;
        killedRun.key = key();
        if (store->open(childError) && killed.begin(killedRun, childError))
            for (int i = 0; i < 1000; ++i)
                killed.add("K" + std::to_string(i), facts(1));
        ::raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    list = runs();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_FALSE(list[2].complete);
    const Outcome after = run(key(), {{"F1.TXT", facts(1)}});
    EXPECT_EQ(after.base, list[0].id);
    EXPECT_EQ(after.changes.size(), 100u);  // F1 Same, 99 Gone
}

TEST_F(History, ADatabaseThatCannotBeUsedIsRefusedAndLeftAsItWas)
{
    const auto writeFile = [](const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    };
    const auto readFile = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    struct Case {
        const char* what;
        std::string file;
        std::string contents;  // written first when not empty
        const char* reason;
    };
    const std::string folder = fs::path(database).parent_path().string();
    const Case cases[] = {
        {"a file that is not a database", folder + "/notes.txt", std::string(4096, 'x'), "not a database"},
        {"a missing folder", folder + "/missing/history.sqlite", "", "unable to open"},
    };
    for (const Case& c : cases) {
        if (!c.contents.empty())
            writeFile(c.file, c.contents);
        std::unique_ptr<Store> store = openSqliteStore(c.file);
        std::string error;
        EXPECT_FALSE(store->open(error)) << c.what;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
        store.reset();
        if (!c.contents.empty()) {
            EXPECT_EQ(readFile(c.file), c.contents) << c.what;
        }
    }

    // A history made by a newer program, or a database of other tables, is
    // refused and never altered.
    run(key(), {{"A.TXT", facts(1)}});
    {
        std::unique_ptr<Store> store = openSqliteStore(database);
        std::string error;
        ASSERT_TRUE(store->open(error)) << error;
    }
    const std::string before = readFile(database);
    writeFile(folder + "/newer.sqlite", before);
    ASSERT_EQ(std::system(("sqlite3 " + folder + "/newer.sqlite 'PRAGMA user_version = 99'").c_str()), 0);
    ASSERT_EQ(std::system(("sqlite3 " + folder + "/other.sqlite 'CREATE TABLE t (x)'").c_str()), 0);
    for (const char* name : {"/newer.sqlite", "/other.sqlite"}) {
        const std::string file = folder + name;
        const std::string contents = readFile(file);
        std::unique_ptr<Store> store = openSqliteStore(file);
        std::string error;
        EXPECT_FALSE(store->open(error)) << name;
        EXPECT_FALSE(error.empty()) << name;
        store.reset();
        EXPECT_EQ(readFile(file), contents) << name;
    }
}

TEST_F(History, ARunOfAnUnchangedVolumeAddsAlmostNothing)
{
    std::vector<std::pair<std::string, FileFacts>> files;
    for (int i = 0; i < 5000; ++i)
        files.emplace_back("FOLDER" + std::to_string(i / 50) + "\\FILE" + std::to_string(i) + ".TXT",
                           facts(static_cast<std::uint64_t>(i) * 100));
    run(key(), files);
    const auto checkpointed = [&] {
        std::unique_ptr<Store> store = openSqliteStore(database);
        std::string error;
        EXPECT_TRUE(store->open(error)) << error;
        store.reset();  // the last connection folds the write-ahead log in
        return fs::file_size(database);
    };
    const std::uintmax_t first = checkpointed();
    EXPECT_LT(first, 5000u * 64u) << "bytes a file";
    run(key(), files);
    EXPECT_LE(checkpointed() - first, 8192u);
}

}  // namespace
