// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>
#include <vector>

namespace tsvigil {

// The files to check with every directory among them replaced, in place,
// by the recordings under it: regular files (or symbolic links to them)
// named .ts, .m2ts, .mts or .tts in any case, in it and its subdirectories,
// sorted by path bytes. Symbolic links to directories are not followed and
// no directory is entered twice, so a loop of bind mounts ends too.
std::vector<std::string> ExpandDirectories(const std::vector<std::string>& files);

}  // namespace tsvigil
