#pragma once

// How the scan joins a folder and a name into one Windows path.

#include <string>
#include <string_view>

// The path rule of every path the scan builds and writes: a folder and a name
// are joined directly when the folder ends in a backslash (a drive root such
// as "F:\"), otherwise with one backslash between them.
inline void appendJoinedPath(std::string& out, std::string_view folder, std::string_view name)
{
    out.append(folder);
    if (folder.empty() || folder.back() != '\\')
        out.push_back('\\');
    out.append(name);
}

inline std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string path;
    path.reserve(folder.size() + name.size() + 1);
    appendJoinedPath(path, folder, name);
    return path;
}
