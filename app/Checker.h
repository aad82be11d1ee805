#pragma once

#include <cstdio>

// Runs the checker's command line: argv[1] is the stream file. Report lines
// go to out, the banner and error texts to err. Returns the exit status.
int RunChecker(int argc, char** argv, std::FILE* out, std::FILE* err);
