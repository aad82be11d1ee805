// SPDX-License-Identifier: BSD-2-Clause
#include "app/OutputPath.h"

#include "base/Platform.h"

namespace tsvigil {

InputFiles::InputFiles(const std::vector<std::string>& files) {
    for (const auto& f : files) {
        FileStatus st;
        if (f != "-" && StatusOfPath(f, st)) m_ids.emplace(st.device, st.id);
    }
}

bool InputFiles::Holds(const std::string& path) const {
    FileStatus st;
    return StatusOfPath(path, st) && m_ids.count({st.device, st.id}) != 0;
}

namespace {

bool EndsWith(const std::string& s, const char* tail) {
    const std::string t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

}  // namespace

std::string RefuseOutputPath(const std::string& path, const InputFiles& inputs, bool htmlOnly) {
    if (inputs.Holds(path)) return "refusing to write '" + path + "': it is one of the files to check";
    FileStatus st;
    if (!StatusOfPath(path, st)) return "";
    if (st.kind != FileKind::Regular) return "refusing to replace '" + path + "': not a regular file";
    if (htmlOnly && !EndsWith(path, ".html") && !EndsWith(path, ".htm"))
        return "refusing to replace '" + path + "': not an .html or .htm file";
    return "";
}

}  // namespace tsvigil
