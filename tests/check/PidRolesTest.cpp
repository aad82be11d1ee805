// SPDX-License-Identifier: BSD-2-Clause
#include "check/PidRoles.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "si/TableDispatcher.h"
#include "tools/SiBuilder.h"
#include "tools/TestStream.h"

namespace tsvigil {

namespace {

using tsgen::Bytes;
using tsgen::PsiSection;

// The section with one byte changed and its CRC_32 made right again.
Bytes Patched(Bytes section, size_t at, uint8_t value) {
    section.resize(section.size() - 4);
    section[at] = value;
    return tsgen::FinishSection(section);
}

// Shift_JIS (code page 932) to UTF-8 by glibc's iconv.
std::string Utf8(const std::string& sjis) {
    std::string in = sjis, out(4 * sjis.size() + 1, '\0');
    char* ip = &in[0];
    char* op = &out[0];
    size_t il = in.size(), ol = out.size();
    iconv_t cd = iconv_open("UTF-8", "CP932");
    const bool ok = cd != iconv_t(-1) && iconv(cd, &ip, &il, &op, &ol) != size_t(-1);
    if (cd != iconv_t(-1)) iconv_close(cd);
    return ok ? out.substr(0, out.size() - ol) : "(not CP932)";
}

const Bytes kPat = tsgen::MakePAT(0x7FE1, {{0x0000, 0x0010}, {0x0400, 0x01F0}});
// Service 0x0400: video 0x0111 carrying the PCR, audio 0x0112.
const Bytes kPmt = tsgen::MakePMT(0x0400, 0x0111, {}, {{0x02, 0x0111, {}}, {0x0F, 0x0112, {}}});

struct Pid {
    int pid;
    const char* role;
    std::vector<int> services;
};
struct Case {
    const char* name;
    std::vector<PsiSection> sections;
    std::vector<Pid> pids;
    std::vector<std::pair<int, std::string>> services;  // names in UTF-8
    // Where given, the PIDs of pids that carry picture or sound; the
    // others listed carry neither.
    std::vector<int> av = {};
    // Where given, the names ServiceNames() gives in a stream without a
    // TOT; with a TOT they are always those of services.
    std::vector<std::pair<int, std::string>> withoutTot = {};
};

// An SDT naming service 0x0400 by the bytes of name as they stand.
Bytes PlainSdt(const std::string& name) {
    tsgen::SdtService s{0x0400, 0x01, "", name, true};
    return tsgen::MakeSDT(0x7FE1, 0x7FE1, {s});
}

// Built when the test runs: the sections come from the generator.
std::vector<Case> Cases() {
    return {
    {"PSI of the psi recording",
     tsgen::RecordingPsi(),
     {{0x0000, "PAT", {}},
      {0x0011, "SDT/BAT", {}},
      {0x0027, "EIT", {}},
      {0x1FFF, "null", {}},
      {0x01F0, "PMT", {}},
      {0x01F1, "PMT", {}},
      {0x0111, "MPEG-2 video", {0x0400}},
      {0x0112, "AAC audio", {0x0400, 0x0401}},
      {0x0130, "captions", {0x0400}},
      {0x0140, "data carousel", {0x0400}},
      {0x01FF, "PCR", {0x0400}},
      {0x0901, "ECM", {0x0400}},
      {0x0121, "H.264 video", {0x0401}},
      {0x0902, "ECM", {0x0401}},
      {0x0138, "superimposed text", {0x0401}},
      {0x0150, "stream_type 0x80", {0x0401}},
      {0x0A01, "EMM", {}},
      {0x0200, "unknown", {}}},
     {{0x0400, "サンプル放送１"}, {0x0401, "サンプル放送２"}, {0x0402, "データ放送"}},
     {0x0111, 0x0112, 0x01FF, 0x0121, 0x0200}},
    {"PMT with a damaged CRC_32 is ignored",
     {{0x0000, kPat}, {0x01F0, tsgen::WithBadCrc(kPmt)}},
     {{0x01F0, "PMT", {}}, {0x0111, "unknown", {}}},
     {{0x0400, ""}}},
    {"other table_ids on PSI PIDs are ignored",
     {{0x0000, kPat},
      {0x0000, Patched(tsgen::MakePAT(0x7FE1, {{0x0500, 0x0300}}), 0, 0x02)},
      {0x01F0, Patched(kPmt, 0, 0x03)},
      {0x0001, Patched(tsgen::MakeCAT(), 0, 0x02)},
      {0x0011, tsgen::MakeSDT(0x7FE2, 0x7FE2, {{0x0500, 0x01, "", "他局"}}, 0, 0x46)}},
     {{0x01F0, "PMT", {}}, {0x0300, "unknown", {}}, {0x0111, "unknown", {}}, {0x0A01, "unknown", {}}},
     {{0x0400, ""}}},
    {"a new PMT version replaces the program's streams",
     {{0x0000, kPat},
      {0x01F0, kPmt},
      {0x01F0, tsgen::MakePMT(0x0400, 0x0115, {}, {{0x1B, 0x0115, {}}}, 1)}},
     {{0x0111, "unknown", {}}, {0x0112, "unknown", {}}, {0x0115, "H.264 video", {0x0400}}},
     {{0x0400, ""}}},
    {"a new PAT version drops the programs it no longer lists",
     {{0x0000, kPat}, {0x01F0, kPmt}, {0x0000, tsgen::MakePAT(0x7FE1, {{0x0401, 0x01F1}}, 1)}},
     {{0x01F0, "unknown", {}}, {0x0111, "unknown", {}}, {0x01F1, "PMT", {}}},
     {{0x0401, ""}}},
    {"a programme dropped by the PAT and listed again gets its streams back from the same PMT",
     {{0x0000, kPat},
      {0x01F0, kPmt},
      {0x0000, tsgen::MakePAT(0x7FE1, {{0x0401, 0x01F1}}, 1)},
      {0x01F0, kPmt},
      {0x0000, tsgen::MakePAT(0x7FE1, {{0x0400, 0x01F0}}, 2)},
      {0x01F0, kPmt}},
     {{0x01F0, "PMT", {}}, {0x0111, "MPEG-2 video", {0x0400}}, {0x0112, "AAC audio", {0x0400}}},
     {{0x0400, ""}}},
    {"PAT cut short in its header is ignored",
     {{0x0000, kPat}, {0x0000, tsgen::FinishSection({0x00, 0xB0, 0x00, 0x7F, 0xE1, 0xC1, 0x00})}},
     {{0x01F0, "PMT", {}}},
     {{0x0400, ""}}},
    {"program_info_length past the section end: no streams",
     {{0x0000, kPat},
      {0x01F0, Patched(tsgen::MakePMT(0x0400, 0x0111, tsgen::CADescriptor(5, 0x0901), {{0x02, 0x0111, {}}}),
                       10, 0xFF)}},
     {{0x0901, "ECM", {0x0400}}, {0x0111, "PCR", {0x0400}}},
     {{0x0400, ""}}},
    {"ES_info_length past the section end ends the stream loop",
     {{0x0000, kPat}, {0x01F0, Patched(kPmt, 15, 0xFF)}},
     {{0x0111, "MPEG-2 video", {0x0400}}, {0x0112, "unknown", {}}},
     {{0x0400, ""}}},
    {"CA descriptor running past the CAT's end is kept: its CA_PID names the EMM",
     {{0x0001, Patched(tsgen::MakeCAT(), 9, 0x20)}},
     {{0x0A01, "EMM", {}}},
     {}},
    {"service_name_length past its descriptor reads only the descriptor",
     {{0x0011, Patched(tsgen::MakeSDT(0x7FE1, 0x7FE1, {{0x0400, 0x01, "", "テレビ"}}), 20, 0xFF)}},
     {},
     {{0x0400, "テレビ"}}},
    {"a name in plain ASCII, as a remuxer writes it, read as ARIB text only where the stream is ARIB",
     {{0x0011, PlainSdt("Service01")}},
     {},
     {{0x0400, "嚆鴟蜒絨"}},
     {},
     {{0x0400, "Service01"}}},
    {"a name after the UTF-8 selector 0x15",
     {{0x0011, PlainSdt("\x15ニュース")}},
     {},
     {{0x0400, "ゃゃぅゃぜゃす"}},
     {},
     {{0x0400, "ニュース"}}},
    {"an ARIB descriptor in a PMT makes the stream ARIB, TOT or none",
     {{0x0000, kPat},
      {0x01F0, tsgen::MakePMT(0x0400, 0x0111, {}, {{0x02, 0x0111, {0xC8, 0x01, 0x00}}})},
      {0x0011, PlainSdt("Service01")}},
     {},
     {{0x0400, "嚆鴟蜒絨"}},
     {},
     {{0x0400, "嚆鴟蜒絨"}}},
    };
}

TEST(PidRolesTest, RolesFromTheTables) {
    for (const auto& c : Cases()) {
        SCOPED_TRACE(c.name);
        TableDispatcher tables;
        PidRoles roles;
        roles.Attach(tables);
        tsgen::StreamBuilder b;
        for (const auto& s : c.sections) b.AddSection(s.pid, s.section);
        const Bytes& d = b.Data();
        for (size_t i = 0; i + 188 <= d.size(); i += 188) {
            const Bytes packet(d.begin() + static_cast<long>(i), d.begin() + static_cast<long>(i + 188));
            tables.Dispatch(packet.data());
        }
        for (const auto& p : c.pids) {
            SCOPED_TRACE(testing::Message() << "PID 0x" << std::hex << p.pid);
            EXPECT_EQ(p.role, roles.Role(p.pid));
            EXPECT_EQ(p.services, roles.ServiceIds(p.pid));
            if (!c.av.empty()) {
                EXPECT_EQ(std::count(c.av.begin(), c.av.end(), p.pid) == 1, roles.IsPictureOrSound(p.pid));
            }
        }
        std::vector<std::pair<int, std::string>> services;
        for (const auto& s : roles.Services()) services.emplace_back(s.first, Utf8(s.second));
        EXPECT_EQ(c.services, services);
        SjisToUtf8 conv;
        const auto names = [&](bool totSeen) {
            std::vector<std::pair<int, std::string>> n;
            for (const auto& s : roles.ServiceNames(totSeen, conv)) n.emplace_back(s.serviceId, s.name);
            return n;
        };
        EXPECT_EQ(c.services, names(true));
        if (!c.withoutTot.empty()) {
            EXPECT_EQ(c.withoutTot, names(false));
        }
    }
}

}  // namespace

}  // namespace tsvigil
