// SPDX-License-Identifier: BSD-2-Clause
// The system interface on Windows: paths are UTF-8 inside and UTF-16 at the
// system's door, long paths go through the \\?\ prefix, and every failure is
// told as the errno value (and the C locale text) a POSIX system gives for
// it, so that reports read the same on both.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>
// <windows.h> names ReplaceFileA or ReplaceFileW ReplaceFile by a macro,
// which would rename the interface's own ReplaceFile here but not where it
// is called.
#undef ReplaceFile

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "base/Platform.h"

#include <algorithm>

namespace tsvigil {

namespace {

HANDLE Handle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle FromHandle(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(h);
}

std::wstring Wide(const std::string& utf8, UINT codePage = CP_UTF8) {
    if (utf8.empty()) return std::wstring();
    const int n = MultiByteToWideChar(codePage, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(codePage, 0, utf8.data(), static_cast<int>(utf8.size()), &w[0], n);
    return w;
}

std::string Narrow(const wchar_t* w, size_t size, UINT codePage = CP_UTF8) {
    if (size == 0) return std::string();
    const int len = static_cast<int>(size);
    // '?' for what the code page cannot show; UTF-8 takes no default character.
    // No best fit either: a character shown as another would mislead.
    const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int n = WideCharToMultiByte(codePage, flags, w, len, nullptr, 0, fallback, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(codePage, flags, w, len, &s[0], n, fallback, nullptr);
    return s;
}

// The path as the wide-character calls want it: absolute, with the
// "\\?\" prefix that lifts the 260-character limit (which also turns off the
// translation of '/', so separators are made '\' here).
std::wstring SystemPath(const std::string& path) {
    std::wstring w = Wide(path);
    for (wchar_t& c : w)
        if (c == L'/') c = L'\\';
    if (w.rfind(L"\\\\?\\", 0) == 0 || w.empty()) return w;
    const DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    if (n == 0) return w;
    std::wstring full(n, L'\0');
    const DWORD got = GetFullPathNameW(w.c_str(), n, &full[0], nullptr);
    if (got == 0 || got >= n) return w;
    full.resize(got);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// The errno value a POSIX system reports for the same failure.
int ErrnoOf(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_CANNOT_MAKE:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
        return EPIPE;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_IO_DEVICE:
        return EIO;
    default:
        return EINVAL;
    }
}

void SetErrnoFromSystem() { errno = ErrnoOf(GetLastError()); }

FileKind KindOfAttributes(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return FileKind::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileKind::Directory;
    return FileKind::Regular;
}

}  // namespace

FileHandle OpenForReading(const std::string& path) {
    // Others may read while the check runs, but not write, rename or
    // delete: a recording still held open for writing cannot be opened
    // (sharing violation, told as EACCES), and one being checked stays
    // whole until the check ends.
    const HANDLE h = CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_BACKUP_SEMANTICS,
                                 nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        SetErrnoFromSystem();
        return kNoFile;
    }
    // A directory opens too (backup semantics), as on POSIX systems: its
    // first read fails with EISDIR.
    return FromHandle(h);
}

FileHandle DuplicateStandardInput() {
    _setmode(_fileno(stdin), _O_BINARY);
    HANDLE copy = INVALID_HANDLE_VALUE;
    const HANDLE process = GetCurrentProcess();
    if (!DuplicateHandle(process, GetStdHandle(STD_INPUT_HANDLE), process, &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        SetErrnoFromSystem();
        return kNoFile;
    }
    return FromHandle(copy);
}

void CloseFile(FileHandle file) {
    if (file != kNoFile) CloseHandle(Handle(file));
}

long long ReadSome(FileHandle file, void* buf, size_t size) {
    DWORD got = 0;
    const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    if (!::ReadFile(Handle(file), buf, want, &got, nullptr)) {
        const DWORD code = GetLastError();
        // The writer of a pipe closed its end: the input has ended.
        if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return 0;
        // What a directory's handle answers to a read.
        errno = code == ERROR_INVALID_FUNCTION ? EISDIR : ErrnoOf(code);
        return -1;
    }
    return got;
}

bool WriteAll(FileHandle file, const void* buf, size_t size) {
    const char* p = static_cast<const char*>(buf);
    while (size > 0) {
        DWORD put = 0;
        const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        if (!WriteFile(Handle(file), p, want, &put, nullptr) || put == 0) {
            SetErrnoFromSystem();
            return false;
        }
        p += put;
        size -= put;
    }
    return true;
}

bool Rewind(FileHandle file) {
    LARGE_INTEGER zero{};
    return SetFilePointerEx(Handle(file), zero, nullptr, FILE_BEGIN) != 0;
}

// FILE_FLAG_SEQUENTIAL_SCAN, given at open, already says so.
void AdviseSequential(FileHandle) {}

bool StatusOf(FileHandle file, FileStatus& status) {
    const HANDLE h = Handle(file);
    const DWORD type = GetFileType(h);
    status = FileStatus();
    if (type != FILE_TYPE_DISK) {
        if (type == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR) {
            SetErrnoFromSystem();
            return false;
        }
        status.kind = FileKind::Other;  // a pipe or a console
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) {
        SetErrnoFromSystem();
        return false;
    }
    status.kind = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? FileKind::Directory : FileKind::Regular;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(h, &size)) status.size = size.QuadPart;
    status.device = info.dwVolumeSerialNumber;
    status.id = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

bool StatusOfPath(const std::string& path, FileStatus& status, bool followLink) {
    const std::wstring w = SystemPath(path);
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    // No access asked for: the attributes can be read even of a file that
    // someone holds open without sharing.
    const HANDLE h = CreateFileW(w.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(w.c_str(), GetFileExInfoStandard, &data)) {
            SetErrnoFromSystem();
            return false;
        }
        status = FileStatus();
        status.kind = followLink && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                          ? FileKind::Directory
                          : KindOfAttributes(data.dwFileAttributes);
        status.size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    if (!ok) SetErrnoFromSystem();
    CloseHandle(h);
    if (!ok) return false;
    status = FileStatus();
    status.kind = followLink ? (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? FileKind::Directory
                                                                                 : FileKind::Regular)
                             : KindOfAttributes(info.dwFileAttributes);
    status.size = (static_cast<long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    status.device = info.dwVolumeSerialNumber;
    status.id = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

bool MakeDirectory(const std::string& dir) {
    if (CreateDirectoryW(SystemPath(dir).c_str(), nullptr)) return true;
    SetErrnoFromSystem();
    return false;
}

bool ListDirectory(const std::string& dir, std::vector<DirectoryEntry>& entries) {
    WIN32_FIND_DATAW data{};
    const HANDLE h = FindFirstFileW((SystemPath(dir) + L"\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) {
        SetErrnoFromSystem();
        return false;
    }
    do {
        std::string name = Narrow(data.cFileName, wcslen(data.cFileName));
        if (name == "." || name == "..") continue;
        // A reparse point (a junction, a symbolic link) is not followed
        // into: it may lead back up the tree or onto another volume.
        entries.push_back({std::move(name), KindOfAttributes(data.dwFileAttributes)});
    } while (FindNextFileW(h, &data));
    FindClose(h);
    return true;
}

std::FILE* CreateNewFile(const std::string& path) {
    const HANDLE h = CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        SetErrnoFromSystem();
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        DeleteFileW(SystemPath(path).c_str());
        errno = EMFILE;
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, "wb");
    if (!f) {
        _close(fd);
        DeleteFileW(SystemPath(path).c_str());
        errno = ENOMEM;
    }
    return f;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
    if (MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    SetErrnoFromSystem();
    return false;
}

bool RemoveFile(const std::string& path) {
    if (DeleteFileW(SystemPath(path).c_str())) return true;
    SetErrnoFromSystem();
    return false;
}

FileHandle OpenAnonymousFile(const std::string& dir) {
    std::wstring base;
    if (dir.empty()) {
        wchar_t temp[MAX_PATH + 1];
        const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
        base = n > 0 && n <= MAX_PATH ? std::wstring(temp, n) : L".\\";
    } else {
        base = SystemPath(dir) + L"\\";
    }
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring name = base + L"tsvigil-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(serial.fetch_add(1)) + L".tmp";
        // Deleted by the system when the handle closes, however the
        // program ends.
        const HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) return FromHandle(h);
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    SetErrnoFromSystem();
    return kNoFile;
}

unsigned long ProcessId() { return GetCurrentProcessId(); }

namespace {

// A stream with a function behind it: the C library here has no such
// stream, so a pipe carries the bytes to a thread that hands them on, in
// order. Closing the stream ends the pipe; the thread then calls close and
// ends, and CloseWriteStream() waits for it.
struct PipeWriter {
    void* cookie;
    StreamWrite write;
    StreamClose close;
    int readEnd;
    bool failed;
    std::thread thread;
};

void PipeWriterThread(PipeWriter* w) {
    char buf[4096];
    for (;;) {
        const int got = _read(w->readEnd, buf, sizeof buf);
        if (got <= 0) break;
        if (!w->failed && w->write(w->cookie, buf, static_cast<size_t>(got)) != got) w->failed = true;
    }
    _close(w->readEnd);
    if (w->close && w->close(w->cookie) != 0) w->failed = true;
}

std::mutex g_writersLock;
std::map<std::FILE*, std::unique_ptr<PipeWriter>> g_writers;

}  // namespace

std::FILE* OpenWriteStream(void* cookie, StreamWrite write, StreamClose close) {
    int ends[2];
    if (_pipe(ends, 64 * 1024, _O_BINARY | _O_NOINHERIT) != 0) return nullptr;
    std::FILE* f = _fdopen(ends[1], "wb");
    if (!f) {
        _close(ends[0]);
        _close(ends[1]);
        return nullptr;
    }
    auto w = std::make_unique<PipeWriter>(PipeWriter{cookie, write, close, ends[0], false, std::thread()});
    w->thread = std::thread(PipeWriterThread, w.get());
    const std::lock_guard<std::mutex> guard(g_writersLock);
    g_writers[f] = std::move(w);
    return f;
}

int CloseWriteStream(std::FILE* stream) {
    const int closed = std::fclose(stream);
    std::unique_ptr<PipeWriter> w;
    {
        const std::lock_guard<std::mutex> guard(g_writersLock);
        const auto it = g_writers.find(stream);
        if (it != g_writers.end()) {
            w = std::move(it->second);
            g_writers.erase(it);
        }
    }
    if (!w) return closed;
    w->thread.join();
    return closed == 0 && !w->failed ? 0 : EOF;
}

bool IsConsole(std::FILE* stream) {
    if (stream == nullptr) return false;
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_CHAR) return false;
    DWORD mode = 0;
    return GetConsoleMode(h, &mode) != 0;
}

void SetBinaryMode(std::FILE* stream) {
    if (stream) _setmode(_fileno(stream), _O_BINARY);
}

void HoldClosedStandardStreams() {
    // A standard stream that is not there (a program started detached) is
    // given the null device, opened read-only, so a write to it fails as
    // it would on POSIX, and no file the program opens takes its number.
    for (int fd = 0; fd <= 2; ++fd) {
        if (_get_osfhandle(fd) != -1) continue;
        const int held = _open("NUL", _O_RDONLY | _O_BINARY);
        if (held >= 0 && held != fd) {
            _dup2(held, fd);
            _close(held);
        }
    }
}

namespace {

// A Windows shell hands wildcards to the program: an argument whose last
// component holds * or ? (and that is no option) stands for the files it
// matches, sorted by their names' bytes as a POSIX shell would give them;
// one that matches no file stays as it was, and is then unreadable.
void AddExpanded(const wchar_t* arg, std::vector<std::string>& args) {
    const std::wstring given = arg;
    const size_t cut = given.find_last_of(L"\\/:");
    const std::wstring dir = cut == std::wstring::npos ? std::wstring() : given.substr(0, cut + 1);
    const bool wild = given.find_first_of(L"*?", dir.size()) != std::wstring::npos;
    if (!wild || given.empty() || given[0] == L'-' || dir.find_first_of(L"*?") != std::wstring::npos) {
        args.push_back(Narrow(given.data(), given.size()));
        return;
    }
    std::vector<std::string> found;
    WIN32_FIND_DATAW data;
    const HANDLE h = FindFirstFileW(given.c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            const std::wstring path = dir + data.cFileName;
            found.push_back(Narrow(path.data(), path.size()));
        } while (FindNextFileW(h, &data));
        FindClose(h);
    }
    if (found.empty()) found.push_back(Narrow(given.data(), given.size()));
    std::sort(found.begin(), found.end());
    args.insert(args.end(), found.begin(), found.end());
}

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
        return args;
    }
    for (int i = 0; i < count; ++i) {
        if (i == 0) args.push_back(Narrow(wide[i], wcslen(wide[i])));
        else AddExpanded(wide[i], args);
    }
    LocalFree(wide);
    return args;
}

unsigned ProcessorCount() {
    const DWORD n = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    if (n > 0) return n;
    const unsigned h = std::thread::hardware_concurrency();
    return h > 0 ? h : 1;
}

namespace {

struct ErrorEntry {
    int number;
    const char* name;
    const char* message;
};

// The names and the C locale's messages a POSIX system gives, for the
// values the calls above can report.
const ErrorEntry kErrors[] = {
    {EPERM, "EPERM", "Operation not permitted"},
    {ENOENT, "ENOENT", "No such file or directory"},
    {EIO, "EIO", "Input/output error"},
    {EBADF, "EBADF", "Bad file descriptor"},
    {ENOMEM, "ENOMEM", "Cannot allocate memory"},
    {EACCES, "EACCES", "Permission denied"},
    {EEXIST, "EEXIST", "File exists"},
    {EXDEV, "EXDEV", "Invalid cross-device link"},
    {ENOTDIR, "ENOTDIR", "Not a directory"},
    {EISDIR, "EISDIR", "Is a directory"},
    {EINVAL, "EINVAL", "Invalid argument"},
    {EMFILE, "EMFILE", "Too many open files"},
    {ENOSPC, "ENOSPC", "No space left on device"},
    {EPIPE, "EPIPE", "Broken pipe"},
    {ENAMETOOLONG, "ENAMETOOLONG", "File name too long"},
    {ENOTEMPTY, "ENOTEMPTY", "Directory not empty"},
};

const ErrorEntry* FindError(int number) {
    for (const ErrorEntry& e : kErrors)
        if (e.number == number) return &e;
    return nullptr;
}

}  // namespace

std::string ErrorName(int number) {
    const ErrorEntry* e = FindError(number);
    return e ? e->name : "";
}

std::string ErrorMessage(int number) {
    if (const ErrorEntry* e = FindError(number)) return e->message;
    // Anything else in the system's own words.
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, static_cast<DWORD>(number), 0, reinterpret_cast<wchar_t*>(&text), 0,
                                   nullptr);
    if (n == 0 || text == nullptr) return "";
    std::string s = Narrow(text, n);
    LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    return s;
}

// Code page 932 is always there on Windows: m_handle is unused.
Cp932Converter::Cp932Converter(Direction direction) : m_direction(direction), m_handle(nullptr) {}

Cp932Converter::~Cp932Converter() = default;

bool Cp932Converter::Available() const { return true; }

namespace {

// The length of the character at s[0]: 1 or 2 bytes in code page 932,
// 1 to 4 in UTF-8 (an invalid lead byte counts 1).
size_t CharLength(const unsigned char* s, size_t n, bool utf8) {
    const unsigned char c = s[0];
    size_t len = 1;
    if (utf8)
        len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    else
        len = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC) ? 2 : 1;
    return len <= n ? len : n + 1;  // n + 1: cut off at the end
}

}  // namespace

