// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "si/Table.h"

namespace tsvigil {

// One service of the SDT: what its service descriptor says, and the
// section that described it.
class SDTService : public Object {
public:
    int service_id = 0;
    int section_number = 0;
    int service_type = 0;  // 0 without a service descriptor
    std::string service_provider_name;  // Shift_JIS
    std::string service_name;           // Shift_JIS
    std::string service_name_bytes;     // as sent, undecoded
};

// The Service Description Table for the actual stream (ARIB STD-B10,
// table_id 0x42) on PID 0x0011; the SDT of other streams (0x46) and the BAT
// (0x4A) share the PID and are passed over. services holds the services
// of every section of the current version: a section replaces the services
// of its section_number, a new version_number or transport_stream_id starts
// the list afresh.
class SDT : public LongFormTable {
public:
    static constexpr int kPid = 0x0011;
    static constexpr int kTableId = 0x42;
    // More services than this over all sections are not kept.
    static constexpr int kMaxServices = 1024;

    int transport_stream_id = -1;
    int original_network_id = -1;
    int version_number = -1;
    std::vector<std::unique_ptr<SDTService>> services;
    // Whether a service's descriptor loop held a descriptor of the tags
    // ARIB STD-B10 assigns (0xC0 and up), in any section parsed so far.
    bool aribDescriptors = false;

    // The header, then original_network_id and a reserved byte.
    SDT() : LongFormTable(kTableId, 3) {}

protected:
    void ParseBody(const LongHeader& h, ByteReader& r) override;
};

}  // namespace tsvigil
