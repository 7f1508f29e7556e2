#!/usr/bin/env bash
# Starts Keymoor under Wine on the current display. Usage: run.sh PREFIX EXE
# Without a display it says so and points to `make screenshot`, which renders the windows on
# a virtual display into PNG files.
set -u
if [ $# -ne 2 ]; then
  echo "usage: $0 PREFIX EXE" >&2
  exit 2
fi
prefix=$1 exe=$2

if [ -z "${DISPLAY:-}" ]; then
  echo "run: there is no display (DISPLAY is not set), so Keymoor's window cannot be shown here." >&2
  echo "run: 'make screenshot' renders the main window and the About box on a virtual display" >&2
  echo "run: into PNG files in docs/." >&2
  exit 1
fi
if [ ! -f "$exe" ]; then
  echo "run: $exe does not exist; build it first (make windows)" >&2
  exit 1
fi

export WINEPREFIX=$prefix WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
mkdir -p "$(dirname "$prefix")"
[ -f "$prefix/system.reg" ] || echo "run: first start, creating the Wine prefix $prefix (about 10 s)"
wine "$exe"
rc=$?
# Leave no Wine process of this prefix behind.
wineserver -k >/dev/null 2>&1
exit $rc
