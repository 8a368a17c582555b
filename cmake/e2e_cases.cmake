# Writes OUTPUT, the header that names the end to end cases (the NAME of each
# e2e/NAME.out) for the end to end suite, which fails where its cases'
# folder holds other ones.  In a git checkout the cases are the files git
# tracks, as the test kit ships them (tools/dist.sh); elsewhere, every one
# in the folder.  Run at every build; OUTPUT is rewritten only when it
# changes, so that nothing is rebuilt for nothing.
#   cmake -DOUTPUT=FILE -DSOURCE_DIR=DIR -P e2e_cases.cmake
execute_process(COMMAND git -c core.quotepath=off ls-files -- e2e
  WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE rc OUTPUT_VARIABLE tracked ERROR_QUIET)
if(rc EQUAL 0 AND NOT tracked STREQUAL "")
  string(REPLACE "\n" ";" files "${tracked}")
else()
  file(GLOB files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/e2e/*)
endif()
set(names "")
foreach(file ${files})
  if(file MATCHES "^e2e/([^/]+)\\.out$")
    string(APPEND names "    L\"${CMAKE_MATCH_1}\",\n")
  endif()
endforeach()
if(names STREQUAL "")
  message(FATAL_ERROR "e2e/ holds no end to end case (NAME.out)")
endif()
set(text "// Written by cmake/e2e_cases.cmake: the end to end cases.\n#pragma once\n\nconstexpr const wchar_t* kCases[] = {\n${names}};\n")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE ${OUTPUT} "${text}")
endif()
