// SPDX-License-Identifier: BSD-2-Clause
#include "si/TableDispatcher.h"

#include <algorithm>
#include <iterator>

namespace tsvigil {

TableDispatcher::TableDispatcher() { std::fill(std::begin(m_lastCounter), std::end(m_lastCounter), int8_t(-1)); }

TableDispatcher::~TableDispatcher() = default;

void TableDispatcher::SetCopyTest(CopyTest test) {
    m_copyTest = std::move(test);
    std::vector<uint64_t>().swap(m_lastTail);
    if (!m_copyTest) m_lastTail.assign(kPidCount, 0);
}

void TableDispatcher::Add(int pid, SectionHandler* handler) {
    pid &= kPidCount - 1;
    std::unique_ptr<PidSections>& s = m_pids[static_cast<size_t>(pid)];
    if (!s) s = std::make_unique<PidSections>();
    s->handlers.push_back(Entry{handler, handler->SkipsRepeats(), false, 0});
    ++s->live;
    m_wanted[pid] = true;
}

TableDispatcher::Entry* TableDispatcher::Find(int pid, const SectionHandler* handler) {
    const std::unique_ptr<PidSections>& s = m_pids[static_cast<size_t>(pid & (kPidCount - 1))];
    if (!s || handler == nullptr) return nullptr;
    auto at = std::find_if(s->handlers.begin(), s->handlers.end(),
                           [handler](const Entry& e) { return e.handler == handler; });
    return at == s->handlers.end() ? nullptr : &*at;
}

void TableDispatcher::Remove(int pid, const SectionHandler* handler) {
    pid &= kPidCount - 1;
    Entry* e = Find(pid, handler);
    if (e == nullptr) return;
    PidSections& s = *m_pids[static_cast<size_t>(pid)];
    // Only marked while the PID's packet is dispatched: the walk goes by
    // index, and the assembler is in use.
    e->handler = nullptr;
    --s.live;
    if (pid == m_dispatching) {
        if (s.live == 0) m_wanted[pid] = false;
        return;
    }
    s.handlers.erase(s.handlers.begin() + (e - s.handlers.data()));
    if (s.live == 0) Drop(pid);
}

void TableDispatcher::ForgetRepeat(int pid, const SectionHandler* handler) {
    if (Entry* e = Find(pid, handler)) e->haveLastCrc = false;
}

void TableDispatcher::Drop(int pid) {
    m_pids[static_cast<size_t>(pid)].reset();
    m_wanted[pid] = false;
}

int TableDispatcher::DispatchToHandlers(const uint8_t* packet, int pid) {
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
    PidSections& s = *m_pids[static_cast<size_t>(pid)];
    m_dispatching = pid;
    int failed = 0;
    while (s.live > 0 && s.assembler.Append(packet)) {
        const SectionView view{s.assembler.Data(), s.assembler.Length(), pid, packet};
        // A failed section is dropped; the next one is looked for where the
        // packet says it starts.
        if (!HandOut(s, view)) ++failed;
    }
    m_dispatching = -1;
    // The holes left by handlers removed meanwhile, and the assembler once
    // the last handler went.
    if (s.live == 0) {
        Drop(pid);
    } else if (s.live != static_cast<int>(s.handlers.size())) {
        s.handlers.erase(std::remove_if(s.handlers.begin(), s.handlers.end(),
                                        [](const Entry& e) { return e.handler == nullptr; }),
                         s.handlers.end());
    }
    if (failed != 0) m_crcErrors[static_cast<size_t>(pid)] += static_cast<uint64_t>(failed);
    return failed;
}

bool TableDispatcher::HandOut(PidSections& s, const SectionView& view) {
    bool verified = false;
    // Two handlers that parse one section find its faults twice: they count
    // once.
    int descriptorErrors = 0;
    // By index and with the size read anew each time: a handler's
    // OnSection() may add another handler of this PID, and the push_back
    // may move the storage.
    for (size_t i = 0; i < s.handlers.size(); ++i) {
        SectionHandler* h = s.handlers[i].handler;
        if (h == nullptr || !h->WantsSection(view)) continue;
        if (!verified) {
            if (!Section::Verify(view.data, view.length)) return false;
            verified = true;
        }
        // The last four bytes tell a repeat (the CRC_32, where the table
        // has one); a section shorter than that is never one.
        if (s.handlers[i].skipsRepeats && view.length >= 4) {
            const uint8_t* c = view.data + view.length - 4;
            const uint32_t crc = (uint32_t(c[0]) << 24) | (uint32_t(c[1]) << 16) | (uint32_t(c[2]) << 8) | c[3];
            Entry& e = s.handlers[i];
            if (e.haveLastCrc && crc == e.lastCrc) continue;
            e.lastCrc = crc;
            e.haveLastCrc = true;
        }
        descriptorErrors = std::max(descriptorErrors, h->OnSection(view));
    }
    m_descriptorErrors[static_cast<size_t>(view.pid)] += static_cast<uint64_t>(descriptorErrors);
    return true;
}

}  // namespace tsvigil
