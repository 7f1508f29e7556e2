#!/usr/bin/env bash
# Renders Keymoor's windows into PNG files on a virtual display. Usage:
#   screenshot.sh PREFIX EXE OUTDIR
# Writes OUTDIR/main-random.png (the window as it opens), OUTDIR/main-masked.png (Masked tab
# selected) and OUTDIR/about.png (the About box, opened through Help > About ...; skipped with
# a note when no About box appears) with OUTDIR/about-link-focused.png (the same after Tab: the
# e-mail link focused), OUTDIR/about-high-contrast.png (the About box with the high-contrast
# query answering "on", by about_high_contrast.exe beside EXE), all at 96 DPI, then the window
# as it opens at 144 and 192 DPI: OUTDIR/main-random-144dpi.png and
# OUTDIR/main-random-192dpi.png. Every Wine process of PREFIX is ended afterwards.
set -u

if [ "${1:-}" != "--inner" ]; then
  if [ $# -ne 3 ]; then
    echo "usage: $0 PREFIX EXE OUTDIR" >&2
    exit 2
  fi
  prefix=$1 exe=$2 outdir=$3
  if [ ! -f "$exe" ]; then
    echo "screenshot: $exe does not exist; build it first (make windows)" >&2
    exit 1
  fi
  for tool in xvfb-run wine xdotool import x86_64-w64-mingw32-gcc; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "screenshot: $tool is missing; tools/setup.sh installs it" >&2
      exit 1
    fi
  done
  mkdir -p "$outdir" "$(dirname "$prefix")"
  export WINEPREFIX=$prefix WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
  xvfb-run -a -s "-screen 0 1920x1200x24" "$0" --inner "$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")" \
    "$(cd "$outdir" && pwd)"
  rc=$?
  wineserver -k >/dev/null 2>&1 || true
  exit $rc
fi

# --- Inside the virtual display ------------------------------------------------------------
exe=$2 outdir=$3
work=$(mktemp -d)
app=$(basename "$exe")
# Without a window manager Wine leaves the title bar to nobody: for this program, let Wine
# draw its own frames so that the pictures show the caption. Undone at the end.
appkey="HKCU\\Software\\Wine\\AppDefaults\\$app\\X11 Driver"
# The display scale that Wine reads when a process starts; the prefix's own is put back.
dpikey="HKCU\\Control Panel\\Desktop"

# shellcheck disable=SC2317  # run by the trap
finish() {
  wine reg delete "$appkey" /f >/dev/null 2>&1
  if [ -n "${olddpi:-}" ]; then
    wine reg add "$dpikey" /v LogPixels /t REG_DWORD /d "$olddpi" /f >/dev/null 2>&1
  else
    wine reg delete "$dpikey" /v LogPixels /f >/dev/null 2>&1
  fi
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  rm -rf "$work"
}
trap finish EXIT

