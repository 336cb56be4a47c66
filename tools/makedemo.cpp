// trawl_makedemo <folder>: makes a demo workstation in <folder> unless one is
// already there (its workstation.ini exists), and the demo's job demo.tws
// unless that is there.
//
// Four NetWare volumes on two servers and a local drive, a few thousand files
// with varied names (8.3 names, long names, hidden files, two names NetWare
// cannot hold), sizes, dates, creation dates, owners and NetWare attributes, a
// directory tree, bindery names and two faults, so that every page of Trawl
// has something to show. The same folder always gets the same files.
//
// Owners, attributes and creation dates go into extended attributes of the host
// files; those of the share volume (drive S) carry, instead of NetWare
// attributes, the DOS attributes and creation times Samba stores for Windows
// users (user.DOSATTRIB, in its oldest form and versions 3 and 5). Where the file system refuses them, the owners fall back to [Owners]
// (every file then belongs to one user) and the tool says so on stderr.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// NetWare attribute bits, as user.nw.attributes holds them.
constexpr std::uint32_t kReadOnly = 0x01;
constexpr std::uint32_t kHidden = 0x02;
constexpr std::uint32_t kSystem = 0x04;
constexpr std::uint32_t kExecuteOnly = 0x08;
constexpr std::uint32_t kArchiveNeeded = 0x20;
constexpr std::uint32_t kShareable = 0x80;
constexpr std::uint32_t kTransactional = 0x1000;
constexpr std::uint32_t kPurge = 0x10000;
constexpr std::uint32_t kRenameInhibit = 0x20000;
constexpr std::uint32_t kDeleteInhibit = 0x40000;
constexpr std::uint32_t kCopyInhibit = 0x80000;

// Object IDs of the demo directory and bindery.
struct Person {
    const char* name;
    const char* container;
    std::uint32_t id;
};

constexpr std::array kPeople{
    Person{"JSMITH", "EAST.SALES.ACME", 0x1001}, Person{"MJONES", "EAST.SALES.ACME", 0x1002},
    Person{"PBROWN", "WEST.SALES.ACME", 0x1003}, Person{"AGARCIA", "WEST.SALES.ACME", 0x1004},
    Person{"KLEE", "SALES.ACME", 0x1005},        Person{"RWILSON", "DEV.ENG.ACME", 0x1006},
    Person{"SNGUYEN", "DEV.ENG.ACME", 0x1007},   Person{"TMULLER", "DEV.ENG.ACME", 0x1008},
    Person{"HCHEN", "QA.ENG.ACME", 0x1009},      Person{"LDUBOIS", "QA.ENG.ACME", 0x100A},
    Person{"ADMIN", "ADMIN.ACME", 0x1010},       Person{"BACKUP", "ADMIN.ACME", 0x1011},
    Person{"ETAYLOR", "ADMIN.ACME", 0x1012},     Person{"OKOWALSKI", "ENG.ACME", 0x1013},
    Person{"VROSSI", "RESEARCH.LABS", 0x1020},   Person{"ZAHMED", "RESEARCH.LABS", 0x1021},
};
// Owners the directory does not know: one only the bindery names, one nobody does.
constexpr std::uint32_t kGuestId = 0x3001;
constexpr std::uint32_t kUnknownId = 0x7777;
constexpr std::uint32_t kAdminId = 0x1010;

// Deterministic choices: the same folder always gets the same demo.
class Dice {
public:
    explicit Dice(std::uint32_t seed) : m_engine(seed) {}
    // 0 .. n-1
    std::uint32_t below(std::uint32_t n) { return n == 0 ? 0 : static_cast<std::uint32_t>(m_engine() % n); }
    bool chance(std::uint32_t percent) { return below(100) < percent; }
    template <typename T, std::size_t N>
    const T& pick(const std::array<T, N>& items)
    {
        return items[below(N)];
    }
    template <typename T>
    const T& pick(const std::vector<T>& items)
    {
        return items[below(static_cast<std::uint32_t>(items.size()))];
    }

private:
    std::mt19937 m_engine;
};

struct Volume {
    std::string server;
    std::string name;
    std::string folder;  // relative to the demo folder
};

struct Counters {
    int files = 0;
    int folders = 0;
    bool xattrRefused = false;
};

