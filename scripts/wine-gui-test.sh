#!/usr/bin/env bash
# Runs the Windows window under wine64 on a virtual X screen, as a person would use it: starts
# corvane.exe on the bundled sample, finds its window by its title, presses Down, Page Down, End
# and Home, copies the frame list (the clipboard's text must equal what corvane-cli list prints
# for the same rows), opens the hex edit dialog (a byte typed, then Escape asks before the change
# is thrown away), checks a damaged copy of the sample and jumps to a finding, opens the sample
# again from the recent files (the report then says that its file is closed), opens the stream
# overview and clicks in it (the frame list moves there), shows Go to Offset,
# the about window and the window at its smallest size, quits with Ctrl+Q and reads the settings
# the window left in the registry: thirteen REG_DWORD values and the two files as the recent ones.
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
work=$(mktemp -d)
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$work"
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
quit() {  # Ctrl+Q, then waits for the window's process to end
  xdotool key --clearmodifiers ctrl+q
  for _ in $(seq 1 100); do
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$app" 2>/dev/null && fail "the window did not close on Ctrl+Q"
  wait "$app" || true
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

# The frame list as text: Ctrl+C copies the selected (first) row, the context menu's Copy the
# whole list; both as corvane-cli list prints the same rows.
copy_and_compare() {  # keys..., then the rows expected (0: as many as were copied)
  local want=${*: -1} copied rows expected
  printf '' | xclip -selection clipboard
  key "${@:1:$#-1}"
  copied=$(xclip -o -selection clipboard 2>/dev/null | tr -d '\r' || true)
  rows=$(printf '%s\n' "$copied" | grep -c . || true)
  [ "$rows" -gt 0 ] || fail "the clipboard holds no frame list after $1"
  [ "$want" -eq 0 ] || [ "$rows" -eq "$want" ] || fail "$1 copied $rows rows, not $want"
  expected=$(wine "$cli" list --rows "$rows" "$(winepath -w "$sample")" | tr -d '\r')
  if [ "$copied" != "$expected" ]; then
    diff <(printf '%s\n' "$expected") <(printf '%s\n' "$copied") >&2 || true
    fail "what $1 copied differs from corvane-cli list --rows $rows"
  fi
  echo "$1 copied $rows rows, equal to corvane-cli list --rows $rows"
}
copy_and_compare ctrl+c 1
copy_and_compare shift+F10 c 0

# The dialogs, for the eye: hex edit, stream check, Go to Offset, about.
key alt+t h
sleep 2  # a dialog is painted after it is shown
shot 6-hex-edit
# A byte typed over: its cell turns red; Escape asks before the change is thrown away.
key a b Return
shot 6-hex-edit-typed
key Escape
shot 6-hex-edit-discard
key y
xdotool search --name "^Hex Edit" >/dev/null 2>&1 && fail "the hex edit dialog stayed open after Yes"

# A damaged copy of the sample, opened through the open dialog: frame 3 fails its CRC, and 30
# bytes of junk follow frame 10. Its check report lists both; Enter on the second moves the list
# there and brings the main window to the front.
damaged=$work/damaged.ac3
head -c $((11 * 1536)) "$sample" >"$damaged"
head -c 30 /dev/zero | tr '\0' 'J' >>"$damaged"
tail -c +$((11 * 1536 + 1)) "$sample" >>"$damaged"
printf '\377' | dd of="$damaged" bs=1 seek=$((3 * 1536 + 700)) conv=notrunc 2>/dev/null
key ctrl+o
sleep 1
xdotool type --delay 20 "$(winepath -w "$damaged")"
key Return
sleep 1
xdotool getwindowname "$window" | grep -q damaged.ac3 || fail "the damaged copy did not open"
key ctrl+k
sleep 2
report=$(xdotool search --name "^Stream Check" 2>/dev/null | head -n 1 || true)
[ -n "$report" ] || fail "no Stream Check window"
shot 7-check-stream
key Down Return
shot 7-check-jump
# The sample again, from File > Open Recent: the report says its file is no longer open.
key alt+f r 2
xdotool getwindowname "$window" | grep -q sample.ac3 || fail "Open Recent did not open the sample"
xdotool windowactivate --sync "$report" 2>/dev/null || xdotool windowraise "$report"
sleep 1
xdotool getwindowname "$report" | grep -q "(not open)" || fail "the report does not say that its file is closed"
shot 7-check-not-open
key Escape

# The stream overview of the sample: Ctrl+Shift+O opens it; a click near its right end moves the
# frame list to a frame there (no longer the first) and brings the main window to the front.
xdotool windowfocus --sync "$window" 2>/dev/null || true
key ctrl+shift+o
sleep 1
overview=$(xdotool search --name "^Stream Overview" 2>/dev/null | head -n 1 || true)
[ -n "$overview" ] || fail "no Stream Overview window"
shot 10-overview
eval "$(xdotool getwindowgeometry --shell "$overview")"  # WIDTH and HEIGHT of the client area
xdotool mousemove --window "$overview" $((WIDTH - 40)) $((HEIGHT / 4)) click 1
sleep 1
printf '' | xclip -selection clipboard
key ctrl+c
row=$(xclip -o -selection clipboard 2>/dev/null | tr -d '\r' | head -n 1 || true)
case "$row" in
  "" | 0x0000000000000000,*) fail "a click in the overview did not move the frame list (row: $row)" ;;