# Locates a control of a top-level window in screen coordinates, so that the clicks below
# land on it whatever the fonts and frame metrics are. Prints "x y" of the centre of tab
# item N of control ID, or of the control itself when N is -1.
cat >"$work/locate.c" <<'EOF'
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
int main(int argc, char** argv) {
  if (argc != 4) return 2;
  HWND top = FindWindowA(NULL, argv[1]);
  HWND control = top ? GetDlgItem(top, atoi(argv[2])) : NULL;
  if (!control) return 1;
  RECT r;
  GetClientRect(control, &r);
  if (atoi(argv[3]) >= 0) {
    /* The control lives in the program's process: the rectangle must be in its memory. */
    DWORD pid = 0;
    GetWindowThreadProcessId(control, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return 1;
    void* remote = VirtualAllocEx(process, NULL, sizeof r, MEM_COMMIT, PAGE_READWRITE);
    BOOL ok = remote && SendMessageA(control, TCM_GETITEMRECT, atoi(argv[3]), (LPARAM)remote) &&
              ReadProcessMemory(process, remote, &r, sizeof r, NULL);
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    if (!ok) return 1;
  }
  MapWindowPoints(control, NULL, (POINT*)&r, 2);
  printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  return 0;
}
EOF
if ! x86_64-w64-mingw32-gcc -O1 -o "$work/locate.exe" "$work/locate.c" 2>"$work/cc.log"; then
  cat "$work/cc.log" >&2
  exit 1
fi

# Start the server and the prefix's services quietly (a new prefix is made here, ~10 s).
wineserver -p >/dev/null 2>&1
wineboot >/dev/null 2>&1
wine reg add "$appkey" /v Decorated /d N /f >/dev/null 2>&1
olddpi=$(wine reg query "$dpikey" /v LogPixels 2>/dev/null | tr -d '\r' | awk '/LogPixels/ { print $3 }')
[ -n "$olddpi" ] && olddpi=$((olddpi))

# Waits up to $2 seconds for a top-level window titled exactly $1; prints its X id.
wait_window() {
  local deadline=$((SECONDS + $2)) id
  while [ $SECONDS -lt $deadline ]; do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.3
  done
  return 1
}

# Captures X window $1 into $2 once painting has settled.
capture() {
  sleep 1
  import -window "$1" "$2" && echo "screenshot: wrote $2"
}

wine "$exe" >/dev/null 2>&1 &
if ! main=$(wait_window "Keymoor" 60); then
  echo "screenshot: the window \"Keymoor\" did not appear" >&2
  exit 1
fi
capture "$main" "$outdir/main-random.png" || exit 1

# The Masked tab: item 1 of tab control 1001.
if at=$(wine "$work/locate.exe" Keymoor 1001 1 2>/dev/null | tr -d "\r") && [ -n "$at" ]; then
  read -r x y <<<"$at"
  xdotool mousemove "$x" "$y" click 1
  capture "$main" "$outdir/main-masked.png" || exit 1
else
  echo "screenshot: could not find the Masked tab; main-masked.png not written" >&2
  exit 1
fi

# Help > About ... (Alt+H, then its mnemonic A).
xdotool windowfocus --sync "$main" 2>/dev/null
xdotool key --clearmodifiers alt+h
sleep 0.5
xdotool key a
if about=$(wait_window "About\\.\\.\\." 10); then
  capture "$about" "$outdir/about.png" || exit 1
  # Tab from OK wraps round to the first link; the key also shows the keyboard cues.
  xdotool key Tab
  capture "$about" "$outdir/about-link-focused.png" || exit 1
  xdotool key Escape
  sleep 0.5
else
  echo "screenshot: no About box appeared (Help > About ...); about.png skipped (an older one is left as it was)"
  xdotool key Escape  # closes the menu if it is still open
  sleep 0.3
fi

# Main > "Use the system's secure random source", ticked: the item is third from the bottom
# (Up from the first item wraps to Exit). Ticking it writes the user's choice, so it is
# unticked again afterwards. The menu is a window of its own: the shot is the screen cut
# to the main window's place.
toggle_secure() {
  xdotool windowfocus --sync "$main" 2>/dev/null
  xdotool key --clearmodifiers alt+m
  sleep 0.5
  xdotool key Up Up Up Return
  sleep 0.5
}
toggle_secure
xdotool key --clearmodifiers alt+m
sleep 1
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$outdir/menu-secure.png" &&
  echo "screenshot: wrote $outdir/menu-secure.png"
xdotool key Escape
sleep 0.3
toggle_secure

# The About box in high contrast, from its own small program (Wine cannot turn high contrast on).
hc="$(dirname "$exe")/about_high_contrast.exe"
if [ -f "$hc" ]; then
  wine "$hc" >/dev/null 2>&1 &
  if hcabout=$(wait_window "About\\.\\.\\." 60); then
    capture "$hcabout" "$outdir/about-high-contrast.png" || exit 1
    xdotool windowfocus --sync "$hcabout" 2>/dev/null
    xdotool key Escape
    sleep 0.5
  else
    echo "screenshot: the high-contrast About box did not appear" >&2
    exit 1
  fi
else
  echo "screenshot: $hc is missing; build it first (make windows)" >&2
  exit 1
fi

# Escape ends the main window without validation.
close_main() {
  xdotool windowfocus --sync "$1" 2>/dev/null
  xdotool key Escape
  local deadline=$((SECONDS + 10))
  while [ $SECONDS -lt $deadline ] && xdotool search --onlyvisible --name "^Keymoor\$" >/dev/null 2>&1; do
    sleep 0.3
  done
}
close_main "$main"

# The window as it opens at 150 % and 200 %.
for dpi in 144 192; do
  wine reg add "$dpikey" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wine "$exe" >/dev/null 2>&1 &
  if ! main=$(wait_window "Keymoor" 60); then
    echo "screenshot: the window \"Keymoor\" did not appear at $dpi DPI" >&2
    exit 1
  fi
  capture "$main" "$outdir/main-random-${dpi}dpi.png" || exit 1
  close_main "$main"
done
exit 0
