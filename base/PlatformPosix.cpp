// SPDX-License-Identifier: BSD-2-Clause
// The system interface on Linux and other POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/Platform.h"

namespace tsvigil {

namespace {

int Fd(FileHandle file) { return static_cast<int>(file); }

FileKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) return FileKind::Regular;
    if (S_ISDIR(mode)) return FileKind::Directory;
    if (S_ISLNK(mode)) return FileKind::Link;
    return FileKind::Other;
}

void Fill(const struct stat& st, FileStatus& status) {
    status.kind = KindOf(st.st_mode);
    status.size = static_cast<long long>(st.st_size);
    status.device = static_cast<uint64_t>(st.st_dev);
    status.id = static_cast<uint64_t>(st.st_ino);
}

}  // namespace

FileHandle OpenForReading(const std::string& path) {
    // Read-only. Linux has no share mode that keeps other processes from
    // writing the file while it is open; a recording still being written is
    // read up to the end it has when the reader reaches it.
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

FileHandle DuplicateStandardInput() { return fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0); }

void CloseFile(FileHandle file) {
    if (file != kNoFile) ::close(Fd(file));
}

long long ReadSome(FileHandle file, void* buf, size_t size) {
    for (;;) {
        const ssize_t got = ::read(Fd(file), buf, size);
        if (got >= 0 || errno != EINTR) return got;
    }
}

bool WriteAll(FileHandle file, const void* buf, size_t size) {
    const char* p = static_cast<const char*>(buf);
    while (size > 0) {
        const ssize_t put = ::write(Fd(file), p, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        p += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

bool Rewind(FileHandle file) { return ::lseek(Fd(file), 0, SEEK_SET) == 0; }

void AdviseSequential(FileHandle file) {
    // One front-to-back pass: ask for aggressive read-ahead.
    ::posix_fadvise(Fd(file), 0, 0, POSIX_FADV_SEQUENTIAL);
}

bool StatusOf(FileHandle file, FileStatus& status) {
    struct stat st {};
    if (::fstat(Fd(file), &st) != 0) return false;
    Fill(st, status);
    return true;
}

bool StatusOfPath(const std::string& path, FileStatus& status, bool followLink) {
    struct stat st {};
    if ((followLink ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return false;
    Fill(st, status);
    return true;
}

bool MakeDirectory(const std::string& dir) { return ::mkdir(dir.c_str(), 0777) == 0; }

bool ListDirectory(const std::string& dir, std::vector<DirectoryEntry>& entries) {
    struct DirCloser {
        void operator()(DIR* d) const { closedir(d); }
    };
    const std::unique_ptr<DIR, DirCloser> d(opendir(dir.c_str()));
    if (!d) return false;
    const std::string prefix = dir == "/" ? dir : dir + "/";
    while (const dirent* e = readdir(d.get())) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::lstat((prefix + name).c_str(), &st) != 0) continue;
        entries.push_back({std::move(name), KindOf(st.st_mode)});
    }
    return true;
}

std::FILE* CreateNewFile(const std::string& path) {
    // O_EXCL refuses a name that exists; mode 0666 lets the umask decide, as
    // for any file the program creates.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::FILE* f = fdopen(fd, "wb");
    if (!f) {
        const int error = errno;
        ::close(fd);
        ::unlink(path.c_str());
        errno = error;
    }
    return f;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

FileHandle OpenAnonymousFile(const std::string& dir) {
    std::string base = dir;
    if (base.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp && *tmp ? tmp : "/tmp";
    }
    std::string name = base + "/tsvigil-XXXXXX";
    const int fd = mkostemp(&name[0], O_CLOEXEC);
    // Unlinked at once: nothing is left behind whatever ends the run.
    if (fd >= 0) ::unlink(name.c_str());
    return fd;
}

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

namespace {

struct WriteCookie {
    void* cookie;
    StreamWrite write;
    StreamClose close;
};

ssize_t CookieWrite(void* c, const char* buf, size_t size) {
    const auto* w = static_cast<WriteCookie*>(c);
    return static_cast<ssize_t>(w->write(w->cookie, buf, size));
}

int CookieClose(void* c) {
    const std::unique_ptr<WriteCookie> w(static_cast<WriteCookie*>(c));
    return w->close ? w->close(w->cookie) : 0;
}

}  // namespace

std::FILE* OpenWriteStream(void* cookie, StreamWrite write, StreamClose close) {
    auto w = std::make_unique<WriteCookie>(WriteCookie{cookie, write, close});
    cookie_io_functions_t io = {};
    io.write = &CookieWrite;
    io.close = &CookieClose;
    std::FILE* f = fopencookie(w.get(), "w", io);
    if (f) w.release();  // owned by the stream from now on; freed by CookieClose
    return f;
}

int CloseWriteStream(std::FILE* stream) { return std::fclose(stream); }

bool IsConsole(std::FILE* stream) { return stream != nullptr && isatty(fileno(stream)) == 1; }

void SetBinaryMode(std::FILE*) {}

void HoldClosedStandardStreams() {
    // /dev/null is opened read-only: a write to it then fails with EBADF,
    // just as it would on the closed descriptor, and a report that goes
    // nowhere is still reported as not written.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int held = ::open("/dev/null", O_RDONLY);
        if (held >= 0 && held != fd) {
            dup2(held, fd);
            ::close(held);
        }
    }
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
    return args;
}

unsigned ProcessorCount() {
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<unsigned>(n) : 1;
}

std::string ErrorName(int number) {
    const char* name = strerrorname_np(number);
    return name ? name : "";
}

std::string ErrorMessage(int number) {
    const char* text = strerrordesc_np(number);
    return text ? text : "";
}

namespace {

iconv_t Handle(void* cd) { return static_cast<iconv_t>(cd); }
bool Valid(void* cd) { return Handle(cd) != reinterpret_cast<iconv_t>(-1); }

}  // namespace

Cp932Converter::Cp932Converter(Direction direction)
    : m_direction(direction),
      m_handle(direction == Direction::ToUtf8 ? iconv_open("UTF-8", "CP932") : iconv_open("CP932", "UTF-8")) {}

Cp932Converter::~Cp932Converter() {
    if (Valid(m_handle)) iconv_close(Handle(m_handle));
}

bool Cp932Converter::Available() const { return Valid(m_handle); }

size_t Cp932Converter::Convert(const char* s, size_t n, std::string& out) {
    if (!Valid(m_handle)) return 0;
    char buf[1024];
    char* in = const_cast<char*>(s);
    size_t inLeft = n;
    for (;;) {
        char* o = buf;
        size_t oLeft = sizeof buf;
        const size_t r = iconv(Handle(m_handle), &in, &inLeft, &o, &oLeft);
        const int err = r == static_cast<size_t>(-1) ? errno : 0;
        out.append(buf, static_cast<size_t>(o - buf));
        if (err == E2BIG || (err == 0 && inLeft > 0)) continue;
        // Stopped at the end or at a sequence without a character: the
        // state is reset for the caller's next call.
        if (err != 0) iconv(Handle(m_handle), nullptr, nullptr, nullptr, nullptr);
        return n - inLeft;
    }
}

std::string Utf8ForStream(const std::string& utf8, std::FILE*) { return utf8; }

}  // namespace tsvigil
