#!/bin/bash
# End to end: the stand-in command processor (cmdproc.exe) runs each batch
# file of e2e/ with the real CellAttr.dll under Wine, on a pseudo-terminal so
# that there is a real console, and its standard output, standard error and
# exit code must equal the case's NAME.out, NAME.err and NAME.rc (absent: empty,
# empty, 0).  A case is NAME.btm, run as a batch file, NAME.in, fed to
# standard input from the file, or NAME.pipe, fed to standard input through a
# pipe.  The expected texts are kept with plain line ends; every
# line of the output must end in \r\n, so each \n of them becomes \r\n before
# the byte-for-byte comparison.
#
# The batch files are copied to C:\e2e\ in the Wine prefix and run by their
# relative names from there, so the batch file names in messages are fixed
# (C:\e2e\NAME.btm) wherever the source tree lies.
#
# Prints a summary in GoogleTest's words, which tools/test.sh counts; any
# arguments (such as --gtest_brief=1) are ignored.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cases="$root/e2e"
bin="$root/build/win/bin"

# No display: the help box then fails at once instead of waiting for a click,
# and runs without a display keep to the prefix of their own.
unset DISPLAY WAYLAND_DISPLAY
source "$root/tools/wine-env.sh"
export WINEDEBUG=-all

for f in cmdproc.exe CellAttr.dll TakeCmd.dll; do
    if [ ! -f "$bin/$f" ]; then
        echo "e2e: $bin/$f is missing; build first (tools/build.sh)" >&2
        echo "[  FAILED  ] 1 test, listed below:"
        echo "[  FAILED  ] EndToEnd.build"
        exit 1
    fi
done

wine_prepare_prefix

drive="$WINEPREFIX/drive_c/e2e"
rm -rf "$drive"
mkdir -p "$drive"
cp "$cases"/*.btm "$cases"/*.in "$cases"/*.pipe "$drive"/

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Shows where two texts differ, with the line ends visible.
show_difference() {  # what, expected file, actual file
    echo "  $1 differs (- expected, + actual; ^M is \\r):"
    diff -u --label expected --label actual <(cat -v "$2") <(cat -v "$3") | sed '1,2d; s/^/    /'
}

passed=0
failed=()
for expected_out in "$cases"/*.out; do
    name="$(basename "$expected_out" .out)"
    test_name="EndToEnd.$name"
    # Wine gives the program a console only when its standard input or output
    # is the terminal.  A batch case keeps both there, and the shell sends its
    # standard output and error to files; a case that reads standard input
    # from a file leaves standard output on the terminal and has cmdproc send
    # both to files itself (/o, /e).
    if [ -f "$cases/$name.btm" ]; then
        args=("$name.btm")
        redirect="$(printf ' >%q 2>%q' "$work/out" "$work/err")"
    elif [ -f "$cases/$name.in" ]; then
        args=(/o "$(windows_path "$work/out")" /e "$(windows_path "$work/err")")
        redirect="$(printf ' <%q' "$drive/$name.in")"
    elif [ -f "$cases/$name.pipe" ]; then
        args=(/o "$(windows_path "$work/out")" /e "$(windows_path "$work/err")")
        redirect=""
    else
        echo "[  FAILED  ] $test_name: neither $name.btm, $name.in nor $name.pipe"
        failed+=("$test_name")
        continue
    fi

    {
        printf 'cd %q || exit 97\n' "$drive"
        [ -f "$cases/$name.pipe" ] && printf 'cat %q | ' "$drive/$name.pipe"
        printf 'exec %q %q' "$WINE" "$bin/cmdproc.exe"
        printf ' %q' "${args[@]}"
        printf '%s\n' "$redirect"
    } > "$work/run.sh"
    rm -f "$work/out" "$work/err"
    script -qec "bash $work/run.sh" /dev/null >/dev/null 2>&1 </dev/null
    rc=$?

    sed 's/$/\r/' "$expected_out" > "$work/want.out"
    if [ -f "$cases/$name.err" ]; then
        sed 's/$/\r/' "$cases/$name.err" > "$work/want.err"
    else
        : > "$work/want.err"
    fi
    want_rc=0
    [ -f "$cases/$name.rc" ] && want_rc="$(tr -d '[:space:]' < "$cases/$name.rc")"

    ok=1
    report=""
    if ! cmp -s "$work/want.out" "$work/out"; then
        ok=0
        report+="$(show_difference "standard output" "$work/want.out" "$work/out")"$'\n'
    fi
    if ! cmp -s "$work/want.err" "$work/err"; then
        ok=0
        report+="$(show_difference "standard error" "$work/want.err" "$work/err")"$'\n'
    fi
    if [ "$rc" != "$want_rc" ]; then
        ok=0
        report+="  exit code $rc, expected $want_rc"$'\n'
    fi
    if [ $ok -eq 1 ]; then
        passed=$((passed + 1))
    else
        echo "[ RUN      ] $test_name"
        printf '%s' "$report"
        echo "[  FAILED  ] $test_name"
        failed+=("$test_name")
    fi
done

plural() {  # count
    [ "$1" -eq 1 ] && echo "test" || echo "tests"
}
echo "[  PASSED  ] $passed $(plural $passed)."
if [ ${#failed[@]} -gt 0 ]; then
    echo "[  FAILED  ] ${#failed[@]} $(plural ${#failed[@]}), listed below:"
    for t in "${failed[@]}"; do
        echo "[  FAILED  ] $t"
    done
    exit 1
fi
