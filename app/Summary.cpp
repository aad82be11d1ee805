#include "app/Summary.h"

#include <cinttypes>
#include <string>

#include "app/MyTOT.h"
#include "app/PidRoles.h"

namespace {

void PrintTime(std::FILE* out, const char* label, bool valid, const CTimeValue& t) {
    if (!valid) {
        std::fprintf(out, "  %s ----/--/-- --:--:--\n", label);
        return;
    }
    const CTimeFields f = t.Fields();
    std::fprintf(out, "  %s %04d/%02d/%02d %02d:%02d:%02d\n", label, f.year, f.month, f.day, f.hour, f.minute,
                 f.second);
}

}  // namespace

void PrintSummary(std::FILE* out, const CRunStats& stats, const CPidRoles& roles, const CMyTOT& tot) {
    std::fputs("\n summary:\n", out);
    std::fputs("     pid        packets   cc errors  tei errors  scrambled  role\n", out);
    CPidCounts total;
    for (int pid = 0; pid < CRunStats::kPids; ++pid) {
        const CPidCounts& c = stats.pids[pid];
        if (c.packets == 0) continue;
        std::string role = roles.Role(pid);
        const auto ids = roles.ServiceIds(pid);
        for (size_t i = 0; i < ids.size(); ++i) role += (i == 0 ? " (service " : ", ") + std::to_string(ids[i]);
        if (!ids.empty()) role += ")";
        std::fprintf(out, "  0x%04x %14" PRIu64 " %11" PRIu64 " %11" PRIu64 " %10" PRIu64 "  %s\n", pid, c.packets, c.continuityErrors,
                     c.transportErrors, c.scrambled, role.c_str());
        total.packets += c.packets;
        total.continuityErrors += c.continuityErrors;
        total.transportErrors += c.transportErrors;
        total.scrambled += c.scrambled;
    }
    std::fprintf(out, "  total  %14" PRIu64 " %11" PRIu64 " %11" PRIu64 " %10" PRIu64 "\n", total.packets, total.continuityErrors,
                 total.transportErrors, total.scrambled);
    std::fprintf(out, "  sync byte errors: %" PRIu64 "\n", stats.syncErrors);
    CTimeValue first, last;
    const bool hasFirst = tot.FirstTime(first), hasLast = tot.LastTime(last);
    if (tot.TotCount() == 0) {
        std::fputs("  TOT: none\n", out);
    } else {
        PrintTime(out, "first TOT:", hasFirst, first);
        PrintTime(out, "last TOT: ", hasLast, last);
    }
    for (const auto& s : roles.Services())
        std::fprintf(out, "  service %5d: %s\n", s.first, s.second.c_str());
}
