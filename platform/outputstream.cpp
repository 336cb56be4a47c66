// The output stream of a scan: stdio with a large buffer, and the first error
// it meets kept.

#include "platform/outputstream.h"

#include <cerrno>

namespace {

// Lines are short and many; a larger buffer than stdio's default means fewer
// system calls on a long scan.
constexpr std::size_t kBufferSize = 64 * 1024;

// errno after a failed stdio call, or EIO when the library left none.
int lastError() { return errno != 0 ? errno : EIO; }

}  // namespace

std::unique_ptr<OutputStream> OutputStream::open(const std::string& path, bool append, int* error)
{
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), append ? "ab+" : "wb+");
    if (!file) {
        if (error)
            *error = lastError();
        return nullptr;
    }
    std::setvbuf(file, nullptr, _IOFBF, kBufferSize);
    return std::unique_ptr<OutputStream>(new OutputStream(file));
}

OutputStream::~OutputStream()
{
    if (m_file)
        std::fclose(m_file);
}

void OutputStream::write(std::string_view bytes)
{
    // After a failure the file already lacks lines; writing on would leave a
    // gap in the middle of a file that looks complete.
    if (!m_file || bytes.empty() || m_error != 0)
        return;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size())
        m_error = lastError();
}

int OutputStream::close()
{
    if (!m_file)
        return m_error;
    errno = 0;
    if (std::fflush(m_file) != 0 && m_error == 0)
        m_error = lastError();
    errno = 0;
    if (std::fclose(m_file) != 0 && m_error == 0)
        m_error = lastError();
    m_file = nullptr;
    return m_error;
}
