// Trees built to trip a walk: links that point into themselves or above,
// paths at and past the client's 511 characters, names of 255 bytes, and
// entries that vanish or appear between the listing and the reads. Each scan
// is real and must end; what the lists, the counters and the output file say
// is checked to the byte.

#include <QPlainTextEdit>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>

#include "support/gui_scanfixture.h"

using Row = std::array<std::string, 4>;
using ErrorRow = std::array<std::string, 3>;
using Status = std::array<std::string, 5>;
using Names = std::vector<std::string>;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class Trees : public ScanFixture {
protected:
    // Output on, to a file beside the workstation, with the given fields.
    std::string outputTo(std::initializer_list<QCheckBox*> fields)
    {
        const std::string out = ws.root() + "/out.csv";
        w->chkOutputResults->click();
        w->txtOutputFilename->setText(QString::fromStdString(out));
        for (QCheckBox* field : fields)
            field->setChecked(true);
        return out;
    }
};

// --- Symbolic links -------------------------------------------------------

// A link is a file of its own, whatever it points to: the listing and the
// client both take the link itself (its size is the length of the text it
// holds), so no link is ever entered and a loop cannot form.
TEST_F(Trees, LinksAreFilesOfTheirOwnAndNeverEntered)
{
    ws.makeFile(sys + "/a.txt", 5);
    ws.makeSymlink("self", sys + "/self");  // to itself
    ws.makeSymlink("pong", sys + "/ping");  // two links to each other
    ws.makeSymlink("ping", sys + "/pong");
    ws.makeSymlink("..", sys + "/up");  // the folder above the volume
    ws.makeFile(sys + "/sub/b.txt", 7);
    ws.makeSymlink(sys, sys + "/sub/root");  // an ancestor, by its absolute path
    ws.makeSymlink(".", sys + "/sub/here");  // the folder itself
    ws.makeSymlink("../a.txt", sys + "/sub/tofile");
    ws.makeSymlink("nowhere", sys + "/sub/dangling");
    startWindow();
    const std::string out = outputTo({w->chkOutputFullPath, w->chkOutputSize, w->chkOutputAttributes});
    clickStart();

    const std::string owner = "JSMITH.SALES.ACME";
    const std::string rootSize = std::to_string(sys.size());
    const std::vector<Row> expected = {
        {"a.txt", "5", owner, "F:\\a.txt"},
        {"ping", "4", owner, "F:\\ping"},
        {"pong", "4", owner, "F:\\pong"},
        {"self", "4", owner, "F:\\self"},
        {"up", "2", owner, "F:\\up"},
        {"b.txt", "7", owner, "F:\\sub\\b.txt"},
        {"dangling", "7", owner, "F:\\sub\\dangling"},
        {"here", "1", owner, "F:\\sub\\here"},
        {"root", rootSize, owner, "F:\\sub\\root"},
        {"tofile", "8", owner, "F:\\sub\\tofile"},
    };
    EXPECT_EQ(results(), expected);
    EXPECT_TRUE(errors().empty()) << errors().front()[0] << ' ' << errors().front()[2];
    const long long total = 5 + 4 + 4 + 4 + 2 + 7 + 7 + 1 + static_cast<long long>(sys.size()) + 8;
    EXPECT_EQ(status(), (Status{"F:\\sub\\tofile", "10", "1", "10", std::to_string(total)}));

    // The output file takes the link's own record: its size and attributes,
    // never those of what it points to.
    std::string expectedFile;
    for (const Row& row : expected)
        expectedFile += row[3] + "," + row[1] + ",[Rw-----------------------]\r\n";
    EXPECT_EQ(readFile(out), expectedFile);
}

// --- Long paths and long names ----------------------------------------------

