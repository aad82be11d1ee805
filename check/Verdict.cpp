// SPDX-License-Identifier: BSD-2-Clause
#include "check/Verdict.h"

#include <cinttypes>
#include <cstdio>

#include "check/CheckStats.h"
#include "check/PidRoles.h"

namespace tsvigil {

bool IsPictureOrSound(const PidRoles* roles, int pid) {
    if (roles) return roles->IsPictureOrSound(pid);
    // Without the tables every PID is unnamed: above the SI range it may be
    // picture or sound, and the null packets are nothing.
    return pid > kLastSiPid && pid != kNullPid;
}

std::string RoleWithServices(const PidRoles* roles, int pid) {
    if (!roles) return "unknown";
    std::string role = roles->Role(pid);
    const auto ids = roles->ServiceIds(pid);
    for (size_t i = 0; i < ids.size(); ++i) role += (i == 0 ? " (service " : ", ") + std::to_string(ids[i]);
    if (!ids.empty()) role += ")";
    return role;
}

std::vector<const char*> Verdict::Words() const {
    std::vector<const char*> words;
    if (unreadable) words.push_back("unreadable");
    if (unrecognised) words.push_back("unrecognised");
    if (absent) words.push_back("absent");
    if (empty) words.push_back("empty");
    if (damaged) words.push_back("damaged");
    if (scrambled) words.push_back("scrambled");
    if (gap) words.push_back("gap");
    if (incomplete) words.push_back("incomplete");
    if (words.empty()) words.push_back("ok");
    return words;
}

std::string Verdict::Line() const {
    std::string line;
    for (const char* w : Words()) line += (line.empty() ? "" : ", ") + std::string(w);
    char figures[400];
    std::snprintf(figures, sizeof figures,
                  " (av lost %" PRIu64 ", av errors %" PRIu64 ", av scrambled %" PRIu64 ", sync %" PRIu64
                  "; other lost %" PRIu64 ", duplicates %" PRIu64 ", scrambled at start %" PRIu64 ", gaps %" PRIu64,
                  avLost, avErrors, avScrambled, sync, otherLost, duplicates, scrambledAtStart, gaps);
    line += figures;
    if (programme) {
        std::snprintf(figures, sizeof figures,
                      "; margins av lost %" PRIu64 ", av errors %" PRIu64 ", av scrambled %" PRIu64 ", sync %" PRIu64,
                      margins.avLost, margins.avErrors, margins.avScrambled, margins.sync);
        line += figures;
    }
    std::snprintf(figures, sizeof figures, "; indicators p1 %" PRIu64 ", p2 %" PRIu64 ")", indicatorsP1, indicatorsP2);
    return line + figures;
}

void Verdict::Settle(uint64_t tolerate) {
    damaged = avLost > tolerate || avErrors > 0 || sync > 0;
    scrambled = avScrambled > 0;
    gap = gaps > 0;
    // What chance packets show is no damage to a stream: the verdict says
    // only that there is none.
    if (unrecognised) damaged = scrambled = gap = incomplete = false;
}

Verdict Judge(const CheckStats& stats, uint64_t tolerate) {
    return JudgeServices(stats, tolerate, stats.selectedServices);
}

Verdict JudgeServices(const CheckStats& stats, uint64_t tolerate, const std::vector<int>& services) {
    Verdict v;
    v.selected = !services.empty();
    // The picture and sound PIDs judged when services are chosen.
    std::vector<bool> judged;
    if (v.selected) {
        judged.assign(kPidCount, false);
        for (const int id : services) {
            if (!stats.roles || !stats.roles->Carries(id)) {
                v.absentServices.push_back(id);
                continue;
            }
            for (const int pid : stats.roles->PictureAndSoundPids(id)) judged[static_cast<size_t>(pid)] = true;
        }
    }
    uint64_t packets = 0;
    for (int pid = 0; pid < kPidCount; ++pid) {
        const PidCounts& c = stats.pids[static_cast<size_t>(pid)];
        if (c.packets == 0) continue;
        packets += c.packets;
        const bool neverClear = c.scrambled == c.packets;
        const uint64_t avScrambled = neverClear ? c.scrambled : c.scrambled - c.scrambledAtStart;
        const bool av = IsPictureOrSound(stats.roles, pid);
        if (av && v.selected && !judged[static_cast<size_t>(pid)]) {
            v.otherServicesAvLost += c.lost;
            v.otherServicesAvErrors += c.transportErrors;
            v.otherServicesAvScrambled += avScrambled;
            continue;
        }
        v.duplicates += c.duplicates;
        v.discontinuities += c.discontinuities;
        if (!neverClear) v.scrambledAtStart += c.scrambledAtStart;
        if (av) {
            v.avLost += c.lost;
            v.avErrors += c.transportErrors;
            v.avScrambled += avScrambled;
        } else {
            v.otherLost += c.lost;
        }
    }
    // Indicators on the picture and sound of services not chosen are theirs;
    // those of the PAT, PMTs and clock count for every service.
    for (const IndicatorCount& c : stats.indicatorCounts) {
        const bool av = c.pid >= 0 && c.pid < kPidCount && IsPictureOrSound(stats.roles, c.pid);
        if (av && v.selected && !judged[static_cast<size_t>(c.pid)]) continue;
        (c.priority == 1 ? v.indicatorsP1 : v.indicatorsP2) += c.count;
    }
    v.sync = stats.syncErrorsInside;
    v.unreadable = stats.unreadable;
    // Random bytes, a text or another container show a chance 0x47 now and
    // then, even a packet or two that look framed; a transport stream, even
    // a damaged one, lies mostly in long runs of packets. Below five
    // packets' worth of bytes the runs say nothing.
    const int64_t least = 5 * int64_t(stats.packetSize ? stats.packetSize : 188);
    v.unrecognised = !stats.unreadable && stats.bytes >= least && stats.bytesInRuns * 2 < stats.bytes;
    v.empty = !stats.unreadable && !v.unrecognised && packets == 0;
    v.gaps = stats.gaps;
    if (v.selected) {
        for (const int id : services) {
            for (const int incomplete : stats.incompleteServices) v.incomplete = v.incomplete || incomplete == id;
        }
    } else {
        v.incomplete = stats.incompleteProgrammes > 0;
    }
    // An input that could not be read, or is no stream, tells nothing of
    // what services it lacks.
    if (stats.unreadable || v.unrecognised) v.absentServices.clear();
    v.absent = !v.absentServices.empty();
    v.Settle(tolerate);
    return v;
}

}  // namespace tsvigil
