// Where the help file is looked for: beside the executable, then where an
// installed program keeps it.

#include "platform/helpfile.h"

#include <filesystem>

#include "platform/pathjoin.h"

std::string findHelpFile(std::string_view executableFolder)
{
    const std::string beside = joinHostPath(executableFolder, "TRAWL.HLP");
    if (isRegularFile(beside))
        return beside;
    // The installed layout: bin/ and share/trawl/ under one prefix. The
    // executable's folder is its real folder (links resolved), so ".." is
    // dropped by the text alone.
    const std::string shared =
        std::filesystem::path(joinHostPath(executableFolder, "../share/trawl/TRAWL.HLP")).lexically_normal().string();
    if (isRegularFile(shared))
        return shared;
    return beside;
}
