#pragma once

#include <cstdio>

#include "app/ReportSink.h"

class CMyTOT;
class CPidRoles;

// The summary after the text report: per PID in PID order its packets,
// continuity errors (the report's lines), transport-error and scrambled
// packets and its role; a total; the sync losses; the first and last TOT;
// the services with their names (Shift_JIS, as the report).
void PrintSummary(std::FILE* out, const CRunStats& stats, const CPidRoles& roles, const CMyTOT& tot);
