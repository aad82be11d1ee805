// SPDX-License-Identifier: BSD-2-Clause
#include "report/HtmlReport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "check/CheckStats.h"
#include "tests/TestUtil.h"
#include "tools/Recording.h"
#include "tools/SiBuilder.h"
#include "tools/TestStream.h"

namespace tsvigil {

namespace {

using testutil::ReadAll;

// A fresh directory under the test temp directory, removed with what it holds.
class TempDir {
public:
    TempDir() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tsvigil-html-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data())) m_path = buf.data();
    }
    ~TempDir() {
        if (!m_path.empty()) std::system(("rm -rf '" + m_path + "'").c_str());
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// The sum of data-count over the marks of one class.
uint64_t CountOf(const std::string& page, const std::string& cls) {
    const std::regex mark("class=\"mark " + cls + "\"[^>]*data-count=\"([0-9]+)\"");
    uint64_t n = 0;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), mark); it != std::sregex_iterator(); ++it)
        n += std::stoull((*it)[1].str());
    return n;
}

size_t Occurrences(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

struct EscapeCase {
    const char* name;
    std::string in;
    std::string out;
};
const EscapeCase kEscapes[] = {
    {"script element", "<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
    {"attribute break-out", "\"><img src=x onerror=alert(1)>", "&quot;&gt;&lt;img src=x onerror=alert(1)&gt;"},
    {"ampersand and a reference", "a&b &amp;", "a&amp;b &amp;amp;"},
    {"single quotes", "it's 'x'", "it&#39;s &#39;x&#39;"},
    {"control characters", std::string("a\0b\x1b", 4), "a b "},
    {"invalid UTF-8", "\xff<", "\xEF\xBF\xBD&lt;"},
    {"UTF-8 text kept", "ニュース", "ニュース"},
};

TEST(HtmlReportTest, EscapesHostileStrings) {
    for (const auto& c : kEscapes) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.out, HtmlReport::Escape(c.in));
    }
}

Finding Damage(int64_t ms) {
    Finding f;
    f.kind = Finding::Kind::kDamage;
    f.hasAt = f.hasToAt = true;
    f.at = f.toAt = 1212321600000 + ms;  // 2008-06-01 12:00:00 JST
    f.hasElapsed = f.hasToElapsed = true;
    f.elapsed = f.toElapsed = ms * 27000;
    f.offset = f.toOffset = ms * 1000;
    f.avLost = 1;
    f.pids = {0x111};
    return f;
}

TEST(HtmlReportTest, MarksCloserThanAPixelMerge) {
    // 100 s over 1000 pixels: 100 ms a pixel.
    TempDir dir;
    const std::string path = dir.Path() + "/page.html";
    HtmlReport report(path, "rec.ts");
    const int64_t at[] = {0, 30, 60, 5000, 5200, 100000};
    for (const int64_t ms : at) report.On(Damage(ms));
    // A range begun before the clock was known, drawn from the first time
    // known; the bytes after the last packet, not drawn.
    Finding late = Damage(40000);
    late.hasAt = late.hasElapsed = false;
    late.hasKnownAt = late.hasKnownElapsed = true;
    late.knownAt = late.toAt - 2000;
    late.knownElapsed = late.toElapsed - 2000 * 27000;
    report.On(late);
    Finding tail;
    tail.kind = Finding::Kind::kSyncError;
    tail.atEnd = true;
    tail.offset = 100000 * 1000 - 88;
    report.On(tail);
    CheckStats stats;
    stats.bytes = 100000 * 1000;
    stats.hasElapsed = true;
    stats.elapsed = int64_t{100000} * 27000;
    report.Finish(stats);
    ASSERT_TRUE(report.Info().written);
    const std::string page = ReadAll(path);
    EXPECT_EQ(7u, CountOf(page, "damage"));
    EXPECT_EQ(5u, Occurrences(page, "class=\"mark damage\""));
    EXPECT_NE(std::string::npos, page.find("data-from=\"2008-06-01T12:00:38.000+09:00\" data-to=\"2008-06-01T12:00:40.000"
                                           "+09:00\"><title>picture and sound damage: 12:00:38.000 to 12:00:40.000"));
    EXPECT_NE(std::string::npos, page.find("; 1 begun before the clock was known"));
    EXPECT_EQ(0u, Occurrences(page, "class=\"mark sync\""));
    EXPECT_NE(std::string::npos, page.find("data-count=\"3\" data-from=\"2008-06-01T12:00:00.000+09:00\" "
                                           "data-to=\"2008-06-01T12:00:00.060+09:00\""));

    // The merge itself: bounds widened, counts summed, PIDs joined.
    std::vector<HtmlMark> marks(3);
    const int64_t from[] = {10, 0, 20};
    for (size_t i = 0; i < 3; ++i) {
        marks[i].has[Scale::kOffset] = true;
        marks[i].from[Scale::kOffset] = marks[i].to[Scale::kOffset] = from[i];
        marks[i].count = i + 1;
        marks[i].pids = {static_cast<int>(i)};
    }
    MergeMarks(marks, Scale::kOffset, 10.5);
    ASSERT_EQ(1u, marks.size());
    EXPECT_EQ(6u, marks[0].count);
    EXPECT_EQ(0, marks[0].from[Scale::kOffset]);
    EXPECT_EQ(20, marks[0].to[Scale::kOffset]);
    EXPECT_EQ((std::vector<int>{0, 1, 2}), marks[0].pids);
    MergeMarks(marks, Scale::kOffset, 1);
    EXPECT_EQ(1u, marks.size());
}

