#include "app/MyEIT.h"

#include "text/AdditionalSymbols.h"

void CMyEIT::OnComplete(int64_t) {
    // Nothing was parsed for any other section (NeedsParse()).
    if (!IsPresentSection(m_buffer)) return;
    const int serviceId = (m_buffer[3] << 8) | m_buffer[4];

    CServiceRecord* record = nullptr;
    for (auto& s : m_services) {
        if (s->serviceId == serviceId) {
            record = s.get();
            break;
        }
    }
    if (record == nullptr) {
        m_services.push_back(std::make_unique<CServiceRecord>());
        record = m_services.back().get();
        record->serviceId = serviceId;
    }
    if (m_events.empty()) return;
    const int id = m_events.front()->event_id;
    if (id == record->lastEventId) return;
    record->lastEventId = id;

    m_pTot->PrintTimeStamp();
    const std::string name = LabelAdditionalSymbols(m_events.front()->GetEventName().c_str());
    std::fprintf(m_out, " eit:%s(service_id:%05d, event_id:%05d).\n", name.c_str(), serviceId, id);
    if (m_pSink) m_pSink->OnEvent(serviceId, *m_events.front(), name);
    m_pTot->m_bReported = 1;
}
