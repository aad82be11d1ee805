#include "app/Checker.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

#include "app/JsonReport.h"
#include "app/MyEIT.h"
#include "app/MyTOT.h"
#include "app/Options.h"
#include "app/PidRoles.h"
#include "app/Progress.h"
#include "app/Summary.h"
#include "si/Section.h"
#include "stream/TSPacket.h"
#include "stream/TransportStream.h"
#include "text/Utf8.h"
#include "tsvigil/Version.h"

namespace {

constexpr int kNullPid = 0x1FFF;

// The packet loop: size changes, lost sync and continuity_counter per PID,
// then the faults counted in bulk between two TOTs. Every packet is counted
// for its PID; sink, when set, is told of each finding.
void CheckPackets(CTSPacket& framer, CMyTOT& tot, std::FILE* out, CRunStats& stats, CReportSink* sink,
                  const std::function<void()>& tick) {
    // Continuity state runs across lost sync, so packets lost there show up
    // as counter errors of their PIDs.
    // On the stack, so that no store of the loop can move it and its address
    // stays in a register.
    int lastCounter[8192];
    std::fill(std::begin(lastCounter), std::end(lastCounter), -1);
    // Packets per PID, apart from the rarely touched error counts: one
    // increment at a scaled index per packet.
    std::vector<uint64_t> counted(CRunStats::kPids, 0);
    uint64_t* const packetsOf = counted.data();
    int announcedSize = 0;
    // The flags of a packet with nothing to tell: the size announced last,
    // no lost sync. Only other flags need a closer look.
    int steadyFlags = 0;
    int untilTick = CProgress::kTickPackets;
    auto syncLost = [&] {
        tot.PrintTimeStamp();
        std::fputs(" sync byte error.\n", out);
        tot.m_bReported = 1;
        ++stats.syncErrors;
        if (sink) sink->OnSyncError(framer.m_nLostOffset);
    };

    // The framer's steps and the dispatch as in CTSPacket::ReadNext(), with
    // the PID read once for both; the loop has no use for a section's
    // failed check.
    int flags = framer.FramePacket();
    for (; !(flags & TSP_END); flags = framer.FramePacket()) {
        const uint8_t* p = framer.m_packet;
        const int pid = ((p[1] << 8) | p[2]) & 0x1FFF;
        DispatchPacket(p, pid);
        if (--untilTick == 0) {
            untilTick = CProgress::kTickPackets;
            if (tick) tick();
        }
        if (flags != steadyFlags) {
            const int size = (flags & TSP_SIZE_188) ? 188 : (flags & TSP_SIZE_192) ? 192 : 204;
            if (size != announcedSize) {
                std::fprintf(out, " packet size:%d.\n", size);
                announcedSize = size;
                if (sink) sink->OnPacketSize(size, framer.PacketOffset());
            }
            if (flags & TSP_SYNC_ERROR) syncLost();
            steadyFlags = flags & (TSP_SIZE_188 | TSP_SIZE_192 | TSP_SIZE_204);
        }

        ++packetsOf[pid];
        const int b3 = p[3];
        const int counter = b3 & 0x0F;
        const int last = lastCounter[pid];
        // A packet without payload repeats the counter of the one before:
        // the counter moves on by adaptation_field_control's payload bit,
        // modulo 16. Most packets pass on this one test.
        if (((counter - last - ((b3 >> 4) & 1)) & 0x0F) != 0 && last >= 0 && pid != kNullPid) {
            tot.PrintTimeStamp();
            std::fprintf(out, " continuity counter error (pid:0x%04x, %2d->%2d).\n", pid, last, counter);
            tot.m_bReported = 1;
            ++stats.pids[pid].continuityErrors;
            if (sink) sink->OnContinuityError(pid, last, counter, framer.PacketOffset());
        }
        lastCounter[pid] = counter;

        if (b3 & 0xC0) {
            tot.PrintTimeStamp();
            tot.CountScrambled(pid);
            ++stats.pids[pid].scrambled;
        }
        if (p[1] & 0x80) {
            tot.PrintTimeStamp();
            if (tot.m_nTransportErrors < INT_MAX) ++tot.m_nTransportErrors;
            ++stats.pids[pid].transportErrors;
        }
    }
    // Bytes skipped at the end of the input (a cut-off last packet,
    // trailing garbage, an input without any packet) are lost sync too.
    if (flags & TSP_SYNC_ERROR) syncLost();
    // Counts gathered after the last TOT (or in a stream without any) close
    // the report; no TOT follows them, so no time does either.
    tot.PrintCounts();
    for (int pid = 0; pid < CRunStats::kPids; ++pid) stats.pids[pid].packets = packetsOf[pid];
    stats.bytes = framer.Offset();
    stats.packetSize = announcedSize;
}

// A stream that swallows what is written to it: the text report's writers
// print into it when JSON Lines take standard output.
ssize_t Discard(void*, const char*, size_t size) { return static_cast<ssize_t>(size); }

struct CFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using CFilePtr = std::unique_ptr<std::FILE, CFileCloser>;

}  // namespace

