#!/bin/bash
# Runs the Windows job of .github/workflows/ci.yml under Wine, step by step,
# as a GitHub runner would, against a test kit zip: the first hosted run
# costs a round trip with whoever pushes it, so every step is tried here
# first.  tools/workflow_dry_run.py says how each kind of step is run; this
# script gives it an X display (start's console windows, the help box) and a
# Wine prefix of its own, fresh for every run, so that nothing a step wrote
# to the registry before is read back as this run's.
#   tools/workflow-dry-run.sh [KIT-ZIP]     default: the kit in dist/
# Ends "workflow-dry-run: passed ..." with exit code 0, or says what failed
# and exits with 1.  What the job would upload is kept in
# build/workflow-dry-run/ARTIFACT/ (the outputs, the demo's pictures).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a "$0" "$@"
fi

kit_zip="${1:-}"
if [ -z "$kit_zip" ]; then
    kit_zip="$(ls "$root"/dist/CellAttr-*-win-x64-tests.zip 2>/dev/null | head -1)"
    if [ -z "$kit_zip" ]; then
        echo "workflow-dry-run: FAILED: no test kit in dist/; run tools/dist.sh first, or name one"
        exit 1
    fi
fi
if [ ! -f "$kit_zip" ]; then
    echo "workflow-dry-run: FAILED: no such kit zip: $kit_zip"
    exit 1
fi

# The template prefix is made once; each run copies it.
template="$root/build/wineprefix-dryrun"
export WINEPREFIX="$template"
source "$root/tools/wine-env.sh"
"$WINESERVER" -k 2>/dev/null
wine_prepare_prefix "workflow-dry-run: making a Wine prefix in $template (once)"

work="$(mktemp -d)"
export WINEPREFIX="$work/prefix"
trap '"$WINESERVER" -k 2>/dev/null; rm -rf "$work"' EXIT
cp -a "$template" "$WINEPREFIX"
"$WINESERVER" -p
WINE="$WINE" WINESERVER="$WINESERVER" python3 "$root/tools/workflow_dry_run.py" \
    --workflow "$root/.github/workflows/ci.yml" --job windows --kit "$kit_zip" --work "$work" \
    --keep "$root/build/workflow-dry-run"
