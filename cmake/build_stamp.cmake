# Writes build_stamp.h for the version resource: the build's date and time
# and the building machine's name.  Rewrites the file only when its text
# changes.
#   cmake -DOUTPUT=<file> -DSOURCE_DIR=<source tree> -P build_stamp.cmake
#
# The date and time are SOURCE_DATE_EPOCH's when it is set, otherwise the
# time of the commit checked out in SOURCE_DIR, and the clock's only where
# there is no commit to ask: so two builds of one commit are byte-identical
# wherever and whenever they are made.  CELLATTR_BUILT_ON, when set, stands
# for the machine's name, so that another machine can make the same bytes.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND DEFINED SOURCE_DIR)
  execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
    OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE git_result ERROR_QUIET)
  if(git_result EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} "${commit_time}")
  endif()
endif()
string(TIMESTAMP stamp "%Y-%m-%d %H:%M:%S" UTC)
if(DEFINED ENV{CELLATTR_BUILT_ON})
  set(host "$ENV{CELLATTR_BUILT_ON}")
else()
  cmake_host_system_information(RESULT host QUERY HOSTNAME)
endif()
set(text "#define BUILD_STAMP \"${stamp}\"\n#define BUILT_ON \"${host}\"\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE "${OUTPUT}" "${text}")
endif()
