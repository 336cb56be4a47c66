// Generates the benchmark workstation: one volume of about 200,000 files in
// about 10,000 folders, with mixed names (long, 8.3, blanks, UTF-8, hidden),
// sizes (sparse, so the tree costs little disk; a few of 5 GiB), dates, owners
// and NetWare attributes set through the extended attributes the simulated
// client reads, and the workstation.ini that serves it as drive F:.
//
// usage: trawl_makebenchtree [--samba] DIR [FOLDERS_PER_LEVEL...]
// With --samba every file carries, instead of NetWare attributes and creation
// dates, the DOS attributes and creation time Samba 4.17 and later store (a
// version-5 user.DOSATTRIB). Deterministic: the same arguments give the same tree.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

std::mt19937_64 rng(20240601);
bool sambaValues = false;

std::uint64_t uniform(std::uint64_t lo, std::uint64_t hi)
{
    return std::uniform_int_distribution<std::uint64_t>(lo, hi)(rng);
}

bool chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(rng) < p; }

const char* const kStems[] = {"report", "Budget 2021",        "invoice", "IMG",     "data",
                              "notes",  "Übersicht",          "backup",  "setup",   "README",
                              "~WRL",   "Quarterly Summary",  "letter",  "payroll", "archive",
                              "temp",   "Angebot für Kunden", "index",   "x"};
const char* const kExtensions[] = {"tmp", "tmp", "doc", "txt", "dat", "log", "xls",
                                   "pdf", "exe", "bak", "",    "TMP", "html"};
const char* const kFolderStems[] = {"Users",   "Projects", "Shared", "apps",   "Data", "Reports 2020",
                                    "archive", "Büro",     "public", "system", "mail", "home"};

struct Owner {
    std::uint32_t id;
    const char* name;  // nullptr: an ID neither lookup knows
};

std::vector<Owner> owners;
std::vector<std::string> directoryLines;

void makeDirectory()
{
    directoryLines.push_back("ACME=Organization");
    const char* units[] = {"SALES", "ADMIN", "DEV", "SUPPORT"};
    for (const char* unit : units)
        directoryLines.push_back(std::string(unit) + ".ACME=Organizational Unit");
    directoryLines.push_back("FS1.ACME=NCP Server, 0x2001");
    static std::vector<std::string> names;
    names.reserve(64);
    for (int i = 0; i < 48; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "USER%02d.%s.ACME", i, units[i % 4]);
        names.emplace_back(name);
    }
    for (int i = 0; i < 48; ++i) {
        const std::uint32_t id = 0x1001 + static_cast<std::uint32_t>(i);
        char line[128];
        std::snprintf(line, sizeof line, "%s=User, 0x%X", names[static_cast<std::size_t>(i)].c_str(), id);
        directoryLines.emplace_back(line);
        owners.push_back({id, names[static_cast<std::size_t>(i)].c_str()});
    }
    owners.push_back({0x3001, "GUEST"});
    owners.push_back({0x3002, "SUPERVISOR"});
    owners.push_back({0x9999, nullptr});
}

struct Counts {
    std::uint64_t files = 0, folders = 0, hidden = 0, tmp = 0, large = 0;
} counts;

std::string fileName(std::set<std::string>& used)
{
    for (;;) {
        std::string name;
        if (chance(0.05))
            name += '.';
        name += kStems[uniform(0, std::size(kStems) - 1)];
        if (chance(0.7))
            name += std::to_string(uniform(0, 9999));
        const char* ext = kExtensions[uniform(0, std::size(kExtensions) - 1)];
        if (*ext) {
            name += '.';
            name += ext;
        }
        if (used.insert(name).second)
            return name;
    }
}

std::uint64_t fileSize()
{
    const double r = std::uniform_real_distribution<double>(0.0, 1.0)(rng);
    if (r < 0.05)
        return 0;
    if (r < 0.35)
        return uniform(1, 1023);
    if (r < 0.75)
        return uniform(1024, 65535);
    if (r < 0.9999)
        return uniform(65536, 10u << 20);
    return 5ull << 30;  // beyond what the 32-bit record holds
}

void setXattr(int fd, const char* name, const std::string& value)
{
    if (fsetxattr(fd, name, value.data(), value.size(), 0) != 0) {
        std::fprintf(stderr, "fsetxattr %s: %s\n", name, std::strerror(errno));
        std::exit(1);
    }
}

