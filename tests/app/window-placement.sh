#!/usr/bin/env bash
# The desktop program under a real X server (Xvfb) with a window manager (openbox), as a user
# starts it, each check comparing the window manager's frame (title bar included):
#   - no settings, no user action: started twice, the frame stays where it was;
#   - moved by the user near the top edge, quit, started again: the frame comes back there;
#   - maximized and restored, maximized, quit, started again (maximized) and restored: the frame
#     before maximizing, its title bar on the screen;
#   - a stored place off every screen and an Offset column of width 0: the window on the screen
#     and the column wide enough to read.
#   tests/app/window-placement.sh CORVANE
# Needs xvfb-run, openbox, xdotool, xwininfo and xprop (x11-utils) and wmctrl. Run by
# scripts/test.sh when xvfb-run is present.
set -euo pipefail
corvane=$(realpath "$1")
source "$(dirname "${BASH_SOURCE[0]}")/x11-session.sh"
x11_enter "$0" "$@"
x11_session

# The design place of a first start and its client area's width (its height depends on the
# desktop's fonts, the menu and status bars being part of it).
design_corner="111 77"
design_client_width=1145
corner_is() { read -r left top _ <<<"$(frame_of "$wid")" && [ "$left $top" = "$1" ]; }
client_width() { xwininfo -id "$wid" | awk '/^  Width/{print $2}'; }

# 1. No settings, no user action: the second start shows the frame where the first left it.
app_start
poll "$x11_deadline" corner_is "$design_corner" || fail "a first start is not at $design_corner: $(frame_of "$wid")"
first=$(frame_of "$wid")
[ "$(client_width)" = "$design_client_width" ] || fail "a first start's client area is $(client_width) wide, not $design_client_width"
app_quit
app_start
poll "$x11_deadline" frame_is "$first" || fail "the window moved between two starts: $first, then $(frame_of "$wid")"
app_quit
echo "start, quit, start: the frame stays at $first"

# 2. Moved by the user close to the top edge (where a frame placed by its client area would
#    lose its title bar): it comes back there.
app_start
poll "$x11_deadline" frame_is "$first" || fail "the third start is not at $first: $(frame_of "$wid")"
read -r _ _ width height <<<"$first"
moved="59 20 $width $height"
wmctrl -i -r "$wid" -e "1,59,20,-1,-1"
poll "$x11_deadline" frame_is "$moved" || fail "openbox did not move the window to $moved: $(frame_of "$wid")"
app_quit
app_start
poll "$x11_deadline" frame_is "$moved" || fail "the moved window came back elsewhere: left at $moved, back at $(frame_of "$wid")"
echo "moved, quit, start: the frame comes back at $moved"

# 3. Maximized and restored, maximized again, quit, started again and restored: each time the
#    frame it had before it was maximized.
wmctrl -i -r "$wid" -b add,maximized_vert,maximized_horz
poll "$x11_deadline" maximized || fail "openbox did not maximize the window"
wmctrl -i -r "$wid" -b remove,maximized_vert,maximized_horz
poll "$x11_deadline" frame_is "$moved" || fail "restored to $(frame_of "$wid"), not to the frame before maximizing ($moved)"
wmctrl -i -r "$wid" -b add,maximized_vert,maximized_horz
poll "$x11_deadline" maximized || fail "openbox did not maximize the window again"
app_quit
[ "$(stored WindowState)" = 2 ] || fail "a maximized window was stored as WindowState=$(stored WindowState)"
app_start
poll "$x11_deadline" maximized || fail "a window stored maximized did not start maximized"
wmctrl -i -r "$wid" -b remove,maximized_vert,maximized_horz
poll "$x11_deadline" frame_is "$moved" || fail "restored to $(frame_of "$wid"), not to the frame before maximizing ($moved)"
app_quit
echo "maximized and restored, maximized, quit, start, restored: the frame is at $moved, its title bar on the screen"

# 4. A stored place off every screen and a column of width 0: brought back usable, the frame
#    as large as it was, in the screen's corner.
sed -i 's/^FormLeft=.*/FormLeft=-5000/; s/^FormTop=.*/FormTop=-300/; s/^OffsetColWidth=.*/OffsetColWidth=0/' "$settings"
app_start
poll "$x11_deadline" frame_is "0 0 $width $height" || fail "a window stored off the screen is at $(frame_of "$wid")"
app_quit
offset_width=$(stored OffsetColWidth)
[ "$offset_width" -ge 40 ] || fail "the Offset column stored as 0 came back $offset_width pixels wide"
echo "stored off the screen with an Offset column of width 0: shown at 0 0, the column $offset_width pixels wide"