class DemoBuilder {
public:
    explicit DemoBuilder(fs::path top) : m_top(std::move(top)) {}

    bool build();
    const Counters& counters() const { return m_counters; }

private:
    struct DemoFile {
        std::string name;
        std::uint64_t size = 0;
        std::uint32_t owner = 0;
        std::uint32_t attributes = 0;
        bool withAttributes = false;
        bool readOnlyMode = false;
        // Samba's DOS attributes (user.DOSATTRIB) in this form (0: the text
        // alone, or version 3 or 5) instead of NetWare attributes and dates.
        std::optional<int> sambaForm;
        std::uint32_t dosAttributes = 0;
    };

    fs::path folder(const fs::path& volumeFolder, const std::string& relative);
    bool writeFile(const fs::path& folder, const DemoFile& file);
    void setXattr(const fs::path& file, const char* name, const std::string& value);
    // Returns the modification time given.
    std::time_t stampDates(const fs::path& path, bool withCreation);
    std::string uniqueName(const fs::path& folder, std::string name);
    std::uint32_t randomOwner();
    std::uint64_t randomSize();
    void fillFolder(const fs::path& folder, int count, const std::vector<std::string>& extensions,
                    std::uint32_t usualOwner, bool eightThree);
    void makeSys(const fs::path& root);
    void makeData(const fs::path& root);
    void makeApps(const fs::path& root);
    void makeShare(const fs::path& root);
    void makeLocal(const fs::path& root);
    bool writeWorkstation();

    fs::path m_top;
    Dice m_dice{0x5EED7A11u};
    Counters m_counters;
    std::set<std::string> m_takenNames;  // "<folder>/<NAME IN CAPITALS>"
    std::vector<fs::path> m_folders;
};

const std::array kWords{"report",  "budget", "invoice",  "letter", "memo",     "minutes", "plan",       "schedule",
                        "notes",   "draft",  "photo",    "scan",   "contract", "summary", "timesheet",  "inventory",
                        "payroll", "readme", "forecast", "agenda", "proposal", "survey",  "price list", "handbook"};
const std::array kLongNames{
    "Quarterly Report Q3 2021",     "Team Photo - Christmas Party",
    "Minutes of the Board Meeting", "Customer List (do not share)",
    "Sales figures East and West",  "Holiday schedule 2023",
    "New starter checklist",        "Office move - floor plan",
    "Product launch presentation",  "Expenses claim form v2",
    "Backup of old intranet site",  "Very long file name that would never fit in eight dot three"};
const std::vector<std::string> kOfficeExtensions{"doc", "xls", "txt",  "pdf",  "ppt", "jpg", "bak", "tmp",
                                                 "zip", "csv", "docx", "xlsx", "msg", "wpd", "rtf"};

fs::path DemoBuilder::folder(const fs::path& volumeFolder, const std::string& relative)
{
    fs::path path = volumeFolder / relative;
    std::error_code error;
    fs::create_directories(path, error);
    m_folders.push_back(path);
    ++m_counters.folders;
    return path;
}

std::string DemoBuilder::uniqueName(const fs::path& folder, std::string name)
{
    // NetWare names are blind to case: two host names differing only in case
    // would be one name on the volume.
    const auto key = [&](const std::string& candidate) {
        std::string upper = candidate;
        for (char& c : upper)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        return folder.string() + "/" + upper;
    };
    const std::string original = name;
    for (int attempt = 2; m_takenNames.count(key(name)) != 0; ++attempt) {
        const std::size_t dot = original.rfind('.');
        const std::string stem = dot == std::string::npos || dot == 0 ? original : original.substr(0, dot);
        const std::string extension = dot == std::string::npos || dot == 0 ? "" : original.substr(dot);
        name = stem + " (" + std::to_string(attempt) + ")" + extension;
    }
    m_takenNames.insert(key(name));
    return name;
}

std::uint32_t DemoBuilder::randomOwner()
{
    const std::uint32_t roll = m_dice.below(100);
    if (roll < 4)
        return kGuestId;
    if (roll < 6)
        return kUnknownId;
    return m_dice.pick(kPeople).id;
}

