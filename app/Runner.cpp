// SPDX-License-Identifier: BSD-2-Clause
#include "app/Runner.h"

#include <unistd.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/Options.h"
#include "app/Progress.h"
#include "check/Check.h"
#include "report/HtmlReport.h"
#include "report/JsonReport.h"
#include "report/Summary.h"
#include "report/TextReport.h"
#include "report/VerdictLine.h"
#include "stream/StreamSource.h"
#include "text/Utf8.h"
#include "tsvigil/Version.h"

namespace {

struct CFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using CFilePtr = std::unique_ptr<std::FILE, CFileCloser>;

}  // namespace

bool CheckStream(CStreamSource* source, std::FILE* out, const CCheckOptions& options,
                 const std::function<void()>& tick) {
    // The text report and the summary are Shift_JIS, or UTF-8 when asked.
    CFilePtr converted;
    std::FILE* text = out;
    if (options.utf8 && !options.json && (source || options.verdict)) {
        std::FILE* c = OpenUtf8Writer(out);
        if (c != out) converted.reset(text = c);
    }
    std::vector<std::unique_ptr<COutput>> outputs;
    if (options.json) {
        outputs.push_back(std::make_unique<CJsonReport>(out, options.file));
    } else if (options.verdict) {
        if (options.summary) outputs.push_back(std::make_unique<CSummaryReport>(text));
        else outputs.push_back(std::make_unique<CVerdictLine>(out, options.file));
    } else if (source) {
        outputs.push_back(std::make_unique<CTextReport>(text));
        if (options.summary) outputs.push_back(std::make_unique<CSummaryReport>(text));
    }
    // The HTML page comes besides whatever standard output carries.
    CHtmlReport* html = nullptr;
    if (options.html) {
        auto page = std::make_unique<CHtmlReport>(options.html, options.file);
        html = page.get();
        outputs.push_back(std::move(page));
    }
    std::vector<COutput*> given;
    for (const auto& o : outputs) given.push_back(o.get());
    bool ok = false;
    if (source) {
        // The check holds large per-PID tables: on the heap, not the stack.
        auto check = std::make_unique<CCheck>(*source, given, options.file, options.tolerate, options.whole);
        check->Run(tick);
        ok = check->Stats().verdict.Ok();
    } else {
        // An input that could not be opened still gets its verdict.
        auto stats = std::make_unique<CCheckStats>();
        stats->file = options.file;
        stats->unreadable = true;
        stats->verdict = Judge(*stats, options.tolerate);
        for (COutput* o : given) o->Finish(*stats);
    }
    if (converted) std::fclose(converted.release());
    if (html && options.page) *options.page = html->Info();
    return ok;
}

namespace {

// What one file's check left to write, when files are checked at once:
// everything goes to memory and is written whole, in argument order.
struct CFileResult {
    std::string out;
    std::string err;
    bool ok = false;
    bool done = false;
};

// Makes dir and the directories above it that are missing.
bool MakeDirectories(const std::string& dir) {
    struct stat st;
    if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const size_t slash = dir.find_last_of('/', dir.size() > 1 ? dir.size() - 2 : 0);
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(dir.substr(0, slash))) return false;
    return mkdir(dir.c_str(), 0777) == 0 || (stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

// The pages of several files in one directory: each named after its
// file's base name with ".html", the second of a name "-2" before it, and
// so on.
std::vector<std::string> PageNames(const std::vector<std::string>& files) {
    std::vector<std::string> names;
    std::vector<std::string> taken;
    for (const auto& f : files) {
        std::string base = f;
        while (base.size() > 1 && base.back() == '/') base.pop_back();
        const size_t slash = base.find_last_of('/');
        if (slash != std::string::npos) base = base.substr(slash + 1);
        if (base.empty() || base == "." || base == ".." || base == "/") base = "recording";
        std::string name = base + ".html";
        for (int n = 2; std::find(taken.begin(), taken.end(), name) != taken.end() || name == "index.html"; ++n)
            name = base + "-" + std::to_string(n) + ".html";
        taken.push_back(name);
        names.push_back(name);
    }
    return names;
}

// A stream into a std::string, for a file checked beside others.
class CMemoryOutput {
public:
    CMemoryOutput() : m_file(open_memstream(&m_buf, &m_size)) {}
    ~CMemoryOutput() {
        if (m_file) std::fclose(m_file);
        std::free(m_buf);
    }
    CMemoryOutput(const CMemoryOutput&) = delete;
    CMemoryOutput& operator=(const CMemoryOutput&) = delete;
    std::FILE* File() const { return m_file; }
    std::string Take() {
        if (m_file) std::fclose(m_file);
        m_file = nullptr;
        return m_buf ? std::string(m_buf, m_size) : std::string();
    }

private:
    char* m_buf = nullptr;
    size_t m_size = 0;
    std::FILE* m_file;
};

long long SizeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<long long>(st.st_size) : 0;
}

// Checks path with its error lines to err; adds the bytes read to done
// every few thousand packets. Returns whether the verdict is ok.
bool CheckFile(const std::string& path, std::FILE* out, std::FILE* err, CCheckOptions options,
               std::atomic<long long>& done, const std::function<void()>& onTick) {
    std::unique_ptr<CStreamSource> source = OpenStreamSource(path.c_str());
    if (!source) std::fprintf(err, "error - can't open file (%s).\n", path.c_str());
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
        if (source->IsReadError()) std::fprintf(err, "error - can't read file (%s).\n", path.c_str());
    }
    return ok;
}

}  // namespace

