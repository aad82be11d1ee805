// SPDX-License-Identifier: BSD-2-Clause
#include "check/BroadcastClock.h"

void CBroadcastClock::OnComplete() {
    // Other tables on PID 0x0014 (a TDT, or anything else that passes its
    // CRC) are not the TOT: they neither close a block nor give a time.
    if (m_buffer[0] != kTableId) return;
    CTimeValue t;
    const bool valid = GetTime(t);
    if (m_onTot) m_onTot();
    m_tLast = t;
    m_bLastValid = valid;
    if (m_nTots++ == 0) {
        m_tFirst = t;
        m_bFirstValid = valid;
    }
}
