// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>
#include <vector>

namespace tsvigil {

// The command line: tsvigil [OPTION]... FILE..., with getopt_long's rules
// (options in any order before the files, "--" ends them). Without any
// option exactly one file is taken, as the classic command line has it.
struct CommandLine {
    enum class Action {
        kCheck,     // check the files
        kUsage,     // no argument at all, or more than one file without options: the classic usage text, status 0
        kBadUsage,  // an unknown option, or options without a file: status 2
        kHelp,
        kVersion,
    };
    Action action = Action::kUsage;
    bool utf8 = false;
    bool summary = false;
    bool json = false;
    bool verdict = false;   // one verdict line per file instead of the report; the status follows it
    int jobs = 1;           // files checked at once; 0 given means one per CPU
    long long tolerate = 0; // picture and sound packets that may be lost before a file is damaged
    bool whole = false;     // the files hold whole programmes: one missing more than a moment is incomplete
    std::vector<int> services;  // --service: the service_ids to judge, in the order given; empty: all
    std::string html;       // --html: the page, or the directory of pages and their index; empty when not asked
    bool quiet = false;     // no banner
    std::string output;     // --output: the file that takes what standard output would; empty when not asked
    bool recursive = false; // a directory stands for the recordings under it
    bool programme = false; // --programme: each judged service's recorded programme only, margins apart
    bool rank = false;      // --rank: the copies of each programme two or more files recorded, best first
    std::vector<std::string> files;
    std::string error;  // what was wrong, for kBadUsage
};

CommandLine ParseCommandLine(int argc, char** argv);

// The short usage line and the full help text.
extern const char* const kUsageLine;
extern const char* const kHelpText;

}  // namespace tsvigil
