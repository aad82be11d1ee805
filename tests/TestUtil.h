// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// Helpers shared by the tests: temporary files, running the built binary,
// and checking a byte stream in-process.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tools/TestStream.h"

namespace tsvigil {

namespace testutil {

// A file under the test temp directory, removed when the object goes.
class TempFile {
public:
    explicit TempFile(const tsgen::Bytes& data, const std::string& suffix = ".ts");
    ~TempFile();
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the tsvigil binary with the arguments and captures both streams;
// standard output goes to stdoutPath instead when one is given.
RunResult RunTool(const std::vector<std::string>& args, const std::string& stdoutPath = "");

// The whole of a file, as text or bytes; empty when it cannot be read.
std::string ReadAll(const std::string& path);
tsgen::Bytes ReadBytes(const std::string& path);

// What write puts into a stream, as a string.
std::string Captured(const std::function<void(std::FILE*)>& write);

// Checks the bytes in-process and returns the report; with json, the JSON
// Lines, else the text report and the summary when summary is set.
std::string CheckBytes(const tsgen::Bytes& data, bool json = false, bool summary = false);

// The banner every run writes to standard error first.
extern const std::string kBanner;

}  // namespace testutil

}  // namespace tsvigil
