// SPDX-License-Identifier: BSD-2-Clause
#include "descriptors/AribDescriptorsD0.h"

#include "descriptors/DescriptorRanges.h"
#include "text/ARIBStringDecoder.h"

namespace tsvigil {

namespace {

// A 16-bit Modified Julian Date as midnight of that day in broadcast time.
// MJD 0 (sent with expire_date_valid_flag 0) is in 1858; such a date has
// no value on our time line and leaves out at 0.
void SetDateFromMjd(TimeValue& out, int mjd) {
    int year = 0, month = 0, day = 0;
    MjdToDate(mjd, year, month, day);
    TimeValue::FromFields(year, month, day, 0, 0, 0, out);
}

}  // namespace

void EventGroupDescriptor::AddEvent(int service_id, int event_id) {
    auto e = std::make_unique<EventGroupDescriptorEvent>();
    e->service_id = service_id;
    e->event_id = event_id;
    events.push_back(std::move(e));
}

void EventGroupDescriptor::AddGroup(int original_network_id, int transport_stream_id,
                                     int service_id, int event_id) {
    auto g = std::make_unique<EventGroupDescriptorGroup>();
    g->original_network_id = original_network_id;
    g->transport_stream_id = transport_stream_id;
    g->service_id = service_id;
    g->event_id = event_id;
    groups.push_back(std::move(g));
}

int SIParameterDescriptor::AddTable(ByteReader entry) {
    auto t = std::make_unique<SIParameterDescriptorTable>();
    t->table_id = entry.U8();
    t->table_description_length = entry.U8();
    t->table_description = ToBytes(entry.Bytes(t->table_description_length));
    const int used = t->table_description_length + 2;
    tables.push_back(std::move(t));
    return used;
}

int ComponentGroupDescriptorGroup::Parse(ByteReader entry, int total_bit_rate_flag) {
    const size_t start = entry.Pos();
    const int b0 = entry.U8();
    component_group_id = b0 >> 4;
    num_of_CA_unit = b0 & 0x0F;
    for (int u = 0; u < num_of_CA_unit && !entry.AtEnd(); ++u) {
        auto unit = std::make_unique<ComponentGroupDescriptorGroupCAUnit>();
        const int b = entry.U8();
        unit->CA_unit_id = b >> 4;
        unit->num_of_component = b & 0x0F;
        unit->component_tags = ToBytes(entry.Bytes(unit->num_of_component));
        CA_units.push_back(std::move(unit));
    }
    if (total_bit_rate_flag == 1) total_bit_rate = entry.U8();
    text_length = entry.U8();
    const int used = static_cast<int>(entry.Pos() - start) + text_length;
    // The group text is decoded from the initial state, so a decoder of its
    // own gives what the loop's decoder would.
    ARIBStringDecoder dec;
    text = DecodeText(dec, entry.Bytes(text_length), true);
    return used;
}

int ComponentGroupDescriptor::AddGroup(ByteReader entry) {
    auto g = std::make_unique<ComponentGroupDescriptorGroup>();
    const int used = g->Parse(entry, total_bit_rate_flag);
    groups.push_back(std::move(g));
    return used;
}

void LDTLinkageDescriptor::AddDescription(int description_id, int description_type,
                                           int user_defined) {
    auto d = std::make_unique<LDTLinkageDescriptorDescription>();
    d->description_id = description_id;
    d->description_type = description_type;
    d->user_defined = user_defined;
    descriptions.push_back(std::move(d));
}

// r is positioned at byte 2 and ends with the descriptor loop: fixed fields of a
// descriptor shorter than its fixed part are read from what follows it in
// the loop (0 past the loop's end), and counts are trusted as far as
// the loop's end and no further.

// series_descriptor
std::unique_ptr<Descriptor> SeriesDescriptor::Build(int length, ByteReader& r,
                                                      ARIBStringDecoder& dec) {
    auto d = std::make_unique<SeriesDescriptor>();
    d->series_id = r.U16();
    const int b4 = r.U8();
    d->repeat_label = b4 >> 4;
    d->program_pattern = (b4 >> 1) & 0x07;
    d->expire_date_valid_flag = b4 & 0x01;
    // Converted whatever the valid flag says; the flag tells the reader.
    SetDateFromMjd(d->expire_date, r.U16());
    const int episodes = r.U24();
    d->episode_number = episodes >> 12;
    d->last_episode_number = episodes & 0x0FFF;
    d->series_name = DecodeText(dec, r.Bytes(length - 8), true);
    return d;
}

// event_group_descriptor
std::unique_ptr<Descriptor> EventGroupDescriptor::Build(int length, ByteReader& r,
                                                          ARIBStringDecoder&) {
    auto d = std::make_unique<EventGroupDescriptor>();
    const int b2 = r.U8();
    d->group_type = b2 >> 4;
    const int event_count = b2 & 0x0F;
    for (int i = 0; i < event_count && !r.AtEnd(); ++i) {
        const int service_id = r.U16();
        const int event_id = r.U16();
        d->AddEvent(service_id, event_id);
    }
    if (d->group_type == 4 || d->group_type == 5) {
        // Relay to (4) and movement from (5) another network name each
        // event by network, stream, service and event id.
        while (InDescriptor(r, length)) {
            const int original_network_id = r.U16();
            const int transport_stream_id = r.U16();
            const int service_id = r.U16();
            const int event_id = r.U16();
            d->AddGroup(original_network_id, transport_stream_id, service_id, event_id);
        }
    } else {
        d->private_data = RestOfDescriptor(r, length);
    }
    return d;
}

// SI_parameter_descriptor
std::unique_ptr<Descriptor> SIParameterDescriptor::Build(int length, ByteReader& r,
                                                           ARIBStringDecoder&) {
    auto d = std::make_unique<SIParameterDescriptor>();
    d->parameter_version = r.U8();
    SetDateFromMjd(d->update_time, r.U16());
    while (InDescriptor(r, length)) r.Skip(d->AddTable(r));
    return d;
}

// broadcaster_name_descriptor
std::unique_ptr<Descriptor> BroadcasterNameDescriptor::Build(int length, ByteReader& r,
                                                               ARIBStringDecoder& dec) {
    auto d = std::make_unique<BroadcasterNameDescriptor>();
    d->name = DecodeText(dec, r.Bytes(length), true);
    return d;
}

// component_group_descriptor
std::unique_ptr<Descriptor> ComponentGroupDescriptor::Build(int, ByteReader& r,
                                                              ARIBStringDecoder&) {
    auto d = std::make_unique<ComponentGroupDescriptor>();
    const int b2 = r.U8();
    d->component_group_type = b2 >> 5;
    d->total_bit_rate_flag = (b2 >> 4) & 0x01;
    d->num_of_group = b2 & 0x0F;
    for (int j = 0; j < d->num_of_group && !r.AtEnd(); ++j) r.Skip(d->AddGroup(r));
    return d;
}

// LDT_linkage_descriptor
std::unique_ptr<Descriptor> LDTLinkageDescriptor::Build(int length, ByteReader& r,
                                                          ARIBStringDecoder&) {
    auto d = std::make_unique<LDTLinkageDescriptor>();
    d->original_service_id = r.U16();
    d->transport_stream_id = r.U16();
    d->original_network_id = r.U16();
    while (InDescriptor(r, length)) {
        const int description_id = r.U16();
        const int description_type = r.U8() & 0x0F;
        const int user_defined = r.U8();
        d->AddDescription(description_id, description_type, user_defined);
    }
    return d;
}

// content_availability_descriptor
std::unique_ptr<Descriptor> ContentAvailabilityDescriptor::Build(int, ByteReader& r,
                                                                   ARIBStringDecoder&) {
    auto d = std::make_unique<ContentAvailabilityDescriptor>();
    const int b2 = r.U8();
    d->copy_restriction_mode = (b2 >> 6) & 0x01;
    d->image_constraint_token = (b2 >> 5) & 0x01;
    d->retention_mode = (b2 >> 4) & 0x01;
    d->retention_state = (b2 >> 1) & 0x07;
    d->encryption_mode = b2 & 0x01;
    return d;
}

}  // namespace tsvigil
