// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <functional>

#include "si/TOT.h"
#include "si/TableDispatcher.h"

namespace tsvigil {

// The broadcast's own clock: the JST_time of the TOTs (table_id 0x73) that
// passed their CRC_32 on PID 0x0014. A TDT, a damaged TOT or one cut short
// by a lost packet changes nothing, so a time always shows a verified TOT.
class BroadcastClock : public SectionHandler {
public:
    // onTot runs when a TOT completed, before the clock takes its time, so
    // that what belongs to the block it closes still sees the previous one;
    // GetTime() tells the new TOT's time meanwhile.
    explicit BroadcastClock(std::function<void()> onTot) : m_onTot(std::move(onTot)) {}

    // The time of the last TOT; false before the first, or when its JST_time
    // is no valid date.
    bool LastTime(TimeValue& t) const {
        t = m_last;
        return m_tots > 0 && m_lastValid;
    }
    bool FirstTime(TimeValue& t) const {
        t = m_first;
        return m_tots > 0 && m_firstValid;
    }
    // The JST_time of the TOT handed out last (inside onTot, the new one).
    bool GetTime(TimeValue& t) const {
        t = m_tot.JST_time;
        return m_tot.has_JST_time;
    }
    int64_t TotCount() const { return m_tots; }

    int OnSection(const SectionView& section) override;

private:
    std::function<void()> m_onTot;
    // Only its JST_time is read: the clock needs no descriptors.
    TOT m_tot;
    TimeValue m_last;
    bool m_lastValid = false;
    TimeValue m_first;
    bool m_firstValid = false;
    int64_t m_tots = 0;
};

}  // namespace tsvigil
