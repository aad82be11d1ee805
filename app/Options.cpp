// SPDX-License-Identifier: BSD-2-Clause
#include "app/Options.h"

#include <getopt.h>

#include <limits>
#include <vector>

namespace tsvigil {

const char* const kUsageLine = "usage: tsvigil [OPTION]... src.ts...\n";

const char* const kHelpText =
    "usage: tsvigil [OPTION]... src.ts...\n"
    "Checks a recorded ISDB MPEG-2 transport stream (188-, 192- or 204-byte\n"
    "packets) for lost sync, continuity-counter gaps, scrambled and\n"
    "transport-error packets, and reports each change of the present\n"
    "programme, bracketed by the broadcast's own time (TOT).\n"
    "\n"
    "  -u, --utf8     the text report in UTF-8 instead of Shift_JIS\n"
    "  -s, --summary  after the report, a summary per PID and per service\n"
    "  -j, --json     JSON Lines on standard output instead of the text report\n"
    "  -c, --verdict  one line per file instead of the report: its verdict and figures\n"
    "  -P, --jobs N   check N files at once (default 1; 0: one per CPU); output in\n"
    "                 argument order all the same\n"
    "  -t, --tolerate N  picture and sound packets a file may lose and still be ok\n"
    "                 (default 0)\n"
    "  -w, --whole    the files are meant to hold whole programmes: one that misses\n"
    "                 more than 2 s at its start or end, or 1 s inside, is\n"
    "                 incomplete\n"
    "      --html PATH  also an HTML report: one file's page at PATH, or, for\n"
    "                 several files or a PATH ending in / or naming a directory,\n"
    "                 PATH/index.html and a page per file (FILE.html)\n"
    "  -q, --quiet    no banner\n"
    "  -o, --output FILE  what --json, --summary or the report would print goes\n"
    "                 to FILE, written whole and replaced at once; with --verdict\n"
    "                 the verdict lines still go to standard output\n"
    "  -r, --recursive  a directory stands for its .ts, .m2ts, .mts and .tts\n"
    "                 files and those of its subdirectories (any case), sorted by\n"
    "                 path; symbolic links to directories are not followed\n"
    "      --service SID  judge only these services (repeatable, or a comma list;\n"
    "                 decimal or 0x hex): the picture and sound of others is\n"
    "                 counted apart, and a SID the file lacks is absent\n"
    "                 (tsvigil --verdict --service 1024,0x401 rec.ts)\n"
    "      --programme  judge each judged service's recorded programme only (the\n"
    "                 one the recording overlaps most): what lies before its start\n"
    "                 or after its end (EIT, in broadcast time) is margin, counted\n"
    "                 apart as '; margins av lost N, av errors N, av scrambled N,\n"
    "                 sync N' and not judged; without a PCR, a TOT or an EIT the\n"
    "                 whole file is judged\n"
    "                 (tsvigil --verdict --programme --service 1024 rec.ts)\n"
    "      --rank     after everything else, for each programme that two or more\n"
    "                 of the files recorded, one line with its copies, best first\n"
    "                 (coverage, then picture and sound lost plus errors, then\n"
    "                 scrambled, then file order); with --json a ranking object\n"
    "                 (tsvigil --verdict --rank a.ts b.ts)\n"
    "  -h, --help     this text\n"
    "  -V, --version  the version\n"
    "\n"
    "With at least one option, any number of files may follow; a text report\n"
    "of several files heads each with ==> FILE <==. A FILE of - is standard\n"
    "input (a file named - is ./-).\n"
    "\n"
    "Verdict words, in this order: unreadable (cannot be opened or read to its\n"
    "end), unrecognised (no transport stream: of five packets' worth of bytes\n"
    "or more, fewer than half lie in runs of five packets or more; this word\n"
    "alone), absent (with --service: a service asked for is not in the file),\n"
    "empty (no packet), damaged (picture or sound packets lost beyond\n"
    "--tolerate, or with the transport error indicator, or sync lost before the\n"
    "last packet), scrambled (picture or sound scrambled after its first clear\n"
    "packet, or never clear), gap (a stretch of broadcast missing, or the\n"
    "clock reset undeclared, as the PCR shows), incomplete (with --whole); ok\n"
    "when none applies. Losses on tables, captions, ECMs and the like are\n"
    "counted as 'other lost' and judge nothing; a packet that repeats the\n"
    "counter and the bytes of the one before (a PCR excepted) is a duplicate,\n"
    "no loss; on other bytes 15 packets were lost; a third copy is a\n"
    "continuity error that loses nothing; a discontinuity_indicator excuses a\n"
    "counter break. On audio PIDs the PES tell losses the counter hides (16,\n"
    "32, ... packets): a PTS step m usual steps too long loses m PES of the\n"
    "fewest packets seen, and a PES shorter than its PES_packet_length at\n"
    "least one packet ('pes_loss'; in av lost). Sections that fail their CRC_32 are counted per PID\n"
    "(crc_errors; the summary's crc) among those the check reads, and judge\n"
    "nothing. The verdict line ends with '; indicators p1 N, p2 N': the timing\n"
    "indicators of ETSI TR 101 290, timed by the PCR, which change no word:\n"
    "priority 1 PAT_error (no PAT for more than 0.5 s, another table on PID 0,\n"
    "or PID 0 scrambled), PMT_error (no PMT for more than 0.5 s on a PMT PID the\n"
    "PAT names, or scrambled), PID_error (no packet for more than 5 s on a video\n"
    "or audio PID the PMT names); priority 2 CRC_error (a section failing its\n"
    "CRC_32), PCR_repetition_error and PCR_discontinuity_indicator_error (more\n"
    "than 100 ms between PCRs, undeclared), PTS_error (more than 700 ms between\n"
    "PTS of a video or audio PID not scrambled). Occurrences within 1 s merge; none\n"
    "inside a gap; without a PCR only CRC_error and the scrambled PAT and PMT.\n"
    "\n"
    "JSON Lines time every finding from the PCR of the first programme: 'at'\n"
    "(broadcast time to the millisecond, its offset fixed by the first TOT:\n"
    "about +-1 s absolute, 1 ms relative) and 'elapsed' (seconds since the\n"
    "first PCR in the file on the PCR_PID; the recording ends at its last\n"
    "packet); 'gap' objects for missing stretches and clock resets,\n"
    "'damage' objects for the ranges where picture and sound were damaged,\n"
    "'scrambled_range' and 'transport_error_range' objects for the stretches of\n"
    "scrambled and flagged packets (per PID, with its class), and\n"
    "'programme' objects for the programmes the recording overlaps, with what\n"
    "is missing of them; --summary lists them too.\n"
    "\n"
    "The exit status is 0 whatever the stream holds, but with --verdict: 0 when\n"
    "every file is ok, 3 when any is not. 1 when the report cannot be written\n"
    "(the run stops at the first failed write); 2 for a wrong command line,\n"
    "also an --html PATH that would replace a file to check or a file that is\n"
    "no .html or .htm page.\n";

namespace {

constexpr long long kMaxJobs = 4096;
constexpr long long kMaxTolerance = std::numeric_limits<long long>::max();

// A decimal count from 0 to max, the whole text and nothing else: no sign,
// no space, no suffix. A number past max is refused before it is formed, so
// no digit string can wrap.
bool ParseCount(const char* text, long long max, long long& n) {
    if (text == nullptr || *text < '0' || *text > '9') return false;
    n = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        const int digit = *p - '0';
        if (n > (max - digit) / 10) return false;
        n = n * 10 + digit;
    }
    return true;
}

// The long-only --service option's code, past every character.
constexpr int kServiceOption = 0x100;
// The long-only --rank and --programme options' codes.
constexpr int kRankOption = 0x101;
constexpr int kProgrammeOption = 0x102;

// A service_id list, "1024,0x401": each item decimal or 0x hex, 0 to 65535.
bool ParseServices(const char* text, std::vector<int>& ids) {
    if (text == nullptr) return false;
    const std::string all = text;
    size_t from = 0;
    for (;;) {
        const size_t comma = all.find(',', from);
        std::string item = all.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        long long n = 0;
        if (item.size() > 2 && item[0] == '0' && (item[1] == 'x' || item[1] == 'X')) {
            for (size_t i = 2; i < item.size(); ++i) {
                const char ch = item[i];
                const int digit = ch >= '0' && ch <= '9' ? ch - '0'
                                  : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                                  : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                                                           : -1;
                if (digit < 0 || (n = n * 16 + digit) > 0xFFFF) return false;
            }
        } else if (!ParseCount(item.c_str(), 0xFFFF, n)) {
            return false;
        }
        ids.push_back(static_cast<int>(n));
        if (comma == std::string::npos) return true;
        from = comma + 1;
    }
}

// An option's value into c; false, with c.error, when it is none.
bool TakeValue(int ch, const char* value, CommandLine& c) {
    const std::string given = value ? value : "";
    switch (ch) {
        case 'o':
        case 'H':
            if (given.empty()) {
                c.error = std::string("option '--") + (ch == 'o' ? "output" : "html") + "' needs a path";
                return false;
            }
            (ch == 'o' ? c.output : c.html) = given;
            return true;
        case kServiceOption:
            if (ParseServices(value, c.services)) return true;
            c.error = "invalid service '" + given + "'";
            return false;
        default: {
            long long n = 0;
            // Jobs: threads, so a few thousand at most. A tolerance is a
            // packet count, kept within what a signed 64-bit reader of the
            // JSON output takes as it stands.
            if (!ParseCount(value, ch == 'P' ? kMaxJobs : kMaxTolerance, n)) {
                c.error = std::string("invalid ") + (ch == 'P' ? "number of jobs" : "tolerance") + " '" + given + "'";
                return false;
            }
            if (ch == 'P') c.jobs = static_cast<int>(n);
            else c.tolerate = n;
            return true;
        }
    }
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine c;
    static const option kOptions[] = {
        {"utf8", no_argument, nullptr, 'u'},    {"summary", no_argument, nullptr, 's'},
        {"json", no_argument, nullptr, 'j'},    {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'}, {"verdict", no_argument, nullptr, 'c'},
        {"jobs", required_argument, nullptr, 'P'}, {"tolerate", required_argument, nullptr, 't'},
        {"whole", no_argument, nullptr, 'w'},   {"html", required_argument, nullptr, 'H'},
        {"quiet", no_argument, nullptr, 'q'},   {"output", required_argument, nullptr, 'o'},
        {"recursive", no_argument, nullptr, 'r'},
        {"service", required_argument, nullptr, kServiceOption},
        {"rank", no_argument, nullptr, kRankOption},
        {"programme", no_argument, nullptr, kProgrammeOption},
        {nullptr, 0, nullptr, 0},
    };
    // getopt_long permutes the vector it is given; work on a copy so the
    // caller's argv stays as it was.
    std::vector<char*> args(argv, argv + argc);
    args.push_back(nullptr);
    bool help = false, version = false, anyOption = false;
    optind = 0;  // start afresh (glibc): the parser may run more than once in a process
    opterr = 0;
    for (int ch; (ch = getopt_long(argc, args.data(), ":usjhVcP:t:wqo:r", kOptions, nullptr)) != -1;) {
        anyOption = true;
        switch (ch) {
            case 'u': c.utf8 = true; break;
            case 's': c.summary = true; break;
            case 'j': c.json = true; break;
            case 'h': help = true; break;
            case 'V': version = true; break;
            case 'c': c.verdict = true; break;
            case 'w': c.whole = true; break;
            case 'q': c.quiet = true; break;
            case 'r': c.recursive = true; break;
            case kRankOption: c.rank = true; break;
            case kProgrammeOption: c.programme = true; break;
            case 'o':
            case 'H':
            case kServiceOption:
            case 'P':
            case 't':
                if (!TakeValue(ch, optarg, c)) {
                    c.action = CommandLine::Action::kBadUsage;
                    return c;
                }
                break;
            case ':':
                c.action = CommandLine::Action::kBadUsage;
                c.error = std::string("option '") + args[static_cast<size_t>(optind - 1)] + "' needs a value";
                return c;
            default: {
                const char* arg = args[static_cast<size_t>(optind - 1)];
                c.action = CommandLine::Action::kBadUsage;
                if (arg != nullptr && arg[0] == '-' && arg[1] == '-') c.error = std::string("unknown option '") + arg + "'";
                else if (optopt != 0) c.error = std::string("unknown option '-") + static_cast<char>(optopt) + "'";
                else c.error = std::string("unknown option '") + (arg ? arg : "") + "'";
                return c;
            }
        }
    }
    if (help) c.action = CommandLine::Action::kHelp;
    else if (version) c.action = CommandLine::Action::kVersion;
    else if (argc - optind == 1 || (anyOption && argc - optind > 1)) {
        c.action = CommandLine::Action::kCheck;
        for (int i = optind; i < argc; ++i) c.files.emplace_back(args[static_cast<size_t>(i)]);
    } else if (anyOption && argc - optind == 0) {
        c.action = CommandLine::Action::kBadUsage;
        c.error = "no file given";
    } else {
        c.action = CommandLine::Action::kUsage;
    }
    return c;
}

}  // namespace tsvigil
