# wine-env.sh - sourced by every script that runs Windows programs under
# Wine: it chooses the Wine binaries, and starts what a run needs, so that
# no script does it in its own way.
#
#   wine_display     an X server (Xvfb) of the run's own, for windows
#   wine_session     a Wine prefix of the run's own, fresh, and its server
#   wine_on_terminal runs a program on a pseudo-terminal (a real console)
#   wine_bounded     runs a command until the run's deadline at most
#   wine_at_end      a command to run when the script ends (no trap of its own)
#   windows_path     a path as Wine's programs see it
#
# Each session's prefix is a copy of one template, made once in
# build/wine/template (wineboot takes a quarter of a minute; a copy, with
# system32 linked rather than copied, a fraction of a second), so that runs
# side by side (ctest -j) share nothing: not a prefix, not a server, not a
# display, not %TEMP%.  Nothing a run started outlives its script.
wine_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEDEBUG="${WINEDEBUG:--all}"
unset WAYLAND_DISPLAY

# Prints the first of the candidates that is a program: a path to an
# executable file, or a name found on PATH.
wine_first_program() {  # candidates...
    local candidate
    for candidate in "$@"; do
        type -P "$candidate" && return 0
    done
    return 1
}

# Sets VARIABLE to the program it names when the user set it (a path, or a
# name on PATH), else to the first of the candidates that is a program; says
# so in one line and fails when there is none.
wine_choose() {  # variable, candidates...
    local variable="$1" found
    shift
    if [ -n "${!variable:-}" ]; then
        found="$(wine_first_program "${!variable}")" ||
            { echo "wine-env: $variable=${!variable} is not a program" >&2; return 1; }
    else
        found="$(wine_first_program "$@")" || {
            echo "wine-env: found none of $*; install Wine (tools/setup.sh) or set $variable" >&2
            return 1
        }
    fi
    printf -v "$variable" '%s' "$found"
}

# Where Debian and Ubuntu install Wine, the 64-bit loader first, then PATH.
wine_choose WINE /usr/lib/wine/wine64 /usr/lib/wine/wine wine64 wine || exit 1
wine_choose WINESERVER /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver \
    wineserver64 wineserver || exit 1

# What a run started goes when its script ends, however it ends.  The EXIT
# trap runs the commands that wine_at_end collected, newest first; a guard
# of its own session, outside the script's process tree, runs them should
# the script be killed (kill -9, CTest's time-out), where no trap runs.
wine_end_file=""
wine_end() {
    [ -n "$wine_end_file" ] && [ -f "$wine_end_file" ] || return 0
    tac "$wine_end_file" | bash 2>/dev/null
    rm -f "$wine_end_file"
}
trap wine_end EXIT

wine_guard() {
    [ -z "$wine_end_file" ] || return 0
    wine_end_file="$(mktemp)"
    setsid -f bash -c '
        while case "$(sed "s/.*) //" "/proc/$1/stat" 2>/dev/null)" in "" | Z*) false ;; esac; do
            sleep 1
        done
        [ -f "$2" ] && tac "$2" | bash
        rm -f "$2"' wine-guard $$ "$wine_end_file" </dev/null >/dev/null 2>&1
}

wine_at_end() {  # command
    wine_guard
    printf '%s\n' "$1" >>"$wine_end_file"
}

# Every wait for a Windows program ends within CELLATTR_WINE_SECONDS of the
# script's start (default 600): CTest's time-outs of scripts that run Wine
# are longer, so that a program that hangs is named, not just killed.
wine_deadline=$((SECONDS + ${CELLATTR_WINE_SECONDS:-600}))

# Ends every program of the run's Wine session, its server last.
wine_stop() {
    [ -n "${WINEPREFIX:-}" ] || return 0
    timeout 20 "$WINESERVER" -k 2>/dev/null
    timeout 20 "$WINESERVER" -w 2>/dev/null
}

# Runs a command until the deadline at most; past it, says in one line what
# it waited for, ends the session's programs and returns 124.
wine_bounded() {  # what, command...
    local what="$1" left=$((wine_deadline - SECONDS)) rc
    shift
    ((left > 0)) || left=1
    timeout --foreground -k 5 "$left" "$@"
    rc=$?
    if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
        echo "wine-env: $what did not end within ${CELLATTR_WINE_SECONDS:-600} s of the run's start; ending its Wine session" >&2
        wine_stop
        return 124
    fi
    return $rc
}

