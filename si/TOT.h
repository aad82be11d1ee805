#pragma once

#include "descriptors/Descriptor.h"
#include "si/Table.h"
#include "si/TimeValue.h"

// The Time Offset Table (ARIB STD-B10) on PID 0x0014: the broadcast's own
// clock, JST_time as MJD and BCD, and the descriptors of the last TOT.
class CTOT : public CTable {
public:
    static constexpr int kPid = 0x0014;

    CDescriptorList m_descriptors;

    CTOT() { m_nPid = kPid; }
    ~CTOT() override { ClearDescriptorList(m_descriptors); }

    void Parse() override;
    // The JST_time of the section now in the buffer (a TDT's sits at the same
    // offsets). False when its fields cannot become a time value.
    bool GetTime(CTimeValue& t) const;
};
