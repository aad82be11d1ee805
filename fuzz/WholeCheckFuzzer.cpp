// SPDX-License-Identifier: BSD-2-Clause
// One check over arbitrary bytes with every output at once: the text
// report, the summary, JSON Lines, the verdict line and the HTML page with
// its index, all reading the same findings, under a file name taken from
// the input (quotes, markup, control bytes, invalid UTF-8 and Shift_JIS).
//
// Input: byte 0 chooses options (bit 0 UTF-8 text, bit 1 whole programmes
// expected and judged alone, bit 2 a tolerance of byte 0's high nibble, bit 3 no file name),
// byte 1 & 0x3F is the length of the file name that follows, the rest is
// the transport stream.
//
// Besides crashes it stops on output a reader could not take: JSON Lines
// that are not one JSON object a line or not UTF-8, and HTML that is not
// UTF-8 or carries control characters.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/MemoryFile.h"
#include "check/Check.h"
#include "report/HtmlReport.h"
#include "report/JsonReport.h"
#include "report/Summary.h"
#include "report/TextReport.h"
#include "report/VerdictLine.h"
#include "stream/MemorySource.h"
#include "text/Utf8.h"

namespace tsvigil {

namespace {

// The pages go to a directory of this process, removed at exit.
class PageDir {
public:
    PageDir() {
        char templ[] = "/tmp/tsvigil-fuzz-XXXXXX";
        if (mkdtemp(templ)) m_dir = templ;
    }
    ~PageDir() {
        if (m_dir.empty()) return;
        std::remove(Page().c_str());
        std::remove((m_dir + "/index.html").c_str());
        rmdir(m_dir.c_str());
    }
    PageDir(const PageDir&) = delete;
    PageDir& operator=(const PageDir&) = delete;
    const std::string& Dir() const { return m_dir; }
    std::string Page() const { return m_dir + "/page.html"; }

private:
    std::string m_dir;
};


std::string ReadFile(const std::string& path) {
    FilePtr f(std::fopen(path.c_str(), "rb"));
    std::string s;
    if (!f) return s;
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f.get())) > 0;) s.append(buf, n);
    return s;
}

[[noreturn]] void Fail(const char* what, const std::string& text) {
    std::fprintf(stderr, "%s:\n%.4000s\n", what, text.c_str());
    std::abort();
}

// RFC 8259 syntax, enough to tell a line that a JSON reader takes from one
// it refuses. The outputs nest only a few levels deep.
class JsonSyntax {
public:
    explicit JsonSyntax(const std::string& s) : m_s(s) {}
    bool Object() {
        Space();
        if (!Value(0) || m_s[pos - 1] != '}') return false;
        Space();
        return pos == m_s.size();
    }

private:
    void Space() {
        while (pos < m_s.size() && (m_s[pos] == ' ' || m_s[pos] == '\t')) ++pos;
    }
    bool Eat(char c) {
        Space();
        if (pos < m_s.size() && m_s[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
    bool String() {
        if (!Eat('"')) return false;
        while (pos < m_s.size()) {
            const unsigned char c = static_cast<unsigned char>(m_s[pos++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') continue;
            if (pos >= m_s.size()) return false;
            const char e = m_s[pos++];
            if (e == 'u') {
                for (int i = 0; i < 4; ++i, ++pos)
                    if (pos >= m_s.size() || !std::isxdigit(static_cast<unsigned char>(m_s[pos]))) return false;
            } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
                return false;
            }
        }
        return false;
    }
    bool Number() {
        const size_t start = pos;
        if (pos < m_s.size() && m_s[pos] == '-') ++pos;
        auto digits = [&] {
            const size_t d = pos;
            while (pos < m_s.size() && m_s[pos] >= '0' && m_s[pos] <= '9') ++pos;
            return pos > d;
        };
        if (pos < m_s.size() && m_s[pos] == '0') ++pos;
        else if (!digits()) return false;
        if (pos < m_s.size() && m_s[pos] == '.' && (++pos, !digits())) return false;
        if (pos < m_s.size() && (m_s[pos] == 'e' || m_s[pos] == 'E')) {
            ++pos;
            if (pos < m_s.size() && (m_s[pos] == '+' || m_s[pos] == '-')) ++pos;
            if (!digits()) return false;
        }
        return pos > start;
    }
    bool Word(const char* w) {
        const std::string word(w);
        if (m_s.compare(pos, word.size(), word) != 0) return false;
        pos += word.size();
        return true;
    }
    bool Value(int depth) {
        if (depth > 16) return false;
        Space();
        if (pos >= m_s.size()) return false;
        const char c = m_s[pos];
        if (c == '"') return String();
        if (c == '{' || c == '[') {
            const char close = c == '{' ? '}' : ']';
            ++pos;
            if (Eat(close)) return true;
            do {
                if (c == '{' && !(String() && Eat(':'))) return false;
                if (!Value(depth + 1)) return false;
            } while (Eat(','));
            return Eat(close);
        }
        if (c == 't') return Word("true");
        if (c == 'f') return Word("false");
        if (c == 'n') return Word("null");
        return Number();
    }

    const std::string& m_s;
    size_t pos = 0;
};

void CheckJsonLines(const std::string& out) {
    if (ValidUtf8(out) != out) Fail("JSON Lines not UTF-8", out);
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos) Fail("JSON Lines without a final newline", out.substr(start));
        const std::string line = out.substr(start, end - start);
        if (!JsonSyntax(line).Object()) Fail("not a JSON object", line);
        start = end + 1;
    }
}

void CheckHtml(const char* what, const std::string& page) {
    if (page.empty()) Fail(what, "(not written)");
    if (ValidUtf8(page) != page) Fail(what, page);
    for (unsigned char c : page)
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) Fail(what, page);
}

}  // namespace

}  // namespace tsvigil

