// SPDX-License-Identifier: BSD-2-Clause
#include "check/PresentEvents.h"

#include <algorithm>

#include "base/ByteReader.h"

namespace tsvigil {

namespace {

// Where the first event of an EIT section begins (ARIB STD-B10): after the
// long-form header, transport_stream_id, original_network_id,
// segment_last_section_number and last_table_id.
constexpr int kFirstEvent = 14;

}  // namespace

PresentEvents::ServiceRecord& PresentEvents::Record(int serviceId) {
    auto record = std::find_if(m_services.begin(), m_services.end(),
                               [serviceId](const ServiceRecord& s) { return s.serviceId == serviceId; });
    if (record != m_services.end()) return *record;
    m_services.push_back(ServiceRecord{serviceId, -1});
    return m_services.back();
}

int PresentEvents::OnSection(const SectionView& section) {
    ByteReader r(section.data, static_cast<size_t>(section.length));
    const bool following = IsFollowingSection(section);
    const int serviceId = (r.PeekAt(3) << 8) | r.PeekAt(4);
    ServiceRecord& record = Record(serviceId);
    int& last = following ? record.lastFollowingId : record.lastEventId;
    // A present section is sent several times a second and its first event
    // changes a few times an hour: one whose first event_id is the one last
    // seen for its service is a repeat, and goes unparsed. Only a whole
    // first event (its 12 fixed bytes before the CRC_32) can be one.
    const bool whole = section.length - 4 >= kFirstEvent + EITEvent::kHeaderSize;
    if (whole && ((r.PeekAt(kFirstEvent) << 8) | r.PeekAt(kFirstEvent + 1)) == last) return 0;
    m_eit.Parse(section.data, section.length);
    const int errors = m_eit.descriptorErrors;
    if (m_eit.events.empty()) return errors;
    const EITEvent& first = *m_eit.events.front();
    if (first.event_id == last) return errors;
    last = first.event_id;
    if (m_onProgramme) m_onProgramme(serviceId, first);
    if (!following && m_onChange) m_onChange(serviceId, first);
    return errors;
}

}  // namespace tsvigil
