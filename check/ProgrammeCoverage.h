// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/TimeValue.h"
#include "check/Finding.h"
#include "check/Output.h"
#include "check/Verdict.h"
#include "si/EIT.h"

namespace tsvigil {

class BroadcastClock;
class PidRoles;
class Timeline;
struct CheckStats;
struct PidCounts;

// Which programmes a recording overlaps, and how much of each it holds: the
// present and following events of the EIT (ARIB STD-B10) are kept as they
// are first seen, and at the end each is set against the broadcast time
// the recording covers, by the timeline's offsets, less its gaps and the
// time a re-anchored clock skipped. As an output of the check it keeps
// what the timed findings say of picture and sound (losses, transport
// errors, scrambling, damaged ranges) by broadcast time, so that each
// programme tells what happened inside it.
class ProgrammeCoverage : public Output {
public:
    // A present or following event of a service.
    void OnProgramme(int serviceId, const EITEvent& event);
    // A timed finding: continuity errors, damage and packet ranges are kept
    // where they were placed in broadcast time.
    void On(const Finding& f) override;

    // The kProgramme findings of the services with picture or sound, by
    // service and start: the recording covers elapsed ticks 0 to elapsed
    // (hasElapsed false: no PCR, and no programme is placed). With whole,
    // incomplete counts the recorded programmes that miss more than a
    // moment. Each placed programme carries the figures of its service's
    // picture and sound within its window; pids (kPidCount counts) tell
    // which PIDs were never clear, whose scrambled packets all count.
    // The recorded programme of each service is kept as its window.
    std::vector<Finding> Programmes(const Timeline& timeline, const PidRoles& roles, const BroadcastClock& clock,
                                     bool hasElapsed, int64_t elapsed, bool whole, uint64_t& incomplete,
                                     const std::vector<PidCounts>& pids);

    // Judges v, built by JudgeServices over services (empty: every service
    // with picture or sound), within the windows of their recorded
    // programmes: what was placed before a window's start or after its end
    // is margin, counted apart and not judged. A finding on a PID is inside
    // when it falls within the window of any judged service that carries
    // it; lost sync and gaps, and PIDs no judged service names, within any
    // judged window. A judged service without a window is judged whole, and
    // with no window at all v says why and stays as it was.
    void JudgeWithin(Verdict& v, const CheckStats& stats, const std::vector<int>& services, uint64_t tolerate) const;

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
    // Fills f's figures: what its service's picture and sound PIDs (roles
    // at the end) suffered within the window from-to (ms, end excluded).
    void Figures(Finding& f, int64_t from, int64_t to, const PidRoles& roles, const std::vector<PidCounts>& pids) const;

    // A packet range's packets on one PID, placed from-to (ms): those after
    // the PID's first clear packet and all of them.
    struct TimedPackets {
        int64_t from;
        int64_t to;
        int pid;
        uint64_t packets;
        uint64_t afterClear;
    };
    struct TimedDamage {
        int64_t from;
        int64_t to;
        std::vector<int> pids;
    };
    // Windows in ms, end excluded, ascending and apart; an empty list with
    // all set stands for the whole recording.
    struct Windows {
        bool all = false;
        std::vector<std::pair<int64_t, int64_t>> spans;
        void Add(int64_t from, int64_t to);
        bool Holds(int64_t at) const;
        bool Meets(int64_t from, int64_t to) const;  // any of from-to (both included) inside
    };
    // What one PID suffered outside windows: packets lost, with errors,
    // scrambled in all and of them after the PID's first clear packet.
    struct Outside {
        uint64_t lost = 0;
        uint64_t errors = 0;
        uint64_t scrambled = 0;
        uint64_t afterClear = 0;
    };
    Outside OutsideOf(int pid, const Windows& w) const;
    // Into w, the windows of the judged services that carry pid; false when
    // none does.
    bool PidWindows(int pid, const PidRoles& roles, const std::vector<int>& judged, Windows& w) const;
    // The indicators' occurrences wholly outside the windows go from v's
    // counts to its margins; chosen: the judged services were chosen.
    void IndicatorMargins(Verdict& v, const PidRoles& roles, const std::vector<int>& judged, bool chosen,
                          const Windows& any) const;
    // The windows a judged service's findings fall in: its recorded
    // programme's, or the whole recording without one.
    Windows WindowOf(int serviceId) const;

    // A bound on the timed findings kept of each kind, which a hostile
    // stream's clock could otherwise multiply.
    static constexpr size_t kMaxKept = 1 << 18;

    std::vector<Programme> m_programmes;
    // Packets lost by PID and broadcast second: programmes start and end on
    // whole seconds, so a second places a loss as exactly as its time.
    std::map<std::pair<int, int64_t>, uint64_t> m_lost;
    std::vector<TimedPackets> m_scrambled;
    std::vector<TimedPackets> m_errors;
    std::vector<TimedDamage> m_damage;
    // Lost sync inside the file, and gaps and undeclared clock resets
    // (from, to), where they were placed.
    std::vector<int64_t> m_sync;
    std::vector<std::pair<int64_t, int64_t>> m_gaps;
    // The occurrences of ETSI TR 101 290 indicators, where they were placed.
    struct TimedIndicator {
        int64_t from;
        int64_t to;
        int pid;
        int priority;
        uint64_t count;
    };
    std::vector<TimedIndicator> m_indicators;
    // Each service's recorded programme, as its window; or why no
    // programme could be placed.
    std::vector<Verdict::Window> m_recorded;
    const char* m_unplaced = "no EIT";
};

}  // namespace tsvigil