using namespace tsvigil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::FILE* sink = std::fopen("/dev/null", "w");
    static PageDir dir;
    if (sink == nullptr || dir.Dir().empty()) return 0;

    const uint8_t flags = size > 0 ? data[0] : 0;
    const size_t nameLen = size > 1 ? std::min<size_t>(data[1] & 0x3F, size - 2) : 0;
    const std::string name(reinterpret_cast<const char*>(data) + (size > 1 ? 2 : 0), nameLen);
    const size_t head = size > 1 ? 2 + nameLen : size;
    const bool utf8 = flags & 1;
    const bool whole = flags & 2;
    const bool programme = whole;
    const uint64_t tolerate = (flags & 4) ? flags >> 4 : 0;
    const char* file = (flags & 8) ? nullptr : name.c_str();

    MemorySource source(data + head, size - head);
    MemoryFile json, text;
    // The text report and the summary in Shift_JIS, or through the UTF-8
    // writer as --utf8 has them.
    FilePtr converted;
    std::FILE* textOut = text.File();
    if (utf8) {
        std::FILE* c = OpenUtf8Writer(textOut);
        if (c != textOut) converted.reset(textOut = c);
    }
    TextReport report(textOut);
    SummaryReport summary(textOut);
    JsonReport jsonReport(json.File(), file);
    VerdictLine verdict(sink, file);
    HtmlReport html(dir.Page(), file);
    {
        auto check = std::make_unique<Check>(
            source, std::vector<Output*>{&report, &summary, &jsonReport, &verdict, &html}, file, Judging{tolerate, whole, {}, programme});
        check->Run();
    }
    converted.reset();
    const std::string textOutput = text.Take();
    if (utf8 && ValidUtf8(textOutput) != textOutput) Fail("UTF-8 report not UTF-8", textOutput);
    CheckJsonLines(json.Take());
    CheckHtml("HTML page", ReadFile(dir.Page()));

    // The index of several pages, naming this file twice.
    const std::string shown = file ? name : std::string();
    const std::vector<std::string> files = {shown, shown + "/"};
    const std::vector<std::string> pages = {shown + ".html", shown + "-2.html"};
    if (!WriteHtmlIndex(dir.Dir(), files, pages, {html.Info(), html.Info()})) Fail("index not written", shown);
    CheckHtml("HTML index", ReadFile(dir.Dir() + "/index.html"));
    return 0;
}
