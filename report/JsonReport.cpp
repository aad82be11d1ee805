// SPDX-License-Identifier: BSD-2-Clause
#include "report/JsonReport.h"

#include <cinttypes>

#include "base/ErrorText.h"
#include "check/CheckStats.h"
#include "check/PidRoles.h"
#include "check/Verdict.h"
#include "report/TimeFormat.h"
#include "si/EIT.h"

namespace tsvigil {

std::string JsonReport::Quote(const std::string& utf8) {
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

JsonReport::JsonReport(std::FILE* out, const char* file)
    : m_out(out), m_file(std::string("\"file\":") + (file ? Quote(file) : "null") + ",") {}

namespace {

// ",\"at\":...,\"elapsed\":..." for the findings without a "time".
std::string Placed(const Finding& f) {
    return ",\"at\":" + FormatMilliseconds(f.at, f.hasAt) + ",\"elapsed\":" + FormatTicks(f.elapsed, f.hasElapsed);
}

// The verdict as a JSON object; a verdict over chosen services adds, when
// apart, what the other services lost and the services the file lacks.
std::string VerdictObject(const Verdict& v, bool apart) {
    std::string words;
    for (const char* w : v.Words()) words += (words.empty() ? "\"" : ",\"") + std::string(w) + "\"";
    char figures[512];
    std::snprintf(figures, sizeof figures,
                  "{\"ok\":%s,\"words\":[%s],\"av_lost\":%" PRIu64 ",\"av_errors\":%" PRIu64
                  ",\"av_scrambled\":%" PRIu64 ",\"sync_errors\":%" PRIu64 ",\"other_lost\":%" PRIu64
                  ",\"duplicates\":%" PRIu64 ",\"scrambled_at_start\":%" PRIu64 ",\"discontinuities\":%" PRIu64
                  ",\"gaps\":%" PRIu64 ",\"indicators\":{\"priority_1\":%" PRIu64 ",\"priority_2\":%" PRIu64 "}",
                  v.Ok() ? "true" : "false", words.c_str(), v.avLost, v.avErrors, v.avScrambled, v.sync, v.otherLost,
                  v.duplicates, v.scrambledAtStart, v.discontinuities, v.gaps, v.indicatorsP1, v.indicatorsP2);
    std::string o = figures;
    if (apart && v.selected) {
        std::snprintf(figures, sizeof figures,
                      ",\"other_services\":{\"av_lost\":%" PRIu64 ",\"av_errors\":%" PRIu64 ",\"av_scrambled\":%" PRIu64
                      "},\"absent_services\":[",
                      v.otherServicesAvLost, v.otherServicesAvErrors, v.otherServicesAvScrambled);
        o += figures;
        for (size_t i = 0; i < v.absentServices.size(); ++i) o += (i ? "," : "") + std::to_string(v.absentServices[i]);
        o += "]";
    }
    if (v.programme) {
        std::snprintf(figures, sizeof figures,
                      ",\"margins\":{\"av_lost\":%" PRIu64 ",\"av_errors\":%" PRIu64 ",\"av_scrambled\":%" PRIu64
                      ",\"sync_errors\":%" PRIu64 ",\"gaps\":%" PRIu64 ",\"indicators\":{\"priority_1\":%" PRIu64
                      ",\"priority_2\":%" PRIu64 "}},\"window\":",
                      v.margins.avLost, v.margins.avErrors, v.margins.avScrambled, v.margins.sync, v.margins.gaps,
                      v.margins.indicatorsP1, v.margins.indicatorsP2);
        o += figures;
        if (v.hasWindow) {
            o += "{\"service_id\":" + std::to_string(v.window.serviceId) +
                 ",\"event_id\":" + std::to_string(v.window.eventId) +
                 ",\"from\":" + FormatMilliseconds(v.window.from, true) +
                 ",\"to\":" + FormatMilliseconds(v.window.to, true) + "},\"window_reason\":null";
        } else {
            o += std::string("null,\"window_reason\":") + (v.windowReason ? JsonReport::Quote(v.windowReason) : "null");
        }
    }
    return o + "}";
}

// The ETSI TR 101 290 indicators over the file: null when the PCR timed
// none, with the reason beside it.
std::string IndicatorsObject(const CheckStats& stats) {
    if (!stats.indicatorsTimed) {
        return "null,\"indicators_untimed\":" +
               (stats.indicatorsFollowed ? JsonReport::Quote(stats.indicatorsUntimed) : std::string("null"));
    }
    uint64_t p1 = 0, p2 = 0;
    for (const IndicatorCount& c : stats.indicatorCounts) (c.priority == 1 ? p1 : p2) += c.count;
    return "{\"priority_1\":" + std::to_string(p1) + ",\"priority_2\":" + std::to_string(p2) + "}";
}

}  // namespace

void JsonReport::OnGap(const Finding& f) {
    const char* file = m_file.c_str();
    const std::string seconds = f.gapTicks >= 0 ? FormatTicks(f.gapTicks, true) : "null";
    std::fprintf(m_out,
                 "{\"type\":\"gap\",%s\"at\":%s,\"to\":%s,\"elapsed\":%s,\"to_elapsed\":%s,\"seconds\":%s%s,"
                 "\"offset\":%" PRId64 "}\n",
                 file, FormatMilliseconds(f.at, f.hasAt).c_str(), FormatMilliseconds(f.toAt, f.hasToAt).c_str(),
                 FormatTicks(f.elapsed, f.hasElapsed).c_str(), FormatTicks(f.toElapsed, f.hasToElapsed).c_str(),
                 seconds.c_str(), f.reset ? ",\"reset\":true" : f.declared ? ",\"declared\":true" : "", f.offset);
}

void JsonReport::OnDamage(const Finding& f) {
    const char* file = m_file.c_str();
    std::string pids;
    for (const int pid : f.pids) pids += (pids.empty() ? "" : ",") + std::to_string(pid);
    std::fprintf(m_out,
                 "{\"type\":\"damage\",%s\"from\":%s,\"to\":%s,\"elapsed_from\":%s,\"elapsed_to\":%s,"
                 "\"offset_from\":%" PRId64 ",\"offset_to\":%" PRId64 ",\"av_lost\":%" PRIu64
                 ",\"av_errors\":%" PRIu64 ",\"pids\":[%s]}\n",
                 file, FormatMilliseconds(f.at, f.hasAt).c_str(), FormatMilliseconds(f.toAt, f.hasToAt).c_str(),
                 FormatTicks(f.elapsed, f.hasElapsed).c_str(), FormatTicks(f.toElapsed, f.hasToElapsed).c_str(),
                 f.offset, f.toOffset, f.avLost, f.avErrors, pids.c_str());
}

void JsonReport::OnIndicator(const Finding& f) {
    const std::string seconds =
        f.hasElapsed && f.hasToElapsed ? FormatTicks(f.toElapsed - f.elapsed, true) : std::string("null");
    std::fprintf(m_out,
                 "{\"type\":\"indicator\",%s\"name\":\"%s\",\"priority\":%d,\"pid\":%d,\"count\":%" PRId64
                 ",\"seconds\":%s,\"from\":%s,\"to\":%s,\"elapsed_from\":%s,\"elapsed_to\":%s,"
                 "\"offset_from\":%" PRId64 ",\"offset_to\":%" PRId64 "}\n",
                 m_file.c_str(), f.indicator ? f.indicator : "", f.priority, f.pid, f.count, seconds.c_str(),
                 FormatMilliseconds(f.at, f.hasAt).c_str(), FormatMilliseconds(f.toAt, f.hasToAt).c_str(),
                 FormatTicks(f.elapsed, f.hasElapsed).c_str(), FormatTicks(f.toElapsed, f.hasToElapsed).c_str(),
                 f.offset, f.toOffset);
}

void JsonReport::OnPacketRange(const Finding& f) {
    const char* file = m_file.c_str();
    // at_start only where it means something: scrambled packets
    // before the PID's first clear one.
    const bool scrambled = f.kind == Finding::Kind::kScrambledRange;
    std::string pids;
    for (const auto& p : f.pidPackets) {
        pids += (pids.empty() ? "{\"pid\":" : ",{\"pid\":") + std::to_string(p.pid) + ",\"class\":\"" +
                (p.av ? "av" : "other") + "\",\"packets\":" + std::to_string(p.packets) +
                (scrambled ? ",\"at_start\":" + std::to_string(p.atStart) : std::string()) + "}";
    }
    std::fprintf(m_out,
                 "{\"type\":\"%s\",%s\"from\":%s,\"to\":%s,\"elapsed_from\":%s,\"elapsed_to\":%s,"
                 "\"offset_from\":%" PRId64 ",\"offset_to\":%" PRId64 ",\"packets\":%" PRId64 ",\"pids\":[%s]}\n",
                 scrambled ? "scrambled_range" : "transport_error_range", file,
                 FormatMilliseconds(f.at, f.hasAt).c_str(), FormatMilliseconds(f.toAt, f.hasToAt).c_str(),
                 FormatTicks(f.elapsed, f.hasElapsed).c_str(), FormatTicks(f.toElapsed, f.hasToElapsed).c_str(),
                 f.offset, f.toOffset, f.count, pids.c_str());
}

void JsonReport::OnProgramme(const Finding& f) {
    const char* file = m_file.c_str();
    const bool known = f.coverage >= 0;
    const std::string end =
        f.hasStart && f.duration >= 0 ? FormatTime(TimeValue(f.start.Seconds() + f.duration), true, TimeStyle::kJson) : "null";
    char coverage[16] = "null";
    if (known) std::snprintf(coverage, sizeof coverage, "%.3f", f.coverage);
    const std::string missingStart = known ? FormatSeconds(f.missingStart) : "null";
    const std::string missingEnd = known ? FormatSeconds(f.missingEnd) : "null";
    const std::string missingInside = known ? FormatSeconds(f.missingInside) : "null";
    // What the service's picture and sound suffered within the programme:
    // unknown with its window.
    const std::string figures =
        known ? "\"av_lost\":" + std::to_string(f.avLost) + ",\"av_errors\":" + std::to_string(f.avErrors) +
                    ",\"av_scrambled\":" + std::to_string(f.avScrambled) +
                    ",\"damage_ranges\":" + std::to_string(f.damageRanges)
              : std::string("\"av_lost\":null,\"av_errors\":null,\"av_scrambled\":null,\"damage_ranges\":null");
    std::fprintf(m_out,
                 "{\"type\":\"programme\",%s\"service_id\":%d,\"event_id\":%d,\"name\":%s,\"start\":%s,\"end\":%s,"
                 "\"recorded_from\":%s,\"recorded_to\":%s,\"missing_start\":%s,\"missing_end\":%s,"
                 "\"missing_inside\":%s,\"coverage\":%s,\"recorded\":%s,%s%s}\n",
                 file, f.serviceId, f.eventId, Quote(m_conv.Convert(f.name)).c_str(),
                 FormatTime(f.start, f.hasStart, TimeStyle::kJson).c_str(), end.c_str(),
                 FormatMilliseconds(f.at, f.hasAt).c_str(), FormatMilliseconds(f.toAt, f.hasToAt).c_str(),
                 missingStart.c_str(), missingEnd.c_str(), missingInside.c_str(), coverage,
                 f.recorded ? "true" : "false", figures.c_str(),
                 known ? "" : ",\"note\":\"the event's start or duration is undefined: no coverage\"");
}

void JsonReport::OnPresentEvent(const Finding& f, const std::string& time) {
    const char* file = m_file.c_str();
    const std::string start = FormatTime(f.start, f.hasStart, TimeStyle::kJson);
    const std::string duration = f.duration >= 0 ? std::to_string(f.duration) : "null";
    std::fprintf(m_out,
                 "{\"type\":\"event\",%s\"service_id\":%d,\"event_id\":%d,\"name\":%s,\"start_time\":%s,"
                 "\"duration\":%s,\"offset\":%" PRId64 "%s}\n",
                 file, f.serviceId, f.eventId, Quote(m_conv.Convert(f.name)).c_str(), start.c_str(),
                 duration.c_str(), f.offset, time.c_str());
}

void JsonReport::On(const Finding& f) {
    const char* file = m_file.c_str();
    // "time" of a finding: the last TOT's, or null before the first.
    // "at" and "elapsed" of the finding from the PCR, then "time", the
    // last TOT's.
    const std::string time = ",\"at\":" + FormatMilliseconds(f.at, f.hasAt) + ",\"elapsed\":" +
                             FormatTicks(f.elapsed, f.hasElapsed) + ",\"time\":" +
                             FormatTime(f.time, f.hasTime, TimeStyle::kJson);
    switch (f.kind) {
        case Finding::Kind::kPacketSize:
            std::fprintf(m_out, "{\"type\":\"packet_size\",%s\"size\":%d,\"offset\":%" PRId64 "%s}\n", file,
                         static_cast<int>(f.count), f.offset, Placed(f).c_str());
            break;
        case Finding::Kind::kSyncError:
            std::fprintf(m_out, "{\"type\":\"sync_error\",%s\"offset\":%" PRId64 "%s}\n", file, f.offset,
                         time.c_str());
            break;
        case Finding::Kind::kContinuityError:
            std::fprintf(m_out,
                         "{\"type\":\"continuity_error\",%s\"pid\":%d,\"last\":%d,\"counter\":%d,\"offset\":%" PRId64
                         ",\"lost\":%d,\"duplicate\":%s%s}\n",
                         file, f.pid, f.last, f.counter, f.offset, f.lost, f.duplicate ? "true" : "false", time.c_str());
            break;
        case Finding::Kind::kPesLoss:
            std::fprintf(m_out,
                         "{\"type\":\"pes_loss\",%s\"pid\":%d,\"lost\":%d,\"reason\":\"%s\",\"offset\":%" PRId64 "%s}\n",
                         file, f.pid, f.lost, f.pesReason == PesLossReason::kPtsStep ? "pts_step" : "pes_length",
                         f.offset, time.c_str());
            break;
        case Finding::Kind::kPtsGap:
            break;  // PCR timing of the PTS, for the indicators: no line of its own
        case Finding::Kind::kTot:
            std::fprintf(m_out, "{\"type\":\"tot\",%s\"time\":%s,\"offset\":%" PRId64 "%s}\n", file,
                         FormatTime(f.time, f.hasTime, TimeStyle::kJson).c_str(), f.offset, Placed(f).c_str());
            std::fflush(m_out);
            break;
        case Finding::Kind::kScrambled:
            std::fprintf(m_out, "{\"type\":\"scrambled\",%s\"pid\":%d,\"packets\":%" PRId64 "%s}\n", file,
                         f.pid, f.count, time.c_str());
            break;
        case Finding::Kind::kTransportErrors:
            std::fprintf(m_out, "{\"type\":\"transport_errors\",%s\"packets\":%" PRId64 "%s}\n", file,
                         f.count, time.c_str());
            break;
        case Finding::Kind::kGap:
            OnGap(f);
            break;
        case Finding::Kind::kDamage:
            OnDamage(f);
            break;
        case Finding::Kind::kScrambledRange:
        case Finding::Kind::kTransportErrorRange:
            OnPacketRange(f);
            break;
        case Finding::Kind::kProgramme:
            OnProgramme(f);
            break;
        case Finding::Kind::kPresentEvent:
            OnPresentEvent(f, time);
            break;
        case Finding::Kind::kIndicator:
            OnIndicator(f);
            break;
    }
}

void JsonReport::Finish(const CheckStats& stats) {
    uint64_t packets = 0;
    for (const auto& p : stats.pids) packets += p.packets;
    // Why an unreadable input could not be read, when the system said.
    const std::string error =
        stats.unreadable && stats.errorNumber != 0 ? "\"error\":" + Quote(ErrorText(stats.errorNumber)) + "," : "";
    std::fprintf(m_out,
                 "{\"type\":\"summary\",%s\"bytes\":%" PRId64 ",\"packets\":%" PRIu64
                 ",\"packet_size\":%s,\"sync_errors\":%" PRIu64 ",\"first_tot\":%s,\"last_tot\":%s,\"elapsed\":%s,"
                 "\"gaps\":%" PRIu64 ",\"pids\":[",
                 (m_file + error).c_str(), stats.bytes, packets,
                 stats.packetSize ? std::to_string(stats.packetSize).c_str() : "null", stats.syncErrors,
                 FormatTime(stats.firstTot, stats.firstTotValid, TimeStyle::kJson).c_str(),
                 FormatTime(stats.lastTot, stats.lastTotValid, TimeStyle::kJson).c_str(),
                 FormatTicks(stats.elapsed, stats.hasElapsed).c_str(), stats.gaps);
    const char* sep = "";
    for (int pid = 0; pid < kPidCount; ++pid) {
        const PidCounts& c = stats.pids[static_cast<size_t>(pid)];
        if (c.packets == 0) continue;
        std::string ids;
        if (stats.roles) {
            for (const int id : stats.roles->ServiceIds(pid)) ids += (ids.empty() ? "" : ",") + std::to_string(id);
        }
        const std::string role = stats.roles ? stats.roles->Role(pid) : "unknown";
        std::fprintf(m_out,
                     "%s{\"pid\":%d,\"role\":%s,\"class\":\"%s\",\"service_ids\":[%s],\"packets\":%" PRIu64
                     ",\"continuity_errors\":%" PRIu64 ",\"transport_errors\":%" PRIu64 ",\"scrambled\":%" PRIu64
                     ",\"lost\":%" PRIu64 ",\"duplicates\":%" PRIu64 ",\"discontinuities\":%" PRIu64 ",\"crc_errors\":%" PRIu64
                     ",\"descriptor_errors\":%" PRIu64 "}",
                     sep, pid, Quote(role).c_str(), ClassName(stats.roles, pid), ids.c_str(),
                     c.packets, c.continuityErrors, c.transportErrors, c.scrambled, c.lost, c.duplicates,
                     c.discontinuities, c.crcErrors, c.descriptorErrors);
        sep = ",";
    }
    std::fputs("],\"services\":[", m_out);
    sep = "";
    if (stats.roles) {
        for (const auto& s : stats.roles->ServiceNames(stats.tots > 0, m_conv)) {
            std::string verdict = "null";
            for (const auto& sv : stats.serviceVerdicts) {
                if (sv.serviceId == s.serviceId && sv.judged) verdict = VerdictObject(sv.verdict, false);
            }
            std::fprintf(m_out, "%s{\"service_id\":%d,\"name\":%s,\"verdict\":%s}", sep, s.serviceId,
                         Quote(s.name).c_str(), verdict.c_str());
            sep = ",";
        }
    }
    std::fprintf(m_out, "],\"indicators\":%s,\"verdict\":%s}\n", IndicatorsObject(stats).c_str(),
                 VerdictObject(stats.verdict, true).c_str());
    std::fflush(m_out);
}

}  // namespace tsvigil
