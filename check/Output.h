// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include "check/Finding.h"

namespace tsvigil {

struct CheckStats;

// A reader of a check's findings. Each output keeps its own state; a check
// hands every finding to each of its outputs in the order given, then calls
// Finish() once.
class Output {
public:
    virtual ~Output() = default;
    virtual void On(const Finding& finding) = 0;
    virtual void Finish(const CheckStats& stats) { (void)stats; }
    // Whether the check should follow the PAT, PMTs, CAT and SDT for the
    // PIDs' roles and the services' names.
    virtual bool WantsRoles() const { return false; }
};

}  // namespace tsvigil
