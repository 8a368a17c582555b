# The test kit's suites, from kit/suites.txt: KIT_SUITES, their programs'
# target names in order, and kit_suites_header(FILE), which writes the
# kit's table of them (programs and headings) for cellattr-kit.exe.
set(KIT_SUITES_FILE ${CMAKE_CURRENT_LIST_DIR}/../kit/suites.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KIT_SUITES_FILE})
file(STRINGS ${KIT_SUITES_FILE} kit_suite_lines REGEX "^[^#]")
set(KIT_SUITES "")
set(kit_suites_table "")
foreach(line ${kit_suite_lines})
  if(NOT line MATCHES "^([a-z0-9_]+) (.+)$")
    message(FATAL_ERROR "kit/suites.txt: not PROGRAM HEADING: ${line}")
  endif()
  list(APPEND KIT_SUITES ${CMAKE_MATCH_1})
  string(APPEND kit_suites_table "    {L\"${CMAKE_MATCH_1}.exe\", \"${CMAKE_MATCH_2}\"},\n")
endforeach()

function(kit_suites_header file)
  file(CONFIGURE OUTPUT ${file} CONTENT "// Written by cmake/kit_suites.cmake from kit/suites.txt.
#pragma once

struct KitSuite {
    const wchar_t* program;
    const char* heading;
};

constexpr KitSuite kSuites[] = {
${kit_suites_table}};
")
endfunction()