// The client holds paths of 511 characters. On drive F (the root of SYS) a
// full path of n characters is a volume path of n + 1 ("F:\" becomes "SYS:"),
// so 510 is the longest full path a file can have; every longer one is one
// row of its own and the walk goes on beside and below it.
TEST_F(Trees, PathsAtAndPastTheLimitOfTheClient)
{
    const std::string g(253, 'g');  // "F:\ggg..." is 256 characters
    const std::string windowsFolder = "F:\\" + g;
    const std::string folder = sys + "/" + g;
    struct Case {
        std::size_t fullLength;
        bool found;
    } cases[] = {{509, true}, {510, true}, {511, false}, {512, false}};
    for (const Case& c : cases)
        ws.makeFile(folder + "/" + std::string(c.fullLength - windowsFolder.size() - 1, 'n'), c.fullLength);
    ws.makeFile(folder + "/short.txt", 1);
    // Below a folder whose own path is past the limit, every file is a row.
    const std::string h(255, 'h');
    const std::string i(255, 'i');
    ws.makeFile(folder + "/" + h + "/x.txt", 2);
    ws.makeFile(folder + "/" + h + "/" + i + "/y.txt", 3);
    ws.makeFile(sys + "/zz.txt", 4);
    startWindow();
    const std::string out = outputTo({w->chkOutputFullPath, w->chkOutputAttributes});
    clickStart();

    // The root's own file first, then the long folder.
    std::vector<Row> expectedRows = {{"zz.txt", "4", "JSMITH.SALES.ACME", "F:\\zz.txt"}};
    std::vector<ErrorRow> expectedErrors;
    std::string expectedFile = "F:\\zz.txt,[Rw-----------------------]\r\n";
    for (const Case& c : cases) {
        const std::string name(c.fullLength - windowsFolder.size() - 1, 'n');
        const std::string path = windowsFolder + "\\" + name;
        ASSERT_EQ(path.size(), c.fullLength);
        if (c.found) {
            expectedRows.push_back({name, std::to_string(c.fullLength), "JSMITH.SALES.ACME", path});
            expectedFile += path + ",[Rw-----------------------]\r\n";
        } else {
            expectedErrors.push_back({path, std::to_string(c.fullLength), "NWParseNetwarePath Code : 899c"});
        }
    }
    expectedRows.push_back({"short.txt", "1", "JSMITH.SALES.ACME", windowsFolder + "\\short.txt"});
    expectedFile += windowsFolder + "\\short.txt,[Rw-----------------------]\r\n";
    expectedErrors.push_back({windowsFolder + "\\" + h + "\\x.txt", "2", "NWParseNetwarePath Code : 899c"});
    expectedErrors.push_back(
        {windowsFolder + "\\" + h + "\\" + i + "\\y.txt", "3", "NWParseNetwarePath Code : 899c"});

    EXPECT_EQ(results(), expectedRows);
    EXPECT_EQ(errors(), expectedErrors);
    EXPECT_EQ(readFile(out), expectedFile);
    // Files with a row are counted; three folders entered, the deepest at 1,024 characters.
    EXPECT_EQ(status()[1], "8");
    EXPECT_EQ(status()[2], "3");
    EXPECT_EQ(status()[3], "4");
}

// Names of 255 bytes (the most the host and the client take), in ASCII and
// in two-byte UTF-8, in the root and in a folder: kept whole in every list,
// through the extended reads, and in the output file.
TEST_F(Trees, NamesOfTwoHundredFiftyFiveBytes)
{
    std::string accented;
    while (accented.size() + 2 <= 255)
        accented += "\xC3\xA9";  // é
    accented += "x";
    ASSERT_EQ(accented.size(), 255u);
    const std::string ascii = std::string(251, 'L') + ".txt";
    const std::string folderName(200, 'F');  // the file's full path is 459 characters
    ws.makeFile(sys + "/" + ascii, 11);
    ws.makeFile(sys + "/" + accented, 12);
    ws.makeFile(sys + "/" + folderName + "/" + ascii, 13);
    startWindow();
    const std::string out = outputTo({w->chkOutputFilename, w->chkOutputExtension, w->chkOutputAttributes});
    clickStart();

    const std::vector<Row> expected = {
        {ascii, "11", "JSMITH.SALES.ACME", "F:\\" + ascii},
        {accented, "12", "JSMITH.SALES.ACME", "F:\\" + accented},
        {ascii, "13", "JSMITH.SALES.ACME", "F:\\" + folderName + "\\" + ascii},
    };
    EXPECT_EQ(results(), expected);
    EXPECT_TRUE(errors().empty()) << errors().front()[0] << ' ' << errors().front()[2];
    EXPECT_EQ(readFile(out), ascii + ",txt,[Rw-----------------------]\r\n" + accented +
                                 ",,[Rw-----------------------]\r\n" + ascii +
                                 ",txt,[Rw-----------------------]\r\n");
}

