// SPDX-License-Identifier: BSD-2-Clause
#include "check/PesTiming.h"

#include <algorithm>

#include "base/ByteReader.h"

namespace tsvigil {

namespace {

constexpr int64_t kTolerance = PesTiming::kPtsPerMs;        // 1 ms of PTS
constexpr int64_t kLargestLoss = 1000 * PesTiming::kPtsPerMs;  // more is a gap or a splice
constexpr int kPayloadBytes = kPacketSize - 4;

// What the header of a PES tells, as far as the first packet holds it.
struct PesHeader {
    bool valid = false;
    int length = 0;  // PES_packet_length, 0: unbounded
    bool hasPts = false;
    int64_t pts = 0;
};

PesHeader ReadHeader(const uint8_t* p) {
    PesHeader h;
    const int from = PayloadOffset(p);
    if (from >= kPacketSize) return h;
    ByteReader r(p + from, static_cast<size_t>(kPacketSize - from));
    if (r.U16() != 0 || r.U8() != 0x01) return h;
    const int streamId = r.U8();
    h.length = r.U16();
    if (r.Overrun()) return h;
    h.valid = true;
    // The stream_ids without the optional header (ISO/IEC 13818-1 table 2-21).
    if (streamId == 0xBC || streamId == 0xBE || streamId == 0xBF || streamId == 0xF0 || streamId == 0xF1 ||
        streamId == 0xF2 || streamId == 0xF8 || streamId == 0xFF)
        return h;
    const int flags1 = r.U8();
    const int flags2 = r.U8();
    r.U8();  // PES_header_data_length
    if ((flags1 & 0xC0) != 0x80 || (flags2 & 0x80) == 0) return h;
    const int64_t b0 = r.U8(), b12 = r.U16(), b34 = r.U16();
    // A header cut short, or marker bits not set: no PTS to trust.
    if (r.Overrun() || (b0 & 1) == 0 || (b12 & 1) == 0 || (b34 & 1) == 0) return h;
    h.hasPts = true;
    h.pts = ((b0 >> 1) & 0x07) << 30 | (b12 >> 1) << 15 | (b34 >> 1);
    return h;
}

}  // namespace

void PesTiming::SetStream(int pid, PesStream kind) {
    if (pid < 0 || pid >= kPidCount) return;
    int16_t& i = m_index[static_cast<size_t>(pid)];
    if (i < 0) {
        if (kind == PesStream::kNone) return;
        i = static_cast<int16_t>(m_states.size());
        m_states.emplace_back();
    }
    State& s = m_states[static_cast<size_t>(i)];
    if (s.kind != kind) {
        s = State();
        s.kind = kind;
    }
}

void PesTiming::RelearnAll() {
    for (State& s : m_states) Relearn(s);
}

void PesTiming::CounterLoss(int pid, int lost) {
    if (pid < 0 || pid >= kPidCount || m_index[static_cast<size_t>(pid)] < 0) return;
    State& s = m_states[static_cast<size_t>(m_index[static_cast<size_t>(pid)])];
    // Bounded: an endless run of breaks on a PID without PES starts.
    s.lostSinceStart = std::min(s.lostSinceStart + lost, 1 << 24);
    s.lostSincePts = std::min(s.lostSincePts + lost, 1 << 24);
}

void PesTiming::Relearn(State& s) {
    const PesStream kind = s.kind;
    s = State();
    s.kind = kind;
}

void PesTiming::Learn(State& s, int64_t step) {
    s.steps[s.stepCount++] = step;
    if (s.stepCount < kLearnSteps) return;
    // The most common step: the one with the most steps within 1 ms of it
    // (the PTS of a muxer that stamps by its clock jitter a little).
    int best = -1;
    for (int i = 0; i < kLearnSteps; ++i) {
        int near = 0;
        for (int j = 0; j < kLearnSteps; ++j) near += std::abs(s.steps[j] - s.steps[i]) <= kTolerance ? 1 : 0;
        if (near > best || (near == best && s.steps[i] < s.step)) {
            best = near;
            s.step = s.steps[i];
        }
    }
    // Lengths are trusted when at most one in the first PES disagreed.
    s.lengthTrusted = s.lengthMisses <= 1;
}

int PesTiming::PtsStepLoss(State& s, int64_t step, uint64_t packets) {
    // Backwards (a new programme, an edit) or far ahead: no loss, learn again.
    if (step >= kPtsWrap / 2) return -1;
    const int64_t k = s.pesSincePts + 1;
    const int64_t diff = step - k * s.step;
    if (diff < -kTolerance || diff > kLargestLoss) return -1;
    if (diff <= kTolerance) {
        s.candidateHeld = 0;
        return 0;
    }
    const int64_t m = (diff + s.step / 2) / s.step;
    // PTS every few ms cannot tell one missing PES from jitter within 1 ms:
    // such a step counts nothing.
    if (s.step <= 2 * kTolerance) return 0;
    if (m >= 1 && std::abs(diff - m * s.step) <= kTolerance && s.perPes > 0) {
        s.candidateHeld = 0;
        // The PES that did arrive may have carried more frames than the
        // fewest (variable-size PES): only packets short of k + m PES of the
        // fewest size count, and at most m of them.
        const int64_t arrived = static_cast<int64_t>(packets - s.ptsPackets);
        const int64_t per = static_cast<int64_t>(s.perPes);
        const int64_t lost = std::min(m * per, (k + m) * per - arrived);
        return lost > 0 ? static_cast<int>(std::min<int64_t>(lost, 1 << 20)) : 0;
    }
    // Another step: when it holds for 8 PES the stream changed its framing.
    if (k == 1 && s.candidateHeld > 0 && std::abs(step - s.candidate) <= kTolerance) {
        if (++s.candidateHeld >= kLearnSteps) {
            s.step = s.candidate;
            s.candidateHeld = 0;
        }
    } else {
        s.candidate = step;
        s.candidateHeld = k == 1 ? 1 : 0;
    }
    return 0;
}

void PesTiming::AudioLoss(State& s, bool valid, int length, bool hasPts, int64_t pts, uint64_t packets, uint64_t epoch,
                          uint64_t discontinuities, PesStartResult& result) {
    // The PES before, from its start up to this packet.
    int lengthLost = 0;
    if (s.hasStart) {
        const uint64_t seen = packets - s.startPackets;
        if (s.length > 0) {
            const uint64_t needed = (static_cast<uint64_t>(s.length) + 6 + kPayloadBytes - 1) / kPayloadBytes;
            if (seen < needed) {
                if (s.step == 0) ++s.lengthMisses;
                else if (s.lengthTrusted) lengthLost = static_cast<int>(needed - seen);
            }
        }
        if (s.step == 0 && s.lostSinceStart == 0 && (s.perPes == 0 || seen < s.perPes)) s.perPes = seen;
    }
    int stepLost = 0;
    if (hasPts) {
        if (s.hasPts) {
            const int64_t step = (pts - s.pts + kPtsWrap) % kPtsWrap;
            if (s.step > 0) {
                stepLost = PtsStepLoss(s, step, packets);
            } else if (s.pesSincePts == 0 && step > 0 && step <= kLargestLoss) {
                Learn(s, step);
            } else if (step == 0 || step > kLargestLoss) {
                Relearn(s);
                s.epoch = epoch;
                s.discontinuities = discontinuities;
            }
        }
        if (stepLost < 0) {
            Relearn(s);
            s.epoch = epoch;
            s.discontinuities = discontinuities;
            stepLost = 0;
        }
    }
    // Where the counter showed a loss at the same place, the larger
    // estimate counts, once.
    const int shown = stepLost >= lengthLost ? s.lostSincePts : s.lostSinceStart;
    const int estimate = std::max(stepLost, lengthLost);
    if (estimate > shown) {
        result.lost = estimate - shown;
        result.reason = stepLost >= lengthLost ? PesLossReason::kPtsStep : PesLossReason::kPesLength;
    }
    s.hasStart = valid;
    s.startPackets = packets;
    s.length = valid ? length : 0;
    s.lostSinceStart = 0;
}

PesStartResult PesTiming::OnStart(const uint8_t* p, int pid, uint64_t packets, uint64_t discontinuities,
                                   uint64_t epoch, bool hasElapsed, int64_t elapsed, int64_t offset) {
    PesStartResult result;
    if (pid < 0 || pid >= kPidCount || m_index[static_cast<size_t>(pid)] < 0) return result;
    State& s = m_states[static_cast<size_t>(m_index[static_cast<size_t>(pid)])];
    if (s.kind == PesStream::kNone) return result;
    if (s.epoch != epoch || s.discontinuities != discontinuities) {
        Relearn(s);
        s.epoch = epoch;
        s.discontinuities = discontinuities;
    }
    // A scrambled PES header cannot be read: the PES counts as arrived,
    // its length and the PCR time of its PTS are unknown.
    if (Scrambled(p)) {
        s.hasStart = false;
        s.hasPtsElapsed = false;
        s.pesSincePts = std::min(s.pesSincePts + 1, 1 << 20);
        return result;
    }
    const PesHeader h = ReadHeader(p);

    if (s.kind == PesStream::kAudio)
        AudioLoss(s, h.valid, h.length, h.hasPts, h.pts, packets, epoch, discontinuities, result);

    if (!h.hasPts) {
        s.pesSincePts = std::min(s.pesSincePts + 1, 1 << 20);
        return result;
    }
    s.hasPts = true;
    s.pts = h.pts;
    s.ptsPackets = packets;
    s.pesSincePts = 0;
    s.lostSincePts = 0;
    if (hasElapsed) {
        if (s.hasPtsElapsed && elapsed - s.ptsElapsed > kPtsGapTicks) {
            result.ptsGap = true;
            result.gapFrom = s.ptsOffset;
            result.gapTicks = elapsed - s.ptsElapsed;
        }
        s.hasPtsElapsed = true;
        s.ptsElapsed = elapsed;
        s.ptsOffset = offset;
    } else {
        s.hasPtsElapsed = false;
    }
    return result;
}

}  // namespace tsvigil
