// SPDX-License-Identifier: BSD-2-Clause
#include "app/Options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/TestUtil.h"
#include "tools/Recording.h"
#include "tsvigil/Version.h"

namespace tsvigil {

namespace {

using testutil::TempFile;
using testutil::kBanner;
using testutil::RunTool;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CommandLineTest, OptionLines) {
    TempFile rec({});
    ASSERT_TRUE(tsgen::WriteDemoRecording(rec.Path()));
    const std::string f = rec.Path();
    // The recording under another spelling of its path; another recording;
    // a page-named input and a second input whose page would take its name.
    const std::string respelled = f.substr(0, f.rfind('/')) + "/." + f.substr(f.rfind('/'));
    TempFile other({});
    TempFile pageNamed({}, ".html");
    const std::string dir = pageNamed.Path().substr(0, pageNamed.Path().rfind('/'));
    const std::string stem = pageNamed.Path().substr(0, pageNamed.Path().size() - 5);
    // Directories for -r: one empty, one of files that are no recordings,
    // and one with recordings beside a symbolic link back to itself.
    std::string top = dir + "/tsvigil-dirs-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(&top[0]));
    const std::string empty = top + "/empty", notTs = top + "/not-ts", loop = top + "/loop";
    const std::string setup = "mkdir -p '" + empty + "' '" + notTs + "' '" + loop + "/sub' && touch '" + notTs +
                              "/a.txt' '" + notTs + "/b.html' && cp '" + f + "' '" + loop + "/A.TS' && ln -s '" + f +
                              "' '" + loop + "/sub/b.mts' && ln -s . '" + loop + "/self'";
    ASSERT_EQ(0, std::system(setup.c_str()));
    // Recordings where no programme can be placed: without a PCR, without a
    // TOT, and with every EIT section failing its CRC_32.
    TempFile noPcr({}), noTot({}), noEit({});
    tsgen::RecordingOptions o;
    o.psi = o.si = true;
    o.packets = 5000;
    o.packetsPerSecond = 1000;
    ASSERT_TRUE(tsgen::WriteRecording(noPcr.Path(), o));
    o.badCrc.push_back({0x4E, 0x6F, 1});
    o.pcr = true;
    ASSERT_TRUE(tsgen::WriteRecording(noEit.Path(), o));
    o.si = false;
    ASSERT_TRUE(tsgen::WriteRecording(noTot.Path(), o));
    const std::string verdict = RunTool({"--verdict", f}).out;  // "F: damaged (...)"
    const std::string figures = verdict.substr(f.size());
    const std::string json = RunTool({"--json", f}).out;
    const std::string report = dir + "/" + top.substr(top.rfind('/') + 1) + "/report.json";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::string out;  // a part of standard output, or "" for none at all
        std::string err;  // a part of standard error, or "" for none at all
    };
    const Case cases[] = {
        {"-q: no banner", {"-q", "--verdict", f}, 3, verdict, ""},
        {"-o into a missing directory", {"-o", top + "/missing/r.json", "--json", f}, 1, "", "error - can't write report.\n"},
        {"-o onto a directory", {"--output", top, "--json", f}, 1, "", "error - can't write report.\n"},
        {"-o naming the file to check", {"-o", respelled, f}, 2, "", "it is one of the files to check"},
        {"-o with --verdict and --jobs", {"-o", report, "-P", "2", "--json", "--verdict", f, f}, 3, verdict + verdict, kBanner},
        {"- is standard input", {"--verdict", "-"}, 3, "-: empty (", kBanner},
        {"a missing file's JSON says why", {"--json", top + "/none.ts"}, 0,
         "\"error\":\"ENOENT: No such file or directory\",", "error - can't open file ("},
        {"a directory without -r is unreadable", {"--json", loop}, 0, "\"error\":\"EISDIR: Is a directory\",",
         "error - can't read file ("},
        {"-r over an empty directory", {"-r", "--verdict", empty}, 2, "", "no .ts, .m2ts, .mts or .tts file found"},
        {"-r over files that are no recordings", {"--recursive", "-j", notTs}, 2, "", "file found"},
        {"-r over a directory loop", {"-r", "--verdict", loop + "/"}, 3, loop + "/A.TS" + figures + loop + "/sub/b.mts" + figures, kBanner},
        {"--help", {"--help"}, 0, "usage: tsvigil [OPTION]... src.ts...\n", ""},
        {"-h among others", {"-s", "-h", f}, 0, "  -j, --json", ""},
        {"--version", {"--version"}, 0, std::string("tsvigil ") + kVersion + "\n", ""},
        {"unknown long option", {"--bogus", f}, 2, "", "tsvigil: unknown option '--bogus'\nusage: tsvigil [OPTION]"},
        {"unknown short option", {"-x", f}, 2, "", "unknown option '-x'"},
        {"an option that takes no value", {"--utf8=yes", f}, 2, "", "unknown option '--utf8=yes'"},
        {"options without a file", {"-s", "-u"}, 2, "", "no file given"},
        {"negative jobs", {"--jobs", "-1", f}, 2, "", "tsvigil: invalid number of jobs '-1'\n"},
        {"jobs not a number", {"-P", "x", f}, 2, "", "invalid number of jobs 'x'"},
        {"empty jobs", {"--jobs=", f}, 2, "", "invalid number of jobs ''"},
        {"jobs without a value", {f, "--jobs"}, 2, "", "option '--jobs' needs a value"},
        {"tolerance not a number", {"--tolerate", "1k", f}, 2, "", "invalid tolerance '1k'"},
        {"tolerance past 64 bits", {"--tolerate", "18446744073709551616", f}, 2, "",
         "tsvigil: invalid tolerance '18446744073709551616'\nusage: tsvigil [OPTION]"},
        {"tolerance past the signed range", {"-t", "9223372036854775808", f}, 2, "",
         "invalid tolerance '9223372036854775808'"},
        {"largest tolerance", {"-t", "9223372036854775807", "--verdict", f}, 3, ": damaged", kBanner},
        {"tolerance with a sign", {"--tolerate=+1", f}, 2, "", "invalid tolerance '+1'"},
        {"jobs past its range", {"--jobs", "4097", f}, 2, "", "invalid number of jobs '4097'"},
        {"jobs that would wrap", {"-P", "99999999999999999999999", f}, 2, "", "invalid number of jobs '9999"},
        {"service not a number", {"--service", "x", f}, 2, "", "tsvigil: invalid service 'x'\nusage: tsvigil [OPTION]"},
        {"empty service", {"--service=", f}, 2, "", "invalid service ''"},
        {"empty service in a list", {"--service", "1024,", f}, 2, "", "invalid service '1024,'"},
        {"service past 16 bits", {"--service", "70000", f}, 2, "", "invalid service '70000'"},
        {"hex service past 16 bits", {"--service", "0x10000", f}, 2, "", "invalid service '0x10000'"},
        {"service 0, the network, is no service", {"--service", "0", "--verdict", f}, 3, ": absent, damaged, gap (av lost 0,",
         kBanner},
        {"services in hex and a list", {"--service", "0x400,1025", "--verdict", f}, 3, ": damaged, scrambled, gap (", kBanner},
        {"--programme without a PCR", {"--json", "--programme", noPcr.Path()}, 0,
         "\"window\":null,\"window_reason\":\"no PCR\"}}\n", kBanner},
        {"--programme without a TOT", {"--json", "--programme", noTot.Path()}, 0, "\"window_reason\":\"no TOT\"}}\n",
         kBanner},
        {"--programme without an EIT", {"--json", "--programme", noEit.Path()}, 0, "\"window_reason\":\"no EIT\"}}\n",
         kBanner},
        {"--programme: the margins group", {"--verdict", "--programme", noEit.Path()}, 0,
         "gaps 0; margins av lost 0, av errors 0, av scrambled 0, sync 0; indicators p1 ", kBanner},
        {"--html naming the file to check", {"--html", f, f}, 2, "",
         "tsvigil: refusing to write '" + f + "': it is one of the files to check\nusage: tsvigil [OPTION]"},
        {"--html naming it another way", {"--html", respelled, f}, 2, "", "it is one of the files to check"},
        {"--html over a file that is no page", {"--html", other.Path(), f}, 2, "",
         "refusing to replace '" + other.Path() + "': not an .html or .htm file"},
        {"--html over a device", {"--html", "/dev/null", f}, 2, "", "'/dev/null': not a regular file"},
        {"--html directory whose page is an input", {"--html", dir, pageNamed.Path(), stem}, 2, "",
         "refusing to write '" + pageNamed.Path() + "': it is one of the files to check"},
        {"the classic usage stays", {"a.ts", "b.ts"}, 0, "", "usage: tsvigil src.ts\n"},
        {"summary in UTF-8", {"-u", "--summary", f}, 0, "  service  1024: サンプル放送１\n", kBanner},
        {"summary after the file", {f, "-s"}, 0, "\n summary:\n", kBanner},
        {"-- ends the options", {"-j", "--", f}, 0, "{\"type\":\"summary\",", kBanner},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = RunTool(c.args);
        EXPECT_EQ(c.status, r.status);
        if (c.out.empty()) EXPECT_EQ("", r.out);
        else EXPECT_TRUE(Has(r.out, c.out)) << r.out;
        if (c.err.empty()) EXPECT_EQ("", r.err);
        else EXPECT_TRUE(Has(r.err, c.err)) << r.err;
    }
    // What --output took is the JSON Lines that standard output would have.
    EXPECT_EQ(json + json, testutil::ReadAll(report));
    EXPECT_EQ(0, std::system(("rm -rf '" + top + "'").c_str()));
}

