# build-env.sh - sourced by the scripts that configure and build trees: a
# quiet configure step.

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
