// SPDX-License-Identifier: BSD-2-Clause
#include "check/Check.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>
#include <type_traits>

#include "base/TSPacket.h"
#include "check/Verdict.h"
#include "stream/StreamSource.h"
#include "text/AdditionalSymbols.h"

namespace tsvigil {

namespace {

// How often the progress tick runs, in packets.
constexpr int kTickPackets = 1 << 15;

}  // namespace

Check::Check(StreamSource& source, std::vector<Output*> outputs, const char* file, Judging judging)
    : m_outputs(std::move(outputs)),
      m_source(source),
      m_judging(std::move(judging)),
      m_framer(source),
      m_clock([this] { OnTot(); }),
      m_events([this](int serviceId, const EITEvent& event) { OnPresentEvent(serviceId, event); }) {
    m_stats.file = file;
    m_stats.selectedServices = m_judging.services;
    // The dispatcher asks about a repeated counter before the packet loop
    // has taken in the packet: the accounting's record is still of the one
    // before.
    m_tables.SetCopyTest([this](const uint8_t* p, int pid) { return m_accounting->SameAsLast(p, pid); });
    m_tables.Add(TOT::kPid, &m_clock);
    m_tables.Add(EIT::kPid, &m_events);
    // The PSI and the SDT are followed only for an output that shows roles
    // or names: unfollowed, they cost nothing per packet.
    // Chosen services are told apart by their PMTs, and programmes judged
    // by their services' picture and sound.
    if (!m_stats.selectedServices.empty() || m_judging.programme ||
        std::any_of(m_outputs.begin(), m_outputs.end(), [](const Output* o) { return o->WantsRoles(); })) {
        m_roles = std::make_unique<PidRoles>();
        m_roles->PreferServices(m_stats.selectedServices);
        m_timeline.FollowRoles(m_roles.get());
        m_roles->Attach(m_tables);
        m_stats.roles = m_roles.get();
        m_events.FollowProgrammes(
            [this](int serviceId, const EITEvent& event) { m_coverage.OnProgramme(serviceId, event); });
        // The coverage keeps the timed findings of picture and sound for
        // each programme's figures.
        m_outputs.push_back(&m_coverage);
        m_indicators = std::make_unique<Indicators>(m_outputs, m_timeline, *m_roles, m_tables,
                                                    [this](const uint8_t* p) { return m_framer.PacketOffset(p); });
        m_timeline.FollowIndicators(m_indicators.get());
    }
}

void Check::Emit(Finding& f, bool transportError) {
    // Counts have no place of their own: they are timed where they are
    // handed out, at a TOT's packet or at the end.
    f.timedAt = f.offset >= 0 ? f.offset : m_ended ? m_lastPacket : m_framer.PacketOffset(m_dispatched);
    m_timeline.Emit(f, transportError);
}

void Check::OnTransportError(const uint8_t* p, int pid) {
    if (m_transportErrorsSinceTot < INT32_MAX) ++m_transportErrorsSinceTot;
    m_accounting->TakeTransportError(pid);
    if (!m_roles) return;
    m_timeline.ErrorPacket(m_framer.PacketOffset(p), pid);
    if (!IsPictureOrSound(m_roles.get(), pid)) return;
    Finding f;
    f.hasTime = m_clock.LastTime(f.time);
    f.pid = pid;
    f.offset = m_framer.PacketOffset(p);
    Emit(f, true);
}

Finding Check::Found(Finding::Kind kind) {
    Finding f;
    f.kind = kind;
    f.hasTime = m_clock.LastTime(f.time);
    return f;
}

void Check::EmitCounts() {
    if (m_anyScrambledSinceTot) {
        for (int pid = 0; pid < kPidCount; ++pid) {
            int32_t& n = m_scrambledSinceTot[static_cast<size_t>(pid)];
            if (n == 0) continue;
            Finding f = Found(Finding::Kind::kScrambled);
            f.pid = pid;
            f.count = n;
            Emit(f);
            n = 0;
        }
        m_anyScrambledSinceTot = false;
    }
    if (m_transportErrorsSinceTot != 0) {
        Finding f = Found(Finding::Kind::kTransportErrors);
        f.count = m_transportErrorsSinceTot;
        Emit(f);
        m_transportErrorsSinceTot = 0;
    }
}

void Check::OnTot() {
    // The counts belong to the block this TOT closes: they go out while the
    // previous TOT is still the last one.
    EmitCounts();
    m_timeline.OnTot();
    Finding f;
    f.kind = Finding::Kind::kTot;
    f.hasTime = m_clock.GetTime(f.time);
    f.offset = m_framer.PacketOffset(m_dispatched);
    Emit(f);
}

void Check::OnPresentEvent(int serviceId, const EITEvent& event) {
    Finding f = Found(Finding::Kind::kPresentEvent);
    f.serviceId = serviceId;
    f.eventId = event.event_id;
    f.hasStart = event.has_start_time;
    f.start = event.start_time;
    f.duration = event.has_duration ? event.duration.Seconds() : -1;
    f.name = LabelAdditionalSymbols(event.GetEventName().c_str());
    f.offset = m_framer.PacketOffset(m_dispatched);
    Emit(f);
}

void Check::OnCounterBreak(const uint8_t* p, int pid, const CounterBreak& b) {
    Finding f = Found(Finding::Kind::kContinuityError);
    f.pid = pid;
    f.last = b.last;
    f.counter = b.counter;
    f.lost = b.lost;
    f.duplicate = b.duplicate;
    f.offset = m_framer.PacketOffset(p);
    Emit(f);
    if (m_pesPids[static_cast<size_t>(pid)] != 0) m_pes.CounterLoss(pid, b.lost);
}

void Check::OnPesStart(const uint8_t* p, int pid) {
    const int64_t offset = m_framer.PacketOffset(p);
    Finding now;
    m_timeline.Time(now, offset, false);
    // A PMT change, a gap or a clock reset: what was learnt no longer holds.
    const uint64_t epoch = m_roles->Changes() + m_timeline.GapCount() + m_timeline.DeclaredResets();
    PidCounts& c = m_stats.pids[static_cast<size_t>(pid)];
    const PesStartResult r = m_pes.OnStart(p, pid, m_accounting->Packets(pid), c.discontinuities, epoch,
                                           now.hasElapsed, now.elapsed, offset);
    if (r.lost > 0) {
        c.lost += static_cast<uint64_t>(r.lost);
        Finding f = Found(Finding::Kind::kPesLoss);
        f.pid = pid;
        f.lost = r.lost;
        f.pesReason = r.reason;
        f.offset = offset;
        Emit(f);
    }
    if (r.ptsGap) {
        // Timed at the second PTS, where it is known.
        Finding f = Found(Finding::Kind::kPtsGap);
        f.pid = pid;
        f.offset = r.gapFrom;
        f.toOffset = offset;
        f.gapTicks = r.gapTicks;
        f.timedAt = offset;
        m_timeline.Emit(f);
        // ETSI TR 101 290's PTS_error: more than 700 ms of PCR time between
        // two PTS of a PID that is not scrambled.
        if (m_indicators)
            m_indicators->Occur(IndicatorName::kPtsError, pid, {true, now.elapsed - r.gapTicks, r.gapFrom},
                                {true, now.elapsed, offset});
    }
}

void Check::OnRareHeader(const uint8_t* p, int pid) {
    if (TransportError(p)) OnTransportError(p, pid);
    if (PayloadStart(p) && m_pesPids[static_cast<size_t>(pid)] != 0) OnPesStart(p, pid);
}

void Check::UpdatePesPids() {
    for (int pid = 0; pid < kPidCount; ++pid) {
        const PesStream kind = m_roles->PesKind(pid);
        m_pes.SetStream(pid, kind);
        m_pesPids[static_cast<size_t>(pid)] = kind != PesStream::kNone ? 1 : 0;
    }
}

void Check::OnScrambled(const uint8_t* p, int pid) {
    int32_t& since = m_scrambledSinceTot[static_cast<size_t>(pid)];
    // Counts saturate rather than overflow on an endless scrambled run.
    if (since < INT32_MAX) ++since;
    m_anyScrambledSinceTot = true;
    const bool atStart = m_accounting->TakeScrambled(pid);
    if (m_roles) m_timeline.ScrambledPacket(m_framer.PacketOffset(p), pid, atStart);
    if (m_indicators && m_indicators->IsPsiPid(pid)) m_indicators->OnScrambledPsi(pid, m_framer.PacketOffset(p));
}

void Check::OnCrcErrors(int pid, int failed) {
    if (m_indicators) m_indicators->OnCrcErrors(pid, m_framer.PacketOffset(m_dispatched), failed);
}

int Check::UpdateClockPid() {
    m_rolesSeen = m_roles->Changes();
    if (m_indicators) m_indicators->OnRoles(m_framer.PacketOffset(m_dispatched));
    UpdatePesPids();
    return m_timeline.SetClockPid(m_roles->ClockPid(), m_framer.PacketOffset(m_dispatched));
}

void Check::FinishTimeline(bool packets) {
    m_timeline.Finish();
    if (m_indicators) m_indicators->Finish(m_lastPacket, m_stats);
    // The recording ends at its last packet: bytes after it that are no
    // packet (a cut-off packet, padding) extend no broadcast.
    Finding end;
    m_timeline.Time(end, m_lastPacket, false);
    if (packets && end.hasElapsed) {
        m_stats.hasElapsed = true;
        m_stats.elapsed = end.elapsed;
    }
    m_stats.gaps = m_timeline.GapCount();
    m_stats.declaredResets = m_timeline.DeclaredResets();
    if (m_roles) {
        const auto programmes = m_coverage.Programmes(m_timeline, *m_roles, m_clock, m_stats.hasElapsed, m_stats.elapsed,
                                                      m_judging.whole, m_stats.incompleteProgrammes, m_stats.pids);
        for (const auto& f : programmes) {
            if (m_judging.whole && ProgrammeCoverage::Incomplete(f)) m_stats.incompleteServices.push_back(f.serviceId);
            for (Output* o : m_outputs) o->On(f);
        }
    }
}

void Check::Run(const std::function<void()>& tick) {
    // Continuity state runs across lost sync, so packets lost there show up
    // as counter errors of their PIDs. On the stack, its address in a
    // register: one increment and two stores at a scaled index per packet.
    PacketAccounting accounting(m_stats.pids.data());
    m_accounting = &accounting;
    if (m_indicators) m_indicators->SamplePackets(&accounting);
    // The flags of a packet with nothing to tell: the size announced last,
    // no lost sync. Only other flags need a closer look.
    FrameFlags steadyFlags = FrameFlags::kNone;
    int untilTick = kTickPackets;
    int clockPid = -1;  // none until the PAT and a PMT name one

    // The packets come in stretches (one packet where the framer had to
    // look closer): the end, the flags and the progress are tested once per
    // stretch, and its packets are walked where they lie.
    FrameFlags flags;
    while (!Any((flags = m_framer.FrameStretch()) & FrameFlags::kEnd)) {
        const uint8_t* p = m_framer.Packet();
        const int stride = m_framer.PacketSize();
        int left = m_framer.Count();
        accounting.Hold(m_framer.FirstHeld(), stride);
        if (m_timeline.SeekingOrigin()) m_timeline.KeepFirstPcrs(p, m_framer.PacketOffset(p), stride, left);
        untilTick -= left;
        if (untilTick <= 0) {
            untilTick += kTickPackets;
            if (tick) tick();
        }
        // The tables first: a TOT or an event completed by a packet comes
        // before what the packet itself shows.
        auto dispatch = [&] {
            const int pid = Pid(p);
            if (m_tables.Wants(pid)) {
                m_dispatched = p;
                if (const int failed = m_tables.Dispatch(p, pid)) OnCrcErrors(pid, failed);
                // A PAT or PMT may have named the clock PID anew.
                if (m_roles && m_roles->Changes() != m_rolesSeen) clockPid = UpdateClockPid();
            }
            return pid;
        };
        int pid = dispatch();
        // Only the first packet of a stretch can have other flags than the
        // size announced last.
        if (flags != steadyFlags) {
            OnFlags(flags, p);
            steadyFlags = flags & FrameFlags::kSizes;
        }

        // rareBits: the bits of the header's second byte that call for a
        // closer look: transport_error_indicator, and with the roles
        // followed payload_unit_start_indicator too (a PES may start). One
        // test a packet either way, and a loop of its own for each, so that
        // a run without the roles does nothing more than before.
        auto walk = [&](auto rareBits) __attribute__((always_inline)) {
            for (;;) {
                // The header is read before this packet's stores (Keep()
                // last): a store may reach any byte, and after one the
                // compiler loads it again.
                accounting.Take(p, pid, [&](const CounterBreak& b) { OnCounterBreak(p, pid, b); });
                if (Scrambled(p)) OnScrambled(p, pid);
                // The PCR is read only from the clock PID's packets with an
                // adaptation field.
                if (HasAdaptationField(p) && pid == clockPid) m_timeline.OnClockPacket(p, m_framer.PacketOffset(p));
                if ((p[1] & decltype(rareBits)::value) != 0) OnRareHeader(p, pid);
                accounting.Keep(p, pid);
                if (--left == 0) break;
                p += stride;
                pid = dispatch();
            }
        };
        if (m_roles) walk(std::integral_constant<int, 0xC0>{});
        else walk(std::integral_constant<int, 0x80>{});
        m_lastPacket = m_framer.PacketOffset(p);
    }
    accounting.Finish();
    m_accounting = nullptr;
    if (m_indicators) m_indicators->SamplePackets(nullptr);
    Close(flags);
}

void Check::SyncLost(bool inside) {
    Finding f = Found(Finding::Kind::kSyncError);
    f.offset = m_framer.LostOffset();
    ++m_stats.syncErrors;
    if (inside) ++m_stats.syncErrorsInside;
    f.atEnd = !inside;
    Emit(f);
}

void Check::OnFlags(FrameFlags flags, const uint8_t* p) {
    const int size = Any(flags & FrameFlags::kSize188) ? 188 : Any(flags & FrameFlags::kSize192) ? 192 : 204;
    if (size != m_announcedSize) {
        m_announcedSize = size;
        Finding f = Found(Finding::Kind::kPacketSize);
        f.count = size;
        f.offset = m_framer.PacketOffset(p);
        Emit(f);
    }
    if (Any(flags & FrameFlags::kSyncError)) SyncLost(true);
}

void Check::Close(FrameFlags flags) {
    // Bytes skipped at the end of the input (a cut-off last packet,
    // trailing garbage, an input without any packet) are lost sync too.
    m_ended = true;
    if (Any(flags & FrameFlags::kSyncError)) SyncLost(false);
    // Counts gathered after the last TOT (or in a stream without any) close
    // the check; no TOT follows them.
    EmitCounts();
    FinishTimeline(m_announcedSize != 0);
    for (int pid = 0; pid < kPidCount; ++pid) {
        PidCounts& c = m_stats.pids[static_cast<size_t>(pid)];
        c.crcErrors = m_tables.CrcErrors(pid);
        c.descriptorErrors = m_tables.DescriptorErrors(pid);
    }
    m_stats.bytes = m_framer.Offset();
    m_stats.bytesInRuns = m_framer.BytesInRuns();
    m_stats.packetSize = m_announcedSize;
    m_stats.tots = m_clock.TotCount();
    m_stats.firstTotValid = m_clock.FirstTime(m_stats.firstTot);
    m_stats.lastTotValid = m_clock.LastTime(m_stats.lastTot);
    m_stats.unreadable = m_source.IsReadError();
    m_stats.errorNumber = m_source.ErrorNumber();
    const uint64_t tolerate = m_judging.tolerate;
    m_stats.verdict = Judge(m_stats, tolerate);
    if (m_judging.programme) m_coverage.JudgeWithin(m_stats.verdict, m_stats, m_stats.selectedServices, tolerate);
    if (m_roles) {
        for (const auto& service : m_roles->Services()) {
            CheckStats::ServiceVerdict sv;
            sv.serviceId = service.first;
            sv.judged = !m_roles->PictureAndSoundPids(service.first).empty();
            if (sv.judged) sv.verdict = JudgeServices(m_stats, tolerate, {service.first});
            if (sv.judged && m_judging.programme) m_coverage.JudgeWithin(sv.verdict, m_stats, {service.first}, tolerate);
            m_stats.serviceVerdicts.push_back(std::move(sv));
        }
    }
    for (Output* o : m_outputs) o->Finish(m_stats);
}

}  // namespace tsvigil
