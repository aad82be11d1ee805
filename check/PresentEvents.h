// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <functional>
#include <vector>

#include "si/EIT.h"

// Follows the present programme of each service: whenever section 0 of an
// actual-stream present/following EIT carries a first event other than the
// one last seen for its service, onChange is told of it. With a programme
// handler, the following event (section 1) is read too, and every present
// and following event is handed to it as it is first seen.
class CPresentEvents : public CEIT {
public:
    using Handler = std::function<void(int serviceId, const CEITEvent& event)>;

    explicit CPresentEvents(Handler onChange) : m_onChange(std::move(onChange)) {}
    void FollowProgrammes(Handler onProgramme) { m_onProgramme = std::move(onProgramme); }

    // Only section 0 of the actual stream's present/following table holds
    // the present event; the other EIT sections (following events, other
    // streams, schedules: most of PID 0x0012) go unparsed.
    static bool IsPresentSection(const uint8_t* section) { return section[0] == 0x4E && section[6] == 0; }
    static bool IsFollowingSection(const uint8_t* section) { return section[0] == 0x4E && section[6] == 1; }
    bool WantsSection() const override {
        return IsPresentSection(m_buffer) || (m_onProgramme && IsFollowingSection(m_buffer));
    }
    // A present section is sent several times a second and its first event
    // changes a few times an hour: one whose first event_id is the one
    // last seen for its service is a repeat, and goes unparsed.
    bool NeedsParse() const override;
    void OnComplete() override;

private:
    struct CServiceRecord {
        int serviceId = 0;
        int lastEventId = -1;
        int lastFollowingId = -1;
    };

    CServiceRecord* Find(int serviceId) const;

    Handler m_onChange;
    Handler m_onProgramme;
    mutable std::vector<CServiceRecord> m_services;
    mutable bool m_bParsed = false;  // the section in the buffer was parsed
};
