#pragma once

// The output file of a scan: a buffered binary stream (no newline
// translation) that remembers the first write error, so that a full disk or a
// vanished folder is reported instead of ignored.

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

class OutputStream {
public:
    // Opens the file in mode "ab+" (append) or "wb+" (replace). Nothing when it
    // cannot be opened; *error then holds the system's error code.
    static std::unique_ptr<OutputStream> open(const std::string& path, bool append, int* error);
    ~OutputStream();
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;

    // Writes through the buffer. After the first failure nothing more is
    // written, so the file ends where the trouble began.
    void write(std::string_view bytes);
    // Flushes and closes. Returns 0, or the first system error code seen by any
    // write, the flush or the close.
    int close();
    // The first error code seen so far (0 for none).
    int error() const { return m_error; }

private:
    explicit OutputStream(std::FILE* file) : m_file(file) {}
    std::FILE* m_file = nullptr;
    int m_error = 0;
};
