// SPDX-License-Identifier: BSD-2-Clause
#include "si/TableDispatcher.h"

#include <algorithm>
#include <iterator>

CTableDispatcher::CTableDispatcher() { std::fill(std::begin(m_lastCounter), std::end(m_lastCounter), int8_t(-1)); }

void CTableDispatcher::SetCopyTest(CCopyTest test) {
    m_copyTest = std::move(test);
    std::vector<uint64_t>().swap(m_lastTail);
    if (!m_copyTest) m_lastTail.assign(kPidCount, 0);
}

void CTableDispatcher::Add(CTable* table) {
    m_tables.push_back(table);
    m_bWanted[table->m_nPid & (kPidCount - 1)] = true;
}

void CTableDispatcher::Remove(const CTable* table) {
    auto at = std::find(m_tables.begin(), m_tables.end(), table);
    if (at == m_tables.end()) return;
    // Only marked here: a dispatch in progress walks m_tables by index.
    *at = nullptr;
    ++m_nRemoved;
    UpdateWanted(table->m_nPid & (kPidCount - 1));
}

void CTableDispatcher::UpdateWanted(int pid) {
    m_bWanted[pid] = std::any_of(m_tables.begin(), m_tables.end(),
                                 [pid](const CTable* t) { return t != nullptr && t->m_nPid == pid; });
}

int CTableDispatcher::DispatchToTables(const uint8_t* packet, int pid) {
    // ISO/IEC 13818-1 lets a packet with payload be sent twice, with the
    // same continuity_counter and the same bytes: its sections were taken
    // from the first copy, and the second must neither complete them again
    // nor, in the middle of a section, look like a lost packet. The same
    // counter on other bytes says 15 packets were lost: the section in hand
    // is broken, as at any other gap.
    const int counter = Counter(packet);
    bool copy = false;
    if (HasPayload(packet) && m_lastCounter[pid] == counter)
        copy = m_copyTest ? m_copyTest(packet, pid) : m_lastTail[static_cast<size_t>(pid)] == PacketTail(packet);
    m_lastCounter[pid] = static_cast<int8_t>(counter);
    if (!m_copyTest) m_lastTail[static_cast<size_t>(pid)] = PacketTail(packet);
    if (copy) return 0;
    // The holes left by removed tables go before a walk starts, so a stream
    // whose PAT keeps changing cannot grow the list without bound.
    if (m_nRemoved > 0 && m_nDepth == 0) {
        m_tables.erase(std::remove(m_tables.begin(), m_tables.end(), nullptr), m_tables.end());
        m_nRemoved = 0;
    }
    ++m_nDepth;
    // Where in the packet each section that failed ended: two tables of one
    // PID assemble the same sections, and a failed one counts once.
    int failedEnds[kMaxFailures];
    int failed = 0;
    // By index and with the size read anew each time: a table's OnComplete()
    // may add another table, and the push_back may move the storage.
    for (size_t i = 0; i < m_tables.size(); ++i) {
        CTable* t = m_tables[i];
        if (t == nullptr || t->m_nPid != pid) continue;
        while (t->Append(packet)) {
            if (!t->WantsSection()) continue;
            if (!t->Verify()) {
                // The section is dropped; the next one is looked for where
                // the packet says it starts.
                const int end = t->m_nNextPos;
                if (std::find(failedEnds, failedEnds + failed, end) == failedEnds + failed && failed < kMaxFailures)
                    failedEnds[failed++] = end;
                continue;
            }
            if (t->SkipsRepeats()) {
                const uint8_t* c = t->SectionEnd() - 4;
                const uint32_t crc = (uint32_t(c[0]) << 24) | (uint32_t(c[1]) << 16) | (uint32_t(c[2]) << 8) | c[3];
                if (t->m_bHaveLastCrc && crc == t->m_nLastCrc) continue;
                t->m_nLastCrc = crc;
                t->m_bHaveLastCrc = true;
            }
            if (t->NeedsParse()) {
                t->Parse();
                m_descriptorErrors[static_cast<size_t>(pid)] += static_cast<uint64_t>(t->descriptorErrors);
            }
            t->OnComplete();
            // OnComplete() may have removed this very table.
            if (m_tables[i] != t) break;
        }
    }
    --m_nDepth;
    if (failed != 0) m_crcErrors[static_cast<size_t>(pid)] += static_cast<uint64_t>(failed);
    return failed;
}
