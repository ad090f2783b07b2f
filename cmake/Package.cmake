# SPDX-License-Identifier: GPL-3.0-or-later
# cpack -G DEB in the build directory makes an installable Debian package of
# everything the install rules install, under /usr.
#
# The project has no mail domain of its own yet; example.org is reserved and
# can reach nobody by mistake. A packager sets the real one here.
set(LPT51_PACKAGE_MAINTAINER "lpt51 developers <lpt51@example.org>"
    CACHE STRING "Maintainer of the Debian package: Name <address>")

# Debian's hardening flags, as dpkg-buildflags gives them with every hardening
# feature on (fortify, stack protector, relro, bindnow), for the targets the
# package ships. The build type keeps choosing optimisation and debug
# information. Off for the sanitizer and fuzz builds and without optimisation:
# fortify needs the optimiser and gets in the sanitizers' way.
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
set(lpt51_hardening_default OFF)
if(DPKG_BUILDFLAGS AND NOT LPT51_SANITIZE AND NOT LPT51_BUILD_FUZZ
   AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  set(lpt51_hardening_default ON)
endif()
option(LPT51_DEB_HARDENING "Build the installed programs with Debian's hardening flags"
       ${lpt51_hardening_default})

function(lpt51_buildflags kind out)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            ${DPKG_BUILDFLAGS} --get ${kind}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  list(FILTER flags EXCLUDE REGEX "^-(O.*|g)$")
  set(${out} ${flags} PARENT_SCOPE)
endfunction()

# Every target of a directory and of the directories below it.
function(lpt51_targets_below dir out)
  get_property(found DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    lpt51_targets_below(${sub} below)
    list(APPEND found ${below})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

if(LPT51_DEB_HARDENING)
  if(NOT DPKG_BUILDFLAGS)
    message(FATAL_ERROR "LPT51_DEB_HARDENING needs dpkg-buildflags (package dpkg-dev)")
  endif()
  lpt51_buildflags(CPPFLAGS cppflags)
  lpt51_buildflags(CFLAGS cflags)
  lpt51_buildflags(CXXFLAGS cxxflags)
  lpt51_buildflags(LDFLAGS ldflags)
  # The tests and benchmarks come later and keep the plain flags; the static
  # libraries they share with the programs are hardened here.
  lpt51_targets_below(${CMAKE_SOURCE_DIR} targets)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      target_compile_options(${target} PRIVATE ${cppflags}
        "$<$<COMPILE_LANGUAGE:C>:${cflags}>" "$<$<COMPILE_LANGUAGE:CXX>:${cxxflags}>")
    endif()
    if(type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
      target_link_options(${target} PRIVATE ${ldflags})
    endif()
  endforeach()
endif()

# The Debian documentation every package carries: the machine-readable
# copyright file and the changelog, compressed as Debian installs it (-n keeps
# the package reproducible).
find_program(GZIP_PROGRAM gzip REQUIRED)
configure_file(packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${GZIP_PROGRAM} -9n -c ${CMAKE_BINARY_DIR}/packaging/changelog
          > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog VERBATIM)
add_custom_target(lpt51_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The one tag lintian raises that stays: see the file.
install(FILES packaging/lintian-overrides RENAME lpt51
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides)
# What software centres show of the program.
install(FILES packaging/org.example.lpt51.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_PACKAGE_NAME lpt51)
set(CPACK_PACKAGE_VENDOR "lpt51 developers")
set(CPACK_PACKAGE_CONTACT "${LPT51_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "AT89C51 programmer for a parallel-port adapter")
set(CPACK_PACKAGE_DESCRIPTION
    "lpt51 programs AT89C51 microcontrollers through a small passive adapter on
the PC parallel port: erase, program from Intel HEX or raw binary images, read
back, verify, blank check, lock bits and clear-write-verify, in a Qt window or
from the command line. A hex view and an 8051 disassembly view (d51) show the
code. Without hardware it runs on a virtual adapter with a modelled chip.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# strip keeps the compiler's .comment section; Debian's packages drop it.
set(CPACK_LPT51_OBJCOPY ${CMAKE_OBJCOPY})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/packaging/remove-comment-sections.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The shared libraries the programs link (Qt 6, libieee1284, the C++ runtime)
# become the Depends field, with what no link shows: Qt's SVG image plugin,
# which draws the window's icon.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "sdcc")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion")
# The example goes with the documentation: a known-good image to try a new
# adapter with, and the source and Makefile it was built from.
install(FILES examples/blink.c examples/blink.hex examples/Makefile
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
include(CPack)
