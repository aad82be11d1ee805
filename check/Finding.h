// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <string>

#include "base/TimeValue.h"

class CEITEvent;

// One thing a check found in the stream, as a value handed to every output.
// Offsets are byte offsets in the input: of the packet (of its prefix for a
// 192-byte packet); for lost sync, of the first byte skipped; for a TOT or
// an event, of the packet that completed its section.
struct CFinding {
    enum Kind {
        kPacketSize,       // count: the packet size, first seen or changed
        kSyncError,        // bytes were skipped to find the next packet
        kContinuityError,  // pid, last, counter
        kTot,              // a TOT passed its CRC_32; time is its own JST_time
        kScrambled,        // pid, count: scrambled packets since the last TOT
        kTransportErrors,  // count: packets with transport_error_indicator since the last TOT
        kPresentEvent,     // serviceId, event, name: the present programme changed
    };

    Kind kind = kPacketSize;
    int pid = -1;
    int last = -1;     // the continuity_counter of the PID's packet before
    int counter = -1;  // the continuity_counter of this packet
    // For a continuity error: the packets lost before this one (a lower
    // bound: whole cycles of 16 cannot be seen), or a duplicate, which
    // ISO/IEC 13818-1 allows once and which loses nothing.
    int lost = 0;
    bool duplicate = false;
    int64_t count = 0;
    int64_t offset = -1;  // -1 where the finding has no place of its own (counts)
    // The time of the last verified TOT before the finding (for kTot, its
    // own); hasTime is false before the first TOT or when that TOT's
    // JST_time is no valid date.
    bool hasTime = false;
    CTimeValue time;
    int serviceId = 0;
    int eventId = 0;
    // The present event; valid only while the finding is handed out.
    const CEITEvent* event = nullptr;
    std::string name;  // the event's name in Shift_JIS, symbols labelled
};