TEST(HtmlReportTest, LongRowsStayBounded) {
    // A continuity error every packet of a long file: the row is merged as
    // it grows, and every finding is still counted.
    TempDir dir;
    HtmlReport report(dir.Path() + "/page.html", "rec.ts");
    const int n = 50000;
    for (int i = 0; i < n; ++i) {
        Finding f;
        f.kind = Finding::Kind::kContinuityError;
        f.pid = 0x12;
        f.lost = 1;
        f.offset = int64_t{i} * 188;
        report.On(f);
    }
    EXPECT_LT(report.KeptBytes(), HtmlTimeline::kMaxMarks * (sizeof(HtmlMark) + 64));
    CheckStats stats;
    stats.bytes = int64_t{n} * 188;
    report.Finish(stats);
    EXPECT_EQ(static_cast<uint64_t>(n), CountOf(ReadAll(dir.Path() + "/page.html"), "loss"));
}

TEST(HtmlReportTest, BannerSaysWhatHappened) {
    // The demo's words are checked in the browser below; these are the
    // other forms: one of each, more than two, and no lost packets before
    // the scrambled ones.
    struct Case {
        uint64_t lost, errors, scrambled, sync;
        int ranges;                   // damaged ranges (places)
        std::vector<int64_t> gaps;    // seconds; -1 a clock reset nothing declared
        bool unreadable;
        const char* said;             // nullptr: no words
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, {}, false, "No damage"},
        {0, 1, 0, 0, 1, {}, false, "1 picture and sound packet with errors, in 1 place"},
        {0, 0, 7, 3, 0, {2, 3, -1, -1}, false,
         "7 picture and sound packets scrambled; sync lost 3 times; 2 gaps, 5.0 s in all; 2 clock resets"},
        {0, 0, 0, 2, 0, {-1}, false, "sync lost twice; one clock reset"},
        {0, 0, 0, 0, 0, {}, true, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said ? c.said : "unreadable");
        TempDir dir;
        HtmlReport report(dir.Path() + "/page.html", "rec.ts");
        for (int i = 0; i < c.ranges; ++i) {
            Finding f;
            f.kind = Finding::Kind::kDamage;
            f.offset = f.toOffset = i * 188;
            report.On(f);
        }
        for (const int64_t s : c.gaps) {
            Finding f;
            f.kind = Finding::Kind::kGap;
            f.gapTicks = s < 0 ? -1 : s * 27000000;
            f.reset = s < 0;
            report.On(f);
        }
        CheckStats stats;
        stats.verdict.unreadable = c.unreadable;
        stats.verdict.avLost = c.lost;
        stats.verdict.avErrors = c.errors;
        stats.verdict.avScrambled = c.scrambled;
        stats.verdict.sync = c.sync;
        report.Finish(stats);
        const std::string page = ReadAll(dir.Path() + "/page.html");
        if (c.said) EXPECT_NE(std::string::npos, page.find("<span class=\"said\">" + std::string(c.said) + "</span>"));
        else EXPECT_EQ(std::string::npos, page.find("class=\"said\""));
    }
}

