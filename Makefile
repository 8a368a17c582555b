# The project's commands.  Each installs what is missing, builds, and runs.
#   make demo   the demo batch file, run by the stand-in command processor under Wine
#   make test   every test and check, as CTest tests (cmake/checks.cmake)
#   make check  the inner loop: the native and sanitized suites, the Windows
#               suites under Wine, the fuzz targets over their seeds
#   make bench  benchmarks (native, and the console's own cost under Wine)
#   make fuzz   each fuzz target for FUZZ_SECONDS (default 60)
#   make dist   the release in dist/: the plugin zip, the test kit, SHA256SUMS
#   make coverage  the module's lines and branches that the tests run
.PHONY: demo test check bench fuzz dist build setup clean

FUZZ_SECONDS ?= 60

# The demo installs and builds only what it runs.
demo:
	tools/setup.sh demo
	tools/build.sh demo
	tools/demo.sh

bench: build
	tools/bench.sh

fuzz: setup
	tools/fuzz.sh $(FUZZ_SECONDS)

# Every tree that make test configures has warnings as errors (see
# CELLATTR_WERROR in CMakeLists.txt); a build of one's own may leave them off.
test check: export CELLATTR_WERROR = ON
test: build
	tools/test.sh test

check: build
	tools/test.sh check

.PHONY: coverage
coverage: build
	tools/coverage.sh

# 77: the release is made, but its reproduction could not be checked
# (tools/dist.sh says why).
dist: setup
	tools/build.sh win
	tools/dist.sh || [ $$? -eq 77 ]

build: setup
	tools/build.sh

setup:
	tools/setup.sh

clean:
	rm -rf build dist
