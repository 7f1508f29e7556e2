#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's settings. The prefix is
# $WINEPREFIX when set, else build/win/wineprefix beside this script's repo.
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/win/wineprefix}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export WINEDEBUG=${WINEDEBUG:--all}
exec wine "$@"
