// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <deque>

#include "check/BroadcastClock.h"
#include "check/CheckStats.h"
#include "check/DamageRanges.h"
#include "check/PcrClock.h"
#include "check/Output.h"
#include "check/PacketAccounting.h"
#include "check/PacketRanges.h"
#include "check/PidRoles.h"
#include "check/PresentEvents.h"
#include "si/TableDispatcher.h"
#include "stream/PacketFramer.h"

class CStreamSource;

// One check of one input: frames its packets, follows each PID's
// continuity_counter, counts scrambled and transport-error packets between
// TOTs, follows the TOT and the present programme of each service (and,
// when an output asks, the PSI for the PIDs' roles), and hands what it
// finds to its outputs as CFinding values. A check owns all of its state,
// so any number of checks may run in one process, each on its own thread.
class CCheck {
public:
    // outputs are not owned and must outlive the check; file is the input's
    // name for the outputs (may be null); tolerate is how many picture or
    // sound packets may be lost before the verdict says damaged.
    // whole: the input is meant to hold whole programmes, and one that
    // misses more than a moment makes the verdict incomplete.
    CCheck(CStreamSource& source, std::vector<COutput*> outputs, const char* file = nullptr,
           uint64_t tolerate = 0, bool whole = false);
    CCheck(const CCheck&) = delete;
    CCheck& operator=(const CCheck&) = delete;

    // Checks every packet of the source, then calls each output's Finish().
    // tick, when set, is called every few thousand packets (for a progress
    // display).
    void Run(const std::function<void()>& tick = {});

    const CCheckStats& Stats() const { return m_stats; }

private:
    // Hands a finding to the outputs, timed; while the PCR runs, findings
    // wait for the next PCR, which tells whether they lie in a gap.
    // A transport error is timed as findings are but goes to the damage
    // ranges only.
    void Emit(CFinding& f, bool transportError = false);
    // Times f (elapsed from the clock as it stood before the last PCR when
    // before is set) and hands it out.
    void Deliver(CFinding& f, bool before, bool transportError);
    void FlushPending(bool before);
    // A packet of the clock PID with an adaptation field.
    [[gnu::noinline]] void OnClockPacket(const uint8_t* p);
    // The clock PID after a PAT or PMT changed.
    [[gnu::noinline]] int UpdateClockPid();
    // Until the PMT names the PCR_PID: the first PCR of each PID of count
    // packets from p, so that elapsed can count from the first PCR in the
    // file on the PCR_PID.
    [[gnu::noinline]] void KeepFirstPcrs(const uint8_t* p, int stride, int count);
    // The PMT named the PCR_PID: its first PCR kept, if any, starts the clock.
    void StartFromKeptPcr(int pid);
    [[gnu::noinline]] void OnTransportError(const uint8_t* p, int pid);
    // A timed event of damage to picture and sound, for the ranges.
    void DamageEvent(const CFinding& e);
    // Hands out a closed range, or holds it until a TOT lets it be placed.
    void EmitDamage(CFinding& range);
    void ReleaseHeldDamage();
    // The broadcast time, in milliseconds, of elapsed ticks, by the offset a
    // TOT fixed for that stretch of the clock (the first for what came
    // before it).
    int64_t AtOf(int64_t ticks) const;
    // A TOT fixed the offset between elapsed and the broadcast time.
    void Anchor(int64_t ms, int64_t elapsed);
    // Fills the broadcast times of a range from its elapsed ticks, where
    // they are known and a TOT fixed the offset.
    void Place(CFinding& range) const;
    void OnProgramme(int serviceId, const CEITEvent& event);
    // At the end: each programme the recording overlaps, with its coverage.
    void EmitProgrammes();
    void HandOut(const CFinding& f);
    // A finding stamped with the last verified TOT's time.
    CFinding Found(CFinding::Kind kind);
    void OnTot();
    void OnPresentEvent(int serviceId, const CEITEvent& event);
    // Hands out the scrambled counts per PID, ascending, then the
    // transport-error count, gathered since the last TOT.
    void EmitCounts();
    // The rare cases of the packet loop, out of its way: a continuity
    // counter that did not follow on, and a scrambled packet (taken by the
    // accounting here).
    [[gnu::cold, gnu::noinline]] void OnCounterBreak(const uint8_t* p, int pid, const CCounterBreak& b);
    [[gnu::noinline]] void OnScrambled(const uint8_t* p, int pid);
    // A scrambled or transport-error packet for its ranges: extends the
    // range in hand where it lies close behind, or is timed and may close
    // it (RangeFar: rare once a range is open). Out of the callers' line,
    // so that a check without ranges pays nothing for them.
    [[gnu::noinline]] void RangePacket(CPacketRanges& ranges, const uint8_t* p, int pid, bool atStart) {
        if (!ranges.Extend(pid, m_framer.PacketOffset(p), atStart)) RangeFar(ranges, p, pid, atStart);
    }
    [[gnu::noinline]] void RangeFar(CPacketRanges& ranges, const uint8_t* p, int pid, bool atStart);
    // The times of the packet at offset, as a finding there gets them
    // (elapsed from the clock as it stood before the last PCR when before
    // is set).
    void TimeAt(CFinding& t, int64_t offset, bool before) const;
    // Gives the last packet of the range in hand its time, if it has none.
    void StampRange(CPacketRanges& ranges, bool before);
    void StampRanges(bool before);
    // Hands out a closed packet range, its PIDs' classes filled in.
    void EmitRange(CFinding& range);
    // Hands out the ranges in hand: all of them, or those over by now.
    void CloseRanges(bool all, int64_t now = 0);

