#pragma once

// The reader of a folder's entries that the listings use.

#include <dirent.h>

#include <cstddef>

namespace platform {

// Reads a folder's entries straight from the kernel: the entries readdir
// gives, in the same order, without the status call opendir makes of every
// folder it opens. A walk opens one folder per folder it visits, so that call
// is one per folder of the volume.
class FolderReader {
public:
    FolderReader() = default;
    ~FolderReader() { close(); }
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // False with errno set when the folder cannot be opened.
    bool open(const char* path);
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    // The next entry; nullptr at the end, or at a read error with errno set.
    const dirent64* next();
    // Whether an entry of this folder is a folder itself: from its type, or
    // from its status where the file system gives no type. A link never is.
    bool isFolder(const dirent64& entry) const;
    // The same for an entry read before, by its name and d_type.
    bool isFolder(const char* name, unsigned char type) const;
    void close();
    // Hands the open folder over to the caller, who closes it; the reader is
    // left closed.
    int release();

private:
    int m_fd = -1;
    std::size_t m_filled = 0;
    std::size_t m_at = 0;
    alignas(dirent64) char m_buffer[32 * 1024];
};

}  // namespace platform
