// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/TSPacket.h"
#include "si/Section.h"

namespace tsvigil {

// A whole section as the dispatcher hands it out: its bytes from table_id
// to the end of its CRC_32, the PID it came on, and the packet that
// completed it.
struct SectionView {
    const uint8_t* data = nullptr;
    int length = 0;
    int pid = 0;
    const uint8_t* packet = nullptr;
};

// What reads the sections of a PID: it holds the tables it parses them
// into, and is told of each whole section that passed its CRC_32.
class SectionHandler {
public:
    virtual ~SectionHandler() = default;
    // Whether the section, not yet verified, is one the handler reads at
    // all: a section no handler of its PID reads is not worth its CRC_32
    // (most of the EIT PID is schedules nobody reads), and never counts as
    // failed.
    virtual bool WantsSection(const SectionView& section) const {
        (void)section;
        return true;
    }
    // Whether a section identical to the last one handed to this handler
    // (the same CRC_32) may pass it by: true where reading it again would
    // only restate what the repeat already said (PSI repeated ten times a
    // second).
    virtual bool SkipsRepeats() const { return false; }
    // Reads a whole section that passed its CRC_32. Returns the descriptors
    // of it that the handler's parse found cut short by their loop's end or
    // running past their descriptor_length (0 where it parsed none), for the
    // PID's count.
    virtual int OnSection(const SectionView& section) = 0;
};

// Routes the packets of a transport stream to the handlers of their PIDs.
// It keeps one section assembler per PID that has a handler, verifies each
// section once, and hands it to the PID's handlers in the order they were
// added. It points at the handlers without owning them; each check has its
// own, so two checks in one process share nothing.
//
// A handler may be added or removed from inside Dispatch(), by another
// handler's OnSection() (a PAT naming a new PMT PID, or dropping one); a
// handler added for the PID of the packet being dispatched is handed the
// section in hand and those that packet still completes.
class TableDispatcher {
public:
    void Add(int pid, SectionHandler* handler);
    // Stops handing sections of pid to handler; nothing of it is touched
    // afterwards. The PID's assembler goes with its last handler.
    void Remove(int pid, const SectionHandler* handler);
    // Hands the next section of pid to handler even when it repeats the
    // last one handed to it.
    void ForgetRepeat(int pid, const SectionHandler* handler);

    // Feeds one 188-byte packet to the assembler of pid (as read from the
    // packet); returns how many sections completed by it failed their
    // CRC_32. A section no handler reads is not verified, and never
    // counts. Inline: it runs for every packet of the stream, and most PIDs
    // have no handler.
    int Dispatch(const uint8_t* packet, int pid) { return Wants(pid) ? DispatchToHandlers(packet, pid) : 0; }
    int Dispatch(const uint8_t* packet) { return Dispatch(packet, Pid(packet)); }
    // Whether pid has a handler: whether Dispatch() would read its packets.
    bool Wants(int pid) const { return m_wanted[pid]; }
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
    using CopyTest = std::function<bool(const uint8_t* packet, int pid)>;
    void SetCopyTest(CopyTest test);

    TableDispatcher();
    ~TableDispatcher();

private:
    struct Entry {
        SectionHandler* handler;  // null where removed
        bool skipsRepeats;
        bool haveLastCrc;
        uint32_t lastCrc;
    };
    // The assembler of one PID and its handlers.
    struct PidSections {
        Section assembler;
        std::vector<Entry> handlers;
        int live = 0;  // handlers not removed
    };

    int DispatchToHandlers(const uint8_t* packet, int pid);
    // Hands the section now in the PID's assembler to its handlers; false
    // when it failed its CRC_32.
    bool HandOut(PidSections& sections, const SectionView& view);
    Entry* Find(int pid, const SectionHandler* handler);
    void Drop(int pid);

    std::vector<std::unique_ptr<PidSections>> m_pids = std::vector<std::unique_ptr<PidSections>>(kPidCount);
    // Which PIDs have a handler: most packets are for none, and pass with
    // one lookup.
    bool m_wanted[kPidCount] = {};
    // The PID whose packet is being dispatched, -1 between packets: its
    // assembler stays until the packet is done, whatever handlers go.
    int m_dispatching = -1;
    // The continuity_counter of the last packet of each wanted PID, -1
    // before the first: a packet sent twice is passed over.
    int8_t m_lastCounter[kPidCount];
    CopyTest m_copyTest;
    std::vector<uint64_t> m_lastTail = std::vector<uint64_t>(kPidCount, 0);  // without a copy test
    std::vector<uint64_t> m_crcErrors = std::vector<uint64_t>(kPidCount, 0);
    std::vector<uint64_t> m_descriptorErrors = std::vector<uint64_t>(kPidCount, 0);
};

}  // namespace tsvigil