    std::vector<COutput*> m_outputs;
    // The per-PID packet accounting, a local of the packet loop while it
    // runs.
    CPacketAccounting* m_accounting = nullptr;
    CStreamSource& m_source;
    uint64_t m_nTolerate;
    bool m_bWhole;
    CPacketFramer m_framer;
    // The packet being dispatched to the tables, for the offset of what it
    // completes.
    const uint8_t* m_pDispatched = nullptr;
    CTableDispatcher m_tables;
    CBroadcastClock m_clock;
    CPresentEvents m_events;
    std::unique_ptr<CPidRoles> m_roles;  // only when an output wants roles
    CCheckStats m_stats;

    CPcrClock m_pcr;
    int m_nClockPid = -1;
    uint64_t m_nRolesSeen = 0;
    struct CPending {
        CFinding finding;
        bool transportError;  // of a picture or sound PID, for the damage ranges only
    };
    std::deque<CPending> m_pending;
    // Before the PMT names the PCR_PID (only when roles are followed): the
    // first PCR of up to kMaxKeptPcrs PIDs, and whether findings wait for
    // the clock to start from one.
    struct CKeptPcr {
        int pid;
        int64_t pcr;
        int64_t offset;
        // A later packet of the PID declared a new time base
        // (discontinuity_indicator): its first PCR is no origin for what
        // follows.
        bool declared;
    };
    static constexpr size_t kMaxKeptPcrs = 64;
    std::vector<CKeptPcr> m_keptPcrs;
    // A TOT handed out before the clock gave a rate, to fix the offset from
    // once it does.
    bool m_bEarlyTot = false;
    int64_t m_nEarlyTotOffset = 0;
    int64_t m_nEarlyTotMs = 0;
    bool m_bSeekingOrigin = false;
    bool m_bHolding = false;
    int64_t m_nLastPacket = 0;  // offset of the last packet framed so far
    // at = elapsed + the offset, in milliseconds, once a TOT fixed it.
    bool m_bEnded = false;  // the input has ended: what is handed out now lies at its end
    bool m_bAnchored = false;
    int64_t m_nAnchorMs = 0;
    // Each offset a TOT fixed, with the elapsed ticks from which it holds: a
    // clock reset's end for the first after it, else the TOT's own place.
    struct CAnchor {
        int64_t fromTicks;
        int64_t ms;
    };
    std::vector<CAnchor> m_anchors;
    int64_t m_nBaseTicks = 0;  // elapsed where the current time base began
    // Broadcast time missing where a new time base re-anchored later than
    // the old one ran (ms, from-to): a recording joined after a cut.
    std::vector<std::pair<int64_t, int64_t>> m_jumps;
    CDamageRanges m_damage;
    // Built only for the outputs that follow the PSI, which name the class.
    CPacketRanges m_scrambledRanges{CFinding::kScrambledRange};
    CPacketRanges m_errorRanges{CFinding::kTransportErrorRange};
    // The gaps' ends in elapsed ticks, for the coverage.
    std::vector<std::pair<int64_t, int64_t>> m_gaps;
    struct CProgramme {
        int serviceId = 0;
        int eventId = 0;
        bool hasStart = false;
        CTimeValue start;
        int64_t duration = -1;
        std::string name;
    };
    std::vector<CProgramme> m_programmes;
    std::vector<CFinding> m_heldDamage;

    // The tallies between two TOTs; a flag saves the walk over every PID at
    // a TOT without scrambled packets.
    std::vector<int32_t> m_scrambledSinceTot = std::vector<int32_t>(kPidCount, 0);
    bool m_bScrambledSinceTot = false;
    int32_t m_nTransportErrorsSinceTot = 0;
};
