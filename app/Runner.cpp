// SPDX-License-Identifier: BSD-2-Clause
#include "app/Runner.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "app/InputList.h"
#include "app/Options.h"
#include "app/OutputPath.h"
#include "app/Progress.h"
#include "app/TextLines.h"
#include "base/MemoryFile.h"
#include "base/Platform.h"
#include "base/ReplacingFile.h"
#include "check/Check.h"
#include "check/CheckStats.h"
#include "check/Verdict.h"
#include "report/HtmlReport.h"
#include "report/JsonReport.h"
#include "report/Ranking.h"
#include "report/Summary.h"
#include "report/TextReport.h"
#include "report/VerdictLine.h"
#include "stream/StreamSource.h"
#include "text/Utf8.h"
#include "tsvigil/Version.h"

namespace tsvigil {

bool CheckStream(StreamSource* source, std::FILE* out, const CheckOptions& options,
                 const std::function<void()>& tick) {
    // The text report and the summary are Shift_JIS, or UTF-8 when asked.
    WriteStreamPtr converted;
    std::FILE* text = out;
    if (options.utf8 && !options.json && (source || options.verdict)) {
        std::FILE* c = OpenUtf8Writer(out);
        if (c != out) converted.reset(text = c);
    }
    std::vector<std::unique_ptr<Output>> outputs;
    if (options.json) {
        outputs.push_back(std::make_unique<JsonReport>(out, options.file));
    } else if (options.verdict && options.summary && options.verdictOut) {
        outputs.push_back(std::make_unique<SummaryReport>(text));
    } else if (options.verdict && !options.verdictOut) {
        if (options.summary) outputs.push_back(std::make_unique<SummaryReport>(text));
        else outputs.push_back(std::make_unique<VerdictLine>(out, options.shownFile ? options.shownFile : options.file));
    } else if (source) {
        outputs.push_back(std::make_unique<TextReport>(text));
        if (options.summary) outputs.push_back(std::make_unique<SummaryReport>(text));
    }
    // With --output the verdict line keeps to standard output.
    if (options.verdict && options.verdictOut)
        outputs.push_back(std::make_unique<VerdictLine>(options.verdictOut, options.shownFile ? options.shownFile : options.file));
    // The HTML page comes besides whatever standard output carries.
    HtmlReport* html = nullptr;
    if (options.html) {
        auto page = std::make_unique<HtmlReport>(options.html, options.file);
        html = page.get();
        outputs.push_back(std::move(page));
    }
    if (options.rank) outputs.push_back(std::make_unique<RankCollector>(*options.rank));
    std::vector<Output*> given;
    for (const auto& o : outputs) given.push_back(o.get());
    bool ok = false;
    if (source) {
        // The check holds large per-PID tables: on the heap, not the stack.
        auto check = std::make_unique<Check>(*source, given, options.file, options.judging);
        check->Run(tick);
        ok = check->Stats().verdict.Ok();
    } else {
        // An input that could not be opened still gets its verdict.
        auto stats = std::make_unique<CheckStats>();
        stats->file = options.file;
        stats->unreadable = true;
        stats->errorNumber = options.openError;
        stats->selectedServices = options.judging.services;
        stats->verdict = Judge(*stats, options.judging.tolerate);
        stats->verdict.programme = options.judging.programme;
        for (Output* o : given) o->Finish(*stats);
    }
    converted.reset();  // writes what is left, and waits for it
    if (html && options.page) *options.page = html->Info();
    return ok;
}

namespace {

class HeldOutput;

// What one file's check left to write, when files are checked at once:
// everything is held and written whole, in argument order.
struct FileResult {
    std::unique_ptr<HeldOutput> out;
    std::string verdict;  // the verdict line, when it goes apart from the report
    std::string err;
    bool ok = false;
    bool done = false;
};

bool IsDirectory(const std::string& path) {
    FileStatus st;
    return StatusOfPath(path, st) && st.kind == FileKind::Directory;
}

// Makes dir and the directories above it that are missing.
bool MakeDirectories(const std::string& dir) {
    FileStatus st;
    if (StatusOfPath(dir, st)) return st.kind == FileKind::Directory;
    const size_t slash = dir.find_last_of(kPathSeparators, dir.size() > 1 ? dir.size() - 2 : 0);
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(dir.substr(0, slash))) return false;
    return MakeDirectory(dir) || IsDirectory(dir);
}

}  // namespace