TEST(CommandLineTest, JsonAgreesWithTheTextReport) {
    // The demo recording, and one with every kind of damage: each run's
    // JSON Lines are parsed by a real JSON parser and their findings
    // compared with the text report's.
    struct Case {
        const char* name;
        tsgen::RecordingOptions o;
    };
    tsgen::RecordingOptions damaged;
    damaged.si = damaged.psi = true;
    damaged.packetSize = 192;
    damaged.packets = 150000;
    damaged.dropEvery = 20000;
    damaged.dupEvery = 33333;
    damaged.badSyncEvery = 41111;
    damaged.loseBytesEvery = 52222;
    damaged.scrambleEvery = 300;
    damaged.teiEvery = 7777;
    damaged.badCrcEvery = 9;
    damaged.cutTail = 100;
    for (const bool demo : {true, false}) {
        SCOPED_TRACE(demo ? "demo" : "damaged");
        TempFile rec({});
        ASSERT_TRUE(demo ? tsgen::WriteDemoRecording(rec.Path()) : tsgen::WriteRecording(rec.Path(), damaged));
        const auto text = RunTool({rec.Path()});
        const auto json = RunTool({"--json", rec.Path()});
        EXPECT_EQ(0, json.status);
        EXPECT_EQ(kBanner, json.err);
        TempFile textFile(tsgen::Bytes(text.out.begin(), text.out.end()), ".txt");
        TempFile jsonFile(tsgen::Bytes(json.out.begin(), json.out.end()), ".json");
        const std::string cmd = std::string("python3 ") + TSVIGIL_TEST_DATA + "/../app/check_json.py " +
                                jsonFile.Path() + " " + textFile.Path();
        EXPECT_EQ(0, std::system(cmd.c_str())) << cmd;
    }
}

}  // namespace

}  // namespace tsvigil
