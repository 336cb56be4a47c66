#include "bench/listrows.h"

#include <cstdint>
#include <cstdio>
#include <string>

std::size_t appendBenchRows(ResultsModel& model, long rows)
{
    const char* owners[] = {"JSMITH.SALES.ACME.UK", "ADMIN.ACCOUNTS.ACME", "BJONES.SUPPORT.ACME1", "(unknown)",
                            "MWILLIAMS.MARKETING"};
    std::string name;
    std::string path;
    std::size_t textBytes = 0;
    char folder[64];
    for (long i = 0; i < rows; ++i) {
        // Names in an order of their own, not that of the rows.
        name = "FILE" + std::to_string((i * 7919) % 10000000) + ".DOC";
        name.resize(12, 'X');
        std::snprintf(folder, sizeof folder, "F:\\USERS\\HOME\\DEPARTMENT%02ld\\PROJECTS\\ARCHIV%05ld\\",
                      i / 32 % 100, i / 32 % 100000);
        path = folder;
        path += name;
        const char* owner = owners[(i * 31 / 7) % 5];
        const std::uint64_t size = static_cast<std::uint64_t>((i * 2654435761u) % 50000000);
        model.appendRow(name, size, owner, path);
        textBytes += name.size() + std::char_traits<char>::length(owner) + path.size();
        if (i % 100 == 99)
            model.flush();
    }
    model.flush();
    return textBytes;
}
