#include "app/MyTOT.h"

void CMyTOT::PrintTime() {
    const CTimeValue& t = m_tLast;
    if (!m_bLastValid) {
        // JST_time fields that are no date (a damaged TDT, say) still mark
        // the place in the report.
        std::fputs("----/--/-- --:--:--\n", m_out);
        return;
    }
    const CTimeFields f = t.Fields();
    std::fprintf(m_out, "%04d/%02d/%02d %02d:%02d:%02d\n", f.year, f.month, f.day, f.hour, f.minute,
                 f.second);
}

void CMyTOT::PrintTimeStamp() {
    if (!m_bStampPending) return;
    PrintTime();
    m_bStampPending = 0;
}

void CMyTOT::CountScrambled(int pid) {
    // Counts saturate rather than overflow on an endless scrambled run.
    if (m_scrambledCount[pid & (kPids - 1)] < INT32_MAX) ++m_scrambledCount[pid & (kPids - 1)];
    m_bScrambled = 1;
}

void CMyTOT::PrintCounts() {
    if (m_bScrambled) {
        for (int pid = 0; pid < kPids; ++pid) {
            if (m_scrambledCount[pid] == 0) continue;
            std::fprintf(m_out, " transport scrambling countrol (pid:0x%04x, %5dpackets).\n", pid,
                         m_scrambledCount[pid]);
            if (m_pSink) m_pSink->OnScrambled(pid, m_scrambledCount[pid]);
            m_scrambledCount[pid] = 0;
        }
        m_bScrambled = 0;
        m_bReported = 1;
    }
    if (m_nTransportErrors != 0) {
        std::fprintf(m_out, " transport error indicator (%5dpackets).\n", m_nTransportErrors);
        if (m_pSink) m_pSink->OnTransportErrors(m_nTransportErrors);
        m_nTransportErrors = 0;
        m_bReported = 1;
    }
}

void CMyTOT::OnComplete(int64_t) {
    // Other tables on PID 0x0014 (a TDT, or anything else that passes its
    // CRC) are not the TOT: they neither close a block nor give a time.
    if (m_buffer[0] != kTableId) return;
    CTimeValue t;
    const bool valid = GetTime(t);
    // The counts belong to the block this TOT closes: they go out while the
    // previous TOT is still the last one.
    PrintCounts();
    m_tLast = t;
    m_bLastValid = valid;
    if (m_nTots++ == 0) {
        m_tFirst = t;
        m_bFirstValid = valid;
    }
    if (m_pSink) m_pSink->OnTot(valid ? &m_tLast : nullptr);
    if (!m_bReported) {
        m_bStampPending = 1;
        return;
    }
    PrintTime();
    m_bReported = 0;
    m_bStampPending = 0;
}
