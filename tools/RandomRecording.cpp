// SPDX-License-Identifier: BSD-2-Clause
#include "tools/RandomRecording.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace tsvigil {

namespace tsgen {

uint64_t SeededRandom::Next() {
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

long long SeededRandom::Between(long long lo, long long hi) {
    return lo + static_cast<long long>(Next() % static_cast<uint64_t>(hi - lo + 1));
}

namespace {

// A third copy of one packet (ISO/IEC 13818-1 allows one duplicate, never
// two).
const char* const kThirdCopyOption = "--triple-pid";

std::string Hex(int pid) {
    char s[8];
    std::snprintf(s, sizeof s, "0x%04X", pid);
    return s;
}

// Hundredths of a second as seconds, "12.34", without floating point.
std::string Seconds(long long hundredths) {
    char s[32];
    std::snprintf(s, sizeof s, "%lld.%02lld", hundredths / 100, hundredths % 100);
    return s;
}

// The draw of one recording: its numbers, and the options so far.
struct Draw {
    Draw(uint64_t seed, int maxSeconds) : r(seed), longest(std::max(1, maxSeconds)) {}

    std::vector<std::string> Arguments() {
        static const int kSizes[] = {188, 192, 204};
        static const long long kRates[] = {100, 200, 200, 250};
        size = kSizes[r.Between(0, 2)];
        rate = kRates[r.Between(0, 3)];
        seconds = r.Between(std::min(4LL, longest), longest);
        // At most 1 MiB with the tails below.
        packets = std::min(seconds * rate, (1048576LL - 8192) / size);
        seconds = (packets + rate - 1) / rate;
        psi = r.Chance(50);
        si = r.Chance(80);
        pcr = r.Chance(80);
        Add("--size", std::to_string(size));
        Add("--rate", std::to_string(rate));
        Add("--packets", std::to_string(packets));
        if (psi) args.push_back("--psi");
        if (si) args.push_back("--si");
        const long long pcrStart = r.Between(0, 2);
        const long long wrap = (1LL << 33) * 300;
        if (pcr && pcrStart == 0) args.push_back("--pcr");
        if (pcr && pcrStart == 1) Add("--pcr-start", std::to_string(r.Between(0, wrap - 1)));
        if (pcr && pcrStart == 2) Add("--pcr-start", std::to_string(wrap - r.Between(1, seconds * 100) * 270000));

        // Each fault kind draws its own numbers whether it is taken or not,
        // so one kind's change leaves the others' draws alone.
        const std::vector<std::function<bool(bool)>> kinds = Kinds();
        std::vector<bool> taken(kinds.size(), false);
        int faults = 0;
        for (size_t i = 0; i < kinds.size(); ++i)
            if (kinds[i](r.Chance(25))) taken[i] = true, ++faults;
        // At least two faults: more kinds, drawn until two were taken.
        for (int tries = 0; faults < 2 && tries < 100; ++tries) {
            const size_t i = static_cast<size_t>(r.Between(0, static_cast<long long>(kinds.size()) - 1));
            if (!taken[i] && kinds[i](true)) taken[i] = true, ++faults;
        }
        return args;
    }

    void Add(const std::string& option, const std::string& value) {
        args.push_back(option);
        args.push_back(value);
    }
    // Every Nth of count things, so that it happens one to four times.
    long long Every(long long count) { return std::max(1LL, count / r.Between(1, 4)); }
    // A PID of the recording and about how many packets it has.
    std::pair<int, long long> Pid() {
        struct Share {
            int pid;
            long long perThousand;
            bool present;
        };
        const Share kPids[] = {
            {0x0111, 600, true},  {0x0112, 80, true},          {0x0012, 100, si}, {0x0014, 1, si},
            {0x0000, 1, true},    {0x01F0, 1, true},           {0x0011, 1, psi},  {0x0901, 1, psi},
            {0x0130, 1, psi},     {0x01FF, pcr ? 40 : 10, psi},
        };
        const Share& s = kPids[r.Between(0, 9)];
        if (!s.present) return {0x0111, packets * 600 / 1000};
        return {s.pid, std::max(1LL, packets * s.perThousand / 1000)};
    }
    std::string PidEvery(bool aimed) {
        const auto p = Pid();
        return Hex(p.first) + ":" + std::to_string(aimed ? Every(p.second) : 1);
    }
    // A moment of the broadcast, in hundredths, inside the recording.
    long long Moment() { return r.Between(50, std::max(51LL, seconds * 100 - 100)); }

    std::vector<std::function<bool(bool)>> Kinds() {
        return {
            [this](bool on) { return Option(on, "--bad-sync-every", std::to_string(Every(packets))); },
            [this](bool on) { return Option(on, "--lose-bytes-every", std::to_string(Every(packets))); },
            [this](bool on) {
                static const long long kCuts[] = {150, 200, 325, 500, 1000};
                const std::string length = Seconds(kCuts[r.Between(0, 4)]);
                return Option(on && pcr, "--cut", length + "@" + Seconds(Moment()));
            },
            [this](bool on) { return Option(on, "--dup-every", std::to_string(Every(packets))); },
            [this](bool on) { return Option(on, "--dup-pid", PidEvery(true)); },
            [this](bool on) { return Option(on && kThirdCopyOption, kThirdCopyOption, PidEvery(true)); },
            [this](bool on) {
                static const int kRuns[] = {15, 15, 15, 14, 16, 17, 31};
                const std::string run = std::to_string(kRuns[r.Between(0, 6)]);
                return Option(on, "--lose-run", run + ":" + std::to_string(Every(packets * 600 / 1000)));
            },
            [this](bool on) { return Option(on, "--drop-every", std::to_string(Every(packets))); },
            [this](bool on) { return Option(on, "--drop-pid", PidEvery(true)); },
            [this](bool on) { return Option(on, "--disc-pid", PidEvery(true)); },
            [this](bool on) { return Option(on, "--scramble-every", std::to_string(r.Between(1, packets / 12))); },
            [this](bool on) {
                const std::string pid = r.Chance(50) ? "0x0112:" : "0x0111:";
                return Option(on, "--scramble-start", pid + std::to_string(r.Between(1, 100)));
            },
            [this](bool on) { return Option(on, "--scramble-pid", PidEvery(true)); },
            [this](bool on) { return Option(on, "--tei-every", std::to_string(Every(packets))); },
            [this](bool on) {
                const std::string at = Seconds(Moment());
                return Option(on && pcr, r.Chance(50) ? "--pcr-reset" : "--pcr-reset-declared", at);
            },
            [this](bool on) {
                const long long length = r.Between(2, std::max(2LL, seconds / 2));
                const long long start = r.Between(1 - length, length - 1);
                return Option(on, "--programmes", std::to_string(start) + ":" + std::to_string(length));
            },
            [this](bool on) { return Option(on && si, "--bad-crc-every", std::to_string(r.Between(1, 30))); },
            [this](bool on) {
                static const char* const kTables[] = {"pat", "pmt", "eit", "tot", "sdt", "cat"};
                const std::string table = kTables[r.Between(0, psi ? 5 : 3)];
                return Option(on && (si || (table != "eit" && table != "tot")), "--bad-crc",
                              table + ":" + std::to_string(r.Between(1, 4)));
            },
            [this](bool on) { return Option(on, "--cut-tail", std::to_string(r.Between(1, size - 1))); },
            [this](bool on) { return Option(on, "--garbage-tail", std::to_string(r.Between(1, 4096))); },
        };
    }
    bool Option(bool on, const char* option, const std::string& value) {
        if (on) Add(option, value);
        return on;
    }

    SeededRandom r;
    std::vector<std::string> args;
    int size = 188;
    long long longest, rate = 200, seconds = 0, packets = 0;
    bool psi = false, si = false, pcr = false;
};

}  // namespace

std::vector<std::string> RandomRecordingArguments(uint64_t seed, int maxSeconds) {
    return Draw(seed, maxSeconds).Arguments();
}

}  // namespace tsgen

}  // namespace tsvigil
