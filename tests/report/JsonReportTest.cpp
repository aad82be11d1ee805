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
// times from the TOT and the PCR, its gap, a damaged range, the first
// service's programme recorded whole with every fault in its margins, and
// the summary's bytes, TOTs, roles, services and verdict.
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
        "{\"type\":\"event\",\"service_id\":1024,\"event_id\":2,\"name\":\"[新]連続ドラマ　春の嵐[解][デ]\",\"start_time\":\"2008-06"
        "-01T12:00:12+09:00\",\"duration\":95,\"offset\":566820,\"at\":\"2008-06-01T12:00:11.550+09:00\",\"elapsed\""
        ":12.050,\"time\":\"2008-06-01T12:00:10+09:00\"}\n",
        "{\"type\":\"tot\",\"time\":\"2008-06-01T12:00:00+09:00\",\"offset\":23876,\"at\":\"2008-06-01T12:00:00.000+09"
        ":00\",\"elapsed\":0.500}\n",
        "{\"type\":\"sync_error\",\"offset\":159236,\"at\":\"2008-06-01T12:00:02.885+09:00\",\"elapsed\":3.385,\"time\""
        ":\"2008-06-01T12:00:00+09:00\"}\n",
        "{\"type\":\"continuity_error\",\"pid\":273,\"last\":1,\"counter\":3,\"offset\":160552,\"lost\":1,\"duplicate\":f"
        "alse,\"at\":\"2008-06-01T12:00:02.916+09:00\",\"elapsed\":3.416,\"time\":\"2008-06-01T12:00:00+09:00\"}\n",
        "{\"type\":\"transport_errors\",\"packets\":35,\"at\":\"2008-06-01T12:00:05.003+09:00\",\"elapsed\":5.503,\"ti"
        "me\":\"2008-06-01T12:00:00+09:00\"}\n",
        "{\"type\":\"gap\",\"at\":\"2008-06-01T12:01:49.480+09:00\",\"to\":\"2008-06-01T12:01:54.500+09:00\",\"elapsed"
        "\":109.980,\"to_elapsed\":115.000,\"seconds\":4.985,\"offset\":5176204}\n",
        "{\"type\":\"continuity_error\",\"pid\":290,\"last\":10,\"counter\":13,\"offset\":5176580,\"lost\":2,\"duplicate"
        "\":false,\"at\":\"2008-06-01T12:01:54.508+09:00\",\"elapsed\":115.008,\"time\":\"2008-06-01T12:01:45+09:00"
        "\"}\n",
        "{\"type\":\"damage\",\"from\":\"2008-06-01T12:01:54.508+09:00\",\"to\":\"2008-06-01T12:01:54.539+09:00\",\"el"
        "apsed_from\":115.008,\"elapsed_to\":115.039,\"offset_from\":5176580,\"offset_to\":5177896,\"av_lost\":17,"
        "\"av_errors\":0,\"pids\":[273,274,290]}\n",
        // Transport errors on three av PIDs over two seconds: one range; the
        // first service's sound scrambled until the descrambler caught up,
        // beside the pay service scrambled throughout, and again at the end:
        // two ranges.
        "{\"type\":\"transport_error_range\",\"from\":\"2008-06-01T12:00:03.563+09:00\",\"to\":\"2008-06-01T12:00:05"
        ".488+09:00\",\"elapsed_from\":4.063,\"elapsed_to\":5.988,\"offset_from\":191196,\"offset_to\":281812,\"pac"
        "kets\":48,\"pids\":[{\"pid\":273,\"class\":\"av\",\"packets\":40},{\"pid\":274,\"class\":\"av\",\"packets\":4},{\"pi"
        "d\":290,\"class\":\"av\",\"packets\":4}]}\n",
        "{\"type\":\"scrambled_range\",\"from\":\"2008-06-01T11:59:59.545+09:00\",\"to\":\"2008-06-01T12:01:49.466+0"
        "9:00\",\"elapsed_from\":0.045,\"elapsed_to\":109.966,\"offset_from\":752,\"offset_to\":5174700,\"packets\":"
        "1602,\"pids\":[{\"pid\":274,\"class\":\"av\",\"packets\":107,\"at_start\":107},{\"pid\":289,\"class\":\"av\",\"pack"
        "ets\":28,\"at_start\":28},{\"pid\":290,\"class\":\"av\",\"packets\":1467,\"at_start\":1467}]}\n",
        "{\"type\":\"scrambled_range\",\"from\":\"2008-06-01T12:01:54.508+09:00\",\"to\":\"2008-06-01T12:01:59.489+0"
        "9:00\",\"elapsed_from\":115.008,\"elapsed_to\":119.989,\"offset_from\":5176580,\"offset_to\":5411016,\"pac"
        "kets\":95,\"pids\":[{\"pid\":274,\"class\":\"av\",\"packets\":27,\"at_start\":0},{\"pid\":289,\"class\":\"av\",\"pac"
        "kets\":1,\"at_start\":1},{\"pid\":290,\"class\":\"av\",\"packets\":67,\"at_start\":67}]}\n",
        // The first service's programme of the largest overlap: whole, and
        // nothing lost, in error or scrambled inside it.
        "{\"type\":\"programme\",\"service_id\":1024,\"event_id\":2,\"name\":\"[新]連続ドラマ　春の嵐[解][デ]\",\"start\":\"2008-06-"
        "01T12:00:12+09:00\",\"end\":\"2008-06-01T12:01:47+09:00\",\"recorded_from\":\"2008-06-01T12:00:12.000+09"
        ":00\",\"recorded_to\":\"2008-06-01T12:01:47.000+09:00\",\"missing_start\":0.000,\"missing_end\":0.000,\"mi"
        "ssing_inside\":0.000,\"coverage\":1.000,\"recorded\":true,\"av_lost\":0,\"av_errors\":0,\"av_scrambled\":0,"
        "\"damage_ranges\":0}\n",
        "{\"type\":\"scrambled\",\"pid\":274,\"packets\":27,\"at\":\"2008-06-01T12:01:59.498+09:00\",\"elapsed\":119.99"
        "8,\"time\":\"2008-06-01T12:01:55+09:00\"}\n",
        // The PCR withheld for 0.3 s after the restart: ETSI TR 101 290's
        // PCR indicators, in the closing margin.
        "{\"type\":\"indicator\",\"name\":\"PCR_repetition_error\",\"priority\":2,\"pid\":511,\"count\":1,\"seconds\":0.3"
        "00,\"from\":\"2008-06-01T12:01:56.360+09:00\",\"to\":\"2008-06-01T12:01:56.660+09:00\",\"elapsed_from\":11"
        "6.860,\"elapsed_to\":117.160,\"offset_from\":5263436,\"offset_to\":5278476}\n",
        "{\"type\":\"summary\",\"bytes\":5411680,\"packets\":28784,\"packet_size\":188,\"sync_errors\":2,\"first_tot\":"
        "\"2008-06-01T12:00:00+09:00\",\"last_tot\":\"2008-06-01T12:01:55+09:00\",\"elapsed\":119.998,\"gaps\":1,\"p"
        "ids\":[{\"pid\":0,\"role\":\"PAT\",\"class\":\"other\",\"service_ids\":[],\"packets\":483,",
        "{\"pid\":274,\"role\":\"AAC audio\",\"class\":\"av\",\"service_ids\":[1024],\"packets\":1534,\"continuity_error"
        "s\":1,\"transport_errors\":4,\"scrambled\":134,\"lost\":2,\"duplicates\":0,\"discontinuities\":0,\"crc_error"
        "s\":0,\"descriptor_errors\":0}",
        "{\"pid\":290,\"role\":\"AAC audio\",\"class\":\"av\",\"service_ids\":[1025],\"packets\":1534,\"continuity_error"
        "s\":1,\"transport_errors\":4,\"scrambled\":1534,\"lost\":2,\"duplicates\":0,\"discontinuities\":0,\"crc_erro"
        "rs\":0,\"descriptor_errors\":0}",
        "{\"pid\":511,\"role\":\"PCR\",\"class\":\"av\",\"service_ids\":[1024,1025],",
        "\"services\":[{\"service_id\":1024,\"name\":\"サンプル放送１\",\"verdict\":{\"ok\":false,\"words\":[\"damaged\",\"scramb"
        "led\",\"gap\"],\"av_lost\":18,",
        "{\"service_id\":1025,\"name\":\"サンプル放送２\",\"verdict\":{\"ok\":false,\"words\":[\"damaged\",\"scrambled\",\"gap\"],"
        "\"av_lost\":3,\"av_errors\":4,",
        "{\"service_id\":1026,\"name\":\"データ放送\",\"verdict\":null}],",
        "\"indicators\":{\"priority_1\":0,\"priority_2\":2},\"verdict\":{\"ok\":false,\"words\":[\"damaged\",\"scrambled"
        "\",\"gap\"],\"av_lost\":21,\"av_errors\":48,\"av_scrambled\":1590,\"sync_errors\":1,\"other_lost\":37,\"duplic"
        "ates\":1,\"scrambled_at_start\":107,\"discontinuities\":0,\"gaps\":1,\"indicators\":{\"priority_1\":0,\"prio"
        "rity_2\":2}}}\n",
    };
    for (const char* line : kLines) EXPECT_TRUE(Has(out, line)) << line;
}

}  // namespace

}  // namespace tsvigil
