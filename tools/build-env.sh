# build-env.sh - sourced by the scripts that configure and build trees: how
# many jobs a build runs, and a quiet configure step.

# One job per core, or as many as the user asked for in the variable that
# cmake --build itself reads.
build_jobs="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"

# Runs cmake with the given arguments to configure a tree, every time: that
# is cheap when nothing changed, and a changed preset, option or
# CMakeLists.txt then takes effect instead of being ignored.  Its output goes
# to LOG and is shown only when it fails; returns cmake's exit code.
configure_quietly() {  # log, cmake arguments...
    local log="$1"
    shift
    cmake "$@" >"$log" 2>&1 && return 0
    local rc=$?
    cat "$log"
    return $rc
}
