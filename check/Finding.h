// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/TimeValue.h"
#include "check/PesTiming.h"

namespace tsvigil {

// One thing a check found in the stream, as a value handed to every output.
// Offsets are byte offsets in the input: of the packet (of its prefix for a
// 192-byte packet); for lost sync, of the first byte skipped; for a TOT or
// an event, of the packet that completed its section.
struct Finding {
    enum class Kind {
        kPacketSize,       // count: the packet size, first seen or changed
        kSyncError,        // bytes were skipped to find the next packet
        kContinuityError,  // pid, last, counter
        kTot,              // a TOT passed its CRC_32; time is its own JST_time
        kScrambled,        // pid, count: scrambled packets since the last TOT
        kTransportErrors,  // count: packets with transport_error_indicator since the last TOT
        kPresentEvent,     // serviceId, eventId, name, start, duration: the present programme changed
        // A stretch of stream missing (the clock jumped by more than a
        // second), or a clock reset: elapsed and at are where it starts,
        // toElapsed and toAt where it ends.
        kGap,
        // A range of damage to picture and sound: losses and transport
        // errors on av PIDs and lost sync inside the file, merged while
        // each comes within a second of the one before. elapsed/at and
        // toElapsed/toAt bound it, offset and toOffset too.
        kDamage,
        // A programme the recording overlaps (EIT present/following of a
        // service with picture or sound), written at the end: serviceId,
        // eventId, name, start, duration; at and toAt the stretch recorded,
        // and what is missing of it.
        kProgramme,
        // A range of scrambled packets (transport_scrambling_control not
        // 00), or of packets with transport_error_indicator, on any PID,
        // merged while each comes within a second of the one before:
        // elapsed/at and toElapsed/toAt bound it, offset and toOffset too;
        // count is its packets and pidPackets tells them per PID.
        kScrambledRange,
        kTransportErrorRange,
        // An occurrence of an ETSI TR 101 290 indicator (indicator,
        // priority) on pid: count occurrences merged while each came
        // within a second of the one before; elapsed/at and toElapsed/toAt
        // bound them, offset and toOffset too.
        kIndicator,
        // Sound lost behind a clean continuity_counter, told by the PES of
        // an audio PID: pid, lost (beyond what the counter showed there),
        // pesReason.
        kPesLoss,
        // More than 700 ms of PCR time between two PTS of a video or audio
        // PID: offset and toOffset the packets of the two PTS, gapTicks the
        // PCR time between them; timed at the second.
        kPtsGap,
    };

    // For the packet ranges: one PID's packets in the range, and for a
    // scrambled range those before the PID's first clear packet; offset and
    // toOffset are its first and last packet's.
    struct PidPackets {
        int pid = -1;
        bool av = false;  // the PID carries picture or sound, as known when the range closed
        uint64_t packets = 0;
        uint64_t atStart = 0;
        int64_t offset = -1;
        int64_t toOffset = -1;
    };

    Kind kind = Kind::kPacketSize;
    int pid = -1;
    int last = -1;     // the continuity_counter of the PID's packet before
    int counter = -1;  // the continuity_counter of this packet
    // For a continuity error: the packets lost before this one (a lower
    // bound: whole cycles of 16 cannot be seen), or a duplicate, which
    // ISO/IEC 13818-1 allows once and which loses nothing.
    int lost = 0;
    bool duplicate = false;
    PesLossReason pesReason = PesLossReason::kPtsStep;  // for kPesLoss
    int64_t count = 0;
    int64_t offset = -1;  // -1 where the finding has no place of its own (counts)
    int64_t timedAt = -1;  // the offset its time is taken at
    // The time of the last verified TOT before the finding (for kTot, its
    // own); hasTime is false before the first TOT or when that TOT's
    // JST_time is no valid date.
    bool hasTime = false;
    TimeValue time;
    int serviceId = 0;
    int eventId = 0;
    bool hasStart = false;  // the event's start_time, undefined when false
    TimeValue start;
    int64_t duration = -1;  // the event's duration in seconds, -1 when undefined
    std::string name;       // the event's name in Shift_JIS, symbols labelled

    // Times from the PCR: ticks of 27 MHz since the first PCR in the file on
    // the PCR_PID (hasElapsed false until two PCRs gave a rate, or without a
    // PCR), and
    // the broadcast time in milliseconds since 1970 in JST (hasAt false
    // before the first TOT fixed the clock's offset, or after a clock reset
    // until the next TOT). Without a PCR, at is the last TOT's time.
    bool hasElapsed = false;
    int64_t elapsed = 0;
    bool hasAt = false;
    int64_t at = 0;
    // For kGap: where it ends, how long it is (gapTicks, -1 for a clock
    // reset), and how it came.
    bool hasToElapsed = false;
    int64_t toElapsed = 0;
    bool hasToAt = false;
    int64_t toAt = 0;
    int64_t gapTicks = -1;
    // For kDamage: the packets lost and with errors, and the PIDs. For
    // kProgramme: what the service's picture and sound suffered within the
    // programme's window, scrambled packets counted as the verdict counts
    // them, and how many ranges of damage touched it.
    int64_t toOffset = -1;
    uint64_t avLost = 0;
    uint64_t avErrors = 0;
    uint64_t avScrambled = 0;
    uint64_t damageRanges = 0;
    std::vector<int> pids;
    std::vector<PidPackets> pidPackets;  // for the packet ranges, by PID ascending
    // For kDamage that began before the clock could time it (elapsed, or at
    // without a PCR, unknown at its start): the first time the check could
    // give one of its events, where a page or a summary may draw it from.
    bool hasKnownElapsed = false;
    int64_t knownElapsed = 0;
    bool hasKnownAt = false;
    int64_t knownAt = 0;
    bool atEnd = false;     // for kSyncError: bytes skipped at the end of the input
    // For kProgramme, in milliseconds; coverage from 0 to 1, or below 0 when
    // the event's start or duration is undefined (then nothing is known).
    int64_t missingStart = 0;
    int64_t missingEnd = 0;
    int64_t missingInside = 0;
    double coverage = -1;
    bool recorded = false;  // the service's programme with the largest overlap
    const char* indicator = nullptr;  // for kIndicator: its name ("PAT_error", ...)
    int priority = 0;                 // and its priority, 1 or 2
    bool reset = false;     // the clock went backwards, undeclared
    bool declared = false;  // a discontinuity_indicator declared the new time base
};

}  // namespace tsvigil
