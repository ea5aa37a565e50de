# Runs one case of the build's layer checks on the trees beside this file and checks that it
# fails with each fault as file:line: rule, and names nothing that keeps the rules.
#   cmake -DCASE=includes|links -DSOURCE_ROOT=<the program's source root> -DWORK=<scratch dir>
#         -P layer_check_test.cmake
set(here ${CMAKE_CURRENT_LIST_DIR})
set(floor_rule "which is not a floor below it")
set(system_rule "a system header, only in a file named for its system (sync_posix, _linux, _win, ...)")
if(CASE STREQUAL "includes")
  set(tree ${here}/includes)
  set(sources ${tree}/record/angle.cpp ${tree}/record/quoted.cpp ${tree}/record/bare.cpp
              ${tree}/record/sync.cpp ${tree}/record/sync_posix.cpp ${tree}/record/fine.cpp)
  string(REPLACE ";" "|" sources "${sources}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DFOLDER=record -DALLOWED=core "-DSOURCES=${sources}" -DROOT=${tree}
            -P ${SOURCE_ROOT}/cmake/check_layer_includes.cmake
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(expected
      "record/angle.cpp:3: <app/window.h>: record/ may not include from app/, ${floor_rule}"
      "record/quoted.cpp:4: \"chart/chart.h\": record/ may not include from chart/, ${floor_rule}"
      "record/bare.cpp:2: \"bare.h\": include it by its path from the source root (\"record/bare.h\")"
      "record/sync.cpp:3: <unistd.h>: ${system_rule}"
      "record/sync.cpp:5: <sys/stat.h>: ${system_rule}")
  set(unexpected "fine.cpp" "sync_posix.cpp" "<QFile>")
elseif(CASE STREQUAL "links")
  file(REMOVE_RECURSE ${WORK})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${here}/links -B ${WORK} -DZ4072_SOURCE_ROOT=${SOURCE_ROOT}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(expected
      "record/CMakeLists.txt:3: z4072_record (record/) may not link z4072_app (app/), ${floor_rule}"
      "record/CMakeLists.txt:4: z4072_record (record/) may not link z4072_chart (chart/), ${floor_rule}")
  set(unexpected "z4072_core (core/)" "z4072_chart (chart/) may not" "z4072_app (app/) may not")
else()
  message(FATAL_ERROR "CASE must be includes or links")
endif()

set(faults "")
if(result EQUAL 0)
  string(APPEND faults "\n  the check passed")
endif()
foreach(line ${expected})
  string(FIND "${out}" "  ${line}\n" at)
  if(at LESS 0)
    string(APPEND faults "\n  missing: ${line}")
  endif()
endforeach()
foreach(text ${unexpected})
  string(FIND "${out}" "${text}" at)
  if(NOT at LESS 0)
    string(APPEND faults "\n  named although it keeps the rules: ${text}")
  endif()
endforeach()
if(faults)
  message(FATAL_ERROR "The ${CASE} check:${faults}\nIts output:\n${out}")
endif()
