// SPDX-License-Identifier: BSD-2-Clause
#include "base/ReplacingFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "base/Platform.h"

namespace tsvigil {

namespace {

std::atomic<unsigned> g_serial{0};

}  // namespace

ReplacingFile::~ReplacingFile() { Discard(); }

bool ReplacingFile::Open(const std::string& path) {
    Discard();
    if (path.empty()) return false;
    // A name no one else picks: a dot file beside path, with the process id
    // and a serial (pages are written by several threads at once); a name
    // that exists is refused.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const size_t slash = path.find_last_of(kPathSeparators);
        const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
        const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
        const std::string temp = dir + "." + base + "." + std::to_string(ProcessId()) + "-" +
                                 std::to_string(g_serial.fetch_add(1)) + ".tmp";
        m_file = CreateNewFile(temp);
        if (!m_file) {
            if (errno == EEXIST) continue;
            return false;
        }
        m_path = path;
        m_temp = temp;
        return true;
    }
    return false;
}

bool ReplacingFile::Commit() {
    if (!m_file) return false;
    const bool written = std::fflush(m_file) == 0 && !std::ferror(m_file);
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!written || !closed || !ReplaceFile(m_temp, m_path)) {
        RemoveFile(m_temp);
        m_temp.clear();
        return false;
    }
    m_temp.clear();
    return true;
}

void ReplacingFile::Discard() {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_temp.empty()) {
        RemoveFile(m_temp);
        m_temp.clear();
    }
}

bool ReplacingFile::CanCreate(const std::string& path) {
    ReplacingFile f;
    return f.Open(path);
}

bool ReplacingFile::Write(const std::string& path, const std::string& data) {
    ReplacingFile f;
    if (!f.Open(path)) return false;
    if (std::fwrite(data.data(), 1, data.size(), f.File()) != data.size()) return false;
    return f.Commit();
}

}  // namespace tsvigil
