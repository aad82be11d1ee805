#pragma once

#include <cstdint>
#include <vector>

#include "check/Finding.h"

class CPidRoles;

// What a check counts per PID, for every run: one increment per packet is
// cheaper than a test of whether anyone wants it.
struct CPidCounts {
    uint64_t packets = 0;
    uint64_t continuityErrors = 0;
    uint64_t transportErrors = 0;
    uint64_t scrambled = 0;
};

// What a finished check hands its outputs besides the findings.
struct CCheckStats {
    static constexpr int kPids = 8192;
    std::vector<CPidCounts> pids = std::vector<CPidCounts>(kPids);
    const char* file = nullptr;  // the input's name as given, or null
    int64_t bytes = 0;
    int packetSize = 0;  // the size last announced, 0 before the first packet
    uint64_t syncErrors = 0;
    // The TOTs that passed their CRC_32; a time is valid only when its
    // JST_time was a date.
    int64_t tots = 0;
    bool firstTotValid = false;
    CTimeValue firstTot;
    bool lastTotValid = false;
    CTimeValue lastTot;
    // What each PID carries, as the PSI/SI said by the end; null unless an
    // output asked for roles.
    const CPidRoles* roles = nullptr;
};

// A reader of a check's findings. Each output keeps its own state; a check
// hands every finding to each of its outputs in the order given, then calls
// Finish() once.
class COutput {
public:
    virtual ~COutput() = default;
    virtual void On(const CFinding& finding) = 0;
    virtual void Finish(const CCheckStats& stats) { (void)stats; }
    // Whether the check should follow the PAT, PMTs, CAT and SDT for the
    // PIDs' roles and the services' names.
    virtual bool WantsRoles() const { return false; }
};
