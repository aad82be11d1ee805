// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include "base/TimeValue.h"
#include "descriptors/Descriptor.h"
#include "si/Table.h"

namespace tsvigil {

// The Time Offset Table (ARIB STD-B10) on PID 0x0014: the broadcast's own
// clock, JST_time as MJD and BCD, and the descriptors of the last TOT.
class TOT : public Table {
public:
    static constexpr int kPid = 0x0014;
    static constexpr int kTableId = 0x73;

    // JST_time of the last section parsed, TOT or TDT (a TDT's sits at the
    // same offsets); has_JST_time is false when its fields are no time.
    TimeValue JST_time;
    bool has_JST_time = false;
    DescriptorList descriptors;

    ~TOT() override { ClearDescriptorList(descriptors); }

    // Reads JST_time and, of a TOT section only, the descriptors: a TDT has
    // none, and other table_ids on this PID are not the TOT.
    void Parse(const uint8_t* section, int length) override;
    // Reads JST_time only; returns has_JST_time.
    bool ParseTime(const uint8_t* section, int length);
};

}  // namespace tsvigil
