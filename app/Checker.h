#pragma once

#include <cstdio>
#include <functional>

class CTransportStream;

// Runs the checker's command line: argv[1] is the stream file. Report lines
// go to out, the banner and error texts to err. Returns the exit status:
// faults of the stream are report lines, so it is 0 on every path but one,
// a report that cannot be written (1, after kWriteError on err).
int RunChecker(int argc, char** argv, std::FILE* out, std::FILE* err);

extern const char* const kWriteError;

// Checks every packet of source and writes the report to out. tick, when
// set, is called every few thousand packets (for a progress display).
void CheckStream(CTransportStream& source, std::FILE* out, const std::function<void()>& tick = {});