const char* const kWriteError = "error - can't write report.\n";

void CheckStream(CTransportStream& source, std::FILE* out, const CCheckOptions& options,
                 const std::function<void()>& tick) {
    CFilePtr discard;
    std::FILE* text = out;
    if (options.json) {
        cookie_io_functions_t io = {};
        io.write = &Discard;
        discard.reset(fopencookie(nullptr, "w", io));
        if (discard) text = discard.get();
    }
    CTSPacket framer;
    CMyTOT tot(text);
    CMyEIT eit(text);
    CPidRoles roles;
    auto stats = std::make_unique<CRunStats>();
    std::unique_ptr<CJsonReport> json;
    if (options.json) {
        json = std::make_unique<CJsonReport>(out, tot, framer);
        tot.m_pSink = json.get();
        eit.m_pSink = json.get();
    }
    framer.m_pStream = &source;
    RegisterTable(&tot);
    eit.m_pTot = &tot;
    RegisterTable(&eit);
    // The PSI and the SDT are followed only for a summary's roles and names.
    if (options.summary || options.json) roles.Register();
    CheckPackets(framer, tot, text, *stats, json.get(), tick);
    ResetTables();
    if (json) json->WriteSummary(options.file, *stats, roles);
    else if (options.summary) PrintSummary(out, *stats, roles, tot);
}

int RunChecker(int argc, char** argv, std::FILE* out, std::FILE* err) {
    const CCommandLine cmd = ParseCommandLine(argc, argv);
    switch (cmd.action) {
        case CCommandLine::kHelp:
        case CCommandLine::kVersion:
            if (cmd.action == CCommandLine::kHelp) std::fputs(kHelpText, out);
            else std::fprintf(out, "tsvigil %s\n", kVersion);
            if (std::fflush(out) != 0) {
                std::fputs(kWriteError, err);
                return 1;
            }
            return 0;
        case CCommandLine::kBadUsage:
            std::fprintf(err, "tsvigil: %s\n%sTry 'tsvigil --help' for more information.\n", cmd.error.c_str(),
                         kUsageLine);
            return 2;
        default:
            break;
    }
    std::unique_ptr<CTransportStream> file;
    std::fprintf(err, "\ntsvigil - transport stream checker ver %s\n\n", kVersion);
    if (cmd.action == CCommandLine::kUsage) {
        std::fputs("usage: tsvigil src.ts\n\n", err);
        return 0;
    }
    const char* path = cmd.file.c_str();
    file = OpenTransportStream(path);
    if (!file) {
        std::fprintf(err, "error - can't open file (%s).\n", path);
        return 0;
    }
    CProgress progress(err, file->FileSize());
    std::function<void()> tick;
    // The report's way out: the progress line's eraser when both go to one
    // terminal, then the conversion to UTF-8 when asked for.
    CFilePtr wrapped, converted;
    std::FILE* report = out;
    if (progress.Enabled()) {
        tick = [&] { progress.Update(file->BytesRead()); };
        if (isatty(fileno(out)) == 1) {
            std::FILE* w = progress.Wrap(out);
            if (w != out) wrapped.reset(report = w);
        }
    }
    if (cmd.utf8 && !cmd.json) {
        std::FILE* c = OpenUtf8Writer(report);
        if (c != report) converted.reset(report = c);
    }
    CCheckOptions options;
    options.summary = cmd.summary;
    options.json = cmd.json;
    options.file = path;
    CheckStream(*file, report, options, tick);
    // Closing the wrappers, innermost first, writes what they hold to out.
    bool closed = true;
    if (converted) closed = std::fclose(converted.release()) == 0 && closed;
    if (wrapped) closed = std::fclose(wrapped.release()) == 0 && closed;
    progress.Finish();
    if (file->IsReadError()) std::fprintf(err, "error - can't read file (%s).\n", path);
    // A report that did not reach its destination (a closed standard
    // output, a full disk) is the one failure of the run itself.
    if (!closed || std::fflush(out) != 0 || std::ferror(out)) {
        std::fputs(kWriteError, err);
        return 1;
    }
    return 0;
}
