# Checks the manual page: it renders without a warning from man or groff, and it has a section for
# every mode and option that the program's --help lists.
#   cmake -DMAN=<z4072.1> -DPROGRAM=<z4072> [-DMAN_PROGRAM=<man>] -P check_manual.cmake
file(READ ${MAN} page)

execute_process(COMMAND ${PROGRAM} --help RESULT_VARIABLE rc OUTPUT_VARIABLE help)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "z4072 --help failed: ${rc}")
endif()
string(REGEX MATCHALL "\n  z4072 [-a-z]+" modes "${help}")
if(NOT modes)
  message(FATAL_ERROR "no mode found in --help:\n${help}")
endif()
set(missing)
foreach(m ${modes})
  string(REGEX REPLACE "^\n  z4072 " "" m "${m}")
  if(m MATCHES "^--")
    # Options are written with escaped hyphens in the page.
    string(REPLACE "-" "\\\\-" pattern "${m}")
    string(REGEX MATCH "\\.(B|BI|SS)[^\n]*${pattern}" found "${page}")
  else()
    string(REGEX MATCH "\n\\.SS ${m}[ \n]" found "${page}")
  endif()
  if(NOT found)
    list(APPEND missing ${m})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "the manual page has no section for: ${missing}")
endif()

if(MAN_PROGRAM)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANWIDTH=80
                          ${MAN_PROGRAM} --warnings -E UTF-8 -l ${MAN}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE warnings)
  if(NOT rc EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "man -l ${MAN}: ${rc}\n${warnings}")
  endif()
  if(NOT text MATCHES "EXIT STATUS")
    message(FATAL_ERROR "man -l ${MAN} rendered no page:\n${text}")
  endif()
else()
  message(STATUS "man not found: rendering not checked")
endif()
