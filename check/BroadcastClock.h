// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <functional>

#include "si/TOT.h"
#include "si/TableDispatcher.h"

// The broadcast's own clock: the JST_time of the TOTs (table_id 0x73) that
// passed their CRC_32 on PID 0x0014. A TDT, a damaged TOT or one cut short
// by a lost packet changes nothing, so a time always shows a verified TOT.
class CBroadcastClock : public CSectionHandler {
public:
    // onTot runs when a TOT completed, before the clock takes its time, so
    // that what belongs to the block it closes still sees the previous one;
    // GetTime() tells the new TOT's time meanwhile.
    explicit CBroadcastClock(std::function<void()> onTot) : m_onTot(std::move(onTot)) {}

    // The time of the last TOT; false before the first, or when its JST_time
    // is no valid date.
    bool LastTime(CTimeValue& t) const {
        t = m_tLast;
        return m_nTots > 0 && m_bLastValid;
    }
    bool FirstTime(CTimeValue& t) const {
        t = m_tFirst;
        return m_nTots > 0 && m_bFirstValid;
    }
    // The JST_time of the TOT handed out last (inside onTot, the new one).
    bool GetTime(CTimeValue& t) const {
        t = m_tot.JST_time;
        return m_tot.has_JST_time;
    }
    int64_t TotCount() const { return m_nTots; }

    int OnSection(const CSectionView& section) override;

private:
    std::function<void()> m_onTot;
    // Only its JST_time is read: the clock needs no descriptors.
    CTOT m_tot;
    CTimeValue m_tLast;
    bool m_bLastValid = false;
    CTimeValue m_tFirst;
    bool m_bFirstValid = false;
    int64_t m_nTots = 0;
};
