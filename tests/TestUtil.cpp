// SPDX-License-Identifier: BSD-2-Clause
#include "tests/TestUtil.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "app/Runner.h"
#include "base/MemoryFile.h"
#include "base/Platform.h"
#include "stream/MemorySource.h"
#include "tsvigil/Version.h"

namespace tsvigil {

namespace testutil {

const std::string kBanner = std::string("\ntsvigil - transport stream checker ver ") + kVersion + "\n\n";

namespace {

// A name no other test (of this process or another, run at the same time)
// is using: 64 random bits drawn once per process and a count, in $TMPDIR
// or the system's temporary directory.
std::string TempName(const std::string& suffix) {
    static const unsigned long long kProcess = [] {
        std::random_device random;
        return (static_cast<unsigned long long>(random()) << 32) ^ random();
    }();
    static std::atomic<unsigned> count{0};
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    if (ec) dir = ".";
    return (dir / ("tsvigil-test-" + std::to_string(kProcess) + "-" + std::to_string(++count) + suffix)).string();
}

// One argument of a command line for the system's shell.
std::string Quoted(const std::string& a) {
#ifdef _WIN32
    // cmd.exe: inside double quotes only a double quote needs escaping.
    std::string q = "\"";
    for (char c : a) q += c == '"' ? std::string("\\\"") : std::string(1, c);
    return q + "\"";
#else
    std::string q = "'";
    for (char c : a) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
#endif
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
    MemoryFile out;
    if (out.File() == nullptr) return std::string();
    write(out.File());
    return out.Take();
}

TempFile::TempFile(const tsgen::Bytes& data, const std::string& suffix) {
    const std::string path = TempName(suffix);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (f.good()) m_path = path;
}

TempFile::~TempFile() {
    if (!m_path.empty()) std::remove(m_path.c_str());
}

RunResult RunTool(const std::vector<std::string>& args, const std::string& stdoutPath) {
    TempFile out({}, ".out");
    TempFile err({}, ".err");
    std::string cmd = Quoted(TSVIGIL_BIN);
    for (const auto& a : args) cmd += " " + Quoted(a);
    // stdoutPath is the shell's word for where standard output goes
    // (a file, or "&-" to close it), taken as it is.
    cmd += " >" + (stdoutPath.empty() ? Quoted(out.Path()) : stdoutPath) + " 2>" + Quoted(err.Path());
    RunResult r;
#ifdef _WIN32
    // cmd.exe wants the whole line quoted once more; the status is the
    // program's own exit code.
    r.status = std::system(("\"" + cmd + " <NUL\"").c_str());
#else
    const int rc = std::system((cmd + " </dev/null").c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
#endif
    r.out = ReadAll(out.Path());
    r.err = ReadAll(err.Path());
    // Where text lines end with CR LF, the tests read them with LF: the CRs
    // themselves are the golden corpus's and the Windows end-to-end test's.
    if (TextLinesEndWithCrLf()) {
        for (std::string* s : {&r.out, &r.err}) {
            for (size_t at = 0; (at = s->find("\r\n", at)) != std::string::npos;) s->erase(at, 1);
        }
    }
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
