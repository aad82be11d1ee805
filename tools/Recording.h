// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// Whole synthetic recordings: a realistic PID mix with video, audio, PSI
// and SI, written to a file in blocks so any size can be made.

#include <string>
#include <vector>

namespace tsgen {

// A fault aimed at the packets of one PID, counted from its first packet in
// the file: every Nth of them (N = every), or for scrambleStart the first N.
struct PidFault {
    int pid = -1;
    long long every = 0;
};

struct RecordingOptions {
    int packetSize = 188;
    long long packets = 10000;
    long long bytes = 0;  // when set, overrides packets
    bool si = false;      // TOT every few seconds, EIT present/following and schedule
    bool psi = false;     // the PAT, PMTs, CAT and SDT of RecordingPsi() and packets on their PIDs
    long long dropEvery = 0;
    long long dupEvery = 0;
    long long badSyncEvery = 0;
    long long scrambleEvery = 0;
    long long teiEvery = 0;
    long long badCrcEvery = 0;  // every Nth TOT/EIT section with a damaged CRC_32
    long long loseBytesEvery = 0;  // 100 bytes lost inside every Nth packet
    int cutTail = 0;               // the file ends with this many bytes of one more packet
    long long garbageTail = 0;     // then this many zero bytes
    // Faults on chosen PIDs, whatever they carry (SI and PSI sections too),
    // any number of each; they leave the other PIDs as they would be.
    std::vector<PidFault> dropPid;        // every Nth packet left out: a counter gap
    std::vector<PidFault> dupPid;         // every Nth packet sent twice, the same bytes
    std::vector<PidFault> discPid;        // every Nth packet with discontinuity_indicator and a counter jump of 5
    std::vector<PidFault> scrambleStart;  // the first N packets scrambled
    std::vector<PidFault> scramblePid;    // every Nth packet scrambled
};

bool WriteRecording(const std::string& path, const RecordingOptions& options);

// The sample recording of the demo: every kind of report line.
bool WriteDemoRecording(const std::string& path);

}  // namespace tsgen
