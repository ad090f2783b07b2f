# cpack -G DEB in the build directory makes an installable Debian package of
# everything the install rules install, under /usr.
set(CPACK_PACKAGE_NAME lpt51)
set(CPACK_PACKAGE_VENDOR "lpt51 developers")
set(CPACK_PACKAGE_CONTACT "lpt51 developers <lpt51@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "AT89C51 programmer for a parallel-port adapter")
set(CPACK_PACKAGE_DESCRIPTION
    "lpt51 programs AT89C51 microcontrollers through a small passive adapter on
the PC parallel port: erase, program from Intel HEX or raw binary images, read
back, verify, blank check, lock bits and clear-write-verify, in a Qt window or
from the command line. A hex view and an 8051 disassembly view (d51) show the
code. Without hardware it runs on a virtual adapter with a modelled chip.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the programs link (Qt 6, libieee1284, the C++ runtime)
# become the Depends field.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "sdcc")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion")
# The example goes with the documentation: a known-good image to try a new
# adapter with, and the source and Makefile it was built from.
install(FILES examples/blink.c examples/blink.hex examples/Makefile
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
include(CPack)
