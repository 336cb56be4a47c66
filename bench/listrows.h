#pragma once

// The rows of the list benchmarks, as a scan of a large server gives them: a
// name of 12 characters, one of five owners, and a full path of 60
// characters, the name in a folder that 32 neighbouring rows share. Appended
// in batches of 100 between flushes, as the walker does.

#include <cstdint>
#include <string>

#include "output/qt_listmodels.h"

// Returns the bytes of the row texts as the list shows them.
inline std::size_t appendBenchRows(ResultsModel& model, long rows)
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