esac
echo "a click in the overview moved the frame list to ${row%%,*}"
shot 10-overview-click

xdotool windowfocus --sync "$window" 2>/dev/null || true
key ctrl+g
sleep 1
shot 8-go-to-offset
key Escape
key alt+h a
sleep 2
shot 9-about
key Return

xdotool windowfocus --sync "$window" 2>/dev/null || true
quit_started=$(ms)
quit
echo "closed within $(seconds_since "$quit_started") s after Ctrl+Q (polled every 0.1 s)"

key_of='HKCU\Software\Halvern\Corvane'
settings=$(wine reg query "$key_of" | tr -d '\r')
echo "$settings"
count=$(printf '%s\n' "$settings" | grep -c REG_DWORD || true)
[ "$count" -eq 13 ] || fail "the window left $count REG_DWORD settings, not 13"
recent=$(printf '%s\n' "$settings" | sed -n 's/^ *RecentFile\([12]\) *REG_SZ *//p' | tr '\n' '|')
[ "$recent" = "$(winepath -w "$sample")|$(winepath -w "$damaged")|" ] || fail "the recent files are $recent"
echo "13 REG_DWORD settings and the two files opened as the recent ones"

# Started again with stored values no window can use: a frame of 10 x 10 pixels off the screen
# and an Offset column of width 0. The window comes back on the screen at its smallest size,
# with a usable Offset column, and stores that.
for value in FormLeft:5000 FormTop:3000 FormWidth:10 FormHeight:10 OffsetColWidth:0; do
  wine reg add "$key_of" /v "${value%%:*}" /t REG_DWORD /d "${value#*:}" /f >/dev/null 2>&1
done
wine "$exe" &
app=$!
sleep 4  # the splash, titled Corvane as well, closes after three seconds
window=""
for _ in $(seq 1 60); do
  window=$(xdotool search --onlyvisible --name "^Corvane$" 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  sleep 0.5
done
[ -n "$window" ] || fail "no window titled Corvane appeared on the second start"
shot 10-smallest
xdotool windowfocus --sync "$window" 2>/dev/null || true
quit
value() { printf '%d' "$(wine reg query "$key_of" /v "$1" | tr -d '\r' | sed -n "s/^ *$1 *REG_DWORD *//p")"; }
left=$(value FormLeft) top=$(value FormTop) width=$(value FormWidth) height=$(value FormHeight)
offset=$(value OffsetColWidth)
echo "second start: frame at $left,$top, ${width} x ${height}, Offset column $offset wide"
[ "$left" -ge 0 ] && [ "$top" -ge 0 ] && [ $((left + width)) -le 1280 ] && [ $((top + height)) -le 800 ] ||
  fail "the frame was not brought onto the screen"
[ "$width" -ge 300 ] && [ "$height" -ge 200 ] || fail "the frame is smaller than the window allows"
[ "$offset" -ge 30 ] || fail "the Offset column is not usable"
echo "screenshots in $shots; $(seconds_since "$started") s in all"
