# The project's commands.  Each installs what is missing, builds, and runs.
#   make demo   the demo batch file, run by the stand-in command processor under Wine
#   make test   every test: native (plain and sanitized), Windows under Wine, end to end
#   make bench  benchmarks (native, and the console's own cost under Wine)
#   make fuzz   each fuzz target for FUZZ_SECONDS (default 60)
#   make dist   the release in dist/: the plugin zip, the test kit, SHA256SUMS
.PHONY: demo test bench fuzz dist build setup clean

FUZZ_SECONDS ?= 60

demo: build
	tools/demo.sh

bench: build
	tools/bench.sh

fuzz: setup
	tools/fuzz.sh $(FUZZ_SECONDS)

test: build
	tools/test.sh

dist: setup
	tools/dist.sh

build: setup
	tools/build.sh

setup:
	tools/setup.sh

clean:
	rm -rf build dist
