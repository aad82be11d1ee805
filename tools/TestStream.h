// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// Builds synthetic transport streams for the tests, the demo and the
// benchmark: packets of chosen size with correct continuity counters,
// PSI/SI sections split over packets, and injectable faults.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tsvigil {

namespace tsgen {

using Bytes = std::vector<uint8_t>;

// How one packet deviates from a clean one.
struct PacketFaults {
    bool scrambled = false;        // transport_scrambling_control = 10
    bool transportError = false;   // transport_error_indicator set
    bool badSync = false;          // sync byte 0x47 damaged
    int counterStep = 1;           // 1 normally; 0 repeats, 2 skips one
    int lostBytes = 0;             // bytes lost from the packet's middle (a recorder's overflow)
    int copies = 1;                // 2 sends the packet twice, 3 three times: the same bytes
};

// A fault aimed at the packets of one PID, counted from its first packet
// (duplicate copies not counted): each Nth of them, or the first N.
enum class PidFaultKind {
    Drop,           // left out; the counter moves on as if it had been sent
    Duplicate,      // sent twice, the same bytes and continuity_counter
    Triple,         // sent three times, the same bytes and continuity_counter
    Discontinuity,  // discontinuity_indicator set, the counter jumps by 5
    Scramble,       // transport_scrambling_control 10
    ScrambleFirst,  // the first N packets with transport_scrambling_control 10
};

struct PidFaultRule {
    int pid = 0;
    PidFaultKind kind = PidFaultKind::Drop;
    long long n = 0;
};

// Every nth section (n >= 1) whose table_id lies in lo to hi, counted from
// the first such section, is sent with its CRC_32 damaged.
struct SectionFaultRule {
    int tableIdLo = 0;
    int tableIdHi = 0;
    long long n = 0;
};

// The program_clock_reference of one PCR packet, in 27 MHz units (base * 300
// + extension, below 2^33 * 300), and whether its packet declares a
// discontinuity of the clock.
struct PcrStamp {
    uint64_t pcr = 0;
    bool discontinuity = false;
};

class StreamBuilder {
public:
    explicit StreamBuilder(int packetSize = 188) : m_packetSize(packetSize) {}

    // One packet of PID pid carrying payload (at most 184 bytes, 182 behind
    // a discontinuity's adaptation field; the rest is 0xFF). With an
    // adaptation-field-only packet (payload empty and noPayload set) the
    // counter is not advanced.
    void AddPacket(int pid, const Bytes& payload, bool unitStart = false,
                   const PacketFaults& faults = {}, bool noPayload = false);
    // A packet with a payload of filler bytes; the last 8 carry the
    // packet's number in the broadcast (see Sent()), so that no two filler
    // packets are alike, as no two picture or sound packets are.
    void AddFiller(int pid, const PacketFaults& faults = {});
    // Splits a section (or several, back to back) over packets of pid: the
    // first with payload_unit_start_indicator and pointer_field 0, the last
    // padded with 0xFF.
    void AddSection(int pid, const Bytes& section);
    // Bytes outside any packet (stray bytes, a cut-off packet).
    void AddRaw(const Bytes& bytes);
    // A whole 188-byte transport packet, framed as the stream's size asks;
    // lostBytes (at most 180) are left out from its middle.
    void AddTransportPacket(const uint8_t* packet188, int lostBytes = 0);

    // Faults on chosen PIDs from here on, for every way a packet is added
    // (sections included: a packet that carries a discontinuity_indicator
    // carries two bytes less of the section).
    void AddPidFault(const PidFaultRule& rule) { m_pidRules.push_back(rule); }
    void ClearPidFaults() {
        m_pidRules.clear();
        m_dropRuns.clear();
    }
    // count packets of pid in a row left out, from the first at or after
    // the packet numbered from (see Sent()); the counter moves on.
    void AddDropRun(int pid, long long from, long long count) { m_dropRuns.push_back({pid, from, count}); }
    // Damaged CRC_32s on sections of chosen tables, for every AddSection.
    void AddSectionFault(const SectionFaultRule& rule) { m_sectionRules.push_back({rule, 0}); }

