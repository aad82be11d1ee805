// SPDX-License-Identifier: BSD-2-Clause
// Hostile and broken input, end to end: whatever the file holds, the tool
// exits with status 0, finishes promptly, writes to standard output only
// report lines of its defined forms and to standard error only the banner
// and its defined error texts.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "si/Section.h"
#include "tests/TestUtil.h"
#include "tools/SiBuilder.h"
#include "tools/TestStream.h"

namespace tsvigil {

using tsgen::Bytes;
using testutil::TempFile;
using testutil::kBanner;
using testutil::ReadAll;

namespace {

// Far beyond what any of these inputs needs; only a hang reaches it.
constexpr int kTimeoutSeconds = 20;

struct BoundedRun {
    bool finished = false;  // false: killed at the time-out
    int status = -1;
    std::string out;
    std::string err;
};

// The built tool started with args and both streams captured, or with
// standard output closed; Wait() kills it if it has not ended
// kTimeoutSeconds after its start.
class ToolRun {
public:
    explicit ToolRun(const std::vector<std::string>& args, bool closedStdout = false)
        : m_deadline(std::chrono::steady_clock::now() + std::chrono::seconds(kTimeoutSeconds)) {
        std::vector<std::string> all = {TSVIGIL_BIN};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            const int o = open(m_out.Path().c_str(), O_WRONLY | O_TRUNC);
            const int e = open(m_err.Path().c_str(), O_WRONLY | O_TRUNC);
            const int n = open("/dev/null", O_RDONLY);
            if (o < 0 || e < 0 || n < 0) _exit(127);
            dup2(o, 1);
            dup2(e, 2);
            dup2(n, 0);
            if (closedStdout) close(1);
            execv(TSVIGIL_BIN, argv.data());
            _exit(127);
        }
    }
    pid_t Pid() const { return m_pid; }
    BoundedRun Wait();

private:
    TempFile m_out{{}, ".out"};
    TempFile m_err{{}, ".err"};
    std::chrono::steady_clock::time_point m_deadline;
    pid_t m_pid = -1;
};

// Runs the built tool on path with both streams captured, killing it if it
// has not ended after kTimeoutSeconds.
BoundedRun RunBounded(const std::string& path) { return ToolRun({path}).Wait(); }

BoundedRun ToolRun::Wait() {
    BoundedRun r;
    const pid_t pid = m_pid;
    if (pid < 0) return r;
    const auto deadline = m_deadline;
    int wstatus = 0;
    for (;;) {
        const pid_t w = waitpid(pid, &wstatus, WNOHANG);
        if (w == pid) {
            r.finished = true;
            break;
        }
        if (w < 0 || std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    r.status = r.finished && WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    r.out = ReadAll(m_out.Path());
    r.err = ReadAll(m_err.Path());
    return r;
}

std::vector<std::string> Lines(const std::string& s) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = s.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(s.substr(start, nl - start));
    if (start < s.size()) lines.push_back(s.substr(start));  // unterminated: no form matches it
    return lines;
}

// The first line of the report that is none of the report's forms, with a
// note, or "" when every line is one of them and the report ends with a
// line break.
std::string FirstBadLine(const std::string& report) {
    static const std::regex kForms[] = {
        std::regex(R"( packet size:(188|192|204)\.)"),
        std::regex(R"( sync byte error\.)"),
        std::regex(R"( continuity counter error \(pid:0x[0-9a-f]{4}, [ 1][0-9]->[ 1][0-9]\)\.)"),
        std::regex(R"([0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2})"),
        std::regex(R"(----/--/-- --:--:--)"),
        std::regex(R"( transport scrambling countrol \(pid:0x[0-9a-f]{4}, [ 0-9]{4}[0-9]+packets\)\.)"),
        std::regex(R"( transport error indicator \([ 0-9]{4}[0-9]+packets\)\.)"),
        std::regex(R"( eit:[^\n]*\(service_id:[0-9]{5}, event_id:[0-9]{5}\)\.)"),
    };
    if (!report.empty() && report.back() != '\n') return "report does not end with a line break";
    for (const auto& line : Lines(report)) {
        bool ok = false;
        for (const auto& form : kForms) ok = ok || std::regex_match(line, form);
        if (!ok) return "bad line: [" + line + "]";
    }
    return "";
}

// Runs the tool on a file holding data and checks the invariants of every
// run; returns the report for further checks.
std::string CheckFile(const Bytes& data) {
    TempFile file(data);
    const BoundedRun r = RunBounded(file.Path());
    EXPECT_TRUE(r.finished) << "no end within " << kTimeoutSeconds << " s";
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(kBanner, r.err);
    EXPECT_EQ("", FirstBadLine(r.out));
    return r.out;
}

int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(gen());
    return b;
}

tsgen::EitEvent Event(int id, const Bytes& descriptors) {
    tsgen::EitEvent e;
    e.event_id = id;
    e.descriptors = descriptors;
    return e;
}

// A short recording with every kind of report line, whose last three
// packets carry a TOT, a continuity gap and an EIT present event.
Bytes ValidStream() {
    tsgen::StreamBuilder b;
    b.AddSection(0x0000, tsgen::MakePAT());
    b.AddSection(0x0014, tsgen::MakeTOT(2008, 6, 1, 12, 0, 0));
    for (int i = 0; i < 6; ++i) b.AddFiller(0x0100);
    tsgen::PacketFaults scrambled;
    scrambled.scrambled = true;
    b.AddFiller(0x0110, scrambled);
    tsgen::PacketFaults tei;
    tei.transportError = true;
    b.AddFiller(0x0100, tei);
    b.AddSection(0x0012, tsgen::MakeEIT(0x4E, 1024, 0, 1, {Event(1, tsgen::ShortEventDescriptor("ニュース{字}"))}));
    for (int i = 0; i < 4; ++i) b.AddFiller(0x0100);
    b.AddSection(0x0014, tsgen::MakeTOT(2008, 6, 1, 12, 0, 5));
    tsgen::PacketFaults skip;
    skip.counterStep = 3;
    b.AddFiller(0x0100, skip);
    b.AddSection(0x0012, tsgen::MakeEIT(0x4E, 1024, 0, 1, {Event(2, tsgen::ShortEventDescriptor("天気"))}));
    return b.Data();
}

// An EIT present/following section 0 of service 1 with one event.
Bytes PresentSection(int eventId, const Bytes& descriptors) {
    return tsgen::MakeEIT(0x4E, 1, 0, 1, {Event(eventId, descriptors)});
}

// A short_event_descriptor whose event_name bytes are taken as they are.
Bytes RawNameDescriptor(const Bytes& name) {
    Bytes d = {0x4D, 0x00, 'j', 'p', 'n', static_cast<uint8_t>(name.size())};
    d.insert(d.end(), name.begin(), name.end());
    d.push_back(0x00);  // text_length
    d[1] = static_cast<uint8_t>(d.size() - 2 > 255 ? 255 : d.size() - 2);
    return d;
}

std::string EventLineEnd(int serviceId, int eventId) {
    char s[64];
    std::snprintf(s, sizeof s, "(service_id:%05d, event_id:%05d).", serviceId, eventId);
    return s;
}

}  // namespace