const char* const kWriteError = "error - can't write report.\n";

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
    std::fprintf(err, "\ntsvigil - transport stream checker ver %s\n\n", kVersion);
    if (cmd.action == CCommandLine::kUsage) {
        std::fputs("usage: tsvigil src.ts\n\n", err);
        return 0;
    }
    const std::vector<std::string>& files = cmd.files;
    CCheckOptions options;
    options.summary = cmd.summary;
    options.json = cmd.json;
    options.verdict = cmd.verdict;
    options.utf8 = cmd.utf8;
    options.tolerate = static_cast<uint64_t>(cmd.tolerate);
    options.whole = cmd.whole;
    // Several text reports are told apart by a head line, as head(1) does.
    const bool headed = files.size() > 1 && !cmd.json && !(cmd.verdict && !cmd.summary);

    // The HTML report: one page at the path given, or a directory of pages
    // and their index.
    std::vector<std::string> pageNames, pagePaths;
    std::vector<CHtmlPageInfo> pages(files.size());
    std::string htmlDir;
    bool htmlFailed = false;
    if (!cmd.html.empty()) {
        struct stat st;
        if (files.size() > 1 || cmd.html.back() == '/' || (stat(cmd.html.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
            htmlDir = cmd.html;
            while (htmlDir.size() > 1 && htmlDir.back() == '/') htmlDir.pop_back();
            htmlFailed = !MakeDirectories(htmlDir);
            pageNames = PageNames(files);
            for (const auto& name : pageNames) pagePaths.push_back(htmlDir + (htmlDir == "/" ? "" : "/") + name);
        } else {
            pagePaths.push_back(cmd.html);
        }
    }
    auto withPage = [&](size_t i) {
        CCheckOptions o = options;
        if (i < pagePaths.size()) {
            o.html = pagePaths[i].c_str();
            o.page = &pages[i];
        }
        return o;
    };

    long long total = 0;
    for (const auto& f : files) total += SizeOf(f);
    CProgress progress(err, total);
    std::atomic<long long> done{0};
    // The report's way out: the progress line's eraser when both go to one
    // terminal.
    CFilePtr wrapped;
    std::FILE* base = out;
    if (progress.Enabled() && isatty(fileno(out)) == 1) {
        std::FILE* w = progress.Wrap(out);
        if (w != out) wrapped.reset(base = w);
    }
    auto head = [&](size_t i) {
        if (headed) std::fprintf(base, "%s==> %s <==\n", i == 0 ? "" : "\n", files[i].c_str());
    };

    bool allOk = true;
    size_t jobs = cmd.jobs == 0 ? std::max(1u, std::thread::hardware_concurrency()) : static_cast<size_t>(cmd.jobs);
    jobs = std::min(jobs, files.size());
    if (jobs <= 1) {
        // One file after another, each written as it is checked (JSON Lines
        // reach a reader at every TOT).
        for (size_t i = 0; i < files.size(); ++i) {
            head(i);
            const auto tick = [&] { progress.Update(done.load()); };
            allOk = CheckFile(files[i], base, err, withPage(i), done, progress.Enabled() ? tick : std::function<void()>()) && allOk;
            std::fflush(base);
        }
    } else {
        // Files checked at once, each into memory, written whole and in
        // argument order. File k+jobs starts only once file k is written,
        // so memory holds the output of at most jobs files.
        std::vector<CFileResult> results(files.size());
        std::mutex mutex;
        std::condition_variable changed;
        size_t next = 0, written = 0;
        auto worker = [&] {
            for (;;) {
                size_t i;
                {
                    std::unique_lock<std::mutex> lock(mutex);
                    changed.wait(lock, [&] { return next >= files.size() || next < written + jobs; });
                    if (next >= files.size()) return;
                    i = next++;
                }
                CMemoryOutput o, e;
                CFileResult r;
                r.ok = CheckFile(files[i], o.File(), e.File(), withPage(i), done, {});
                r.out = o.Take();
                r.err = e.Take();
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
        while (written < files.size()) {
            if (!results[written].done) {
                changed.wait_for(lock, std::chrono::milliseconds(250));
                progress.Update(done.load());
                continue;
            }
            CFileResult r = std::move(results[written]);
            results[written] = CFileResult();
            lock.unlock();
            head(written);
            std::fwrite(r.out.data(), 1, r.out.size(), base);
            std::fflush(base);
            std::fputs(r.err.c_str(), err);
            allOk = r.ok && allOk;
            lock.lock();
            ++written;
            changed.notify_all();
        }
        lock.unlock();
        for (auto& t : threads) t.join();
    }
    // Closing the eraser writes what it holds to out.
    bool closed = true;
    if (wrapped) closed = std::fclose(wrapped.release()) == 0;
    progress.Finish();
    // A report that did not reach its destination (a closed standard
    // output, a full disk) is the one failure of the run itself.
    if (!closed || std::fflush(out) != 0 || std::ferror(out)) {
        std::fputs(kWriteError, err);
        return 1;
    }
    if (!pagePaths.empty()) {
        for (const auto& p : pages) htmlFailed = htmlFailed || !p.written;
        if (!htmlDir.empty()) htmlFailed = !WriteHtmlIndex(htmlDir, files, pageNames, pages) || htmlFailed;
        if (htmlFailed) {
            std::fputs(kWriteError, err);
            return 1;
        }
    }
    return cmd.verdict && !allOk ? 3 : 0;
}
