// SPDX-License-Identifier: BSD-2-Clause
#include "tools/TestStream.h"

#include <algorithm>
#include <cstdio>

#include "si/Section.h"

namespace tsvigil {

namespace tsgen {

void StreamBuilder::AddTransportPacket(const uint8_t* packet188, int lostBytes) {
    if (m_packetSize == 192) {
        // A 4-byte arrival time stamp prefix; its first byte is never 0x47.
        const uint32_t ts = static_cast<uint32_t>(m_packets * 1000) & 0x3FFFFFFF;
        m_data.push_back(static_cast<uint8_t>(ts >> 24));
        m_data.push_back(static_cast<uint8_t>(ts >> 16));
        m_data.push_back(static_cast<uint8_t>(ts >> 8));
        m_data.push_back(static_cast<uint8_t>(ts));
    }
    const int lost = std::max(0, std::min(lostBytes, 180));
    m_data.insert(m_data.end(), packet188, packet188 + 8);
    m_data.insert(m_data.end(), packet188 + 8 + lost, packet188 + 188);
    if (m_packetSize == 204) m_data.insert(m_data.end(), 16, 0x00);  // a parity trailer
    ++m_packets;
}

StreamBuilder::PidPacketFaults StreamBuilder::NextPidFaults(int pid) const {
    PidPacketFaults f;
    if (m_pidRules.empty()) return f;
    const auto it = m_pidPackets.find(pid);
    const long long k = (it == m_pidPackets.end() ? 0 : it->second) + 1;
    for (const PidFaultRule& r : m_pidRules) {
        if (r.pid != pid || r.n <= 0) continue;
        const bool nth = k % r.n == 0;
        switch (r.kind) {
        case PidFaultKind::Drop: f.drop |= nth; break;
        case PidFaultKind::Duplicate: f.duplicate |= nth; break;
        case PidFaultKind::Triple: f.triple |= nth; break;
        case PidFaultKind::Discontinuity: f.discontinuity |= nth; break;
        case PidFaultKind::Scramble: f.scrambled |= nth; break;
        case PidFaultKind::ScrambleFirst: f.scrambled |= k <= r.n; break;
        }
    }
    return f;
}

size_t StreamBuilder::PayloadRoom(int pid) const { return NextPidFaults(pid).discontinuity ? 182 : 184; }

void StreamBuilder::AddPacket(int pid, const Bytes& payload, bool unitStart,
                               const PacketFaults& faults, bool noPayload) {
    if (m_pcrEvery > 0 && m_sent >= m_nextPcr) {
        m_nextPcr = (m_sent / m_pcrEvery + 1) * m_pcrEvery;
        const PcrStamp stamp = m_pcrStamp(m_sent);
        Put(m_pcrPid, {}, false, {}, true, Withheld(-1) ? nullptr : &stamp);
    }
    Put(pid, payload, unitStart, faults, noPayload, nullptr);
}

void StreamBuilder::Put(int pid, const Bytes& payload, bool unitStart, const PacketFaults& faults,
                         bool noPayload, const PcrStamp* pcr) {
    PidPacketFaults pf;
    if (!m_pidRules.empty()) {
        pf = NextPidFaults(pid);
        ++m_pidPackets[pid];
    }
    for (DropRun& r : m_dropRuns) {
        if (r.pid != pid || m_sent < r.from || r.left <= 0) continue;
        --r.left;
        pf.drop = true;
    }
    uint8_t p[188];
    std::fill(p, p + 188, 0xFF);
    int& cc = m_counters[pid];
    // At a declared discontinuity the counter may take any value; it jumps
    // by 5 where it would have moved by 1.
    if (pf.discontinuity) cc = (cc + 4) % 16;
    if (!noPayload) cc = (cc + faults.counterStep - 1 + 16) % 16;
    const uint8_t scrambling = (faults.scrambled || pf.scrambled) ? 0x80 : 0x00;
    p[0] = faults.badSync ? 0x46 : 0x47;
    p[1] = static_cast<uint8_t>((faults.transportError ? 0x80 : 0) | (unitStart ? 0x40 : 0) |
                                ((pid >> 8) & 0x1F));
    p[2] = static_cast<uint8_t>(pid);
    if (noPayload) {
        // Adaptation field only: it repeats the counter of the packet before.
        p[3] = static_cast<uint8_t>(scrambling | 0x20 | ((cc + 15) & 0x0F));
        p[4] = 183;
        p[5] = pf.discontinuity ? 0x80 : 0x00;
        if (pcr) {
            // PCR_flag, then program_clock_reference_base (33 bits), six
            // reserved bits and program_clock_reference_extension (9 bits).
            const uint64_t base = pcr->pcr / 300;
            const unsigned ext = static_cast<unsigned>(pcr->pcr % 300);
            p[5] = static_cast<uint8_t>(p[5] | 0x10 | (pcr->discontinuity ? 0x80 : 0x00));
            p[6] = static_cast<uint8_t>(base >> 25);
            p[7] = static_cast<uint8_t>(base >> 17);
            p[8] = static_cast<uint8_t>(base >> 9);
            p[9] = static_cast<uint8_t>(base >> 1);
            p[10] = static_cast<uint8_t>(((base & 1) << 7) | 0x7E | (ext >> 8));
            p[11] = static_cast<uint8_t>(ext);
        }
    } else if (pf.discontinuity) {
        // adaptation_field_control 11: an adaptation field of its flags
        // byte alone (discontinuity_indicator), then 182 payload bytes.
        p[3] = static_cast<uint8_t>(scrambling | 0x30 | (cc & 0x0F));
        p[4] = 1;
        p[5] = 0x80;
        std::copy_n(payload.begin(), std::min<size_t>(payload.size(), 182), p + 6);
        cc = (cc + 1) % 16;
    } else {
        p[3] = static_cast<uint8_t>(scrambling | 0x10 | (cc & 0x0F));
        std::copy_n(payload.begin(), std::min<size_t>(payload.size(), 184), p + 4);
        cc = (cc + 1) % 16;
    }
    // A dropped packet, and one in the gap, took its place in the broadcast
    // all the same.
    auto send = [&]() {
        if (!pf.drop && (m_sent < m_gapFirst || m_sent >= m_gapEnd)) AddTransportPacket(p, faults.lostBytes);
        ++m_sent;
    };
    send();
    if (pf.drop) return;
    const int copies = faults.copies + (pf.duplicate ? 1 : 0) + (pf.triple ? 2 : 0);
    for (int i = 1; i < copies; ++i) send();
}

void StreamBuilder::AddFiller(int pid, const PacketFaults& faults) {
    Bytes payload(184);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7 + 1);
    // Keep 0x47 out of the payload so no stray sync byte can prove a
    // boundary; real payloads are not so kind, and the tests that want
    // stray sync bytes add them on purpose.
    std::replace(payload.begin(), payload.end(), uint8_t(0x47), uint8_t(0x48));
    // Seven bits of the number a byte, the top bit set: never 0x47 either.
    for (size_t i = 0; i < 8; ++i)
        payload[183 - i] = static_cast<uint8_t>(0x80 | ((static_cast<uint64_t>(m_sent) >> (7 * i)) & 0x7F));
    AddPacket(pid, payload, false, faults);
}

void StreamBuilder::AddSection(int pid, const Bytes& given) {
    if (Withheld(pid)) {
        AddPacket(0x1FFF, {});  // a null packet
        return;
    }
    Bytes spoilt;
    for (SectionRuleCount& c : m_sectionRules) {
        if (given.empty() || c.rule.n <= 0 || given[0] < c.rule.tableIdLo || given[0] > c.rule.tableIdHi) continue;
        if (++c.sections % c.rule.n == 0 && spoilt.empty()) spoilt = WithBadCrc(given);
    }
    const Bytes& section = spoilt.empty() ? given : spoilt;
    size_t pos = 0;
    bool first = true;
    while (first || pos < section.size()) {
        Bytes payload;
        if (first) payload.push_back(0x00);  // pointer_field
        const size_t room = PayloadRoom(pid) - payload.size();
        const size_t n = std::min(room, section.size() - pos);
        payload.insert(payload.end(), section.begin() + pos, section.begin() + pos + n);
        pos += n;
        AddPacket(pid, payload, first);
        first = false;
    }
}

void StreamBuilder::AddRaw(const Bytes& bytes) { m_data.insert(m_data.end(), bytes.begin(), bytes.end()); }

Bytes PesHeader(int streamId, int length, bool hasPts, uint64_t pts) {
    Bytes b = {0x00, 0x00, 0x01, static_cast<uint8_t>(streamId), static_cast<uint8_t>(length >> 8),
               static_cast<uint8_t>(length), 0x80, static_cast<uint8_t>(hasPts ? 0x80 : 0x00),
               static_cast<uint8_t>(hasPts ? 5 : 0)};
    if (hasPts) {
        pts &= (uint64_t{1} << 33) - 1;
        // '0010', PTS[32..30], marker, PTS[29..15], marker, PTS[14..0], marker.
        b.push_back(static_cast<uint8_t>(0x21 | ((pts >> 29) & 0x0E)));
        b.push_back(static_cast<uint8_t>(pts >> 22));
        b.push_back(static_cast<uint8_t>(((pts >> 14) & 0xFE) | 1));
        b.push_back(static_cast<uint8_t>(pts >> 7));
        b.push_back(static_cast<uint8_t>(((pts << 1) & 0xFE) | 1));
    }
    return b;
}

Bytes FinishSection(Bytes body) {
    const int length = static_cast<int>(body.size()) + 4 - 3;
    body[1] = static_cast<uint8_t>((body[1] & 0xF0) | ((length >> 8) & 0x0F));
    body[2] = static_cast<uint8_t>(length);
    const uint32_t crc = Crc32(body.data(), static_cast<int>(body.size()));
    for (int s = 24; s >= 0; s -= 8) body.push_back(static_cast<uint8_t>(crc >> s));
    return body;
}

Bytes WithBadCrc(Bytes section) {
    if (!section.empty()) section.back() ^= 0xFF;
    return section;
}

int DateToMjd(int year, int month, int day) {
    // ETSI EN 300 468 Annex C, the inverse direction.
    const int l = (month == 1 || month == 2) ? 1 : 0;
    return 14956 + day + static_cast<int>((year - 1900 - l) * 365.25) +
           static_cast<int>((month + 1 + l * 12) * 30.6001);
}

namespace {

Bytes TimeBody(uint8_t tableId, uint8_t flags, int year, int month, int day, int hour, int minute,
               int second) {
    const int mjd = DateToMjd(year, month, day);
    return {tableId, flags, 0x00, static_cast<uint8_t>(mjd >> 8), static_cast<uint8_t>(mjd),
            Bcd(hour), Bcd(minute), Bcd(second)};
}

}  // namespace

Bytes MakeTOT(int year, int month, int day, int hour, int minute, int second, const Bytes& descriptors) {
    Bytes b = TimeBody(0x73, 0x70, year, month, day, hour, minute, second);
    const int n = static_cast<int>(descriptors.size());
    b.push_back(static_cast<uint8_t>(0xF0 | ((n >> 8) & 0x0F)));
    b.push_back(static_cast<uint8_t>(n));
    b.insert(b.end(), descriptors.begin(), descriptors.end());
    return FinishSection(b);
}

Bytes MakeTDT(int year, int month, int day, int hour, int minute, int second) {
    Bytes b = TimeBody(0x70, 0x70, year, month, day, hour, minute, second);
    b[2] = 5;  // section_length: the five time bytes
    return b;
}

bool WriteFile(const std::string& path, const Bytes& data) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace tsgen

}  // namespace tsvigil
