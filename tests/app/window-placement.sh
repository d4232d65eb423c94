#!/usr/bin/env bash
# The desktop program under a real X server (Xvfb) with a window manager (openbox), as a user
# starts it: the window comes back where it was left (start, quit, start again; move, quit,
# start again), a maximized window restored after a restart has its title bar on the screen, and
# a stored position off every screen is brought back. With a folder named, it also takes
# screenshots of the main window, the check report and the hex edit dialog at 1280 x 800 and at
# the main window's smallest size.
#   tests/app/window-placement.sh CORVANE [SCREENSHOT_FOLDER]
# Needs xvfb-run, openbox, xdotool, xwininfo (x11-utils) and wmctrl; ImageMagick's import for
# screenshots. Run by scripts/test.sh when xvfb-run is present.
set -euo pipefail
corvane=$(realpath "$1")
shots=${2:-}
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

if [ -z "${CORVANE_INSIDE_XVFB:-}" ]; then
  for tool in xvfb-run openbox xdotool xwininfo wmctrl; do
    command -v "$tool" >/dev/null || { echo "window-placement: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
  done
  export CORVANE_INSIDE_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

work=$(mktemp -d)
openbox_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$openbox_pid" ] && kill "$openbox_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config HOME=$work
settings=$XDG_CONFIG_HOME/Halvern/Corvane.conf
openbox --sm-disable >/dev/null 2>&1 &
openbox_pid=$!
sleep 1

fail() { echo "window-placement: $*" >&2; exit 1; }

# Starts the program (on FILE when given) and waits for its main window: sets $app_pid, $wid.
start() {
  "$corvane" "$@" >/dev/null 2>&1 &
  app_pid=$!
  wid=$(xdotool search --sync --onlyvisible --name '^Corvane' | head -1)
  sleep 1.5  # the program places its frame once the window manager has framed it
}

# The outer frame of window $wid as "left top width height": its ancestor just below the root,
# the window manager's frame with the title bar.
outer() {
  local id=$wid parent root
  root=$(xwininfo -root | awk '/Window id:/{print $4}')
  while parent=$(xwininfo -tree -id "$id" | awk '/Parent window id/{print $4}') && [ "$parent" != "$root" ]; do
    id=$parent
  done
  xwininfo -id "$id" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
    /^  Width/{w=$2} /^  Height/{h=$2} END{print x, y, w, h}'
}

quit() {
  xdotool windowactivate --sync "$wid" key --clearmodifiers ctrl+q
  for _ in $(seq 1 100); do kill -0 "$app_pid" 2>/dev/null || { app_pid=; return; }; sleep 0.1; done
  fail "the program did not end after Ctrl+Q"
}

# 1. No settings, no user action: the second start shows the frame where the first left it.
start
first=$(outer)
quit
start
second=$(outer)
quit
[ "$first" = "$second" ] || fail "the window moved between two starts: $first, then $second"
echo "start, quit, start: the frame stays at $second"

# 2. Moved by the user: it comes back there.
start
xdotool windowmove --sync "$wid" 60 40
sleep 0.5
moved=$(outer)
quit
start
again=$(outer)
quit
[ "$moved" = "$again" ] || fail "the moved window came back elsewhere: left at $moved, back at $again"
echo "moved, quit, start: the frame comes back at $again"

# 3. Maximized, quit, started again and restored: the title bar is on the screen, the frame is
#    the one it had before it was maximized.
start
wmctrl -i -r "$wid" -b add,maximized_vert,maximized_horz
sleep 0.5
quit
grep -q '^WindowState=2' "$settings" || fail "a maximized window was not stored as such"
start
wmctrl -i -r "$wid" -b remove,maximized_vert,maximized_horz
sleep 1
restored=$(outer)
quit
read -r _ restored_top _ _ <<<"$restored"
[ "$restored_top" -ge 0 ] || fail "after restoring, the title bar is off the screen: $restored"
[ "$restored" = "$again" ] || fail "restored to $restored, not to the frame before maximizing ($again)"
echo "maximized, quit, start, restored: the frame is at $restored"

# 4. A stored place off every screen is brought back.
sed -i 's/^FormLeft=.*/FormLeft=-5000/; s/^FormTop=.*/FormTop=-300/; s/^WindowState=.*/WindowState=0/' "$settings"
start
read -r left top width height <<<"$(outer)"
quit
[ "$left" -ge 0 ] && [ "$top" -ge 0 ] && [ $((left + width)) -le 1280 ] && [ $((top + height)) -le 800 ] ||
  fail "a window stored off the screen stayed off it: $left $top $width $height"
echo "stored off the screen: shown at $left $top"

if [ -n "$shots" ]; then
  mkdir -p "$shots"
  shoot() { sleep 1; import -window root "$shots/$1.png"; echo "screenshot $shots/$1.png"; }
  rm -f "$settings"
  start "$top/samples/sample.ac3"
  wmctrl -i -r "$wid" -e 0,0,0,1280,770
  shoot main-1280x800
  xdotool windowactivate --sync "$wid" key ctrl+k
  sleep 1.5
  shoot check-report-1280x800
  check=$(xdotool search --onlyvisible --name '^Stream Check' | head -1)
  xdotool windowactivate --sync "$check" key --clearmodifiers Escape 2>/dev/null || true
  wmctrl -i -c "$check" || true
  xdotool windowactivate --sync "$wid" key ctrl+e
  shoot hex-edit-1280x800
  xdotool key --clearmodifiers Escape
  sleep 0.5
  xdotool windowsize --sync "$wid" 10 10 || true
  shoot main-smallest
  xdotool windowactivate --sync "$wid" key ctrl+k
  sleep 1.5
  check=$(xdotool search --onlyvisible --name '^Stream Check' | head -1)
  xdotool windowsize "$check" 10 10 || true
  shoot check-report-smallest
  wmctrl -i -c "$check" || true
  xdotool windowactivate --sync "$wid" key ctrl+e
  sleep 1
  edit=$(xdotool search --onlyvisible --name '^Hex Edit' | head -1)
  xdotool windowsize "$edit" 10 10 || true
  shoot hex-edit-smallest
  xdotool key --clearmodifiers Escape
  quit
fi