// --- Entries that change between the listing and the reads ----------------

// The simulated client behind hooks that may change the tree: before the
// walker parses a file's path (its first client call for the file, after the
// folder was listed), and after it has read the file's information.
class HookedClient : public NwClient {
public:
    explicit HookedClient(NwClient& inner) : m_inner(inner) {}
    std::function<void(std::string_view fullPath)> beforeParse;
    std::function<void(std::string_view volumePath)> afterFileInformation;

    NWCCODE NWCallsInit(void* in, void* out) override { return m_inner.NWCallsInit(in, out); }
    NWCCODE NWParseNetwarePath(const char* path, NWCONN_HANDLE* conn, NWDIR_HANDLE* dirHandle, char* volPath) override
    {
        if (beforeParse)
            beforeParse(path);
        return m_inner.NWParseNetwarePath(path, conn, dirHandle, volPath);
    }
    NWCCODE NWIntScanFileInformation2(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* pattern,
                                      std::uint8_t searchAttributes, std::uint8_t* sequence, FileInfoRecord* info,
                                      std::uint8_t augmentFlag) override
    {
        const NWCCODE code = m_inner.NWIntScanFileInformation2(conn, dirHandle, pattern, searchAttributes, sequence,
                                                               info, augmentFlag);
        if (afterFileInformation)
            afterFileInformation(pattern);
        return code;
    }
    NWCCODE NWAllocateTemporaryDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path,
                                               NWDIR_HANDLE* newHandle, std::uint8_t* effectiveRights) override
    {
        return m_inner.NWAllocateTemporaryDirectoryHandle(conn, dirHandle, path, newHandle, effectiveRights);
    }
    NWCCODE NWIntScanExtendedInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::uint8_t searchAttributes,
                                  std::uint32_t* sequence, const char* pattern, ExtendedInfoRecord* info,
                                  std::uint8_t augmentFlag) override
    {
        return m_inner.NWIntScanExtendedInfo(conn, dirHandle, searchAttributes, sequence, pattern, info, augmentFlag);
    }
    NWCCODE NWDeallocateDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) override
    {
        return m_inner.NWDeallocateDirectoryHandle(conn, dirHandle);
    }
    NWCCODE NWGetOwningNameSpace(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path,
                                 std::uint8_t* nameSpace) override
    {
        return m_inner.NWGetOwningNameSpace(conn, dirHandle, path, nameSpace);
    }
    NWCCODE NWGetNSPath(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, std::uint16_t fileFlag, std::uint8_t srcNameSpace,
                        std::uint8_t dstNameSpace, NwNsPath* path) override
    {
        return m_inner.NWGetNSPath(conn, dirHandle, fileFlag, srcNameSpace, dstNameSpace, path);
    }
    NWCCODE NWGetLongName(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, const char* path, std::uint8_t srcNameSpace,
                          std::uint8_t dstNameSpace, char* name) override
    {
        return m_inner.NWGetLongName(conn, dirHandle, path, srcNameSpace, dstNameSpace, name);
    }
    NWCCODE NWGetObjectName(NWCONN_HANDLE conn, std::uint32_t objectId, char* name,
                            std::uint16_t* objectType) override
    {
        return m_inner.NWGetObjectName(conn, objectId, name, objectType);
    }
    NWCCODE NWUnpackDate(std::uint16_t packedDate, DateRecord* date) override
    {
        return m_inner.NWUnpackDate(packedDate, date);
    }
    NWCCODE NWUnpackDateTime(std::uint32_t packedDateTime, DateRecord* date, TimeRecord* time) override
    {
        return m_inner.NWUnpackDateTime(packedDateTime, date, time);
    }
    NWCCODE NWCCGetPrimConnRef(std::uint32_t* connRef) override { return m_inner.NWCCGetPrimConnRef(connRef); }
    NWCCODE NWCCOpenConnByRef(std::uint32_t connRef, std::uint32_t openState, std::uint32_t reserved,
                              NWCONN_HANDLE* conn) override
    {
        return m_inner.NWCCOpenConnByRef(connRef, openState, reserved, conn);
    }
    NWCCODE NWGetConnectionInformation(NWCONN_HANDLE conn, int level, ConnectionInfoRecord* info) override
    {
        return m_inner.NWGetConnectionInformation(conn, level, info);
    }
    NWCCODE NWLlocaleconv(LocaleRecord* locale) override { return m_inner.NWLlocaleconv(locale); }
    NWCCODE NWInitUnicodeTables(std::int32_t countryCode, std::int32_t codePage) override
    {
        return m_inner.NWInitUnicodeTables(countryCode, codePage);
    }
    NWCCODE NWDSCreateContextHandle(NWDSContextHandle* context) override
    {
        return m_inner.NWDSCreateContextHandle(context);
    }
    NWCCODE NWDSGetContext(NWDSContextHandle context, int key, void* value) override
    {
        return m_inner.NWDSGetContext(context, key, value);
    }
    NWCCODE NWDSSetContext(NWDSContextHandle context, int key, const void* value) override
    {
        return m_inner.NWDSSetContext(context, key, value);
    }
    NWCCODE NWDSDuplicateContextHandle(NWDSContextHandle context, NWDSContextHandle* newContext) override
    {
        return m_inner.NWDSDuplicateContextHandle(context, newContext);
    }
    NWCCODE NWDSAllocBuf(std::size_t size, Buf_T** buffer) override { return m_inner.NWDSAllocBuf(size, buffer); }
    NWCCODE NWDSFreeBuf(Buf_T* buffer) override { return m_inner.NWDSFreeBuf(buffer); }
    NWCCODE NWDSList(NWDSContextHandle context, const char* objectName, std::int32_t* iterationHandle,
                     Buf_T* buffer) override
    {
        return m_inner.NWDSList(context, objectName, iterationHandle, buffer);
    }
    NWCCODE NWDSGetObjectCount(NWDSContextHandle context, Buf_T* buffer, std::uint32_t* count) override
    {
        return m_inner.NWDSGetObjectCount(context, buffer, count);
    }
    NWCCODE NWDSGetObjectName(NWDSContextHandle context, Buf_T* buffer, char* name, std::uint32_t* attributeCount,
                              ObjectInfoRecord* info) override
    {
        return m_inner.NWDSGetObjectName(context, buffer, name, attributeCount, info);
    }
    NWCCODE NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, std::uint32_t objectId,
                            char* name) override
    {
        return m_inner.NWDSMapIDToName(context, conn, objectId, name);
    }
    // The window's scans through the hooks are scans of the client too.
    void beginScan() override { m_inner.beginScan(); }
    void endScan() override { m_inner.endScan(); }
    bool directoryFailure(std::string& directory, std::string& reason) const override
    {
        return m_inner.directoryFailure(directory, reason);
    }

