#!/usr/bin/env bash
# A level played through real input ends as its recording says: the game is started, START is
# clicked and the first level chosen on the level map, the level is sped up with the fast-forward button, paused with P while a tower is
# bought and resumed with Space, and towers are bought on several plots by clicking a base and
# then a card, until the level ends (won or lost); after three more plots have been tried, the first
# tower is clicked and retargeted (T), upgraded (U, when affordable) and sold (S). The replay the
# game wrote is then played by
# hollowmere-sim --replay (from the game binary's folder), which must print "replay: same": the
# same outcome, lives, kills, time, resources and towers as the person's play.
#
#   tests/e2e/played_level_replays.sh GAME_BINARY
#
# Pixel positions are those of the default 800x800 window once the level's camera has come to rest
# (see menu_to_level.sh). The game writes its replays into a temporary XDG data folder.
# HM_KEEP_REPLAY=FILE keeps the recorded play (to check it in as a golden replay).
set -uo pipefail
game=$(realpath "$1")
sim=$(dirname "$game")/hollowmere-sim

source "$(dirname "$0")/lib/game_window.sh"
on_own_display "$@"
game_window_setup played_level
export XDG_DATA_HOME=$work/data
[[ -x $sim ]] || fail "no simulator beside the game: $sim"

arrow_card=(338 620)
cannon_card=(460 620)
card_header=(368 520 22 11) # the arrow card's blue header, once the cards have slid in
speed_button=(742 742)
# Plots around the road's loops, clear of the card panel: x y card.
plots=(
  "333 448 arrow" "475 425 arrow" "553 352 cannon" "230 415 arrow" "383 372 arrow"
  "253 297 cannon" "357 287 arrow" "510 266 arrow" "135 333 arrow" "385 237 cannon"
)

ended() { grep -qE "You have (won|lost) the game!" "$log"; }

start_game "$game"
reach_first_level
wait_for_camera_rest

xdotool mousemove --window "$wid" "${speed_button[@]}"
sleep 0.5
xdotool click 1
sleep 0.5

# Clicks a base and, once the cards are shown, the card; a base that shows no cards (it has a
# tower already) is left. Returns 0 when the card was clicked.
buy() {
  local x=$1 y=$2 card=$3
  xdotool mousemove --window "$wid" "$x" "$y"
  sleep 0.5
  xdotool click 1
  local shown=no
  for wait in $(seq 1 10); do
    sleep 0.5
    take_shot
    if is_blue "${card_header[@]}"; then shown=yes; break; fi
  done
  [[ $shown == yes ]] || return 1
  local target=("${arrow_card[@]}")
  [[ $card == cannon ]] && target=("${cannon_card[@]}")
  xdotool mousemove --window "$wid" "${target[@]}"
  sleep 0.5
  xdotool click 1
  sleep 0.5
  # Away from the cards and the plots, so that the next click starts from nothing hovered.
  xdotool mousemove --window "$wid" 700 150
  # A card that could not be paid leaves the cards open: a click on the base closes them.
  sleep 1.5
  take_shot
  if is_blue "${card_header[@]}"; then
    xdotool mousemove --window "$wid" "$x" "$y"
    sleep 0.5
    xdotool click 1
    sleep 1.5
  fi
  return 0
}

# The first tower is bought while the game is paused (P), and the game resumed with Space.
xdotool key --window "$wid" p
sleep 1
read -r x y card <<<"${plots[0]}"
buy "$x" "$y" "$card" || fail "clicking a base while paused showed no cards"
xdotool key --window "$wid" space
echo "first tower bought while paused"

# The first tower, once three more have been tried: retargeted, upgraded when affordable, sold.
decide() {
  read -r x y card <<<"${plots[0]}"
  xdotool mousemove --window "$wid" "$x" "$y"
  sleep 0.5
  xdotool click 1
  sleep 1.5
  for key in t u s; do
    xdotool key --window "$wid" "$key"
    sleep 1
  done
  xdotool mousemove --window "$wid" 700 150
  echo "the first tower retargeted, upgraded and sold"
}

start=$SECONDS
round=0 tried=0
until ended; do
  (($(elapsed $start) < 900)) || fail "the level never ended"
  kill -0 "$pid" 2>/dev/null || fail "the game ended during the level"
  for plot in "${plots[@]:1}"; do
    ended && break
    read -r x y card <<<"$plot"
    buy "$x" "$y" "$card"
    tried=$((tried + 1))
    ((tried == 3)) && ! ended && decide
    sleep 1
  done
  round=$((round + 1))
done
echo "level ended after $(elapsed $start) s and $round rounds over the plots: $(grep -oE "You have (won|lost) the game!" "$log")"

start=$SECONDS
until grep -q "The play was recorded in" "$log"; do
  (($(elapsed $start) < 60)) || fail "no replay was written when the level ended"
  sleep 1
done
# Escape lets go of a selected tower or plot first, then quits.
quit_with_key Escape
check_clean_log

replay=$(sed -nE 's/.*The play was recorded in (.*)$/\1/p' "$log" | head -n 1)
[[ -f $replay ]] || fail "the replay $replay is not there"
ls "$XDG_DATA_HOME/hollowmere/replays/" | grep -qE '^Vezaz-[0-9]{8}-[0-9]{6}\.txt$' || fail "the replay's name is not LEVEL-DATE-TIME.txt"
cat "$replay"
builds=$(grep -c "^action = [0-9]* build " "$replay")
((builds >= 3)) || fail "only $builds towers were bought"
grep -qE "^action = [0-9]+ speed 0 2$" "$replay" || fail "the fast-forward button was not recorded"
grep -qE "^action = [0-9]+ target " "$replay" || fail "the retargeting was not recorded"
grep -qE "^action = [0-9]+ sell " "$replay" || fail "the sale was not recorded"
[[ -n "${HM_KEEP_REPLAY:-}" ]] && cp "$replay" "$HM_KEEP_REPLAY"

output=$("$sim" --replay "$replay" 2>&1)
sim_status=$?
echo "$output"
[[ $sim_status -eq 0 ]] || fail "hollowmere-sim --replay ended with $sim_status"
grep -qx "replay: same" <<<"$output" || fail "the replay does not end as the play did"
recorded=$(sed -n 's/^result = //p' "$replay")
grep -qxF "$recorded" <<<"$output" || fail "the simulator's line is not the recorded one"
echo "played_level_replays: ok"
