#!/usr/bin/env bash
# Runs the Windows window under wine64 on a virtual X screen, as a person would use it: starts
# corvane.exe on the bundled sample, finds its window by its title, presses Down, Page Down, End
# and Home, copies the frame list (the clipboard's text must equal what corvane-cli list prints
# for the same rows), opens the hex edit dialog, the stream check and the about window, quits
# with Ctrl+Q and reads the twelve REG_DWORD settings the window left in the registry.
# Screenshots of every step go to the folder given (default: build/wine-gui). The 64-bit build
# is used: 32-bit programs do not run here. Usage: scripts/wine-gui-test.sh [SCREENSHOT FOLDER]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
shots=${1:-$top/build/wine-gui}

for tool in wine xvfb-run xdotool import xclip; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: run scripts/setup.sh" >&2
    exit 1
  fi
done
if [ -z "${DISPLAY:-}" ] || [ -z "${CORVANE_WINE_GUI_INNER:-}" ]; then
  # Again inside a virtual screen of its own.
  exec env CORVANE_WINE_GUI_INNER=1 xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

"$top/scripts/build-windows.sh" x86_64 >/dev/null
tree=$top/build/mingw64
exe=$tree/src/win32/corvane.exe
cli=$tree/src/cli/corvane-cli.exe
sample=$top/samples/sample.ac3
mkdir -p "$shots"
rm -f "$shots"/*.png

export WINEDEBUG=-all
WINEPREFIX=$(mktemp -d)
export WINEPREFIX
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

ms() { date +%s%3N; }
seconds_since() { local d=$(($(ms) - $1)); printf "%d.%03d" $((d / 1000)) $((d % 1000)); }
started=$(ms)
wineboot -i >/dev/null 2>&1
# Without a window manager on the virtual screen, wine draws the windows' frames itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
echo "wine prefix ready in $(seconds_since "$started") s"

shot() { import -window root "$shots/$1.png"; }
key() {
  xdotool key --clearmodifiers "$@"
  sleep 1
}
fail() {
  echo "FAIL: $*" >&2
  shot failure
  exit 1
}

wine "$exe" "$(winepath -w "$sample")" &
app=$!
window=""
for _ in $(seq 1 60); do
  window=$(xdotool search --name "^Corvane\(" 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  sleep 0.5
done
[ -n "$window" ] || fail "no window titled Corvane(...) appeared"
echo "window $window: $(xdotool getwindowname "$window")"
sleep 4  # the splash closes after three seconds
xdotool windowfocus --sync "$window" 2>/dev/null || true
shot 1-open

key Down
shot 2-down
key Next
shot 3-page-down
key End
shot 4-end
key Home
shot 5-home

# The frame list as text: the same rows as corvane-cli list prints for a window of that size.
printf '' | xclip -selection clipboard
key ctrl+c
copied=$(xclip -o -selection clipboard 2>/dev/null | tr -d '\r' || true)
rows=$(printf '%s\n' "$copied" | grep -c . || true)
[ "$rows" -gt 0 ] || fail "the clipboard holds no frame list"
expected=$(wine "$cli" list --rows "$rows" "$(winepath -w "$sample")" | tr -d '\r')
if [ "$copied" != "$expected" ]; then
  diff <(printf '%s\n' "$expected") <(printf '%s\n' "$copied") >&2 || true
  fail "the copied list differs from corvane-cli list --rows $rows"
fi
echo "copied $rows rows, equal to corvane-cli list --rows $rows"

# The dialogs, for the eye: hex edit, stream check, about.
key alt+t h
sleep 2  # a dialog is painted after it is shown
shot 6-hex-edit
# A byte typed over: its cell turns red; Cancel then throws the change away.
key a b Return
shot 6-hex-edit-typed
key Escape
key alt+t s
sleep 2
shot 7-check-stream
key alt+F4
xdotool windowfocus --sync "$window" 2>/dev/null || true
key alt+h a
sleep 2
shot 8-about
key Return

xdotool windowfocus --sync "$window" 2>/dev/null || true
quit_started=$(ms)
xdotool key --clearmodifiers ctrl+q
for _ in $(seq 1 100); do
  kill -0 "$app" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$app" 2>/dev/null && fail "the window did not close on Ctrl+Q"
echo "closed within $(seconds_since "$quit_started") s after Ctrl+Q (polled every 0.1 s)"

settings=$(wine reg query 'HKCU\Software\Halvern\Corvane' | tr -d '\r')
echo "$settings"
count=$(printf '%s\n' "$settings" | grep -c REG_DWORD || true)
[ "$count" -eq 12 ] || fail "the window left $count REG_DWORD settings, not 12"
echo "12 REG_DWORD settings; screenshots in $shots; $(seconds_since "$started") s in all"
