// SPDX-License-Identifier: BSD-2-Clause
#include "si/Table.h"

bool CTable::ReadLongHeader(const uint8_t* section, int length, CLongHeader& h, CByteReader& body,
                            int minBody) {
    // The bytes before the CRC_32.
    const int size = length - 4;
    if (size < 8 + minBody) return false;
    CByteReader r(section, static_cast<size_t>(size));
    h.table_id = r.U8();
    r.Skip(2);  // section_syntax_indicator and section_length
    h.table_id_extension = r.U16();
    const int flags = r.U8();
    h.version_number = (flags >> 1) & 0x1F;
    h.current_next_indicator = flags & 0x01;
    h.section_number = r.U8();
    h.last_section_number = r.U8();
    body = r.Sub(static_cast<int>(r.Remaining()));
    return true;
}

void CLongFormTable::Parse(const uint8_t* section, int length) {
    m_bAccepted = false;
    descriptorErrors = 0;
    CLongHeader h;
    CByteReader r;
    // A section with current_next_indicator 0 describes a table not yet valid.
    if (!ReadLongHeader(section, length, h, r, m_nMinBody) || h.table_id != m_nTableId || !h.current_next_indicator)
        return;
    ParseBody(h, r);
    m_bAccepted = true;
}
