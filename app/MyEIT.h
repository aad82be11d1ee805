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

    explicit CMyEIT(std::FILE* out = stdout) : m_out(out) {}

    void OnComplete(int64_t packetCount) override;

private:
    std::FILE* m_out;
};
