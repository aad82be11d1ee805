// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tsvigil {

class PidRoles;
struct CheckStats;

// How a check judges: the losses tolerated, whether whole programmes are
// expected, the services judged, and whether only their recorded
// programmes are.
struct Judging {
    // Picture or sound packets that may be lost before the verdict says
    // damaged.
    uint64_t tolerate = 0;
    // The input is meant to hold whole programmes: one that misses more
    // than a moment makes the verdict incomplete.
    bool whole = false;
    // The services to judge (and whose PCR times the findings), in the
    // order given; empty for the whole file.
    std::vector<int> services;
    // Each judged service's recorded programme only: what lies before its
    // start or after its end is margin, counted apart.
    bool programme = false;
};

// What the damage hits: picture and sound, or what the broadcast sends
// again and again (tables, captions, ECMs) and what harms nothing.
struct Verdict {
    bool unreadable = false;  // could not be opened or read to its end
    bool empty = false;       // no packet
    // Not a transport stream: at least five packets' worth of bytes, fewer
    // than half of them in runs of five or more packets.
    bool unrecognised = false;
    bool absent = false;       // a service asked for is not in the file
    bool damaged = false;
    bool scrambled = false;
    bool gap = false;          // a stretch of broadcast missing, or the clock reset undeclared
    bool incomplete = false;   // a recorded programme not recorded whole (only when asked)
    uint64_t avLost = 0;
    uint64_t avErrors = 0;     // picture and sound packets with transport_error_indicator
    uint64_t avScrambled = 0;  // after the PID's first clear packet, or on a PID never clear
    uint64_t sync = 0;         // lost sync before the last packet
    uint64_t otherLost = 0;
    uint64_t duplicates = 0;
    uint64_t scrambledAtStart = 0;
    uint64_t discontinuities = 0;
    uint64_t gaps = 0;
    // Occurrences of the ETSI TR 101 290 indicators of priority 1 and 2:
    // how the stream was sent, not what was recorded, so no word of their own.
    uint64_t indicatorsP1 = 0;
    uint64_t indicatorsP2 = 0;
    // Judged over chosen services only: the picture and sound of the others
    // (and unnamed PIDs above the SI range) are counted here, not judged.
    bool selected = false;
    uint64_t otherServicesAvLost = 0;
    uint64_t otherServicesAvErrors = 0;
    uint64_t otherServicesAvScrambled = 0;
    std::vector<int> absentServices;  // the services asked for that the file lacks
    // Judged over recorded programmes only: what fell outside their
    // windows, and the window of the first judged service that has one
    // (from and to in ms of JST since 1970), or why none could be placed.
    bool programme = false;
    struct Margins {
        uint64_t avLost = 0;
        uint64_t avErrors = 0;
        uint64_t avScrambled = 0;
        uint64_t sync = 0;
        uint64_t gaps = 0;
        uint64_t indicatorsP1 = 0;  // TR 101 290 occurrences wholly outside
        uint64_t indicatorsP2 = 0;
    };
    Margins margins;
    struct Window {
        int serviceId = 0;
        int eventId = 0;
        int64_t from = 0;
        int64_t to = 0;
    };
    bool hasWindow = false;
    Window window;
    const char* windowReason = nullptr;  // "no PCR", "no TOT" or "no EIT" without a window

    bool Ok() const { return !unreadable && !unrecognised && !absent && !empty && !damaged && !scrambled && !gap && !incomplete; }
    // "unreadable", "unrecognised", "absent", "empty", "damaged", "scrambled", "gap",
    // "incomplete" as they apply, in that order; "ok" when none does. An
    // unrecognised input has that word alone.
    std::vector<const char*> Words() const;
    // The words joined by ", ", then the figures in parentheses:
    // "damaged (av lost 12, av errors 3, ...; other lost 5, ...; indicators
    // p1 0, p2 1)", and judged over programmes "...; gaps 0; margins av
    // lost 6, ...; indicators p1 0, p2 1)".
    std::string Line() const;
    // The words from the figures: damaged when picture or sound lost more
    // than tolerate packets, carried a transport error, or sync was lost
    // before the last packet; scrambled; gap.
    void Settle(uint64_t tolerate);
};

// Whether pid carries picture or sound (or is a PID no table names above
// the range ARIB STD-B10 reserves for SI, 0x0000-0x002F: better flagged
// than missed), by its role as known at the end; roles may be null.
bool IsPictureOrSound(const PidRoles* roles, int pid);
// "av" or "other", as the outputs name the class.
inline const char* ClassName(const PidRoles* roles, int pid) { return IsPictureOrSound(roles, pid) ? "av" : "other"; }
// The role with the services that carry the PID, "AAC audio (service 1024,
// 1025)"; "unknown" without roles.
std::string RoleWithServices(const PidRoles* roles, int pid);

// The verdict on the counts: damaged when picture or sound lost more than
// tolerate packets, carried a transport error, or sync was lost before
// the last packet; scrambled when picture or sound was scrambled after its
// first clear packet, or never clear.
// With services chosen (stats.selectedServices), only their picture and
// sound PIDs are judged; see JudgeServices().
Verdict Judge(const CheckStats& stats, uint64_t tolerate);
// The verdict over the picture and sound PIDs that the PMTs of services
// named at any time, lost sync and gaps, and the PIDs of class other; the
// picture and sound of other services is counted apart. A service the file
// does not carry makes it absent. Empty services: the whole file.
Verdict JudgeServices(const CheckStats& stats, uint64_t tolerate, const std::vector<int>& services);

}  // namespace tsvigil
