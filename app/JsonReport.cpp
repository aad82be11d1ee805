#include "app/JsonReport.h"

#include <cinttypes>

#include "app/MyTOT.h"
#include "app/PidRoles.h"
#include "si/EIT.h"
#include "stream/PacketFramer.h"

std::string CJsonReport::Quote(const std::string& utf8) {
    const std::string s = ValidUtf8(utf8);
    std::string q = "\"";
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"') q += "\\\"";
        else if (c == '\\') q += "\\\\";
        else if (c == '\n') q += "\\n";
        else if (c == '\t') q += "\\t";
        else if (c < 0x20 || c == 0x7F) {
            char e[8];
            std::snprintf(e, sizeof e, "\\u%04x", c);
            q += e;
        } else {
            q += ch;
        }
    }
    return q + "\"";
}

std::string CJsonReport::IsoTime(const CTimeValue& t) {
    const CTimeFields f = t.Fields();
    char s[40];
    std::snprintf(s, sizeof s, "\"%04d-%02d-%02dT%02d:%02d:%02d+09:00\"", f.year, f.month, f.day, f.hour,
                  f.minute, f.second);
    return s;
}

std::string CJsonReport::LastTot() const {
    CTimeValue t;
    return m_tot.LastTime(t) ? IsoTime(t) : "null";
}

void CJsonReport::OnPacketSize(int size, int64_t offset) {
    std::fprintf(m_out, "{\"type\":\"packet_size\",\"size\":%d,\"offset\":%" PRId64 "}\n", size, offset);
}

void CJsonReport::OnSyncError(int64_t offset) {
    std::fprintf(m_out, "{\"type\":\"sync_error\",\"offset\":%" PRId64 ",\"time\":%s}\n", offset,
                 LastTot().c_str());
}

void CJsonReport::OnContinuityError(int pid, int last, int counter, int64_t offset) {
    std::fprintf(m_out,
                 "{\"type\":\"continuity_error\",\"pid\":%d,\"last\":%d,\"counter\":%d,\"offset\":%" PRId64
                 ",\"time\":%s}\n",
                 pid, last, counter, offset, LastTot().c_str());
}

void CJsonReport::OnTot(const CTimeValue* time) {
    std::fprintf(m_out, "{\"type\":\"tot\",\"time\":%s,\"offset\":%" PRId64 "}\n",
                 time ? IsoTime(*time).c_str() : "null", m_framer.PacketOffset());
    std::fflush(m_out);
}

void CJsonReport::OnScrambled(int pid, int packets) {
    std::fprintf(m_out, "{\"type\":\"scrambled\",\"pid\":%d,\"packets\":%d,\"time\":%s}\n", pid, packets,
                 LastTot().c_str());
}

void CJsonReport::OnTransportErrors(int packets) {
    std::fprintf(m_out, "{\"type\":\"transport_errors\",\"packets\":%d,\"time\":%s}\n", packets,
                 LastTot().c_str());
}

void CJsonReport::OnEvent(int serviceId, const CEITEvent& event, const std::string& name) {
    const std::string start = event.has_start_time ? IsoTime(event.start_time) : "null";
    const std::string duration = event.has_duration ? std::to_string(event.duration.Seconds()) : "null";
    std::fprintf(m_out,
                 "{\"type\":\"event\",\"service_id\":%d,\"event_id\":%d,\"name\":%s,\"start_time\":%s,"
                 "\"duration\":%s,\"offset\":%" PRId64 ",\"time\":%s}\n",
                 serviceId, event.event_id, Quote(m_conv.Convert(name)).c_str(), start.c_str(), duration.c_str(),
                 m_framer.PacketOffset(), LastTot().c_str());
}

void CJsonReport::WriteSummary(const char* file, const CRunStats& stats, const CPidRoles& roles) {
    uint64_t packets = 0;
    for (const auto& p : stats.pids) packets += p.packets;
    CTimeValue first, last;
    const std::string firstTot = m_tot.FirstTime(first) ? IsoTime(first) : "null";
    const std::string lastTot = m_tot.LastTime(last) ? IsoTime(last) : "null";
    std::fprintf(m_out,
                 "{\"type\":\"summary\",\"file\":%s,\"bytes\":%" PRId64 ",\"packets\":%" PRIu64
                 ",\"packet_size\":%s,\"sync_errors\":%" PRIu64 ",\"first_tot\":%s,\"last_tot\":%s,\"pids\":[",
                 file ? Quote(file).c_str() : "null", stats.bytes, packets,
                 stats.packetSize ? std::to_string(stats.packetSize).c_str() : "null", stats.syncErrors,
                 firstTot.c_str(), lastTot.c_str());
    const char* sep = "";
    for (int pid = 0; pid < CRunStats::kPids; ++pid) {
        const CPidCounts& c = stats.pids[pid];
        if (c.packets == 0) continue;
        std::string ids;
        for (const int id : roles.ServiceIds(pid)) ids += (ids.empty() ? "" : ",") + std::to_string(id);
        std::fprintf(m_out,
                     "%s{\"pid\":%d,\"role\":%s,\"service_ids\":[%s],\"packets\":%" PRIu64
                     ",\"continuity_errors\":%" PRIu64 ",\"transport_errors\":%" PRIu64 ",\"scrambled\":%" PRIu64 "}",
                     sep, pid, Quote(roles.Role(pid)).c_str(), ids.c_str(), c.packets, c.continuityErrors,
                     c.transportErrors, c.scrambled);
        sep = ",";
    }
    std::fputs("],\"services\":[", m_out);
    sep = "";
    for (const auto& s : roles.Services()) {
        std::fprintf(m_out, "%s{\"service_id\":%d,\"name\":%s}", sep, s.first, Quote(m_conv.Convert(s.second)).c_str());
        sep = ",";
    }
    std::fputs("]}\n", m_out);
    std::fflush(m_out);
}