std::string DemoIn(const TempDir& dir, const std::string& name) {
    const std::string path = dir.Path() + "/" + name;
    EXPECT_EQ(0, system(("mkdir -p \"$(dirname '" + path + "')\"").c_str()));
    EXPECT_TRUE(tsgen::WriteDemoRecording(path));
    return path;
}

TEST(HtmlReportTest, IndexOfSeveralFiles) {
    TempDir dir;
    const std::string a = DemoIn(dir, "one/a.ts");
    const std::string b = dir.Path() + "/two/a.ts";
    ASSERT_EQ(0, system(("mkdir -p '" + dir.Path() + "/two' && cp '" + a + "' '" + b + "'").c_str()));
    const std::string missing = dir.Path() + "/missing.ts";
    const std::string out = dir.Path() + "/report";
    const auto plain = testutil::RunTool({"--verdict", a, b, missing});
    const auto r = testutil::RunTool({"--verdict", "--html", out, a, b, missing});
    EXPECT_EQ(3, r.status);
    EXPECT_EQ(plain.out, r.out);
    EXPECT_EQ(plain.err, r.err);
    const std::string index = ReadAll(out + "/index.html");
    EXPECT_NE(std::string::npos, index.find("<a href=\"a.ts.html\">" + a + "</a>"));
    EXPECT_NE(std::string::npos, index.find("<a href=\"a.ts-2.html\">" + b + "</a>"));
    EXPECT_NE(std::string::npos, index.find("<a href=\"missing.ts.html\">" + missing + "</a>"));
    EXPECT_NE(std::string::npos, index.find("unreadable</td><td></td><td class=\"n\">no PCR</td>"));
    // Each file's recorded programmes, one a service, and its duration as h:mm:ss.
    EXPECT_EQ(2u, Occurrences(index, "damaged, scrambled, gap</td><td>[新]連続ドラマ　春の嵐[解][デ], 2008/06/01 12:00:12<br>"
                                     "[映]名作劇場「雪国」[字], 2008/06/01 12:00:27</td><td class=\"n\">0:02:00</td>"));
    // The tally by verdict, no row for a verdict no file got.
    EXPECT_NE(std::string::npos, index.find("<tr><td>damaged, scrambled, gap</td><td class=\"n\">2</td></tr>\n"
                                            "<tr><td>unreadable</td><td class=\"n\">1</td></tr>\n</table>"));
    EXPECT_EQ(std::string::npos, index.find("<tr><td>ok</td>"));
    // The scrambled and transport-error rows draw the ranges of the JSON
    // Lines: two scrambled stretches, one of transport errors.
    const std::string page = ReadAll(out + "/a.ts-2.html");
    const std::string json = testutil::RunTool({"--json", a}).out;
    EXPECT_EQ(2u, Occurrences(json, "\"type\":\"scrambled_range\""));
    EXPECT_EQ(1u, Occurrences(json, "\"type\":\"transport_error_range\""));
    EXPECT_EQ(2u, CountOf(page, "scrambled"));
    EXPECT_EQ(1u, CountOf(page, "tei"));
    EXPECT_NE(std::string::npos, page.find("1 ranges, 48 packets, 48 of picture and sound"));
    EXPECT_NE(std::string::npos, page.find("<div id=\"verdict\" class=\"v-bad\">damaged"));
    EXPECT_NE(std::string::npos, ReadAll(out + "/missing.ts.html").find("<div id=\"verdict\" class=\"v-none\">unreadable"));

    // One file: the page at the path; a path that cannot be written fails the run.
    const auto one = testutil::RunTool({"--html", dir.Path() + "/one.html", a});
    EXPECT_EQ(0, one.status);
    EXPECT_NE(std::string::npos, ReadAll(dir.Path() + "/one.html").find("id=\"verdict\""));
    const auto bad = testutil::RunTool({"--html", a + "/x.html", a});
    EXPECT_EQ(1, bad.status);
    EXPECT_EQ(testutil::kBanner + "error - can't write report.\n", bad.err);
}

