// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "check/Verdict.h"

namespace tsvigil {

class StreamSource;
struct HtmlPageInfo;
struct RankedFile;

// Runs the command line (tsvigil [OPTION]... FILE...). Report lines go to
// out, the banner and error texts to err. Returns the exit status: faults
// of the stream are report lines, so it is 0 on every path but a report
// that cannot be written (1, after kWriteError on err), a wrong command line
// (2), and, with --verdict, a file that is not ok (3).
int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err);

// How much of a file's output is held in memory while it waits for its turn
// under --jobs: memory per file, and total over the files held at once
// (each of N jobs gets total / N when that is less). Past it the output
// goes on in an unlinked temporary file in spillDir (empty: $TMPDIR, else
// /tmp).
struct HoldLimits {
    static constexpr size_t kMemory = 64 * 1024 * 1024;
    static constexpr size_t kTotal = 128 * 1024 * 1024;
    size_t memory = kMemory;
    size_t total = kTotal;
    std::string spillDir;
};
int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err, const HoldLimits& hold);

extern const char* const kWriteError;

// The pages of several files in one directory: each named after its file's
// base name with ".html", the second of a name "-2" before it, and so on;
// never index.html.
std::vector<std::string> PageNames(const std::vector<std::string>& files);

// What a check writes.
struct CheckOptions {
    bool summary = false;  // the summary after the text report
    bool json = false;     // JSON Lines instead of the text report
    bool verdict = false;  // the verdict line instead of the text report (with summary: the summary only)
    bool utf8 = false;     // the text report and summary in UTF-8
    Judging judging;  // how the verdict is built
    const char* file = nullptr;  // the input's name, for the outputs
    // The HTML page to write besides, or null; what the index needs of it
    // goes to page when set.
    const char* html = nullptr;
    HtmlPageInfo* page = nullptr;
    // With --output: where the verdict line goes apart from the report (out
    // then takes the report, the summary or the JSON Lines); null otherwise.
    std::FILE* verdictOut = nullptr;
    int openError = 0;  // for an input that could not be opened: the errno why
    RankedFile* rank = nullptr;  // with --rank: where the file's recorded programmes go
    // The name as the verdict line shows it (in the code page of where it
    // goes); null: file.
    const char* shownFile = nullptr;
};

// Checks every packet of source and writes what options ask for to out;
// source may be null for an input that could not be opened, which then gets
// its verdict (unreadable) where one is written. Returns whether the
// verdict is ok. tick, when set, is called every few thousand packets (for
// a progress display).
bool CheckStream(StreamSource* source, std::FILE* out, const CheckOptions& options,
                 const std::function<void()>& tick = {});

}  // namespace tsvigil
