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

source "$(dirname "$0")/lib/game_window.sh"
on_own_display "$@"
game_window_setup menu_to_level
export XDG_DATA_HOME=$work/data

# Where things are in the level's resting view.
plot_x=333 plot_y=448              # a stone base inside the road's loop
arrow_card_x=338 arrow_card_y=620  # the arrow card, once the cards have slid in
card_header=(368 520 22 11)        # the arrow card's blue header
tower_roof=(305 368 40 26)         # the roof of an arrow tower on that base

start_game "$game"
level_starts() { grep -c "Starting gameloop of scene Vezaz" "$log"; }
reach_first_level
grep -q "Level Vezaz chosen on the map" "$log" || fail "the level started without being chosen on the map"
wait_for_camera_rest
is_red "${tower_roof[@]}" && fail "a red roof stands on the empty base"

# Click the base, then wait for the cards to slide in. A second click on the same base would
# close them again, so each click gets time to show its result.
start=$SECONDS
cards=no
while [[ $cards == no ]]; do
  (($(elapsed $start) < 240)) || fail "clicking the base never showed the building cards"
  click_at "$plot_x" "$plot_y"
  for wait in $(seq 1 20); do
    sleep 1
    take_shot
    if is_blue "${card_header[@]}"; then cards=yes; break; fi
  done
done
echo "building cards shown after $(elapsed $start) s"

start=$SECONDS
click_at "$arrow_card_x" "$arrow_card_y"
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

quit_with_key Escape
grep -vE "Linked|Reading" "$log" | tail -n 20
check_clean_log
# Each level left (by R, then by Escape) leaves its recording in the replays folder.
left=$(grep -l "^result = left " "$XDG_DATA_HOME"/hollowmere/replays/Vezaz-*.txt 2>/dev/null | wc -l)
[[ $left -eq 2 ]] || fail "$left replays of a level left instead of 2 (the restart and the quit)"
echo "menu_to_level: ok"
