// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "base/Platform.h"

namespace tsvigil {

// Closes a stdio stream it owns.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A stdio stream into memory, taken whole as a std::string: a stream of
// the system interface whose bytes are appended to the string. File() is
// null when the stream could not be made.
class MemoryFile {
public:
    MemoryFile() : m_file(OpenWriteStream(this, &MemoryFile::Append, nullptr)) {}
    ~MemoryFile() {
        if (m_file) CloseWriteStream(m_file);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    std::FILE* File() const { return m_file; }
    // Closes the stream and returns what was written to it.
    std::string Take() {
        if (m_file) CloseWriteStream(m_file);
        m_file = nullptr;
        return std::move(m_buf);
    }

private:
    static long Append(void* cookie, const char* buf, size_t size) {
        static_cast<MemoryFile*>(cookie)->m_buf.append(buf, size);
        return static_cast<long>(size);
    }

    std::string m_buf;
    std::FILE* m_file;
};

}  // namespace tsvigil
