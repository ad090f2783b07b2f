# SPDX-License-Identifier: GPL-3.0-or-later
# Run by cpack on its staging tree after the install step has stripped the
# programs: removes the .comment section (the compiler's version strings) from
# every ELF file, as Debian's own package builds do.
if(NOT CPACK_LPT51_OBJCOPY)
  message(FATAL_ERROR "no objcopy to remove the .comment sections with")
endif()
file(GLOB_RECURSE files LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS files)
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND ${CPACK_LPT51_OBJCOPY} --remove-section=.comment "${file}"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
