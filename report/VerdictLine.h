// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdio>
#include <string>

#include "check/CheckStats.h"
#include "check/Output.h"

namespace tsvigil {

// One line per file for scripts: its name, the verdict's words and figures,
// "recordings/a.ts: ok (av lost 0, av errors 0, ...)".
class VerdictLine : public Output {
public:
    VerdictLine(std::FILE* out, const char* file) : m_out(out), m_file(file ? file : "") {}
    void On(const Finding&) override {}
    void Finish(const CheckStats& stats) override {
        std::fprintf(m_out, "%s: %s\n", m_file.c_str(), stats.verdict.Line().c_str());
    }
    bool WantsRoles() const override { return true; }

private:
    std::FILE* m_out;
    std::string m_file;
};

}  // namespace tsvigil
