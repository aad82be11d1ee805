// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include "descriptors/Descriptor.h"
#include "si/Table.h"

// The Conditional Access Table (ISO/IEC 13818-1 2.4.4.6) on PID 0x0001: its
// CA descriptors name the PIDs of the EMMs. The members hold the last
// current section.
class CCAT : public CLongFormTable {
public:
    static constexpr int kPid = 0x0001;
    static constexpr int kTableId = 0x01;

    int version_number = -1;
    CDescriptorList m_descriptors;

    CCAT() : CLongFormTable(kTableId, 0) {}

protected:
    void ParseBody(const CLongHeader& h, CByteReader& r) override;
};
