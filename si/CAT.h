// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include "descriptors/Descriptor.h"
#include "si/Table.h"

namespace tsvigil {

// The Conditional Access Table (ISO/IEC 13818-1 2.4.4.6) on PID 0x0001: its
// CA descriptors name the PIDs of the EMMs. The members hold the last
// current section.
class CAT : public LongFormTable {
public:
    static constexpr int kPid = 0x0001;
    static constexpr int kTableId = 0x01;

    int version_number = -1;
    DescriptorList descriptors;

    CAT() : LongFormTable(kTableId, 0) {}

protected:
    void ParseBody(const LongHeader& h, ByteReader& r) override;
};

}  // namespace tsvigil