// The page as a browser builds it, scripts run; empty without Chromium.
std::string DumpDom(const TempDir& dir, const std::string& page) {
    const std::string profile = dir.Path() + "/profile";
    const std::string cmd =
        "/usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
        "--disable-background-networking --disable-component-update --disable-sync --user-data-dir='" +
        profile + "' --dump-dom 'file://" + page + "' 2>/dev/null";
    std::string dom;
    std::FILE* p = popen(cmd.c_str(), "r");
    if (!p) return dom;
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) dom.append(buf, n);
    pclose(p);
    return dom;
}

TEST(HtmlReportTest, BrowserSeesTheMarksAndNoScript) {
    if (access("/usr/bin/chromium", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/chromium";
    TempDir dir;
    const std::string demo = DemoIn(dir, "demo.ts");
    ASSERT_EQ(0, testutil::RunTool({"--html", dir.Path() + "/demo.html", demo}).status);
    const std::string dom = DumpDom(dir, dir.Path() + "/demo.html");
    const std::string json = testutil::RunTool({"--json", demo}).out;
    ASSERT_NE(0u, Occurrences(json, "\"type\":\"damage\""));
    EXPECT_EQ(Occurrences(json, "\"type\":\"damage\""), CountOf(dom, "damage"));
    EXPECT_EQ(Occurrences(json, "\"type\":\"gap\""), CountOf(dom, "gap"));
    EXPECT_EQ(Occurrences(json, "\"type\":\"scrambled_range\""), CountOf(dom, "scrambled"));
    EXPECT_EQ(Occurrences(json, "\"type\":\"transport_error_range\""), CountOf(dom, "tei"));
    // The verdict words first, then what happened in words, then the figures.
    const std::regex banner("<div id=\"verdict\"[^>]*>damaged, scrambled, gap <span[^>]*>[^<]*</span><br>\\s*"
                            "<span class=\"said\">21 picture and sound packets lost and 48 with errors, in 4 places; "
                            "1590 scrambled; sync lost once; one gap of 5.0 s</span><br>\\s*<span class=\"figures\">\\(av lost 21,");
    EXPECT_TRUE(std::regex_search(dom, banner));
    // And as it looks: a screenshot beside the test binary, in the build
    // tree, for a person to glance at.
    const std::string shot = "/usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
                             "--disable-background-networking --disable-component-update --disable-sync "
                             "--user-data-dir='" + dir.Path() + "/profile' --hide-scrollbars --window-size=1200,1600 "
                             "--screenshot=demo-report.png 'file://" + dir.Path() + "/demo.html' >/dev/null 2>&1";
    EXPECT_EQ(0, std::system(shot.c_str()));
    EXPECT_EQ(0, access("demo-report.png", R_OK));

    // A programme named to run a script (the decoder gives its letters
    // full width), and a file named to run one.
    tsgen::StreamBuilder b;
    tsgen::EitEvent e;
    e.event_id = 1;
    e.descriptors = tsgen::ShortEventDescriptor("<script>document.title='x'</script>");
    b.AddSection(0x0012, tsgen::MakeEIT(0x4E, 1024, 0, 1, {e}));
    for (int i = 0; i < 10; ++i) b.AddFiller(0x0100);
    const std::string hostile = dir.Path() + "/<img src=x onerror=\"document.title='x'\">.ts";
    ASSERT_TRUE(tsgen::WriteFile(hostile, b.Data()));
    const std::string report = testutil::RunTool({"--utf8", hostile}).out;
    const size_t from = report.find(" eit:"), to = report.find("(service_id");
    ASSERT_NE(std::string::npos, to);
    const std::string name = report.substr(from + 5, to - from - 5);
    const std::string page = dir.Path() + "/hostile.html";
    ASSERT_EQ(0, testutil::RunTool({"--html", page, hostile}).status);
    const std::string hdom = DumpDom(dir, page);
    ASSERT_NE(std::string::npos, hdom.find("<title>tsvigil: "));
    EXPECT_EQ(std::string::npos, hdom.find("<title>x</title>"));
    EXPECT_EQ(std::string::npos, hdom.find("<img"));
    EXPECT_EQ(std::string::npos, hdom.find("<script>document"));
    EXPECT_NE(std::string::npos, hdom.find("&lt;img src=x onerror=\"document.title='x'\"&gt;.ts"));
    EXPECT_NE(std::string::npos, hdom.find("<td>" + HtmlReport::Escape(name) + "</td>"));
}

}  // namespace

}  // namespace tsvigil