private:
    NwClient& m_inner;
};

class ChangingTrees : public Trees {
protected:
    // Puts the hook between the window and the simulated client once the
    // window has started.
    void hook()
    {
        hooked = std::make_unique<HookedClient>(*client);
        setNwClient(hooked.get());
    }
    void TearDown() override
    {
        Trees::TearDown();
        hooked.reset();
    }
    std::unique_ptr<HookedClient> hooked;
};

// A file removed or changed after its folder was listed in the scan is either
// reported with its own facts as they were read (a match with its own size)
// or one row of the step that no longer finds it; never a match with the
// values of something else, and the counters say what the lists show. Files
// and folders that appear after the listing are not seen. The next scan sees
// the tree as it stands. Each case changes the tree while the walker parses
// F:\b.txt.
TEST_F(ChangingTrees, EntriesThatVanishOrAppearAfterTheListing)
{
    // What may become of a file of the tree in the scan that changes it.
    enum class Fate {
        Found,       // a match
        FoundOrRow,  // a match as read, or a row
        // Its folder listed after the change, too: also not listed at all, or
        // listed without a size (gone before the listing could examine it).
        FoundRowOrUnlisted,
    };
    struct File {
        const char* name;
        const char* fullPath;
        const char* volumePath;
        std::uint64_t size;
    };
    // In the walk's order: the root's files, then sub's.
    const File tree[] = {
        {"a.txt", "F:\\a.txt", "SYS:a.txt", 10},
        {"b.txt", "F:\\b.txt", "SYS:b.txt", 20},
        {"c.txt", "F:\\c.txt", "SYS:c.txt", 30},
        {"d.txt", "F:\\sub\\d.txt", "SYS:sub\\d.txt", 4},
    };
    constexpr Fate kFound = Fate::Found;
    constexpr Fate kEither = Fate::FoundOrRow;
    struct Case {
        const char* what;
        std::function<void(const std::string& sys)> change;
        std::array<Fate, 4> fates;
        Names nextScan;
    } cases[] = {
        {"the file itself vanishes",
         [](const std::string& s) { ::unlink((s + "/b.txt").c_str()); },
         {kFound, kEither, kFound, kFound},
         {"a.txt", "c.txt", "d.txt"}},
        {"the file becomes a folder",
         [](const std::string& s) {
             ::unlink((s + "/b.txt").c_str());
             ::mkdir((s + "/b.txt").c_str(), 0755);
         },
         {kFound, kEither, kFound, kFound},
         {"a.txt", "c.txt", "d.txt"}},
        {"the next file vanishes",
         [](const std::string& s) { ::unlink((s + "/c.txt").c_str()); },
         {kFound, kFound, kEither, kFound},
         {"a.txt", "b.txt", "d.txt"}},
        {"a subfolder vanishes",
         [](const std::string& s) {
             ::unlink((s + "/sub/d.txt").c_str());
             ::rmdir((s + "/sub").c_str());
         },
         {kFound, kFound, kFound, Fate::FoundRowOrUnlisted},
         {"a.txt", "b.txt", "c.txt"}},
        {"a file and a subfolder appear",
         [](const std::string& s) {
             std::ofstream(s + "/bb.txt") << "new";
             std::ofstream(s + "/a0.txt") << "new";
             ::mkdir((s + "/new").c_str(), 0755);
             std::ofstream(s + "/new/e.txt") << "new";
         },
         {kFound, kFound, kFound, kFound},
         {"a.txt", "a0.txt", "b.txt", "bb.txt", "c.txt", "e.txt", "d.txt"}},
    };
    const std::string owner = "JSMITH.SALES.ACME";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A fresh tree for each case.
        std::filesystem::remove_all(sys);
        ws.makeFolder(sys);
        for (const File& file : tree) {
            std::string relative = std::string(file.fullPath).substr(3);
            std::replace(relative.begin(), relative.end(), '\\', '/');
            ws.makeFile(sys + "/" + relative, file.size);
        }
        if (!w)
            startWindow();
        hook();
        bool changed = false;
        hooked->beforeParse = [&](std::string_view path) {
            if (path == "F:\\b.txt" && !changed) {
                changed = true;
                c.change(sys);
            }
        };
        // Error rows stay from one scan to the next; each case reads only its own.
        const std::size_t earlierRows = errors().size();
        clickStart();
        EXPECT_TRUE(changed);
        EXPECT_FALSE(w->scanProgress.Running);

        // Each file of the tree as its fate allows, the lists and the
        // counters built from what became of it.
        const std::vector<Row> found = results();
        const std::vector<ErrorRow> allRows = errors();
        const std::vector<ErrorRow> rows(allRows.begin() + static_cast<std::ptrdiff_t>(earlierRows), allRows.end());
        std::vector<Row> expectedFound;
        std::vector<ErrorRow> expectedRows;
        std::size_t examined = 0;
        std::uint64_t foundSize = 0;
        std::string current;
        for (std::size_t i = 0; i < std::size(tree); ++i) {
            const File& file = tree[i];
            const Fate fate = c.fates[i];
            if (i == 3)
                current = "F:\\sub";  // entered after the root's files
            const bool isFound = std::any_of(found.begin(), found.end(),
                                             [&](const Row& r) { return r[0] == file.name; });
            const auto row = std::find_if(rows.begin(), rows.end(),
                                          [&](const ErrorRow& r) { return r[0] == file.volumePath; });
            const bool isRow = row != rows.end();
            EXPECT_TRUE(isFound || fate != Fate::Found) << file.name << " not found";
            EXPECT_TRUE(isFound || isRow || fate == Fate::FoundRowOrUnlisted) << file.name << " not seen";
            if (isFound) {
                expectedFound.push_back({file.name, std::to_string(file.size), owner, file.fullPath});
                foundSize += file.size;
            } else if (isRow) {
                const bool unexamined = fate == Fate::FoundRowOrUnlisted && (*row)[1] == "0";
                expectedRows.push_back({file.volumePath, unexamined ? "0" : std::to_string(file.size),
                                        "NWIntScanFileInformation2 Code : 89ff"});
            }
            if (isFound || isRow) {
                ++examined;
                current = file.fullPath;
            }
        }
        EXPECT_EQ(found, expectedFound);
        EXPECT_EQ(rows, expectedRows);
        EXPECT_EQ(status(), (Status{current, std::to_string(examined), "1", std::to_string(expectedFound.size()),
                                    std::to_string(foundSize)}));

        // The next scan: the tree as it stands, each file with its size.
        hooked->beforeParse = nullptr;
        clickStart();
        EXPECT_EQ(resultNames(), c.nextScan);
        EXPECT_EQ(errors().size(), allRows.size());
        for (const Row& r : results()) {
            std::string relative = r[3].substr(3);
            std::replace(relative.begin(), relative.end(), '\\', '/');
            EXPECT_EQ(r[1], std::to_string(std::filesystem::file_size(sys + "/" + relative))) << r[3];
        }
    }
}

