// SPDX-License-Identifier: BSD-2-Clause
#include "si/CAT.h"

#include "text/ARIBStringDecoder.h"

namespace tsvigil {

void CAT::ParseBody(const LongHeader& h, ByteReader& r) {
    version_number = h.version_number;
    descriptors.clear();
    ARIBStringDecoder dec;
    // The descriptors run to the CRC_32.
    descriptorErrors = ParseDescriptorLoop(descriptors, r.Sub(static_cast<int>(r.Remaining())), dec);
}

}  // namespace tsvigil
