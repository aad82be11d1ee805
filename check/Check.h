// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "check/BroadcastClock.h"
#include "check/Output.h"
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
    CCheck(CStreamSource& source, std::vector<COutput*> outputs, const char* file = nullptr,
           uint64_t tolerate = 0);
    CCheck(const CCheck&) = delete;
    CCheck& operator=(const CCheck&) = delete;

    // Checks every packet of the source, then calls each output's Finish().
    // tick, when set, is called every few thousand packets (for a progress
    // display).
    void Run(const std::function<void()>& tick = {});

    const CCheckStats& Stats() const { return m_stats; }

private:
    void Emit(CFinding& f);
    // A finding stamped with the last verified TOT's time.
    CFinding Found(CFinding::Kind kind);
    void OnTot();
    void OnPresentEvent(int serviceId, const CEITEvent& event);
    // Hands out the scrambled counts per PID, ascending, then the
    // transport-error count, gathered since the last TOT.
    void EmitCounts();
    // The rare cases of the packet loop, out of its way: a continuity
    // counter that did not follow on, and a scrambled packet (packets: of
    // its PID so far, this one included).
    [[gnu::cold, gnu::noinline]] void OnCounterBreak(const uint8_t* p, int pid, int last);
    [[gnu::noinline]] void OnScrambled(int pid, uint64_t packets);

    std::vector<COutput*> m_outputs;
    CStreamSource& m_source;
    uint64_t m_nTolerate;
    CPacketFramer m_framer;
    // The packet being dispatched to the tables, for the offset of what it
    // completes.
    const uint8_t* m_pDispatched = nullptr;
    CTableDispatcher m_tables;
    CBroadcastClock m_clock;
    CPresentEvents m_events;
    std::unique_ptr<CPidRoles> m_roles;  // only when an output wants roles
    CCheckStats m_stats;

    // The tallies between two TOTs; a flag saves the walk over every PID at
    // a TOT without scrambled packets.
    std::vector<int32_t> m_scrambledSinceTot = std::vector<int32_t>(CCheckStats::kPids, 0);
    bool m_bScrambledSinceTot = false;
    int32_t m_nTransportErrorsSinceTot = 0;
};
