#!/bin/bash
# Whether a release may be published: the version that project() in
# CMakeLists.txt states has its section in CHANGELOG.md, the tag names that
# version, the repository is the one the release's readme names, and dist/
# holds that version's two zips, and SHA256SUMS for exactly those.  Says each
# thing that is wrong in one line, and exits with 1 on any.  make test runs it
# on dist/ (no tag); the CI workflow's release jobs with the pushed tag.
#   tools/release-check.sh [--tag vX.Y.Z] [--repository OWNER/NAME] [--notes FILE] DIST
# --notes writes the version's section of CHANGELOG.md, the release's notes.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tag="" repository="" notes="" dist=""
while [ $# -gt 0 ]; do
    case "$1" in
    --tag | --repository | --notes)
        [ $# -ge 2 ] || { echo "release-check: $1 takes a value" >&2; exit 2; }
        printf -v "${1#--}" '%s' "$2"
        shift 2 ;;
    *) [ -z "$dist" ] && [ $# -eq 1 ] || {
           echo "usage: tools/release-check.sh [--tag vX.Y.Z] [--repository OWNER/NAME] [--notes FILE] DIST" >&2
           exit 2
       }
       dist="$1"
       shift ;;
    esac
done
[ -n "$dist" ] || { echo "usage: tools/release-check.sh [--tag vX.Y.Z] [--repository OWNER/NAME] [--notes FILE] DIST" >&2; exit 2; }

wrong=0
say() { echo "release-check: $1" >&2; wrong=1; }

version="$(sed -n 's/^project(CellAttr VERSION \([0-9]*\.[0-9]*\.[0-9]*\)[ )].*/\1/p' "$root/CMakeLists.txt")"
[ "$(printf '%s\n' "$version" | grep -c .)" -eq 1 ] ||
    { echo "release-check: CMakeLists.txt states no version in project(CellAttr VERSION X.Y.Z ...)" >&2; exit 1; }

# The section: "## X.Y.Z - YYYY-MM-DD", once, with text under it.
heading="^## ${version//./\\.} - [0-9]{4}-[0-9]{2}-[0-9]{2}$"
count="$(grep -cE "$heading" "$root/CHANGELOG.md" 2>/dev/null)"
if [ "${count:-0}" -ne 1 ]; then
    say "CHANGELOG.md has ${count:-no} section \"## $version - YYYY-MM-DD\" for the version in CMakeLists.txt, not one"
else
    section="$(sed -nE "/$heading/,/^## /{/^## /d;p}" "$root/CHANGELOG.md")"
    section="${section#"${section%%[![:space:]]*}"}"  # the blank lines after the heading
    [ -n "$(printf '%s' "$section" | tr -d '[:space:]')" ] || say "CHANGELOG.md's section for $version is empty"
    [ -z "$notes" ] || printf '%s\n' "$section" >"$notes" || say "cannot write the notes to $notes"
fi

[ -z "$tag" ] || [ "$tag" = "v$version" ] ||
    say "the tag $tag is not v$version, the version in CMakeLists.txt"
named="$(sed -n 's/^set(CELLATTR_REPOSITORY "\(.*\)")$/\1/p' "$root/CMakeLists.txt")"
[ -z "$repository" ] || [ "$repository" = "$named" ] ||
    say "this repository is $repository, but CMakeLists.txt's CELLATTR_REPOSITORY, which the readme names, is \"$named\""

zips=("CellAttr-$version-win-x64.zip" "CellAttr-$version-win-x64-tests.zip")
for zip in "${zips[@]}"; do
    [ -f "$dist/$zip" ] || say "$dist/$zip is missing"
done
for zip in "$dist"/*.zip; do
    [ ! -e "$zip" ] || [[ " ${zips[*]} " == *" ${zip##*/} "* ]] ||
        say "$zip does not carry the version $version as the release's zips do"
done
if [ ! -f "$dist/SHA256SUMS" ]; then
    say "$dist/SHA256SUMS is missing"
else
    listed="$(sed 's/^[0-9a-f]\{64\}  //' "$dist/SHA256SUMS" | sort | tr '\n' ' ')"
    [ "$listed" = "$(printf '%s\n' "${zips[@]}" | sort | tr '\n' ' ')" ] ||
        say "$dist/SHA256SUMS lists ${listed:-nothing}, not the two zips of $version"
    [ $wrong -ne 0 ] || (cd "$dist" && sha256sum --quiet -c SHA256SUMS >/dev/null 2>&1) ||
        say "$dist/SHA256SUMS does not match the files beside it"
fi
[ $wrong -eq 0 ] && echo "release-check: $version${tag:+ ($tag)}: CHANGELOG.md, the zips and SHA256SUMS agree"
exit $wrong
