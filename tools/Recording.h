// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// Whole synthetic recordings: a realistic PID mix with video, audio, PSI
// and SI, written to a file in blocks so any size can be made.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/TestStream.h"

namespace tsvigil {

namespace tsgen {

// A fault aimed at the packets of one PID, counted from its first packet in
// the file: every Nth of them (N = every), or for scrambleStart the first N.
struct PidFault {
    int pid = -1;
    long long every = 0;
};

struct RecordingOptions {
    int packetSize = 188;
    long long packets = 10000;
    long long bytes = 0;  // when set, overrides packets
    bool si = false;      // TOT every few seconds, EIT present/following and schedule
    bool psi = false;     // the PAT, PMTs, CAT and SDT of RecordingPsi() and packets on their PIDs
    long long dropEvery = 0;
    long long dupEvery = 0;
    long long badSyncEvery = 0;
    long long scrambleEvery = 0;
    long long teiEvery = 0;
    long long badCrcEvery = 0;  // every Nth TOT/EIT section with a damaged CRC_32
    long long loseBytesEvery = 0;  // 100 bytes lost inside every Nth packet
    int cutTail = 0;               // the file ends with this many bytes of one more packet
    long long garbageTail = 0;     // then this many zero bytes
    // Faults on chosen PIDs, whatever they carry (SI and PSI sections too),
    // any number of each; they leave the other PIDs as they would be.
    std::vector<PidFault> dropPid;        // every Nth packet left out: a counter gap
    std::vector<PidFault> dupPid;         // every Nth packet sent twice, the same bytes
    std::vector<PidFault> triplePid;      // every Nth packet sent three times, the same bytes
    std::vector<PidFault> discPid;        // every Nth packet with discontinuity_indicator and a counter jump of 5
    std::vector<PidFault> scrambleStart;  // the first N packets scrambled
    std::vector<PidFault> scramblePid;    // every Nth packet scrambled
    // Every lossRunEvery-th picture packet follows lossRun lost ones: its
    // continuity_counter moves on by lossRun + 1 (15 lost repeat the counter).
    int lossRun = 0;
    long long lossRunEvery = 0;
    // Every Nth section of the table_ids lo to hi (PAT, PMT, EIT, TOT...)
    // with its CRC_32 damaged; any number of rules.
    std::vector<SectionFaultRule> badCrc;

    // Timed recordings. With any of the options below, packet n of the
    // broadcast (counting from 0 the packets written, those the faults drop
    // and those of the cut) is sent n / 11000 s after 2008-06-01 12:00:00
    // JST: the TOT says the second it is sent in, the EIT present/following
    // changes at whole seconds of it, and a PCR carries it.
    //
    // A PCR every 40 ms (440 packets), from the first packet on, on the
    // PCR_PID of the first programme of the PAT: 0x01FF with psi (which
    // then sends no other packets there), else 0x0111 (the video), as
    // adaptation-field-only packets. The PCR of packet n is
    // pcrStart + n * 27,000,000 / 11,000 (rounded down), less 60 s for each
    // reset it follows, modulo 2^33 * 300.
    bool pcr = false;
    // The default puts the wrap of program_clock_reference_base 20 s into
    // the broadcast.
    uint64_t pcrStart = (uint64_t{1} << 33) * 300 - 20ULL * 27000000;
    // At each of these seconds of the broadcast the PCR goes back 60 s: the
    // first PCR at or after it is 60 s earlier than the clock runs; from
    // pcrResetDeclared that PCR's packet sets discontinuity_indicator. Either
    // turns pcr on.
    std::vector<double> pcrReset;
    std::vector<double> pcrResetDeclared;
    // The cut: the cutSeconds of broadcast from cutAt seconds on (packets
    // round(cutAt * 11000) up to round((cutAt + cutSeconds) * 11000),
    // exclusive) are not in the file; the PCRs, TOTs, EITs and
    // continuity_counters after it are those of the broadcast, which went
    // on. packets (or bytes) still counts the packets in the file.
    double cutSeconds = 0;
    double cutAt = 0;
    // The programmes of the first service (0x0400) last programmeSeconds
    // each; the one on air at the first packet began programmeStartOffset
    // seconds before it (0: with it; negative: the next one begins
    // -programmeStartOffset seconds after it). The one on air at the first
    // packet is event 1, the next event 2, and so on. Turns si on; the other
    // services keep their 30-minute programmes.
    int programmeSeconds = 0;
    int programmeStartOffset = 0;
    // Packets of the broadcast per second: the clock of timed recordings and
    // the pace of the TOT and EIT. The default is the 16.8 Mbit/s of an
    // ISDB-T multiplex; a few hundred put many TOTs in a small file.
    long long packetsPerSecond = 11000;
    // The PAT and the PMTs are first sent this many seconds into the
    // broadcast (the PCR runs from the first packet on).
    double psiFrom = 0;
    // With psi: the SDT names the first service by these bytes as they
    // stand (no ARIB STD-B24 coding), as a remuxer writes it; empty: ARIB.
    std::string plainServiceName;
    // Before anything else, this many PIDs from 0x1000 on carry one
    // adaptation-field-only packet each with a PCR.
    int pcrPidsBefore = 0;
    // Withheld stretches of a timed recording (seconds of the broadcast,
    // from `at` on): the sections of a PID not sent (PID 0: the PAT; a
    // PMT PID: its PMT), each replaced by a null packet, or the PCR
    // packets sent with their PCR_flag cleared (pid -1).
    struct Withheld {
        int pid = -1;
        double seconds = 0;
        double at = 0;
    };
    std::vector<Withheld> withheldSections;
    std::vector<Withheld> withheldPcr;

    // PES on the picture and sound PIDs (without it their packets are
    // filler): the sound in PES of 4 packets with PES_packet_length, the
    // picture in one PES a frame (1001/30000 s) with PES_packet_length 0,
    // each with a PTS of the broadcast clock (that of the PCR, 0.3 s ahead),
    // whether the PCR is sent or not.
    bool pes = false;
    // The sound PES cycle through 4, 8, 4 and 12 packets.
    bool pesVary = false;
    // Every Nth sound PES says one packet more in PES_packet_length than it
    // carries.
    long long pesLongEvery = 0;
    // The PES that begin within these seconds carry no PTS.
    double noPtsSeconds = 0;
    double noPtsAt = 0;
    // Runs of packets left out: from the first packet of pid at or after
    // second `at`, count packets in a row (16 of them leave the
    // continuity_counter where it was).
    struct DropRun {
        int pid = 0;
        long long count = 0;
        double at = 0;
    };
    std::vector<DropRun> dropRuns;
};

bool WriteRecording(const std::string& path, const RecordingOptions& options);

// The sample recording of the demo: a whole multiplex, every kind of
// report line, the first service's faults in its programme's margins.
bool WriteDemoRecording(const std::string& path);

}  // namespace tsgen

}  // namespace tsvigil
