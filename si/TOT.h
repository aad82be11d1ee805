// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include "base/TimeValue.h"
#include "descriptors/Descriptor.h"
#include "si/Table.h"

// The Time Offset Table (ARIB STD-B10) on PID 0x0014: the broadcast's own
// clock, JST_time as MJD and BCD, and the descriptors of the last TOT.
class CTOT : public CTable {
public:
    static constexpr int kPid = 0x0014;
    static constexpr int kTableId = 0x73;

    CDescriptorList m_descriptors;

    CTOT() { m_nPid = kPid; }
    ~CTOT() override { ClearDescriptorList(m_descriptors); }

    // Only a TOT section is parsed; a TDT has no descriptors, and other
    // table_ids on this PID are not the TOT.
    bool NeedsParse() const override { return m_buffer[0] == kTableId; }
    void Parse() override;
    // The JST_time of the section now in the buffer (a TDT's sits at the same
    // offsets). False when its fields cannot become a time value.
    bool GetTime(CTimeValue& t) const;
};
