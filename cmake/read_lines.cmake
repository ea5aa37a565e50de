# z4072_read_lines(FILE OUT): the lines of FILE as a list, one item a line, numbered as an editor
# numbers them. The characters that CMake's lists treat specially (; [ ] \) are set aside as
# <semicolon> <open> <close> <backslash>, which is enough for the checks that look at them.
function(z4072_read_lines file out)
  file(READ "${file}" text)
  string(REPLACE ";" "<semicolon>" text "${text}")
  string(REPLACE "[" "<open>" text "${text}")
  string(REPLACE "]" "<close>" text "${text}")
  string(REPLACE "\\" "<backslash>" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()
