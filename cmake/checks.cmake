# The steps of make check and make test, as CTest tests of the native tree
# (build/native), so that CTest runs them side by side, times each, says
# which failed, and runs any one alone (ctest --preset test -R NAME).  Each
# step is a script or another tree's CTest, and passes when it exits with 0;
# 77 is a skip, which make test fails under CI=true (tools/test.sh).  The
# other trees must have been built (tools/build.sh), as make builds them.
#   ctest --preset check   the inner loop: labels native, asan, windows, seeds
#   ctest --preset test    everything make test runs: native, asan, project
#   ctest --preset kit     the test kit's checks alone
set(root ${CMAKE_SOURCE_DIR})
set(tools ${root}/tools)

# Another tree's CTest, whole or one test of it, as one step.
function(add_tree_test name tree)
  add_test(NAME ${name} COMMAND ${CMAKE_CTEST_COMMAND} --test-dir ${root}/build/${tree}
    --output-on-failure --no-tests=error ${ARGN})
endfunction()

add_tree_test(asan asan)
set_tests_properties(asan PROPERTIES LABELS asan)

# The Windows suites once, under Wine, as the win tree's CTest runs them.
foreach(suite ${KIT_SUITES})
  add_tree_test(windows.${suite} win -R "^${suite}$")
  set_tests_properties(windows.${suite} PROPERTIES LABELS windows TIMEOUT 600)
endforeach()

# Fuzzing: the tree built once, then each target over its seeds alone
# (make check) or for ten seconds (make test).
add_test(NAME fuzz.build COMMAND ${tools}/fuzz.sh build)
set_tests_properties(fuzz.build PROPERTIES FIXTURES_SETUP fuzz LABELS "seeds;project")
foreach(target tokenizer cellattr)
  add_test(NAME fuzz.${target}.seeds COMMAND ${tools}/fuzz.sh run ${target} 0)
  add_test(NAME fuzz.${target} COMMAND ${tools}/fuzz.sh run ${target} 10)
  set_tests_properties(fuzz.${target}.seeds PROPERTIES FIXTURES_REQUIRED fuzz LABELS seeds)
  set_tests_properties(fuzz.${target} PROPERTIES FIXTURES_REQUIRED fuzz LABELS project)
endforeach()

# Every line and branch of the module run by a test: each instrumented tree
# built and its suites run, then gcovr's report over both.
foreach(tree native win)
  add_test(NAME coverage.${tree} COMMAND ${tools}/coverage.sh ${tree})
  set_tests_properties(coverage.${tree} PROPERTIES FIXTURES_SETUP coverage LABELS project
    TIMEOUT 900)
endforeach()
add_test(NAME coverage COMMAND ${tools}/coverage.sh report --every-line)
set_tests_properties(coverage PROPERTIES FIXTURES_REQUIRED coverage LABELS project)

add_test(NAME static-analysis COMMAND ${tools}/static-analysis.sh)
add_test(NAME actionlint COMMAND ${tools}/lint-workflows.sh)
add_test(NAME picture COMMAND ${tools}/picture-test.sh)
set_tests_properties(static-analysis actionlint picture PROPERTIES LABELS project)

# The release in dist/, and a clean clone of the commit, built elsewhere
# with the clock moved, must give the same bytes (77 where the working tree
# has uncommitted changes, which a clone cannot have).
add_test(NAME release COMMAND ${tools}/dist.sh --no-check)
set_tests_properties(release PROPERTIES FIXTURES_SETUP release LABELS project)
# What the release job checks before it publishes: the version's section in
# CHANGELOG.md, the zips that carry it, SHA256SUMS.
add_test(NAME release.check COMMAND ${tools}/release-check.sh ${root}/dist)
set_tests_properties(release.check PROPERTIES FIXTURES_REQUIRED release LABELS project)
add_test(NAME release.reproduces COMMAND ${tools}/dist.sh --reproduce)
set_tests_properties(release.reproduces PROPERTIES FIXTURES_REQUIRED release SKIP_RETURN_CODE 77
  LABELS project TIMEOUT 900)

# The test kit as users run it, each check on its own (tools/kit-test.sh).
add_test(NAME kit.prepare COMMAND ${tools}/kit-test.sh prepare)
set_tests_properties(kit.prepare PROPERTIES FIXTURES_SETUP kit FIXTURES_REQUIRED release
  LABELS "project;kit")
execute_process(COMMAND ${tools}/kit-test.sh --list OUTPUT_VARIABLE kit_checks
  RESULT_VARIABLE rc)
string(REGEX REPLACE "\n$" "" kit_checks "${kit_checks}")
string(REPLACE "\n" ";" kit_checks "${kit_checks}")
if(NOT rc EQUAL 0 OR kit_checks STREQUAL "")
  message(FATAL_ERROR "tools/kit-test.sh --list names no check")
endif()
# Each check's waits for Wine end by its own limit, before CTest's, so that
# a check that hangs says what it waited for (tools/wine-env.sh).
foreach(check ${kit_checks})
  add_test(NAME kit.${check} COMMAND ${tools}/kit-test.sh ${check})
  set_tests_properties(kit.${check} PROPERTIES FIXTURES_REQUIRED kit LABELS "project;kit"
    ENVIRONMENT CELLATTR_WINE_SECONDS=150 TIMEOUT 180)
endforeach()

# The longest first, from the first run on (CTest keeps the times of each
# run for the next): about their seconds on a two-core machine.
set_tests_properties(coverage.win PROPERTIES COST 120)
set_tests_properties(release.reproduces PROPERTIES COST 100)
set_tests_properties(static-analysis PROPERTIES COST 45)
set_tests_properties(kit.full_path kit.small_pseudoconsole PROPERTIES COST 25)
set_tests_properties(kit.broken_programs PROPERTIES COST 15)
