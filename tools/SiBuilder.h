// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// PSI/SI sections for synthetic recordings: PAT, PMT, CAT, SDT, TOT and EIT with
// ARIB STD-B24 coded names, and a schedule that places them in a stream
// the way a broadcaster's multiplexer does.

#include <string>
#include <vector>

#include "tools/TestStream.h"

namespace tsvigil {

namespace tsgen {

// Encodes UTF-8 text in the ARIB 8-unit code from the decoder's initial
// state: kanji and katakana as two-byte codes in G0, hiragana through GR
// (G2), ASCII through LS1 (G1, alphanumeric), a space as SP. Labels such as
// "[HV]", "[字]", "[解]" or "ほか" between braces ("{HV}", "{字}", "{ほか}")
// become the additional symbols of row 0x7A.
Bytes EncodeAribText(const std::string& utf8);

Bytes MakePAT();
Bytes MakePMT();

// A PAT of any programs; program_number 0 names the network PID.
struct PatProgram {
    int program_number = 0;
    int pid = 0;
};
Bytes MakePAT(int transportStreamId, const std::vector<PatProgram>& programs, int version = 0);

// A PMT with program-level descriptors and elementary streams.
struct PmtStream {
    int stream_type = 0;
    int pid = 0;
    Bytes descriptors;  // ES_info
};
Bytes MakePMT(int programNumber, int pcrPid, const Bytes& programDescriptors,
              const std::vector<PmtStream>& streams, int version = 0);

// A CAT of the given descriptors; without any, one CA descriptor naming the
// EMM PID 0x0A01.
Bytes MakeCAT(const Bytes& descriptors);
Bytes MakeCAT();

// An SDT section (table_id 0x42 actual, 0x46 other) with a service
// descriptor per service, names in UTF-8 encoded with EncodeAribText.
struct SdtService {
    int service_id = 0;
    int service_type = 0x01;
    std::string provider;
    std::string name;
    bool plain = false;  // the name's bytes as they stand, not ARIB text
};
Bytes MakeSDT(int transportStreamId, int originalNetworkId, const std::vector<SdtService>& services,
              int version = 0, int tableId = 0x42);

// The PSI of a recording made with the psi option, in sending order: a PAT
// of two services, their PMTs (CA descriptors naming ECMs, captions,
// superimposed text, PCR on a PID of its own, a stream shared by both),
// a CAT naming an EMM PID and an SDT actual that also names a third service.
struct PsiSection {
    int pid = 0;
    Bytes section;
};
// plainName, when not empty, names the first service by its bytes as they
// stand, not as ARIB text.
std::vector<PsiSection> RecordingPsi(const std::string& plainName = "");

struct EitEvent {
    int event_id = 0;
    int year = 2008, month = 6, day = 1, hour = 12, minute = 0, second = 0;
    bool undefinedStart = false;
    int durationSeconds = 1800;  // < 0: undefined
    int running_status = 4;
    Bytes descriptors;
};

// An EIT section: table_id 0x4E/0x4F present/following, 0x50.. schedule.
Bytes MakeEIT(int tableId, int serviceId, int sectionNumber, int lastSectionNumber,
              const std::vector<EitEvent>& events, int version = 0);

// Descriptors (the name and text in UTF-8, encoded with EncodeAribText).
Bytes ShortEventDescriptor(const std::string& name, const std::string& text = "");
Bytes ExtendedEventDescriptor(int number, int last, const std::string& item_description,
                              const std::string& item);
Bytes ComponentDescriptor(int component_type, const std::string& text);
Bytes ContentDescriptor(int nibble1, int nibble2);
Bytes LocalTimeOffsetDescriptor();
Bytes CADescriptor(int caSystemId, int caPid);
Bytes StreamIdentifierDescriptor(int componentTag);
Bytes ServiceDescriptor(int serviceType, const std::string& provider, const std::string& name);

// Places TOTs and EITs in a stream: a TOT every five broadcast seconds, the
// EIT present/following of each service every second, schedule sections in
// between, and the present event of each service changing every
// programmeSeconds (staggered between services). Slot k is broadcast k /
// packetsPerSecond seconds after 2008-06-01 12:00:00 JST.
class SiSchedule {
public:
    static constexpr int kServiceCount = 3;

    // Every badCrcEvery-th section is sent with a damaged CRC_32 (0: none).
    explicit SiSchedule(long long packetsPerSecond, int programmeSeconds = 1800, long long badCrcEvery = 0)
        : m_pps(packetsPerSecond), m_badCrcEvery(badCrcEvery) {
        for (int s = 0; s < kServiceCount; ++s) {
            m_programmeSeconds[s] = programmeSeconds;
            m_onAirAtStart[s] = static_cast<long long>(s) * programmeSeconds / kServiceCount;
        }
    }
    // The programmes of service number `service` (0 to 2, in the order of
    // the PAT and SDT) last `seconds` each, the one on air at slot 0 having
    // begun onAirAtStart seconds before it (negative: the next one begins
    // that many seconds after it). The one on air at slot 0 is event 1.
    void SetTimetable(int service, int seconds, long long onAirAtStart) {
        m_programmeSeconds[service] = seconds;
        m_onAirAtStart[service] = (onAirAtStart % seconds + seconds) % seconds;
    }
    // Writes the sections due at packet slot k; false when none are.
    bool Due(long long k, StreamBuilder& b);

private:
    void Send(StreamBuilder& b, int pid, Bytes section);

    long long m_pps;
    int m_programmeSeconds[kServiceCount];
    long long m_onAirAtStart[kServiceCount];
    long long m_badCrcEvery;
    long long m_sections = 0;
};

}  // namespace tsgen

}  // namespace tsvigil
