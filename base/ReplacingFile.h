// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdio>
#include <string>

namespace tsvigil {

// A file written whole or not at all: the bytes go to a temporary file
// beside path (same directory, so same file system), which Commit() renames
// over path. Until then an older file at path stays as it was; a write that
// fails (a full disk) or an object dropped before Commit() removes the
// temporary file and leaves nothing half-written behind.
class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file for path. False when it cannot be created
    // (no such directory, no permission, a read-only file system).
    bool Open(const std::string& path);
    // The stream to write, null before a successful Open().
    std::FILE* File() const { return m_file; }
    // Flushes and closes the temporary file and puts it in path's place.
    // False, with the temporary file removed, when any write failed.
    bool Commit();

    // Whether a file can be created in path's place now: a temporary file
    // is made and removed again.
    static bool CanCreate(const std::string& path);

    // Writes data to path whole, as Open(), one write and Commit().
    static bool Write(const std::string& path, const std::string& data);

private:
    void Discard();

    std::string m_path;
    std::string m_temp;
    std::FILE* m_file = nullptr;
};

}  // namespace tsvigil
