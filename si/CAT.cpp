// SPDX-License-Identifier: BSD-2-Clause
#include "si/CAT.h"

#include "text/ARIBStringDecoder.h"

void CCAT::ParseBody(const CLongHeader& h, CByteReader& r) {
    version_number = h.version_number;
    m_descriptors.clear();
    CARIBStringDecoder dec;
    // The descriptors run to the CRC_32.
    descriptorErrors = ParseDescriptorLoop(m_descriptors, r.Sub(static_cast<int>(r.Remaining())), dec);
}