    // A PCR on pid every `every` packets of the broadcast (see Sent()): an
    // adaptation-field-only packet put before the packet that would be the
    // first at or after each multiple of every, the first one before the
    // first packet. stamp gives the PCR of the packet numbered n.
    void SetPcrClock(int pid, long long every, std::function<PcrStamp(long long n)> stamp) {
        m_pcrPid = pid;
        m_pcrEvery = every;
        m_pcrStamp = std::move(stamp);
    }
    // The packets numbered first to first + count - 1 are made (counters,
    // PCRs and the PID faults' counts move on) but not written: a stretch of
    // the broadcast the recorder missed.
    void SetGap(long long first, long long count) {
        m_gapFirst = first;
        m_gapEnd = first + count;
    }
    // An adaptation-field-only packet on pid carrying pcr, apart from the
    // clock of SetPcrClock.
    void AddPcrPacket(int pid, uint64_t pcr) {
        PcrStamp s;
        s.pcr = pcr;
        Put(pid, {}, false, {}, true, &s);
    }

    // From packet first (see Sent()) for count packets: sections of pid are
    // withheld, a null packet sent for each in its place; pid -1: the PCR
    // packets of SetPcrClock go out with their PCR_flag cleared.
    void Withhold(int pid, long long first, long long count) { m_withheld.push_back({pid, first, first + count}); }

    // Packets of the broadcast made through AddPacket so far, whether
    // written, dropped by a PID fault or in the gap; Clear() keeps it.
    long long Sent() const { return m_sent; }

    // The next continuity_counter of pid (and lets a test set it).
    int& Counter(int pid) { return m_counters[pid]; }

    const Bytes& Data() const { return m_data; }
    size_t PacketCount() const { return m_packets; }
    int PacketSize() const { return m_packetSize; }
    void Clear() {
        m_data.clear();
        m_packets = 0;
    }

private:
    struct PidPacketFaults {
        bool drop = false;
        bool duplicate = false;
        bool triple = false;
        bool discontinuity = false;
        bool scrambled = false;
    };
    // What the rules do to the next packet of pid.
    PidPacketFaults NextPidFaults(int pid) const;
    // Payload bytes the next packet of pid can carry.
    size_t PayloadRoom(int pid) const;
    // AddPacket without the PCR clock; an adaptation-field-only packet
    // carries pcr when given.
    void Put(int pid, const Bytes& payload, bool unitStart, const PacketFaults& faults, bool noPayload,
             const PcrStamp* pcr);

    int m_packetSize;
    Bytes m_data;
    size_t m_packets = 0;
    std::map<int, int> m_counters;
    std::vector<PidFaultRule> m_pidRules;
    std::map<int, long long> m_pidPackets;  // packets of each PID so far, while rules are set
    long long m_sent = 0;
    long long m_gapFirst = 0, m_gapEnd = 0;
    int m_pcrPid = -1;
    long long m_pcrEvery = 0;
    long long m_nextPcr = 0;
    std::function<PcrStamp(long long)> m_pcrStamp;
    struct SectionRuleCount {
        SectionFaultRule rule;
        long long sections = 0;
    };
    std::vector<SectionRuleCount> m_sectionRules;
    struct WithheldRange {
        int pid;
        long long first, end;
    };
    std::vector<WithheldRange> m_withheld;
    bool Withheld(int pid) const {
        for (const WithheldRange& w : m_withheld)
            if (w.pid == pid && m_sent >= w.first && m_sent < w.end) return true;
        return false;
    }
    struct DropRun {
        int pid;
        long long from;
        long long left;
    };
    std::vector<DropRun> m_dropRuns;
};

// The start of a PES (ISO/IEC 13818-1 2.4.3.6): packet_start_code_prefix,
// stream_id, PES_packet_length, and the optional header with a PTS (33
// bits, taken modulo 2^33) when hasPts is set, else with none.
Bytes PesHeader(int streamId, int length, bool hasPts, uint64_t pts);

// A section with the CRC_32 appended; body runs from table_id up to the
// byte before the CRC, with section_length filled in from its size.
Bytes FinishSection(Bytes body);

// The section with its CRC_32 damaged (the last byte flipped): it must be
// dropped by a receiver.
Bytes WithBadCrc(Bytes section);

// A TOT (table_id 0x73) for the given JST time with a descriptor loop.
Bytes MakeTOT(int year, int month, int day, int hour, int minute, int second,
              const Bytes& descriptors = {});
// A TDT (table_id 0x70): the same time, no descriptors, no CRC_32.
Bytes MakeTDT(int year, int month, int day, int hour, int minute, int second);

// MJD of a calendar date, and a byte of two BCD digits.
int DateToMjd(int year, int month, int day);
inline uint8_t Bcd(int v) { return static_cast<uint8_t>(((v / 10) << 4) | (v % 10)); }

// Writes bytes to a file; false on failure.
bool WriteFile(const std::string& path, const Bytes& data);

}  // namespace tsgen

}  // namespace tsvigil
