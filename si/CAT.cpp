#include "si/CAT.h"

#include "text/ARIBStringDecoder.h"

void CCAT::Parse() {
    m_bAccepted = false;
    CLongHeader h;
    CByteReader r;
    if (!ReadLongHeader(h, r) || h.table_id != kTableId || !h.current_next_indicator) return;
    version_number = h.version_number;
    m_descriptors.clear();
    CARIBStringDecoder dec;
    // The descriptors run to the CRC_32.
    ParseWholeDescriptors(m_descriptors, r.Sub(static_cast<int>(r.Remaining())), dec);
    m_bAccepted = true;
}