// Each base name resumes at the number where it stopped last: the names
// before it are taken and stay taken. A name is a candidate of at most two
// bases ("a-2.html" of "a-2" and of "a"), so the whole naming is linear in
// the number of files, however many share a name.
std::vector<std::string> PageNames(const std::vector<std::string>& files) {
    std::vector<std::string> names;
    names.reserve(files.size());
    std::unordered_set<std::string> taken{"index.html"};
    std::unordered_map<std::string, unsigned long long> nextOf;  // 0: the bare name not tried yet
    for (const auto& f : files) {
        std::string base = f;
        while (base.size() > 1 && std::strchr(kPathSeparators, base.back())) base.pop_back();
        const size_t slash = base.find_last_of(kPathSeparators);
        if (slash != std::string::npos) base = base.substr(slash + 1);
        if (base.empty() || base == "." || base == ".." || base == "/") base = "recording";
        unsigned long long& n = nextOf[base];
        std::string name;
        do {
            name = n == 0 ? base + ".html" : base + "-" + std::to_string(n) + ".html";
            n = n == 0 ? 2 : n + 1;
        } while (!taken.insert(name).second);
        names.push_back(std::move(name));
    }
    return names;
}

namespace {

// The report of a file checked beside others, held until its turn: in
// memory up to a limit, then in an unlinked temporary file, so that memory
// stays bounded however much a badly damaged file has to say.
class HeldOutput {
public:
    explicit HeldOutput(const HoldLimits& limits) : m_limits(limits) {
        m_file = OpenWriteStream(this, &HeldOutput::Put, nullptr);
        m_failed = m_file == nullptr;
    }
    ~HeldOutput() {
        Close();
        CloseFile(m_spill);
    }
    HeldOutput(const HeldOutput&) = delete;
    HeldOutput& operator=(const HeldOutput&) = delete;

    std::FILE* File() const { return m_file; }
    // Ends the writing; false when any of it was lost.
    bool Close() {
        if (m_file) {
            m_failed = CloseWriteStream(m_file) != 0 || m_failed;
            m_file = nullptr;
        }
        return !m_failed;
    }
    // Writes everything held to out, in order; false when it could not be
    // read back or written.
    bool CopyTo(std::FILE* out) {
        if (m_spill == kNoFile) return std::fwrite(m_memory.data(), 1, m_memory.size(), out) == m_memory.size();
        if (!Rewind(m_spill)) return false;
        std::vector<char> block(1 << 20);
        for (;;) {
            const long long got = ReadSome(m_spill, block.data(), block.size());
            if (got == 0) return true;
            if (got < 0) return false;
            if (std::fwrite(block.data(), 1, static_cast<size_t>(got), out) != static_cast<size_t>(got)) return false;
        }
    }

private:
    static long Put(void* cookie, const char* buf, size_t size) {
        return static_cast<HeldOutput*>(cookie)->Append(buf, size) ? static_cast<long>(size) : -1;
    }
    bool Append(const char* buf, size_t size) {
        if (m_failed) return false;
        if (m_spill == kNoFile && m_memory.size() + size <= m_limits.memory) {
            // Past the first MiB the room for the whole limit is taken at
            // once (pages are only touched as they fill): no copy of a large
            // report on the way, and never more room than the limit.
            const size_t need = m_memory.size() + size;
            if (need > m_memory.capacity())
                m_memory.reserve(need <= (1u << 20) ? std::max(need, 2 * m_memory.capacity()) : m_limits.memory);
            m_memory.append(buf, size);
            return true;
        }
        if (m_spill == kNoFile) {
            // A file without a name: nothing is left behind whatever ends
            // the run.
            m_spill = OpenAnonymousFile(m_limits.spillDir);
            if (m_spill == kNoFile) {
                m_failed = true;
                return false;
            }
            const std::string held = std::move(m_memory);
            m_memory = std::string();
            if (!WriteAll(held.data(), held.size())) return false;
        }
        return WriteAll(buf, size);
    }
    bool WriteAll(const char* buf, size_t size) {
        if (tsvigil::WriteAll(m_spill, buf, size)) return true;
        m_failed = true;
        return false;
    }

