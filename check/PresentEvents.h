// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <functional>
#include <vector>

#include "si/EIT.h"
#include "si/TableDispatcher.h"

namespace tsvigil {

// Follows the present programme of each service: whenever section 0 of an
// actual-stream present/following EIT carries a first event other than the
// one last seen for its service, onChange is told of it. With a programme
// handler, the following event (section 1) is read too, and every present
// and following event is handed to it as it is first seen.
class PresentEvents : public SectionHandler {
public:
    using Handler = std::function<void(int serviceId, const EITEvent& event)>;

    explicit PresentEvents(Handler onChange) : m_onChange(std::move(onChange)) {}
    void FollowProgrammes(Handler onProgramme) { m_onProgramme = std::move(onProgramme); }

    // Only section 0 of the actual stream's present/following table holds
    // the present event; the other EIT sections (following events, other
    // streams, schedules: most of PID 0x0012) go unread and unverified.
    static bool IsPresentSection(const SectionView& s) { return s.data[0] == 0x4E && SectionNumber(s) == 0; }
    static bool IsFollowingSection(const SectionView& s) { return s.data[0] == 0x4E && SectionNumber(s) == 1; }
    bool WantsSection(const SectionView& section) const override {
        return IsPresentSection(section) || (m_onProgramme && IsFollowingSection(section));
    }
    int OnSection(const SectionView& section) override;

private:
    struct ServiceRecord {
        int serviceId = 0;
        int lastEventId = -1;
        int lastFollowingId = -1;
    };

    // section_number, or -1 for a section too short to hold it.
    static int SectionNumber(const SectionView& s) { return s.length > 6 ? s.data[6] : -1; }
    ServiceRecord& Record(int serviceId);

    Handler m_onChange;
    Handler m_onProgramme;
    std::vector<ServiceRecord> m_services;
    EIT m_eit;
};

}  // namespace tsvigil
