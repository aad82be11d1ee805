// SPDX-License-Identifier: BSD-2-Clause
#include "tools/SiBuilder.h"

#include <cstring>
#include <map>
#include <mutex>

#include "base/Platform.h"
#include "base/TimeValue.h"

namespace tsvigil {

namespace tsgen {

namespace {

// Row 0x7A additional symbols by label.
struct SymbolCode {
    const char* label;
    uint8_t row, cell;
};
const SymbolCode kSymbols[] = {
    {"HV", 0x7A, 0x50}, {"SD", 0x7A, 0x51}, {"P", 0x7A, 0x52},  {"W", 0x7A, 0x53},
    {"MV", 0x7A, 0x54}, {"手", 0x7A, 0x55}, {"字", 0x7A, 0x56}, {"双", 0x7A, 0x57},
    {"デ", 0x7A, 0x58}, {"S", 0x7A, 0x59},  {"二", 0x7A, 0x5A}, {"多", 0x7A, 0x5B},
    {"解", 0x7A, 0x5C}, {"SS", 0x7A, 0x5D}, {"B", 0x7A, 0x5E},  {"N", 0x7A, 0x5F},
    {"天", 0x7A, 0x62}, {"交", 0x7A, 0x63}, {"映", 0x7A, 0x64}, {"無", 0x7A, 0x65},
    {"料", 0x7A, 0x66}, {"前", 0x7A, 0x68}, {"後", 0x7A, 0x69}, {"再", 0x7A, 0x6A},
    {"新", 0x7A, 0x6B}, {"初", 0x7A, 0x6C}, {"終", 0x7A, 0x6D}, {"生", 0x7A, 0x6E},
    {"販", 0x7A, 0x6F}, {"声", 0x7A, 0x70}, {"吹", 0x7A, 0x71}, {"PPV", 0x7A, 0x72},
    {"秘", 0x7A, 0x73}, {"ほか", 0x7A, 0x74},
};

// Length of the UTF-8 sequence that starts with byte c.
size_t Utf8Length(uint8_t c) { return c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4; }

uint32_t Utf8CodePoint(const std::string& s, size_t i, size_t n) {
    uint32_t cp = static_cast<uint8_t>(s[i]) & (n == 1 ? 0x7F : n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
    for (size_t k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3F);
    return cp;
}

Bytes Descriptor(uint8_t tag, const Bytes& body) {
    Bytes d;
    d.reserve(body.size() + 2);
    d.push_back(tag);
    d.push_back(static_cast<uint8_t>(body.size()));
    for (uint8_t c : body) d.push_back(c);
    return d;
}

void AppendText(Bytes& b, const Bytes& text) {
    b.push_back(static_cast<uint8_t>(text.size()));
    b.insert(b.end(), text.begin(), text.end());
}

// A double-byte Shift_JIS code as JIS X 0208's row and cell (0x21 to
// 0x7E each); false for the codes past row 94 (vendor extensions).
bool SjisToJis(uint8_t lead, uint8_t trail, uint8_t& row, uint8_t& cell) {
    if (!((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEF))) return false;
    if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return false;
    unsigned r = (lead <= 0x9F ? lead - 0x71u : lead - 0xB1u) * 2 + 1;
    unsigned t = trail > 0x7F ? trail - 1u : trail;
    if (t >= 0x9E) {
        ++r;
        t -= 0x7D;
    } else {
        t -= 0x1F;
    }
    row = static_cast<uint8_t>(r);
    cell = static_cast<uint8_t>(t);
    return row >= 0x21 && row <= 0x7E && cell >= 0x21 && cell <= 0x7E;
}

Bytes EncodeOnce(const std::string& utf8) {
    Bytes out;
    bool alnum = false;  // GL invokes G1 (alphanumeric) rather than G0 (kanji)
    // Kanji and the other JIS X 0208 characters by way of code page 932,
    // whose double-byte codes are JIS X 0208's rows and cells rearranged.
    Cp932Converter toSjis(Cp932Converter::Direction::FromUtf8);
    auto toKanji = [&]() {
        if (alnum) out.push_back(0x0F);  // LS0
        alnum = false;
    };
    for (size_t i = 0; i < utf8.size();) {
        const uint8_t c = static_cast<uint8_t>(utf8[i]);
        if (c == '{') {
            const size_t close = utf8.find('}', i);
            if (close != std::string::npos) {
                const std::string label = utf8.substr(i + 1, close - i - 1);
                for (const auto& s : kSymbols) {
                    if (label == s.label) {
                        toKanji();
                        out.push_back(s.row);
                        out.push_back(s.cell);
                        break;
                    }
                }
                i = close + 1;
                continue;
            }
        }
        const size_t n = Utf8Length(c);
        const uint32_t cp = Utf8CodePoint(utf8, i, n);
        if (c == ' ') {
            out.push_back(0x20);  // SP: a full-width space whatever is invoked
        } else if (c == '\n') {
            out.push_back(0x0D);  // APR
        } else if (n == 1 && c > 0x20 && c < 0x7F) {
            if (!alnum) out.push_back(0x0E);  // LS1
            alnum = true;
            out.push_back(c);
        } else if (cp >= 0x3041 && cp <= 0x3093) {
            // Hiragana through GR, which invokes G2 (the hiragana set).
            out.push_back(static_cast<uint8_t>(0xA1 + (cp - 0x3041)));
        } else {
            std::string sjis;
            uint8_t row = 0, cell = 0;
            if (n <= utf8.size() - i && toSjis.Convert(utf8.data() + i, n, sjis) == n && sjis.size() == 2 &&
                SjisToJis(static_cast<uint8_t>(sjis[0]), static_cast<uint8_t>(sjis[1]), row, cell)) {
                toKanji();
                out.push_back(row);
                out.push_back(cell);
            }
        }
        i += n;
    }
    return out;
}

}  // namespace

// The schedule encodes the same few names thousands of times, and opening a
// converter costs more than a recording's filler packets: each text is
// encoded once.
Bytes EncodeAribText(const std::string& utf8) {
    static std::mutex lock;
    static std::map<std::string, Bytes> done;
    const std::lock_guard<std::mutex> guard(lock);
    const auto it = done.find(utf8);
    return it != done.end() ? it->second : done.emplace(utf8, EncodeOnce(utf8)).first->second;
}

Bytes MakePAT() {
    return FinishSection({0x00, 0xB0, 0x00, 0x7F, 0xE1, 0xC1, 0x00, 0x00,  //
                          0x00, 0x00, 0xE0, 0x10,                          // network PID 0x0010
                          0x04, 0x00, 0xE1, 0xF0});                        // service 1024, PMT 0x01F0
}

Bytes MakePMT() {
    return FinishSection({0x02, 0xB0, 0x00, 0x04, 0x00, 0xC1, 0x00, 0x00, 0xE1, 0x11, 0xF0, 0x00,
                          0x02, 0xE1, 0x11, 0xF0, 0x00,    // MPEG-2 video on 0x0111
                          0x0F, 0xE1, 0x12, 0xF0, 0x00});  // AAC audio on 0x0112
}

namespace {

void PutU16(Bytes& b, int v) {
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}

// A 12-bit length after four reserved bits set to 1.
void PutLength12(Bytes& b, size_t n) { PutU16(b, 0xF000 | static_cast<int>(n & 0x0FFF)); }

uint8_t VersionByte(int version) { return static_cast<uint8_t>(0xC1 | ((version & 0x1F) << 1)); }

}  // namespace

Bytes MakePAT(int transportStreamId, const std::vector<PatProgram>& programs, int version) {
    Bytes b = {0x00, 0xB0, 0x00};
    PutU16(b, transportStreamId);
    b.insert(b.end(), {VersionByte(version), 0x00, 0x00});
    for (const auto& p : programs) {
        PutU16(b, p.program_number);
        PutU16(b, 0xE000 | p.pid);
    }
    return FinishSection(b);
}

Bytes MakePMT(int programNumber, int pcrPid, const Bytes& programDescriptors,
              const std::vector<PmtStream>& streams, int version) {
    Bytes b = {0x02, 0xB0, 0x00};
    PutU16(b, programNumber);
    b.insert(b.end(), {VersionByte(version), 0x00, 0x00});
    PutU16(b, 0xE000 | pcrPid);
    PutLength12(b, programDescriptors.size());
    b.insert(b.end(), programDescriptors.begin(), programDescriptors.end());
    for (const auto& s : streams) {
        b.push_back(static_cast<uint8_t>(s.stream_type));
        PutU16(b, 0xE000 | s.pid);
        PutLength12(b, s.descriptors.size());
        b.insert(b.end(), s.descriptors.begin(), s.descriptors.end());
    }
    return FinishSection(b);
}

Bytes MakeCAT(const Bytes& descriptors) {
    Bytes b = {0x01, 0xB0, 0x00, 0xFF, 0xFF, VersionByte(0), 0x00, 0x00};
    b.insert(b.end(), descriptors.begin(), descriptors.end());
    return FinishSection(b);
}

Bytes MakeCAT() { return MakeCAT(CADescriptor(0x0005, 0x0A01)); }

Bytes MakeSDT(int transportStreamId, int originalNetworkId, const std::vector<SdtService>& services,
              int version, int tableId) {
    Bytes b = {static_cast<uint8_t>(tableId), 0xF0, 0x00};
    PutU16(b, transportStreamId);
    b.insert(b.end(), {VersionByte(version), 0x00, 0x00});
    PutU16(b, originalNetworkId);
    b.push_back(0xFF);
    for (const auto& s : services) {
        Bytes d = ServiceDescriptor(s.service_type, s.provider, s.plain ? "" : s.name);
        if (s.plain) {
            // The empty name's length byte ends the descriptor: the bytes follow it.
            d.back() = static_cast<uint8_t>(s.name.size());
            d.insert(d.end(), s.name.begin(), s.name.end());
            d[1] = static_cast<uint8_t>(d.size() - 2);
        }
        PutU16(b, s.service_id);
        b.push_back(0xFF);  // EIT schedule and present/following flags set
        // running_status 4 (running), free_CA_mode 0
        PutU16(b, 0x8000 | static_cast<int>(d.size()));
        b.insert(b.end(), d.begin(), d.end());
    }
    return FinishSection(b);
}

std::vector<PsiSection> RecordingPsi(const std::string& plainName) {
    auto tag = StreamIdentifierDescriptor;
    auto join = [](Bytes a, const Bytes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    std::vector<PsiSection> out;
    out.push_back({0x0000, MakePAT(0x7FE1, {{0x0000, 0x0010}, {0x0400, 0x01F0}, {0x0401, 0x01F1}})});
    // Service 0x0400: PCR on a PID of its own, an ECM for the whole program.
    out.push_back({0x01F0, MakePMT(0x0400, 0x01FF, CADescriptor(0x0005, 0x0901),
                                   {{0x02, 0x0111, tag(0x00)},
                                    {0x0F, 0x0112, tag(0x10)},
                                    {0x06, 0x0130, tag(0x30)},
                                    {0x0D, 0x0140, tag(0x40)}})});
    // Service 0x0401: PCR on its video, an ECM for the video only, the
    // audio of 0x0400 shared.
    out.push_back({0x01F1, MakePMT(0x0401, 0x0121, {},
                                   {{0x1B, 0x0121, join(tag(0x01), CADescriptor(0x0005, 0x0902))},
                                    {0x0F, 0x0112, tag(0x10)},
                                    {0x06, 0x0138, tag(0x38)},
                                    {0x80, 0x0150, {}}})});
    out.push_back({0x0001, MakeCAT()});
    out.push_back({0x0011, MakeSDT(0x7FE1, 0x7FE1,
                                   {plainName.empty() ? SdtService{0x0400, 0x01, "", "サンプル放送１"}
                                                      : SdtService{0x0400, 0x01, "", plainName, true},
                                    {0x0401, 0x01, "", "サンプル放送２"},
                                    {0x0402, 0xC0, "", "データ放送"}})});
    return out;
}

Bytes MakeEIT(int tableId, int serviceId, int sectionNumber, int lastSectionNumber,
              const std::vector<EitEvent>& events, int version) {
    Bytes b = {static_cast<uint8_t>(tableId), 0xF0, 0x00, static_cast<uint8_t>(serviceId >> 8),
               static_cast<uint8_t>(serviceId), static_cast<uint8_t>(0xC1 | ((version & 0x1F) << 1)),
               static_cast<uint8_t>(sectionNumber), static_cast<uint8_t>(lastSectionNumber),
               0x7F, 0xE1,  // transport_stream_id
               0x00, 0x04,  // original_network_id
               static_cast<uint8_t>(lastSectionNumber), static_cast<uint8_t>(tableId)};
    for (const auto& e : events) {
        b.push_back(static_cast<uint8_t>(e.event_id >> 8));
        b.push_back(static_cast<uint8_t>(e.event_id));
        if (e.undefinedStart) {
            b.insert(b.end(), 5, 0xFF);
        } else {
            const int mjd = DateToMjd(e.year, e.month, e.day);
            b.insert(b.end(), {static_cast<uint8_t>(mjd >> 8), static_cast<uint8_t>(mjd), Bcd(e.hour),
                               Bcd(e.minute), Bcd(e.second)});
        }
        if (e.durationSeconds < 0) {
            b.insert(b.end(), 3, 0xFF);
        } else {
            const int d = e.durationSeconds;
            b.insert(b.end(), {Bcd(d / 3600 % 100), Bcd(d / 60 % 60), Bcd(d % 60)});
        }
        const int n = static_cast<int>(e.descriptors.size());
        b.push_back(static_cast<uint8_t>((e.running_status << 5) | ((n >> 8) & 0x0F)));
        b.push_back(static_cast<uint8_t>(n));
        b.insert(b.end(), e.descriptors.begin(), e.descriptors.end());
    }
    return FinishSection(b);
}

Bytes ShortEventDescriptor(const std::string& name, const std::string& text) {
    Bytes body = {'j', 'p', 'n'};
    AppendText(body, EncodeAribText(name));
    AppendText(body, EncodeAribText(text));
    return Descriptor(0x4D, body);
}

Bytes ExtendedEventDescriptor(int number, int last, const std::string& item_description,
                              const std::string& item) {
    Bytes items;
    AppendText(items, EncodeAribText(item_description));
    AppendText(items, EncodeAribText(item));
    Bytes body = {static_cast<uint8_t>((number << 4) | (last & 0x0F)), 'j', 'p', 'n'};
    AppendText(body, items);
    body.push_back(0);  // text_length
    return Descriptor(0x4E, body);
}

Bytes ComponentDescriptor(int component_type, const std::string& text) {
    Bytes body = {0xF1, static_cast<uint8_t>(component_type), 0x00, 'j', 'p', 'n'};
    const Bytes t = EncodeAribText(text);
    body.insert(body.end(), t.begin(), t.end());
    return Descriptor(0x50, body);
}

Bytes ContentDescriptor(int nibble1, int nibble2) {
    return Descriptor(0x54, {static_cast<uint8_t>((nibble1 << 4) | nibble2), 0xFF});
}

Bytes LocalTimeOffsetDescriptor() {
    // Japan, region 0, offset +00:00, no change scheduled.
    return Descriptor(0x58, {'J', 'P', 'N', 0x02, 0x00, 0x00, 0xC0, 0x79, 0x00, 0x00, 0x00, 0x00, 0x00});
}

Bytes CADescriptor(int caSystemId, int caPid) {
    return Descriptor(0x09, {static_cast<uint8_t>(caSystemId >> 8), static_cast<uint8_t>(caSystemId),
                             static_cast<uint8_t>(0xE0 | (caPid >> 8)), static_cast<uint8_t>(caPid)});
}

Bytes StreamIdentifierDescriptor(int componentTag) {
    return Descriptor(0x52, {static_cast<uint8_t>(componentTag)});
}

Bytes ServiceDescriptor(int serviceType, const std::string& provider, const std::string& name) {
    Bytes body = {static_cast<uint8_t>(serviceType)};
    AppendText(body, EncodeAribText(provider));
    AppendText(body, EncodeAribText(name));
    return Descriptor(0x48, body);
}

namespace {

struct Programme {
    const char* name;
    const char* text;
    int genre;
};
const Programme kProgrammes[] = {
    {"{HV}{字}ニュース７", "きょうのニュースと天気", 0x0},
    {"{新}連続ドラマ　春の嵐{解}{デ}", "第１話　出会い", 0x3},
    {"きょうの料理{字}", "旬の野菜で作る簡単レシピ", 0x5},
    {"サッカー中継　日本×韓国{生}", "国際親善試合", 0x1},
    {"{映}名作劇場「雪国」{字}", "出演：山田太郎{ほか}", 0x6},
    {"天気予報{天}", "全国の天気", 0x0},
    {"{初}ドキュメント　海と森{多}", "ナレーション：鈴木花子", 0x8},
    {"アニメ　星の旅人たち{再}", "第１２話", 0x7},
};
constexpr int kProgrammeCount = sizeof kProgrammes / sizeof kProgrammes[0];
const int kServices[SiSchedule::kServiceCount] = {0x0400, 0x0401, 0x0402};

// The broadcast starts at 2008-06-01 12:00:00 JST.
TimeFields At(long long seconds) {
    TimeValue t0;
    TimeValue::FromFields(2008, 6, 1, 12, 0, 0, t0);
    return TimeValue(t0.Seconds() + seconds).Fields();
}

EitEvent MakeEvent(int service, long long index, int programmeSeconds, long long stagger) {
    const Programme& p = kProgrammes[(index + service * 3) % kProgrammeCount];
    EitEvent e;
    e.event_id = static_cast<int>((index + 1) & 0xFFFF);
    const TimeFields f = At(index * programmeSeconds - stagger);
    e.year = f.year, e.month = f.month, e.day = f.day, e.hour = f.hour, e.minute = f.minute,
    e.second = f.second;
    e.durationSeconds = programmeSeconds;
    e.descriptors = ShortEventDescriptor(p.name, p.text);
    const Bytes c = ComponentDescriptor(0xB3, "映像");
    const Bytes g = ContentDescriptor(p.genre, 0);
    e.descriptors.insert(e.descriptors.end(), c.begin(), c.end());
    e.descriptors.insert(e.descriptors.end(), g.begin(), g.end());
    return e;
}

}  // namespace

void SiSchedule::Send(StreamBuilder& b, int pid, Bytes section) {
    ++m_sections;
    if (m_badCrcEvery > 0 && m_sections % m_badCrcEvery == 0) section = WithBadCrc(section);
    b.AddSection(pid, section);
}

bool SiSchedule::Due(long long k, StreamBuilder& b) {
    const long long second = k / m_pps;
    const long long phase = k % m_pps;
    const long long quarter = m_pps / 4 > 0 ? m_pps / 4 : 1;
    if (phase == m_pps / 2 && second % 5 == 0) {
        const TimeFields f = At(second);
        Send(b, 0x0014, MakeTOT(f.year, f.month, f.day, f.hour, f.minute, f.second,
                                     LocalTimeOffsetDescriptor()));
        return true;
    }
    for (int s = 0; s < kServiceCount; ++s) {
        if (phase != 10 + 20 * s) continue;
        // Services change programme at staggered times.
        const int length = m_programmeSeconds[s];
        const long long stagger = m_onAirAtStart[s];
        const long long index = (second + stagger) / length;
        Send(b, 0x0012, MakeEIT(0x4E, kServices[s], 0, 1, {MakeEvent(s, index, length, stagger)},
                                     static_cast<int>(index)));
        Send(b, 0x0012, MakeEIT(0x4E, kServices[s], 1, 1, {MakeEvent(s, index + 1, length, stagger)},
                                     static_cast<int>(index)));
        return true;
    }
    if (phase % quarter == quarter / 2 + 3) {
        // A schedule section of eight events for one service; other-network
        // present/following now and then.
        const int s = static_cast<int>((k / quarter) % kServiceCount);
        const int length = m_programmeSeconds[s];
        const long long stagger = m_onAirAtStart[s];
        const long long first = (second + stagger) / length;
        std::vector<EitEvent> events;
        for (int i = 0; i < 8; ++i) {
            EitEvent e = MakeEvent(s, first + i, length, stagger);
            const Bytes x = ExtendedEventDescriptor(0, 0, "番組内容", "出演者と見どころの紹介");
            e.descriptors.insert(e.descriptors.end(), x.begin(), x.end());
            events.push_back(e);
        }
        const int table = (k / quarter) % 7 == 0 ? 0x4F : 0x50;
        Send(b, 0x0012, MakeEIT(table, kServices[s], 0, 0, events, 0));
        return true;
    }
    return false;
}

}  // namespace tsgen

}  // namespace tsvigil
