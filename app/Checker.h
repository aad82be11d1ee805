#pragma once

#include <cstdio>
#include <functional>
#include <string>

class CStreamSource;

// Runs the checker's command line (tsvigil [OPTION]... FILE). Report lines
// go to out, the banner and error texts to err. Returns the exit status:
// faults of the stream are report lines, so it is 0 on every path but a
// report that cannot be written (1, after kWriteError on err) and a wrong
// command line (2).
int RunChecker(int argc, char** argv, std::FILE* out, std::FILE* err);

extern const char* const kWriteError;

// What a check writes besides the text report.
struct CCheckOptions {
    bool summary = false;  // the summary after the text report
    bool json = false;     // JSON Lines instead of the text report
    const char* file = nullptr;  // the input's name, for the JSON summary
};

// Checks every packet of source and writes the report to out. tick, when
// set, is called every few thousand packets (for a progress display).
void CheckStream(CStreamSource& source, std::FILE* out, const CCheckOptions& options = {},
                 const std::function<void()>& tick = {});