std::uint64_t DemoBuilder::randomSize()
{
    const std::uint32_t roll = m_dice.below(100);
    if (roll < 5)
        return 0;
    if (roll < 45)
        return 1 + m_dice.below(1024);
    if (roll < 85)
        return 1024 + m_dice.below(64 * 1024);
    if (roll < 97)
        return 64 * 1024 + m_dice.below(2 * 1024 * 1024);
    return 2ull * 1024 * 1024 + m_dice.below(60u * 1024 * 1024);
}

void DemoBuilder::setXattr(const fs::path& file, const char* name, const std::string& value)
{
    if (m_counters.xattrRefused)
        return;
    if (::setxattr(file.c_str(), name, value.data(), value.size(), 0) != 0) {
        if (errno == ENOTSUP || errno == EOPNOTSUPP) {
            m_counters.xattrRefused = true;
            std::fprintf(stderr,
                         "trawl_makedemo: this file system refuses extended attributes (%s): owners come from "
                         "[Owners] instead, attributes and creation dates from the host files\n",
                         std::strerror(errno));
        } else {
            std::fprintf(stderr, "trawl_makedemo: %s: %s: %s\n", file.c_str(), name, std::strerror(errno));
        }
    }
}

// Last modification between 2014 and the end of 2024, last access on or after
// it, creation on or before it.
std::time_t DemoBuilder::stampDates(const fs::path& path, bool withCreation)
{
    constexpr std::time_t kFirst = 1388534400;  // 2014-01-01 00:00 UTC
    constexpr std::time_t kLast = 1735603200;   // 2024-12-31 00:00 UTC
    const std::time_t span = kLast - kFirst;
    const std::time_t modified = kFirst + static_cast<std::time_t>(m_dice.below(static_cast<std::uint32_t>(span)));
    const std::time_t accessed = std::min<std::time_t>(kLast, modified + static_cast<std::time_t>(m_dice.below(400)) *
                                                                             86400);
    if (withCreation) {
        const std::time_t created = std::max<std::time_t>(
            kFirst - 3 * 365 * 86400, modified - static_cast<std::time_t>(m_dice.below(900)) * 86400);
        std::tm parts{};
        gmtime_r(&created, &parts);
        std::array<char, 16> text{};
        std::strftime(text.data(), text.size(), "%Y-%m-%d", &parts);
        setXattr(path, "user.nw.created", text.data());
    }
    const struct timespec times[2] = {{accessed, 0}, {modified, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return modified;
}

// A user.DOSATTRIB value as Samba writes it: a hex text and its NUL, then
// (versions 3 and 5) the version twice and its structure, little-endian,
// each number aligned to its size (64-bit ones to 4) from the value's start.
std::string sambaValue(int form, std::uint32_t dosBits, std::time_t created)
{
    const auto put = [](std::string& out, std::uint64_t value, std::size_t size) {
        while (out.size() % std::min<std::size_t>(size, 4) != 0)
            out += '\0';
        for (std::size_t i = 0; i < size; ++i)
            out += static_cast<char>(value >> (8 * i) & 0xFF);
    };
    const std::uint64_t ntTime = static_cast<std::uint64_t>(created) * 10000000ULL + 116444736000000000ULL;
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(dosBits));
    std::string value = form == 5 ? std::string() : std::string(text);
    value += '\0';
    if (form == 0)
        return value;
    const std::uint32_t attributesAndCreateTime = 0x11;
    put(value, static_cast<std::uint64_t>(form), 2);
    put(value, static_cast<std::uint64_t>(form), 2);
    put(value, attributesAndCreateTime, 4);
    put(value, dosBits, 4);
    if (form == 3) {
        put(value, 0, 4);  // EA size
        put(value, 0, 8);  // size
        put(value, 0, 8);  // allocation size
    }
    put(value, ntTime, 8);
    if (form == 3)
        put(value, 0, 8);  // change time
    return value;
}

bool DemoBuilder::writeFile(const fs::path& folder, const DemoFile& file)
{
    const fs::path path = folder / file.name;
    // A file left read-only by an interrupted earlier run cannot be reopened
    // for writing; start it afresh.
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "trawl_makedemo: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    // Small files get text; large ones are sparse, so the demo costs little disk.
    bool ok = true;
    if (file.size <= 16 * 1024) {
        std::string content = "Demo file " + file.name + "\n";
        while (content.size() < file.size)
            content += content;
        content.resize(file.size);
        ok = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    } else {
        ok = ::ftruncate(fd, static_cast<off_t>(file.size)) == 0;
    }
    ::close(fd);
    if (!ok) {
        std::fprintf(stderr, "trawl_makedemo: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }

    // The extended attributes need write permission, so they come before the
    // mode; the dates come last, as every change before them moves them.
    setXattr(path, "user.nw.owner", std::to_string(file.owner));
    if (file.withAttributes)
        setXattr(path, "user.nw.attributes", std::to_string(file.attributes));
    const std::time_t modified = stampDates(path, !file.sambaForm);
    // Created one to eight years before the last change (the extended
    // attribute moves no date the host shows).
    if (file.sambaForm) {
        const std::time_t created = modified - static_cast<std::time_t>(365 + m_dice.below(7 * 365)) * 86400;
        setXattr(path, "user.DOSATTRIB", sambaValue(*file.sambaForm, file.dosAttributes, created));
    }
    if (file.readOnlyMode)
        ::chmod(path.c_str(), 0444);
    ++m_counters.files;
    return true;
}

void DemoBuilder::fillFolder(const fs::path& folder, int count, const std::vector<std::string>& extensions,
                             std::uint32_t usualOwner, bool eightThree)
{
    for (int index = 0; index < count; ++index) {
        DemoFile file;
        const std::string& extension = m_dice.pick(extensions);
        std::string stem;
        const std::uint32_t style = m_dice.below(100);
        if (eightThree || style < 45) {
            // An 8.3 name in capitals.
            std::string word = m_dice.pick(kWords);
            std::string upper;
            for (char c : word)
                if (c != ' ')
                    upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
            upper = upper.substr(0, 5) + std::to_string(m_dice.below(1000));
            stem = upper.substr(0, 8);
            std::string ext = extension.substr(0, 3);
            for (char& c : ext)
                c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
            file.name = stem + "." + ext;
        } else if (style < 75) {
            file.name = std::string(m_dice.pick(kWords)) + "_" + std::to_string(2014 + m_dice.below(11)) + "." +
                        extension;
        } else if (style < 92) {
            file.name = std::string(m_dice.pick(kLongNames)) + "." + extension;
        } else if (style < 96) {
            // Hidden on the host: the name begins with a dot.
            file.name = "." + std::string(m_dice.pick(kWords)) + "rc";
            for (char& c : file.name)
                if (c == ' ')
                    c = '_';
        } else {
            // No extension at all.
            file.name = std::string(m_dice.pick(kWords)) + std::to_string(m_dice.below(100));
        }
        file.name = uniqueName(folder, file.name);
        file.size = randomSize();
        file.owner = m_dice.chance(70) && usualOwner != 0 ? usualOwner : randomOwner();
        if (m_dice.chance(35)) {
            file.withAttributes = true;
            file.attributes = kArchiveNeeded;
            if (m_dice.chance(25))
                file.attributes |= kReadOnly;
            if (m_dice.chance(10))
                file.attributes |= kShareable;
            if (m_dice.chance(8))
                file.attributes |= kHidden;
            if (m_dice.chance(5))
                file.attributes |= kDeleteInhibit | kRenameInhibit;
            if (m_dice.chance(4))
                file.attributes |= kPurge;
            if (m_dice.chance(3))
                file.attributes |= kCopyInhibit;
            if (m_dice.chance(3))
                file.attributes |= kTransactional;
            if (file.name[0] == '.')
                file.attributes |= kHidden;
        } else {
            file.readOnlyMode = m_dice.chance(10);
        }
        writeFile(folder, file);
    }
}

void DemoBuilder::makeSys(const fs::path& root)
{
    const std::vector<std::string> programs{"exe", "com", "hlp", "msg", "dat", "bat"};
    const std::vector<std::string> system{"nlm", "ncf", "dsk", "cfg", "log", "nam", "lan"};
    fillFolder(folder(root, "PUBLIC"), 160, programs, kAdminId, true);
    fillFolder(folder(root, "PUBLIC/NLS/ENGLISH"), 40, {"msg", "hlp", "idx"}, kAdminId, true);
    fillFolder(folder(root, "SYSTEM"), 140, system, kAdminId, true);
    fillFolder(folder(root, "LOGIN"), 20, {"exe", "dat", "bat"}, kAdminId, true);
    fillFolder(folder(root, "ETC"), 15, {"cfg", "txt", "bak"}, kAdminId, true);
    for (const Person& person : kPeople) {
        char id[16];
        std::snprintf(id, sizeof id, "%08X", person.id);
        fillFolder(folder(root, std::string("MAIL/") + id), 2, {"txt", "bat"}, person.id, true);
    }

    // The server's own files: system and hidden, kept from deletion.
    DemoFile file;
    file.owner = kAdminId;
    file.withAttributes = true;
    file.attributes = kSystem | kHidden | kDeleteInhibit | kRenameInhibit;
    for (const char* name : {"VOL$LOG.ERR", "TTS$LOG.ERR", "SYS$LOG.ERR"}) {
        file.name = uniqueName(root, name);
        file.size = 512 + m_dice.below(20000);
        writeFile(root, file);
    }
    file.attributes = kExecuteOnly | kShareable | kReadOnly;
    file.name = uniqueName(root / "SYSTEM", "SERVER.EXE");
    file.size = 3 * 1024 * 1024 + 12345;
    writeFile(root / "SYSTEM", file);
}

void DemoBuilder::makeData(const fs::path& root)
{
    for (const Person& person : kPeople) {
        const std::string home = std::string("HOME/") + person.name;
        fillFolder(folder(root, home), 45 + static_cast<int>(m_dice.below(40)), kOfficeExtensions, person.id, false);
        fillFolder(folder(root, home + "/Old Projects"), 10 + static_cast<int>(m_dice.below(15)), kOfficeExtensions,
                   person.id, false);
    }
    for (const char* department : {"SALES", "ENGINEERING", "ADMIN", "Human Resources", "Shared Documents"}) {
        const std::string base = std::string("SHARED/") + department;
        fillFolder(folder(root, base), 60, kOfficeExtensions, 0, false);
        fillFolder(folder(root, base + "/2023"), 40, kOfficeExtensions, 0, false);
        fillFolder(folder(root, base + "/2024/Archive"), 30, kOfficeExtensions, 0, false);
    }
    fillFolder(folder(root, "PUBLIC"), 80, kOfficeExtensions, 0, false);
    fillFolder(folder(root, "PUBLIC/Forms and Templates"), 40, {"dot", "xlt", "doc", "pdf"}, kAdminId, false);
    fillFolder(folder(root, "ARCHIVE/1998"), 60, {"zip", "arj", "bak", "old", "txt"}, kAdminId, true);
    fillFolder(folder(root, "ARCHIVE/1999"), 60, {"zip", "arj", "bak", "old", "txt"}, kAdminId, true);
    // The faults of the workstation make the extended information of this folder fail.
    fillFolder(folder(root, "LOCKED"), 25, kOfficeExtensions, kAdminId, false);
    fillFolder(folder(root, "TEMP"), 50, {"tmp", "$$$", "bak", "~mp"}, 0, false);

    // Two names a NetWare volume cannot hold: each becomes one row of the
    // Errors page and never reaches the results.
    const fs::path jsmith = root / "HOME" / "JSMITH";
    DemoFile file;
    file.owner = 0x1001;
    file.size = 2048;
    file.name = uniqueName(jsmith, "Budget: first draft.txt");
    writeFile(jsmith, file);
    file.name = uniqueName(jsmith, "caf\xe9 menu.txt");  // Latin-1, not UTF-8
    writeFile(jsmith, file);
}

void DemoBuilder::makeApps(const fs::path& root)
{
    const std::vector<std::string> binaries{"exe", "dll", "ini", "hlp", "cnt", "dat", "ocx"};
    for (const char* application : {"OFFICE", "WPWIN", "ACROBAT", "ANTIVIR", "TOOLS", "Legacy Accounting"}) {
        fillFolder(folder(root, application), 70, binaries, kAdminId, true);
        fillFolder(folder(root, std::string(application) + "/TEMPLATE"), 15, {"dot", "wpt", "xlt"}, kAdminId, false);
    }
    fillFolder(folder(root, "INSTALL/Images"), 10, {"img", "iso", "zip"}, kAdminId, false);
}

// A Samba share Windows users fill: their hidden, system, read-only and
// archive bits and creation times are Samba's, in all three forms it has
// written over the years.
void DemoBuilder::makeShare(const fs::path& root)
{
    constexpr std::uint32_t kDosReadOnly = 0x1, kDosHidden = 0x2, kDosSystem = 0x4, kDosArchive = 0x20;
    const std::array forms{5, 5, 3, 0};
    for (const char* name : {"Projects", "Projects/Tenders 2016", "Users/jsmith", "Users/mjones/Desktop"}) {
        const fs::path dir = folder(root, name);
        for (int index = 0; index < 40; ++index) {
            DemoFile file;
            file.name = uniqueName(dir, std::string(m_dice.pick(kLongNames)) + "." + m_dice.pick(kOfficeExtensions));
            file.size = randomSize();
            file.owner = randomOwner();
            file.sambaForm = m_dice.pick(forms);
            file.dosAttributes = m_dice.chance(60) ? kDosArchive : 0;
            if (m_dice.chance(15))
                file.dosAttributes |= kDosHidden;
            if (m_dice.chance(8))
                file.dosAttributes |= kDosSystem;
            if (m_dice.chance(12))
                file.dosAttributes |= kDosReadOnly;
            writeFile(dir, file);
        }
        // desktop.ini, as Windows leaves it: hidden and system.
        DemoFile desktop;
        desktop.name = uniqueName(dir, "desktop.ini");
        desktop.size = 120;
        desktop.owner = randomOwner();
        desktop.sambaForm = 5;
        desktop.dosAttributes = kDosHidden | kDosSystem | kDosArchive;
        writeFile(dir, desktop);
    }
}

void DemoBuilder::makeLocal(const fs::path& root)
{
    fillFolder(folder(root, "Documents"), 25, kOfficeExtensions, 0, false);
    fillFolder(folder(root, "TEMP"), 15, {"tmp", "log"}, 0, true);
}

bool DemoBuilder::writeWorkstation()
{
    const std::vector<Volume> volumes{
        {"FS1", "SYS", "volumes/fs1-sys"},
        {"FS1", "DATA", "volumes/fs1-data"},
        {"FS2", "APPS", "volumes/fs2-apps"},
        {"FS2", "SHARE", "volumes/fs2-share"}};

    std::string text;
    text += "; The demo workstation made by trawl_makedemo. Host folders are relative to\n"
            "; this file's folder. Delete this file to have the demo made afresh.\n\n";
    text += "[Volumes]\n";
    for (const Volume& volume : volumes)
        text += volume.server + "/" + volume.name + "=" + volume.folder + "\n";
    text += "\n[Drives]\n"
            "C=local\n"
            "F=FS1/SYS:\n"
            "G=FS1/DATA:\n"
            "H=FS2/APPS:\n"
            "S=FS2/SHARE:\n";

    text += "\n[Directory]\n"
            "ACME=Organization\n"
            "SALES.ACME=Organizational Unit\n"
            "EAST.SALES.ACME=Organizational Unit\n"
            "WEST.SALES.ACME=Organizational Unit\n"
            "ENG.ACME=Organizational Unit\n"
            "DEV.ENG.ACME=Organizational Unit\n"
            "QA.ENG.ACME=Organizational Unit\n"
            "ADMIN.ACME=Organizational Unit\n"
            "PRINTING.ADMIN.ACME=Organizational Unit\n"
            "LASER1.PRINTING.ADMIN.ACME=Print Queue\n"
            "LASER2.PRINTING.ADMIN.ACME=Print Queue\n"
            "STAFF.ACME=Group\n"
            "FS1_SYS.ACME=Volume\n"
            "FS1_DATA.ACME=Volume\n"
            "FS1.ACME=NCP Server, 0x2001\n"
            "FS2.ENG.ACME=NCP Server, 0x2002\n"
            "LABS=Organization\n"
            "RESEARCH.LABS=Organizational Unit\n";
    for (const Person& person : kPeople) {
        char line[128];
        std::snprintf(line, sizeof line, "%s.%s=User, 0x%X\n", person.name, person.container, person.id);
        text += line;
    }

    text += "\n[Bindery]\n"
            "0x3001=GUEST\n"
            "0x2001=FS1\n"
            "0x2002=FS2\n";

    // Files created later in the demo folders, and every file when the file
    // system refuses extended attributes, belong to ADMIN.
    char owners[64];
    std::snprintf(owners, sizeof owners, "\n[Owners]\n%u=0x%X\n", static_cast<unsigned>(::getuid()), kAdminId);
    text += owners;

    text += "\n[Faults]\n"
            "; extended information (attribute test, attributes field) of everything in G:\\LOCKED\n"
            "Fault0=NWIntScanExtendedInfo, DATA:LOCKED\\*, 89A8\n"
            "; file information of the disk drivers of F:\\SYSTEM\n"
            "Fault1=NWIntScanFileInformation2, SYS:SYSTEM\\*.DSK, 89FF\n";

    // Written last and renamed into place: an interrupted run leaves no
    // workstation.ini, so the next run makes the demo again.
    const fs::path target = m_top / "workstation.ini";
    const fs::path temporary = m_top / "workstation.ini.part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            std::fprintf(stderr, "trawl_makedemo: cannot write %s\n", temporary.c_str());
            return false;
        }
    }
    std::error_code error;
    fs::rename(temporary, target, error);
    if (error) {
        std::fprintf(stderr, "trawl_makedemo: cannot write %s: %s\n", target.c_str(), error.message().c_str());
        return false;
    }
    return true;
}

bool DemoBuilder::build()
{
    std::error_code error;
    fs::create_directories(m_top, error);
    if (error) {
        std::fprintf(stderr, "trawl_makedemo: cannot create %s: %s\n", m_top.c_str(), error.message().c_str());
        return false;
    }
    makeSys(folder(m_top, "volumes/fs1-sys"));
    makeData(folder(m_top, "volumes/fs1-data"));
    makeApps(folder(m_top, "volumes/fs2-apps"));
    makeShare(folder(m_top, "volumes/fs2-share"));
    makeLocal(folder(m_top, "local"));
    // Folders last, deepest first: every file created in them moved their dates.
    for (auto it = m_folders.rbegin(); it != m_folders.rend(); ++it)
        stampDates(*it, false);
    return writeWorkstation();
}

// The demo's job for a run without a display: every file of drive H with its
// owner, size and three dates, to results.csv beside the workstation file.
// Written when missing, also into a demo made before there was a job; the
// output file is named by its full path, as the scan runs in the volume's folder.
bool writeDemoJob(const fs::path& top)
{
    const fs::path target = top / "demo.tws";
    std::error_code error;
    if (fs::exists(target, error))
        return true;
    const fs::path results = fs::absolute(top, error) / "results.csv";
    if (error || results.native().size() > 255) {
        std::fprintf(stderr, "trawl_makedemo: no demo job: the path of %s is too long for a settings value\n",
                     results.c_str());
        return false;
    }
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out << "[TRAWL]\n"
           "cboPattern=*.*\n"
           "cboPath=H:\\\n"
           "optSizeIgnore=1\n"
           "optDateIgnore=1\n"
           "dtpBefore=40000\n"
           "dtpAfter=40000\n"
           "dtpExact=40000\n"
           "chkOutputResults=1\n"
           "chkOutputHeadings=1\n"
           "chkOutputOwner=1\n"
           "chkOutputFullPath=1\n"
           "chkOutputAccessed=1\n"
           "chkOutputModified=1\n"
           "chkOutputCreation=1\n"
           "chkOutputSize=1\n"
           "optOutputSepComma=1\n"
           "txtOutputFilename="
        << results.native() << "\n";
    if (!out.flush()) {
        std::fprintf(stderr, "trawl_makedemo: cannot write %s\n", target.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: trawl_makedemo <folder>\n");
        return 2;
    }
    const fs::path top = argv[1];
    std::error_code error;
    if (fs::exists(top / "workstation.ini", error)) {
        std::printf("The demo workstation is already in %s\n", top.c_str());
        return writeDemoJob(top) ? 0 : 1;
    }
    DemoBuilder builder(top);
    if (!builder.build() || !writeDemoJob(top))
        return 1;
    std::printf("Made the demo workstation in %s: %d files in %d folders\n", top.c_str(), builder.counters().files,
                builder.counters().folders);
    return 0;
}
