// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/ByteReader.h"
#include "base/Object.h"

namespace tsvigil {

// The fixed header of a section in the long form (section_syntax_indicator
// 1, ISO/IEC 13818-1 2.4.4): what PAT, CAT, PMT and SDT have in common.
struct LongHeader {
    int table_id = 0;
    int table_id_extension = 0;  // transport_stream_id, program_number, service_id...
    int version_number = 0;
    int current_next_indicator = 0;
    int section_number = 0;
    int last_section_number = 0;
};

// A table parsed from one verified section: Parse() takes the section's
// bytes, from its table_id to the end of its CRC_32, and fills the members.
// Tables assemble nothing; the table dispatcher hands whole sections to
// the handlers that hold them.
class Table : public Object {
public:
    virtual void Parse(const uint8_t* section, int length) = 0;
    // Descriptors of the section last parsed that were cut short by their
    // loop's end or whose fields ran past their descriptor_length; set by
    // Parse().
    int descriptorErrors = 0;

    // Reads the long-form header of section into h and returns a reader
    // over the bytes after it, up to the CRC_32; false when the section does
    // not hold the header and minBody bytes after it.
    static bool ReadLongHeader(const uint8_t* section, int length, LongHeader& h, ByteReader& body,
                               int minBody = 0);
};

// A PSI table in the long form whose members reflect its last current
// section (current_next_indicator 1) of one table_id: the PAT, CAT, PMT and
// SDT actual. Parse() checks the header once for all of them and leaves the
// body to ParseBody().
class LongFormTable : public Table {
public:
    // Whether the section last parsed was a current section of the table's
    // table_id and is now reflected in the members.
    bool accepted = false;

    void Parse(const uint8_t* section, int length) final;

protected:
    // minBody: the fixed bytes after the long-form header that the body
    // needs before its loops.
    LongFormTable(int tableId, int minBody) : m_tableId(tableId), m_minBody(minBody) {}
    // Reads the body of a current section of the table_id; body spans the
    // bytes after the header up to the CRC_32.
    virtual void ParseBody(const LongHeader& h, ByteReader& body) = 0;

private:
    int m_tableId;
    int m_minBody;
};

// Entries a table keeps over all its sections (the PAT's programs, the SDT's
// services), each knowing its section_number: a new version_number or
// table_id_extension starts the list afresh; otherwise the section in hand
// replaces the entries of its own section_number and drops those of
// sections past its last_section_number.
template <class T>
void PrepareSectionEntries(std::vector<std::unique_ptr<T>>& entries, const LongHeader& h, int& version_number,
                           int& table_id_extension) {
    if (h.version_number != version_number || h.table_id_extension != table_id_extension) entries.clear();
    version_number = h.version_number;
    table_id_extension = h.table_id_extension;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const std::unique_ptr<T>& e) {
                                     return e->section_number == h.section_number ||
                                            e->section_number > h.last_section_number;
                                 }),
                  entries.end());
}

}  // namespace tsvigil
