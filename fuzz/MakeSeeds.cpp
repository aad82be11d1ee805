// SPDX-License-Identifier: BSD-2-Clause
// Writes the seed corpora of the fuzzers: small streams, packets,
// descriptors and coded texts made by the stream generator, each valid as
// a broadcaster would send it, so that fuzzing starts from deep inside the
// parsers. Usage: tsvigil-fuzz-seeds DIR (DIR/check, DIR/section,
// DIR/descriptor and DIR/decoder must exist).

#include <cstdio>
#include <string>
#include <vector>

#include "tools/SiBuilder.h"
#include "tools/TestStream.h"

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
        tsgen::CStreamBuilder b(size);
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

        tsgen::CStreamBuilder c(size);
        for (int i = 0; i < 3; ++i) c.AddFiller(0x0100);
        tsgen::PacketFaults sync;
        sync.badSync = true;
        c.AddFiller(0x0100, sync);
        c.AddSection(0x0012, s.eitSchedule);
        c.AddFiller(0x1FFF);
        Put("check", "sync-schedule-" + std::to_string(size), c.Data());
    }
    // Sizes that change mid-stream.
    tsgen::CStreamBuilder a(188), b(192), c(204);
    a.AddSection(0x0014, s.tot);
    b.AddSection(0x0012, s.eitUndefined);
    c.AddSection(0x0012, s.eitOther);
    Put("check", "size-switch", Cat({a.Data(), b.Data(), c.Data(), a.Data()}));
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
        tsgen::CStreamBuilder b;
        b.AddSection(k.pid, *k.section);
        Put("section", k.name, b.Data());
        // The bare section too, for the fuzzer's pass that carries the input
        // as one section.
        Put("section", std::string("bare-") + k.name, *k.section);
    }
    // Two sections back to back in one packet, then one spanning packets.
    tsgen::CStreamBuilder b;
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

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: tsvigil-fuzz-seeds DIR\n", stderr);
        return 2;
    }
    g_dir = argv[1];
    const Sections s;
    CheckSeeds(s);
    SectionSeeds(s);
    DescriptorSeeds();
    DecoderSeeds();
    std::printf("%d seed files\n", g_written);
    return g_written > 0 ? 0 : 1;
}
