#pragma once

#include <cstdio>
#include <memory>
#include <vector>

#include "app/MyTOT.h"
#include "si/EIT.h"

// Reports each change of the present programme of each service: whenever
// section 0 of an actual-stream present/following EIT carries a first event
// other than the one last reported for its service, a time-stamped line
// names it.
class CMyEIT : public CEIT {
public:
    struct CServiceRecord {
        int serviceId = 0;
        int lastEventId = -1;
    };

    std::vector<std::unique_ptr<CServiceRecord>> m_services;
    CMyTOT* m_pTot = nullptr;
    CReportSink* m_pSink = nullptr;  // told of every present-event change, when set

    explicit CMyEIT(std::FILE* out = stdout) : m_out(out) {}

    // Only section 0 of the actual stream's present/following table holds
    // the present event; the other EIT sections (following events, other
    // streams, schedules: most of PID 0x0012) are reported on by nobody.
    static bool IsPresentSection(const uint8_t* section) { return section[0] == 0x4E && section[6] == 0; }
    bool NeedsParse() const override { return IsPresentSection(m_buffer); }
    void OnComplete(int64_t packetCount) override;

private:
    std::FILE* m_out;
};
