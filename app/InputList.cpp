// SPDX-License-Identifier: BSD-2-Clause
#include "app/InputList.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <set>
#include <utility>

#include "base/Platform.h"

namespace tsvigil {

namespace {

bool IsRecordingName(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == "ts" || ext == "m2ts" || ext == "mts" || ext == "tts";
}

using Visited = std::set<std::pair<uint64_t, uint64_t>>;

void Collect(const std::string& dir, Visited& visited, std::vector<std::string>& found) {
    FileStatus st;
    if (!StatusOfPath(dir, st) || !visited.emplace(st.device, st.id).second) return;
    std::vector<DirectoryEntry> entries;
    if (!ListDirectory(dir, entries)) return;
    const std::string prefix = dir == "/" ? dir : dir + "/";
    for (const DirectoryEntry& e : entries) {
        const std::string path = prefix + e.name;
        if (e.kind == FileKind::Directory) {
            Collect(path, visited, found);
        } else if (IsRecordingName(e.name) &&
                   (e.kind == FileKind::Regular ||
                    (e.kind == FileKind::Link && StatusOfPath(path, st) && st.kind == FileKind::Regular))) {
            found.push_back(path);
        }
    }
}

}  // namespace

std::vector<std::string> ExpandDirectories(const std::vector<std::string>& files) {
    std::vector<std::string> expanded;
    for (const auto& f : files) {
        FileStatus st;
        if (f == "-" || !StatusOfPath(f, st) || st.kind != FileKind::Directory) {
            expanded.push_back(f);
            continue;
        }
        std::string dir = f;
        while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
        std::vector<std::string> found;
        Visited visited;
        Collect(dir, visited, found);
        std::sort(found.begin(), found.end());
        expanded.insert(expanded.end(), found.begin(), found.end());
    }
    return expanded;
}

}  // namespace tsvigil
