// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>
#include <vector>

#include "base/TimeValue.h"
#include "check/Finding.h"
#include "si/EIT.h"

namespace tsvigil {

class BroadcastClock;
class PidRoles;
class Timeline;

// Which programmes a recording overlaps, and how much of each it holds: the
// present and following events of the EIT (ARIB STD-B10) are kept as they
// are first seen, and at the end each is set against the broadcast time
// the recording covers, by the timeline's offsets, less its gaps and the
// time a re-anchored clock skipped.
class ProgrammeCoverage {
public:
    // A present or following event of a service.
    void OnProgramme(int serviceId, const EITEvent& event);

    // The kProgramme findings of the services with picture or sound, by
    // service and start: the recording covers elapsed ticks 0 to elapsed
    // (hasElapsed false: no PCR, and no programme is placed). With whole,
    // incomplete counts the recorded programmes that miss more than a
    // moment.
    std::vector<Finding> Programmes(const Timeline& timeline, const PidRoles& roles, const BroadcastClock& clock,
                                     bool hasElapsed, int64_t elapsed, bool whole, uint64_t& incomplete) const;

    // Whether a recorded programme misses more than 2 s at its start or
    // end, or more than 1 s inside.
    static bool Incomplete(const Finding& f) {
        return f.recorded && (f.missingStart > 2000 || f.missingEnd > 2000 || f.missingInside > 1000);
    }

private:
    struct Programme {
        int serviceId = 0;
        int eventId = 0;
        bool hasStart = false;
        TimeValue start;
        int64_t duration = -1;
        std::string name;
    };

    // Fills f's overlap with the recorded stretch from-to (ms); false when
    // it has none.
    static bool Overlap(Finding& f, int64_t from, int64_t to, const Timeline& timeline);
    // Marks each service's recorded programme: the largest overlap.
    static void MarkRecorded(std::vector<Finding>& found, bool whole, uint64_t& incomplete);

    std::vector<Programme> m_programmes;
};

}  // namespace tsvigil