    HoldLimits m_limits;
    std::FILE* m_file = nullptr;
    std::string m_memory;
    FileHandle m_spill = kNoFile;
    bool m_failed = false;
};

long long SizeOf(const std::string& path) {
    FileStatus st;
    if (path == "-") {
        const FileHandle in = DuplicateStandardInput();
        const bool known = in != kNoFile && StatusOf(in, st);
        CloseFile(in);
        if (!known) return 0;
    } else if (!StatusOfPath(path, st)) {
        return 0;
    }
    return st.kind == FileKind::Regular ? st.size : 0;
}

// Checks path with its error lines to err, which names it as shown; adds
// the bytes read to done every few thousand packets. Returns whether the
// verdict is ok.
bool CheckFile(const std::string& path, const std::string& shown, std::FILE* out, std::FILE* err, CheckOptions options,
               std::atomic<long long>& done, const std::function<void()>& onTick) {
    // "-" is standard input, read through a descriptor of its own so that
    // closing the source leaves file descriptor 0 as it was.
    std::unique_ptr<StreamSource> source;
    if (path == "-") {
        const FileHandle in = DuplicateStandardInput();
        if (in != kNoFile && !(source = AdoptStreamSource(in))) {
            const int error = errno;
            CloseFile(in);
            errno = error;
        }
    } else {
        source = OpenStreamSource(path.c_str());
    }
    if (!source) {
        options.openError = errno;
        std::fprintf(err, "error - can't open file (%s).\n", shown.c_str());
    }
    options.file = path.c_str();
    long long reported = 0;
    std::function<void()> tick;
    if (source) {
        tick = [&] {
            const long long now = source->BytesRead();
            done += now - reported;
            reported = now;
            if (onTick) onTick();
        };
    }
    const bool ok = CheckStream(source.get(), out, options, tick);
    if (source) {
        done += source->BytesRead() - reported;
        if (source->IsReadError()) std::fprintf(err, "error - can't read file (%s).\n", shown.c_str());
    }
    return ok;
}

}  // namespace

const char* const kWriteError = "error - can't write report.\n";

int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err) {
    return RunCommandLine(argc, argv, out, err, HoldLimits());
}

namespace {

int BadUsage(std::FILE* err, const std::string& why) {
    std::fprintf(err, "tsvigil: %s\n%sTry 'tsvigil --help' for more information.\n", why.c_str(), kUsageLine);
    return 2;
}

// True when a write to the report's stream has failed; flushes it first,
// so that a failure is found at the file that met it.
bool WriteFailed(std::FILE* f) { return std::fflush(f) != 0 || std::ferror(f) != 0; }

// Where the HTML report goes: one page at the path given, or a directory of
// pages and their index. No page may replace a file to check, nor a file
// that is no page: a recording named after --html by mistake stays as it is.
struct PagePlan {
    std::vector<std::string> names, paths;
    std::string dir;      // empty for a single page
    std::string refusal;  // why the pages cannot be written there, or empty
};

PagePlan PlanPages(const std::string& html, const std::vector<std::string>& files) {
    PagePlan plan;
    const InputFiles inputs(files);
    if (files.size() > 1 || html.back() == '/' || IsDirectory(html)) {
        plan.dir = html;
        while (plan.dir.size() > 1 && plan.dir.back() == '/') plan.dir.pop_back();
        if (inputs.Holds(plan.dir)) {
            plan.refusal = "refusing to write '" + html + "': it is one of the files to check";
            return plan;
        }
        plan.names = PageNames(files);
        const std::string prefix = plan.dir + (plan.dir == "/" ? "" : "/");
        for (const auto& name : plan.names) plan.paths.push_back(prefix + name);
        for (const std::string& path : plan.paths) {
            plan.refusal = RefuseOutputPath(path, inputs, true);
            if (!plan.refusal.empty()) return plan;
        }
        plan.refusal = RefuseOutputPath(prefix + "index.html", inputs, true);
    } else {
        plan.refusal = RefuseOutputPath(html, inputs, true);
        if (plan.refusal.empty()) plan.paths.push_back(html);
    }
    return plan;
}

// Whether the pages of plan can be created where it puts them (making
// their directory if need be).
bool PagesCreatable(const PagePlan& plan) {
    return plan.dir.empty() ? ReplacingFile::CanCreate(plan.paths[0])
                            : MakeDirectories(plan.dir) && ReplacingFile::CanCreate(plan.dir + "/index.html");
}

// What every file's check is told, as the command line asks.
CheckOptions CheckOptionsOf(const CommandLine& cmd) {
    CheckOptions options;
    options.summary = cmd.summary;
    options.json = cmd.json;
    options.verdict = cmd.verdict;
    options.utf8 = cmd.utf8;
    options.judging.tolerate = static_cast<uint64_t>(cmd.tolerate);
    options.judging.whole = cmd.whole;
    options.judging.services = cmd.services;
    options.judging.programme = cmd.programme;
    return options;
}

// What the checks of one command line share: the files, how each is to be
// checked, and where its report goes.
struct Run {
    const std::vector<std::string>& files;
    // The files' names as the heads and verdict lines (shown) and the error
    // lines (shownErr) show them: the console's or the system's code page.
    const std::vector<std::string>& shown;
    const std::vector<std::string>& shownErr;
    std::FILE* out;   // standard output as given
    std::FILE* base;  // the reports' way out: out, or the progress line's eraser before it
    std::FILE* err;
    std::FILE* verdictOut;  // with --output and --verdict: standard output, for the verdict lines; else null
    bool headed;      // several text reports, told apart by a head line as head(1) does
    Progress& progress;
    std::atomic<long long>& done;  // bytes read over all files
    std::function<CheckOptions(size_t)> options;  // file i's

