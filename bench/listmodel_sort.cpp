// Sorting the results list: a million rows (as the memory benchmark appends
// them) sorted by each column, up and down, with the time of each sort and
// the memory the sort adds per row, at its peak and kept, beside their goals;
// then the time the filter takes over the same rows.
//
//     build/bench/trawl_listmodel_sort [rows]

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <new>

#include "bench/listrows.h"

namespace {

// Every allocation of the program is counted, so the peak during a sort is
// seen, not only what remains after it.
std::atomic<std::size_t> g_inUse{0};
std::atomic<std::size_t> g_peak{0};

void* countedAllocation(std::size_t bytes)
{
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (!block)
        throw std::bad_alloc();
    const std::size_t now = g_inUse += malloc_usable_size(block);
    std::size_t peak = g_peak;
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
    return block;
}

void countedRelease(void* block)
{
    if (!block)
        return;
    g_inUse -= malloc_usable_size(block);
    std::free(block);
}

}  // namespace

void* operator new(std::size_t bytes) { return countedAllocation(bytes); }
void* operator new[](std::size_t bytes) { return countedAllocation(bytes); }
void operator delete(void* block) noexcept { countedRelease(block); }
void operator delete[](void* block) noexcept { countedRelease(block); }
void operator delete(void* block, std::size_t) noexcept { countedRelease(block); }
void operator delete[](void* block, std::size_t) noexcept { countedRelease(block); }

int main(int argc, char* argv[])
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    if (rows <= 1) {
        std::fprintf(stderr, "usage: trawl_listmodel_sort [rows]\n");
        return 2;
    }
    ResultsModel model;
    appendBenchRows(model, rows);
    const std::size_t unsorted = g_inUse;
    std::printf("rows                  %ld\n", rows);

    const char* headings[] = {"FileName", "Size", "Owner", "Full Path"};
    double slowest = 0;
    double peakPerRow = 0;
    int faults = 0;
    for (int column = 0; column < 4; ++column) {
        for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            const std::size_t before = g_inUse;
            g_peak = before;
            const auto start = std::chrono::steady_clock::now();
            model.sort(column, order);
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            slowest = std::max(slowest, seconds);
            peakPerRow = std::max(peakPerRow, double(g_peak - unsorted) / double(rows));
            std::printf("sort %-9s %-4s    %.3f s   (goal < 1 s)\n", headings[column],
                        order == Qt::AscendingOrder ? "up" : "down", seconds);
            // The size column is checked in full: each row no smaller (or
            // no larger) than the one above.
            if (column == 1) {
                for (int row = 1; row < model.rowCount(); ++row) {
                    const qulonglong above = model.text(row - 1, 1).toULongLong();
                    const qulonglong here = model.text(row, 1).toULongLong();
                    if (order == Qt::AscendingOrder ? here < above : here > above) {
                        std::printf("  row %d is out of order\n", row);
                        ++faults;
                        break;
                    }
                }
            }
        }
    }
    // The results filter runs at each key typed: an owner, a folder, a text
    // across folder and name, one no row holds, and back to every row.
    double slowestFilter = 0;
    for (const char* filter : {"sales", "department07", "ARCHIV00042\\FILE", "no such text", ""}) {
        const auto start = std::chrono::steady_clock::now();
        model.setFilter(filter);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        slowestFilter = std::max(slowestFilter, seconds);
        std::printf("filter %-20s %.3f s   %d rows shown\n", filter, seconds, model.rowCount());
    }
    std::printf("slowest filter        %.3f s   (goal < 0.2 s)\n", slowestFilter);
    std::printf("slowest sort          %.3f s   (goal < 1 s)\n", slowest);
    std::printf("peak added per row    %.1f bytes   (goal <= 8)\n", peakPerRow);
    std::printf("kept per row          %.1f bytes   (goal <= 8)\n", double(g_inUse - unsorted) / double(rows));
    std::printf("first row             %s\n", qPrintable(model.text(0, 3)));
    return faults == 0 ? 0 : 1;
}
