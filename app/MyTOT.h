#pragma once

#include <cstdint>
#include <cstdio>

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

    explicit CMyTOT(std::FILE* out = stdout) : m_out(out) {}

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

    std::FILE* m_out;
};
