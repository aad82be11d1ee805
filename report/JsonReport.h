// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "check/Output.h"
#include "text/Utf8.h"

namespace tsvigil {

// The findings as JSON Lines (RFC 8259 objects, UTF-8, one a line), written
// as they happen and flushed at every TOT, so a program reading a recording
// piped in as it is made sees them within seconds; nothing is collected.
// The last line is the summary object, with the verdict. Every object
// names its file, so that the lines of many files can be told apart.
class JsonReport : public Output {
public:
    // file: the input's name as given, or null.
    JsonReport(std::FILE* out, const char* file);

    void On(const Finding& f) override;
    void Finish(const CheckStats& stats) override;
    bool WantsRoles() const override { return true; }

    // A JSON string (quotes included) of UTF-8 text: invalid sequences
    // replaced, quotes, backslashes and control characters escaped.
    static std::string Quote(const std::string& utf8);

private:
    // The findings whose objects take more than a line to write. time:
    // ",\"at\":...,\"elapsed\":...,\"time\":..." of the finding.
    void OnGap(const Finding& f);
    void OnDamage(const Finding& f);
    void OnPacketRange(const Finding& f);
    void OnIndicator(const Finding& f);
    void OnProgramme(const Finding& f);
    void OnPresentEvent(const Finding& f, const std::string& time);

    std::FILE* m_out;
    std::string m_file;  // "\"file\":NAME," to follow each object's type
    SjisToUtf8 m_conv;
};

}  // namespace tsvigil
