// SPDX-License-Identifier: BSD-2-Clause
// tsvigil-mkts: writes synthetic ISDB transport stream recordings for the
// tests, the demo and the benchmark.

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/RandomRecording.h"
#include "tools/Recording.h"

namespace tsvigil {

namespace {

void Usage(std::FILE* to) {
    std::fputs(
        "usage: tsvigil-mkts [options] OUT.ts\n"
        "  --demo             the sample recording of `make demo` (other options ignored)\n"
        "  --seed N           a whole recording drawn from N: packet size, rate, length,\n"
        "                     PSI, SI, clock and faults, the same on every machine; the\n"
        "                     other options given change what they name\n"
        "  --seed-seconds S   with --seed: at most S seconds of broadcast (default 20)\n"
        "  --print-args       print the options the recording is made from (with --seed,\n"
        "                     those drawn, then those given) and write nothing\n"
        "  --batch            (alone) a recording a line of standard input: its options\n"
        "                     and OUT.ts; # begins a comment\n"
        "  --size N           packet size: 188, 192 or 204 (default 188)\n"
        "  --packets N        number of transport packets (default 10000)\n"
        "  --bytes N[KMG]     or the file size to reach, in bytes\n"
        "  --si               carry TOT and EIT sections (two services)\n"
        "  --psi              carry a PAT of two services, their PMTs, a CAT and an SDT\n"
        "                     (ECM, EMM, PCR, caption and other PIDs besides)\n"
        "  --plain-name TEXT  with --psi: the SDT names the first service by TEXT's\n"
        "                     bytes as they stand, not as ARIB text (as a remuxer does)\n"
        "  --drop-every N     leave out every Nth video packet (continuity gaps)\n"
        "  --dup-every N      send every Nth video packet twice, the same bytes\n"
        "  --bad-sync-every N damage the sync byte of every Nth packet\n"
        "  --scramble-every N mark every Nth audio packet scrambled\n"
        "  --tei-every N      set transport_error_indicator on every Nth packet\n"
        "  --bad-crc-every N  damage the CRC_32 of every Nth TOT/EIT section\n"
        "  --bad-crc TABLE:N  damage the CRC_32 of every Nth section of TABLE: pat, cat,\n"
        "                     pmt, sdt, eit or tot (may be repeated)\n"
        "  --lose-run RUN:N   every Nth video packet follows RUN lost ones (its counter\n"
        "                     moves on by RUN + 1; a run of 15 repeats the counter)\n"
        "  --lose-bytes-every N  lose 100 bytes inside every Nth packet\n"
        "  --cut-tail N       end with the first N bytes of one more packet\n"
        "  --garbage-tail N   then N zero bytes (with --packets 0: a file of zeros)\n"
        "faults aimed at one PID (hex 0x0111 or decimal 273), any PID, sections' too;\n"
        "its packets are counted from its first; each option may be repeated:\n"
        "  --drop-pid PID:N   leave out every Nth packet of PID (a counter gap)\n"
        "  --dup-pid PID:N    send every Nth packet of PID twice, the same bytes\n"
        "  --triple-pid PID:N send every Nth packet of PID three times, the same bytes\n"
        "  --disc-pid PID:N   set discontinuity_indicator on every Nth packet of PID,\n"
        "                     its continuity_counter jumping by 5\n"
        "  --scramble-start PID:N  scramble the first N packets of PID\n"
        "  --scramble-pid PID:N    scramble every Nth packet of PID\n"
        "timed recordings: with any option below, packet n of the broadcast (from 0,\n"
        "the packets left out counted) is sent n / 11000 s after 2008/06/01 12:00:00\n"
        "JST, as its TOT, EIT and PCR say; SECONDS and SECOND may be fractional:\n"
        "  --pcr              a PCR every 40 ms on the PCR_PID of the first programme\n"
        "                     (0x01FF with --psi, else 0x0111), adaptation field only\n"
        "  --pcr-start N      the first packet's PCR in 27 MHz units, below 2^33*300\n"
        "                     (default 2^33*300 - 20 s: the base wraps 20 s in);\n"
        "                     implies --pcr\n"
        "  --pcr-reset SECOND the PCR goes back 60 s from the first PCR at SECOND or\n"
        "                     after it (implies --pcr; may be repeated)\n"
        "  --pcr-reset-declared SECOND  the same, that PCR's packet setting\n"
        "                     discontinuity_indicator\n"
        "  --cut SECONDS@SECOND  leave out SECONDS of broadcast from SECOND on; PCR,\n"
        "                     TOT, EIT and counters go on as if it had been sent\n"
        "                     (--packets and --bytes count what the file holds)\n"
        "  --programmes START:LENGTH  the first service's programmes last LENGTH\n"
        "                     whole seconds; the one on air at the first packet (event\n"
        "                     1) began START seconds before it (negative: the next one\n"
        "                     begins -START seconds after it); implies --si\n"
        "  --rate N           N packets a second of broadcast instead of 11000 (at least\n"
        "                     100): a few hundred put many TOTs in a small file\n"
        "  --psi-from SECOND  no PAT or PMT before SECOND of the broadcast\n"
        "  --no-pat SECONDS@SECOND  no PAT for SECONDS of broadcast from SECOND on\n"
        "  --no-pmt PID:SECONDS@SECOND  no PMT on PID for SECONDS from SECOND on\n"
        "  --no-pcr SECONDS@SECOND  the PCR packets carry no PCR for SECONDS from\n"
        "                     SECOND on (implies --pcr)\n"
        "  --pcr-pids-before N  first, N PIDs from 0x1000 on carry one PCR each\n"
        "PES on the picture (0x0111) and sound (0x0112) PIDs, with a PTS of the\n"
        "broadcast clock (the PCR's, 0.3 s ahead):\n"
        "  --pes              sound PES of 4 packets with PES_packet_length, a picture\n"
        "                     PES a frame (1001/30000 s) with PES_packet_length 0\n"
        "  --pes-vary         the sound PES cycle through 4, 8, 4 and 12 packets\n"
        "  --pes-long N       every Nth sound PES says a packet more than it carries\n"
        "  --no-pts SECONDS@SECOND  the PES begun in that stretch carry no PTS\n"
        "  --drop-run PID:RUN@SECOND  leave out RUN packets of PID in a row from the\n"
        "                     first at SECOND or after it (16 leave its counter as it was)\n",
        to);
}

int BadUsage(const std::string& why) {
    std::fprintf(stderr, "tsvigil-mkts: %s\n", why.c_str());
    Usage(stderr);
    return 2;
}

long long ParseCount(const char* s) {
    char* end = nullptr;
    long long v = std::strtoll(s, &end, 0);
    if (end && (*end == 'K' || *end == 'k')) v <<= 10;
    if (end && (*end == 'M' || *end == 'm')) v <<= 20;
    if (end && (*end == 'G' || *end == 'g')) v <<= 30;
    return v;
}

// PID:N, the PID in hex (0x prefix) or decimal, N a positive decimal.
bool ParsePidFault(const std::string& s, tsgen::PidFault& f) {
    const size_t colon = s.find(':');
    if (colon == std::string::npos) return false;
    std::string pid = s.substr(0, colon);
    const std::string n = s.substr(colon + 1);
    const bool hex = pid.size() > 2 && pid[0] == '0' && (pid[1] == 'x' || pid[1] == 'X');
    if (hex) pid.erase(0, 2);
    auto digits = [](const std::string& v, bool hexDigits) {
        if (v.empty() || v.size() > 12) return false;
        for (const char c : v) {
            const int u = static_cast<unsigned char>(c);
            if (!(hexDigits ? std::isxdigit(u) : std::isdigit(u))) return false;
        }
        return true;
    };
    if (!digits(pid, hex) || !digits(n, false)) return false;
    const long long p = std::strtoll(pid.c_str(), nullptr, hex ? 16 : 10);
    const long long every = std::strtoll(n.c_str(), nullptr, 10);
    if (p > 0x1FFF || every < 1) return false;
    f.pid = static_cast<int>(p);
    f.every = every;
    return true;
}

// A number of seconds, fractional or not, not negative.
bool ParseSeconds(const std::string& s, double& v) {
    if (s.empty() || !(std::isdigit(static_cast<unsigned char>(s[0])) || s[0] == '.')) return false;
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return end && *end == '\0' && v >= 0 && v < 1e9;
}

// A whole number of seconds, negative too.
bool ParseWholeSeconds(const std::string& s, int& v) {
    const size_t sign = !s.empty() && (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (s.size() <= sign || s.size() > sign + 9) return false;
    for (size_t i = sign; i < s.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    v = std::atoi(s.c_str());
    return true;
}

// The first packet's PCR in 27 MHz units, decimal or hex (0x); it turns the PCR on.
bool ParsePcrStart(const std::string& s, tsgen::RecordingOptions& o) {
    if (s.empty() || !std::isdigit(static_cast<unsigned char>(s[0]))) return false;
    char* end = nullptr;
    const unsigned long long n = std::strtoull(s.c_str(), &end, 0);
    if (!end || *end || n >= (1ULL << 33) * 300) return false;
    o.pcrStart = n;
    o.pcr = true;
    return true;
}

// SECONDS@SECOND.
bool ParseCut(const std::string& s, tsgen::RecordingOptions& o) {
    const size_t at = s.find('@');
    return at != std::string::npos && ParseSeconds(s.substr(0, at), o.cutSeconds) &&
           ParseSeconds(s.substr(at + 1), o.cutAt) && o.cutSeconds > 0;
}

// SECONDS@SECOND, and PID:SECONDS@SECOND for a PMT.
bool ParseWithheld(const std::string& s, tsgen::RecordingOptions::Withheld& w) {
    const size_t at = s.find('@'), colon = s.find(':');
    std::string span = s.substr(0, at);
    if (colon != std::string::npos && colon < at) {
        tsgen::PidFault f;
        if (!ParsePidFault(s.substr(0, colon) + ":1", f)) return false;
        w.pid = f.pid;
        span = s.substr(colon + 1, at - colon - 1);
    }
    return at != std::string::npos && ParseSeconds(span, w.seconds) && ParseSeconds(s.substr(at + 1), w.at) &&
           w.seconds > 0;
}
bool ParseNoPat(const std::string& s, tsgen::RecordingOptions& o) {
    tsgen::RecordingOptions::Withheld w;
    if (s.find(':') != std::string::npos || !ParseWithheld(s, w)) return false;
    w.pid = 0;
    o.withheldSections.push_back(w);
    return true;
}
bool ParseNoPmt(const std::string& s, tsgen::RecordingOptions& o) {
    tsgen::RecordingOptions::Withheld w;
    if (!ParseWithheld(s, w) || w.pid <= 0) return false;
    o.withheldSections.push_back(w);
    return true;
}
bool ParseNoPcr(const std::string& s, tsgen::RecordingOptions& o) {
    tsgen::RecordingOptions::Withheld w;
    if (s.find(':') != std::string::npos || !ParseWithheld(s, w)) return false;
    o.withheldPcr.push_back(w);
    o.pcr = true;
    return true;
}

// START:LENGTH.
bool ParseProgrammes(const std::string& s, tsgen::RecordingOptions& o) {
    const size_t colon = s.find(':');
    return colon != std::string::npos && ParseWholeSeconds(s.substr(0, colon), o.programmeStartOffset) &&
           ParseWholeSeconds(s.substr(colon + 1), o.programmeSeconds) && o.programmeSeconds >= 1;
}

// TABLE:N, TABLE a name of the tables whose sections carry a CRC_32.
bool ParseBadCrc(const std::string& s, tsgen::RecordingOptions& o) {
    struct Table {
        const char* name;
        int lo, hi;
    };
    static const Table kTables[] = {{"pat", 0x00, 0x00}, {"cat", 0x01, 0x01}, {"pmt", 0x02, 0x02},
                                     {"sdt", 0x42, 0x42}, {"eit", 0x4E, 0x6F}, {"tot", 0x73, 0x73}};
    const size_t colon = s.find(':');
    if (colon == std::string::npos) return false;
    const std::string name = s.substr(0, colon);
    int every = 0;
    if (!ParseWholeSeconds(s.substr(colon + 1), every) || every < 1) return false;
    for (const Table& t : kTables)
        if (name == t.name) {
            o.badCrc.push_back({t.lo, t.hi, every});
            return true;
        }
    return false;
}

// SECONDS@SECOND, for the stretch of PES without a PTS.
bool ParseNoPts(const std::string& s, tsgen::RecordingOptions& o) {
    const size_t at = s.find('@');
    return at != std::string::npos && ParseSeconds(s.substr(0, at), o.noPtsSeconds) &&
           ParseSeconds(s.substr(at + 1), o.noPtsAt) && o.noPtsSeconds > 0;
}

// PID:RUN@SECOND.
bool ParseDropRun(const std::string& s, tsgen::RecordingOptions& o) {
    const size_t at = s.find('@');
    tsgen::PidFault f;
    tsgen::RecordingOptions::DropRun r;
    if (at == std::string::npos || !ParsePidFault(s.substr(0, at), f) || !ParseSeconds(s.substr(at + 1), r.at))
        return false;
    r.pid = f.pid;
    r.count = f.every;
    o.dropRuns.push_back(r);
    return true;
}

// RUN:N, both positive.
bool ParseLossRun(const std::string& s, tsgen::RecordingOptions& o) {
    const size_t colon = s.find(':');
    int run = 0, every = 0;
    if (colon == std::string::npos || !ParseWholeSeconds(s.substr(0, colon), run) ||
        !ParseWholeSeconds(s.substr(colon + 1), every) || run < 1 || run > 1000 || every < 1)
        return false;
    o.lossRun = run;
    o.lossRunEvery = every;
    return true;
}

// The arguments with --seed N (and --seed-seconds S) replaced by the
// options it draws, put first so that the options given change what they
// name.
std::vector<std::string> ExpandSeed(const std::vector<std::string>& given) {
    std::vector<std::string> rest;
    bool seeded = false;
    unsigned long long seed = 0, seconds = 20;
    for (size_t i = 0; i < given.size(); ++i) {
        const std::string& a = given[i];
        if (a != "--seed" && a != "--seed-seconds") {
            rest.push_back(a);
            continue;
        }
        if (i + 1 >= given.size()) std::exit(BadUsage("option '" + a + "' needs a value"));
        const std::string& v = given[++i];
        char* end = nullptr;
        const unsigned long long n = std::strtoull(v.c_str(), &end, 0);
        if (v.empty() || !std::isdigit(static_cast<unsigned char>(v[0])) || !end || *end ||
            (a == "--seed-seconds" && (n < 1 || n > 3600)))
            std::exit(BadUsage("option '" + a + "' takes a number, not '" + v + "'"));
        (a == "--seed" ? seed : seconds) = n;
        seeded |= a == "--seed";
    }
    if (!seeded) return rest;
    std::vector<std::string> drawn = tsgen::RandomRecordingArguments(seed, static_cast<int>(seconds));
    drawn.insert(drawn.end(), rest.begin(), rest.end());
    return drawn;
}

// One recording from its options; the exit status.
int Run(const std::vector<std::string>& given) {
    tsgen::RecordingOptions o;
    std::string out;
    bool demo = false;
    bool printArgs = false;
    const std::vector<std::string> args = ExpandSeed(given);
    const size_t argCount = args.size();
    for (size_t i = 0; i < argCount; ++i) {
        const std::string a = args[i];
        auto next = [&]() -> long long {
            if (i + 1 >= argCount) std::exit(BadUsage("option '" + a + "' needs a value"));
            return ParseCount(args[++i].c_str());
        };
        auto pidFault = [&](std::vector<tsgen::PidFault>& to) {
            if (i + 1 >= argCount) std::exit(BadUsage("option '" + a + "' needs a value"));
            tsgen::PidFault f;
            if (!ParsePidFault(args[++i], f))
                std::exit(BadUsage("option '" + a + "' takes PID:N (PID 0x0000 to 0x1FFF, N at least 1), not '" +
                                   args[i] + "'"));
            to.push_back(f);
        };
        auto value = [&]() -> std::string {
            if (i + 1 >= argCount) std::exit(BadUsage("option '" + a + "' needs a value"));
            return args[++i];
        };
        // A value in a form of its own; a bad one ends with the usage.
        auto form = [&](bool (*parse)(const std::string&, tsgen::RecordingOptions&), const char* what) {
            const std::string v = value();
            if (!parse(v, o)) std::exit(BadUsage("option '" + a + "' takes " + what + ", not '" + v + "'"));
        };
        auto seconds = [&]() {
            const std::string v = value();
            double d = 0;
            if (!ParseSeconds(v, d)) std::exit(BadUsage("option '" + a + "' takes seconds, not '" + v + "'"));
            return d;
        };
        if (a == "--help" || a == "-h") {
            Usage(stdout);
            return 0;
        }
        if (a == "--demo") demo = true;
        else if (a == "--print-args") printArgs = true;
        else if (a == "--size") o.packetSize = static_cast<int>(next());
        else if (a == "--packets") o.packets = next();
        else if (a == "--bytes") o.bytes = next();
        else if (a == "--si") o.si = true;
        else if (a == "--psi") o.psi = true;
        else if (a == "--plain-name") o.plainServiceName = value().substr(0, 200);
        else if (a == "--drop-every") o.dropEvery = next();
        else if (a == "--dup-every") o.dupEvery = next();
        else if (a == "--bad-sync-every") o.badSyncEvery = next();
        else if (a == "--scramble-every") o.scrambleEvery = next();
        else if (a == "--tei-every") o.teiEvery = next();
        else if (a == "--bad-crc-every") o.badCrcEvery = next();
        else if (a == "--bad-crc") form(ParseBadCrc, "TABLE:N, TABLE pat, cat, pmt, sdt, eit or tot");
        else if (a == "--lose-run") form(ParseLossRun, "RUN:N, RUN 1 to 1000, N at least 1");
        else if (a == "--rate") o.packetsPerSecond = next();
        else if (a == "--lose-bytes-every") o.loseBytesEvery = next();
        else if (a == "--cut-tail") o.cutTail = static_cast<int>(next());
        else if (a == "--garbage-tail") o.garbageTail = next();
        else if (a == "--drop-pid") pidFault(o.dropPid);
        else if (a == "--dup-pid") pidFault(o.dupPid);
        else if (a == "--triple-pid") pidFault(o.triplePid);
        else if (a == "--disc-pid") pidFault(o.discPid);
        else if (a == "--scramble-start") pidFault(o.scrambleStart);
        else if (a == "--scramble-pid") pidFault(o.scramblePid);
        else if (a == "--pcr") o.pcr = true;
        else if (a == "--pcr-start") form(ParsePcrStart, "0 to 2^33*300-1");
        else if (a == "--pcr-reset") o.pcrReset.push_back(seconds());
        else if (a == "--pcr-reset-declared") o.pcrResetDeclared.push_back(seconds());
        else if (a == "--cut") form(ParseCut, "SECONDS@SECOND, SECONDS above 0");
        else if (a == "--psi-from") o.psiFrom = seconds();
        else if (a == "--pcr-pids-before") o.pcrPidsBefore = static_cast<int>(next());
        else if (a == "--no-pat") form(ParseNoPat, "SECONDS@SECOND, SECONDS above 0");
        else if (a == "--no-pmt") form(ParseNoPmt, "PID:SECONDS@SECOND, SECONDS above 0");
        else if (a == "--no-pcr") form(ParseNoPcr, "SECONDS@SECOND, SECONDS above 0");
        else if (a == "--pes") o.pes = true;
        else if (a == "--pes-vary") o.pes = o.pesVary = true;
        else if (a == "--pes-long") o.pesLongEvery = next(), o.pes = true;
        else if (a == "--no-pts") form(ParseNoPts, "SECONDS@SECOND, SECONDS above 0");
        else if (a == "--drop-run") form(ParseDropRun, "PID:RUN@SECOND, RUN at least 1");
        else if (a == "--programmes") form(ParseProgrammes, "START:LENGTH in whole seconds, LENGTH at least 1");
        else if (!a.empty() && a[0] != '-' && out.empty()) out = a;
        else if (!a.empty() && a[0] == '-') return BadUsage("unknown option '" + a + "'");
        else return BadUsage("more than one output file ('" + out + "', '" + a + "')");
    }
    if (printArgs) {
        std::string line;
        for (const std::string& a : args)
            if (a != "--print-args") line += (line.empty() ? "" : " ") + a;
        std::printf("%s\n", line.c_str());
        return 0;
    }
    if (out.empty()) return BadUsage("no output file given");
    if (o.packetsPerSecond < 100 || o.packetsPerSecond > 1000000)
        return BadUsage("rate " + std::to_string(o.packetsPerSecond) + " is not 100 to 1000000");
    if (o.packetSize != 188 && o.packetSize != 192 && o.packetSize != 204)
        return BadUsage("packet size " + std::to_string(o.packetSize) + " is not 188, 192 or 204");
    const bool ok = demo ? tsgen::WriteDemoRecording(out) : tsgen::WriteRecording(out, o);
    if (!ok) {
        std::fprintf(stderr, "tsvigil-mkts: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}

// --batch: a recording per line of standard input, its options and output
// file split at blanks; empty lines and lines from # on are skipped. One
// process writes a whole corpus.
int RunBatch() {
    char line[4096];
    while (std::fgets(line, sizeof line, stdin)) {
        std::vector<std::string> words;
        std::string word;
        for (const char* c = line; *c && *c != '#'; ++c) {
            if (!std::isspace(static_cast<unsigned char>(*c))) {
                word += *c;
            } else if (!word.empty()) {
                words.push_back(word);
                word.clear();
            }
        }
        if (!word.empty()) words.push_back(word);
        if (words.empty()) continue;
        std::fflush(stdout);
        if (const int status = Run(words)) return status;
    }
    return 0;
}

}  // namespace

}  // namespace tsvigil

using namespace tsvigil;

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--batch") return RunBatch();
    return Run(std::vector<std::string>(argv + 1, argv + argc));
}
