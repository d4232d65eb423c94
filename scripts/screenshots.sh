#!/usr/bin/env bash
# Screenshots of the desktop program as a user sees it, under Xvfb (1280 x 800) and openbox:
# the main window maximized on samples/sample.ac3 and on an E-AC-3 stream, the check report, the
# hex edit dialog, Go to Offset and About; then the main window, the check report and the hex
# edit dialog at the smallest size each allows; last the stream overview with the loudness
# measured, and the main window with the verdict on dialnorm. One PNG each in FOLDER.
#   scripts/screenshots.sh CORVANE FOLDER
# Needs what tests/app/window-placement.sh needs, and ImageMagick's import.
set -euo pipefail
corvane=$(realpath "$1")
shots=$(realpath -m "$2")
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$top/tests/app/x11-session.sh"
command -v import >/dev/null || fail "import is missing (scripts/setup.sh installs ImageMagick)"
x11_enter "$0" "$@"
x11_session
mkdir -p "$shots" "$(dirname "$settings")"

splash_gone() { ! find_window '' SPLASH; }
# Window WINDOW (or the whole screen) as FOLDER/NAME.png, once the program has drawn it.
shoot() {
  local name=$1 window=${2:-root}
  sleep 0.3 # a repaint after the last change has no event to wait for
  if [ "$window" = root ]; then
    import -window root "$shots/$name.png"
  else
    import -window "$(frame_window "$window")" "$shots/$name.png"
  fi
  echo "$shots/$name.png"
}
# Waits for the program's window titled PATTERN of TYPE; sets $found.
await() { poll "$x11_deadline" find_window "$1" "${2:-NORMAL}" || fail "no window \"$1\" appeared"; }
gone() { ! find_window "$1" "${2:-NORMAL}"; }
# Sends KEYS to the main window, or to WINDOW.
keys() { xdotool windowactivate --sync "$wid" key --clearmodifiers "$@"; }
keys_to() {
  local window=$1
  shift
  xdotool windowactivate --sync "$window" key --clearmodifiers "$@"
}
close_window() {
  wmctrl -i -c "$1"
  poll "$x11_deadline" gone "$2" "${3:-NORMAL}" || fail "the window \"$2\" did not close"
}
smallest() {
  xdotool windowsize --sync "$1" 1 1 2>/dev/null || xdotool windowsize "$1" 1 1
}

# The sample with findings for the check report: a byte of frame 5 changed (its second CRC
# fails) and 30 bytes of junk after frame 10.
damaged=$work/damaged.ac3
{
  head -c $((10 * 1536)) "$top/samples/sample.ac3"
  head -c 30 /dev/zero | tr '\0' 'J'
  tail -c +$((10 * 1536 + 1)) "$top/samples/sample.ac3"
} >"$damaged"
printf '\x55' | dd of="$damaged" bs=1 seek=$((5 * 1536 + 1400)) conv=notrunc status=none

# Starts the program on FILE with no settings but the update check off, maximized, once the
# splash window has gone.
start_maximized() {
  printf '[General]\nCheckForUpdates=0\n' >"$settings"
  app_start "$1"
  poll "$x11_deadline" splash_gone || fail "the splash window stayed"
  wmctrl -i -r "$wid" -b add,maximized_vert,maximized_horz
  poll "$x11_deadline" maximized || fail "openbox did not maximize the window"
}
restore_smallest() {
  wmctrl -i -r "$wid" -b remove,maximized_vert,maximized_horz
  poll "$x11_deadline" maximized no || fail "openbox did not restore the window"
  smallest "$wid"
}
# The hex edit dialog of the selected frame, as NAME (at its smallest with "smallest").
shoot_hex_edit() {
  keys ctrl+e
  await '^Hex Edit' DIALOG
  local edit=$found
  if [ "${2:-}" = smallest ]; then
    smallest "$edit"
    shoot "$1" "$edit"
  else
    shoot "$1"
  fi
  keys_to "$edit" Escape
  poll "$x11_deadline" gone '^Hex Edit' DIALOG || fail "the hex edit dialog did not close"
}
shoot_check_report() {
  keys ctrl+k
  await '^Stream Check'
  local check=$found
  if [ "${2:-}" = smallest ]; then
    smallest "$check"
    shoot "$1" "$check"
  else
    shoot "$1"
  fi
  close_window "$check" '^Stream Check'
}

# The sample: the main window, the hex edit dialog, Go to Offset and About.
start_maximized "$top/samples/sample.ac3"
shoot main-ac3-1280x800
shoot_hex_edit hex-edit-1280x800
keys ctrl+g
await '^Go to Offset' DIALOG
shoot go-to-offset-1280x800
keys_to "$found" Escape
poll "$x11_deadline" gone '^Go to Offset' DIALOG || fail "Go to Offset did not close"
keys alt+h a
await '^Corvane' DIALOG
shoot about-1280x800
close_window "$found" '^Corvane' DIALOG
restore_smallest
shoot main-ac3-smallest "$wid"
shoot_hex_edit hex-edit-smallest smallest
app_quit

# The check report of a stream with findings.
start_maximized "$damaged"
shoot_check_report check-report-1280x800
restore_smallest
shoot_check_report check-report-smallest smallest
app_quit

# An E-AC-3 stream.
start_maximized "$top/tests/data/eac3_51_48k_meta.eac3"
shoot main-eac3-1280x800
restore_smallest
shoot main-eac3-smallest "$wid"
app_quit

# The stream overview of streams of other loudness, bit rate and dialnorm one after another,
# the damaged sample last, with the loudness measured (where the program measures it).
overview=$work/overview.ac3
cat "$top"/tests/data/loudness/sine_{2_0,1_0,3_2}.ac3 "$damaged" >"$overview"
start_maximized "$overview"
keys ctrl+shift+o
await '^Stream Overview'
overview_window=$found
keys ctrl+l
sleep 1
poll "$x11_deadline" gone '^Measure Loudness' DIALOG || fail "the loudness measurement did not end"
shoot main-loudness-1280x800
xdotool windowactivate --sync "$overview_window" windowsize --sync "$overview_window" 1100 560
shoot stream-overview "$overview_window"
app_quit
