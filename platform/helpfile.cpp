// Where the help file is looked for: beside the executable, then where an
// installed program keeps it.

#include "platform/helpfile.h"

#include <sys/stat.h>

#include <filesystem>

namespace {

bool isRegularFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string inFolder(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    path.append(name);
    return path;
}

}  // namespace

std::string findHelpFile(std::string_view executableFolder)
{
    const std::string beside = inFolder(executableFolder, "TRAWL.HLP");
    if (isRegularFile(beside))
        return beside;
    // The installed layout: bin/ and share/trawl/ under one prefix. The
    // executable's folder is its real folder (links resolved), so ".." is
    // dropped by the text alone.
    const std::string shared =
        std::filesystem::path(inFolder(executableFolder, "../share/trawl/TRAWL.HLP")).lexically_normal().string();
    if (isRegularFile(shared))
        return shared;
    return beside;
}
