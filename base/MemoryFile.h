// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <stdio.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace tsvigil {

// Closes a stdio stream it owns.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A stdio stream into memory (open_memstream), taken whole as a
// std::string. File() is null when the stream could not be made.
class MemoryFile {
public:
    MemoryFile() : m_file(open_memstream(&m_buf, &m_size)) {}
    ~MemoryFile() {
        if (m_file) std::fclose(m_file);
        std::free(m_buf);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    std::FILE* File() const { return m_file; }
    // Closes the stream and returns what was written to it.
    std::string Take() {
        if (m_file) std::fclose(m_file);
        m_file = nullptr;
        return m_buf ? std::string(m_buf, m_size) : std::string();
    }

private:
    char* m_buf = nullptr;
    size_t m_size = 0;
    std::FILE* m_file;
};

}  // namespace tsvigil
