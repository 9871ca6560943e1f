#!/usr/bin/env bash
# The level map by real clicks: START opens the map; a click on the second level (locked for a
# new player; skipped while the campaign has only one level) shows a line saying what opens it
# and starts nothing; the first level's sign starts that level; left
# undefended at double speed the level is lost, and the defeat dialog's Map button brings the
# menu back at its map; Back returns to the signs and a click on EXIT ends the game with status 0.
# A player who never won saves no progress (the data folder is a fresh XDG_DATA_HOME).
#
# Pixel positions are those of the default 800x800 window; every wait polls with a limit.
set -uo pipefail
game=$(realpath "$1")

source "$(dirname "$0")/lib/game_window.sh"
on_own_display "$@"
game_window_setup map_round_trip
export XDG_DATA_HOME=$work/data
mkdir -p "$XDG_DATA_HOME"

exit_sign=(570 385) back_button=(400 668)
# The signs stand 0.15 window heights apart below the first, closer when more than three must fit
# between 0.735 and 0.43 of the height (LevelMap's layout).
levels=$(grep -cE '^[[:space:]]*level[[:space:]]*=' GAME_DATA/levels/campaign.ini)
second_level=(400 $(awk -v n="$levels" 'BEGIN { s = n > 1 ? 0.305 / (n - 1) : 0; if (s > 0.15) s = 0.15;
  printf "%d", 800 * (1 - (0.735 - s)) }'))
message_slot=(200 565 400 30)           # the map's message line
fast_forward=(745 745) map_button=(400 567)

start_game "$game"

click_until "${start_sign[@]}" "The level map is open" 0 "START never opened the level map"
echo "map open"
sleep 2
if ((levels > 1)); then
  take_shot
  before=$(brightness "${message_slot[@]}")
  click_at "${second_level[@]}"
  sleep 3
  take_shot
  after=$(brightness "${message_slot[@]}")
  ((after > before + 8)) || fail "a click on the locked level showed no message (brightness $before -> $after)"
  grep -q "chosen on the map" "$log" && fail "a locked level was chosen"
  echo "the locked level says why (brightness $before -> $after)"
else
  echo "the campaign has one level: no locked level to click"
fi

click_until "${first_level_sign[@]}" "Starting gameloop of scene Vezaz" 0 "the first level's sign never started it"
echo "level started"
sleep 3
click_at "${fast_forward[@]}"
xdotool mousemove --window "$wid" 700 150
start=$SECONDS
until grep -q "You have lost the game!" "$log"; do
  (($(elapsed $start) < 600)) || fail "the undefended level was never lost"
  kill -0 "$pid" 2>/dev/null || fail "the game ended during the level"
  sleep 2
done
echo "level lost after $(elapsed $start) s"
sleep 2
click_until "${map_button[@]}" "The level map is open" 1 "the defeat dialog's Map button never opened the map"
echo "back at the map"
sleep 2

click_until "${back_button[@]}" "The level map is closed" 0 "Back never closed the map"
echo "back at the signs"
sleep 2
start=$SECONDS
status=
while [[ -z $status ]]; do
  (($(elapsed $start) < 180)) || fail "EXIT did not end the game"
  if ! kill -0 "$pid" 2>/dev/null; then
    status=0
    wait "$pid" || status=$?
    break
  fi
  click_at "${exit_sign[@]}"
  sleep 2
done
pid=
echo "game ended"
[[ $status -eq 0 ]] || fail "exit status $status"
check_clean_log
[[ ! -e $XDG_DATA_HOME/hollowmere/progress.ini ]] || fail "a lost level saved progress: $(cat "$XDG_DATA_HOME/hollowmere/progress.ini")"
echo "map_round_trip: ok"
