# Writes build_stamp.h for the version resource: the build's date and time
# (from SOURCE_DATE_EPOCH when set, so that two builds of one commit can be
# byte-identical) and the building machine's name.  Rewrites the file only
# when its text changes.
#   cmake -DOUTPUT=<file> -P build_stamp.cmake
string(TIMESTAMP stamp "%Y-%m-%d %H:%M:%S" UTC)
cmake_host_system_information(RESULT host QUERY HOSTNAME)
set(text "#define BUILD_STAMP \"${stamp}\"\n#define BUILT_ON \"${host}\"\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE "${OUTPUT}" "${text}")
endif()
