// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <memory>
#include <vector>

#include "si/Table.h"

namespace tsvigil {

// One program_number -> PID pair of the PAT, with the section that listed it.
class PATProgram : public Object {
public:
    PATProgram(int number, int pid, int section)
        : program_number(number), PID(pid), section_number(section) {}
    int program_number = 0;
    int PID = 0;  // network_PID for program_number 0, program_map_PID otherwise
    int section_number = 0;
};

// The Program Association Table (ISO/IEC 13818-1 2.4.4.3) on PID 0x0000.
// programs holds the programs of every section of the current version:
// a section replaces the entries of its section_number, a new
// version_number or transport_stream_id starts the list afresh.
class PAT : public LongFormTable {
public:
    static constexpr int kPid = 0x0000;
    static constexpr int kTableId = 0x00;
    // One full-size section lists about a thousand programs; more than this
    // over all sections is not kept.
    static constexpr int kMaxPrograms = 1024;

    int transport_stream_id = -1;
    int version_number = -1;
    std::vector<std::unique_ptr<PATProgram>> programs;

    PAT() : LongFormTable(kTableId, 0) {}

    // True when the PAT maps program_number to pid.
    bool Lists(int program_number, int pid) const;

protected:
    void ParseBody(const LongHeader& h, ByteReader& r) override;
};

}  // namespace tsvigil
