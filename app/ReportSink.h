#pragma once

#include <cstdint>
#include <string>

class CEITEvent;
class CTimeValue;

// A receiver of the checker's findings as they happen, for outputs other
// than the text report (which CMyTOT, CMyEIT and the packet loop print
// themselves). Offsets are byte offsets in the input; a TOT or an event is
// placed at the packet that completed its section.
class CReportSink {
public:
    virtual ~CReportSink() = default;

    virtual void OnPacketSize(int size, int64_t offset) = 0;
    // offset: where the bytes skipped for lost sync begin.
    virtual void OnSyncError(int64_t offset) = 0;
    virtual void OnContinuityError(int pid, int last, int counter, int64_t offset) = 0;
    // A TOT completed; time is null when its JST_time is no valid date.
    virtual void OnTot(const CTimeValue* time) = 0;
    virtual void OnScrambled(int pid, int packets) = 0;
    virtual void OnTransportErrors(int packets) = 0;
    // The present event of a service changed; name is the labelled event
    // name in Shift_JIS, as the text report prints it.
    virtual void OnEvent(int serviceId, const CEITEvent& event, const std::string& name) = 0;
};

// What the summary is made of: the packet loop counts per PID for every
// run, with or without a summary, since one increment per packet is cheaper
// than a test of whether anyone wants it.
struct CPidCounts {
    uint64_t packets = 0;
    uint64_t continuityErrors = 0;
    uint64_t transportErrors = 0;
    uint64_t scrambled = 0;
};

struct CRunStats {
    static constexpr int kPids = 8192;
    CPidCounts pids[kPids];
    int64_t bytes = 0;
    int packetSize = 0;  // the size last announced, 0 before the first packet
    uint64_t syncErrors = 0;
};
