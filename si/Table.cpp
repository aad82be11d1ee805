// SPDX-License-Identifier: BSD-2-Clause
#include "si/Table.h"

namespace tsvigil {

bool Table::ReadLongHeader(const uint8_t* section, int length, LongHeader& h, ByteReader& body,
                            int minBody) {
    // The bytes before the CRC_32.
    const int size = length - 4;
    if (size < 8 + minBody) return false;
    ByteReader r(section, static_cast<size_t>(size));
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

void LongFormTable::Parse(const uint8_t* section, int length) {
    accepted = false;
    descriptorErrors = 0;
    LongHeader h;
    ByteReader r;
    // A section with current_next_indicator 0 describes a table not yet valid.
    if (!ReadLongHeader(section, length, h, r, m_minBody) || h.table_id != m_tableId || !h.current_next_indicator)
        return;
    ParseBody(h, r);
    accepted = true;
}

}  // namespace tsvigil
