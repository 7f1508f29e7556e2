#!/usr/bin/env bash
# Checks that the release is reproducible: copies this tree (its tracked and unignored files,
# as they are now) into two folders of different depth and name under WORKDIR, runs
# `make dist` in each, one after the other, with a different time zone and umask, and
# compares every file the two wrote into dist/ byte for byte. Usage:
#   check-reproducible.sh WORKDIR
# WORKDIR is created with a marker file in it; a WORKDIR that exists without that marker
# (any folder this script did not create) is refused with status 2, so that emptying it
# can never remove someone's files. It is emptied first and removed again when the check
# passes.
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 WORKDIR" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")/.." && pwd)
marker=.keymoor-reproducible-workdir
if [ -e "$1" ] || [ -L "$1" ]; then
  if [ ! -d "$1" ] || [ -L "$1" ] || [ ! -f "$1/$marker" ]; then
    echo "reproducible: $1 exists and was not made by this script (no $marker in it); give a new folder" >&2
    exit 2
  fi
else
  mkdir -p "$1"
  : >"$1/$marker"
fi
work=$(cd "$1" && pwd)
rm -rf "${work:?}"/*
first=$work/a/keymoor
second=$work/second-copy/of/the/keymoor-sources
mkdir -p "$first" "$second"

# Deleted but still tracked files are skipped, so the copies hold the tree as it is now.
(cd "$here" && git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
  tar --null -T - -cf -) | tar -xf - -C "$first"
cp -a "$first/." "$second"

build() { # folder, time zone, umask
  local start=$SECONDS
  if ! (cd "$1" && umask "$3" && TZ=$2 make --no-print-directory dist >"$1.log" 2>&1); then
    echo "reproducible: make dist failed in $1:" >&2
    tail -n 30 "$1.log" >&2
    exit 1
  fi
  echo "reproducible: built in $1 ($((SECONDS - start)) s)"
}
build "$first" UTC 022
build "$second" Pacific/Kiritimati 077

rc=0
[ -n "$(ls "$first"/dist/*.zip 2>/dev/null)" ] || { echo "reproducible: no zip in $first/dist" >&2; exit 1; }
for f in "$first"/dist/*; do
  if ! cmp -s "$f" "$second/dist/${f##*/}"; then
    echo "reproducible: FAILED: ${f##*/} differs between the two builds" >&2
    rc=1
  fi
done
if [ $rc -ne 0 ]; then
  echo "reproducible: both builds are kept under $work" >&2
  exit 1
fi
echo "reproducible: identical: $(cd "$first/dist" && echo *)"
rm -rf "$work"
