# What the end-to-end scripts share: a display of their own, the game's window found by its
# process, clicks by window position, screenshots read by colour, and waits that poll with a limit.
# Sourced by a script after `set -uo pipefail`; positions are those of the default 800x800 window.
#
#   source "$(dirname "$0")/lib/game_window.sh"
#   on_own_display "$@"          # re-runs the script inside xvfb-run when it is not already there
#   game_window_setup NAME       # a scratch folder ($work), the log ($log), the screenshot ($shot)
#   start_game COMMAND...        # the game in the background ($pid), its window ($wid)

# Clicks land by window position, so the game gets a display of its own: other GL tests running at
# the same time open windows on a shared display that would cover the game's window or take its clicks.
on_own_display() {
  if [[ -z "${E2E_OWN_DISPLAY:-}" ]]; then
    E2E_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
  fi
}

# NAME names the failure screenshot kept in $TMPDIR. The scratch folder goes when the script ends,
# and a game still running is killed.
game_window_setup() {
  e2e_name=$1
  work=$(mktemp -d)
  pid=
  log=$work/game.log
  shot=$work/shot.png
  trap game_window_cleanup EXIT
}

game_window_cleanup() {
  if [[ -n "$pid" ]]; then kill -9 "$pid" 2>/dev/null || true; fi
  chmod -R u+w "$work" 2>/dev/null
  rm -rf "$work"
}

fail() {
  echo "$e2e_name: $1"
  if [[ -f $shot ]]; then
    cp "$shot" "${TMPDIR:-/tmp}/${e2e_name}_failure.png" &&
      echo "last screenshot: ${TMPDIR:-/tmp}/${e2e_name}_failure.png"
  fi
  [[ -f $log ]] && grep -vE "Linked|Reading" "$log" | tail -n 40
  exit 1
}

# Seconds since START (a value of $SECONDS); every phase has its own limit.
elapsed() { echo $((SECONDS - $1)); }

start_game() {
  "$@" >"$log" 2>&1 &
  pid=$!
  wid=
  local wait
  for wait in $(seq 1 120); do
    wid=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
    [[ -n "$wid" ]] && return 0
    kill -0 "$pid" 2>/dev/null || fail "the game ended before its window opened"
    sleep 1
  done
  fail "no window"
}

take_shot() { /usr/bin/import -window root -crop 800x800+0+0 +repage "$shot" 2>/dev/null; }

# Mean colour of a rectangle (X Y WIDTH HEIGHT) of the last screenshot, as "R G B" from 0 to 255.
mean_rgb() {
  /usr/bin/convert "$shot" -crop "$3x$4+$1+$2" +repage -scale '1x1!' \
    -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]\n' info:
}
# Mean brightness (0-255) of a rectangle of the last screenshot.
brightness() {
  /usr/bin/convert "$shot" -crop "$3x$4+$1+$2" +repage -colorspace Gray -scale '1x1!' -format '%[fx:int(255*r)]\n' info:
}
# A rectangle is mostly red (a tower's roof) or mostly blue (a card's header).
is_red() { read -r r g b < <(mean_rgb "$@") && ((r > g + 60 && r > b + 60)); }
is_blue() { read -r r g b < <(mean_rgb "$@") && ((b > r + 50 && b > g + 20)); }

count() { grep -c "$1" "$log"; }

# Points at a place, lets a frame see the pointer there (so the thing under it is hovered when the
# button goes up), then clicks.
click_at() {
  xdotool mousemove --window "$wid" "$1" "$2"
  sleep 1
  xdotool click 1
}

# Clicks at X Y every few seconds until the log has more than N lines matching TEXT; fails with WHAT
# after five minutes or when the game ends.
click_until() {
  local x=$1 y=$2 text=$3 n=$4 what=$5 start=$SECONDS
  until (($(count "$text") > n)); do
    (($(elapsed $start) < 300)) || fail "$what"
    kill -0 "$pid" 2>/dev/null || fail "the game ended: $what"
    click_at "$x" "$y"
    sleep 2
  done
}

# Where the menu's camera halts in front of the signs, and the first level's sign on the map.
start_sign=(230 385)
first_level_sign=(400 212)

# Menu -> START -> the level map -> the first level (Vezaz).
reach_first_level() {
  local start=$SECONDS
  click_until "${start_sign[@]}" "The level map is open" 0 "START never opened the level map"
  echo "START opened the level map after $(elapsed $start) s"
  start=$SECONDS
  # Once chosen, the map closes and the camera flies on; further clicks land on empty ground.
  click_until "${first_level_sign[@]}" "Starting gameloop of scene Vezaz" 0 "the level never started"
  echo "level started after $(elapsed $start) s"
}

# The intro flight has ended when a corner where no monster goes (trees and the tent beside Vezaz's
# core) has stayed the same for five seconds, longer than one frame of the sanitizer build.
wait_for_camera_rest() {
  local calm=(640 40 160 240) start=$SECONDS calm_since diff
  local crop=("${calm[2]}x${calm[3]}+${calm[0]}+${calm[1]}")
  take_shot
  /usr/bin/convert "$shot" -crop "${crop[0]}" +repage "$work/calm_before.png"
  calm_since=$SECONDS
  while (($(elapsed $calm_since) < 5)); do
    (($(elapsed $start) < 300)) || fail "the level's camera never came to rest"
    sleep 1
    take_shot
    /usr/bin/convert "$shot" -crop "${crop[0]}" +repage "$work/calm_now.png"
    diff=$(/usr/bin/compare -metric AE -fuzz 3% "$work/calm_before.png" "$work/calm_now.png" null: 2>&1)
    if [[ $diff != 0 ]]; then calm_since=$SECONDS; fi
    mv "$work/calm_now.png" "$work/calm_before.png"
  done
  echo "camera at rest after $(elapsed $start) s"
}

# Sends KEY (Escape unless given) every three seconds until the game ends, then checks it ended
# with status 0.
quit_with_key() {
  local key=${1:-Escape} start=$SECONDS status= wait
  for wait in $(seq 1 180); do
    ((wait % 3 == 1)) && xdotool key --window "$wid" "$key"
    if ! kill -0 "$pid" 2>/dev/null; then
      status=0
      wait "$pid" || status=$?
      break
    fi
    sleep 1
  done
  [[ -n $status ]] || fail "$key did not end the game"
  pid=
  echo "game ended after $(elapsed $start) s"
  [[ $status -eq 0 ]] || fail "exit status $status"
}

# The log of a game that ended well: no error lines, no sanitizer report, the window torn down.
check_clean_log() {
  if grep -E "\[(error|critical)\]" "$log"; then fail "error lines in the log"; fi
  if grep -qE "(Leak|Address|UndefinedBehavior)Sanitizer|runtime error:" "$log"; then
    fail "sanitizer report"
  fi
  grep -q "Window deconstruction: glfw terminated" "$log" || fail "the window was not torn down"
}
