// SPDX-License-Identifier: BSD-2-Clause
#include "check/PresentEvents.h"

#include <algorithm>

namespace {

// Where the first event of an EIT section begins (ARIB STD-B10): after the
// long-form header, transport_stream_id, original_network_id,
// segment_last_section_number and last_table_id.
constexpr int kFirstEvent = 14;

}  // namespace

CPresentEvents::CServiceRecord* CPresentEvents::Find(int serviceId) const {
    auto record = std::find_if(m_services.begin(), m_services.end(),
                               [serviceId](const CServiceRecord& s) { return s.serviceId == serviceId; });
    return record == m_services.end() ? nullptr : &*record;
}

bool CPresentEvents::NeedsParse() const {
    m_bParsed = false;
    const bool following = m_onProgramme && IsFollowingSection(m_buffer);
    if (!IsPresentSection(m_buffer) && !following) return false;
    // Only a whole first event (its 12 fixed bytes before the CRC_32) can
    // be a repeat; anything shorter is parsed and yields no event.
    const CServiceRecord* record = Find((m_buffer[3] << 8) | m_buffer[4]);
    const bool whole = SectionLength() + 3 - 4 >= kFirstEvent + CEITEvent::kHeaderSize;
    const int first = (m_buffer[kFirstEvent] << 8) | m_buffer[kFirstEvent + 1];
    if (record && whole && first == (following ? record->lastFollowingId : record->lastEventId)) return false;
    m_bParsed = true;
    return true;
}

void CPresentEvents::OnComplete() {
    // Nothing was parsed for a repeat or any other section (NeedsParse()).
    if (!m_bParsed) return;
    const int serviceId = (m_buffer[3] << 8) | m_buffer[4];
    CServiceRecord* record = Find(serviceId);
    if (record == nullptr) {
        m_services.push_back(CServiceRecord{serviceId, -1});
        record = &m_services.back();
    }
    if (m_events.empty()) return;
    const int id = m_events.front()->event_id;
    if (IsFollowingSection(m_buffer)) {
        if (id == record->lastFollowingId) return;
        record->lastFollowingId = id;
        if (m_onProgramme) m_onProgramme(serviceId, *m_events.front());
        return;
    }
    if (id == record->lastEventId) return;
    record->lastEventId = id;
    if (m_onProgramme) m_onProgramme(serviceId, *m_events.front());
    if (m_onChange) m_onChange(serviceId, *m_events.front());
}
