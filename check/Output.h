// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/TSPacket.h"
#include "check/Finding.h"

class CPidRoles;

// What a check counts per PID, for every run: one increment per packet is
// cheaper than a test of whether anyone wants it.
struct CPidCounts {
    uint64_t packets = 0;
    uint64_t continuityErrors = 0;  // the report's lines
    uint64_t transportErrors = 0;
    uint64_t scrambled = 0;
    uint64_t lost = 0;             // packets lost, as the counters tell
    uint64_t duplicates = 0;
    uint64_t discontinuities = 0;  // counter breaks a discontinuity_indicator excused
    // Scrambled packets before the PID's first clear one: how a recording
    // starts when the descrambler locks a moment after it.
    uint64_t scrambledAtStart = 0;
    // Sections the check verified that failed their CRC_32 (those of the
    // tables it reads: TOT, present/following EIT, and the PSI and SDT when
    // an output shows roles).
    uint64_t crcErrors = 0;
};

// What the damage hits: picture and sound, or what the broadcast sends
// again and again (tables, captions, ECMs) and what harms nothing.
struct CVerdict {
    bool unreadable = false;  // could not be opened or read to its end
    bool empty = false;       // no packet
    // Not a transport stream: at least five packets' worth of bytes, fewer
    // than half of them in runs of five or more packets.
    bool unrecognised = false;
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

    bool Ok() const { return !unreadable && !unrecognised && !empty && !damaged && !scrambled && !gap && !incomplete; }
    // "unreadable", "unrecognised", "empty", "damaged", "scrambled", "gap",
    // "incomplete" as they apply, in that order; "ok" when none does. An
    // unrecognised input has that word alone.
    std::vector<const char*> Words() const;
    // The words joined by ", ", then the figures in parentheses:
    // "damaged (av lost 12, av errors 3, ...; other lost 5, ...)".
    std::string Line() const;
};

// What a finished check hands its outputs besides the findings.
struct CCheckStats {
    std::vector<CPidCounts> pids = std::vector<CPidCounts>(kPidCount);
    const char* file = nullptr;  // the input's name as given, or null
    int64_t bytes = 0;
    // Of them, the bytes of packets in runs of five or more at one packet
    // spacing, with no byte skipped between them.
    int64_t bytesInRuns = 0;
    int packetSize = 0;  // the size last announced, 0 before the first packet
    uint64_t syncErrors = 0;
    uint64_t syncErrorsInside = 0;  // of them, before the last packet
    bool unreadable = false;        // the input could not be opened or read to its end
    // Gaps and clock resets the PCR showed: undeclared ones judge, declared
    // ones (discontinuity_indicator) do not.
    uint64_t gaps = 0;
    uint64_t declaredResets = 0;
    // Services whose recorded programme misses more than 2 s at its start
    // or end, or more than 1 s inside; counted only when whole programmes
    // are expected.
    uint64_t incompleteProgrammes = 0;
    bool hasElapsed = false;  // elapsed: 27 MHz ticks from the first PCR to the last packet
    int64_t elapsed = 0;
    // The TOTs that passed their CRC_32; a time is valid only when its
    // JST_time was a date.
    int64_t tots = 0;
    bool firstTotValid = false;
    CTimeValue firstTot;
    bool lastTotValid = false;
    CTimeValue lastTot;
    // What each PID carries, as the PSI/SI said by the end; null unless an
    // output asked for roles.
    const CPidRoles* roles = nullptr;
    CVerdict verdict;
};

// Whether pid carries picture or sound (or is a PID no table names above
// the range ARIB STD-B10 reserves for SI, 0x0000-0x002F: better flagged
// than missed), by its role as known at the end; roles may be null.
bool IsPictureOrSound(const CPidRoles* roles, int pid);
// "av" or "other", as the outputs name the class.
inline const char* ClassName(const CPidRoles* roles, int pid) { return IsPictureOrSound(roles, pid) ? "av" : "other"; }
// The role with the services that carry the PID, "AAC audio (service 1024,
// 1025)"; "unknown" without roles.
std::string RoleWithServices(const CPidRoles* roles, int pid);

// The verdict on the counts: damaged when picture or sound lost more than
// tolerate packets, carried a transport error, or sync was lost before
// the last packet; scrambled when picture or sound was scrambled after its
// first clear packet, or never clear.
CVerdict Judge(const CCheckStats& stats, uint64_t tolerate);

// A reader of a check's findings. Each output keeps its own state; a check
// hands every finding to each of its outputs in the order given, then calls
// Finish() once.
class COutput {
public:
    virtual ~COutput() = default;
    virtual void On(const CFinding& finding) = 0;
    virtual void Finish(const CCheckStats& stats) { (void)stats; }
    // Whether the check should follow the PAT, PMTs, CAT and SDT for the
    // PIDs' roles and the services' names.
    virtual bool WantsRoles() const { return false; }
};
