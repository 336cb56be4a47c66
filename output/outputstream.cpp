#include "output/outputstream.h"

#include <cerrno>

std::unique_ptr<OutputStream> OutputStream::open(const std::string& path, bool append, int* error)
{
    std::FILE* file = std::fopen(path.c_str(), append ? "ab+" : "wb+");
    if (!file) {
        if (error)
            *error = errno;
        return nullptr;
    }
    return std::unique_ptr<OutputStream>(new OutputStream(file));
}

OutputStream::~OutputStream()
{
    if (m_file)
        std::fclose(m_file);
}

void OutputStream::write(std::string_view bytes)
{
    if (!m_file || bytes.empty())
        return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size() && m_error == 0)
        m_error = errno ? errno : EIO;
}

int OutputStream::close()
{
    if (!m_file)
        return m_error;
    if (std::fflush(m_file) != 0 && m_error == 0)
        m_error = errno ? errno : EIO;
    if (std::fclose(m_file) != 0 && m_error == 0)
        m_error = errno ? errno : EIO;
    m_file = nullptr;
    return m_error;
}