    void Head(size_t i) const {
        if (headed) std::fprintf(base, "%s==> %s <==\n", i == 0 ? "" : "\n", shown[i].c_str());
    }
    // The first write that fails ends the run: the files after it are not
    // read for a report that cannot reach anyone.
    bool ReportLost() const {
        return WriteFailed(base) || (base != out && WriteFailed(out)) || (verdictOut && WriteFailed(verdictOut));
    }
};

// One file after another, each written as it is checked (JSON Lines reach
// a reader at every TOT). Returns whether the reports were lost; allOk
// turns false at a verdict not ok.
bool CheckOneByOne(const Run& run, bool& allOk) {
    bool lost = false;
    for (size_t i = 0; i < run.files.size() && !lost; ++i) {
        run.Head(i);
        const auto tick = [&] { run.progress.Update(run.done.load()); };
        CheckOptions options = run.options(i);
        options.verdictOut = run.verdictOut;
        allOk = CheckFile(run.files[i], run.shownErr[i], run.base, run.err, options, run.done,
                          run.progress.Enabled() ? tick : std::function<void()>()) && allOk;
        lost = run.ReportLost();
    }
    return lost;
}

// Files checked at once, each held (HeldOutput) and written whole and in
// argument order. File k+jobs starts only once file k is written, so at
// most jobs reports are held at a time, each in memory only up to its share
// of the limits. Returns as CheckOneByOne does.
bool CheckAtOnce(const Run& run, size_t jobs, const HoldLimits& hold, bool& allOk) {
    const std::vector<std::string>& files = run.files;
    HoldLimits share = hold;
    share.memory = std::min(hold.memory, hold.total / jobs);
    std::vector<FileResult> results(files.size());
    std::mutex mutex;
    std::condition_variable changed;
    size_t next = 0, written = 0;
    bool stop = false, lost = false;
    auto worker = [&] {
        for (;;) {
            size_t i;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return stop || next >= files.size() || next < written + jobs; });
                if (stop || next >= files.size()) return;
                i = next++;
            }
            FileResult r;
            r.out = std::make_unique<HeldOutput>(share);
            // The error lines go with the report; where memory cannot hold
            // even them, straight to standard error.
            MemoryFile e;
            MemoryFile v;
            CheckOptions options = run.options(i);
            if (run.verdictOut) options.verdictOut = v.File() ? v.File() : run.verdictOut;
            // A report that cannot even be held is a report not written
            // (Close() says so in its turn); the file is not read for it.
            if (r.out->File())
                r.ok = CheckFile(files[i], run.shownErr[i], r.out->File(), e.File() ? e.File() : run.err, options, run.done, {});
            r.err = e.Take();
            r.verdict = v.Take();
            r.done = true;
            {
                std::lock_guard<std::mutex> lock(mutex);
                results[i] = std::move(r);
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (size_t t = 0; t < jobs; ++t) threads.emplace_back(worker);
    std::unique_lock<std::mutex> lock(mutex);
    while (written < files.size() && !lost) {
        if (!results[written].done) {
            changed.wait_for(lock, std::chrono::milliseconds(250));
            run.progress.Update(run.done.load());
            continue;
        }
        FileResult r = std::move(results[written]);
        results[written] = FileResult();
        lock.unlock();
        run.Head(written);
        const bool held = r.out->Close();
        lost = !r.out->CopyTo(run.base) || !held;
        r.out.reset();
        if (run.verdictOut) std::fputs(r.verdict.c_str(), run.verdictOut);
        lost = run.ReportLost() || lost;
        std::fputs(r.err.c_str(), run.err);
        allOk = r.ok && allOk;
        lock.lock();
        ++written;
        stop = lost;
        changed.notify_all();
    }
    lock.unlock();
    for (auto& t : threads) t.join();
    return lost;
}

// Writes what the checks left of the HTML report: false when a page or the
// index could not be written.
bool PagesWritten(const PagePlan& plan, const std::vector<std::string>& files,
                  const std::vector<HtmlPageInfo>& pages) {
    bool failed = false;
    for (const auto& p : pages) failed = failed || !p.written;
    if (!plan.dir.empty()) failed = !WriteHtmlIndex(plan.dir, files, plan.names, pages) || failed;
    return !failed;
}

}  // namespace

