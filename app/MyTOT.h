#pragma once

#include <cstdint>
#include <cstdio>

#include "app/ReportSink.h"
#include "si/TOT.h"

// The report's clock and its tally of faults reported in bulk. Every
// finding is bracketed by TOT times: the first line of a block of findings
// is preceded by the time of the last TOT when that TOT printed nothing, and
// the next TOT after findings prints the bulk counts and then its own time.
class CMyTOT : public CTOT {
public:
    static constexpr int kPids = 8192;

    int m_bStampPending = 0;  // a TOT arrived whose time has not been printed
    int m_bReported = 0;      // a report line was printed since the last stamp
    int m_bScrambled = 0;     // some m_scrambledCount entry is not 0
    int m_scrambledCount[kPids] = {};
    int m_nTransportErrors = 0;

    CReportSink* m_pSink = nullptr;  // told of every TOT and count, when set

    explicit CMyTOT(std::FILE* out = stdout) : m_out(out) {}

    // The time of the first and of the last TOT that completed; false before
    // the first, or when that TOT's JST_time is no valid date.
    bool FirstTime(CTimeValue& t) const {
        t = m_tFirst;
        return m_nTots > 0 && m_bFirstValid;
    }
    int64_t TotCount() const { return m_nTots; }
    bool LastTime(CTimeValue& t) const {
        t = m_tLast;
        return m_nTots > 0 && m_bLastValid;
    }

    // Prints the time of the last TOT if it is still pending. Every writer
    // of a finding calls this right before its line.
    void PrintTimeStamp();
    void CountScrambled(int pid);
    // Prints the bulk counts not yet printed: scrambled packets per PID in
    // ascending order, then transport errors. Sets m_bReported when it
    // printed anything.
    void PrintCounts();
    void OnComplete(int64_t packetCount) override;

private:
    void PrintTime();

    // The time of the TOT that completed last: a stamp always shows a
    // verified TOT, never what a later damaged or partial section left in
    // the buffer.
    CTimeValue m_tLast;
    bool m_bLastValid = false;
    CTimeValue m_tFirst;
    bool m_bFirstValid = false;
    int64_t m_nTots = 0;

    std::FILE* m_out;
};
