// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "check/Finding.h"
#include "check/Output.h"
#include "check/PcrClock.h"
#include "si/TableDispatcher.h"

namespace tsvigil {

class PacketAccounting;
class PidRoles;
class Timeline;
struct CheckStats;

// The indicators of ETSI TR 101 290 (5.2.1, 5.2.2) that apply to a recorded
// file once the PCR times them.
enum class IndicatorName : uint8_t {
    kPatError,
    kPmtError,
    kPidError,
    kCrcError,
    kPcrRepetitionError,
    kPcrDiscontinuityIndicatorError,
    kPtsError,
};
// The name as the guideline writes it ("PAT_error", ...), and its priority.
const char* IndicatorText(IndicatorName name);
int IndicatorPriority(IndicatorName name);

// Follows the PAT, the PMTs, the PCR and the video and audio PIDs against
// the guideline's thresholds, in elapsed ticks of the PCR. A crossing of a
// threshold is one occurrence; occurrences of one indicator on one PID
// within a second of each other merge, and count how many did. Nothing is
// timed across a gap or a clock reset: each watch starts again at its end.
// The occurrences go out as kIndicator findings when the input ends.
//
// A watch that another part of the check feeds (one arrival per event of a
// PID: a section, a PTS) is one Watch, armed once, and Arrive() at each
// event: more than its limit since the one before is an occurrence.
class Indicators : public SectionHandler {
public:
    // The byte offset of a packet still held by the packet loop.
    using OffsetOf = std::function<int64_t(const uint8_t* packet)>;
    // outputs, timeline, roles and tables must outlive the indicators.
    Indicators(const std::vector<Output*>& outputs, const Timeline& timeline, const PidRoles& roles,
               TableDispatcher& tables, OffsetOf offsetOf);
    ~Indicators() override;
    Indicators(const Indicators&) = delete;
    Indicators& operator=(const Indicators&) = delete;

    // The per-PID packet counts sampled at each PCR for PID_error (null
    // once the packet loop is over).
    void SamplePackets(const PacketAccounting* accounting) { m_accounting = accounting; }
    // A whole section on PID 0 or a PMT PID, passed its CRC_32.
    int OnSection(const SectionView& section) override;
    // The PAT or a PMT changed what the PIDs carry; here is the offset of
    // the packet that completed it.
    void OnRoles(int64_t here);
    // Sections of pid that failed their CRC_32, completed by the packet at
    // offset.
    void OnCrcErrors(int pid, int64_t offset, int failed);
    // Whether pid is PID 0 or a PMT PID named now: a scrambled packet of it
    // is a PAT_error or a PMT_error.
    bool IsPsiPid(int pid) const { return m_psi[static_cast<size_t>(pid)] != 0; }
    void OnScrambledPsi(int pid, int64_t offset);
    // Each PCR of the clock PID, as the timeline took it.
    void OnPcr(const PcrClock::Step& step, int pid);
    // The input has ended at the packet at lastPacket: the watches close,
    // the occurrences go out to the outputs, and the stats get their counts.
    void Finish(int64_t lastPacket, CheckStats& stats);

    // A point of the stream: the packet's offset, and its elapsed ticks
    // when the PCR times it.
    struct Moment {
        bool timed = false;
        int64_t ticks = 0;
        int64_t offset = 0;
    };
    // One watch of events on a PID: the last event, once counting started.
    struct Watch {
        int pid = 0;
        bool armed = false;
        Moment last;
        uint64_t packets = 0;  // for PID_error: the PID's packets at the last sample
    };
    // An occurrence from one moment to another; more than once past the
    // merge rule's second, or at the occurrences' bound.
    void Occur(IndicatorName name, int pid, const Moment& from, const Moment& to, uint64_t count = 1);
    // An event of w at now: more than limit ticks since the last one is an
    // occurrence of name.
    void Arrive(IndicatorName name, int64_t limit, Watch& w, const Moment& now);
    Moment At(int64_t offset) const;

private:
    struct Occurrence {
        IndicatorName name;
        int pid;
        uint64_t count;
        Moment from;
        Moment to;
    };
    // Occurrences kept for the end; past this, each merges into the one in
    // hand of its indicator and PID, whatever lies between (totals stay whole).
    static constexpr size_t kMaxOccurrences = 20000;

    // w's last event lies more than limit ticks before now (the end, or a
    // gap's start): an occurrence up to now.
    void Overdue(IndicatorName name, int64_t limit, Watch& w, const Moment& now);
    // A gap or a clock reset: each watch counts again from its end.
    void Restart(const PcrClock::Step& step);
    // Armed watches not yet timed start at the first moment the PCR times.
    void TimeArmed(const Moment& now);
    void ForEachWatch(const Moment& now, bool overdue);

    const std::vector<Output*>& m_outputs;
    const Timeline& m_timeline;
    const PidRoles& m_roles;
    TableDispatcher& m_tables;
    OffsetOf m_offsetOf;
    const PacketAccounting* m_accounting = nullptr;
    std::vector<uint8_t> m_psi = std::vector<uint8_t>(kPidCount, 0);
    Watch m_pat;
    std::vector<Watch> m_pmts;  // by PID ascending
    std::vector<Watch> m_streams;  // video and audio PIDs, by PID ascending
    bool m_everTimed = false;  // the PCR timed some moment
    bool m_clockSeen = false;  // some PMT named a PCR_PID and a PCR came
    bool m_untimedArmed = false;
    Moment m_lastPcr;
    bool m_sampled = false;  // the packet counts were sampled at m_sampledTicks
    int64_t m_sampledTicks = 0;
    std::map<int, Occurrence> m_open;  // by indicator and PID
    std::vector<Occurrence> m_closed;
};

}  // namespace tsvigil
