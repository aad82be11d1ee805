// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdio>
#include <string>

#include "check/CheckStats.h"
#include "check/Output.h"

// One line per file for scripts: its name, the verdict's words and figures,
// "recordings/a.ts: ok (av lost 0, av errors 0, ...)".
class CVerdictLine : public COutput {
public:
    CVerdictLine(std::FILE* out, const char* file) : m_out(out), m_file(file ? file : "") {}
    void On(const CFinding&) override {}
    void Finish(const CCheckStats& stats) override {
        std::fprintf(m_out, "%s: %s\n", m_file.c_str(), stats.verdict.Line().c_str());
    }
    bool WantsRoles() const override { return true; }

private:
    std::FILE* m_out;
    std::string m_file;
};
