// SPDX-License-Identifier: BSD-2-Clause
#include "descriptors/StandardDescriptors.h"

#include "descriptors/DescriptorRanges.h"
#include "text/ARIBStringDecoder.h"

namespace tsvigil {

void ServiceListDescriptor::AddService(int service_id, int service_type) {
    services.push_back(std::make_unique<ServiceListDescriptorService>(service_id, service_type));
}

void ExtendedEventDescriptor::AddItem(std::string item_description, int item_description_length,
                                       std::string item, int item_length) {
    items.push_back(std::make_unique<ExtendedEventDescriptorItem>(
        std::move(item_description), item_description_length, std::move(item), item_length));
}

void ContentDescriptor::AddNibble(int content_nibble_level_1, int content_nibble_level_2,
                                   int user_nibble_1, int user_nibble_2) {
    nibbles.push_back(std::make_unique<ContentDescriptorNibble>(
        content_nibble_level_1, content_nibble_level_2, user_nibble_1, user_nibble_2));
}

void ParentalRatingDescriptor::AddRating(const char* country_code, int rating) {
    auto e = std::make_unique<ParentalRatingDescriptorRating>();
    for (int i = 0; i < 3; ++i) e->country_code[i] = country_code[i];
    e->country_code[3] = '\0';
    e->rating = rating;
    ratings.push_back(std::move(e));
}

namespace {

// Packed BCD, most significant digit in the highest nibble. Nibbles above 9
// are not rejected: they count with their value at their place.
int Bcd(uint32_t v, int digits) {
    int value = 0;
    for (int i = digits - 1; i >= 0; --i) {
        value = value * 10 + static_cast<int>((v >> (4 * i)) & 0x0F);
    }
    return value;
}

}  // namespace

// r stands at byte 2 and ends with the descriptor loop, so a name or item length
// that overstates the descriptor takes the bytes that follow it in the
// loop and stops at the loop's end.

// CA_descriptor
std::unique_ptr<Descriptor> CADescriptor::Build(int length, ByteReader& r, ARIBStringDecoder&) {
    auto d = std::make_unique<CADescriptor>();
    d->CA_system_id = r.U16();
    d->CA_PID = r.U16() & 0x1FFF;
    d->private_data = RestOfDescriptor(r, length);
    return d;
}

// network_name_descriptor
std::unique_ptr<Descriptor> NetworkNameDescriptor::Build(int length, ByteReader& r,
                                                           ARIBStringDecoder& dec) {
    auto d = std::make_unique<NetworkNameDescriptor>();
    d->network_name = DecodeText(dec, r.Bytes(length), true);
    return d;
}

// service_list_descriptor
std::unique_ptr<Descriptor> ServiceListDescriptor::Build(int length, ByteReader& r,
                                                           ARIBStringDecoder&) {
    auto d = std::make_unique<ServiceListDescriptor>();
    while (InDescriptor(r, length)) {
        const int service_id = r.U16();
        d->AddService(service_id, r.U8());
    }
    return d;
}

// stuffing_descriptor
std::unique_ptr<Descriptor> StuffingDescriptor::Build(int length, ByteReader& r,
                                                        ARIBStringDecoder&) {
    auto d = std::make_unique<StuffingDescriptor>();
    d->stuffing_bytes = RestOfDescriptor(r, length);
    return d;
}

// satellite_delivery_system_descriptor
std::unique_ptr<Descriptor> SatelliteDeliverySystemDescriptor::Build(int, ByteReader& r,
                                                                       ARIBStringDecoder&) {
    auto d = std::make_unique<SatelliteDeliverySystemDescriptor>();
    d->frequency = Bcd(r.U32(), 8);
    d->orbital_position = Bcd(static_cast<uint32_t>(r.U16()), 4);
    const int flags = r.U8();
    d->west_east_flag = flags >> 7;
    d->polarisation = (flags >> 5) & 0x03;
    d->modulation = flags & 0x1F;
    const uint32_t rate = r.U32();  // seven digits, then FEC_inner
    d->symbol_rate = Bcd(rate >> 4, 7);
    d->FEC_inner = static_cast<int>(rate & 0x0F);
    return d;
}

// bouquet_name_descriptor
std::unique_ptr<Descriptor> BouquetNameDescriptor::Build(int length, ByteReader& r,
                                                           ARIBStringDecoder& dec) {
    auto d = std::make_unique<BouquetNameDescriptor>();
    d->bouquet_name = DecodeText(dec, r.Bytes(length), true);
    return d;
}

// service_descriptor
std::unique_ptr<Descriptor> ServiceDescriptor::Build(int, ByteReader& r,
                                                       ARIBStringDecoder& dec) {
    auto d = std::make_unique<ServiceDescriptor>();
    d->service_type = r.U8();
    d->service_provider_name_length = r.U8();
    d->service_provider_name =
        DecodeText(dec, r.Bytes(d->service_provider_name_length), true);
    d->service_name_length = r.U8();
    const ByteReader::Span name = r.Bytes(d->service_name_length);
    d->service_name = DecodeText(dec, name, true);
    if (name.size > 0) d->service_name_bytes.assign(reinterpret_cast<const char*>(name.data), static_cast<size_t>(name.size));
    return d;
}

// linkage_descriptor
std::unique_ptr<Descriptor> LinkageDescriptor::Build(int length, ByteReader& r,
                                                       ARIBStringDecoder&) {
    auto d = std::make_unique<LinkageDescriptor>();
    d->transport_stream_id = r.U16();
    d->original_network_id = r.U16();
    d->service_id = r.U16();
    d->linkage_type = r.U8();
    d->private_data = RestOfDescriptor(r, length);
    return d;
}

// short_event_descriptor
std::unique_ptr<Descriptor> ShortEventDescriptor::Build(int, ByteReader& r,
                                                          ARIBStringDecoder& dec) {
    auto d = std::make_unique<ShortEventDescriptor>();
    r.Copy(d->ISO_639_language_code, 3);
    d->event_name_length = r.U8();
    d->event_name = DecodeText(dec, r.Bytes(d->event_name_length), true);
    d->text_length = r.U8();
    d->text = DecodeText(dec, r.Bytes(d->text_length), true);
    return d;
}

// extended_event_descriptor
std::unique_ptr<Descriptor> ExtendedEventDescriptor::Build(int, ByteReader& r,
                                                             ARIBStringDecoder& dec) {
    auto d = std::make_unique<ExtendedEventDescriptor>();
    const int numbers = r.U8();
    d->descriptor_number = numbers >> 4;
    d->last_descriptor_number = numbers & 0x0F;
    r.Copy(d->ISO_639_language_code, 3);
    d->length_of_items = r.U8();
    // text_length stands at byte 7 + length_of_items whatever the
    // item lengths add up to; a copy of the reader waits there.
    ByteReader after = r;
    after.Skip(d->length_of_items);
    const size_t itemsEnd = r.Pos() + static_cast<size_t>(d->length_of_items);
    while (r.Pos() < itemsEnd && !r.AtEnd()) {
        const int description_length = r.U8();
        const ByteReader::Span description = r.Bytes(description_length);
        const int item_length = r.U8();
        const ByteReader::Span item = r.Bytes(item_length);
        if (description_length != 0) {
            std::string description_text = DecodeText(dec, description, true);
            d->AddItem(std::move(description_text), description_length,
                       DecodeText(dec, item, true), item_length);
        } else {
            // A continuation: the item text goes on from the state
            // the previous text left in the decoder (designations,
            // invocations, a split two-byte character), possibly
            // in the previous extended_event_descriptor.
            d->AddItem(std::string(), 0, DecodeText(dec, item, false), item_length);
        }
    }
    d->text_length = after.U8();
    // The non-itemised text is decoded from the initial state on a
    // decoder of its own, so that the shared decoder still holds the
    // last item's state for a continuation in the next descriptor.
    const ByteReader::Span text = after.Bytes(d->text_length);
    if (text.size > 0) {
        ARIBStringDecoder own;
        d->text = DecodeText(own, text, true);
    }
    return d;
}

// time_shifted_event_descriptor
std::unique_ptr<Descriptor> TimeShiftedEventDescriptor::Build(int, ByteReader& r,
                                                                ARIBStringDecoder&) {
    auto d = std::make_unique<TimeShiftedEventDescriptor>();
    d->reference_service_id = r.U16();
    d->reference_event_id = r.U16();
    return d;
}

// component_descriptor
std::unique_ptr<Descriptor> ComponentDescriptor::Build(int length, ByteReader& r,
                                                         ARIBStringDecoder& dec) {
    auto d = std::make_unique<ComponentDescriptor>();
    d->stream_content = r.U8() & 0x0F;
    d->component_type = r.U8();
    d->component_tag = r.U8();
    r.Copy(d->ISO_639_language_code, 3);
    // Below length 6 the count is negative and Bytes() gives nothing.
    d->text = DecodeText(dec, r.Bytes(length - 6), true);
    return d;
}

// stream_identifier_descriptor
std::unique_ptr<Descriptor> StreamIdentifierDescriptor::Build(int, ByteReader& r,
                                                                ARIBStringDecoder&) {
    auto d = std::make_unique<StreamIdentifierDescriptor>();
    d->component_tag = r.U8();
    return d;
}

// CA_identifier_descriptor
std::unique_ptr<Descriptor> CAIdentifierDescriptor::Build(int length, ByteReader& r,
                                                            ARIBStringDecoder&) {
    auto d = std::make_unique<CAIdentifierDescriptor>();
    while (InDescriptor(r, length)) {
        d->CA_system_ids.push_back(static_cast<uint16_t>(r.U16()));
    }
    return d;
}

// content_descriptor; an odd last byte is ignored
std::unique_ptr<Descriptor> ContentDescriptor::Build(int length, ByteReader& r,
                                                       ARIBStringDecoder&) {
    auto d = std::make_unique<ContentDescriptor>();
    for (int e = 0; e < length / 2 && !r.AtEnd(); ++e) {
        const int a = r.U8();
        const int b = r.U8();
        d->AddNibble(a >> 4, a & 0x0F, b >> 4, b & 0x0F);
    }
    return d;
}

// parental_rating_descriptor; a short last entry is ignored
std::unique_ptr<Descriptor> ParentalRatingDescriptor::Build(int length, ByteReader& r,
                                                              ARIBStringDecoder&) {
    auto d = std::make_unique<ParentalRatingDescriptor>();
    for (int e = 0; e < length / 4 && !r.AtEnd(); ++e) {
        char country_code[4];
        r.Copy(country_code, 3);
        d->AddRating(country_code, r.U8());
    }
    return d;
}

}  // namespace tsvigil