// With the attributes wanted, a file's facts are read once in the scan: a
// file that goes or changes after its information was read is recorded with
// the facts read then, its extended step taking them too, in the results and
// in the output file alike. The next scan sees it as it stands.
TEST_F(ChangingTrees, FileThatVanishesBetweenItsInformationAndItsAttributes)
{
    startWindow();
    const std::string out = outputTo({w->chkOutputFilename, w->chkOutputSize, w->chkOutputAttributes});
    const std::string plain = ",[Rw-----------------------]\r\n";
    const std::string asRead = "a.txt,10" + plain + "b.txt,20" + plain + "c.txt,30" + plain;
    struct Case {
        const char* what;
        std::function<void(const std::string& file)> change;
        bool needsExtendedAttributes;
        std::string nextScan;  // the output file
    } const cases[] = {
        {"the file is removed", [](const std::string& file) { ::unlink(file.c_str()); }, false,
         "a.txt,10" + plain + "c.txt,30" + plain},
        {"the file becomes a folder",
         [](const std::string& file) {
             ::unlink(file.c_str());
             ::mkdir(file.c_str(), 0755);
         },
         false, "a.txt,10" + plain + "c.txt,30" + plain},
        {"its attributes change", [&](const std::string& file) { EXPECT_TRUE(ws.setAttributes(file, 0x21)); }, true,
         "a.txt,10" + plain + "b.txt,20,[Ro---A-------------------]\r\n" + "c.txt,30" + plain},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsExtendedAttributes && !ws.xattrsSupported())
            continue;
        std::filesystem::remove_all(sys);
        ws.makeFolder(sys);
        ws.makeFile(sys + "/a.txt", 10);
        const std::string b = ws.makeFile(sys + "/b.txt", 20);
        ws.makeFile(sys + "/c.txt", 30);
        hook();
        hooked->afterFileInformation = [&](std::string_view volumePath) {
            if (volumePath == "SYS:b.txt")
                c.change(b);
        };
        const std::size_t earlierRows = errors().size();
        clickStart();
        EXPECT_EQ(resultNames(), (Names{"a.txt", "b.txt", "c.txt"}));
        EXPECT_EQ(errors().size(), earlierRows);
        EXPECT_EQ(status(), (Status{"F:\\c.txt", "3", "0", "3", "60"}));
        EXPECT_EQ(readFile(out), asRead);

        hooked->afterFileInformation = nullptr;
        clickStart();
        EXPECT_EQ(errors().size(), earlierRows);
        EXPECT_EQ(readFile(out), c.nextScan);
    }
}

}  // namespace
