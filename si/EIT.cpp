// SPDX-License-Identifier: BSD-2-Clause
#include "si/EIT.h"

#include "descriptors/StandardDescriptors.h"
#include "text/ARIBStringDecoder.h"

namespace tsvigil {

int EITEvent::Parse(const uint8_t* b, const uint8_t* loopEnd) {
    event_id = (b[0] << 8) | b[1];
    // An MJD of 0xFFFF leaves the start time undefined.
    if (b[2] == 0xFF && b[3] == 0xFF) {
        has_start_time = false;
    } else {
        int year = 0, month = 0, day = 0;
        MjdToDate((b[2] << 8) | b[3], year, month, day);
        // Fields that are no time leave the start undefined; the rest of the
        // event is still used.
        has_start_time = TimeValue::FromFields(year, month, day, BcdToInt(b[4]), BcdToInt(b[5]),
                                                BcdToInt(b[6]), start_time);
    }
    if (b[7] == 0xFF) {
        has_duration = false;
    } else {
        const int hours = BcdToInt(b[7]);
        duration = Duration(hours / 24, hours % 24, BcdToInt(b[8]), BcdToInt(b[9]));
        has_duration = true;
    }
    running_status = b[10] >> 5;
    free_CA_mode = (b[10] >> 4) & 1;
    descriptors_loop_length = ((b[10] << 8) | b[11]) & 0x0FFF;

    // One decoder for the whole loop, so an extended event text can continue
    // from one descriptor into the next.
    ARIBStringDecoder dec;
    const ptrdiff_t room = loopEnd - (b + kHeaderSize);
    const ptrdiff_t size = descriptors_loop_length < room ? descriptors_loop_length : room;
    descriptorErrors =
        ParseDescriptorLoop(descriptors, ByteReader(b + kHeaderSize, size > 0 ? static_cast<size_t>(size) : 0), dec);
    return kHeaderSize + descriptors_loop_length;
}

std::string EITEvent::GetEventName() const {
    const int i = FindDescriptor(descriptors, 0x4D, 0);
    if (i < 0) return std::string();
    return static_cast<const ShortEventDescriptor&>(*descriptors[static_cast<size_t>(i)]).event_name;
}

void EIT::Parse(const uint8_t* section, int length) {
    ClearEvents();
    descriptorErrors = 0;
    const int L = length - 3;
    // Events run from byte 14 to the CRC_32 (at L - 1). An event whose fixed
    // part does not fit in the section ends the loop; its descriptors end
    // at the CRC_32.
    int i = 14;
    while (i < L - 1 && length - i >= EITEvent::kHeaderSize) {
        auto e = std::make_unique<EITEvent>();
        i += e->Parse(section + i, section + L - 1);
        descriptorErrors += e->descriptorErrors;
        events.push_back(std::move(e));
    }
}

}  // namespace tsvigil
