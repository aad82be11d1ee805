// SPDX-License-Identifier: BSD-2-Clause
// tsvigil-mkts: writes synthetic ISDB transport stream recordings for the
// tests, the demo and the benchmark.

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/Recording.h"

namespace {

void Usage(std::FILE* to) {
    std::fputs(
        "usage: tsvigil-mkts [options] OUT.ts\n"
        "  --demo             the sample recording of `make demo` (other options ignored)\n"
        "  --size N           packet size: 188, 192 or 204 (default 188)\n"
        "  --packets N        number of transport packets (default 10000)\n"
        "  --bytes N[KMG]     or the file size to reach, in bytes\n"
        "  --si               carry TOT and EIT sections (two services)\n"
        "  --psi              carry a PAT of two services, their PMTs, a CAT and an SDT\n"
        "                     (ECM, EMM, PCR, caption and other PIDs besides)\n"
        "  --drop-every N     leave out every Nth video packet (continuity gaps)\n"
        "  --dup-every N      repeat every Nth video packet\n"
        "  --bad-sync-every N damage the sync byte of every Nth packet\n"
        "  --scramble-every N mark every Nth audio packet scrambled\n"
        "  --tei-every N      set transport_error_indicator on every Nth packet\n"
        "  --bad-crc-every N  damage the CRC_32 of every Nth TOT/EIT section\n"
        "  --lose-bytes-every N  lose 100 bytes inside every Nth packet\n"
        "  --cut-tail N       end with the first N bytes of one more packet\n"
        "  --garbage-tail N   then N zero bytes (with --packets 0: a file of zeros)\n"
        "faults aimed at one PID (hex 0x0111 or decimal 273), any PID, sections' too;\n"
        "its packets are counted from its first; each option may be repeated:\n"
        "  --drop-pid PID:N   leave out every Nth packet of PID (a counter gap)\n"
        "  --dup-pid PID:N    send every Nth packet of PID twice, the same bytes\n"
        "  --disc-pid PID:N   set discontinuity_indicator on every Nth packet of PID,\n"
        "                     its continuity_counter jumping by 5\n"
        "  --scramble-start PID:N  scramble the first N packets of PID\n"
        "  --scramble-pid PID:N    scramble every Nth packet of PID\n",
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

}  // namespace

int main(int argc, char** argv) {
    tsgen::RecordingOptions o;
    std::string out;
    bool demo = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> long long {
            if (i + 1 >= argc) std::exit(BadUsage("option '" + a + "' needs a value"));
            return ParseCount(argv[++i]);
        };
        auto pidFault = [&](std::vector<tsgen::PidFault>& to) {
            if (i + 1 >= argc) std::exit(BadUsage("option '" + a + "' needs a value"));
            tsgen::PidFault f;
            if (!ParsePidFault(argv[++i], f))
                std::exit(BadUsage("option '" + a + "' takes PID:N (PID 0x0000 to 0x1FFF, N at least 1), not '" +
                                   argv[i] + "'"));
            to.push_back(f);
        };
        if (a == "--help" || a == "-h") {
            Usage(stdout);
            return 0;
        }
        if (a == "--demo") demo = true;
        else if (a == "--size") o.packetSize = static_cast<int>(next());
        else if (a == "--packets") o.packets = next();
        else if (a == "--bytes") o.bytes = next();
        else if (a == "--si") o.si = true;
        else if (a == "--psi") o.psi = true;
        else if (a == "--drop-every") o.dropEvery = next();
        else if (a == "--dup-every") o.dupEvery = next();
        else if (a == "--bad-sync-every") o.badSyncEvery = next();
        else if (a == "--scramble-every") o.scrambleEvery = next();
        else if (a == "--tei-every") o.teiEvery = next();
        else if (a == "--bad-crc-every") o.badCrcEvery = next();
        else if (a == "--lose-bytes-every") o.loseBytesEvery = next();
        else if (a == "--cut-tail") o.cutTail = static_cast<int>(next());
        else if (a == "--garbage-tail") o.garbageTail = next();
        else if (a == "--drop-pid") pidFault(o.dropPid);
        else if (a == "--dup-pid") pidFault(o.dupPid);
        else if (a == "--disc-pid") pidFault(o.discPid);
        else if (a == "--scramble-start") pidFault(o.scrambleStart);
        else if (a == "--scramble-pid") pidFault(o.scramblePid);
        else if (!a.empty() && a[0] != '-' && out.empty()) out = a;
        else if (!a.empty() && a[0] == '-') return BadUsage("unknown option '" + a + "'");
        else return BadUsage("more than one output file ('" + out + "', '" + a + "')");
    }
    if (out.empty()) return BadUsage("no output file given");
    if (o.packetSize != 188 && o.packetSize != 192 && o.packetSize != 204)
        return BadUsage("packet size " + std::to_string(o.packetSize) + " is not 188, 192 or 204");
    const bool ok = demo ? tsgen::WriteDemoRecording(out) : tsgen::WriteRecording(out, o);
    if (!ok) {
        std::fprintf(stderr, "tsvigil-mkts: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
