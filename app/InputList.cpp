// SPDX-License-Identifier: BSD-2-Clause
#include "app/InputList.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <set>
#include <utility>

namespace tsvigil {

namespace {

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

bool IsRecordingName(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == "ts" || ext == "m2ts" || ext == "mts" || ext == "tts";
}

using Visited = std::set<std::pair<dev_t, ino_t>>;

void Collect(const std::string& dir, Visited& visited, std::vector<std::string>& found) {
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !visited.emplace(st.st_dev, st.st_ino).second) return;
    const std::unique_ptr<DIR, DirCloser> d(opendir(dir.c_str()));
    if (!d) return;
    const std::string prefix = dir == "/" ? dir : dir + "/";
    while (const dirent* e = readdir(d.get())) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = prefix + name;
        if (lstat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            Collect(path, visited, found);
        } else if (IsRecordingName(name) && (S_ISREG(st.st_mode) || (S_ISLNK(st.st_mode) &&
                                                                      stat(path.c_str(), &st) == 0 &&
                                                                      S_ISREG(st.st_mode)))) {
            found.push_back(path);
        }
    }
}

}  // namespace

std::vector<std::string> ExpandDirectories(const std::vector<std::string>& files) {
    std::vector<std::string> expanded;
    for (const auto& f : files) {
        struct stat st;
        if (f == "-" || stat(f.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
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