TEST(BadInputTest, ShortAndUniformFiles) {
    const Bytes valid = ValidStream();
    auto prefix = [&](size_t n) { return Bytes(valid.begin(), valid.begin() + static_cast<long>(n)); };
    // Files that are no transport stream at all: an MP4 (its boxes, then
    // media bytes) and a text, whose 'G' is the sync byte.
    Bytes mp4 = {0, 0, 0, 0x18, 'f', 't', 'y', 'p', 'i', 's', 'o', 'm', 0, 0, 2, 0, 'i', 's', 'o', 'm', 'i', 's', 'o', '2'};
    const Bytes moov = Cat({{0, 0, 0x01, 0x08, 'm', 'o', 'o', 'v', 0, 0, 0, 0x6C, 'm', 'v', 'h', 'd'}, Bytes(248, 0)});
    const Bytes media = RandomBytes(60000, 3);
    mp4 = Cat({mp4, moov, {0, 0, 0xEA, 0x68, 'm', 'd', 'a', 't'}, media});
    std::string text;
    while (text.size() < 20000) text += "GGG Good morning. Greetings from the Gate 47, Gifu; G 0x47.\n";
    const Bytes damaged = Cat({valid, RandomBytes(300, 4), valid, RandomBytes(100, 5), valid});
    struct Case {
        const char* name;
        Bytes data;
        const char* verdict;  // the verdict's words, or null where they are not the point
    };
    const Case kCases[] = {
        {"empty file", {}, "empty"},
        {"1 byte", prefix(1), nullptr},
        {"187 bytes", prefix(187), nullptr},
        {"188 bytes", prefix(188), nullptr},
        {"189 bytes", prefix(189), nullptr},
        {"409 bytes", prefix(409), nullptr},
        {"one sync byte", {0x47}, nullptr},
        {"409 bytes of 0x47", Bytes(409, 0x47), nullptr},
        {"all 0x47, past the ring's wrap", Bytes(300000, 0x47), nullptr},
        {"all 0x00", Bytes(300000, 0x00), "unrecognised"},
        {"all 0xFF", Bytes(300000, 0xFF), nullptr},
        {"random bytes", RandomBytes(400000, 1), "unrecognised"},
        {"random bytes with sync every 188", [] {
             Bytes b = RandomBytes(188 * 2000, 2);
             for (size_t i = 0; i < b.size(); i += 188) b[i] = 0x47;
             return b;
         }(), nullptr},
        {"an MP4", mp4, "unrecognised"},
        {"a text file", Bytes(text.begin(), text.end()), "unrecognised"},
        // Fewer bytes than five packets: judged on their packets.
        {"one packet", prefix(188), "ok"},
        {"four packets", prefix(4 * 188), "ok"},
        {"four packets and a packet of random bytes", Cat({prefix(4 * 188), RandomBytes(188, 6)}), "unrecognised"},
        {"a recording with damaged stretches", damaged, "damaged, scrambled"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string out = CheckFile(c.data);
        if (c.data.empty()) {
            EXPECT_EQ("", out);
        }
        if (c.verdict == nullptr) continue;
        TempFile file(c.data);
        const auto r = testutil::RunTool({"--verdict", file.Path()});
        EXPECT_EQ(file.Path() + ": " + c.verdict, r.out.substr(0, r.out.find(" (")));
        EXPECT_EQ(std::string(c.verdict) == "ok" ? 0 : 3, r.status);
    }
}

TEST(BadInputTest, StreamCutInsideItsLastThreePackets) {
    const Bytes full = ValidStream();
    // The report of a cut stream is the report of the whole packets that
    // survive, plus one lost-sync line for a cut-off last packet; that line
    // is followed by nothing but the counts that close the report.
    for (size_t cut = full.size() - 3 * 188; cut <= full.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const size_t whole = cut - cut % 188;
        const std::string expected = testutil::CheckBytes(Bytes(full.begin(), full.begin() + static_cast<long>(whole)));
        std::string report = testutil::CheckBytes(Bytes(full.begin(), full.begin() + static_cast<long>(cut)));
        ASSERT_EQ("", FirstBadLine(report));
        if (cut != whole) {
            const std::string sync = " sync byte error.\n";
            const size_t at = report.rfind(sync);
            ASSERT_NE(std::string::npos, at);
            for (const auto& line : Lines(report.substr(at + sync.size())))
                EXPECT_EQ(0u, line.rfind(" transport ", 0)) << line;
            report.erase(at, sync.size());
        }
        ASSERT_EQ(expected, report);
    }
    // And through the tool, at a few of those places.
    for (size_t back : {1, 100, 187, 188, 189, 3 * 188 - 1}) {
        SCOPED_TRACE("cut " + std::to_string(back) + " bytes short");
        CheckFile(Bytes(full.begin(), full.end() - static_cast<long>(back)));
    }
}

TEST(BadInputTest, FileGrowingWhileRead) {
    const Bytes data = ValidStream();
    Bytes big;
    for (int i = 0; i < 40; ++i) big.insert(big.end(), data.begin(), data.end());
    TempFile file(Bytes(big.begin(), big.begin() + 188 * 10));
    // A writer process appends the rest in small pieces while the tool reads.
    const pid_t writer = fork();
    if (writer == 0) {
        const int fd = open(file.Path().c_str(), O_WRONLY | O_APPEND);
        if (fd < 0) _exit(1);
        for (size_t at = 188 * 10; at < big.size(); at += 1000) {
            const size_t n = std::min<size_t>(1000, big.size() - at);
            if (write(fd, big.data() + at, n) != static_cast<ssize_t>(n)) _exit(1);
            usleep(2000);
        }
        close(fd);
        _exit(0);
    }
    ASSERT_GT(writer, 0);
    const BoundedRun r = RunBounded(file.Path());
    int wstatus = 0;
    waitpid(writer, &wstatus, 0);
    EXPECT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);
    EXPECT_TRUE(r.finished) << "no end within " << kTimeoutSeconds << " s";
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(kBanner, r.err);
    EXPECT_EQ("", FirstBadLine(r.out));
    EXPECT_EQ(0u, r.out.find(" packet size:188.\n"));
}

