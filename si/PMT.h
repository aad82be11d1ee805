// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <memory>
#include <vector>

#include "base/TSPacket.h"
#include "descriptors/Descriptor.h"
#include "si/Table.h"

namespace tsvigil {

// One elementary stream of a PMT section and its ES_info descriptors.
class PMTStream : public Object {
public:
    int stream_type = 0;
    int elementary_PID = 0;
    int ES_info_length = 0;
    DescriptorList descriptors;
};

// The Program Map Table (ISO/IEC 13818-1 2.4.4.8) on one program_map_PID,
// as the PAT names it. The members hold the last current section of
// table_id 0x02 on that PID; several programs may share the PID, so
// program_number tells which one it was.
class PMT : public LongFormTable {
public:
    static constexpr int kTableId = 0x02;

    int program_number = -1;
    int version_number = -1;
    int PCR_PID = kNullPid;
    int program_info_length = 0;
    DescriptorList descriptors;
    std::vector<std::unique_ptr<PMTStream>> streams;

    // The header, then PCR_PID and program_info_length.
    PMT() : LongFormTable(kTableId, 4) {}

protected:
    void ParseBody(const LongHeader& h, ByteReader& r) override;
};

}  // namespace tsvigil
