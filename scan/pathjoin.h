#pragma once

#include <string>
#include <string_view>

// Joins a folder text and a name: directly when the folder ends in a backslash
// (a drive root such as "F:\"), otherwise with one backslash between them.
inline std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string path;
    path.reserve(folder.size() + name.size() + 1);
    path.append(folder);
    if (folder.empty() || folder.back() != '\\')
        path.push_back('\\');
    path.append(name);
    return path;
}
