#pragma once

#include <string>

// The command line: tsvigil [OPTION]... FILE, with getopt_long's rules
// (options in any order before FILE, "--" ends them).
struct CCommandLine {
    enum Action {
        kCheck,     // check file
        kUsage,     // no argument at all, or more than one file: the classic usage text, status 0
        kBadUsage,  // an unknown option, or options without a file: status 2
        kHelp,
        kVersion,
    };
    Action action = kUsage;
    bool utf8 = false;
    bool summary = false;
    bool json = false;
    std::string file;
    std::string error;  // what was wrong, for kBadUsage
};

CCommandLine ParseCommandLine(int argc, char** argv);

// The short usage line and the full help text.
extern const char* const kUsageLine;
extern const char* const kHelpText;