void makeFile(const std::string& folder, const std::string& name)
{
    const std::string path = folder + "/" + name;
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), std::strerror(errno));
        std::exit(1);
    }
    const std::uint64_t size = fileSize();
    if (size > 0 && ftruncate(fd, static_cast<off_t>(size)) != 0) {
        std::fprintf(stderr, "ftruncate %s: %s\n", path.c_str(), std::strerror(errno));
        std::exit(1);
    }
    const Owner& owner = owners[uniform(0, owners.size() - 1)];
    setXattr(fd, "user.nw.owner", std::to_string(owner.id));
    if (sambaValues) {
        // The empty text and its NUL, a padding byte, version 5 twice, two
        // padding bytes, valid flags (attributes, create time), the DOS
        // attributes (archive, sometimes hidden or read-only) and the create time.
        std::string value("\0\0\5\0\5\0\0\0\x11\0\0\0", 12);
        const std::uint32_t dos = 0x20 | (chance(0.1) ? 0x2 : 0) | (chance(0.1) ? 0x1 : 0);
        const std::uint64_t created = (uniform(1104537600, 1577836800) + 11644473600ULL) * 10000000ULL;
        for (int i = 0; i < 4; ++i)
            value += static_cast<char>(dos >> (8 * i) & 0xFF);
        for (int i = 0; i < 8; ++i)
            value += static_cast<char>(created >> (8 * i) & 0xFF);
        setXattr(fd, "user.DOSATTRIB", value);
    } else if (chance(0.4)) {
        static const std::uint32_t bits[] = {0x1, 0x2, 0x4, 0x20, 0x80, 0x1000, 0x20000, 0x40000, 0x80000};
        std::uint32_t attributes = 0x20;  // most such files wait for a backup
        for (std::uint32_t bit : bits)
            if (chance(0.25))
                attributes |= bit;
        setXattr(fd, "user.nw.attributes", std::to_string(attributes));
    }
    if (!sambaValues && chance(0.2)) {
        char created[16];
        std::snprintf(created, sizeof created, "%04d-%02d-%02d", static_cast<int>(uniform(2005, 2020)),
                      static_cast<int>(uniform(1, 12)), static_cast<int>(uniform(1, 28)));
        setXattr(fd, "user.nw.created", created);
    }
    // Modified between 2010 and 2024, accessed at or after that.
    const std::int64_t from = 1262304000;  // 2010-01-01
    const std::int64_t to = 1735603200;    // 2024-12-31
    timespec times[2];
    times[1].tv_sec = static_cast<time_t>(uniform(from, to));
    times[1].tv_nsec = 0;
    times[0].tv_sec = static_cast<time_t>(uniform(static_cast<std::uint64_t>(times[1].tv_sec), to));
    times[0].tv_nsec = 0;
    futimens(fd, times);
    ::close(fd);

    ++counts.files;
    if (name[0] == '.')
        ++counts.hidden;
    if (size > 0xFFFFFFFFull)
        ++counts.large;
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && strcasecmp(name.c_str() + dot, ".tmp") == 0)
        ++counts.tmp;
}

void makeFolder(const std::string& path, const std::vector<int>& fanout, std::size_t level)
{
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "mkdir %s: %s\n", path.c_str(), std::strerror(errno));
        std::exit(1);
    }
    std::set<std::string> used;
    // Deeper folders hold the files; upper ones a few.
    const int files = level == fanout.size() ? static_cast<int>(uniform(0, 38)) : static_cast<int>(uniform(0, 6));
    for (int i = 0; i < files; ++i)
        makeFile(path, fileName(used));
    if (level == fanout.size())
        return;
    for (int i = 0; i < fanout[level]; ++i) {
        std::string name;
        for (;;) {
            name = (chance(0.03) ? "." : "") + std::string(kFolderStems[uniform(0, std::size(kFolderStems) - 1)]) +
                   " " + std::to_string(i);
            if (used.insert(name).second)
                break;
        }
        ++counts.folders;
        makeFolder(path + "/" + name, fanout, level + 1);
    }
}

}  // namespace

int main(int argc, char* argv[])
{
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "--samba") == 0) {
        sambaValues = true;
        ++first;
    }
    if (argc <= first) {
        std::fprintf(stderr, "usage: %s [--samba] DIR [FOLDERS_PER_LEVEL...]\n", argv[0]);
        return 2;
    }
    const std::string root = argv[first];
    std::vector<int> fanout;
    for (int i = first + 1; i < argc; ++i)
        fanout.push_back(std::atoi(argv[i]));
    if (fanout.empty())
        fanout = {16, 25, 25};  // 10,416 folders

    makeDirectory();
    ::mkdir(root.c_str(), 0755);
    const std::string volume = root + "/vol1";
    makeFolder(volume, fanout, 0);

    const std::string ini = root + "/workstation.ini";
    std::FILE* out = std::fopen(ini.c_str(), "w");
    if (!out) {
        std::fprintf(stderr, "%s: %s\n", ini.c_str(), std::strerror(errno));
        return 1;
    }
    std::fprintf(out, "[Volumes]\nFS1/VOL1=%s\n\n[Drives]\nF=FS1/VOL1:\n\n[Directory]\n", volume.c_str());
    for (const std::string& line : directoryLines)
        std::fprintf(out, "%s\n", line.c_str());
    std::fprintf(out, "\n[Bindery]\n0x3001=GUEST\n0x3002=SUPERVISOR\n\n[Owners]\n0=0x1001\n");
    std::fclose(out);

    std::printf("files %llu folders %llu hidden %llu tmp %llu large %llu\n",
                static_cast<unsigned long long>(counts.files), static_cast<unsigned long long>(counts.folders),
                static_cast<unsigned long long>(counts.hidden), static_cast<unsigned long long>(counts.tmp),
                static_cast<unsigned long long>(counts.large));
    return 0;
}
