// Where the history's file is (see historystore.h).

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "history/historystore.h"
#include "platform/drives.h"

namespace history {

namespace {

// Makes the folder and those above it that are missing, for this user only.
bool makeFolders(const std::string& folder, std::string& error)
{
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot make " + part + ": " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos)
            return true;
    }
}

}  // namespace

bool historyFileName(std::string_view typed, std::string& fileName, std::string& error)
{
    if (!typed.empty()) {
        fileName = platform::resolveUserPath(typed);
        return true;
    }
    std::string folder;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
        folder = data;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        folder = std::string(home) + "/.local/share";
    } else {
        error = "neither XDG_DATA_HOME nor HOME names a folder for the history";
        return false;
    }
    folder += "/trawl";
    fileName = folder + "/history.sqlite";
    return makeFolders(folder, error);
}

}  // namespace history
