// SPDX-License-Identifier: BSD-2-Clause
#include "stream/FileSource.h"

#include <cerrno>
#include <cstring>

#include "base/Platform.h"

namespace tsvigil {

FileSource::FileSource(size_t blockSize)
    : m_buffer((blockSize < 4096 ? 4096 : blockSize) + static_cast<size_t>(kMaxWindow)) {}

FileSource::~FileSource() {
    CloseFile(m_file);
}

int FileSource::Open(const char* path) {
    if (m_file != kNoFile || path == nullptr) return 0;
    const FileHandle file = OpenForReading(path);
    if (file == kNoFile) return 0;
    FileStatus st;
    if (!StatusOf(file, st) || st.kind != FileKind::Regular || !Adopt(file, st.size)) {
        CloseFile(file);
        return 0;
    }
    return 1;
}

int FileSource::Adopt(FileHandle file, long long size) {
    if (m_file != kNoFile || file == kNoFile) return 0;
    AdviseSequential(file);
    m_file = file;
    m_fileSize = size;
    WaitForData();
    return 1;
}

void FileSource::WaitForData() {
    if (m_end) return;
    // Fewer than kMaxWindow bytes are held whenever the framer asks for
    // more; they move to the front, and a whole block is read after them.
    const size_t held = m_last - m_first;
    if (m_first != 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_first, held);
        m_first = 0;
        m_last = held;
    }
    const long long got = ReadSome(m_file, m_buffer.data() + m_last, m_buffer.size() - m_last);
    if (got > 0) {
        m_last += static_cast<size_t>(got);
        m_bytesRead += got;
    } else if (got == 0) {
        m_end = true;
    } else {
        // A failing read ends the input all the same, after the bytes
        // already read, and is told apart by IsReadError().
        m_errorNumber = errno;
        m_readError = true;
        m_end = true;
    }
}

}  // namespace tsvigil
