# SPDX-License-Identifier: BSD-2-Clause
# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, whose std::thread and std::mutex sit on winpthread):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The program is linked statically (libstdc++, libgcc, winpthread), so that
# it runs on a bare Windows 10 or 11 with no DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TSVIGIL_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TSVIGIL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TSVIGIL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TSVIGIL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TSVIGIL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
