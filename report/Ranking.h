// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/TimeValue.h"
#include "check/Output.h"

namespace tsvigil {

// A programme a file recorded (the recorded programme of one of its
// services, as the coverage found it), with what the ranking weighs.
struct RankedProgramme {
    int serviceId = 0;
    int eventId = 0;
    std::string name;  // Shift_JIS, as the EIT gave it
    TimeValue start;
    int64_t duration = 0;  // seconds
    double coverage = 0;
    uint64_t avLost = 0;
    uint64_t avErrors = 0;
    uint64_t avScrambled = 0;
};

// What one file gives the ranking; a file that could not be read gives
// nothing (read false).
struct RankedFile {
    bool read = false;
    std::vector<RankedProgramme> programmes;
};

// Keeps the recorded programmes of a check (of the services chosen, when
// some are), each with its own figures (its service's picture and sound
// within its window): a few lines per file, however long the file.
class RankCollector : public Output {
public:
    explicit RankCollector(RankedFile& into) : m_into(into) {}
    void On(const Finding& f) override;
    void Finish(const CheckStats& stats) override;
    // The recorded programmes come from the EIT of the services the PMTs
    // name.
    bool WantsRoles() const override { return true; }

private:
    RankedFile& m_into;
};

enum class RankStyle {
    kShiftJis,  // text lines, names as the broadcast gives them
    kUtf8,      // text lines, names in UTF-8
    kJson,      // JSON Lines
};

// For each programme that two or more files recorded, in the order the
// programmes first appear, one line ordering its copies: coverage (more
// first, to the thousandth shown), picture and sound lost plus errors
// (fewer first), scrambled (fewer first), file order. Two recordings hold
// the same programme when service, event and start match, or, for a
// second channel carrying it, name, start and duration. files[i] names
// ranked[i].
void WriteRanking(std::FILE* out, const std::vector<std::string>& files, const std::vector<RankedFile>& ranked,
                  RankStyle style);

}  // namespace tsvigil
