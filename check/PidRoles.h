// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "check/PesTiming.h"
#include "si/CAT.h"
#include "si/PAT.h"
#include "si/PMT.h"
#include "si/SDT.h"
#include "si/TableDispatcher.h"
#include "text/Utf8.h"

namespace tsvigil {

// Kinds of role learnt from the tables; where two tables name one PID the
// lower kind wins.
enum class RoleKind : uint8_t {
    kUnknown,
    kPmt,
    kNetwork,
    kStream,
    kEcm,
    kEmm,
    kPcr,
};

template <class T>
class RolesHandler;

// What each PID of the stream carries, learnt from the PSI/SI: the PIDs
// ISO/IEC 13818-1 and ARIB STD-B10 fix, the PMTs the PAT names, the
// elementary streams, ECMs and PCRs the PMTs name, the EMMs the CAT names;
// and the services with the names the SDT actual gives them.
//
// Attach() gives handlers of the PAT, CAT and SDT PIDs to a check's table
// dispatcher; a PMT handler is added to it while the PAT names its PID, and
// removed when the PAT no longer does. The dispatcher points at handlers
// this object owns, so it must not dispatch after the object goes. Unattached, the object costs nothing
// per packet.
class PidRoles {
public:
    // PMT PIDs followed at once; the PIDs of programs past this are still
    // PMTs but their streams stay unknown.
    static constexpr int kMaxPmtPids = 256;

    PidRoles();
    ~PidRoles();
    PidRoles(const PidRoles&) = delete;
    PidRoles& operator=(const PidRoles&) = delete;

    void Attach(TableDispatcher& tables);

    // The role of pid as a short English text ("PAT", "H.264 video",
    // "ECM", "stream_type 0x80", "unknown", ...).
    std::string Role(int pid) const;
    // For an elementary stream, ECM or PCR PID: the service_ids whose PMT
    // names it, ascending. Empty for any other PID.
    std::vector<int> ServiceIds(int pid) const;
    // Whether pid carries picture or sound: video, audio, a PCR-only PID,
    // and a PID above 0x002F that no table names.
    bool IsPictureOrSound(int pid) const;
    // Whether pid is an elementary stream of video or of audio, by its
    // stream_type.
    PesStream PesKind(int pid) const;
    // The PID of the stream's clock: the PCR_PID of the first preferred
    // service whose PMT names one, else of the first programme in the PAT
    // whose PMT names one; -1 while none does.
    int ClockPid() const;
    // The services whose PCR the clock follows first, in this order.
    void PreferServices(std::vector<int> serviceIds) { m_preferred = std::move(serviceIds); }
    // Whether a PMT of service_id was seen, or the PAT lists it now.
    bool Carries(int serviceId) const;
    // The picture and sound PIDs (by their roles now) that the PMT of
    // service_id named at any time, its PCR_PID among them, ascending; empty
    // when none of its streams is picture or sound (a data service).
    std::vector<int> PictureAndSoundPids(int serviceId) const;
    // Whether the PMT of service_id names a picture or sound stream.
    bool ServiceHasPictureOrSound(int serviceId) const;
    // The PMT PIDs the current PAT names (program_number 0 aside),
    // ascending.
    std::vector<int> PmtPids() const;
    // The video and audio PIDs the current PMTs name, by their stream_type
    // alone (not captions, superimposed text or data), ascending.
    std::vector<int> NamedPictureAndSoundStreams() const;
    // Grows whenever a PAT or PMT changed what the PIDs carry.
    uint64_t Changes() const { return m_changes; }
    // The services of the PAT (program_number 0 aside) and of the SDT
    // actual, ascending by service_id, each with its service_name in
    // Shift_JIS (empty when no SDT names it).
    std::vector<std::pair<int, std::string>> Services() const;
    // Whether a PMT or the SDT carried a descriptor of the tags ARIB
    // STD-B10 assigns (0xC0 and up).
    bool AribDescriptorSeen() const { return m_aribDescriptorSeen; }
    // The services of Services() with their names in UTF-8, for the outputs
    // other than the text report. A stream without a TOT and without any
    // ARIB descriptor (totSeen false, and none seen: remuxed by a tool that writes its
    // own PSI and SDT, and drops the rest) may carry names in the text of
    // ETSI EN 300 468 Annex A: a name whose bytes are all printable ASCII
    // is that text, one that begins with 0x15 (the UTF-8 selector) the
    // UTF-8 after it. Any other name is ARIB STD-B24 text, as always.
    struct ServiceName {
        int serviceId = 0;
        std::string name;   // UTF-8
        bool plain = false;  // not ARIB text
    };
    std::vector<ServiceName> ServiceNames(bool totSeen, SjisToUtf8& conv) const;

private:
    // An elementary stream of a program, as much as its role needs.
    struct StreamEntry {
        uint16_t pid;
        uint8_t stream_type;
        int16_t component_tag;  // of its stream identifier descriptor, or -1
    };
    // What the last PMT section of a program names, kept small: many
    // programs may be listed.
    struct ProgramPids {
        int program_number = 0;
        int pmtPid = 0;
        int pcrPid = kNullPid;
        std::vector<StreamEntry> streams;
        std::vector<uint16_t> ecmPids;
    };
    // The role of one PID in the cache: a kind and, for an elementary
    // stream, what tells its kind of stream.
    struct PidEntry {
        RoleKind kind = RoleKind::kUnknown;
        uint8_t stream_type = 0;
        int16_t component_tag = -1;
    };

    template <class T>
    friend class RolesHandler;

    // Each handler's table, parsed from a section of pid.
    void OnTable(const PAT& pat, int pid);
    void OnTable(const PMT& pmt, int pid);
    void OnTable(const CAT& cat, int pid);
    void OnTable(const SDT& sdt, int pid);
    // Refills the per-PID cache from the tables when one of them changed.
    void Update() const;

    std::unique_ptr<RolesHandler<PAT>> m_pat;
    std::unique_ptr<RolesHandler<CAT>> m_cat;
    std::unique_ptr<RolesHandler<SDT>> m_sdt;
    std::vector<std::unique_ptr<RolesHandler<PMT>>> m_pmts;
    std::vector<std::unique_ptr<ProgramPids>> m_programs;
    TableDispatcher* m_tables = nullptr;
    uint64_t m_changes = 0;
    bool m_aribDescriptorSeen = false;
    std::vector<int> m_preferred;
    // Per program_number, every PID its PMT named (streams and PCR_PID),
    // ascending, kept after the program leaves the PAT.
    std::map<int, std::vector<uint16_t>> m_namedEver;

    mutable bool m_dirty = true;
    mutable std::vector<PidEntry> m_pids;
    mutable std::vector<std::vector<int>> m_serviceIds;
};

}  // namespace tsvigil
