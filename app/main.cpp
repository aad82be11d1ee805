// SPDX-License-Identifier: BSD-2-Clause
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "app/Runner.h"

namespace tsvigil {

namespace {

// Standard input, output and error that were closed when the program was
// started are held by /dev/null, so that no file the program opens (a page,
// a recording) takes their number and receives what is written to them.
// /dev/null is opened read-only: a write to it then fails with EBADF, just
// as it would on the closed descriptor, and a report that goes nowhere is
// still reported as not written.
void HoldClosedStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int held = open("/dev/null", O_RDONLY);
        if (held >= 0 && held != fd) {
            dup2(held, fd);
            close(held);
        }
    }
}

}  // namespace

}  // namespace tsvigil

using namespace tsvigil;

int main(int argc, char** argv) {
    HoldClosedStandardDescriptors();
    int status = RunCommandLine(argc, argv, stdout, stderr);
    // Closing standard output can still fail (a deferred write error); a
    // standard output that was never open has nothing to lose.
    if (std::fclose(stdout) != 0 && errno != EBADF && status == 0) {
        std::fputs(kWriteError, stderr);
        status = 1;
    }
    return status;
}
