// SPDX-License-Identifier: BSD-2-Clause
#include "check/PidRoles.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "base/TSPacket.h"
#include "descriptors/StandardDescriptors.h"

namespace tsvigil {

// The handler of one PID: it parses each section into its table and tells
// its owner. OnSection() runs inside the dispatch, where adding or removing
// another handler is allowed.
template <class T>
class RolesHandler : public SectionHandler {
public:
    RolesHandler(PidRoles& owner, int onPid) : pid(onPid), m_owner(owner) {}
    // A repeat of the last section changes no role.
    bool SkipsRepeats() const override { return true; }
    int OnSection(const SectionView& section) override {
        table.Parse(section.data, section.length);
        // Read before the owner hears of the table: it may remove this
        // handler.
        const int errors = table.descriptorErrors;
        m_owner.OnTable(table, pid);
        return errors;
    }

    T table;
    const int pid;

private:
    PidRoles& m_owner;
};

namespace {

// The PIDs ISO/IEC 13818-1 and ARIB STD-B10 assign to tables.
const char* FixedRole(int pid) {
    switch (pid) {
        case 0x0000: return "PAT";
        case 0x0001: return "CAT";
        case 0x0010: return "NIT";
        case 0x0011: return "SDT/BAT";
        case 0x0012: case 0x0026: case 0x0027: return "EIT";
        case 0x0014: return "TOT/TDT";
        case 0x0023: case 0x0028: return "SDTT";
        case 0x0024: return "BIT";
        case 0x0025: return "NBIT/LDT";
        case 0x0029: return "CDT";
        case kNullPid: return "null";
        default: return nullptr;
    }
}

// A PMT is followed only on a PID that can carry one and that no table
// already owns: a PMT object on a busy SI PID would assemble all its
// sections a second time.
bool CanCarryPmt(int pid) { return pid >= 0x0010 && pid < kNullPid && FixedRole(pid) == nullptr; }

// The stream_types (ISO/IEC 13818-1 table 2-34, as ARIB STD-B10 uses
// them) that name a kind of stream, and which of them carry picture or
// sound.
struct StreamKind {
    int stream_type;
    const char* name;
    bool pictureOrSound;
};
constexpr StreamKind kStreamKinds[] = {
    {0x01, "MPEG-2 video", true},      {0x02, "MPEG-2 video", true},     {0x1B, "H.264 video", true},
    {0x24, "H.265 video", true},       {0x03, "MPEG audio", true},       {0x04, "MPEG audio", true},
    {0x0F, "AAC audio", true},         {0x11, "AAC audio (LATM)", true}, {0x0D, "data carousel", false},
    {0x06, "private PES", false},
};

const StreamKind* FindStreamKind(int stream_type) {
    for (const StreamKind& k : kStreamKinds) {
        if (k.stream_type == stream_type) return &k;
    }
    return nullptr;
}

std::string StreamRole(int stream_type, int component_tag) {
    if (stream_type == 0x06) {
        // ARIB STD-B10 component_tag ranges for subtitle PES.
        if (component_tag >= 0x30 && component_tag <= 0x37) return "captions";
        if (component_tag >= 0x38 && component_tag <= 0x3F) return "superimposed text";
    }
    if (const StreamKind* k = FindStreamKind(stream_type)) return k->name;
    char text[24];
    std::snprintf(text, sizeof text, "stream_type 0x%02X", stream_type & 0xFF);
    return text;
}

// The CA_PIDs of the whole CA descriptors in list.
void AddCaPids(const DescriptorList& list, std::vector<uint16_t>& pids) {
    for (const auto& d : list) {
        if (d->descriptor_tag != 0x09 || d->descriptor_length < 4) continue;
        pids.push_back(static_cast<uint16_t>(static_cast<const CADescriptor&>(*d).CA_PID));
    }
}

int ComponentTag(const DescriptorList& list) {
    for (const auto& d : list) {
        if (d->descriptor_tag == 0x52 && d->descriptor_length >= 1) {
            return static_cast<const StreamIdentifierDescriptor&>(*d).component_tag;
        }
    }
    return -1;
}

}  // namespace

PidRoles::PidRoles()
    : m_pat(std::make_unique<RolesHandler<PAT>>(*this, PAT::kPid)),
      m_cat(std::make_unique<RolesHandler<CAT>>(*this, CAT::kPid)),
      m_sdt(std::make_unique<RolesHandler<SDT>>(*this, SDT::kPid)) {}

PidRoles::~PidRoles() = default;

void PidRoles::Attach(TableDispatcher& tables) {
    m_tables = &tables;
    tables.Add(m_pat->pid, m_pat.get());
    tables.Add(m_cat->pid, m_cat.get());
    tables.Add(m_sdt->pid, m_sdt.get());
    for (const auto& pmt : m_pmts) tables.Add(pmt->pid, pmt.get());
}

void PidRoles::OnTable(const PAT& pat, int) {
    if (!pat.accepted) return;
    // A program the PAT no longer lists on that PID loses its streams.
    m_programs.erase(std::remove_if(m_programs.begin(), m_programs.end(),
                                    [&](const std::unique_ptr<ProgramPids>& p) {
                                        return !pat.Lists(p->program_number, p->pmtPid);
                                    }),
                     m_programs.end());
    // A PMT PID the PAT no longer names is followed no more: the PID may
    // carry anything now. Its table goes, and with it the CRC_32 of its last
    // section, so that when the PAT names the PID again, the first PMT
    // section on it is read afresh even when it is a repeat of the last.
    const auto named = [&](int pid) {
        return std::any_of(pat.programs.begin(), pat.programs.end(),
                           [&](const std::unique_ptr<PATProgram>& p) { return p->program_number != 0 && p->PID == pid; });
    };
    for (auto& t : m_pmts) {
        if (named(t->pid)) continue;
        if (m_tables) m_tables->Remove(t->pid, t.get());
        t.reset();
    }
    m_pmts.erase(std::remove(m_pmts.begin(), m_pmts.end(), nullptr), m_pmts.end());
    for (const auto& p : pat.programs) {
        if (p->program_number == 0 || !CanCarryPmt(p->PID)) continue;
        const bool known = std::any_of(m_pmts.begin(), m_pmts.end(),
                                       [&](const std::unique_ptr<RolesHandler<PMT>>& t) { return t->pid == p->PID; });
        if (known || m_pmts.size() >= static_cast<size_t>(kMaxPmtPids)) continue;
        m_pmts.push_back(std::make_unique<RolesHandler<PMT>>(*this, p->PID));
        if (m_tables) m_tables->Add(p->PID, m_pmts.back().get());
    }
    // A program listed again (or moved to a PMT PID still followed) whose
    // streams are not known: its PMT's next section is read even when it
    // repeats the last one.
    for (const auto& p : pat.programs) {
        if (p->program_number == 0) continue;
        const bool have = std::any_of(m_programs.begin(), m_programs.end(),
                                      [&](const std::unique_ptr<ProgramPids>& q) { return q->program_number == p->program_number; });
        if (have) continue;
        for (auto& t : m_pmts) {
            if (t->pid == p->PID && m_tables) m_tables->ForgetRepeat(t->pid, t.get());
        }
    }
    m_dirty = true;
    ++m_changes;
}

void PidRoles::OnTable(const PMT& pmt, int pid) {
    if (!pmt.accepted || !m_pat->table.Lists(pmt.program_number, pid)) return;
    auto p = std::make_unique<ProgramPids>();
    p->program_number = pmt.program_number;
    p->pmtPid = pid;
    p->pcrPid = pmt.PCR_PID;
    AddCaPids(pmt.descriptors, p->ecmPids);
    const auto arib = [](const DescriptorList& list) {
        return std::any_of(list.begin(), list.end(), [](const auto& d) { return d->descriptor_tag >= 0xC0; });
    };
    m_aribDescriptorSeen |= arib(pmt.descriptors);
    for (const auto& s : pmt.streams) {
        m_aribDescriptorSeen |= arib(s->descriptors);
        p->streams.push_back({static_cast<uint16_t>(s->elementary_PID), static_cast<uint8_t>(s->stream_type),
                              static_cast<int16_t>(ComponentTag(s->descriptors))});
        AddCaPids(s->descriptors, p->ecmPids);
    }
    std::vector<uint16_t>& named = m_namedEver[p->program_number];
    auto name = [&](int namedPid) {
        const auto at = std::lower_bound(named.begin(), named.end(), namedPid);
        if (at == named.end() || *at != namedPid) named.insert(at, static_cast<uint16_t>(namedPid));
    };
    for (const auto& s : p->streams) name(s.pid);
    if (p->pcrPid != kNullPid) name(p->pcrPid);
    // Kept in program_number order, one entry per program: a new version
    // replaces the streams of the last.
    auto before = [](const std::unique_ptr<ProgramPids>& a, int n) { return a->program_number < n; };
    auto at = std::lower_bound(m_programs.begin(), m_programs.end(), p->program_number, before);
    if (at != m_programs.end() && (*at)->program_number == p->program_number) {
        *at = std::move(p);
    } else {
        m_programs.insert(at, std::move(p));
    }
    m_dirty = true;
    ++m_changes;
}

void PidRoles::OnTable(const CAT& cat, int) {
    if (cat.accepted) m_dirty = true;
}

void PidRoles::OnTable(const SDT& sdt, int) {
    // Services() reads the SDT itself; nothing per PID changes.
    m_aribDescriptorSeen |= sdt.aribDescriptors;
}

void PidRoles::Update() const {
    if (!m_dirty) return;
    m_pids.assign(kPidCount, PidEntry());
    m_serviceIds.assign(kPidCount, std::vector<int>());
    auto claim = [&](int pid, RoleKind kind, int stream_type = 0, int component_tag = -1) {
        PidEntry& e = m_pids[static_cast<size_t>(pid & (kPidCount - 1))];
        if (e.kind != RoleKind::kUnknown && e.kind <= kind) return;
        e.kind = kind;
        e.stream_type = static_cast<uint8_t>(stream_type);
        e.component_tag = static_cast<int16_t>(component_tag);
    };
    auto serves = [&](int pid, int program_number) {
        std::vector<int>& ids = m_serviceIds[static_cast<size_t>(pid & (kPidCount - 1))];
        // Programs are walked in ascending order, so a repeat is the last one.
        if (ids.empty() || ids.back() != program_number) ids.push_back(program_number);
    };
    for (const auto& p : m_pat->table.programs) claim(p->PID, p->program_number == 0 ? RoleKind::kNetwork : RoleKind::kPmt);
    for (const auto& p : m_programs) {
        for (const auto& s : p->streams) {
            claim(s.pid, RoleKind::kStream, s.stream_type, s.component_tag);
            serves(s.pid, p->program_number);
        }
        for (const int pid : p->ecmPids) {
            claim(pid, RoleKind::kEcm);
            serves(pid, p->program_number);
        }
        if (p->pcrPid != kNullPid) {
            claim(p->pcrPid, RoleKind::kPcr);
            serves(p->pcrPid, p->program_number);
        }
    }
    std::vector<uint16_t> emm;
    AddCaPids(m_cat->table.descriptors, emm);
    for (const int pid : emm) claim(pid, RoleKind::kEmm);
    m_dirty = false;
}

std::string PidRoles::Role(int pid) const {
    if (pid < 0 || pid >= kPidCount) return "unknown";
    if (const char* fixed = FixedRole(pid)) return fixed;
    Update();
    const PidEntry& e = m_pids[static_cast<size_t>(pid)];
    switch (e.kind) {
        case RoleKind::kPmt: return "PMT";
        case RoleKind::kNetwork: return "NIT";
        case RoleKind::kStream: return StreamRole(e.stream_type, e.component_tag);
        case RoleKind::kEcm: return "ECM";
        case RoleKind::kEmm: return "EMM";
        case RoleKind::kPcr: return "PCR";
        default: return "unknown";
    }
}

bool PidRoles::ServiceHasPictureOrSound(int serviceId) const {
    for (const auto& p : m_programs) {
        if (p->program_number != serviceId) continue;
        for (const auto& s : p->streams) {
            if (IsPictureOrSound(s.pid)) return true;
        }
    }
    return false;
}

int PidRoles::ClockPid() const {
    for (const int id : m_preferred) {
        for (const auto& q : m_programs) {
            if (q->program_number == id && q->pcrPid != kNullPid) return q->pcrPid;
        }
    }
    for (const auto& p : m_pat->table.programs) {
        if (p->program_number == 0) continue;
        for (const auto& q : m_programs) {
            if (q->program_number == p->program_number && q->pcrPid != kNullPid) return q->pcrPid;
        }
    }
    return -1;
}

bool PidRoles::Carries(int serviceId) const {
    if (serviceId == 0) return false;
    if (m_namedEver.count(serviceId) != 0) return true;
    return std::any_of(m_pat->table.programs.begin(), m_pat->table.programs.end(),
                       [&](const std::unique_ptr<PATProgram>& p) { return p->program_number == serviceId; });
}

std::vector<int> PidRoles::PictureAndSoundPids(int serviceId) const {
    std::vector<int> pids;
    const auto named = m_namedEver.find(serviceId);
    if (named == m_namedEver.end()) return pids;
    Update();
    bool stream = false;
    for (const uint16_t pid : named->second) {
        if (!IsPictureOrSound(pid)) continue;
        pids.push_back(pid);
        if (m_pids[pid].kind == RoleKind::kStream) stream = true;
    }
    // A PCR alone, beside data, makes no picture or sound.
    if (!stream) pids.clear();
    return pids;
}

bool PidRoles::IsPictureOrSound(int pid) const {
    if (pid < 0 || pid >= kPidCount || FixedRole(pid) != nullptr) return false;
    Update();
    const PidEntry& e = m_pids[static_cast<size_t>(pid)];
    switch (e.kind) {
        case RoleKind::kPcr: return true;
        case RoleKind::kUnknown: return pid > kLastSiPid;
        case RoleKind::kStream: {
            const StreamKind* k = FindStreamKind(e.stream_type);
            return k != nullptr && k->pictureOrSound;
        }
        default: return false;
    }
}

std::vector<int> PidRoles::PmtPids() const {
    std::vector<int> pids;
    for (const auto& p : m_pat->table.programs) {
        if (p->program_number != 0) pids.push_back(p->PID);
    }
    std::sort(pids.begin(), pids.end());
    pids.erase(std::unique(pids.begin(), pids.end()), pids.end());
    return pids;
}

std::vector<int> PidRoles::NamedPictureAndSoundStreams() const {
    std::vector<int> pids;
    for (const auto& p : m_programs) {
        for (const auto& s : p->streams) {
            const StreamKind* k = FindStreamKind(s.stream_type);
            if (k != nullptr && k->pictureOrSound) pids.push_back(s.pid);
        }
    }
    std::sort(pids.begin(), pids.end());
    pids.erase(std::unique(pids.begin(), pids.end()), pids.end());
    return pids;
}

PesStream PidRoles::PesKind(int pid) const {
    if (pid < 0 || pid >= kPidCount) return PesStream::kNone;
    Update();
    const PidEntry& e = m_pids[static_cast<size_t>(pid)];
    if (e.kind != RoleKind::kStream) return PesStream::kNone;
    switch (e.stream_type) {
        case 0x01: case 0x02: case 0x1B: case 0x24: return PesStream::kVideo;
        case 0x03: case 0x04: case 0x0F: case 0x11: return PesStream::kAudio;
        default: return PesStream::kNone;
    }
}

std::vector<int> PidRoles::ServiceIds(int pid) const {
    if (pid < 0 || pid >= kPidCount || FixedRole(pid) != nullptr) return {};
    Update();
    const RoleKind kind = m_pids[static_cast<size_t>(pid)].kind;
    if (kind != RoleKind::kStream && kind != RoleKind::kEcm && kind != RoleKind::kPcr) return {};
    return m_serviceIds[static_cast<size_t>(pid)];
}

std::vector<std::pair<int, std::string>> PidRoles::Services() const {
    std::map<int, std::string> services;
    for (const auto& p : m_pat->table.programs) {
        if (p->program_number != 0) services.emplace(p->program_number, std::string());
    }
    for (const auto& s : m_sdt->table.services) {
        std::string& name = services[s->service_id];
        if (name.empty()) name = s->service_name;
    }
    return std::vector<std::pair<int, std::string>>(services.begin(), services.end());
}

std::vector<PidRoles::ServiceName> PidRoles::ServiceNames(bool totSeen, SjisToUtf8& conv) const {
    std::map<int, const std::string*> raw;
    for (const auto& s : m_sdt->table.services) {
        if (!s->service_name.empty()) raw.emplace(s->service_id, &s->service_name_bytes);
    }
    std::vector<ServiceName> names;
    for (const auto& s : Services()) {
        ServiceName n;
        n.serviceId = s.first;
        const auto r = raw.find(s.first);
        const std::string* bytes = r != raw.end() ? r->second : nullptr;
        if (!totSeen && !m_aribDescriptorSeen && bytes && !bytes->empty()) {
            const bool ascii = std::all_of(bytes->begin(), bytes->end(), [](char c) { return c >= 0x20 && c < 0x7F; });
            if (ascii) {
                n.name = *bytes;
                n.plain = true;
            } else if ((*bytes)[0] == 0x15) {
                n.name = ValidUtf8(bytes->substr(1));
                n.plain = true;
            }
        }
        if (!n.plain) n.name = conv.Convert(s.second);
        names.push_back(std::move(n));
    }
    return names;
}

}  // namespace tsvigil
