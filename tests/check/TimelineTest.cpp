// SPDX-License-Identifier: BSD-2-Clause
#include "check/Timeline.h"

#include <gtest/gtest.h>

#include <cstdint>

#include <string>
#include <vector>

#include "check/PidRoles.h"

namespace tsvigil {

namespace {

// 2008-06-01 12:00:00, the time of the first TOT of every row; the rows'
// broadcast times are written in ms from it.
constexpr int64_t kBaseSeconds = 1212321600;
// 100 bytes of stream a millisecond: offsets are written in ms too.
constexpr int64_t kBytesPerMs = 100;
// PCRs start 100 s in, so that a clock reset can go back 60 s.
constexpr int64_t kPcrOriginMs = 100000;

// What a step does, in stream order: kPcrs writes PCRs of the clock PID
// every 100 ms valued a to b ms, the first at offset c ms; kTot is a TOT of
// kBaseSeconds + a at offset b ms; kFinding a continuity error at offset a
// ms. Before the PMT: kKept writes a PCR valued 0 on each of b PIDs from a,
// at offset c ms; kClockPid names a the clock PID at offset b ms.
enum class Op { kPcrs, kTot, kFinding, kKept, kClockPid };
struct Step {
    Op op;
    int64_t a;
    int64_t b = 0;
    int64_t c = 0;
};

// Writes what it is handed: a letter for the kind (T: TOT, F: other
// finding, G: gap), @ and the broadcast time in ms from the base ("-"
// when unknown), a gap's end, and / the elapsed ms.
class Recorder : public Output {
public:
    void On(const Finding& f) override {
        text += f.kind == Finding::Kind::kTot ? " T@" : f.kind == Finding::Kind::kGap ? " G@" : " F@";
        text += f.hasAt ? std::to_string(f.at - kBaseSeconds * 1000) : "-";
        if (f.hasToAt) text += "-" + std::to_string(f.toAt - kBaseSeconds * 1000);
        text += f.hasElapsed ? "/" + std::to_string(f.elapsed / PcrClock::kTicksPerMs) : "/-";
    }
    std::string text;
};

struct Packet {
    uint8_t bytes[188];
};

Packet Pcr(int pid, int64_t ms) {
    Packet packet = {{0x47, static_cast<uint8_t>(pid >> 8), static_cast<uint8_t>(pid), 0x20, 183, 0x10}};
    uint8_t* p = packet.bytes;
    const int64_t base = (kPcrOriginMs + ms) * 90;
    p[6] = static_cast<uint8_t>(base >> 25);
    p[7] = static_cast<uint8_t>(base >> 17);
    p[8] = static_cast<uint8_t>(base >> 9);
    p[9] = static_cast<uint8_t>(base >> 1);
    p[10] = static_cast<uint8_t>((base & 1) << 7);
    return packet;
}

void Play(Timeline& timeline, const Step& s) {
    Finding f;
    switch (s.op) {
        case Op::kPcrs:
            for (int64_t ms = s.a; ms <= s.b; ms += 100)
                timeline.OnClockPacket(Pcr(0x0101, ms).bytes, (s.c + ms - s.a) * kBytesPerMs);
            return;
        case Op::kKept:
            for (int pid = static_cast<int>(s.a); pid < s.a + s.b; ++pid)
                timeline.KeepFirstPcrs(Pcr(pid, 0).bytes, s.c * kBytesPerMs, 188, 1);
            return;
        case Op::kClockPid:
            timeline.SetClockPid(static_cast<int>(s.a), s.b * kBytesPerMs);
            return;
        case Op::kTot:
            f.kind = Finding::Kind::kTot;
            f.hasTime = true;
            f.time = TimeValue(kBaseSeconds + s.a);
            f.offset = f.timedAt = s.b * kBytesPerMs;
            break;
        case Op::kFinding:
            f.kind = Finding::Kind::kContinuityError;
            f.offset = f.timedAt = s.a * kBytesPerMs;
            break;
    }
    timeline.Emit(f);
}

struct Case {
    const char* name;
    std::vector<Step> steps;
    const char* handed;  // what the outputs were handed, in order
    const char* jumps;   // broadcast time missing at a re-anchor
    bool roles = false;  // the PSI is followed: the PCR_PID waits for the PMT
};
const Case kCases[] = {
    {"the first TOT anchors: a finding 100 ms after it is placed 100 ms after its time",
     {{Op::kPcrs, 0, 200, 0}, {Op::kTot, 0, 250}, {Op::kPcrs, 300, 300, 300}, {Op::kFinding, 350}, {Op::kPcrs, 400, 500, 400}},
     " T@0/250 F@100/350", ""},
    {"a later TOT 1 s off the clock (within 2 s) does not re-anchor",
     {{Op::kPcrs, 0, 200, 0}, {Op::kTot, 0, 250}, {Op::kPcrs, 300, 1200, 300}, {Op::kTot, 2, 1250},
      {Op::kPcrs, 1300, 1300, 1300}, {Op::kFinding, 1350}, {Op::kPcrs, 1400, 1400, 1400}},
     " T@0/250 T@1000/1250 F@1100/1350", ""},
    {"a later TOT 3 s off the clock re-anchors",
     {{Op::kPcrs, 0, 200, 0}, {Op::kTot, 0, 250}, {Op::kPcrs, 300, 1200, 300}, {Op::kTot, 4, 1250},
      {Op::kPcrs, 1300, 1300, 1300}, {Op::kFinding, 1350}, {Op::kPcrs, 1400, 1400, 1400}},
     " T@0/250 T@4000/1250 F@4100/1350", ""},
    {"a clock reset: no broadcast time until the next TOT, which holds back to the reset and leaves a jump",
     {{Op::kPcrs, 0, 200, 0}, {Op::kTot, 0, 250}, {Op::kPcrs, 300, 500, 300}, {Op::kPcrs, -59400, -59400, 600},
      {Op::kFinding, 650}, {Op::kPcrs, -59300, -59300, 700}, {Op::kTot, 10, 750}, {Op::kPcrs, -59200, -59200, 800},
      {Op::kFinding, 850}, {Op::kPcrs, -59100, -59100, 900}},
     " T@0/250 G@250/500 F@-/650 T@10000/750 F@10100/850", " 350-9850"},
    {"a 3 s gap: the finding waiting for the PCR after it is placed at its end",
     {{Op::kPcrs, 0, 200, 0}, {Op::kTot, 0, 250}, {Op::kPcrs, 300, 500, 300}, {Op::kFinding, 550},
      {Op::kPcrs, 3500, 3600, 600}},
     " T@0/250 G@250-3250/500 F@3250/3500", ""},
    {"a TOT before the first PCR anchors once the clock gives a rate, worked back at the transport rate",
     {{Op::kTot, 0, 0}, {Op::kPcrs, 0, 200, 100}, {Op::kFinding, 350}, {Op::kPcrs, 300, 300, 400}},
     " T@0/- F@350/250", ""},
    {"the PMT names the PCR_PID after other PIDs' PCRs: elapsed counts from its first PCR, kept",
     {{Op::kKept, 0x0100, 1, 0}, {Op::kKept, 0x0101, 1, 50}, {Op::kTot, 0, 250}, {Op::kClockPid, 0x0101, 300},
      {Op::kPcrs, 250, 450, 300}, {Op::kFinding, 550}, {Op::kPcrs, 550, 550, 600}},
     " T@0/200 F@300/500", "", true},
    {"PCRs of 64 PIDs before the PMT: none kept for the PCR_PID, elapsed counts from its first PCR after",
     {{Op::kKept, 0x0200, 64, 0}, {Op::kKept, 0x0101, 1, 50}, {Op::kTot, 0, 250}, {Op::kClockPid, 0x0101, 300},
      {Op::kPcrs, 250, 450, 300}, {Op::kFinding, 550}, {Op::kPcrs, 550, 550, 600}},
     " T@-/- F@300/250", "", true},
};

TEST(TimelineTest, AnchorsGapsAndResets) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Recorder recorder;
        const std::vector<Output*> outputs = {&recorder};
        BroadcastClock clock([] {});
        Timeline timeline(outputs, clock);
        PidRoles roles;
        if (c.roles) timeline.FollowRoles(&roles);
        for (const auto& s : c.steps) Play(timeline, s);
        timeline.Finish();
        EXPECT_EQ(c.handed, recorder.text);
        std::string jumps;
        for (const auto& j : timeline.Jumps())
            jumps += " " + std::to_string(j.first - kBaseSeconds * 1000) + "-" + std::to_string(j.second - kBaseSeconds * 1000);
        EXPECT_EQ(c.jumps, jumps);
    }
}

}  // namespace

}  // namespace tsvigil
