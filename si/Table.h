#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "base/ByteReader.h"
#include "si/Section.h"

// A table that can parse the verified section in its buffer, react to its
// completion, and save or restore that section as a raw record:
//   offset 0  marker, 4 bytes (0: a section follows)
//   offset 4  PID, 4 bytes
//   offset 8  size n of the section (section_length + 3), 4 bytes
//   offset 12 the n section bytes, table_id first, CRC_32 included
// every 32-bit value little-endian.
// The fixed header of a section in the long form (section_syntax_indicator
// 1, ISO/IEC 13818-1 2.4.4): what PAT, CAT, PMT and SDT have in common.
struct CLongHeader {
    int table_id = 0;
    int table_id_extension = 0;  // transport_stream_id, program_number, service_id...
    int version_number = 0;
    int current_next_indicator = 0;
    int section_number = 0;
    int last_section_number = 0;
};

class CTable : public CSection {
public:
    // Reads the long-form header of the section in the buffer into h and
    // returns a reader over the bytes after it, up to the CRC_32; false when
    // the section does not hold the header and minBody bytes after it.
    bool ReadLongHeader(CLongHeader& h, CByteReader& body, int minBody = 0) const;

    virtual void Parse() = 0;
    // Whether the verified section in the buffer is worth parsing: false
    // only where OnComplete() will use nothing Parse() would build, so the
    // dispatcher may pass the section to OnComplete() unparsed.
    virtual bool NeedsParse() const { return true; }
    // Whether a section identical to the last one verified (the same
    // CRC_32) may pass unparsed: true for tables whose parse only restates
    // what the repeat already said (PSI repeated ten times a second).
    virtual bool SkipsRepeats() const { return false; }
    uint32_t m_nLastCrc = 0;
    bool m_bHaveLastCrc = false;
    virtual void OnComplete(int64_t packetCount) { (void)packetCount; }
    virtual bool Save(std::FILE* fp);
    // Reads one record; a record that holds no section changes nothing. A
    // section larger than the buffer is refused (false, buffer untouched).
    virtual bool Load(std::FILE* fp);
};

// Entries a table keeps over all its sections (the PAT's programs, the SDT's
// services), each knowing its section_number: a new version_number or
// table_id_extension starts the list afresh; otherwise the section in hand
// replaces the entries of its own section_number and drops those of
// sections past its last_section_number.
template <class T>
void PrepareSectionEntries(std::vector<std::unique_ptr<T>>& entries, const CLongHeader& h, int& version_number,
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
