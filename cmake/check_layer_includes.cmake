cmake_minimum_required(VERSION 3.25)
# Build step of each subsystem library: refuses an include that goes up a floor, and a system
# header outside the files that are named for their system. Run as
#   cmake -DFOLDER=<folder> -DALLOWED=<folder|folder|...> -DSOURCES=<file|file|...>
#         -DSTAMP=<file> [-DROOT=<source root>] -P check_layer_includes.cmake
# Rules, each fault given as file:line: rule
#   - A header of ours is included by its path from the source root ("decode/frame_assembler.h"
#     or <decode/frame_assembler.h>); its folder must be FOLDER itself or one of the floors below
#     it (ALLOWED).
#   - The system's own headers (<unistd.h>, <fcntl.h>, <poll.h>, <signal.h>, <termios.h>,
#     <sys/...>) only in a file whose name says its system: name_posix.cpp, name_linux.cpp,
#     name_win.cpp, name_macos.cpp, name_bsd.cpp (and their headers).
include(${CMAKE_CURRENT_LIST_DIR}/read_lines.cmake)
string(REPLACE "|" ";" allowed "${ALLOWED}")
string(REPLACE "|" ";" sources "${SOURCES}")
if(NOT ROOT)
  get_filename_component(ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
endif()
set(system_header_regex "^((unistd|fcntl|poll|signal|termios)\\.h|sys/.*)$")
set(system_file_regex "_(posix|linux|win|macos|bsd)$")
set(faults "")
foreach(source ${sources})
  file(RELATIVE_PATH shown "${ROOT}" "${source}")
  get_filename_component(here "${source}" DIRECTORY)
  get_filename_component(stem "${source}" NAME_WLE)
  z4072_read_lines("${source}" lines)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]*)[>\"]")
      continue()
    endif()
    set(open "${CMAKE_MATCH_1}")
    set(header "${CMAKE_MATCH_2}")
    if(open STREQUAL "<")
      set(shown_header "<${header}>")
    else()
      set(shown_header "\"${header}\"")
    endif()
    set(where "\n  ${shown}:${number}: ${shown_header}")
    get_filename_component(folder "${header}" DIRECTORY)
    # Ours: any quoted include, and a bracketed one that names a file of the source tree.
    set(ours FALSE)
    if(open STREQUAL "\"" OR (NOT folder STREQUAL "" AND EXISTS "${ROOT}/${header}"))
      set(ours TRUE)
    endif()
    if(ours AND folder STREQUAL "")
      # A bare name is a generated header, or one that does not say where it lives.
      if(EXISTS "${here}/${header}")
        string(APPEND faults "${where}: include it by its path from the source root "
                             "(\"${FOLDER}/${header}\")")
      endif()
    elseif(ours AND NOT folder STREQUAL FOLDER AND NOT folder IN_LIST allowed)
      string(APPEND faults "${where}: ${FOLDER}/ may not include from ${folder}/, which is not "
                           "a floor below it")
    elseif(open STREQUAL "<" AND header MATCHES "${system_header_regex}"
           AND NOT stem MATCHES "${system_file_regex}")
      string(APPEND faults "${where}: a system header, only in a file named for its system "
                           "(${stem}_posix, _linux, _win, ...)")
    endif()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "Includes against the layers (see Z4072_LAYERS in CMakeLists.txt):${faults}")
endif()
if(STAMP)
  file(TOUCH "${STAMP}")
endif()
