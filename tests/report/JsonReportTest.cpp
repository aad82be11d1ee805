// SPDX-License-Identifier: BSD-2-Clause
#include "report/JsonReport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "si/EIT.h"
#include "tests/TestUtil.h"
#include "tools/Recording.h"

namespace tsvigil {

namespace {

bool Has(const std::string& text, const std::string& line) { return text.find(line) != std::string::npos; }

TEST(JsonReportTest, QuoteEscapesAndMendsUtf8) {
    struct Case {
        const char* name;
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"plain", "abc", "\"abc\""},
        {"quote and backslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
        {"newline and tab", "a\nb\tc", "\"a\\nb\\tc\""},
        {"other control bytes and DEL", std::string("\x01\x1F\x7F", 3), "\"\\u0001\\u001f\\u007f\""},
        {"NUL", std::string("a\0b", 3), "\"a\\u0000b\""},
        {"Japanese kept as it is", "日本", "\"日本\""},
        {"a stray byte becomes U+FFFD", "a\xFF" "b", "\"a\xEF\xBF\xBD" "b\""},
        {"a character cut off at the end", "a\xE6\x97", "\"a\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.out, JsonReport::Quote(c.in));
    }
}

// An event line: the name from Shift_JIS to UTF-8 and escaped, the start
// time in ISO 8601 with the JST offset, the duration in seconds, both null
// when undefined; the time of the last TOT, null before the first.
TEST(JsonReportTest, EventLine) {
    const std::string text = testutil::Captured([](std::FILE* out) {
        JsonReport json(out, "a.ts");
        Finding f;
        f.kind = Finding::Kind::kPresentEvent;
        f.serviceId = 1024;
        f.eventId = 7;
        f.hasStart = TimeValue::FromFields(2008, 6, 1, 19, 0, 0, f.start);
        f.duration = 5400;
        f.name = "\x83\x6A\x83\x85\x81\x5B\x83\x58 \"a\\b\"\x01";  // ニュース "a\b" and a control byte
        f.offset = 1880;
        json.On(f);
        f.eventId = 8;
        f.hasStart = false;
        f.duration = -1;
        f.name = "";
        f.hasTime = TimeValue::FromFields(2008, 6, 1, 19, 0, 5, f.time);
        // Timed from the PCR: 12.345 s after the first, at 19:00:05.678.
        f.hasElapsed = f.hasAt = true;
        f.elapsed = 12345 * 27000 + 26999;
        f.at = f.time.Seconds() * 1000 + 678;
        json.On(f);
    });
    EXPECT_EQ(
        "{\"type\":\"event\",\"file\":\"a.ts\",\"service_id\":1024,\"event_id\":7,\"name\":\"ニュース \\\"a\\\\b\\\"\\u0001\","
        "\"start_time\":\"2008-06-01T19:00:00+09:00\",\"duration\":5400,\"offset\":1880,\"at\":null,\"elapsed\":null,"
        "\"time\":null}\n"
        "{\"type\":\"event\",\"file\":\"a.ts\",\"service_id\":1024,\"event_id\":8,\"name\":\"\",\"start_time\":null,"
        "\"duration\":null,\"offset\":1880,\"at\":\"2008-06-01T19:00:05.678+09:00\",\"elapsed\":12.345,"
        "\"time\":\"2008-06-01T19:00:05+09:00\"}\n",
        text);
}

// The values of the demo recording: offsets (of a packet, of the bytes
// skipped for lost sync, of the packet that completed a TOT or an event),
// times from the TOT and the PCR, its gap, a damaged range, a programme
// recorded late, and the summary's bytes, TOTs, roles, services and
// verdict.
TEST(JsonReportTest, DemoRecordingValues) {
    testutil::TempFile rec({});
    ASSERT_TRUE(tsgen::WriteDemoRecording(rec.Path()));
    const auto r = testutil::RunTool({"--json", rec.Path()});
    ASSERT_EQ(0, r.status);
    // Every object names its file right after its type; the lines below
    // are matched without it.
    const std::string file = "\"file\":\"" + rec.Path() + "\",";
    std::string out;
    size_t lines = 0, named = 0;
    for (size_t at = 0, end; at < r.out.size(); at = end + 1) {
        end = r.out.find('\n', at);
        if (end == std::string::npos) end = r.out.size();
        std::string line = r.out.substr(at, end - at);
        const size_t type = line.find("\",") + 2;
        ++lines;
        if (line.compare(type, file.size(), file) == 0) {
            ++named;
            line.erase(type, file.size());
        }
        out += line + "\n";
    }
    EXPECT_EQ(lines, named);
    const char* const kLines[] = {
        "{\"type\":\"packet_size\",\"size\":188,\"offset\":0,\"at\":null,\"elapsed\":0.000}\n",
        "{\"type\":\"event\",\"service_id\":1024,\"event_id\":1,\"name\":\"[HV][字]ニュース７\",\"start_time\":\""
        "2008-06-01T11:59:57+09:00\",\"duration\":40,\"offset\":2256,\"at\":null,\"elapsed\":0.048,\"time\""
        ":null}\n",
        "{\"type\":\"tot\",\"time\":\"2008-06-01T12:00:00+09:00\",\"offset\":23876,\"at\":\"2008-06-01T12:0"
        "0:00.000+09:00\",\"elapsed\":0.508}\n",
        "{\"type\":\"sync_error\",\"offset\":159236,\"at\":\"2008-06-01T12:00:02.877+09:00\",\"elapsed\":3."
        "385,\"time\":\"2008-06-01T12:00:00+09:00\"}\n",
        "{\"type\":\"continuity_error\",\"pid\":273,\"last\":6,\"counter\":8,\"offset\":160552,\"lost\":1,\""
        "duplicate\":false,\"at\":\"2008-06-01T12:00:02.908+09:00\",\"elapsed\":3.416,\"time\":\"2008-06-01"
        "T12:00:00+09:00\"}\n",
        "{\"type\":\"transport_errors\",\"packets\":53,\"at\":\"2008-06-01T12:00:24.996+09:00\",\"elapsed\""
        ":25.504,\"time\":\"2008-06-01T12:00:20+09:00\"}\n",
        "{\"type\":\"gap\",\"at\":\"2008-06-01T12:01:34.487+09:00\",\"to\":\"2008-06-01T12:01:39.507+09:00\""
        ",\"elapsed\":94.995,\"to_elapsed\":100.015,\"seconds\":4.985,\"offset\":4470828}\n",
        "{\"type\":\"continuity_error\",\"pid\":273,\"last\":1,\"counter\":4,\"offset\":4470452,\"lost\":2,"
        "\"duplicate\":false,\"at\":\"2008-06-01T12:01:39.507+09:00\",\"elapsed\":100.015,\"time\":\"2008-0"
        "6-01T12:01:30+09:00\"}\n",
        "{\"type\":\"damage\",\"from\":\"2008-06-01T12:01:39.507+09:00\",\"to\":\"2008-06-01T12:01:39.528+0"
        "9:00\",\"elapsed_from\":100.015,\"elapsed_to\":100.036,\"offset_from\":4470452,\"offset_to\":44717"
        "68,\"av_lost\":5,\"av_errors\":0,\"pids\":[273,274]}\n",
        // Transport errors on two av PIDs over two seconds: one range; the
        // audio scrambled for five seconds in the middle, and again at the
        // end: two.
        "{\"type\":\"transport_error_range\",\"from\":\"2008-06-01T12:00:20.531+09:00\",\"to\":\"2008-06-01T12:00:"
        "22.489+09:00\",\"elapsed_from\":21.039,\"elapsed_to\":22.997,\"offset_from\":989820,\"offset_to\":1082128,"
        "\"packets\":53,\"pids\":[{\"pid\":273,\"class\":\"av\",\"packets\":48},{\"pid\":274,\"class\":\"av\","
        "\"packets\":5}]}\n",
        "{\"type\":\"scrambled_range\",\"from\":\"2008-06-01T12:00:46.549+09:00\",\"to\":\"2008-06-01T12:00:51.470"
        "+09:00\",\"elapsed_from\":47.057,\"elapsed_to\":51.978,\"offset_from\":2214264,\"offset_to\":2445880,"
        "\"packets\":83,\"pids\":[{\"pid\":274,\"class\":\"av\",\"packets\":83,\"at_start\":0}]}\n",
        "{\"type\":\"scrambled_range\",\"from\":\"2008-06-01T12:01:57.528+09:00\",\"to\":\"2008-06-01T12:01:59.451"
        "+09:00\",\"elapsed_from\":118.036,\"elapsed_to\":119.959,\"offset_from\":5318708,\"offset_to\":5409512,"
        "\"packets\":33,\"pids\":[{\"pid\":274,\"class\":\"av\",\"packets\":33,\"at_start\":0}]}\n",
        "{\"type\":\"programme\",\"service_id\":1024,\"event_id\":1,\"name\":\"[HV][字]ニュース７\",\"start\":\"2"
        "008-06-01T11:59:57+09:00\",\"end\":\"2008-06-01T12:00:37+09:00\",\"recorded_from\":\"2008-06-01T11"
        ":59:59.492+09:00\",\"recorded_to\":\"2008-06-01T12:00:37.000+09:00\",\"missing_start\":2.492,\"mis"
        "sing_end\":0.000,\"missing_inside\":0.000,\"coverage\":0.938,\"recorded\":false,\"av_lost\":3,"
        "\"av_errors\":53,\"av_scrambled\":0,\"damage_ranges\":3}\n",
        "{\"type\":\"scrambled\",\"pid\":274,\"packets\":33,\"at\":\"2008-06-01T12:01:59.490+09:00\",\"elap"
        "sed\":119.998,\"time\":\"2008-06-01T12:01:55+09:00\"}\n",
        "{\"type\":\"summary\",\"bytes\":5411492,\"packets\":28783,\"packet_size\":188,\"sync_errors\":2,\""
        "first_tot\":\"2008-06-01T12:00:00+09:00\",\"last_tot\":\"2008-06-01T12:01:55+09:00\",\"elapsed\":1"
        "19.998,\"gaps\":1,\"pids\":[{\"pid\":0,\"role\":\"PAT\",\"class\":\"other\",\"service_ids\":[],\"p"
        "ackets\":23,",
        "{\"pid\":274,\"role\":\"AAC audio\",\"class\":\"av\",\"service_ids\":[1024,1025],\"packets\":1917,\""
        "continuity_errors\":1,\"transport_errors\":5,\"scrambled\":116,\"lost\":3,\"duplicates\":0,\"discont"
        "inuities\":0,\"crc_errors\":0,\"descriptor_errors\":0}",
        "{\"pid\":511,\"role\":\"PCR\",\"class\":\"av\",\"service_ids\":[1024],",
        "\"services\":[{\"service_id\":1024,\"name\":\"サンプル放送１\",\"verdict\":{\"ok\":false,\"words\":[\"damaged\","
        "\"scrambled\",\"gap\"],\"av_lost\":10,",
        "{\"service_id\":1025,\"name\":\"サンプル放送２\",\"verdict\":{\"ok\":false,\"words\":[\"damaged\",\"scrambled\","
        "\"gap\"],\"av_lost\":4,\"av_errors\":5,",
        "{\"service_id\":1026,\"name\":\"データ放送\",\"verdict\":null}],",
        "\"verdict\":{\"ok\":false,\"words\":[\"damaged\",\"scrambled\",\"gap\"],\"av_lost\":11,\"av_errors\""
        ":53,\"av_scrambled\":116,\"sync_errors\":1,\"other_lost\":17,\"duplicates\":1,\"scrambled_at_start\""
        ":0,\"discontinuities\":0,\"gaps\":1,\"indicators\":{\"priority_1\":72,\"priority_2\":0}}}\n",
        "],\"indicators\":{\"priority_1\":72,\"priority_2\":0},\"verdict\":",
        // The PAT every 4 s: each crossing of 0.5 s touches the one before,
        // and they merge until the gap.
        "{\"type\":\"indicator\",\"name\":\"PAT_error\",\"priority\":1,\"pid\":0,\"count\":19,\"seconds\":93.978,"
        "\"from\":\"2008-06-01T12:00:00.517+09:00\",\"to\":\"2008-06-01T12:01:34.495+09:00\",\"elapsed_from\":1.025,"
        "\"elapsed_to\":95.003,\"offset_from\":48128,\"offset_to\":4470264}\n",
    };
    for (const char* line : kLines) EXPECT_TRUE(Has(out, line)) << line;
}

}  // namespace

}  // namespace tsvigil
