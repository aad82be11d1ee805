// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>

#include "check/Finding.h"

namespace tsvigil {

// Merges what damages picture and sound (a loss or a transport error on an
// av PID, lost sync inside the file) into ranges: a range goes on while
// each event comes within a second of the one before, by the PCR's elapsed
// time; without a PCR, by the TOT's time, and without either, while the
// events lie within 2 MiB of each other.
class DamageRanges {
public:
    static constexpr int64_t kMergeTicks = 27000000;  // one second at 27 MHz

    // e is a timed finding of one event: kContinuityError or kPesLoss (lost packets)
    // or kSyncError. Returns true when it closed the range in hand and that
    // range damaged something; it is then in closed (a kDamage finding).
    bool Add(const Finding& e, Finding& closed);
    // The same for a packet of picture or sound with
    // transport_error_indicator, timed and placed as at says.
    bool AddTransportError(const Finding& at, Finding& closed);
    // True when the range in hand is over by now (a PCR's elapsed ticks).
    bool OverBy(int64_t now) const { return m_open && m_range.hasToElapsed && now - m_range.toElapsed > kMergeTicks; }
    // Takes the range in hand: true when there was one with a packet lost or
    // with an error (lost sync alone makes no range).
    bool Take(Finding& closed);
    // Whether e comes within the merge distance of the end of range: by
    // elapsed, else by broadcast time, else by offset.
    static bool Near(const Finding& range, const Finding& e);
    // A range of kind that begins where e lies: its time, place and offset.
    static Finding Open(Finding::Kind kind, const Finding& e);

private:
    // Extends the range in hand to e, or closes it and opens another.
    bool Extend(const Finding& e, Finding& closed);

    bool m_open = false;
    Finding m_range;
};

}  // namespace tsvigil
