// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tsvigil {

// A window over the bytes a parse may touch. Every read of stream data goes
// through one: a read past the end yields 0 and sets a sticky Overrun(), and
// Bytes(n) returns at most what remains, so a length field in a damaged
// section can never lead a parser outside its buffer.
class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(data ? size : 0) {}

    // A span of bytes returned by Bytes(): may be shorter than asked for.
    struct Span {
        const uint8_t* data = nullptr;
        int size = 0;
    };

    size_t Pos() const { return m_pos; }
    size_t Size() const { return m_size; }
    size_t Remaining() const { return m_pos < m_size ? m_size - m_pos : 0; }
    bool AtEnd() const { return m_pos >= m_size; }
    bool Overrun() const { return m_overrun; }
    const uint8_t* Data() const { return m_data; }

    uint8_t U8() {
        if (m_pos >= m_size) {
            m_overrun = true;
            return 0;
        }
        return m_data[m_pos++];
    }
    int U16() {
        int hi = U8();
        return (hi << 8) | U8();
    }
    int U24() {
        int hi = U16();
        return (hi << 8) | U8();
    }
    uint32_t U32() {
        uint32_t hi = static_cast<uint32_t>(U16());
        return (hi << 16) | static_cast<uint32_t>(U16());
    }
    // The byte at an offset from the current position, without consuming it.
    uint8_t PeekAt(size_t offset) const {
        return (m_pos + offset < m_size && m_pos + offset >= m_pos) ? m_data[m_pos + offset] : 0;
    }

    // Up to n bytes from the current position (fewer at the end; none for n <= 0).
    Span Bytes(int n) {
        Span s;
        if (n <= 0) return s;
        size_t take = static_cast<size_t>(n);
        if (take > Remaining()) {
            take = Remaining();
            m_overrun = true;
        }
        s.data = m_data + m_pos;
        s.size = static_cast<int>(take);
        m_pos += take;
        return s;
    }
    void Skip(int n) { Bytes(n); }

    // Copies n bytes into dst and terminates it: a 3-byte language code
    // becomes a 4-character array. Missing bytes read as 0.
    void Copy(char* dst, int n) {
        for (int i = 0; i < n; ++i) dst[i] = static_cast<char>(U8());
        dst[n] = '\0';
    }

    // A reader over the next n bytes (at most what remains); this reader
    // moves past them.
    ByteReader Sub(int n) {
        Span s = Bytes(n);
        return ByteReader(s.data, static_cast<size_t>(s.size));
    }

private:
    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_pos = 0;
    bool m_overrun = false;
};

}  // namespace tsvigil
