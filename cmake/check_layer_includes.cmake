cmake_minimum_required(VERSION 3.25)
# Build step of each subsystem library: refuses an include that goes up a floor. Run as
#   cmake -DFOLDER=<folder> -DALLOWED=<folder|folder|...> -DSOURCES=<file|file|...>
#         -DSTAMP=<file> -P check_layer_includes.cmake
# A project header is included by its path from the source root ("decode/frame_assembler.h");
# the folder of that path must be FOLDER itself or one of the floors below it (ALLOWED).
string(REPLACE "|" ";" allowed "${ALLOWED}")
string(REPLACE "|" ";" sources "${SOURCES}")
get_filename_component(root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(faults "")
foreach(source ${sources})
  file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  file(RELATIVE_PATH shown "${root}" "${source}")
  get_filename_component(here "${source}" DIRECTORY)
  foreach(line ${lines})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" header "${line}")
    get_filename_component(folder "${header}" DIRECTORY)
    if(folder STREQUAL "")
      # A bare name is a generated header, or one that does not say where it lives.
      if(EXISTS "${here}/${header}")
        string(APPEND faults "\n  ${shown}: \"${header}\": include it by its path from the "
                             "source root (\"${FOLDER}/${header}\")")
      endif()
    elseif(NOT folder STREQUAL FOLDER AND NOT folder IN_LIST allowed)
      string(APPEND faults "\n  ${shown}: \"${header}\": ${FOLDER}/ may not include from "
                           "${folder}/, which is not a floor below it")
    endif()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "Includes against the layers (see Z4072_LAYERS in CMakeLists.txt):${faults}")
endif()
file(TOUCH "${STAMP}")
