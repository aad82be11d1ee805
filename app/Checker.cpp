#include "app/Checker.h"

#include <unistd.h>

#include <climits>
#include <functional>
#include <memory>
#include <vector>

#include "app/MyEIT.h"
#include "app/MyTOT.h"
#include "app/Progress.h"
#include "si/Section.h"
#include "stream/TSPacket.h"
#include "stream/TransportStream.h"

namespace {

constexpr int kNullPid = 0x1FFF;

// The packet loop: size changes, lost sync and continuity_counter per PID,
// then the faults counted in bulk between two TOTs.
void CheckPackets(CTSPacket& framer, CMyTOT& tot, std::FILE* out, const std::function<void()>& tick) {
    // Continuity state runs across lost sync, so packets lost there show up
    // as counter errors of their PIDs.
    std::vector<int> lastCounter(8192, -1);
    int announcedSize = 0;
    unsigned packets = 0;

    int flags = framer.ReadNext();
    for (; !(flags & TSP_END); flags = framer.ReadNext()) {
        if (tick && (++packets & (CProgress::kTickPackets - 1)) == 0) tick();
        const uint8_t* p = framer.m_packet;
        const int size = (flags & TSP_SIZE_188) ? 188 : (flags & TSP_SIZE_192) ? 192 : 204;
        if (size != announcedSize) {
            std::fprintf(out, " packet size:%d.\n", size);
            announcedSize = size;
        }
        if (flags & TSP_SYNC_ERROR) {
            tot.PrintTimeStamp();
            std::fputs(" sync byte error.\n", out);
            tot.m_bReported = 1;
        }

        const int pid = ((p[1] << 8) | p[2]) & 0x1FFF;
        const int counter = p[3] & 0x0F;
        const int last = lastCounter[pid];
        if (last >= 0 && pid != kNullPid) {
            // A packet without payload repeats the counter of the one before.
            const int expected = (p[3] & 0x10) ? (last + 1) & 0x0F : last;
            if (counter != expected) {
                tot.PrintTimeStamp();
                std::fprintf(out, " continuity counter error (pid:0x%04x, %2d->%2d).\n", pid, last,
                             counter);
                tot.m_bReported = 1;
            }
        }
        lastCounter[pid] = counter;

        if (p[3] & 0xC0) {
            tot.PrintTimeStamp();
            tot.CountScrambled(pid);
        }
        if (p[1] & 0x80) {
            tot.PrintTimeStamp();
            if (tot.m_nTransportErrors < INT_MAX) ++tot.m_nTransportErrors;
        }
    }
    // Bytes skipped at the end of the input (a cut-off last packet,
    // trailing garbage, an input without any packet) are lost sync too.
    if (flags & TSP_SYNC_ERROR) {
        tot.PrintTimeStamp();
        std::fputs(" sync byte error.\n", out);
        tot.m_bReported = 1;
    }
    // Counts gathered after the last TOT (or in a stream without any) close
    // the report; no TOT follows them, so no time does either.
    tot.PrintCounts();
}

}  // namespace

const char* const kWriteError = "error - can't write report.\n";

void CheckStream(CTransportStream& source, std::FILE* out, const std::function<void()>& tick) {
    CTSPacket framer;
    CMyTOT tot(out);
    CMyEIT eit(out);
    framer.m_pStream = &source;
    RegisterTable(&tot);
    eit.m_pTot = &tot;
    RegisterTable(&eit);
    CheckPackets(framer, tot, out, tick);
    ResetTables();
}

int RunChecker(int argc, char** argv, std::FILE* out, std::FILE* err) {
    std::unique_ptr<CTransportStream> file;
    std::fputs("\ntsvigil - transport stream checker ver 0.9.0\n\n", err);
    if (argc != 2) {
        std::fputs("usage: tsvigil src.ts\n\n", err);
        return 0;
    }
    file = OpenTransportStream(argv[1]);
    if (!file) {
        std::fprintf(err, "error - can't open file (%s).\n", argv[1]);
        return 0;
    }
    CProgress progress(err, file->FileSize());
    std::function<void()> tick;
    std::FILE* report = out;
    if (progress.Enabled()) {
        tick = [&] { progress.Update(file->BytesRead()); };
        // A report on the same terminal erases the progress line first.
        if (isatty(fileno(out)) == 1) report = progress.Wrap(out);
    }
    CheckStream(*file, report, tick);
    if (report != out) std::fclose(report);
    progress.Finish();
    if (file->IsReadError()) std::fprintf(err, "error - can't read file (%s).\n", argv[1]);
    // A report that did not reach its destination (a closed standard
    // output, a full disk) is the one failure of the run itself.
    if (std::fflush(out) != 0 || std::ferror(out)) {
        std::fputs(kWriteError, err);
        return 1;
    }
    return 0;
}
