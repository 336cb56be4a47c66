#pragma once

// How a folder and a name are joined into one path: a Windows path, as the
// scan builds them, or a host path; and what a host path names.

#include <sys/stat.h>

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

// A host folder and a name, with one slash between them.
inline std::string joinHostPath(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    path.append(name);
    return path;
}

// Whether a host path names a regular file, or a folder (links followed).
inline bool isRegularFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

inline bool isFolder(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
