// SPDX-License-Identifier: BSD-2-Clause
// Writes the seed corpora of the fuzzers: small streams, packets,
// descriptors and coded texts made by the stream generator, each valid as
// a broadcaster would send it, so that fuzzing starts from deep inside the
// parsers. Usage: tsvigil-fuzz-seeds DIR (DIR/check, DIR/whole,
// DIR/section, DIR/descriptor and DIR/decoder are made when missing).

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/SiBuilder.h"
#include "tools/TestStream.h"

namespace tsvigil {

using tsgen::Bytes;

namespace {

std::string g_dir;
int g_written = 0;

void Put(const std::string& sub, const std::string& name, const Bytes& b) {
    if (tsgen::WriteFile(g_dir + "/" + sub + "/" + name, b)) ++g_written;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Desc(uint8_t tag, const Bytes& body) {
    Bytes d = {tag, static_cast<uint8_t>(body.size())};
    d.insert(d.end(), body.begin(), body.end());
    return d;
}

tsgen::EitEvent Event(int id, const Bytes& descriptors, int hour = 12) {
    tsgen::EitEvent e;
    e.event_id = id;
    e.hour = hour;
    e.descriptors = descriptors;
    return e;
}

// The sections every seed draws on.
struct Sections {
    Bytes tot = tsgen::MakeTOT(2008, 6, 1, 12, 34, 56, tsgen::LocalTimeOffsetDescriptor());
    Bytes totBare = tsgen::MakeTOT(2024, 12, 31, 23, 59, 59);
    Bytes tdt = tsgen::MakeTDT(2010, 1, 2, 3, 4, 5);
    Bytes eitPf = tsgen::MakeEIT(0x4E, 1024, 0, 1,
                                 {Event(1, Cat({tsgen::ShortEventDescriptor("{HV}{字}ニュース７", "天気"),
                                                tsgen::ContentDescriptor(0, 1)}))});
    Bytes eitFollowing = tsgen::MakeEIT(
        0x4E, 1024, 1, 1,
        {Event(2, Cat({tsgen::ShortEventDescriptor("Drama 春", "第１話"),
                       tsgen::ComponentDescriptor(0xB3, "映像"),
                       tsgen::ExtendedEventDescriptor(0, 0, "出演", "山田太郎{ほか}")}),
               13)});
    Bytes eitOther = tsgen::MakeEIT(0x4F, 2048, 0, 1, {Event(7, tsgen::ShortEventDescriptor("ABC"))});
    Bytes eitSchedule;
    Bytes eitUndefined;
    Sections() {
        std::vector<tsgen::EitEvent> many;
        for (int i = 0; i < 12; ++i)
            many.push_back(Event(100 + i, Cat({tsgen::ShortEventDescriptor("きょうの料理{字}", "旬の野菜で作る簡単レシピ"),
                                               tsgen::ExtendedEventDescriptor(0, 1, "内容", "説明")}),
                                 i));
        eitSchedule = tsgen::MakeEIT(0x50, 1024, 8, 8, many);
        tsgen::EitEvent u = Event(9, tsgen::ShortEventDescriptor("{映}{新}{生}"));
        u.undefinedStart = true;
        u.durationSeconds = -1;
        eitUndefined = tsgen::MakeEIT(0x4E, 1025, 0, 0, {u});
    }
};

void CheckSeeds(const Sections& s) {
    const int sizes[] = {188, 192, 204};
    for (int size : sizes) {
        tsgen::StreamBuilder b(size);
        b.AddSection(0x0000, tsgen::MakePAT());
        b.AddSection(0x0014, s.tot);
        b.AddSection(0x0012, s.eitPf);
        b.AddFiller(0x0100);
        tsgen::PacketFaults scrambled;
        scrambled.scrambled = true;
        b.AddFiller(0x0110, scrambled);
        tsgen::PacketFaults tei;
        tei.transportError = true;
        b.AddFiller(0x0100, tei);
        tsgen::PacketFaults skip;
        skip.counterStep = 2;
        b.AddFiller(0x0100, skip);
        b.AddSection(0x0012, s.eitFollowing);
        b.AddSection(0x0014, s.tdt);
        b.AddSection(0x0014, s.totBare);
        Put("check", "si-" + std::to_string(size), b.Data());

        tsgen::StreamBuilder c(size);
        for (int i = 0; i < 3; ++i) c.AddFiller(0x0100);
        tsgen::PacketFaults sync;
        sync.badSync = true;
        c.AddFiller(0x0100, sync);
        c.AddSection(0x0012, s.eitSchedule);
        c.AddFiller(0x1FFF);
        Put("check", "sync-schedule-" + std::to_string(size), c.Data());
    }
    // Sizes that change mid-stream.
    tsgen::StreamBuilder a(188), b(192), c(204);
    a.AddSection(0x0014, s.tot);
    b.AddSection(0x0012, s.eitUndefined);
    c.AddSection(0x0012, s.eitOther);
    Put("check", "size-switch", Cat({a.Data(), b.Data(), c.Data(), a.Data()}));
}

// A recording of a few hundred packets in which every table the check
// follows comes round, with broadcast time compressed to 20 ms a packet:
// the PSI of RecordingPsi() (PAT, two PMTs, CAT, SDT) and a TOT every 50
// packets (one a second), the EIT present/following of both services
// every 25, a PCR every 10 on the first programme's PCR_PID, and picture
// and sound in between. Service 0x0400 changes programme 3 s in, so the
// programmes' coverage has a start and an end to find. With faults: a
// stretch of the broadcast missing, an undeclared clock reset, counter
// breaks, scrambled and transport-error packets and lost sync.
Bytes WholeRecording(int packetSize, bool faults, int packets) {
    constexpr uint64_t kTicksPerPacket = 27000000 / 50;
    tsgen::StreamBuilder b(packetSize);
    b.SetPcrClock(0x01FF, 10, [faults](long long n) {
        tsgen::PcrStamp s;
        s.pcr = 1000 * 27000000ULL + static_cast<uint64_t>(n) * kTicksPerPacket;
        if (faults && n >= 220) s.pcr -= 60 * 27000000ULL;
        return s;
    });
    if (faults) {
        b.SetGap(120, 40);
        b.AddPidFault({0x0111, tsgen::PidFaultKind::Drop, 37});
        b.AddPidFault({0x0112, tsgen::PidFaultKind::Scramble, 11});
    }
    const std::vector<tsgen::PsiSection> psi = tsgen::RecordingPsi();
    auto event = [](int id, int minute, int second, int duration, const std::string& name) {
        tsgen::EitEvent e = Event(id, tsgen::ShortEventDescriptor(name, "あらすじ"));
        e.minute = minute;
        e.second = second;
        e.durationSeconds = duration;
        return e;
    };
    for (int k = 0; static_cast<int>(b.PacketCount()) < packets; ++k) {
        const int slot = k % 50;
        const int second = k / 50;
        tsgen::PacketFaults f;
        f.transportError = faults && k % 97 == 96;
        f.badSync = faults && k == 263;
        if (slot < static_cast<int>(psi.size())) {
            b.AddSection(psi[static_cast<size_t>(slot)].pid, psi[static_cast<size_t>(slot)].section);
        } else if (slot == 10) {
            b.AddSection(0x0014, tsgen::MakeTOT(2008, 6, 1, 12, 0, second, tsgen::LocalTimeOffsetDescriptor()));
        } else if (slot % 25 == 15) {
            const bool changed = second >= 3;
            b.AddSection(0x0012, tsgen::MakeEIT(0x4E, 0x0400, 0, 1,
                                                {changed ? event(2, 0, 3, 60, "{字}ニュース") : event(1, 0, 0, 3, "天気")},
                                                changed ? 1 : 0));
            b.AddSection(0x0012, tsgen::MakeEIT(0x4E, 0x0400, 1, 1,
                                                {changed ? event(3, 1, 3, 60, "ドラマ") : event(2, 0, 3, 60, "{字}ニュース")},
                                                changed ? 1 : 0));
            b.AddSection(0x0012, tsgen::MakeEIT(0x4E, 0x0401, 0, 1, {event(10, 0, 0, 1800, "映画")}));
        } else if (slot % 3 == 0) {
            b.AddFiller(0x0112, f);
        } else if (slot == 44) {
            b.AddFiller(0x0130, f);
        } else {
            b.AddFiller(0x0111, f);
        }
    }
    return b.Data();
}

// The whole-check fuzzer's input: an options byte, the file name's length
// and the name, then the stream.
void WholeSeeds() {
    const struct {
        const char* name;
        uint8_t flags;
        int size;
        bool faults;
        std::string file;
    } kSeeds[] = {
        {"clean-188", 0x00, 188, false, "rec/2008-06-01 \"news\" <1> & more.ts"},
        {"faults-188", 0x03, 188, true, "\x01\x1b[31m\x7f\t\r\n\x81\x7f\xa0\xfd\x82\x9f"},
        {"faults-192", 0x26, 192, true, "\xff\xfe\xc0\x80\xed\xa0\x80</title><script>'"},
        {"faults-204", 0x09, 204, true, "\x83\x65\x83\x58\x83\x67.ts"},
    };
    for (const auto& k : kSeeds) {
        const Bytes ts = WholeRecording(k.size, k.faults, 300);
        Bytes in = {k.flags, static_cast<uint8_t>(k.file.size())};
        in.insert(in.end(), k.file.begin(), k.file.end());
        in.insert(in.end(), ts.begin(), ts.end());
        Put("whole", k.name, in);
        // The whole-check target of the classic outputs takes the stream
        // as it is.
        Put("check", std::string("recording-") + k.name, ts);
    }
}

void SectionSeeds(const Sections& s) {
    const struct {
        const char* name;
        int pid;
        const Bytes* section;
    } kOne[] = {
        {"tot", 0x0014, &s.tot},           {"tot-bare", 0x0014, &s.totBare},
        {"tdt", 0x0014, &s.tdt},           {"eit-present", 0x0012, &s.eitPf},
        {"eit-following", 0x0012, &s.eitFollowing}, {"eit-other", 0x0012, &s.eitOther},
        {"eit-schedule", 0x0012, &s.eitSchedule},    {"eit-undefined", 0x0012, &s.eitUndefined},
    };
    for (const auto& k : kOne) {
        tsgen::StreamBuilder b;
        b.AddSection(k.pid, *k.section);
        Put("section", k.name, b.Data());
        // The bare section too, for the fuzzer's pass that carries the input
        // as one section.
        Put("section", std::string("bare-") + k.name, *k.section);
    }
    // Two sections back to back in one packet, then one spanning packets.
    tsgen::StreamBuilder b;
    b.AddSection(0x0014, Cat({s.tdt, s.totBare}));
    b.AddSection(0x0012, Cat({s.eitPf, s.eitFollowing}));
    b.AddSection(0x0012, s.eitSchedule);
    Put("section", "mixed", b.Data());
}

void DescriptorSeeds() {
    // What follows the tag byte: descriptor_length and the body.
    auto put = [](const std::string& name, const Bytes& d) {
        Put("descriptor", name, Bytes(d.begin() + 1, d.end()));
    };
    put("short-event", tsgen::ShortEventDescriptor("{HV}{字}ニュース７", "きょうのニュースと天気"));
    put("extended-event", tsgen::ExtendedEventDescriptor(1, 2, "出演", "山田太郎{ほか}"));
    put("component", tsgen::ComponentDescriptor(0xB3, "1080i"));
    put("content", tsgen::ContentDescriptor(6, 1));
    put("local-time-offset", tsgen::LocalTimeOffsetDescriptor());
    put("service", Desc(0x48, Cat({{0x01, 3}, tsgen::EncodeAribText("NHK"), {5}, tsgen::EncodeAribText("総合１")})));
    put("service-list", Desc(0x41, {0x04, 0x00, 0x01, 0x04, 0x01, 0x01, 0x04, 0x08, 0xC0}));
    put("ca", Desc(0x09, {0x00, 0x05, 0xE0, 0x11, 0x01, 0x02}));
    put("parental", Desc(0x55, {'J', 'P', 'N', 0x03}));
    put("audio-component", Desc(0xC4, Cat({{0xF2, 0x03, 0x00, 0x10, 0x3F, 0x00, 0x2F, 'j', 'p', 'n'},
                                           tsgen::EncodeAribText("ステレオ")})));
    put("digital-copy", Desc(0xC1, {0x68, 0xC0, 0x00, 0xB3, 0x3C}));
    put("event-group", Desc(0xD6, {0x11, 0x04, 0x01, 0x00, 0x02}));
    put("series", Desc(0xD5, Cat({{0x12, 0x34, 0x1F, 0xC5, 0x5A, 0x01, 0x00, 0x0C}, tsgen::EncodeAribText("連続ドラマ")})));
    put("component-group", Desc(0xD9, {0x00, 0x10, 0x01, 0x11, 0x20, 0x01, 0x00, 0x00}));
    put("terrestrial-delivery", Desc(0xFA, {0xD0, 0x02, 0x1A, 0x0C}));
    put("data-content", Desc(0xC7, {0x00, 0x0C, 0x3C, 0x02, 0x40, 0x41, 0x03, 'j', 'p', 'n', 0x00}));
    put("logo", Desc(0xCF, {0x01, 0xF0, 0x12, 0xE0, 0x34, 0x00, 0x05}));
    put("linkage", Desc(0x4A, {0x7F, 0xE0, 0x00, 0x04, 0x00, 0x01, 0x02, 0xAA}));
    put("loop", Cat({tsgen::ShortEventDescriptor("ABC"), tsgen::ContentDescriptor(1, 2),
                     tsgen::ExtendedEventDescriptor(0, 0, "a", "b")}));
}

// One Decode call in the decoder fuzzer's input layout: the text bytes are
// taken from the front, the op byte and the count from the back.
void DecoderSeeds() {
    auto one = [](const Bytes& text) {
        const int v = static_cast<int>(text.size()) + 600;
        return Cat({text, {static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>(v >> 8), 0x00}});
    };
    const char* kTexts[] = {
        "{HV}{字}ニュース７", "サッカー中継　日本×韓国{生}", "{映}名作劇場「雪国」{字}",
        "きょうの料理", "ABC def 123", "出演：山田太郎{ほか}", "{新}{終}{再}{解}{デ}",
    };
    int i = 0;
    for (const char* t : kTexts) Put("decoder", "text-" + std::to_string(i++), one(tsgen::EncodeAribText(t)));
    // Two pieces: the first's trailing bytes carry into the second.
    const Bytes a = tsgen::EncodeAribText("ニュース"), b = tsgen::EncodeAribText("ABCかな");
    const int va = static_cast<int>(a.size()) + 600, vb = static_cast<int>(b.size()) + 600;
    Put("decoder", "two-pieces",
        Cat({a, b, {static_cast<uint8_t>(vb & 0xFF), static_cast<uint8_t>(vb >> 8), 0x00},
             {static_cast<uint8_t>(va & 0xFF), static_cast<uint8_t>(va >> 8), 0x00}}));
    // Designations and shifts of STD-B24: ESC ( 0x30 (hiragana into G0),
    // ESC ) 0x4A, ESC $ ) 0x42, LS2, SS2, SS3, then GR codes.
    Put("decoder", "escapes",
        one({0x1B, 0x28, 0x30, 0x21, 0x22, 0x1B, 0x29, 0x4A, 0x0E, 0x41, 0x1B, 0x24, 0x29, 0x42,
             0x1B, 0x6E, 0x21, 0x19, 0x41, 0x1D, 0x42, 0x0F, 0xA1, 0xA2, 0x1B, 0x7E, 0xB0, 0xB1,
             0x7A, 0x50, 0x0D, 0x20, 0x89, 0x8A}));
}

}  // namespace

}  // namespace tsvigil

using namespace tsvigil;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: tsvigil-fuzz-seeds DIR\n", stderr);
        return 2;
    }
    g_dir = argv[1];
    for (const char* sub : {"", "/check", "/whole", "/section", "/descriptor", "/decoder"})
        mkdir((g_dir + sub).c_str(), 0777);
    const Sections s;
    CheckSeeds(s);
    WholeSeeds();
    SectionSeeds(s);
    DescriptorSeeds();
    DecoderSeeds();
    std::printf("%d seed files\n", g_written);
    return g_written > 0 ? 0 : 1;
}
