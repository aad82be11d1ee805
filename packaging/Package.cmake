# SPDX-License-Identifier: BSD-2-Clause
# The documentation that goes with the binary, and the Debian package that
# `make deb` builds from the install rules with CPack.

set(TSVIGIL_MAINTAINER "The tsvigil maintainers <tsvigil@example.org>"
  CACHE STRING "Maintainer named in the Debian package")

# /usr/share/doc/tsvigil/copyright in Debian's machine-readable form, from
# LICENSE: its copyright line, and its terms indented as a field's
# continuation lines ("." for an empty line).
file(READ ${CMAKE_SOURCE_DIR}/LICENSE _licence)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE)
if(NOT _licence MATCHES "\nCopyright \\(c\\) ([0-9-]+), ([^\n]+)\n")
  message(FATAL_ERROR "LICENSE: no line 'Copyright (c) YEAR, HOLDER'")
endif()
set(TSVIGIL_COPYRIGHT "${CMAKE_MATCH_1} ${CMAKE_MATCH_2}")
string(FIND "${_licence}" "Redistribution and use" _terms_start)
string(SUBSTRING "${_licence}" ${_terms_start} -1 _terms)
string(STRIP "${_terms}" _terms)
string(REPLACE "\n\n" "\n.\n" _terms "${_terms}")
string(REPLACE "\n" "\n " TSVIGIL_LICENSE_TERMS " ${_terms}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${CMAKE_BINARY_DIR}/doc/copyright @ONLY)

# The changelog in Debian's form, from CHANGELOG.md; as the package is
# native, it is changelog.gz.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.gz
  COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_SOURCE_DIR}/CHANGELOG.md -DOUT=${CMAKE_BINARY_DIR}/doc/changelog
          -DVERSION=${PROJECT_VERSION} -DMAINTAINER=${TSVIGIL_MAINTAINER}
          -P ${CMAKE_CURRENT_LIST_DIR}/DebianChangelog.cmake
  COMMAND ${GZIP_PROGRAM} -9 -n -f ${CMAKE_BINARY_DIR}/doc/changelog
  DEPENDS ${CMAKE_SOURCE_DIR}/CHANGELOG.md ${CMAKE_CURRENT_LIST_DIR}/DebianChangelog.cmake
  VERBATIM)
add_custom_target(changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog.gz)

install(FILES ${CMAKE_BINARY_DIR}/doc/copyright ${CMAKE_BINARY_DIR}/doc/changelog.gz ${CMAKE_SOURCE_DIR}/README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

# A stripped install (cmake --install --strip, the package) also drops the
# compiler's notes, as Debian's own strip does.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tsvigil\"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tsvigil)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_CONTACT "${TSVIGIL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "checker for recorded ISDB MPEG-2 transport streams")
set(CPACK_PACKAGE_DESCRIPTION
"tsvigil reads a recorded ISDB (Japanese digital television, ARIB) MPEG-2
transport stream of 188-, 192- or 204-byte packets in one pass and reports
what is wrong with it and when in the broadcast it went wrong: lost sync,
continuity-counter gaps per PID, scrambled packets and packets with the
transport error indicator, bracketed by the times of the broadcast's Time
Offset Tables, and each change of the present programme by its name.

The report is the classic Shift_JIS text, or UTF-8; a per-PID summary names
each PID's role and the services, and JSON Lines serve other programs.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
