// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// Everything the program asks of the operating system, in one place: one
// source file per system (PlatformPosix.cpp, PlatformWindows.cpp) stands
// behind these declarations, and no other file knows which system it runs
// on. Paths and texts are UTF-8 here whatever the system uses; a failing
// call leaves its reason in errno, as an errno value on every system, so
// that ErrorText() says the same thing everywhere.

namespace tsvigil {

// An open file: a descriptor on POSIX, a HANDLE on Windows.
using FileHandle = std::intptr_t;
constexpr FileHandle kNoFile = -1;

enum class FileKind { Regular, Directory, Link, Other };

struct FileStatus {
    FileKind kind = FileKind::Other;
    long long size = 0;   // bytes, exact past 4 GiB
    uint64_t device = 0;  // device and id together name one file,
    uint64_t id = 0;      // whatever path it was reached by
};

// ---- Reading input ---------------------------------------------------

// Opens path for reading; kNoFile, with errno set, when it cannot be. On
// Windows others may read the file while it is open but not write, rename
// or delete it, so a recording still being written cannot be opened.
FileHandle OpenForReading(const std::string& path);
// A handle of its own on standard input, read as bytes (no text mode);
// closing it leaves standard input open. kNoFile with errno set on failure.
FileHandle DuplicateStandardInput();
void CloseFile(FileHandle file);
// Reads at most size bytes into buf: the count, 0 at the end of the input,
// -1 with errno set when the read failed. An interrupted read is retried.
long long ReadSome(FileHandle file, void* buf, size_t size);
// Writes all of size bytes; false with errno set when any could not be.
bool WriteAll(FileHandle file, const void* buf, size_t size);
// Back to the file's first byte.
bool Rewind(FileHandle file);
// Tells the system the file is read once from front to back.
void AdviseSequential(FileHandle file);

// ---- Files and directories -------------------------------------------

// What file is open as file; false with errno set when it cannot be told.
bool StatusOf(FileHandle file, FileStatus& status);
// What path names, following a symbolic link (or reparse point) when
// followLink; false with errno set when it names nothing.
bool StatusOfPath(const std::string& path, FileStatus& status, bool followLink = true);
// Makes the directory dir (its parent must exist).
bool MakeDirectory(const std::string& dir);

struct DirectoryEntry {
    std::string name;
    FileKind kind;  // Link for a symbolic link or reparse point, not followed
};
// The entries of dir, without "." and "..", in the order the system gives
// them; false when dir cannot be read.
bool ListDirectory(const std::string& dir, std::vector<DirectoryEntry>& entries);

// Creates path, which must not exist yet, for writing as bytes; null with
// errno set (EEXIST when it exists) when it cannot be created.
std::FILE* CreateNewFile(const std::string& path);
// Puts from in to's place at once: to names either its old file or the new
// one, never a half-written file.
bool ReplaceFile(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);
// A file without a name in dir (or the system's temporary directory when
// dir is empty), gone when closed, whatever ends the program.
FileHandle OpenAnonymousFile(const std::string& dir);
unsigned long ProcessId();

// ---- Streams -----------------------------------------------------------

// A stdio stream whose bytes go to write(cookie, ...), which returns the
// count taken or -1; close(cookie), when given, is called when the stream
// is closed and returns 0 or -1. Null when no stream can be made. Closed
// by CloseWriteStream(), not fclose().
using StreamWrite = long (*)(void* cookie, const char* buf, size_t size);
using StreamClose = int (*)(void* cookie);
std::FILE* OpenWriteStream(void* cookie, StreamWrite write, StreamClose close);
// Closes a stream made by OpenWriteStream(), returning once every byte
// written to it was handed to write and close was called: 0, or EOF when
// any of it failed.
int CloseWriteStream(std::FILE* stream);
struct WriteStreamCloser {
    void operator()(std::FILE* f) const { CloseWriteStream(f); }
};
using WriteStreamPtr = std::unique_ptr<std::FILE, WriteStreamCloser>;
// Whether stream is a console or terminal.
bool IsConsole(std::FILE* stream);
// Writes stream as bytes: no line end is translated.
void SetBinaryMode(std::FILE* stream);
// Standard input, output and error that were closed when the program was
// started are held by a null device, so that no file the program opens
// takes their place and receives what is written to them.
void HoldClosedStandardStreams();
// The command line as UTF-8 strings, the program's name first.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// ---- The machine -------------------------------------------------------

// Processors available to this process, at least 1.
unsigned ProcessorCount();
// An errno value as its name ("ENOENT"), and the C locale's message
// ("No such file or directory"); empty when the system knows no such value.
std::string ErrorName(int number);
std::string ErrorMessage(int number);

// ---- Text ----------------------------------------------------------------

// Code page 932 (Shift_JIS with its vendor extensions) and UTF-8 in either
// direction. Convert() converts from the front of s as far as each
// character has a counterpart, appends the result to out and returns the
// bytes taken: fewer than n when it stopped at a sequence with no
// character in the other set or one cut off at the end.
class Cp932Converter {
public:
    enum class Direction { ToUtf8, FromUtf8 };
    explicit Cp932Converter(Direction direction);
    ~Cp932Converter();
    Cp932Converter(const Cp932Converter&) = delete;
    Cp932Converter& operator=(const Cp932Converter&) = delete;

    // False where the system has no table for code page 932.
    bool Available() const;
    size_t Convert(const char* s, size_t n, std::string& out);

private:
    [[maybe_unused]] Direction m_direction;  // read on Windows only
    void* m_handle;
};

// UTF-8 text as stream shows it: in the console's code page for a console,
// in the system's code page for anything else, with '?' for a character
// that code page has not. Unchanged where the system's texts are UTF-8.
std::string Utf8ForStream(const std::string& utf8, std::FILE* stream);

// ---- Text lines on standard output and standard error --------------------
// (base/ConsolePosix.cpp, base/ConsoleWindows.cpp)

// Whether text lines written to standard output and standard error end
// with CR LF, as console programs and the batch files that read them
// expect on Windows, rather than with LF alone.
bool TextLinesEndWithCrLf();
// The characters that separate a path's directories: "/", and on Windows
// also "\\".
extern const char* const kPathSeparators;
// For --utf8: the console behind stream shows UTF-8 for the rest of the
// run; its code page is set back when the program ends, also on Ctrl+C.
// Nothing where stream is no console or the system needs no switch.
void ShowUtf8OnConsole(std::FILE* stream);

}  // namespace tsvigil
