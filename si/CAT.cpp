#include "si/CAT.h"

#include "text/ARIBStringDecoder.h"

void CCAT::Parse() {
    m_bAccepted = false;
    // The bytes before the CRC_32; the 8-byte header must fit in them.
    const int size = SectionLength() + 3 - 4;
    if (size < 8) return;
    CByteReader r(m_buffer, static_cast<size_t>(size));
    const int table_id = r.U8();
    r.Skip(2);
    r.Skip(2);  // reserved
    const int flags = r.U8();
    r.Skip(2);  // section_number, last_section_number
    if (table_id != kTableId || (flags & 0x01) == 0) return;

    version_number = (flags >> 1) & 0x1F;
    m_descriptors.clear();
    CARIBStringDecoder dec;
    // The descriptors run to the CRC_32.
    ParseWholeDescriptors(m_descriptors, r.Sub(static_cast<int>(r.Remaining())), dec);
    m_bAccepted = true;
}
