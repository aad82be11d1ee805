// SPDX-License-Identifier: BSD-2-Clause
#include "app/Runner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>

#include "tests/TestUtil.h"
#include "tools/Recording.h"
#include "tools/SiBuilder.h"
#include "tools/TestStream.h"

namespace tsvigil {

namespace {

using testutil::CheckBytes;
using testutil::TempFile;
using testutil::kBanner;
using testutil::RunTool;
using tsgen::Bytes;
using tsgen::StreamBuilder;

Bytes ReadData(const std::string& name) { return testutil::ReadBytes(std::string(TSVIGIL_TEST_DATA) + "/" + name); }

TEST(RunnerTest, CommandLinePaths) {
    const std::string missing = "/nonexistent/dir/rec.ts";
    TempFile empty({});
    StreamBuilder b;
    b.AddFiller(0x100);
    TempFile onePacket(b.Data());
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string stdoutPath;  // "" captures it
        int status;
        std::string err;
    };
    const Case cases[] = {
        {"no argument", {}, "", 0, std::string(kBanner) + "usage: tsvigil src.ts\n\n"},
        {"two arguments", {"a.ts", "b.ts"}, "", 0, std::string(kBanner) + "usage: tsvigil src.ts\n\n"},
        {"missing file", {missing}, "", 0, std::string(kBanner) + "error - can't open file (" + missing + ").\n"},
        {"empty file", {empty.Path()}, "", 0, kBanner},
        // A directory opens but cannot be read: that is no clean end.
        {"directory", {"/"}, "", 0, std::string(kBanner) + "error - can't read file (/).\n"},
        // A report that cannot be written is no success.
        {"full disk", {onePacket.Path()}, "/dev/full", 1, std::string(kBanner) + "error - can't write report.\n"},
        // With --verdict the status says whether every file is ok.
        {"verdict ok", {"--verdict", onePacket.Path()}, "/dev/null", 0, kBanner},
        {"verdict of an empty file", {"-c", empty.Path()}, "/dev/null", 3, kBanner},
        {"verdict of a missing file", {"--verdict", missing}, "/dev/null", 3,
         std::string(kBanner) + "error - can't open file (" + missing + ").\n"},
        {"verdict not written", {"--verdict", onePacket.Path()}, "/dev/full", 1,
         std::string(kBanner) + "error - can't write report.\n"},
        // The first failed write ends the run: the missing file after it is
        // never opened.
        {"full disk stops the run", {"--json", onePacket.Path(), missing}, "/dev/full", 1,
         std::string(kBanner) + "error - can't write report.\n"},
        {"full disk stops the jobs", {"-c", "-P", "2", onePacket.Path(), onePacket.Path(), missing}, "/dev/full", 1,
         std::string(kBanner) + "error - can't write report.\n"},
        {"closed standard output", {"--verdict", onePacket.Path(), missing}, "&-", 1,
         std::string(kBanner) + "error - can't write report.\n"},
        // Where no page can be made is known before any file is read.
        {"--html under a file", {"--html", onePacket.Path() + "/pages", onePacket.Path(), missing}, "", 1,
         std::string(kBanner) + "error - can't write report.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = RunTool(c.args, c.stdoutPath);
        EXPECT_EQ(c.status, r.status);
        EXPECT_EQ("", r.out);
        EXPECT_EQ(c.err, r.err);
    }
}

TEST(RunnerTest, PageNamesOfManyFilesOfOneName) {
    // Names taken by an earlier file are skipped, index.html never given;
    // 8000 files of one name are named at once (quadratic or worse naming
    // takes minutes here).
    std::vector<std::string> files = {"x/rec.ts-2", "index", "rec.ts/"};
    std::vector<std::string> want = {"rec.ts-2.html", "index-2.html", "rec.ts.html"};
    for (int i = 0; i < 8000; ++i) {
        files.push_back("dir" + std::to_string(i % 7) + "/rec.ts");
        want.push_back("rec.ts-" + std::to_string(i + 3) + ".html");
    }
    files.push_back("rec.ts-2");
    want.push_back("rec.ts-2-2.html");
    EXPECT_EQ(want, PageNames(files));
}

// Runs the command line in this process with the report held as given, into
// temporary files; returns the status, standard output and standard error.
testutil::RunResult RunHeld(std::vector<std::string> args, const HoldLimits& hold) {
    args.insert(args.begin(), "tsvigil");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    testutil::RunResult r;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (!out || !err) return r;
    r.status = RunCommandLine(static_cast<int>(args.size()), argv.data(), out, err, hold);
    for (auto* f : {out, err}) {
        std::rewind(f);
        std::string& s = f == out ? r.out : r.err;
        char buf[65536];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
        std::fclose(f);
    }
    return r;
}

TEST(RunnerTest, HeldReportsSpillAndComeOutInOrder) {
    // Three damaged recordings checked at once: whether a report is held in
    // memory or spills to a temporary file, what comes out is what one file
    // after another gives; a spill that cannot be made is a report not
    // written.
    std::vector<std::unique_ptr<TempFile>> recs;
    std::vector<std::string> args = {"--json"};
    for (long long every : {500, 300, 700}) {
        recs.push_back(std::make_unique<TempFile>(Bytes()));
        tsgen::RecordingOptions o;
        o.si = true;
        o.packets = 30000;
        o.dropEvery = every;
        o.teiEvery = every + 11;
        ASSERT_TRUE(tsgen::WriteRecording(recs.back()->Path(), o));
        args.push_back(recs.back()->Path());
    }
    const auto serial = RunHeld(args, HoldLimits());
    ASSERT_EQ(0, serial.status);
    ASSERT_GT(serial.out.size(), 3u * 4096);
    const std::string noDir = "/nonexistent/dir";
    struct Case {
        const char* name;
        size_t memory;
        std::string spillDir;
        int status;
    };
    const Case cases[] = {
        {"in memory", HoldLimits::kMemory, noDir, 0},
        {"spilled", 4096, "", 0},
        {"spilled at the first byte", 0, "", 0},
        {"spill cannot be made", 4096, noDir, 1},
    };
    args.insert(args.begin(), {"--jobs", "3"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HoldLimits hold;
        hold.memory = c.memory;
        hold.spillDir = c.spillDir;
        const auto r = RunHeld(args, hold);
        EXPECT_EQ(c.status, r.status);
        if (c.status == 0) {
            EXPECT_EQ(serial.out, r.out);
            EXPECT_EQ(serial.err, r.err);
        } else {
            EXPECT_EQ(serial.err + kWriteError, r.err);
        }
    }
}

TEST(RunnerTest, LinesOfOnePacketComeInOrder) {
    // Size change, lost sync and a counter error all on one packet: a stray
    // byte spoils the last 188-byte packet (counter 4), and the first
    // 204-byte packet after it carries counter 5.
    StreamBuilder a(188), c(204);
    for (int i = 0; i < 5; ++i) a.AddFiller(0x100);
    a.AddRaw({0x00});
    c.Counter(0x100) = 5;
    for (int i = 0; i < 5; ++i) c.AddFiller(0x100);
    Bytes d = a.Data();
    d.insert(d.end(), c.Data().begin(), c.Data().end());
    EXPECT_EQ(
        " packet size:188.\n"
        " packet size:204.\n"
        " sync byte error.\n"
        " continuity counter error (pid:0x0100,  3-> 5).\n",
        CheckBytes(d));
}

TEST(RunnerTest, FileOf192BytePacketsStartsClean) {
    StreamBuilder b(192);
    for (int i = 0; i < 10; ++i) b.AddFiller(0x100);
    TempFile f(b.Data());
    const auto r = RunTool({f.Path()});
    EXPECT_EQ(" packet size:192.\n", r.out);
    EXPECT_EQ(kBanner, r.err);
}

// The scrambled packets of the BS excerpt, per PID in ascending order.
const char* const kBsScrambled =
    " transport scrambling countrol (pid:0x0140,   387packets).\n"
    " transport scrambling countrol (pid:0x0141,     9packets).\n"
    " transport scrambling countrol (pid:0x0148,     9packets).\n"
    " transport scrambling countrol (pid:0x0149,    66packets).\n"
    " transport scrambling countrol (pid:0x014a,     8packets).\n"
    " transport scrambling countrol (pid:0x0248,     5packets).\n";

TEST(RunnerTest, RecordingsInTheTreeGiveTheirReports) {
    // Excerpts of real broadcasts: no lost sync and no counter gaps, and no
    // TOT, so the scrambled packets of the BS multiplex close the report
    // without a time. Then a generated recording whose present EIT section
    // follows a damaged copy of itself: its eit: line comes where the good
    // copy completes, before the next TOT (the report beside it, byte for
    // byte).
    const std::pair<const char*, std::string> files[] = {
        {"isdb-bs-scrambled.188.ts", std::string(" packet size:188.\n") + kBsScrambled},
        {"isdb-tb.204.ts", " packet size:204.\n"},
        {"isdb-tb-pcap.204.ts", " packet size:204.\n"},
        {"eit-after-damaged-copy.ts", testutil::ReadAll(std::string(TSVIGIL_TEST_DATA) + "/eit-after-damaged-copy.expected")},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.first);
        const auto r = RunTool({std::string(TSVIGIL_TEST_DATA) + "/" + f.first});
        EXPECT_EQ(0, r.status);
        EXPECT_EQ(f.second, r.out);
        EXPECT_EQ(kBanner, r.err);
    }
}

TEST(RunnerTest, RealScrambledRecordingCountedAtATot) {
    // The BS excerpt followed by one TOT: the TOT's time closes the block.
    Bytes d = ReadData("isdb-bs-scrambled.188.ts");
    ASSERT_EQ(580u * 188u, d.size());
    StreamBuilder b;
    b.AddSection(0x0014, tsgen::MakeTOT(2008, 6, 1, 12, 34, 56));
    d.insert(d.end(), b.Data().begin(), b.Data().end());
    EXPECT_EQ(std::string(" packet size:188.\n") + kBsScrambled + "2008/06/01 12:34:56\n", CheckBytes(d));
}

TEST(RunnerTest, GeneratedRecordingWithSi) {
    // The generator's SI schedule: EIT p/f names three programmes, a TOT every
    // five seconds brackets a counter gap at 7.3 s. With every SI section's
    // CRC_32 damaged no table completes, and the gap stands alone.
    struct Case {
        const char* name;
        long long badCrcEvery;
        int eitLines;
        std::string otherLines;
    };
    const std::string gap = " continuity counter error (pid:0x0111,  8->10).\n";
    const Case cases[] = {
        {"good sections", 0, 3,
         " packet size:188.\n2008/06/01 12:00:00\n2008/06/01 12:00:05\n" + gap + "2008/06/01 12:00:10\n"},
        {"every CRC damaged", 1, 0, " packet size:188.\n" + gap},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFile f({});
        tsgen::RecordingOptions o;
        o.si = true;
        o.packets = 132000;
        o.dropEvery = 80000;
        o.badCrcEvery = c.badCrcEvery;
        ASSERT_TRUE(tsgen::WriteRecording(f.Path(), o));
        const auto r = RunTool({f.Path()});
        EXPECT_EQ(0, r.status);
        std::istringstream lines(r.out);
        std::string line, other;
        int eit = 0;
        while (std::getline(lines, line)) {
            if (line.rfind(" eit:", 0) == 0) ++eit;
            else other += line + "\n";
        }
        EXPECT_EQ(c.eitLines, eit);
        EXPECT_EQ(c.otherLines, other);
    }
}

TEST(RunnerTest, WholeMultiplexJudgedPerService) {
    // Two services: 1024 (video 0x0111, PCR 0x01FF) and 1025 (video 0x0121),
    // sharing the sound 0x0112; 30 s of broadcast, where 1024's programme 2
    // runs from 5 s to 25 s (1 and 3 are its margins) and 1025 has one.
    // Each row: the summary's verdict lines of the whole file, then of the
    // file judged for the services chosen, then what each programme of the
    // JSON says happened inside it, then the verdict lines of the services
    // chosen judged within their recorded programmes (--programme).
    struct Case {
        const char* name;
        std::vector<tsgen::PidFault> drop, scramble;
        double cutAt;  // half a second of broadcast left out there (0: none)
        std::string services;
        std::string whole, chosen, programmes, programme;
        std::vector<tsgen::PidFault> scrambleStart = {};
    };
    const Case cases[] = {
        {"clean 1024 beside a scrambled 1025", {}, {{0x0121, 2}}, 0, "1024",
         "1024 ok 0/0/0; 1025 scrambled 0/0/37; file scrambled 0/0/37; ",
         "1024 ok 0/0/0; 1025 scrambled 0/0/37; other 0/0/37; file ok 0/0/0; ",
         "1024/1 0/0/0/0; 1024/2 0/0/0/0; 1024/3 0/0/0/0; 1025/1 0/0/37/0; ",
         "1024 ok 0/0/0 m 0/0/0/0; 1025 scrambled 0/0/37 m 0/0/0/0; other 0/0/37; file ok 0/0/0 m 0/0/0/0; "},
        {"losses on 1025's video only", {{0x0121, 3}}, {}, 0, "1024",
         "1024 ok 0/0/0; 1025 damaged 24/0/0; file damaged 24/0/0; ",
         "1024 ok 0/0/0; 1025 damaged 24/0/0; other 24/0/0; file ok 0/0/0; ",
         "1024/1 0/0/0/0; 1024/2 0/0/0/0; 1024/3 0/0/0/0; 1025/1 24/0/0/24; ",
         "1024 ok 0/0/0 m 0/0/0/0; 1025 damaged 24/0/0 m 0/0/0/0; other 24/0/0; file ok 0/0/0 m 0/0/0/0; "},
        {"losses on the shared sound", {{0x0112, 40}}, {}, 0, "0x400",
         "1024 damaged 58/0/0; 1025 damaged 58/0/0; file damaged 58/0/0; ",
         "1024 damaged 58/0/0; 1025 damaged 58/0/0; other 0/0/0; file damaged 58/0/0; ",
         "1024/1 10/0/0/1; 1024/2 39/0/0/1; 1024/3 9/0/0/1; 1025/1 58/0/0/1; ",
         "1024 damaged 39/0/0 m 19/0/0/0; 1025 damaged 58/0/0 m 0/0/0/0; other 0/0/0; file damaged 39/0/0 m 19/0/0/0; "},
        {"a service the file lacks", {}, {{0x0121, 2}}, 0, "1024,2000",
         "1024 ok 0/0/0; 1025 scrambled 0/0/37; file scrambled 0/0/37; ",
         "1024 ok 0/0/0; 1025 scrambled 0/0/37; other 0/0/37; absent 2000; file absent 0/0/0; ",
         "1024/1 0/0/0/0; 1024/2 0/0/0/0; 1024/3 0/0/0/0; 1025/1 0/0/37/0; ",
         "1024 ok 0/0/0 m 0/0/0/0; 1025 scrambled 0/0/37 m 0/0/0/0; other 0/0/37; absent 2000; file absent 0/0/0 m 0/0/0/0; "},
        {"losses in the margins only", {}, {}, 2, "1024",
         "1024 damaged 14/0/0; 1025 damaged 7/0/0; file damaged 15/0/0; ",
         "1024 damaged 14/0/0; 1025 damaged 7/0/0; other 1/0/0; file damaged 14/0/0; ",
         "1024/1 14/0/0/1; 1024/2 0/0/0/0; 1024/3 0/0/0/0; 1025/1 7/0/0/1; ",
         "1024 ok 0/0/0 m 14/0/0/0; 1025 damaged 7/0/0 m 0/0/0/0; other 1/0/0; file ok 0/0/0 m 14/0/0/0; "},
        {"losses inside the programme", {}, {}, 10, "1024",
         "1024 damaged 14/0/0; 1025 damaged 6/0/0; file damaged 15/0/0; ",
         "1024 damaged 14/0/0; 1025 damaged 6/0/0; other 1/0/0; file damaged 14/0/0; ",
         "1024/1 0/0/0/0; 1024/2 14/0/0/1; 1024/3 0/0/0/0; 1025/1 6/0/0/1; ",
         "1024 damaged 14/0/0 m 0/0/0/0; 1025 damaged 6/0/0 m 0/0/0/0; other 1/0/0; file damaged 14/0/0 m 0/0/0/0; "},
        {"the descrambler caught up in the margin", {}, {}, 0, "1024",
         "1024 ok 0/0/0; 1025 ok 0/0/0; file ok 0/0/0; ",
         "1024 ok 0/0/0; 1025 ok 0/0/0; other 0/0/0; file ok 0/0/0; ",
         "1024/1 0/0/0/0; 1024/2 0/0/0/0; 1024/3 0/0/0/0; 1025/1 0/0/0/0; ",
         "1024 ok 0/0/0 m 0/0/4506/0; 1025 ok 0/0/0 m 0/0/0/0; other 0/0/0; file ok 0/0/0 m 0/0/4506/0; ",
         {{0x0111, 5000}}},
    };
    // The summary's lines that judge, short: "1024 ok 0/0/0" per service
    // (its words, then av lost, av errors and av scrambled, and with margins
    // "m" and their av lost, av errors, av scrambled and sync), "other
    // 0/0/19" for the services not chosen, "absent 2000", and the file's as
    // "file".
    const auto verdictLines = [](const std::string& out) {
        static const std::regex judged(
            "  (verdict (\\d+)[^:]*|verdict|other services|absent services): (.*?) ?\\(?av lost (\\d+), "
            "av errors (\\d+), av scrambled (\\d+)(?:.*?gaps \\d+(; margins av lost (\\d+), av errors (\\d+), "
            "av scrambled (\\d+), sync (\\d+))?)?.*|  absent services: (.*)");
        std::istringstream lines(out);
        std::string line, kept;
        std::smatch m;
        while (std::getline(lines, line)) {
            if (!std::regex_match(line, m, judged)) continue;
            if (m[12].matched) kept += "absent " + m[12].str() + "; ";
            else
                kept += (m[2].matched ? m[2].str() : m[1] == "verdict" ? "file" : "other") + " " +
                        (m[3].length() ? m[3].str() + " " : "") + m[4].str() + "/" + m[5].str() + "/" + m[6].str() +
                        (m[7].matched ? " m " + m[8].str() + "/" + m[9].str() + "/" + m[10].str() + "/" + m[11].str()
                                      : "") +
                        "; ";
        }
        return kept;
    };
    // Each programme of the JSON, short: "1024/2 0/0/0/0", its service and
    // event, then its av lost, av errors, av scrambled and damage ranges.
    const auto programmeFigures = [](const std::string& out) {
        static const std::regex programme(
            "\\{\"type\":\"programme\",.*\"service_id\":(\\d+),\"event_id\":(\\d+),.*\"av_lost\":(\\d+),"
            "\"av_errors\":(\\d+),\"av_scrambled\":(\\d+),\"damage_ranges\":(\\d+)\\}");
        std::istringstream lines(out);
        std::string line, kept;
        std::smatch m;
        while (std::getline(lines, line)) {
            if (std::regex_match(line, m, programme))
                kept += m[1].str() + "/" + m[2].str() + " " + m[3].str() + "/" + m[4].str() + "/" + m[5].str() + "/" +
                        m[6].str() + "; ";
        }
        return kept;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFile f({});
        tsgen::RecordingOptions o;
        o.si = o.psi = o.pcr = true;
        o.packets = 30000;
        o.packetsPerSecond = 1000;
        o.programmeStartOffset = -5;
        o.programmeSeconds = 20;
        o.cutSeconds = c.cutAt > 0 ? 0.5 : 0;
        o.cutAt = c.cutAt;
        o.dropPid = c.drop;
        o.scramblePid = c.scramble;
        o.scrambleStart = c.scrambleStart;
        ASSERT_TRUE(tsgen::WriteRecording(f.Path(), o));
        const auto whole = RunTool({"--summary", "--verdict", f.Path()});
        EXPECT_EQ(c.whole, verdictLines(whole.out));
        const auto chosen = RunTool({"--summary", "--verdict", "--service", c.services, f.Path()});
        EXPECT_EQ(c.chosen, verdictLines(chosen.out));
        EXPECT_EQ(c.chosen.find("file ok") != std::string::npos ? 0 : 3, chosen.status);
        EXPECT_EQ(c.programmes, programmeFigures(RunTool({"--json", f.Path()}).out));
        const auto programme = RunTool({"--summary", "--verdict", "--programme", "--service", c.services, f.Path()});
        EXPECT_EQ(c.programme, verdictLines(programme.out));
        EXPECT_EQ(c.programme.find("file ok") != std::string::npos ? 0 : 3, programme.status);
    }
}

TEST(RunnerTest, RankedCopiesOfOneProgramme) {
    // Programmes of 60 s on service 1024; c's first began 100 s before the
    // recording, a's and b's 10 s before. b carries transport errors.
    TempFile a({}), b({}), c({});
    tsgen::RecordingOptions o;
    o.psi = o.pcr = true;
    o.packets = 30000;
    o.programmeSeconds = 60;
    o.programmeStartOffset = 10;
    ASSERT_TRUE(tsgen::WriteRecording(a.Path(), o));
    o.teiEvery = 500;
    ASSERT_TRUE(tsgen::WriteRecording(b.Path(), o));
    o.teiEvery = 0;
    o.programmeStartOffset = 100;
    ASSERT_TRUE(tsgen::WriteRecording(c.Path(), o));
    // Two copies that span two programmes of 2 s: each programme is ranked
    // by what happened inside it, not by the whole file's figures.
    TempFile e({}), f({});
    o.programmeSeconds = 2;
    o.programmeStartOffset = 1;
    ASSERT_TRUE(tsgen::WriteRecording(e.Path(), o));
    o.teiEvery = 500;
    ASSERT_TRUE(tsgen::WriteRecording(f.Path(), o));
    const std::string missing = "/nonexistent/dir/rec.ts";
    const std::string clean = a.Path() + " (coverage 0.045, av lost 0, av errors 0, av scrambled 0)";
    const std::string damaged = b.Path() + " (coverage 0.045, av lost 0, av errors 60, av scrambled 0)";
    const std::string line = "programme 1024/1 [HV][字]ニュース７: best " + clean + "; then " + damaged + "\n";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string ranking;  // the lines that rank
    };
    const Case cases[] = {
        {"two copies, the damaged one first", {"-u", "-c", "--service", "1024", "--rank", b.Path(), a.Path()}, line},
        {"checked at once", {"-u", "-c", "-P", "2", "--service", "1024", "--rank", b.Path(), a.Path()}, line},
        {"a missing file among them", {"-u", "-c", "--service", "1024", "--rank", missing, b.Path(), a.Path()}, line},
        {"different programmes", {"-c", "--service", "1024", "--rank", a.Path(), c.Path()}, ""},
        {"a single file", {"-c", "--rank", a.Path()}, ""},
        {"each programme by its own figures", {"-u", "-c", "--rank", f.Path(), e.Path()},
         "programme 1024/1 [HV][字]ニュース７: best " + e.Path() +
             " (coverage 0.750, av lost 0, av errors 0, av scrambled 0); then " + f.Path() +
             " (coverage 0.750, av lost 0, av errors 33, av scrambled 0)\nprogramme 1025/1 サッカー中継　日本×韓国[生]: best " +
             e.Path() + " (coverage 0.002, av lost 0, av errors 0, av scrambled 0); then " + f.Path() +
             " (coverage 0.002, av lost 0, av errors 20, av scrambled 0)\n"},
        {"JSON", {"--json", "--service", "1024", "--rank", b.Path(), a.Path()},
         "{\"type\":\"ranking\",\"service_id\":1024,\"event_id\":1,\"name\":\"[HV][字]ニュース７\","
         "\"start\":\"2008-06-01T11:59:50+09:00\",\"copies\":[{\"file\":\"" + a.Path() +
             "\",\"coverage\":0.045,\"av_lost\":0,\"av_errors\":0,\"av_scrambled\":0},{\"file\":\"" + b.Path() +
             "\",\"coverage\":0.045,\"av_lost\":0,\"av_errors\":60,\"av_scrambled\":0}]}\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto run = RunTool(c.args);
        std::istringstream lines(run.out);
        std::string l, ranking;
        while (std::getline(lines, l))
            if (l.rfind("programme ", 0) == 0 || l.rfind("{\"type\":\"ranking\"", 0) == 0) ranking += l + "\n";
        EXPECT_EQ(c.ranking, ranking);
        // The status follows the verdicts alone.
        const bool anyBad = std::find(c.args.begin(), c.args.end(), b.Path()) != c.args.end() ||
                            std::find(c.args.begin(), c.args.end(), f.Path()) != c.args.end() ||
                            std::find(c.args.begin(), c.args.end(), missing) != c.args.end();
        EXPECT_EQ(c.args[0] != "--json" && anyBad ? 3 : 0, run.status);
        // Nothing follows the ranking.
        EXPECT_EQ(ranking, run.out.substr(run.out.size() - std::min(run.out.size(), ranking.size())));
    }
}

}  // namespace

}  // namespace tsvigil