namespace {

// What comes before any file is checked: help, version, bad usage, the
// files (directories expanded with -r) and where the pages go. False when
// the run ends here, with its status.
bool Prepare(const CommandLine& cmd, std::FILE* out, std::FILE* err, std::vector<std::string>& files, PagePlan& plan,
             int& status) {
    switch (cmd.action) {
        case CommandLine::Action::kHelp:
        case CommandLine::Action::kVersion:
            if (cmd.action == CommandLine::Action::kHelp) std::fputs(kHelpText, out);
            else std::fprintf(out, "tsvigil %s\n", kVersion);
            status = 0;
            if (std::fflush(out) != 0) {
                std::fputs(kWriteError, err);
                status = 1;
            }
            return false;
        case CommandLine::Action::kBadUsage:
            status = BadUsage(err, cmd.error);
            return false;
        case CommandLine::Action::kUsage:
        case CommandLine::Action::kCheck:
            break;
    }
    // With -r, each directory stands for the recordings under it.
    files = cmd.recursive ? ExpandDirectories(cmd.files) : cmd.files;
    status = 2;
    if (cmd.action != CommandLine::Action::kCheck) return true;
    if (files.empty()) {
        status = BadUsage(err, "no .ts, .m2ts, .mts or .tts file found");
        return false;
    }
    if (!cmd.output.empty()) {
        const std::string refusal = RefuseOutputPath(cmd.output, InputFiles(files), false);
        // A directory is no place to write a report: it fails as a path
        // that cannot be written does, later.
        if (!refusal.empty() && !IsDirectory(cmd.output)) {
            status = BadUsage(err, refusal);
            return false;
        }
    }
    if (!cmd.html.empty()) {
        plan = PlanPages(cmd.html, files);
        if (!plan.refusal.empty()) {
            status = BadUsage(err, plan.refusal);
            return false;
        }
    }
    return true;
}

}  // namespace

