# wine-env.sh - sourced by the scripts that run Windows programs under Wine:
# the Wine binaries, the prefix, and two helpers.
#
# WINEPREFIX defaults to build/wineprefix in the source tree, or, with an X
# display, to build/wineprefix-x: a Wine server keeps the display it started
# with, so runs with and without one must not share a server.
wine_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ -n "${DISPLAY:-}" ]; then
    export WINEPREFIX="${WINEPREFIX:-$wine_root/build/wineprefix-x}"
else
    export WINEPREFIX="${WINEPREFIX:-$wine_root/build/wineprefix}"
fi
export WINEDEBUG="${WINEDEBUG:--all}"

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

# The graphics driver that the prefix names: X11 with a display, none
# without.  Left to choose, Wine 9 and later try Wayland too, whose library
# then complains on the standard error of the program that started Wine.
wine_graphics=null
[ -z "${DISPLAY:-}" ] || wine_graphics=x11

# Makes the prefix if it is new, and names its graphics driver.  Wine says a
# good deal while it does that, which must not land in the output of the
# program being run, so it is done once beforehand, quietly.  Prints MESSAGE
# first when one is given and the prefix is new.
wine_prepare_prefix() {  # [message]
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        [ $# -gt 0 ] && echo "$1"
        mkdir -p "$WINEPREFIX"
        script -qec "$(printf '%q wineboot --init' "$WINE")" /dev/null >/dev/null 2>&1 </dev/null
    fi
    if ! grep -qxF "\"Graphics\"=\"$wine_graphics\"" "$WINEPREFIX/user.reg" 2>/dev/null; then
        "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$wine_graphics" /f \
            >/dev/null 2>&1 </dev/null
    fi
    "$WINESERVER" -w
}

# Runs Wine with the given arguments in folder DIR on a pseudo-terminal of
# its own, so that the program has a real console screen buffer (Wine gives
# one only to a program with a terminal).  Its standard output and error go
# to the files OUT and ERR, since the console needs the terminal itself.
# The command line goes through a file of its own so that no argument needs
# quoting twice.  Returns Wine's exit code.
wine_on_terminal() {  # dir out err wine-arguments...
    local dir="$1" out="$2" err="$3"
    shift 3
    local commands rc
    commands="$(mktemp)"
    {
        printf 'cd %q || exit 97\n' "$dir"
        printf 'exec %q' "$WINE"
        printf ' %q' "$@"
        printf ' >%q 2>%q\n' "$out" "$err"
    } > "$commands"
    script -qec "bash $(printf %q "$commands")" /dev/null >/dev/null 2>&1 </dev/null
    rc=$?
    rm -f "$commands"
    return $rc
}

# Wine sees the root directory as drive Z:.
windows_path() {  # unix path
    local path="$1"
    printf 'Z:%s' "${path//\//\\}"
}
