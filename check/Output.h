// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include "check/Finding.h"

struct CCheckStats;

// A reader of a check's findings. Each output keeps its own state; a check
// hands every finding to each of its outputs in the order given, then calls
// Finish() once.
class COutput {
public:
    virtual ~COutput() = default;
    virtual void On(const CFinding& finding) = 0;
    virtual void Finish(const CCheckStats& stats) { (void)stats; }
    // Whether the check should follow the PAT, PMTs, CAT and SDT for the
    // PIDs' roles and the services' names.
    virtual bool WantsRoles() const { return false; }
};
