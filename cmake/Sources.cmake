# SPDX-License-Identifier: BSD-2-Clause
# The source lists, kept once for the main build and the fuzzers' own tree
# (fuzz/), which compiles the same sources instrumented for libFuzzer.
# TSVIGIL_ROOT is the top of the source tree.
#   TSVIGIL_SOURCES: the core library, everything but main();
#   TSGEN_SOURCES:   the stream generator, everything but its main().
file(GLOB TSVIGIL_SOURCES CONFIGURE_DEPENDS
  ${TSVIGIL_ROOT}/base/*.cpp
  ${TSVIGIL_ROOT}/stream/*.cpp
  ${TSVIGIL_ROOT}/si/*.cpp
  ${TSVIGIL_ROOT}/text/*.cpp
  ${TSVIGIL_ROOT}/descriptors/*.cpp
  ${TSVIGIL_ROOT}/check/*.cpp
  ${TSVIGIL_ROOT}/report/*.cpp
  ${TSVIGIL_ROOT}/app/*.cpp)
list(FILTER TSVIGIL_SOURCES EXCLUDE REGEX ".*/app/main\\.cpp$")
# The system interface: the files named *Posix.cpp and *Windows.cpp in
# base/ are built for their system only.
if(WIN32)
  list(FILTER TSVIGIL_SOURCES EXCLUDE REGEX ".*/base/[A-Za-z]*Posix\\.cpp$")
else()
  list(FILTER TSVIGIL_SOURCES EXCLUDE REGEX ".*/base/[A-Za-z]*Windows\\.cpp$")
endif()

file(GLOB TSGEN_SOURCES CONFIGURE_DEPENDS ${TSVIGIL_ROOT}/tools/*.cpp)
list(FILTER TSGEN_SOURCES EXCLUDE REGEX ".*/tools/mkts_main\\.cpp$")
