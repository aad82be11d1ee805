#include "app/Options.h"

#include <getopt.h>

#include <vector>

const char* const kUsageLine = "usage: tsvigil [OPTION]... src.ts\n";

const char* const kHelpText =
    "usage: tsvigil [OPTION]... src.ts\n"
    "Checks a recorded ISDB MPEG-2 transport stream (188-, 192- or 204-byte\n"
    "packets) for lost sync, continuity-counter gaps, scrambled and\n"
    "transport-error packets, and reports each change of the present\n"
    "programme, bracketed by the broadcast's own time (TOT).\n"
    "\n"
    "  -u, --utf8     the text report in UTF-8 instead of Shift_JIS\n"
    "  -s, --summary  after the report, a summary per PID and per service\n"
    "  -j, --json     JSON Lines on standard output instead of the text report\n"
    "  -h, --help     this text\n"
    "  -V, --version  the version\n"
    "\n"
    "The exit status is 0 whatever the stream holds; 1 when the report cannot\n"
    "be written; 2 for a wrong command line.\n";

CCommandLine ParseCommandLine(int argc, char** argv) {
    CCommandLine c;
    static const option kOptions[] = {
        {"utf8", no_argument, nullptr, 'u'},    {"summary", no_argument, nullptr, 's'},
        {"json", no_argument, nullptr, 'j'},    {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'}, {nullptr, 0, nullptr, 0},
    };
    // getopt_long permutes the vector it is given; work on a copy so the
    // caller's argv stays as it was.
    std::vector<char*> args(argv, argv + argc);
    args.push_back(nullptr);
    bool help = false, version = false, anyOption = false;
    optind = 0;  // start afresh (glibc): the parser may run more than once in a process
    opterr = 0;
    for (int ch; (ch = getopt_long(argc, args.data(), "usjhV", kOptions, nullptr)) != -1;) {
        anyOption = true;
        switch (ch) {
            case 'u': c.utf8 = true; break;
            case 's': c.summary = true; break;
            case 'j': c.json = true; break;
            case 'h': help = true; break;
            case 'V': version = true; break;
            default: {
                const char* arg = args[static_cast<size_t>(optind - 1)];
                c.action = CCommandLine::kBadUsage;
                if (arg != nullptr && arg[0] == '-' && arg[1] == '-') c.error = std::string("unknown option '") + arg + "'";
                else if (optopt != 0) c.error = std::string("unknown option '-") + static_cast<char>(optopt) + "'";
                else c.error = std::string("unknown option '") + (arg ? arg : "") + "'";
                return c;
            }
        }
    }
    if (help) c.action = CCommandLine::kHelp;
    else if (version) c.action = CCommandLine::kVersion;
    else if (argc - optind == 1) {
        c.action = CCommandLine::kCheck;
        c.file = args[static_cast<size_t>(optind)];
    } else if (anyOption && argc - optind == 0) {
        c.action = CCommandLine::kBadUsage;
        c.error = "no file given";
    } else {
        c.action = CCommandLine::kUsage;
    }
    return c;
}
