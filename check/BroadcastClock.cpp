// SPDX-License-Identifier: BSD-2-Clause
#include "check/BroadcastClock.h"

namespace tsvigil {

int BroadcastClock::OnSection(const SectionView& section) {
    // Other tables on PID 0x0014 (a TDT, or anything else that passes its
    // CRC) are not the TOT: they neither close a block nor give a time.
    if (section.data[0] != TOT::kTableId) return 0;
    const bool valid = m_tot.ParseTime(section.data, section.length);
    if (m_onTot) m_onTot();
    m_last = m_tot.JST_time;
    m_lastValid = valid;
    if (m_tots++ == 0) {
        m_first = m_last;
        m_firstValid = valid;
    }
    return 0;
}

}  // namespace tsvigil
