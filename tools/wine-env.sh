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
WINE="${WINE:-/usr/lib/wine/wine64}"
WINESERVER="${WINESERVER:-/usr/lib/wine/wineserver64}"
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver

# Makes the prefix if it is new.  Wine says a good deal while it does that,
# which must not land in the output of the program being run, so it is done
# once beforehand, quietly.  Prints MESSAGE first when one is given and the
# prefix is new.
wine_prepare_prefix() {  # [message]
    [ -f "$WINEPREFIX/system.reg" ] && return 0
    [ $# -gt 0 ] && echo "$1"
    mkdir -p "$WINEPREFIX"
    script -qec "$(printf '%q wineboot --init' "$WINE")" /dev/null >/dev/null 2>&1 </dev/null
    "$WINESERVER" -w
}

# Wine sees the root directory as drive Z:.
windows_path() {  # unix path
    local path="$1"
    printf 'Z:%s' "${path//\//\\}"
}
