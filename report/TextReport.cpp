// SPDX-License-Identifier: BSD-2-Clause
#include "report/TextReport.h"

#include <cinttypes>
#include <string>

#include "report/TimeFormat.h"

namespace tsvigil {

void TextReport::StampIfPending() {
    if (!m_stampPending) return;
    std::fprintf(m_out, "%s\n", FormatTime(m_time, m_timeValid, TimeStyle::kReport).c_str());
    m_stampPending = false;
}

void TextReport::On(const Finding& f) {
    switch (f.kind) {
        case Finding::Kind::kPacketSize:
            // A size line stands outside the blocks: it neither takes nor
            // opens one.
            std::fprintf(m_out, " packet size:%d.\n", static_cast<int>(f.count));
            return;
        case Finding::Kind::kGap:
        case Finding::Kind::kDamage:
        case Finding::Kind::kProgramme:
        case Finding::Kind::kScrambledRange:
        case Finding::Kind::kTransportErrorRange:
        case Finding::Kind::kIndicator:
        case Finding::Kind::kPesLoss:
        case Finding::Kind::kPtsGap:
            // The classic report has no line for them.
            return;
        case Finding::Kind::kTot:
            m_time = f.time;
            m_timeValid = f.hasTime;
            m_stampPending = true;
            // After findings the time closes their block at once; after a
            // quiet block it waits for the next finding, if any comes.
            if (m_reported) {
                StampIfPending();
                m_reported = false;
            }
            return;
        case Finding::Kind::kSyncError:
            StampIfPending();
            std::fputs(" sync byte error.\n", m_out);
            break;
        case Finding::Kind::kContinuityError:
            StampIfPending();
            std::fprintf(m_out, " continuity counter error (pid:0x%04x, %2d->%2d).\n", f.pid, f.last, f.counter);
            break;
        case Finding::Kind::kScrambled:
            StampIfPending();
            std::fprintf(m_out, " transport scrambling countrol (pid:0x%04x, %5dpackets).\n", f.pid,
                         static_cast<int>(f.count));
            break;
        case Finding::Kind::kTransportErrors:
            StampIfPending();
            std::fprintf(m_out, " transport error indicator (%5dpackets).\n", static_cast<int>(f.count));
            break;
        case Finding::Kind::kPresentEvent:
            StampIfPending();
            std::fprintf(m_out, " eit:%s(service_id:%05d, event_id:%05d).\n", f.name.c_str(), f.serviceId, f.eventId);
            break;
    }
    m_reported = true;
}

}  // namespace tsvigil
