// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "check/BroadcastClock.h"
#include "check/CheckStats.h"
#include "check/Indicators.h"
#include "check/Output.h"
#include "check/PacketAccounting.h"
#include "check/PesTiming.h"
#include "check/PidRoles.h"
#include "check/PresentEvents.h"
#include "check/ProgrammeCoverage.h"
#include "check/Timeline.h"
#include "si/TableDispatcher.h"
#include "stream/PacketFramer.h"

namespace tsvigil {

class StreamSource;

// One check of one input: frames its packets, follows each PID's
// continuity_counter, counts scrambled and transport-error packets between
// TOTs, follows the TOT and the present programme of each service (and,
// when an output asks, the PSI for the PIDs' roles), and hands what it
// finds to its outputs as Finding values. A check owns all of its state,
// so any number of checks may run in one process, each on its own thread.
class Check {
public:
    // outputs are not owned and must outlive the check; file is the input's
    // name for the outputs (may be null); judging says how the verdict is
    // built.
    Check(StreamSource& source, std::vector<Output*> outputs, const char* file = nullptr, Judging judging = {});
    Check(const Check&) = delete;
    Check& operator=(const Check&) = delete;

    // Checks every packet of the source, then calls each output's Finish().
    // tick, when set, is called every few thousand packets (for a progress
    // display).
    void Run(const std::function<void()>& tick = {});

    const CheckStats& Stats() const { return m_stats; }

private:
    // Hands a finding to the timeline, which times it and hands it out; a
    // finding without a place of its own is timed where the check stands.
    // A transport error goes to the damage ranges only.
    void Emit(Finding& f, bool transportError = false);
    // The input has ended (packets: it held any): what waits goes out,
    // elapsed is known, and the programmes go out with their coverage.
    void FinishTimeline(bool packets);
    // Lost sync: inside the file, or at its end.
    void SyncLost(bool inside);
    // The first packet of a stretch came with other flags than the size
    // announced last: a new size, or lost sync before it.
    [[gnu::noinline]] void OnFlags(FrameFlags flags, const uint8_t* p);
    // The input has ended: what is left goes out, and the outputs finish.
    void Close(FrameFlags flags);
    // The clock PID after a PAT or PMT changed.
    [[gnu::noinline]] int UpdateClockPid();
    [[gnu::noinline]] void OnTransportError(const uint8_t* p, int pid);
    // A finding stamped with the last verified TOT's time.
    Finding Found(Finding::Kind kind);
    void OnTot();
    void OnPresentEvent(int serviceId, const EITEvent& event);
    // Hands out the scrambled counts per PID, ascending, then the
    // transport-error count, gathered since the last TOT.
    void EmitCounts();
    // The rare cases of the packet loop, out of its way: a continuity
    // counter that did not follow on, and a scrambled packet (taken by the
    // accounting here).
    [[gnu::cold, gnu::noinline]] void OnCounterBreak(const uint8_t* p, int pid, const CounterBreak& b);
    [[gnu::noinline]] void OnScrambled(const uint8_t* p, int pid);
    [[gnu::cold, gnu::noinline]] void OnCrcErrors(int pid, int failed);
    // A packet with transport_error_indicator, or with
    // payload_unit_start_indicator while the roles are followed.
    [[gnu::noinline]] void OnRareHeader(const uint8_t* p, int pid);
    // A packet with payload_unit_start_indicator on a video or audio PID:
    // its PES header's PTS and PES_packet_length.
    [[gnu::noinline]] void OnPesStart(const uint8_t* p, int pid);
    // The video and audio PIDs after a PAT or PMT changed.
    void UpdatePesPids();

    std::vector<Output*> m_outputs;
    // The per-PID packet accounting, a local of the packet loop while it
    // runs.
    PacketAccounting* m_accounting = nullptr;
    StreamSource& m_source;
    const Judging m_judging;
    PacketFramer m_framer;
    // The packet being dispatched to the tables, for the offset of what it
    // completes.
    const uint8_t* m_dispatched = nullptr;
    TableDispatcher m_tables;
    BroadcastClock m_clock;
    PresentEvents m_events;
    std::unique_ptr<PidRoles> m_roles;  // only when an output wants roles
    CheckStats m_stats;
    // The PES starts of video and audio, followed with the roles; per PID,
    // 1 where a PES start is read.
    PesTiming m_pes;
    std::vector<uint8_t> m_pesPids = std::vector<uint8_t>(kPidCount, 0);
    Timeline m_timeline{m_outputs, m_clock};
    ProgrammeCoverage m_coverage;
    // The ETSI TR 101 290 indicators, followed with the roles.
    std::unique_ptr<Indicators> m_indicators;
    uint64_t m_rolesSeen = 0;
    bool m_ended = false;  // the input has ended: what is handed out now lies at its end
    int64_t m_lastPacket = 0;  // offset of the last packet framed so far
    int m_announcedSize = 0;    // the packet size last handed out, 0 before the first packet

    // The tallies between two TOTs; a flag saves the walk over every PID at
    // a TOT without scrambled packets.
    std::vector<int32_t> m_scrambledSinceTot = std::vector<int32_t>(kPidCount, 0);
    bool m_anyScrambledSinceTot = false;
    int32_t m_transportErrorsSinceTot = 0;
};

}  // namespace tsvigil
