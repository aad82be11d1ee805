// SPDX-License-Identifier: BSD-2-Clause
#include "report/TextReport.h"

#include <cinttypes>
#include <string>

#include "report/TimeFormat.h"

void CTextReport::StampIfPending() {
    if (!m_bStampPending) return;
    std::fprintf(m_out, "%s\n", FormatTime(m_time, m_bTimeValid, CTimeStyle::kReport).c_str());
    m_bStampPending = false;
}

void CTextReport::On(const CFinding& f) {
    switch (f.kind) {
        case CFinding::kPacketSize:
            // A size line stands outside the blocks: it neither takes nor
            // opens one.
            std::fprintf(m_out, " packet size:%d.\n", static_cast<int>(f.count));
            return;
        case CFinding::kGap:
        case CFinding::kDamage:
        case CFinding::kProgramme:
        case CFinding::kScrambledRange:
        case CFinding::kTransportErrorRange:
            // The classic report has no line for them.
            return;
        case CFinding::kTot:
            m_time = f.time;
            m_bTimeValid = f.hasTime;
            m_bStampPending = true;
            // After findings the time closes their block at once; after a
            // quiet block it waits for the next finding, if any comes.
            if (m_bReported) {
                StampIfPending();
                m_bReported = false;
            }
            return;
        case CFinding::kSyncError:
            StampIfPending();
            std::fputs(" sync byte error.\n", m_out);
            break;
        case CFinding::kContinuityError:
            StampIfPending();
            std::fprintf(m_out, " continuity counter error (pid:0x%04x, %2d->%2d).\n", f.pid, f.last, f.counter);
            break;
        case CFinding::kScrambled:
            StampIfPending();
            std::fprintf(m_out, " transport scrambling countrol (pid:0x%04x, %5dpackets).\n", f.pid,
                         static_cast<int>(f.count));
            break;
        case CFinding::kTransportErrors:
            StampIfPending();
            std::fprintf(m_out, " transport error indicator (%5dpackets).\n", static_cast<int>(f.count));
            break;
        case CFinding::kPresentEvent:
            StampIfPending();
            std::fprintf(m_out, " eit:%s(service_id:%05d, event_id:%05d).\n", f.name.c_str(), f.serviceId, f.eventId);
            break;
    }
    m_bReported = true;
}
