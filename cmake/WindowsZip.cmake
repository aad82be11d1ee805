# SPDX-License-Identifier: BSD-2-Clause
# The Windows download: tsvigil-VERSION-win64.zip with the program, the
# generator, the README, the licence, the changelog, the recorder hooks for
# Windows and the manual page as plain UTF-8 text (groff renders it; preconv
# reads its Japanese samples). `cmake -E tar --format=zip` needs no zip tool.
find_program(GROFF_PROGRAM groff REQUIRED)
set(_stage ${CMAKE_BINARY_DIR}/tsvigil-${PROJECT_VERSION}-win64)
set(_zip ${CMAKE_BINARY_DIR}/tsvigil-${PROJECT_VERSION}-win64.zip)
set(_docs
  ${CMAKE_SOURCE_DIR}/README.md
  ${CMAKE_SOURCE_DIR}/LICENSE
  ${CMAKE_SOURCE_DIR}/CHANGELOG.md)
file(GLOB _hooks CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/contrib/*.bat ${CMAKE_SOURCE_DIR}/contrib/*.ps1)
# -P-cbou: plain characters, no escape sequences and no overstriking.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/tsvigil.txt
  COMMAND sh -c "\"$0\" -k -man -Tutf8 -P-cbou \"$1\" >\"$2\""
          ${GROFF_PROGRAM} ${CMAKE_BINARY_DIR}/doc/tsvigil.1 ${CMAKE_BINARY_DIR}/doc/tsvigil.txt
  DEPENDS ${CMAKE_BINARY_DIR}/doc/tsvigil.1
  VERBATIM)
add_custom_command(OUTPUT ${_zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${_stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_stage}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tsvigil> $<TARGET_FILE:tsvigil-mkts> ${_docs}
          ${CMAKE_BINARY_DIR}/doc/tsvigil.txt ${_hooks} ${_stage}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${_zip}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${_zip} --format=zip tsvigil-${PROJECT_VERSION}-win64
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS tsvigil tsvigil-mkts ${_docs} ${_hooks} ${CMAKE_BINARY_DIR}/doc/tsvigil.txt
  VERBATIM)
add_custom_target(windows-zip ALL DEPENDS ${_zip})
