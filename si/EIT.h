// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/TimeValue.h"
#include "descriptors/Descriptor.h"
#include "si/Table.h"

namespace tsvigil {

// One event of an EIT section (ARIB STD-B10): identity, start time,
// duration, status bits and its descriptors as typed objects.
class EITEvent : public Object {
public:
    // The fixed part before an event's descriptor loop.
    static constexpr int kHeaderSize = 12;

    int event_id = 0;
    bool has_start_time = false;
    TimeValue start_time;
    bool has_duration = false;
    Duration duration;
    int running_status = 0;
    int free_CA_mode = 0;
    int descriptors_loop_length = 0;
    DescriptorList descriptors;

    ~EITEvent() override { ClearDescriptorList(descriptors); }

    // Descriptors of the event cut short or whose fields ran past their
    // descriptor_length, as ParseDescriptorLoop() counts them.
    int descriptorErrors = 0;

    // Fills the event from its bytes at b (the caller has made sure the 12
    // header bytes can be read); its descriptors read nothing at or past
    // loopEnd, the end of the section's event loop (where the CRC_32
    // starts). Returns the bytes the event occupies, 12 +
    // descriptors_loop_length.
    int Parse(const uint8_t* b, const uint8_t* loopEnd);
    // event_name of the first short event descriptor, or the empty text.
    std::string GetEventName() const;
};

// The Event Information Table on PID 0x0012. Every verified section, present/
// following or schedule alike, replaces the list of events.
class EIT : public Table {
public:
    static constexpr int kPid = 0x0012;

    std::vector<std::unique_ptr<EITEvent>> events;

    void Parse(const uint8_t* section, int length) override;
    void ClearEvents() { events.clear(); }
};

}  // namespace tsvigil
