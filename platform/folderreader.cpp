// The folder reader: a folder's entries read in blocks with getdents64.

#include "platform/folderreader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool FolderReader::open(const char* path)
{
    close();
    m_fd = ::open(path, O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    return m_fd >= 0;
}

const dirent64* FolderReader::next()
{
    if (m_fd < 0)
        return nullptr;
    if (m_at >= m_filled) {
        const ssize_t read = ::getdents64(m_fd, m_buffer, sizeof m_buffer);
        if (read <= 0) {
            if (read == 0)
                errno = 0;
            return nullptr;
        }
        m_filled = static_cast<std::size_t>(read);
        m_at = 0;
    }
    const auto* entry = reinterpret_cast<const dirent64*>(m_buffer + m_at);
    m_at += entry->d_reclen;
    return entry;
}

bool FolderReader::isFolder(const dirent64& entry) const { return isFolder(entry.d_name, entry.d_type); }

bool FolderReader::isFolder(const char* name, unsigned char type) const
{
    if (type != DT_UNKNOWN)
        return type == DT_DIR;
    struct stat info {};
    return ::fstatat(m_fd, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
}

void FolderReader::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_filled = 0;
    m_at = 0;
}

int FolderReader::release()
{
    const int fd = m_fd;
    m_fd = -1;
    close();
    return fd;
}

}  // namespace platform
