# The program's floors: one folder a library, each linking and including only the folders before
# it in Z4072_LAYERS (set before this is included).
#
# z4072_add_library(NAME SOURCES ... [DEPENDS lower z4072_ libraries ...] [LIBS other libraries ...])
#   in the folder's own CMakeLists.txt. Headers are included by their path from the source root;
#   each build of the library first checks its sources' includes (check_layer_includes.cmake).
# z4072_check_layer_links()
#   once every folder is added: refuses a library that links one of ours that is not a floor below
#   it, however the link was made (DEPENDS, LIBS or target_link_libraries).

set(Z4072_CMAKE_DIR ${CMAKE_CURRENT_LIST_DIR})
include(${Z4072_CMAKE_DIR}/read_lines.cmake)

function(z4072_add_library name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPENDS;LIBS" ${ARGN})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  list(FIND Z4072_LAYERS ${folder} floor)
  if(floor LESS 0)
    message(FATAL_ERROR "${folder}/ is not in Z4072_LAYERS")
  endif()
  foreach(dep ${L_DEPENDS})
    get_property(dep_floor GLOBAL PROPERTY Z4072_FLOOR_${dep})
    if(dep_floor STREQUAL "" OR NOT dep_floor LESS floor)
      message(FATAL_ERROR "${name} (${folder}/) may not link ${dep}: not a floor below it")
    endif()
  endforeach()
  set_property(GLOBAL PROPERTY Z4072_FLOOR_${name} ${floor})
  set_property(GLOBAL PROPERTY Z4072_FOLDER_${name} ${folder})
  set_property(GLOBAL APPEND PROPERTY Z4072_LIBRARIES ${name})

  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_DEPENDS} ${L_LIBS})

  set(below "")
  if(floor GREATER 0)
    math(EXPR top "${floor} - 1")
    foreach(i RANGE ${top})
      list(GET Z4072_LAYERS ${i} lower)
      list(APPEND below ${lower})
    endforeach()
  endif()
  set(files "")
  foreach(source ${L_SOURCES})
    if(source MATCHES "\\.(h|cpp)$")
      list(APPEND files ${CMAKE_CURRENT_SOURCE_DIR}/${source})
    endif()
  endforeach()
  string(REPLACE ";" "|" below "${below}")
  string(REPLACE ";" "|" files_arg "${files}")
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${name}_layers.stamp)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DFOLDER=${folder} "-DALLOWED=${below}" "-DSOURCES=${files_arg}"
            -DROOT=${PROJECT_SOURCE_DIR} -DSTAMP=${stamp}
            -P ${Z4072_CMAKE_DIR}/check_layer_includes.cmake
    DEPENDS ${files} ${Z4072_CMAKE_DIR}/check_layer_includes.cmake
            ${Z4072_CMAKE_DIR}/read_lines.cmake
    COMMENT "Checking the includes of ${folder}/ against the layers" VERBATIM)
  add_custom_target(${name}_layers DEPENDS ${stamp})
  add_dependencies(${name} ${name}_layers)
endfunction()

# The line of `file` that names `word` (not in a comment), 0 when none does.
function(z4072_line_naming file word out)
  set(${out} 0 PARENT_SCOPE)
  if(NOT EXISTS "${file}")
    return()
  endif()
  z4072_read_lines("${file}" lines)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    string(REGEX REPLACE "#.*$" "" code "${line}")
    if(code MATCHES "(^|[^A-Za-z0-9_])${word}([^A-Za-z0-9_]|$)")
      set(${out} ${number} PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()

function(z4072_check_layer_links)
  get_property(libraries GLOBAL PROPERTY Z4072_LIBRARIES)
  set(faults "")
  foreach(lib ${libraries})
    get_property(floor GLOBAL PROPERTY Z4072_FLOOR_${lib})
    get_property(folder GLOBAL PROPERTY Z4072_FOLDER_${lib})
    get_target_property(linked ${lib} LINK_LIBRARIES)
    get_target_property(passed ${lib} INTERFACE_LINK_LIBRARIES)
    set(names "")
    foreach(entry ${linked} ${passed})
      # Generator expressions ($<LINK_ONLY:z4072_x>) and namespaces are looked through.
      string(REGEX MATCHALL "z4072_[A-Za-z0-9_]+" found "${entry}")
      list(APPEND names ${found})
    endforeach()
    list(REMOVE_DUPLICATES names)
    foreach(dep ${names})
      get_property(dep_floor GLOBAL PROPERTY Z4072_FLOOR_${dep})
      if(dep STREQUAL lib OR dep_floor STREQUAL "" OR dep_floor LESS floor)
        continue()
      endif()
      get_property(dep_folder GLOBAL PROPERTY Z4072_FOLDER_${dep})
      get_target_property(dir ${lib} SOURCE_DIR)
      z4072_line_naming("${dir}/CMakeLists.txt" ${dep} line)
      string(APPEND faults "\n  ${folder}/CMakeLists.txt:${line}: ${lib} (${folder}/) may not "
                           "link ${dep} (${dep_folder}/), which is not a floor below it")
    endforeach()
  endforeach()
  if(faults)
    message(FATAL_ERROR "Links against the layers (see Z4072_LAYERS in CMakeLists.txt):${faults}")
  endif()
endfunction()
