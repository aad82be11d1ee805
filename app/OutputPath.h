// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tsvigil {

// The files a run checks, known by device and file id: an output path that
// names one of them under another spelling (./a.ts, a hard link, a symbolic
// link) is still found.
class InputFiles {
public:
    explicit InputFiles(const std::vector<std::string>& files);
    // True when path names an existing file that is one of the inputs.
    bool Holds(const std::string& path) const;

private:
    std::set<std::pair<uint64_t, uint64_t>> m_ids;
};

// Why path must not receive an output of the run, or "" when it may: it
// names one of the files to check, or exists but is no regular file (a
// device, a FIFO), or, with htmlOnly, is an existing file whose name does
// not end in .html or .htm (a recording named by mistake).
std::string RefuseOutputPath(const std::string& path, const InputFiles& inputs, bool htmlOnly);

}  // namespace tsvigil