namespace {

// Standard output and error as the program was given them, behind the
// streams that end their lines: whether a console is there, and its code
// page, is asked of these.
struct Given {
    std::FILE* out;
    std::FILE* err;
};

// Names are UTF-8 inside; a person reads them in the code page of where
// they are shown (to), unless --utf8 asks for UTF-8 throughout.
std::vector<std::string> ShownNames(const std::vector<std::string>& files, bool utf8, std::FILE* to) {
    std::vector<std::string> shown;
    for (const auto& f : files) shown.push_back(utf8 ? f : Utf8ForStream(f, to));
    return shown;
}

int RunParsed(const CommandLine& cmd, std::FILE* out, std::FILE* err, const HoldLimits& hold, const Given& given) {
    std::vector<std::string> files;
    PagePlan plan;
    int status = 0;
    if (!Prepare(cmd, out, err, files, plan, status)) return status;

    if (!cmd.quiet) std::fprintf(err, "\ntsvigil - transport stream checker ver %s\n\n", kVersion);
    if (cmd.action == CommandLine::Action::kUsage) {
        std::fputs("usage: tsvigil src.ts\n\n", err);
        return 0;
    }
    const CheckOptions options = CheckOptionsOf(cmd);

    // Where the pages and the report go must take files before the first
    // file is checked, not be found wanting after the last. The report
    // file is written aside and put in place whole at the end.
    std::vector<HtmlPageInfo> pages(files.size());
    ReplacingFile report;
    if ((!plan.paths.empty() && !PagesCreatable(plan)) ||
        (!cmd.output.empty() && (IsDirectory(cmd.output) || !report.Open(cmd.output)))) {
        std::fputs(kWriteError, err);
        return 1;
    }
    std::FILE* const screen = out;
    if (report.File()) out = report.File();
    const std::vector<std::string> shown = ShownNames(files, cmd.utf8, given.out);
    const std::vector<std::string> shownErr = ShownNames(files, cmd.utf8, given.err);
    // Each file's recorded programmes, written by its own check only.
    std::vector<RankedFile> ranked(cmd.rank ? files.size() : 0);
    auto withPage = [&](size_t i) {
        CheckOptions o = options;
        o.shownFile = shown[i].c_str();
        if (cmd.rank) o.rank = &ranked[i];
        if (i < plan.paths.size()) {
            o.html = plan.paths[i].c_str();
            o.page = &pages[i];
        }
        return o;
    };

    long long total = 0;
    for (const auto& f : files) total += SizeOf(f);
    Progress progress(err, total, IsConsole(given.err));
    std::atomic<long long> done{0};
    // The report's way out: the progress line's eraser when both go to one
    // terminal.
    WriteStreamPtr wrapped;
    std::FILE* base = out;
    if (progress.Enabled() && !report.File() && IsConsole(given.out)) {
        std::FILE* w = progress.Wrap(out);
        if (w != out) wrapped.reset(base = w);
    }
    const bool headed = files.size() > 1 && !cmd.json && !(cmd.verdict && !cmd.summary && cmd.output.empty());
    const Run run{files, shown, shownErr, out, base, err, report.File() && cmd.verdict ? screen : nullptr, headed, progress, done, withPage};

    bool allOk = true;
    size_t jobs = cmd.jobs == 0 ? ProcessorCount() : static_cast<size_t>(cmd.jobs);
    jobs = std::min(jobs, files.size());
    const bool lost = jobs <= 1 ? CheckOneByOne(run, allOk) : CheckAtOnce(run, jobs, hold, allOk);
    // Closing the eraser writes what it holds to out.
    bool closed = true;
    if (wrapped) closed = CloseWriteStream(wrapped.release()) == 0;
    progress.Finish();
    // The ranking comes after everything else: with the JSON Lines, or
    // beside the verdict lines where they go apart from the report, its
    // names shown as theirs are.
    if (cmd.rank && !lost)
        WriteRanking(!cmd.json && run.verdictOut ? run.verdictOut : out, cmd.json ? files : shown, ranked,
                     cmd.json ? RankStyle::kJson : cmd.utf8 ? RankStyle::kUtf8 : RankStyle::kShiftJis);
    // A report that did not reach its destination (a closed standard
    // output, a full disk) is the one failure of the run itself.
    if (lost || !closed || std::fflush(out) != 0 || std::ferror(out) || (!plan.paths.empty() && !PagesWritten(plan, files, pages)) ||
        std::fflush(screen) != 0 || std::ferror(screen) || (report.File() && !report.Commit())) {
        std::fputs(kWriteError, err);
        return 1;
    }
    return cmd.verdict && !allOk ? 3 : 0;
}

}  // namespace

int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err, const HoldLimits& hold) {
    const CommandLine cmd = ParseCommandLine(argc, argv);
    // Text lines end as the system's console programs end theirs; JSON
    // Lines on standard output keep LF.
    TextLines outLines(out, !(cmd.json && cmd.output.empty()));
    TextLines errLines(err, true);
    if (cmd.utf8) {
        ShowUtf8OnConsole(out);
        ShowUtf8OnConsole(err);
    }
    int status = RunParsed(cmd, outLines.File(), errLines.File(), hold, Given{out, err});
    // What was still held on its way to standard output can fail there too.
    if (!outLines.Close() && (status == 0 || status == 3)) {
        std::fputs(kWriteError, errLines.File());
        status = 1;
    }
    errLines.Close();
    return status;
}

}  // namespace tsvigil
