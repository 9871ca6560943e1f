#!/usr/bin/env bash
# A player's first minutes: the menu's camera flies in and halts at the signs; clicking START
# opens the level map, and clicking the first level's sign there lets the camera fly on into the
# level, which starts; once the level's camera has come to rest, a click on a stone base opens
# the building cards and a click on the arrow card builds a tower there; R restarts the level;
# Escape then ends the game cleanly with status 0. The player's data folder is a fresh one
# (XDG_DATA_HOME), so the map is the one a new player sees.
#
# Every wait polls with a generous limit, so the same script drives the sanitizer build (many
# times slower per frame under the software rasteriser) and the release build (quick). Under the
# sanitizer build a leak or a memory error makes the exit status non-zero and the report is
# printed from the log.
#
# Pixel positions are those of the default 800x800 window: the level's main camera is fixed
# once the intro flight ends.
set -uo pipefail
game=$(realpath "$1")

# The script clicks by window position and reads pixels off the screen, so it runs the game on a
# display of its own: other GL tests running at the same time open windows on the shared display
# that would cover the game's window or take its clicks.
if [[ -z "${MENU_TO_LEVEL_OWN_DISPLAY:-}" ]]; then
  MENU_TO_LEVEL_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$game"
fi
work=$(mktemp -d)
pid=
trap 'if [[ -n "$pid" ]]; then kill -9 "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data
log=$work/game.log
shot=$work/shot.png

fail() {
  echo "$1"
  [[ -f $shot ]] && cp "$shot" "${TMPDIR:-/tmp}/menu_to_level_failure.png" &&
    echo "last screenshot: ${TMPDIR:-/tmp}/menu_to_level_failure.png"
  grep -vE "Linked|Reading" "$log" | tail -n 40
  exit 1
}

# Seconds since the script started; every phase below has its own limit.
elapsed() { echo $((SECONDS - $1)); }

take_shot() { /usr/bin/import -window root -crop 800x800+0+0 +repage "$shot" 2>/dev/null; }

# Mean colour of a rectangle of the last screenshot, as "R G B" from 0 to 255.
mean_rgb() {
  /usr/bin/convert "$shot" -crop "$3x$4+$1+$2" +repage -scale '1x1!' \
    -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]\n' info:
}

# A rectangle of the last screenshot is mostly red (a tower's roof) or mostly blue (a card's header).
is_red() { read -r r g b < <(mean_rgb "$@") && ((r > g + 60 && r > b + 60)); }
is_blue() { read -r r g b < <(mean_rgb "$@") && ((b > r + 50 && b > g + 20)); }

# Where things are on the level map (the same whatever the camera does behind it).
first_level_x=400 first_level_y=212

# Where things are in the level's resting view.
plot_x=333 plot_y=448              # a stone base inside the road's loop
arrow_card_x=338 arrow_card_y=620  # the arrow card, once the cards have slid in
card_header=(368 520 22 11)        # the arrow card's blue header
tower_roof=(305 368 40 26)         # the roof of an arrow tower on that base
calm_region=(640 40 160 240)       # trees and the tent beside the core: no monster goes there

"$game" >"$log" 2>&1 &
pid=$!
# The game's own window, found by its process.
wid=
for wait in $(seq 1 120); do
  wid=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
  [[ -n "$wid" ]] && break
  kill -0 "$pid" 2>/dev/null || fail "the game ended before its window opened"
  sleep 1
done
[[ -n "$wid" ]] || fail "no window"

level_starts() { grep -c "Starting gameloop of scene Vezaz" "$log"; }

start=$SECONDS
until grep -q "The level map is open" "$log"; do
  (($(elapsed $start) < 300)) || fail "START never opened the level map"
  kill -0 "$pid" 2>/dev/null || fail "the game ended in the menu"
  # The START sign, where the camera halts in front of the signs. The cursor rests on it for a
  # frame before the click, so the sign is under it when the button goes up.
  xdotool mousemove --window "$wid" 230 385
  sleep 1
  xdotool click 1
  sleep 2
done
echo "level map opened after $(elapsed $start) s"