TEST(BadInputTest, NamedPipe) {
    // A FIFO is opened once and read to its writer's end: the tool neither
    // hangs waiting for a second writer nor kills the first with SIGPIPE.
    // With standard output closed, the FIFO must not take descriptor 1
    // (/dev/null holds it), and the report is still not written.
    const Bytes data = ValidStream();
    for (const bool closedStdout : {false, true}) {
        SCOPED_TRACE(closedStdout ? "standard output closed" : "standard output open");
        const std::string fifo = TempFile({}, ".fifo").Path();
        ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
        ToolRun run({"--verdict", fifo}, closedStdout);
        ASSERT_GT(run.Pid(), 0);
        // Opening for writing waits for the tool to open for reading.
        int fd = -1;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kTimeoutSeconds);
        while ((fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) < 0 && errno == ENXIO &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_GE(fd, 0);
        fcntl(fd, F_SETFL, 0);
        // At once more than the pipe holds, as cat(1) writes: the write
        // waits on the tool's reading. The writer's SIGPIPE is an EPIPE
        // here: a reader that went away.
        Bytes many;
        for (int i = 0; i < 100; ++i) many.insert(many.end(), data.begin(), data.end());
        signal(SIGPIPE, SIG_IGN);
        size_t at = 0;
        while (at < many.size()) {
            const ssize_t put = write(fd, many.data() + at, many.size() - at);
            if (put <= 0) break;
            at += static_cast<size_t>(put);
        }
        signal(SIGPIPE, SIG_DFL);
        EXPECT_EQ(many.size(), at) << "the tool stopped reading";
        char held[256] = {};
        const std::string stdoutLink = "/proc/" + std::to_string(run.Pid()) + "/fd/1";
        const ssize_t n = readlink(stdoutLink.c_str(), held, sizeof held - 1);
        if (closedStdout) {
            EXPECT_EQ("/dev/null", std::string(held, n > 0 ? size_t(n) : 0));
        }
        close(fd);
        const BoundedRun r = run.Wait();
        unlink(fifo.c_str());
        EXPECT_TRUE(r.finished) << "no end within " << kTimeoutSeconds << " s";
        if (closedStdout) {
            EXPECT_EQ(1, r.status);
            EXPECT_EQ(kBanner + "error - can't write report.\n", r.err);
        } else {
            EXPECT_EQ(3, r.status);
            EXPECT_EQ(0u, r.out.find(fifo + ": damaged"));
            EXPECT_EQ(kBanner, r.err);
        }
    }
}

