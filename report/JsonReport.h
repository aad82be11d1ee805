// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "check/Output.h"
#include "text/Utf8.h"

// The findings as JSON Lines (RFC 8259 objects, UTF-8, one a line), written
// as they happen and flushed at every TOT, so a program reading a recording
// piped in as it is made sees them within seconds; nothing is collected.
// The last line is the summary object, with the verdict. Every object
// names its file, so that the lines of many files can be told apart.
class CJsonReport : public COutput {
public:
    // file: the input's name as given, or null.
    CJsonReport(std::FILE* out, const char* file);

    void On(const CFinding& f) override;
    void Finish(const CCheckStats& stats) override;
    bool WantsRoles() const override { return true; }

    // A JSON string (quotes included) of UTF-8 text: invalid sequences
    // replaced, quotes, backslashes and control characters escaped.
    static std::string Quote(const std::string& utf8);

private:
    // The findings whose objects take more than a line to write. time:
    // ",\"at\":...,\"elapsed\":...,\"time\":..." of the finding.
    void OnGap(const CFinding& f);
    void OnDamage(const CFinding& f);
    void OnPacketRange(const CFinding& f);
    void OnProgramme(const CFinding& f);
    void OnPresentEvent(const CFinding& f, const std::string& time);

    std::FILE* m_out;
    std::string m_file;  // "\"file\":NAME," to follow each object's type
    CSjisToUtf8 m_conv;
};
