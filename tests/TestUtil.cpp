// SPDX-License-Identifier: BSD-2-Clause
#include "tests/TestUtil.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/Runner.h"
#include "stream/MemorySource.h"
#include "tsvigil/Version.h"

namespace tsvigil {

namespace testutil {

const std::string kBanner = std::string("\ntsvigil - transport stream checker ver ") + kVersion + "\n\n";

namespace {

std::string TempPattern(const std::string& suffix) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/tsvigil-test-XXXXXX" + suffix;
}

}  // namespace

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

tsgen::Bytes ReadBytes(const std::string& path) {
    const std::string s = ReadAll(path);
    return tsgen::Bytes(s.begin(), s.end());
}

std::string Captured(const std::function<void(std::FILE*)>& write) {
    char* buf = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buf, &size);
    if (out == nullptr) return std::string();
    write(out);
    std::fclose(out);
    std::string s(buf, size);
    std::free(buf);
    return s;
}

TempFile::TempFile(const tsgen::Bytes& data, const std::string& suffix) {
    std::string pattern = TempPattern(suffix);
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const int fd = mkstemps(buf.data(), static_cast<int>(suffix.size()));
    if (fd >= 0) {
        size_t off = 0;
        while (off < data.size()) {
            const ssize_t n = write(fd, data.data() + off, data.size() - off);
            if (n <= 0) break;
            off += static_cast<size_t>(n);
        }
        close(fd);
        m_path = buf.data();
    }
}

TempFile::~TempFile() {
    if (!m_path.empty()) std::remove(m_path.c_str());
}

RunResult RunTool(const std::vector<std::string>& args, const std::string& stdoutPath) {
    TempFile out({}, ".out");
    TempFile err({}, ".err");
    std::string cmd = TSVIGIL_BIN;
    for (const auto& a : args) {
        cmd += " '";
        for (char c : a) cmd += c == '\'' ? std::string("'\\''") : std::string(1, c);
        cmd += "'";
    }
    cmd += " >" + (stdoutPath.empty() ? out.Path() : stdoutPath) + " 2>" + err.Path() + " </dev/null";
    RunResult r;
    const int rc = std::system(cmd.c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = ReadAll(out.Path());
    r.err = ReadAll(err.Path());
    return r;
}

std::string CheckBytes(const tsgen::Bytes& data, bool json, bool summary) {
    return Captured([&](std::FILE* out) {
        MemorySource source(data.data(), data.size());
        CheckOptions options;
        options.json = json;
        options.summary = summary && !json;
        CheckStream(&source, out, options);
    });
}

}  // namespace testutil

}  // namespace tsvigil