size_t Cp932Converter::Convert(const char* s, size_t n, std::string& out) {
    const bool toUtf8 = m_direction == Direction::ToUtf8;
    const UINT from = toUtf8 ? 932 : CP_UTF8;
    const UINT to = toUtf8 ? CP_UTF8 : 932;
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    size_t i = 0;
    // One character at a time, so that the first without a counterpart
    // stops the conversion exactly there.
    while (i < n) {
        const size_t len = CharLength(p + i, n - i, !toUtf8);
        if (len > n - i) break;
        if (p[i] < 0x80) {
            out += static_cast<char>(p[i]);
            ++i;
            continue;
        }
        wchar_t w[2];
        const int wn = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, s + i, static_cast<int>(len), w, 2);
        if (wn <= 0) break;
        char buf[8];
        BOOL lost = FALSE;
        const int bn = WideCharToMultiByte(to, toUtf8 ? 0 : WC_NO_BEST_FIT_CHARS, w, wn, buf, sizeof buf, nullptr,
                                           toUtf8 ? nullptr : &lost);
        if (bn <= 0 || lost) break;
        out.append(buf, static_cast<size_t>(bn));
        i += len;
    }
    return i;
}

std::string Utf8ForStream(const std::string& utf8, std::FILE* stream) {
    const UINT codePage = IsConsole(stream) ? GetConsoleOutputCP() : GetACP();
    if (codePage == CP_UTF8) return utf8;
    const std::wstring w = Wide(utf8);
    return Narrow(w.data(), w.size(), codePage);
}

}  // namespace tsvigil
