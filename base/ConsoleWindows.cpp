// SPDX-License-Identifier: BSD-2-Clause
// Text lines on Windows: CR LF ends them, and --utf8 switches the console's
// output code page to UTF-8 (65001) for the run.
#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "base/Platform.h"

namespace tsvigil {

namespace {

// The console's output code page before --utf8 switched it; 0 while not
// switched. Set back once, by whichever comes first: the end of the
// program (exit or return from main) or Ctrl+C, Ctrl+Break or the console
// window closing.
std::atomic<UINT> g_pageBefore{0};

void RestoreConsolePage() {
    const UINT page = g_pageBefore.exchange(0);
    if (page != 0) SetConsoleOutputCP(page);
}

BOOL WINAPI RestoreConsolePageOnSignal(DWORD) {
    RestoreConsolePage();
    return FALSE;  // the next handler, the system's, then ends the program
}

}  // namespace

bool TextLinesEndWithCrLf() { return true; }

const char* const kPathSeparators = "/\\";

void ShowUtf8OnConsole(std::FILE* stream) {
    if (!IsConsole(stream)) return;
    const UINT page = GetConsoleOutputCP();
    if (page == 0 || page == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
    if (g_pageBefore.exchange(page) != 0) return;  // switched already
    std::atexit(&RestoreConsolePage);
    SetConsoleCtrlHandler(&RestoreConsolePageOnSignal, TRUE);
}

}  // namespace tsvigil
