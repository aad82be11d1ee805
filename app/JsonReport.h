#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/ReportSink.h"
#include "text/Utf8.h"

class CMyTOT;
class CPidRoles;
class CPacketFramer;

// The findings as JSON Lines (RFC 8259 objects, UTF-8, one a line), written
// as they happen and flushed at every TOT, so a program reading a recording
// piped in as it is made sees them within seconds; nothing is collected.
// The last line is the summary object.
class CJsonReport : public CReportSink {
public:
    // framer is asked at each TOT and event for the offset of the packet
    // being dispatched. tot gives the time of the last TOT for every line.
    CJsonReport(std::FILE* out, const CMyTOT& tot, const CPacketFramer& framer)
        : m_out(out), m_tot(tot), m_framer(framer) {}

    void OnPacketSize(int size, int64_t offset) override;
    void OnSyncError(int64_t offset) override;
    void OnContinuityError(int pid, int last, int counter, int64_t offset) override;
    void OnTot(const CTimeValue* time) override;
    void OnScrambled(int pid, int packets) override;
    void OnTransportErrors(int packets) override;
    void OnEvent(int serviceId, const CEITEvent& event, const std::string& name) override;

    // file: the input's path as given, or null for none.
    void WriteSummary(const char* file, const CRunStats& stats, const CPidRoles& roles);

    // A JSON string (quotes included) of UTF-8 text: invalid sequences
    // replaced, quotes, backslashes and control characters escaped.
    static std::string Quote(const std::string& utf8);
    // ISO 8601 with the JST offset, "2008-06-01T12:34:56+09:00".
    static std::string IsoTime(const CTimeValue& t);

private:
    // "time" of a finding: the last TOT's, or null before the first.
    std::string LastTot() const;

    std::FILE* m_out;
    const CMyTOT& m_tot;
    const CPacketFramer& m_framer;
    CSjisToUtf8 m_conv;
};
