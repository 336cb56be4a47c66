// Memory and time of the results list: appends a million rows of typical
// texts (name about 12 characters, owner about 20, full path about 60) in
// batches as a scan does, and prints the heap bytes per row and the time.
//
//     build/bench/trawl_listmodel_memory [rows]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <string>

#include "output/qt_listmodels.h"

namespace {

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

long residentKiB()
{
    long kib = 0;
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            if (std::sscanf(line, "VmRSS: %ld kB", &kib) == 1)
                break;
        }
        std::fclose(status);
    }
    return kib;
}

} // namespace

int main(int argc, char* argv[])
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const char* owners[] = {"JSMITH.SALES.ACME.UK", "ADMIN.ACCOUNTS.ACME", "BJONES.SUPPORT.ACME1",
                            "(unknown)", "MWILLIAMS.MARKETING"};

    ResultsModel model;
    const std::size_t heapBefore = heapInUse();
    const long rssBefore = residentKiB();
    const auto start = std::chrono::steady_clock::now();

    std::string name;
    std::string path;
    std::size_t textBytes = 0;
    for (long i = 0; i < rows; ++i) {
        name = "FILE" + std::to_string(i % 10000000) + ".DOC";  // 12 to 15 characters
        name.resize(12, 'X');
        path = "F:\\USERS\\HOME\\DEPARTMENT" + std::to_string(i / 1000 % 100) + "\\PROJECTS\\ARCHIVE\\";
        path += name;
        path.resize(60, 'Y');
        const char* owner = owners[i % 5];
        model.appendRow(name, static_cast<std::uint64_t>(i) * 37, owner, path);
        textBytes += name.size() + std::char_traits<char>::length(owner) + path.size();
        if (i % 100 == 99)
            model.flush();
    }
    model.flush();

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::size_t heapAfter = heapInUse();
    const long rssAfter = residentKiB();
    std::printf("rows                  %ld\n", rows);
    std::printf("text bytes per row    %.1f\n", double(textBytes) / double(rows));
    std::printf("heap bytes per row    %.1f\n", double(heapAfter - heapBefore) / double(rows));
    std::printf("resident bytes/row    %.1f\n", double(rssAfter - rssBefore) * 1024.0 / double(rows));
    std::printf("append time           %.3f s (%.0f ns per row)\n", seconds, seconds * 1e9 / double(rows));
    std::printf("last row              %s\n", qPrintable(model.text(model.rowCount() - 1, 3)));
    return 0;
}