start=$SECONDS
until (($(level_starts) >= 1)); do
  (($(elapsed $start) < 300)) || fail "the level never started"
  kill -0 "$pid" 2>/dev/null || fail "the game ended in the menu"
  # Once chosen, the map closes and the camera flies on; further clicks land on empty ground.
  xdotool mousemove --window "$wid" "$first_level_x" "$first_level_y"
  sleep 1
  xdotool click 1
  sleep 2
done
grep -q "Level Vezaz chosen on the map" "$log" || fail "the level started without being chosen on the map"
echo "level started after $(elapsed $start) s"

# The intro flight has ended when the calm corner has stayed the same for a few seconds (longer
# than one frame of the sanitizer build).
calm_crop() {
  /usr/bin/convert "$shot" -crop "${calm_region[2]}x${calm_region[3]}+${calm_region[0]}+${calm_region[1]}" +repage "$1"
}
start=$SECONDS
take_shot
calm_crop "$work/calm_before.png"
calm_since=$SECONDS
while (($(elapsed $calm_since) < 5)); do
  (($(elapsed $start) < 300)) || fail "the level's camera never came to rest"
  sleep 1
  take_shot
  calm_crop "$work/calm_now.png"
  diff=$(/usr/bin/compare -metric AE -fuzz 3% "$work/calm_before.png" "$work/calm_now.png" null: 2>&1)
  if [[ $diff != 0 ]]; then calm_since=$SECONDS; fi
  mv "$work/calm_now.png" "$work/calm_before.png"
done
echo "camera at rest after $(elapsed $start) s"
is_red "${tower_roof[@]}" && fail "a red roof stands on the empty base"

# Click the base, then wait for the cards to slide in. A second click on the same base would
# close them again, so each click gets time to show its result.
start=$SECONDS
cards=no
while [[ $cards == no ]]; do
  (($(elapsed $start) < 240)) || fail "clicking the base never showed the building cards"
  xdotool mousemove --window "$wid" "$plot_x" "$plot_y"
  sleep 1
  xdotool click 1
  for wait in $(seq 1 20); do
    sleep 1
    take_shot
    if is_blue "${card_header[@]}"; then cards=yes; break; fi
  done
done
echo "building cards shown after $(elapsed $start) s"

start=$SECONDS
xdotool mousemove --window "$wid" "$arrow_card_x" "$arrow_card_y"
sleep 1
xdotool click 1
# Away from the cards and the base, so no hover ring covers the tower.
sleep 1
xdotool mousemove --window "$wid" 700 150
built=no
while (($(elapsed $start) < 120)); do
  sleep 1
  take_shot
  if is_red "${tower_roof[@]}"; then built=yes; break; fi
done
[[ $built == yes ]] || fail "the arrow card built no tower on the base"
echo "arrow tower built after $(elapsed $start) s"

start=$SECONDS
xdotool key --window "$wid" r
until (($(level_starts) >= 2)); do
  (($(elapsed $start) < 180)) || fail "R did not restart the level"
  sleep 1
done
echo "level restarted after $(elapsed $start) s"
sleep 2

start=$SECONDS
xdotool key --window "$wid" Escape
status=
for wait in $(seq 1 180); do
  if ! kill -0 "$pid" 2>/dev/null; then
    status=0
    wait "$pid" || status=$?
    break
  fi
  sleep 1
done
[[ -n $status ]] || fail "Escape did not end the game"
pid=
echo "game ended after $(elapsed $start) s"
grep -vE "Linked|Reading" "$log" | tail -n 20
[[ $status -eq 0 ]] || fail "exit status $status"
if grep -E "\[(error|critical)\]" "$log"; then fail "error lines in the log"; fi
if grep -qE "(Leak|Address|UndefinedBehavior)Sanitizer|runtime error:" "$log"; then
  fail "sanitizer report"
fi
grep -q "Window deconstruction: glfw terminated" "$log" || fail "the window was not torn down"
# Each level left (by R, then by Escape) leaves its recording in the replays folder.
left=$(grep -l "^result = left " "$XDG_DATA_HOME"/hollowmere/replays/Vezaz-*.txt 2>/dev/null | wc -l)
[[ $left -eq 2 ]] || fail "$left replays of a level left instead of 2 (the restart and the quit)"
echo "menu_to_level: ok"
