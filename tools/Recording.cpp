// SPDX-License-Identifier: BSD-2-Clause
#include "tools/Recording.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>

#include "tools/SiBuilder.h"
#include "tools/TestStream.h"

namespace tsvigil {

namespace tsgen {

namespace {

constexpr int kVideoPid = 0x0111;
constexpr int kAudioPid = 0x0112;
constexpr int kPmtPid = 0x01F0;
constexpr int kNullPid = 0x1FFF;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool Every(long long k, long long n) { return n > 0 && k % n == n - 1; }

// The PSI of RecordingPsi() in place of the plain PAT and PMT, ten times a
// second each, and now and then a packet on each PID it names that the
// plain recording leaves empty (on the PCR PID only when no clock runs
// there). False for a slot left to the others.
bool Psi(const std::vector<PsiSection>& psi, long long k, StreamBuilder& b, bool pcrOnClock = false,
         bool sections = true) {
    static const int kPids[] = {0x0901, 0x0902, 0x0A01, 0x0121, 0x0130, 0x0138, 0x0140, 0x0150};
    const long long slot = k % 1000;
    if (slot % 200 == 0 && sections) {
        const PsiSection& s = psi[static_cast<size_t>(slot / 200)];
        b.AddSection(s.pid, s.section);
        return true;
    }
    if (slot % 100 == 20 && !pcrOnClock) {
        b.AddPacket(0x01FF, {}, false, {}, true);  // PCR only: an adaptation field, no payload
        return true;
    }
    if (slot % 100 == 40) {
        b.AddFiller(kPids[(k / 100) % 8]);
        return true;
    }
    return false;
}

// The PCR_PID of the first programme of the PAT among these sections.
int FirstPcrPid(const std::vector<PsiSection>& psi) {
    const Bytes& pat = psi.front().section;
    int pmtPid = -1;
    for (size_t i = 8; i + 4 + 4 <= pat.size() && pmtPid < 0; i += 4)
        if ((pat[i] << 8 | pat[i + 1]) != 0) pmtPid = (pat[i + 2] & 0x1F) << 8 | pat[i + 3];
    for (const PsiSection& s : psi)
        if (s.pid == pmtPid) return (s.section[8] & 0x1F) << 8 | s.section[9];
    return -1;
}

constexpr uint64_t kPcrHz = 27000000;
constexpr uint64_t kPcrWrap = (uint64_t{1} << 33) * 300;  // program_clock_reference_base wraps at 2^33

// The packet of the broadcast sent at a second.
long long PacketAt(double second, long long packetsPerSecond) {
    return std::llround(second * static_cast<double>(packetsPerSecond));
}

// The broadcast's clock: packet n is sent n / pps seconds in,
// and each reset puts it back 60 s from the first PCR at or after it.
struct ResetPoint {
    long long packet;
    bool declared;
};
std::function<PcrStamp(long long)> PcrClock(uint64_t start, std::vector<ResetPoint> resets, long long pps) {
    long long previous = -1;
    return [start, resets, previous, pps](long long n) mutable {
        PcrStamp s;
        uint64_t back = 0;
        for (const ResetPoint& r : resets) {
            if (n < r.packet) continue;
            back += 60 * kPcrHz;
            if (previous < r.packet) s.discontinuity |= r.declared;
        }
        previous = n;
        const uint64_t ticks = static_cast<uint64_t>(n) * kPcrHz / static_cast<uint64_t>(pps);
        s.pcr = (start % kPcrWrap + ticks % kPcrWrap + kPcrWrap - back % kPcrWrap) % kPcrWrap;
        return s;
    };
}

}  // namespace

bool WriteRecording(const std::string& path, const RecordingOptions& o) {
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
    if (!f) return false;
    StreamBuilder b(o.packetSize);
    const std::pair<const std::vector<PidFault>*, PidFaultKind> pidFaults[] = {
        {&o.dropPid, PidFaultKind::Drop},
        {&o.dupPid, PidFaultKind::Duplicate},
        {&o.triplePid, PidFaultKind::Triple},
        {&o.discPid, PidFaultKind::Discontinuity},
        {&o.scrambleStart, PidFaultKind::ScrambleFirst},
        {&o.scramblePid, PidFaultKind::Scramble},
    };
    for (const auto& kind : pidFaults)
        for (const PidFault& p : *kind.first) b.AddPidFault({p.pid, kind.second, p.every});
    for (const SectionFaultRule& r : o.badCrc) b.AddSectionFault(r);
    const long long pps = o.packetsPerSecond;
    SiSchedule si(pps, 1800, o.badCrcEvery);
    const bool withSi = o.si || o.programmeSeconds > 0;
    if (o.programmeSeconds > 0) si.SetTimetable(0, o.programmeSeconds, o.programmeStartOffset);
    std::vector<ResetPoint> resets;
    for (const double at : o.pcrReset) resets.push_back({PacketAt(at, pps), false});
    for (const double at : o.pcrResetDeclared) resets.push_back({PacketAt(at, pps), true});
    const bool withPcr = o.pcr || !resets.empty();
    const std::vector<PsiSection> psi = RecordingPsi(o.plainServiceName);
    if (withPcr) {
        const std::vector<PsiSection> plain = {{0x0000, MakePAT()}, {kPmtPid, MakePMT()}};
        b.SetPcrClock(FirstPcrPid(o.psi ? psi : plain), pps * 40 / 1000,
                      PcrClock(o.pcrStart, resets, pps));
    }
    for (const auto& w : o.withheldSections)
        b.Withhold(w.pid, PacketAt(w.at, pps), PacketAt(w.at + w.seconds, pps) - PacketAt(w.at, pps));
    for (const auto& w : o.withheldPcr)
        b.Withhold(-1, PacketAt(w.at, pps), PacketAt(w.at + w.seconds, pps) - PacketAt(w.at, pps));
    if (o.cutSeconds > 0)
        b.SetGap(PacketAt(o.cutAt, pps), PacketAt(o.cutAt + o.cutSeconds, pps) - PacketAt(o.cutAt, pps));
    // Timed: slot k is packet k of the broadcast, within the few packets a
    // section or a PCR puts ahead, which the next filler slots give back.
    const bool timed = withPcr || o.cutSeconds > 0 || o.programmeSeconds > 0 || !o.withheldSections.empty();
    // The PSI comes every 1000 packets; at a few hundred packets a second
    // that would leave seconds without a PMT, so slow rates send it every
    // 100 to 500 packets.
    const long long psiScale = pps >= 2000 ? 1 : pps >= 1000 ? 2 : pps >= 400 ? 5 : 10;
    const long long target = o.bytes > 0 ? o.bytes / o.packetSize : o.packets;
    long long written = 0;
    long long k = 0;
    long long videoPackets = 0;
    for (int i = 0; i < o.pcrPidsBefore; ++i) b.AddPcrPacket(0x1000 + i, o.pcrStart + static_cast<uint64_t>(i) * kPcrHz);
    const long long psiFrom = PacketAt(o.psiFrom, pps);
    // The PES: the PTS runs on the broadcast clock, 0.3 s ahead of the PCR,
    // at the nominal time of the PES (what a slot of PSI or SI delays keeps
    // its PTS, as an encoder's frames do).
    for (const RecordingOptions::DropRun& r : o.dropRuns) b.AddDropRun(r.pid, PacketAt(r.at, pps), r.count);
    auto ptsClock = PcrClock(o.pcrStart, resets, pps);
    const long long noPtsFrom = PacketAt(o.noPtsAt, pps), noPtsTo = PacketAt(o.noPtsAt + o.noPtsSeconds, pps);
    auto pesStart = [&](int streamId, int length, long long nominal) {
        const long long n = b.Sent();
        const bool hasPts = o.noPtsSeconds <= 0 || n < noPtsFrom || n >= noPtsTo;
        Bytes payload = PesHeader(streamId, length, hasPts, ptsClock(nominal).pcr / 300 + 27000);
        for (size_t i = payload.size(); i < 184; ++i) payload.push_back(static_cast<uint8_t>(0x80 | (i * 7 + 1)));
        return payload;
    };
    long long audioPes = 0, audioLeft = 0, audioPackets = 0, videoFrame = 0;
    auto audio = [&](const PacketFaults& faults) {
        // The sound packets' slots come every 12 packets of the broadcast.
        ++audioPackets;
        if (!o.pes || audioLeft-- > 0) {
            b.AddFiller(kAudioPid, faults);
            return;
        }
        static const int kVary[] = {4, 8, 4, 12};
        const int packets = o.pesVary ? kVary[audioPes % 4] : 4;
        const int extra = Every(audioPes, o.pesLongEvery) ? 184 : 0;
        ++audioPes;
        audioLeft = packets - 1;
        b.AddPacket(kAudioPid, pesStart(0xC0, packets * 184 - 6 + extra, 12 * (audioPackets - 1)), true, faults);
    };
    auto video = [&](const PacketFaults& faults) {
        // A frame every 1001/30000 s of the broadcast.
        if (!o.pes || b.Sent() * 30000 < videoFrame * 1001 * pps) {
            b.AddFiller(kVideoPid, faults);
            return;
        }
        const long long frame = b.Sent() * 30000 / (1001 * pps);
        videoFrame = frame + 1;
        b.AddPacket(kVideoPid, pesStart(0xE0, 0, frame * 1001 * pps / 30000), true, faults);
    };
    auto flush = [&]() {
        const Bytes& d = b.Data();
        if (!d.empty() && std::fwrite(d.data(), 1, d.size(), f.get()) != d.size()) return false;
        written += static_cast<long long>(b.PacketCount());
        b.Clear();
        return true;
    };
    while (written + static_cast<long long>(b.PacketCount()) < target) {
        PacketFaults faults;
        faults.badSync = Every(k, o.badSyncEvery);
        faults.transportError = Every(k, o.teiEvery);
        if (Every(k, o.loseBytesEvery)) faults.lostBytes = 100;
        // The SI schedule goes first: its TOT slot (mid-second) would
        // otherwise fall on the PMT's and never be sent.
        if (withSi && si.Due(k, b)) {
            // The SI schedule wrote its sections.
        } else if (o.psi && Psi(psi, k * psiScale, b, withPcr, k >= psiFrom)) {
            // The PSI and the PIDs it names had their slot.
        } else if (!o.psi && k * psiScale % 1000 == 0 && k >= psiFrom) {
            b.AddSection(0x0000, MakePAT());
        } else if (!o.psi && k * psiScale % 1000 == 500 && k >= psiFrom) {
            b.AddSection(kPmtPid, MakePMT());
        } else if (timed && b.Sent() > k) {
            // A filler slot given back.
        } else if (k % 50 == 7) {
            b.AddFiller(kNullPid, faults);
        } else if (k % 12 == 3) {
            faults.scrambled = Every(k / 12, o.scrambleEvery);
            audio(faults);
        } else {
            if (Every(k, o.dropEvery)) faults.counterStep = 2;
            if (Every(k, o.dupEvery)) faults.copies = 2;
            if (Every(videoPackets++, o.lossRunEvery)) faults.counterStep = o.lossRun + 1;
            video(faults);
        }
        ++k;
        if (b.Data().size() >= (4u << 20) && !flush()) return false;
    }
    if (!flush()) return false;
    // The damaged ends of a recording: a packet cut off by the end of the
    // file, then bytes that are no packet at all.
    if (o.cutTail > 0) {
        b.ClearPidFaults();  // the cut-off packet is one, whatever the PID faults
        b.AddFiller(kVideoPid);
        const size_t n = std::min(b.Data().size() - 1, static_cast<size_t>(o.cutTail));
        if (std::fwrite(b.Data().data(), 1, n, f.get()) != n) return false;
    }
    const Bytes zeros(1 << 16, 0x00);
    for (long long left = o.garbageTail; left > 0; left -= static_cast<long long>(zeros.size())) {
        const size_t n = static_cast<size_t>(std::min<long long>(left, static_cast<long long>(zeros.size())));
        if (std::fwrite(zeros.data(), 1, n, f.get()) != n) return false;
    }
    return std::fflush(f.get()) == 0;
}

}  // namespace tsgen

namespace tsgen {

bool WriteDemoRecording(const std::string& path) {
    // A compressed broadcast: 200 packets stand for one second, so two
    // minutes of a whole multiplex fit in a few megabytes. Faults are
    // placed at chosen moments so the report shows every kind of line.
    //
    // The recording of the first service's programme of 12:00:12-12:01:47
    // began 12 s early and stopped 13 s late, as recorders do: the tuner
    // locked and the descrambler caught up in the first seconds, and the
    // tuner restarted after the programme's end. Every fault of the first
    // service lies in those margins but a packet sent twice, which the
    // continuity_counter tells from a lost one. The second service is a pay
    // service the receiver holds no contract for: its picture and sound
    // are scrambled throughout.
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
    if (!f) return false;
    constexpr long long pps = 200;
    constexpr int kPayAudioPid = 0x0122;
    std::vector<PsiSection> psi = RecordingPsi();
    // The second service's PMT: its own sound, an ECM for the whole
    // programme (ARIB STD-B10 CA descriptor in the program_info loop), and
    // the clock of the first service (services of one multiplex may share
    // a PCR_PID).
    for (PsiSection& s : psi)
        if (s.pid == 0x01F1)
            s.section = MakePMT(0x0401, 0x01FF, CADescriptor(0x0005, 0x0902),
                                {{0x1B, 0x0121, StreamIdentifierDescriptor(0x01)},
                                 {0x0F, kPayAudioPid, StreamIdentifierDescriptor(0x11)},
                                 {0x06, 0x0138, StreamIdentifierDescriptor(0x38)},
                                 {0x80, 0x0150, {}}});
    StreamBuilder b(188);
    b.AddPidFault({0x0121, PidFaultKind::Scramble, 1});
    b.AddPidFault({kPayAudioPid, PidFaultKind::Scramble, 1});
    SiSchedule si(pps, 40);
    // The first service's programmes last 95 s; the one on air when the
    // recording began ends 12 s into it.
    si.SetTimetable(0, 95, 83);
    const long long total = pps * 120;
    long long k = 0;
    // The PCR every 40 ms on the PCR PID, on the same clock as the TOT.
    b.SetPcrClock(0x01FF, pps * 40 / 1000, [&k](long long) {
        PcrStamp s;
        s.pcr = (uint64_t{1} << 32) + static_cast<uint64_t>(k) * kPcrHz / pps;
        return s;
    });
    // After the restart the multiplexer sent no PCR for 0.3 s (about 116 s
    // in: the builder counts the packets it sent, some 5/4 of the slots):
    // ETSI TR 101 290's PCR indicators, in the margin.
    b.Withhold(-1, 117 * pps * 5 / 4, pps * 5 / 4 * 3 / 10);
    // Five seconds of broadcast, from 110 s on, never reached the file (a
    // tuner restart): the bytes between these offsets are left out.
    size_t cutFrom = 0, cutTo = 0;
    for (; k < total; ++k) {
        const long long sec = k / pps;
        if (k == 110 * pps) cutFrom = b.Data().size();
        if (k == 115 * pps) cutTo = b.Data().size();
        PacketFaults faults;
        // The tuner locking: lost sync, then two seconds of transport errors.
        if (k == 3 * pps + 77) faults.badSync = true;
        if (sec >= 4 && sec < 6 && k % 7 == 0) faults.transportError = true;
        if (si.Due(k, b)) {
        } else if (k % 10 == 5) {
            // The PAT, the PMTs and the other PSI four times a second, as
            // ETSI TR 101 290 wants the PAT and each PMT at least every 0.5 s.
            const PsiSection& s = psi[static_cast<size_t>(k / 10 % 5)];
            b.AddSection(s.pid, s.section);
        } else if (Psi(psi, k, b, true)) {
        } else if (k % 12 == 3) {
            // Scrambled until the descrambler caught up, and again after
            // the last TOT.
            faults.scrambled = sec < 8 || sec >= 118;
            b.AddFiller(kAudioPid, faults);
        } else if (k % 12 == 9) {
            b.AddFiller(kPayAudioPid, faults);
        } else {
            if (k == 108 * pps + 161) faults.counterStep = 3;
            // A packet sent twice: its copy takes the next packet's place.
            if (k == 63 * pps + 4) faults.copies = 2;
            if (k != 63 * pps + 5) b.AddFiller(kVideoPid, faults);
        }
    }
    // The recording was stopped in the middle of a packet.
    b.AddFiller(kVideoPid);
    Bytes d = b.Data();
    d.erase(d.begin() + static_cast<long>(cutFrom), d.begin() + static_cast<long>(cutTo));
    const size_t n = d.size() - 88;
    return std::fwrite(d.data(), 1, n, f.get()) == n;
}

}  // namespace tsgen

}  // namespace tsvigil
