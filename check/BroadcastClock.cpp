// SPDX-License-Identifier: BSD-2-Clause
#include "check/BroadcastClock.h"

int CBroadcastClock::OnSection(const CSectionView& section) {
    // Other tables on PID 0x0014 (a TDT, or anything else that passes its
    // CRC) are not the TOT: they neither close a block nor give a time.
    if (section.data[0] != CTOT::kTableId) return 0;
    const bool valid = m_tot.ParseTime(section.data, section.length);
    if (m_onTot) m_onTot();
    m_tLast = m_tot.JST_time;
    m_bLastValid = valid;
    if (m_nTots++ == 0) {
        m_tFirst = m_tLast;
        m_bFirstValid = valid;
    }
    return 0;
}
