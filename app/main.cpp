// SPDX-License-Identifier: BSD-2-Clause
#include <cerrno>
#include <cstdio>

#include "app/Runner.h"
#include "base/Platform.h"

using namespace tsvigil;

int main(int argc, char** argv) {
    HoldClosedStandardStreams();
    int status = RunCommandLine(argc, argv, stdout, stderr);
    // Closing standard output can still fail (a deferred write error); a
    // standard output that was never open has nothing to lose.
    if (std::fclose(stdout) != 0 && errno != EBADF && status == 0) {
        std::fputs(kWriteError, stderr);
        status = 1;
    }
    return status;
}
