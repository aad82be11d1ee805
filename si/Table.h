// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/ByteReader.h"
#include "si/Section.h"

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

// A table that can parse the verified section in its buffer and react to
// its completion. CTableDispatcher feeds it the packets of its PID.
class CTable : public CSection {
public:
    // Reads the long-form header of the section in the buffer into h and
    // returns a reader over the bytes after it, up to the CRC_32; false when
    // the section does not hold the header and minBody bytes after it.
    bool ReadLongHeader(CLongHeader& h, CByteReader& body, int minBody = 0) const;

    virtual void Parse() = 0;
    // Descriptors of the section last parsed that were cut short by their
    // loop's end or whose fields ran past their descriptor_length; set by
    // Parse().
    int descriptorErrors = 0;
    // Whether the verified section in the buffer is worth parsing: false
    // only where OnComplete() will use nothing Parse() would build, so the
    // dispatcher may pass the section to OnComplete() unparsed.
    virtual bool NeedsParse() const { return true; }
    // Whether the section now assembled in the buffer, not yet verified, is
    // one the table reads at all: a section it would only pass over is not
    // worth its CRC_32 (most of the EIT PID is schedules nobody reads).
    virtual bool WantsSection() const { return true; }
    // Whether a section identical to the last one verified (the same
    // CRC_32) may pass unparsed: true for tables whose parse only restates
    // what the repeat already said (PSI repeated ten times a second).
    virtual bool SkipsRepeats() const { return false; }
    uint32_t m_nLastCrc = 0;
    bool m_bHaveLastCrc = false;
    // Called for every verified section after Parse() (or in its place,
    // see NeedsParse()).
    virtual void OnComplete() {}
};

// A PSI table in the long form whose members reflect its last current
// section (current_next_indicator 1) of one table_id: the PAT, CAT, PMT and
// SDT actual. Parse() checks the header once for all of them and leaves the
// body to ParseBody().
class CLongFormTable : public CTable {
public:
    // Whether the section last parsed was a current section of the table's
    // table_id and is now reflected in the members.
    bool m_bAccepted = false;

    void Parse() final;

protected:
    // minBody: the fixed bytes after the long-form header that the body
    // needs before its loops.
    CLongFormTable(int pid, int tableId, int minBody) : m_nTableId(tableId), m_nMinBody(minBody) { m_nPid = pid; }
    // Reads the body of a current section of the table_id; body spans the
    // bytes after the header up to the CRC_32.
    virtual void ParseBody(const CLongHeader& h, CByteReader& body) = 0;

private:
    int m_nTableId;
    int m_nMinBody;
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
