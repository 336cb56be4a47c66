// Memory and time of the results list: appends a million rows of typical
// texts (name 12 characters, owner about 20, full path 60) in batches as a
// scan does, and prints the heap bytes per row, a million rows' heap beside
// its goal, and the time.
//
//     build/bench/trawl_listmodel_memory [rows]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>

#include "bench/listrows.h"

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

}  // namespace

int main(int argc, char* argv[])
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    if (rows <= 0) {
        std::fprintf(stderr, "usage: trawl_listmodel_memory [rows]\n");
        return 2;
    }

    ResultsModel model;
    const std::size_t heapBefore = heapInUse();
    const long rssBefore = residentKiB();
    const auto start = std::chrono::steady_clock::now();
    const std::size_t textBytes = appendBenchRows(model, rows);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::size_t heapAfter = heapInUse();
    const long rssAfter = residentKiB();

    const double heapPerRow = double(heapAfter - heapBefore) / double(rows);
    std::printf("rows                  %ld\n", rows);
    std::printf("text bytes per row    %.1f\n", double(textBytes) / double(rows));
    std::printf("heap bytes per row    %.1f\n", heapPerRow);
    std::printf("heap per 1M rows      %.1f MiB   (goal <= 100 MiB)\n", heapPerRow * 1e6 / (1024.0 * 1024.0));
    std::printf("resident bytes/row    %.1f\n", double(rssAfter - rssBefore) * 1024.0 / double(rows));
    std::printf("append time           %.3f s (%.0f ns per row)\n", seconds, seconds * 1e9 / double(rows));
    std::printf("last row              %s\n", qPrintable(model.text(model.rowCount() - 1, 3)));
    return 0;
}
