// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <vector>

#include "base/TSPacket.h"

namespace tsvigil {

// Which rule told of sound lost behind a clean continuity_counter.
enum class PesLossReason : uint8_t {
    kPtsStep,    // PES missing between two PTS of the usual step
    kPesLength,  // fewer packets than PES_packet_length asks for
};

// Of the elementary streams, those whose PES starts are read.
enum class PesStream : uint8_t {
    kNone,
    kVideo,
    kAudio,
};

// What the start of one PES told.
struct PesStartResult {
    // Packets lost that the continuity_counter did not show (beyond what it
    // showed since the PES before), and by which rule.
    int lost = 0;
    PesLossReason reason = PesLossReason::kPtsStep;
    // More than 700 ms of PCR time since the PID's last PTS (ETSI TR 101
    // 290 PTS_error): the offset of the packet of that PTS and the ticks.
    bool ptsGap = false;
    int64_t gapFrom = -1;
    int64_t gapTicks = 0;
};

// Follows the PES starts of the video and audio PIDs (ISO/IEC 13818-1
// 2.4.3.6): the PTS and PES_packet_length of each, read only at packets
// with payload_unit_start_indicator.
//
// On audio PIDs it finds losses the 4-bit continuity_counter hides (16, 32,
// ... packets in a row): it learns the usual PTS step (the most common of
// the first 8 steps) and the fewest packets per PES; a step that is, within
// 1 ms, m usual steps more than the PES that arrived account for means m
// PES are missing. A PES whose PES_packet_length asks for more packets than
// came before the next PES start lost at least the difference. Packets are
// counted, not bytes: the per-packet count exists already, and payloads are
// never less than full but for adaptation fields, which only make a PES
// longer, so the figure stays a lower bound.
//
// On video and audio PIDs it times the PTS by the PCR: more than 700 ms
// between two is reported.
class PesTiming {
public:
    static constexpr int64_t kPtsWrap = int64_t{1} << 33;
    static constexpr int64_t kPtsPerMs = 90;
    static constexpr int kLearnSteps = 8;
    static constexpr int64_t kPtsGapTicks = 700LL * 27000;  // 700 ms of 27 MHz

    PesTiming() : m_index(kPidCount, -1) {}

    // The PIDs to follow, as the PMTs name them now; a PID that changed
    // kind starts afresh.
    void SetStream(int pid, PesStream kind);
    PesStream Kind(int pid) const {
        return pid >= 0 && pid < kPidCount && m_index[static_cast<size_t>(pid)] >= 0
                   ? m_states[static_cast<size_t>(m_index[static_cast<size_t>(pid)])].kind
                   : PesStream::kNone;
    }
    // Every PID learns again (a PMT changed, the clock broke).
    void RelearnAll();
    // Packets the continuity_counter showed lost on pid.
    void CounterLoss(int pid, int lost);

    // A packet of pid with payload_unit_start_indicator. packets: the PID's
    // packets so far, this one included; discontinuities: the PID's counter
    // breaks excused so far; epoch grows with each gap, clock reset or PMT
    // change; elapsed (when hasElapsed) the PCR time of the packet.
    PesStartResult OnStart(const uint8_t* p, int pid, uint64_t packets, uint64_t discontinuities, uint64_t epoch,
                           bool hasElapsed, int64_t elapsed, int64_t offset);

private:
    struct State {
        PesStream kind = PesStream::kNone;
        uint64_t epoch = 0;
        uint64_t discontinuities = 0;
        // Learning: the steps seen so far; step 0 until learnt.
        int64_t steps[kLearnSteps] = {};
        int stepCount = 0;
        int64_t step = 0;
        uint64_t perPes = 0;  // fewest packets per PES, 0 unknown
        // A step that differs from the usual one and holds.
        int64_t candidate = 0;
        int candidateHeld = 0;
        // The last PES start, and its declared length (0: none).
        bool hasStart = false;
        uint64_t startPackets = 0;
        int length = 0;
        int lostSinceStart = 0;
        // PES_packet_length that disagree while learning: a muxer that
        // writes them so is no sign of loss.
        int lengthMisses = 0;
        bool lengthTrusted = false;
        // The last PTS, its PES start, and the PES since.
        bool hasPts = false;
        int64_t pts = 0;
        uint64_t ptsPackets = 0;
        int pesSincePts = 0;  // PES starts without a PTS since it
        int lostSincePts = 0;
        // The last PTS in PCR time, for the 700 ms.
        bool hasPtsElapsed = false;
        int64_t ptsElapsed = 0;
        int64_t ptsOffset = -1;
    };

    static void Relearn(State& s);
    void Learn(State& s, int64_t step);
    // The loss the PTS step shows; 0 when none, -1 when the PID must learn
    // again.
    int PtsStepLoss(State& s, int64_t step, uint64_t packets);
    // The sound PES before this start (valid: its header read, length its
    // PES_packet_length; hasPts and pts this one's): what the PTS step and
    // the length say was lost, into result.
    void AudioLoss(State& s, bool valid, int length, bool hasPts, int64_t pts, uint64_t packets, uint64_t epoch,
                   uint64_t discontinuities, PesStartResult& result);

    std::vector<int16_t> m_index;  // per PID, into m_states; -1 not followed
    std::vector<State> m_states;
};

}  // namespace tsvigil
