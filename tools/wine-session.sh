#!/usr/bin/env bash
# Runs a command (usually ctest) with a persistent wineserver on a virtual display, then
# ends every Wine process of the prefix so nothing is left behind. Usage:
#   wine-session.sh PREFIX command args...
# With KEYMOOR_USE_DISPLAY=1 and a DISPLAY set, the real display is used instead.
set -u
if [ "${1:-}" = "--inner" ]; then
  shift
  # Start the server and the prefix's background services here, with their output on
  # /dev/null: whatever Wine starts first inherits stdout, and a service holding ctest's
  # pipe open makes ctest wait for it until the timeout.
  wineserver -p >/dev/null 2>&1
  wineboot >/dev/null 2>&1
  # Without a window manager, Wine's managed windows take about 2 s to be destroyed;
  # unmanaged ones go at once, which keeps the window tests fast.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # The high-DPI tests switch the prefix's DPI and put it back; a run killed in between
  # would leave it changed, so every session starts at 96.
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
  "$@"
  rc=$?
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  exit $rc
fi

export WINEPREFIX=$1
shift
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
mkdir -p "$(dirname "$WINEPREFIX")"

if [ -n "${KEYMOOR_USE_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then
  "$0" --inner "$@"
else
  xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inner "$@"
fi
rc=$?
# Wait until every Wine process of the prefix is gone, so nothing outlives the session.
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
exit $rc
