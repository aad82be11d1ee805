// SPDX-License-Identifier: BSD-2-Clause
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Runner.h"
#include "app/TextLines.h"
#include "base/Platform.h"

using namespace tsvigil;

int main(int argc, char** argv) {
    HoldClosedStandardStreams();
    // The arguments as UTF-8, whatever the system hands a program; the
    // outputs as bytes, their line ends added where they are written.
    std::vector<std::string> args = Utf8Arguments(argc, argv);
    std::vector<char*> argvUtf8;
    for (auto& a : args) argvUtf8.push_back(&a[0]);
    argvUtf8.push_back(nullptr);
    SetBinaryMode(stdout);
    SetBinaryMode(stderr);
    int status = RunCommandLine(static_cast<int>(args.size()), argvUtf8.data(), stdout, stderr);
    // Closing standard output can still fail (a deferred write error); a
    // standard output that was never open has nothing to lose.
    if (std::fclose(stdout) != 0 && errno != EBADF && status == 0) {
        TextLines err(stderr, true);
        std::fputs(kWriteError, err.File());
        status = 1;
    }
    return status;
}
