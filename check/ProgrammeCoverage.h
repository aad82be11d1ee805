// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>
#include <vector>

#include "base/TimeValue.h"
#include "check/Finding.h"
#include "si/EIT.h"

class CBroadcastClock;
class CPidRoles;
class CTimeline;

// Which programmes a recording overlaps, and how much of each it holds: the
// present and following events of the EIT (ARIB STD-B10) are kept as they
// are first seen, and at the end each is set against the broadcast time
// the recording covers, by the timeline's offsets, less its gaps and the
// time a re-anchored clock skipped.
class CProgrammeCoverage {
public:
    // A present or following event of a service.
    void OnProgramme(int serviceId, const CEITEvent& event);

    // The kProgramme findings of the services with picture or sound, by
    // service and start: the recording covers elapsed ticks 0 to elapsed
    // (hasElapsed false: no PCR, and no programme is placed). With whole,
    // incomplete counts the recorded programmes that miss more than a
    // moment.
    std::vector<CFinding> Programmes(const CTimeline& timeline, const CPidRoles& roles, const CBroadcastClock& clock,
                                     bool hasElapsed, int64_t elapsed, bool whole, uint64_t& incomplete) const;

private:
    struct CProgramme {
        int serviceId = 0;
        int eventId = 0;
        bool hasStart = false;
        CTimeValue start;
        int64_t duration = -1;
        std::string name;
    };

    // Fills f's overlap with the recorded stretch from-to (ms); false when
    // it has none.
    static bool Overlap(CFinding& f, int64_t from, int64_t to, const CTimeline& timeline);
    // Marks each service's recorded programme: the largest overlap.
    static void MarkRecorded(std::vector<CFinding>& found, bool whole, uint64_t& incomplete);

    std::vector<CProgramme> m_programmes;
};
