// SPDX-License-Identifier: BSD-2-Clause
#include "si/TOT.h"

#include "text/ARIBStringDecoder.h"

void CTOT::Parse() {
    ClearDescriptorList(m_descriptors);
    // The descriptors run from byte 10 to the CRC_32; descriptors_loop_length
    // is not needed to find them.
    const int L = SectionLength();
    CARIBStringDecoder dec;
    const int loopEnd = L - 1 > 10 ? L - 1 : 10;
    const CByteReader loop(m_buffer + 10, static_cast<size_t>(loopEnd - 10));
    descriptorErrors = ParseDescriptorLoop(m_descriptors, loop, dec);
}

bool CTOT::GetTime(CTimeValue& t) const {
    int year = 0, month = 0, day = 0;
    MjdToDate((m_buffer[3] << 8) | m_buffer[4], year, month, day);
    return CTimeValue::FromFields(year, month, day, BcdToInt(m_buffer[5]), BcdToInt(m_buffer[6]),
                                  BcdToInt(m_buffer[7]), t);
}
