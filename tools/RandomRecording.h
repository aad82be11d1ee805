// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// A whole damaged recording drawn from one number: packet size, rate,
// length, PSI and SI, the clock, and a mix of faults, given as the
// generator's own options so that a seed can be printed, read and replayed.

#include <cstdint>
#include <string>
#include <vector>

namespace tsvigil {

namespace tsgen {

// splitmix64: the same numbers on every machine and library (the standard
// distributions are implementation-defined, rand() too).
class SeededRandom {
public:
    explicit SeededRandom(uint64_t seed) : m_state(seed) {}
    uint64_t Next();
    // lo to hi inclusive (hi >= lo); the modulo's bias does not matter here.
    long long Between(long long lo, long long hi);
    // True with probability percent / 100.
    bool Chance(int percent) { return Between(0, 99) < percent; }

private:
    uint64_t m_state;
};

// The options of tsvigil-mkts (without the output file) for a seed: every
// seed gives a recording of at most 1 MiB and maxSeconds of broadcast, with
// at least two faults.
std::vector<std::string> RandomRecordingArguments(uint64_t seed, int maxSeconds = 20);

}  // namespace tsgen

}  // namespace tsvigil