# An X server of this run's own, where DISPLAY names none: Xvfb picks a
# free display itself (-displayfd), so that runs side by side never race
# for one.
wine_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    local fd_file pid i
    fd_file="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
    pid=$!
    wine_at_end "kill $pid; rm -f $(printf %q "$fd_file")"
    for ((i = 0; i < 100; i++)); do
        [ -s "$fd_file" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    [ -s "$fd_file" ] || { echo "wine-env: Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(head -1 "$fd_file")"
}

# Makes the template once (under a lock: sessions may start side by side).
# Its graphics driver is none; a session with a display names X11, and one
# without names none, so that Wine 9 and later do not try Wayland, whose
# library would complain on the standard error of the program run.  It
# names no debugger for a program that crashes: Wine starts one whatever
# the program's error mode says, where Windows ends the program at once
# with the exception's code.
wine_template="$wine_root/build/wine/template"
wine_make_template() {
    mkdir -p "$wine_root/build/wine"
    wine_guard  # one end file for this script, its maker's subshell included
    (
        flock -w 300 9 || { echo "wine-env: another run held the template's lock for 300 s" >&2; exit 1; }
        [ -f "$wine_template/user.reg" ] && grep -q '^"Graphics"="null"$' "$wine_template/user.reg" &&
            grep -q '^"Debugger"=""$' "$wine_template/system.reg" && exit 0
        echo "wine-env: making the Wine prefix $wine_template (once; takes a few seconds)" >&2
        rm -rf "$wine_template"
        export WINEPREFIX="$wine_template"
        unset DISPLAY
        wine_at_end "WINEPREFIX=$(printf %q "$WINEPREFIX") timeout 20 $(printf %q "$WINESERVER") -k"
        CELLATTR_WINE_SECONDS=240 wine_deadline=$((SECONDS + 240))
        wine_bounded wineboot script -qec "$(printf '%q wineboot --init' "$WINE")" /dev/null \
            >/dev/null 2>&1 </dev/null &&
            wine_bounded "reg add" "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
                >/dev/null 2>&1 </dev/null &&
            wine_bounded "reg add" "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
                /v Debugger /d "" /f >/dev/null 2>&1 </dev/null &&
            wine_bounded "the template's Wine server" "$WINESERVER" -w &&
            grep -q '^"Graphics"="null"$' "$wine_template/user.reg" 2>/dev/null &&
            grep -q '^"Debugger"=""$' "$wine_template/system.reg"
    ) 9>"$wine_root/build/wine/template.lock" ||
        { echo "wine-env: cannot make the Wine prefix $wine_template" >&2; return 1; }
}

# A fresh prefix for this run, and its server, kept until the script ends.
wine_session() {
    wine_make_template || return 1
    local sessions="$wine_root/build/wine/sessions" folder
    mkdir -p "$sessions"
    # Sessions of runs that ended without their cleaning, and what still runs
    # in them.
    for folder in "$sessions"/*; do
        [ -d "$folder" ] && ! kill -0 "${folder##*.}" 2>/dev/null || continue
        WINEPREFIX="$folder" timeout 20 "$WINESERVER" -k 2>/dev/null
        rm -rf "$folder"
    done
    export WINEPREFIX="$sessions/$(date +%s%N).$$"
    mkdir -p "$WINEPREFIX"
    wine_at_end "rm -rf $(printf %q "$WINEPREFIX")"
    wine_at_end "WINEPREFIX=$(printf %q "$WINEPREFIX") timeout 20 $(printf %q "$WINESERVER") -k"
    tar -C "$wine_template" --exclude=./drive_c/windows/system32 -cf - . |
        tar -C "$WINEPREFIX" -xf - &&
        cp -al "$wine_template/drive_c/windows/system32" "$WINEPREFIX/drive_c/windows/" ||
        { echo "wine-env: cannot copy the Wine prefix $wine_template" >&2; return 1; }
    [ -z "${DISPLAY:-}" ] || sed -i 's/^"Graphics"="null"$/"Graphics"="x11"/' "$WINEPREFIX/user.reg"
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
}

# Runs Wine with the given arguments in folder DIR on a pseudo-terminal of
# its own, so that the program has a real console screen buffer (Wine gives
# one only to a program with a terminal).  Its standard output and error go
# to the files OUT and ERR, since the console needs the terminal itself.
# The command line goes through a file of its own so that no argument needs
# quoting twice.  Returns the program's exit code, or 124 past the deadline.
wine_on_terminal() {  # dir out err wine-arguments...
    local dir="$1" out="$2" err="$3"
    shift 3
    local commands rc
    commands="$(mktemp -p "${WINEPREFIX:-${TMPDIR:-/tmp}}")"  # goes with the session
    {
        printf 'cd %q || exit 97\n' "$dir"
        printf 'exec %q' "$WINE"
        printf ' %q' "$@"
        printf ' >%q 2>%q\n' "$out" "$err"
    } > "$commands"
    wine_bounded "$*" script -qec "bash $(printf %q "$commands")" /dev/null >/dev/null 2>&1 </dev/null
    rc=$?
    rm -f "$commands"
    return $rc
}

# Wine sees the root directory as drive Z:.
windows_path() {  # unix path
    local path="$1"
    printf 'Z:%s' "${path//\//\\}"
}
