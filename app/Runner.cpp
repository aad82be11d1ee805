#include "app/Runner.h"

#include <unistd.h>

#include <memory>
#include <vector>

#include "app/Options.h"
#include "app/Progress.h"
#include "check/Check.h"
#include "report/JsonReport.h"
#include "report/Summary.h"
#include "report/TextReport.h"
#include "stream/StreamSource.h"
#include "text/Utf8.h"
#include "tsvigil/Version.h"

namespace {

struct CFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using CFilePtr = std::unique_ptr<std::FILE, CFileCloser>;

}  // namespace

const char* const kWriteError = "error - can't write report.\n";

void CheckStream(CStreamSource& source, std::FILE* out, const CCheckOptions& options,
                 const std::function<void()>& tick) {
    std::vector<std::unique_ptr<COutput>> outputs;
    if (options.json) {
        outputs.push_back(std::make_unique<CJsonReport>(out));
    } else {
        outputs.push_back(std::make_unique<CTextReport>(out));
        if (options.summary) outputs.push_back(std::make_unique<CSummaryReport>(out));
    }
    std::vector<COutput*> given;
    for (const auto& o : outputs) given.push_back(o.get());
    // The check holds large per-PID tables: on the heap, not the stack.
    auto check = std::make_unique<CCheck>(source, given, options.file);
    check->Run(tick);
}

int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err) {
    const CCommandLine cmd = ParseCommandLine(argc, argv);
    switch (cmd.action) {
        case CCommandLine::kHelp:
        case CCommandLine::kVersion:
            if (cmd.action == CCommandLine::kHelp) std::fputs(kHelpText, out);
            else std::fprintf(out, "tsvigil %s\n", kVersion);
            if (std::fflush(out) != 0) {
                std::fputs(kWriteError, err);
                return 1;
            }
            return 0;
        case CCommandLine::kBadUsage:
            std::fprintf(err, "tsvigil: %s\n%sTry 'tsvigil --help' for more information.\n", cmd.error.c_str(),
                         kUsageLine);
            return 2;
        default:
            break;
    }
    std::unique_ptr<CStreamSource> file;
    std::fprintf(err, "\ntsvigil - transport stream checker ver %s\n\n", kVersion);
    if (cmd.action == CCommandLine::kUsage) {
        std::fputs("usage: tsvigil src.ts\n\n", err);
        return 0;
    }
    const char* path = cmd.file.c_str();
    file = OpenStreamSource(path);
    if (!file) {
        std::fprintf(err, "error - can't open file (%s).\n", path);
        return 0;
    }
    CProgress progress(err, file->FileSize());
    std::function<void()> tick;
    // The report's way out: the progress line's eraser when both go to one
    // terminal, then the conversion to UTF-8 when asked for.
    CFilePtr wrapped, converted;
    std::FILE* report = out;
    if (progress.Enabled()) {
        tick = [&] { progress.Update(file->BytesRead()); };
        if (isatty(fileno(out)) == 1) {
            std::FILE* w = progress.Wrap(out);
            if (w != out) wrapped.reset(report = w);
        }
    }
    if (cmd.utf8 && !cmd.json) {
        std::FILE* c = OpenUtf8Writer(report);
        if (c != report) converted.reset(report = c);
    }
    CCheckOptions options;
    options.summary = cmd.summary;
    options.json = cmd.json;
    options.file = path;
    CheckStream(*file, report, options, tick);
    // Closing the wrappers, innermost first, writes what they hold to out.
    bool closed = true;
    if (converted) closed = std::fclose(converted.release()) == 0 && closed;
    if (wrapped) closed = std::fclose(wrapped.release()) == 0 && closed;
    progress.Finish();
    if (file->IsReadError()) std::fprintf(err, "error - can't read file (%s).\n", path);
    // A report that did not reach its destination (a closed standard
    // output, a full disk) is the one failure of the run itself.
    if (!closed || std::fflush(out) != 0 || std::ferror(out)) {
        std::fputs(kWriteError, err);
        return 1;
    }
    return 0;
}
