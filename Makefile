# The project's commands.  Each installs what is missing, builds, and runs.
#   make test   every test: native (plain and sanitized) and Windows under Wine
.PHONY: test build setup clean

test: build
	tools/test.sh

build: setup
	tools/build.sh

setup:
	tools/setup.sh

clean:
	rm -rf build
