// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/TSPacket.h"
#include "si/Table.h"

// Routes the packets of a transport stream to the tables that assemble
// sections on their PIDs. It points at the tables without owning them; each
// check has its own, so two checks in one process share nothing.
//
// A table may be added or removed from inside Dispatch(), by another
// table's OnComplete() (a PAT naming a new PMT PID, or dropping one); a
// table added for the PID of the packet being dispatched is given that
// packet too.
class CTableDispatcher {
public:
    void Add(CTable* table);
    // Stops feeding table; nothing of it is touched afterwards.
    void Remove(const CTable* table);

    // Feeds one 188-byte packet to every table of pid (as read from the
    // packet), in the order they were added; returns how many sections
    // completed by it failed their CRC_32, each counted once however many
    // tables of the PID verified it. A section a table does not read
    // (WantsSection() false) is not verified, and never counts. Inline: it
    // runs for every packet of the stream, and most PIDs have no table.
    int Dispatch(const uint8_t* packet, int pid) { return Wants(pid) ? DispatchToTables(packet, pid) : 0; }
    int Dispatch(const uint8_t* packet) { return Dispatch(packet, Pid(packet)); }
    // Whether pid has a table: whether Dispatch() would feed its packets
    // to any.
    bool Wants(int pid) const { return m_bWanted[pid]; }
    // The sections of pid that failed their CRC_32 so far, as Dispatch()
    // returned them: kept here, so the packet loop need not add them up.
    uint64_t CrcErrors(int pid) const { return m_crcErrors[static_cast<size_t>(pid)]; }
    // The descriptors of pid's parsed sections that were cut short or ran
    // past their descriptor_length, added up from the tables' Parse().
    uint64_t DescriptorErrors(int pid) const { return m_descriptorErrors[static_cast<size_t>(pid)]; }

    // Tells whether a packet with payload that repeats the
    // continuity_counter of the packet before it on its PID is a copy of
    // that packet (passed over) or the first after 15 lost (the section in
    // hand is broken). Without one, the dispatcher keeps the last 8 bytes
    // of each packet of a wanted PID and compares those.
    using CCopyTest = std::function<bool(const uint8_t* packet, int pid)>;
    void SetCopyTest(CCopyTest test);

    CTableDispatcher();

private:
    // Sections one packet can complete: each takes 3 bytes at least.
    static constexpr int kMaxFailures = 188 / 3 + 1;

    int DispatchToTables(const uint8_t* packet, int pid);
    void UpdateWanted(int pid);

    std::vector<CTable*> m_tables;  // null where a table was removed
    int m_nRemoved = 0;             // null entries in m_tables
    int m_nDepth = 0;               // DispatchToTables() calls in progress
    // Which PIDs have a table: most packets are for none, and pass with one
    // lookup.
    bool m_bWanted[kPidCount] = {};
    // The continuity_counter of the last packet of each wanted PID, -1
    // before the first: a packet sent twice is passed over.
    int8_t m_lastCounter[kPidCount];
    CCopyTest m_copyTest;
    std::vector<uint64_t> m_lastTail = std::vector<uint64_t>(kPidCount, 0);  // without a copy test
    std::vector<uint64_t> m_crcErrors = std::vector<uint64_t>(kPidCount, 0);
    std::vector<uint64_t> m_descriptorErrors = std::vector<uint64_t>(kPidCount, 0);
};
