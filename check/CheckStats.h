// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/TSPacket.h"

#include "base/TimeValue.h"
#include "check/Verdict.h"

namespace tsvigil {

class PidRoles;

// What a check counts per PID, for every run: one increment per packet is
// cheaper than a test of whether anyone wants it.
struct PidCounts {
    uint64_t packets = 0;
    uint64_t continuityErrors = 0;  // the report's lines
    uint64_t transportErrors = 0;
    uint64_t scrambled = 0;
    uint64_t lost = 0;             // packets lost, as the counters tell
    uint64_t duplicates = 0;
    uint64_t discontinuities = 0;  // counter breaks a discontinuity_indicator excused
    // Scrambled packets before the PID's first clear one: how a recording
    // starts when the descrambler locks a moment after it.
    uint64_t scrambledAtStart = 0;
    // Sections the check verified that failed their CRC_32 (those of the
    // tables it reads: TOT, present/following EIT, and the PSI and SDT when
    // an output shows roles).
    uint64_t crcErrors = 0;
    // Descriptors of the sections the check parsed that were cut short by
    // their loop's end or whose fields ran past their descriptor_length.
    uint64_t descriptorErrors = 0;
};

// The ETSI TR 101 290 indicators' occurrences of one priority on one PID.
struct IndicatorCount {
    int priority = 0;
    int pid = 0;
    uint64_t count = 0;
};

// What a finished check hands its outputs besides the findings.
struct CheckStats {
    std::vector<PidCounts> pids = std::vector<PidCounts>(kPidCount);
    const char* file = nullptr;  // the input's name as given, or null
    int64_t bytes = 0;
    // Of them, the bytes of packets in runs of five or more at one packet
    // spacing, with no byte skipped between them.
    int64_t bytesInRuns = 0;
    int packetSize = 0;  // the size last announced, 0 before the first packet
    uint64_t syncErrors = 0;
    uint64_t syncErrorsInside = 0;  // of them, before the last packet
    bool unreadable = false;        // the input could not be opened or read to its end
    int errorNumber = 0;            // then the errno of the open or read that failed, when known
    // Gaps and clock resets the PCR showed: undeclared ones judge, declared
    // ones (discontinuity_indicator) do not.
    uint64_t gaps = 0;
    uint64_t declaredResets = 0;
    // Services whose recorded programme misses more than 2 s at its start
    // or end, or more than 1 s inside; counted only when whole programmes
    // are expected.
    uint64_t incompleteProgrammes = 0;
    std::vector<int> incompleteServices;  // the services of those programmes
    // The services to judge (--service), in the order given; empty: the
    // whole file.
    std::vector<int> selectedServices;
    bool hasElapsed = false;  // elapsed: 27 MHz ticks from the first PCR to the last packet
    int64_t elapsed = 0;
    // The TOTs that passed their CRC_32; a time is valid only when its
    // JST_time was a date.
    int64_t tots = 0;
    bool firstTotValid = false;
    TimeValue firstTot;
    bool lastTotValid = false;
    TimeValue lastTot;
    // What each PID carries, as the PSI/SI said by the end; null unless an
    // output asked for roles.
    const PidRoles* roles = nullptr;
    // The ETSI TR 101 290 indicators, followed with the roles: whether the
    // PCR timed them, and if not why ("no PCR"): then only CRC_error and the
    // scrambled PAT and PMT were counted.
    bool indicatorsFollowed = false;
    bool indicatorsTimed = false;
    std::string indicatorsUntimed;
    std::vector<IndicatorCount> indicatorCounts;
    Verdict verdict;
    // Each service of the PAT and the SDT actual, ascending, with its
    // verdict alone (JudgeServices); judged is false for a service without
    // picture or sound. Filled when roles are followed.
    struct ServiceVerdict {
        int serviceId = 0;
        bool judged = false;
        Verdict verdict;
    };
    std::vector<ServiceVerdict> serviceVerdicts;
};

}  // namespace tsvigil
