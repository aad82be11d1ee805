// SPDX-License-Identifier: BSD-2-Clause
#include "si/TOT.h"

#include "base/ByteReader.h"
#include "text/ARIBStringDecoder.h"

namespace tsvigil {

void TOT::Parse(const uint8_t* section, int length) {
    ParseTime(section, length);
    if (section[0] != kTableId) return;
    ClearDescriptorList(descriptors);
    // The descriptors run from byte 10 to the CRC_32; descriptors_loop_length
    // is not needed to find them.
    const int L = length - 3;
    ARIBStringDecoder dec;
    ByteReader r(section, static_cast<size_t>(length));
    r.Skip(10);
    descriptorErrors = ParseDescriptorLoop(descriptors, r.Sub(L - 1 - 10), dec);
}

bool TOT::ParseTime(const uint8_t* section, int length) {
    // A section too short for JST_time reads zeros past its end: no time.
    ByteReader r(section, static_cast<size_t>(length));
    r.Skip(3);
    const int mjd = r.U16();
    const int hour = r.U8(), minute = r.U8(), second = r.U8();
    int year = 0, month = 0, day = 0;
    MjdToDate(mjd, year, month, day);
    JST_time = TimeValue();
    has_JST_time = TimeValue::FromFields(year, month, day, BcdToInt(hour), BcdToInt(minute), BcdToInt(second),
                                          JST_time);
    return has_JST_time;
}

}  // namespace tsvigil
