#pragma once

// Whole synthetic recordings: a realistic PID mix with video, audio, PSI
// and SI, written to a file in blocks so any size can be made.

#include <string>

namespace tsgen {

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
};

bool WriteRecording(const std::string& path, const RecordingOptions& options);

// The sample recording of the demo: every kind of report line.
bool WriteDemoRecording(const std::string& path);

}  // namespace tsgen
