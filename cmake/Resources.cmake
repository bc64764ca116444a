# Turns the resource sources under resources/ into the forms each build loads:
# a compiled-in table for the POSIX build and a resource script for Windows.
# Runs at configure time; the sources are configure dependencies, so an edit to
# one reconfigures.

function(kxfiles_generate_resources out_dir)
  set(messages_file "${PROJECT_SOURCE_DIR}/resources/messages.txt")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${messages_file}")
  file(STRINGS "${messages_file}" lines ENCODING UTF-8)

  set(c_entries "")
  set(rc_entries "")
  set(expected 0)
  foreach(line IN LISTS lines)
    if(line MATCHES "^#" OR line STREQUAL "")
      continue()
    endif()
    if(NOT line MATCHES "^([0-9]+)\t(.*)$")
      message(FATAL_ERROR "resources/messages.txt: malformed line: ${line}")
    endif()
    set(number "${CMAKE_MATCH_1}")
    set(text "${CMAKE_MATCH_2}")
    if(NOT number EQUAL expected)
      message(FATAL_ERROR "resources/messages.txt: message ${number} out of order")
    endif()
    math(EXPR expected "${expected} + 1")
    string(REPLACE "\\" "\\\\" c_text "${text}")
    string(REPLACE "\"" "\\\"" c_text "${c_text}")
    string(REPLACE "\"" "\"\"" rc_text "${text}")
    string(APPEND c_entries "    \"${c_text}\",\n")
    string(APPEND rc_entries "  ${number}, \"${rc_text}\"\n")
  endforeach()

  file(MAKE_DIRECTORY "${out_dir}")
  file(CONFIGURE OUTPUT "${out_dir}/messages.inc" CONTENT
"// Generated from resources/messages.txt by cmake/Resources.cmake; do not edit.
static const char *const kMessageTexts[] = {
${c_entries}};
" @ONLY)
  file(CONFIGURE OUTPUT "${out_dir}/kxfiles.rc" CONTENT
"// Generated from resources/messages.txt by cmake/Resources.cmake; do not edit.
STRINGTABLE
BEGIN
${rc_entries}END
" @ONLY)
endfunction()
