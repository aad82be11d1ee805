// SPDX-License-Identifier: BSD-2-Clause
#include "app/OutputPath.h"

#include <sys/stat.h>

namespace tsvigil {

InputFiles::InputFiles(const std::vector<std::string>& files) {
    for (const auto& f : files) {
        struct stat st;
        if (f != "-" && stat(f.c_str(), &st) == 0) m_ids.emplace(st.st_dev, st.st_ino);
    }
}

bool InputFiles::Holds(const std::string& path) const {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && m_ids.count({st.st_dev, st.st_ino}) != 0;
}

namespace {

bool EndsWith(const std::string& s, const char* tail) {
    const std::string t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

}  // namespace

std::string RefuseOutputPath(const std::string& path, const InputFiles& inputs, bool htmlOnly) {
    if (inputs.Holds(path)) return "refusing to write '" + path + "': it is one of the files to check";
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return "";
    if (!S_ISREG(st.st_mode)) return "refusing to replace '" + path + "': not a regular file";
    if (htmlOnly && !EndsWith(path, ".html") && !EndsWith(path, ".htm"))
        return "refusing to replace '" + path + "': not an .html or .htm file";
    return "";
}

}  // namespace tsvigil
