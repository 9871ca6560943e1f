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

# Clicks by window position and reads pixels off the screen: a display of its own (see
# menu_to_level.sh).
if [[ -z "${MAP_ROUND_TRIP_OWN_DISPLAY:-}" ]]; then
  MAP_ROUND_TRIP_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$game"
fi
work=$(mktemp -d)
pid=
trap 'if [[ -n "$pid" ]]; then kill -9 "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data
mkdir -p "$XDG_DATA_HOME"
log=$work/game.log
shot=$work/shot.png

fail() {
  echo "$1"
  [[ -f $shot ]] && cp "$shot" "${TMPDIR:-/tmp}/map_round_trip_failure.png" &&
    echo "last screenshot: ${TMPDIR:-/tmp}/map_round_trip_failure.png"
  grep -vE "Linked|Reading" "$log" | tail -n 40
  exit 1
}
elapsed() { echo $((SECONDS - $1)); }
take_shot() { /usr/bin/import -window root -crop 800x800+0+0 +repage "$shot" 2>/dev/null; }
# Mean brightness (0-255) of a rectangle of the last screenshot.
brightness() {
  /usr/bin/convert "$shot" -crop "$3x$4+$1+$2" +repage -colorspace Gray -scale '1x1!' -format '%[fx:int(255*r)]\n' info:
}
count() { grep -c "$1" "$log"; }
# Points at a place, lets a frame see the pointer there, then clicks.
click_at() {
  xdotool mousemove --window "$wid" "$1" "$2"
  sleep 1
  xdotool click 1
}
# Clicks at a place every few seconds until the log has more than N lines matching TEXT.
click_until() {
  local x=$1 y=$2 text=$3 n=$4 what=$5 start=$SECONDS
  until (($(count "$text") > n)); do
    (($(elapsed $start) < 300)) || fail "$what"
    kill -0 "$pid" 2>/dev/null || fail "the game ended: $what"
    click_at "$x" "$y"
    sleep 2
  done
}

start_sign=(230 385) exit_sign=(570 385)
first_level=(400 212) back_button=(400 668)
# The signs stand 0.15 window heights apart below the first, closer when more than three must fit
# between 0.735 and 0.43 of the height (LevelMap's layout).
levels=$(grep -cE '^[[:space:]]*level[[:space:]]*=' GAME_DATA/levels/campaign.ini)
second_level=(400 $(awk -v n="$levels" 'BEGIN { s = n > 1 ? 0.305 / (n - 1) : 0; if (s > 0.15) s = 0.15;
  printf "%d", 800 * (1 - (0.735 - s)) }'))
message_slot=(200 565 400 30)           # the map's message line
fast_forward=(745 745) map_button=(400 567)

"$game" >"$log" 2>&1 &
pid=$!
wid=
for _ in $(seq 1 120); do
  wid=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
  [[ -n "$wid" ]] && break
  kill -0 "$pid" 2>/dev/null || fail "the game ended before its window opened"
  sleep 1
done
[[ -n "$wid" ]] || fail "no window"

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

click_until "${first_level[@]}" "Starting gameloop of scene Vezaz" 0 "the first level's sign never started it"
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
if grep -E "\[(error|critical)\]" "$log"; then fail "error lines in the log"; fi
grep -q "Window deconstruction: glfw terminated" "$log" || fail "the window was not torn down"
[[ ! -e $XDG_DATA_HOME/hollowmere/progress.ini ]] || fail "a lost level saved progress: $(cat "$XDG_DATA_HOME/hollowmere/progress.ini")"
echo "map_round_trip: ok"
