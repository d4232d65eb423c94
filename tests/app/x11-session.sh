# Sourced by the scripts that drive the desktop program under a real X server (Xvfb, 1280 x 800)
# with a window manager (openbox), as a user would: a private settings folder, the program
# started and quit, its windows found and measured. Every wait polls with a deadline.
#
#   x11_enter "$0" "$@"   runs the calling script again inside a new Xvfb server (once)
#   x11_session           starts openbox with settings of this run only; sets $work, $settings
#   app_start [FILE]      starts $corvane, waits for its framed main window; sets $app_pid, $wid
#   app_quit              Ctrl+Q, and waits for the program to end
#   frame_of WINDOW       "left top width height" of WINDOW's frame (title bar included)
#   poll SECONDS CMD...   runs CMD until it succeeds; fails after SECONDS

# Seconds any one wait may take before the run fails: generous for a loaded machine, and a
# passing run never waits for it.
x11_deadline=${CORVANE_X11_DEADLINE:-20}

fail() {
  echo "${0##*/}: $*" >&2
  exit 1
}

x11_enter() {
  [ -n "${CORVANE_INSIDE_XVFB:-}" ] && return 0
  local tool
  for tool in xvfb-run openbox xdotool xwininfo xprop wmctrl; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup.sh installs it)"
  done
  export CORVANE_INSIDE_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" "$@"
}

poll() {
  local seconds=$1
  shift
  local end=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.05
  done
}

x11_cleanup() {
  # Only the processes this run started, by their ids.
  [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null
  [ -n "${openbox_pid:-}" ] && kill "$openbox_pid" 2>/dev/null
  [ -n "${work:-}" ] && rm -rf "$work"
  return 0
}

window_manager_running() { wmctrl -m >/dev/null 2>&1; }

x11_session() {
  work=$(mktemp -d)
  app_pid=
  openbox_pid=
  trap x11_cleanup EXIT
  # The program's settings, and anything else it keeps, live in this run's folder; it talks to
  # the X server whatever the calling environment chose for the tests.
  export XDG_CONFIG_HOME=$work/config HOME=$work QT_QPA_PLATFORM=xcb
  settings=$XDG_CONFIG_HOME/Halvern/Corvane.conf
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  openbox_pid=$!
  poll "$x11_deadline" window_manager_running || fail "openbox did not start"
}

# The window just below the root that holds WINDOW: the window manager's frame once it has
# framed WINDOW, WINDOW itself before.
frame_window() {
  local id=$1 parent root
  root=$(xwininfo -root | awk '/Window id:/{print $4}')
  while parent=$(xwininfo -tree -id "$id" 2>/dev/null | awk '/Parent window id/{print $4}') &&
    [ -n "$parent" ] && [ "$parent" != "$root" ]; do
    id=$parent
  done
  echo "$id"
}

frame_of() {
  xwininfo -id "$(frame_window "$1")" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
    /^  Width/{w=$2} /^  Height/{h=$2} END{print x, y, w, h}'
}

# WINDOW is on the screen inside the window manager's frame.
framed() {
  [ "$(printf '%d' "$(frame_window "$1")")" != "$(printf '%d' "$1")" ] &&
    xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '='
}

# The visible window of the program whose title matches PATTERN and whose window type is TYPE
# (its first, NORMAL for the main window, DIALOG for the others; the splash window names NORMAL
# after SPLASH); sets $found.
find_window() {
  local id
  found=
  for id in $(xdotool search --all --onlyvisible --pid "$app_pid" --name "$1" 2>/dev/null); do
    if xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q "= _NET_WM_WINDOW_TYPE_${2:-NORMAL}\b"; then
      found=$id
      return 0
    fi
  done
  return 1
}

# The main window's title: the program's name, then the open file's in brackets.
main_window_framed() { find_window '^Corvane($|\()' NORMAL && framed "$found"; }

app_start() {
  "$corvane" "$@" >>"$work/corvane.log" 2>&1 &
  app_pid=$!
  poll "$x11_deadline" main_window_framed || fail "the main window did not appear"
  wid=$found
}

app_ended() { ! kill -0 "$app_pid" 2>/dev/null; }

app_quit() {
  xdotool windowactivate --sync "$wid" key --clearmodifiers ctrl+q
  poll "$x11_deadline" app_ended || fail "the program did not end after Ctrl+Q"
  wait "$app_pid" 2>/dev/null || true
  app_pid=
}

# The frame of window $wid is "left top width height" within the deadline.
frame_is() { [ "$(frame_of "$wid")" = "$1" ]; }

# _NET_WM_STATE of window $wid names both maximized states (or, with "no", neither).
maximized() {
  local state
  state=$(xprop -id "$wid" _NET_WM_STATE 2>/dev/null)
  if [ "${1:-}" = no ]; then
    [[ $state != *MAXIMIZED_VERT* && $state != *MAXIMIZED_HORZ* ]]
  else
    [[ $state == *MAXIMIZED_VERT* && $state == *MAXIMIZED_HORZ* ]]
  fi
}

# The value NAME in the settings file.
stored() { sed -n "s/^$1=//p" "$settings"; }