TEST(BadInputTest, OddFramings) {
    // 192-byte packets whose prefix starts with 0x47, like a sync byte.
    tsgen::StreamBuilder p192(192);
    for (int i = 0; i < 50; ++i) p192.AddFiller(0x0100);
    Bytes prefixed = p192.Data();
    for (size_t i = 0; i < prefixed.size(); i += 192) prefixed[i] = 0x47;

    // Runs of 188, 192 and 204 after one another, each carrying SI.
    Bytes switching;
    for (int size : {188, 192, 204, 188, 204, 192, 188}) {
        tsgen::StreamBuilder b(size);
        b.AddSection(0x0014, tsgen::MakeTOT(2008, 6, 1, 12, 0, size % 60));
        for (int i = 0; i < 30; ++i) b.AddFiller(0x0100 + size);
        switching.insert(switching.end(), b.Data().begin(), b.Data().end());
    }
    struct Case {
        const char* name;
        Bytes data;
        std::vector<std::string> sizes;  // the packet-size lines, in order
    };
    const Case kCases[] = {
        {"192 with 0x47 prefixes", prefixed, {"192"}},
        {"188 192 204 188 204 192 188", switching, {"188", "192", "204", "188", "204", "192", "188"}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string out = CheckFile(c.data);
        std::vector<std::string> sizes;
        for (const auto& line : Lines(out))
            if (line.rfind(" packet size:", 0) == 0) sizes.push_back(line.substr(13, 3));
        EXPECT_EQ(c.sizes, sizes) << out;
    }
}

TEST(BadInputTest, EverySectionLength) {
    // Sections of every section_length from 0 to 4095 on both SI PIDs, with a
    // correct CRC_32 wherever one fits, so that the parsers see bodies of
    // every size. EIT bodies leave out APR (0x0D), which a name may hold and
    // the report then prints as a line break of its own.
    std::mt19937 gen(3);
    tsgen::StreamBuilder b;
    for (int length = 0; length <= 4095; ++length) {
        for (int pid : {0x0014, 0x0012}) {
            Bytes s = {static_cast<uint8_t>(pid == 0x0014 ? 0x73 : 0x4E),
                       static_cast<uint8_t>(0xF0 | (length >> 8)), static_cast<uint8_t>(length)};
            for (int i = 0; i < length; ++i) {
                uint8_t v = static_cast<uint8_t>(gen());
                s.push_back(v == 0x0D ? 0x0C : v);
            }
            if (length >= 4) {
                const uint32_t crc = Crc32(s.data(), static_cast<int>(s.size()) - 4);
                for (int k = 0; k < 4; ++k) s[s.size() - 4 + k] = static_cast<uint8_t>(crc >> (24 - 8 * k));
            }
            b.AddSection(pid, s);
        }
    }
    CheckFile(b.Data());
}

TEST(BadInputTest, HostileDescriptorsLoopLength) {
    // Two events; the first one's descriptors_loop_length is rewritten and
    // the CRC_32 made right again, so only the length is hostile.
    const Bytes good = tsgen::MakeEIT(0x4E, 7, 0, 1,
                                      {Event(777, tsgen::ShortEventDescriptor("ABC")),
                                       Event(778, tsgen::ShortEventDescriptor("DEF"))});
    const int loopAt = 14 + 10;  // section header, then the event's fixed bytes
    const int actual = ((good[loopAt] & 0x0F) << 8) | good[loopAt + 1];
    const int toCrc = static_cast<int>(good.size()) - 4 - (loopAt + 2);
    for (int length : {0, 1, 2, 3, actual - 1, actual + 1, toCrc - 1, toCrc, toCrc + 1, toCrc + 4,
                       toCrc + 5, 0x0800, 0x0FFF}) {
        SCOPED_TRACE("descriptors_loop_length " + std::to_string(length));
        Bytes body(good.begin(), good.end() - 4);
        body[loopAt] = static_cast<uint8_t>((body[loopAt] & 0xF0) | ((length >> 8) & 0x0F));
        body[loopAt + 1] = static_cast<uint8_t>(length);
        tsgen::StreamBuilder b;
        b.AddSection(0x0012, tsgen::FinishSection(body));
        const std::string out = CheckFile(b.Data());
        EXPECT_EQ(1, CountOf(out, EventLineEnd(7, 777))) << out;
    }
}

TEST(BadInputTest, EveryTagWithLengthZeroAndFull) {
    // For every tag: a descriptor of length 0, one of length 255 with its 255
    // bytes, and one of length 255 that the section ends inside; in the TOT's
    // loop and in an event's loop after its short_event_descriptor.
    tsgen::StreamBuilder b;
    for (int tag = 0; tag < 256; ++tag) {
        const uint8_t t = static_cast<uint8_t>(tag);
        Bytes full = {t, 0xFF};
        const Bytes body = RandomBytes(255, 100 + tag);
        full.insert(full.end(), body.begin(), body.end());
        const Bytes variants[] = {{t, 0x00}, full, {t, 0xFF, 0x01, 0x02}};
        for (int v = 0; v < 3; ++v) {
            b.AddSection(0x0014, tsgen::MakeTOT(2008, 6, 1, 12, 0, 0, variants[v]));
            b.AddSection(0x0012, PresentSection(tag * 4 + v + 1,
                                                Cat({tsgen::ShortEventDescriptor("ABC"), variants[v]})));
        }
    }
    const std::string out = CheckFile(b.Data());
    for (int tag = 0; tag < 256; ++tag) {
        for (int v = 0; v < 3; ++v) {
            SCOPED_TRACE("tag " + std::to_string(tag) + " variant " + std::to_string(v));
            EXPECT_EQ(1, CountOf(out, EventLineEnd(1, tag * 4 + v + 1)));
        }
    }
}

TEST(BadInputTest, HostileEventNames) {
    struct Case {
        const char* name;
        Bytes event_name;
    };
    const Case kCases[] = {
        {"lone escape", {0x1B}},
        {"cut designation", {0x1B, 0x24}},
        {"cut two-byte designation", {0x1B, 0x24, 0x29}},
        {"lone lead byte of a kanji", {0x30}},
        {"lone lead byte through GR", {0x0E, 0x1B, 0x7E, 0xB0}},
        {"lone single shift", {0x19}},
        {"255 bytes of CSI", Bytes(255, 0x9B)},
        {"CSI then nothing else", {0x9B}},
        {"255 escapes", Bytes(255, 0x1B)},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        tsgen::StreamBuilder b;
        b.AddSection(0x0014, tsgen::MakeTOT(2008, 6, 1, 12, 0, 0));
        b.AddSection(0x0012, PresentSection(321, RawNameDescriptor(c.event_name)));
        const std::string out = CheckFile(b.Data());
        EXPECT_EQ(1, CountOf(out, EventLineEnd(1, 321))) << out;
    }
}

}  // namespace tsvigil
