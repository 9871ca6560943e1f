#!/usr/bin/env bash
# A player's first minute: the menu's camera flies in and halts at the signs; clicking START
# lets it fly on into the level, which starts; R restarts the level; SIGTERM then ends the game
# cleanly.
set -uo pipefail
game=$(realpath "$1")
log=$(mktemp)
pid=
trap 'if [[ -n "$pid" ]]; then kill -9 "$pid" 2>/dev/null || true; fi; rm -f "$log"' EXIT

"$game" >"$log" 2>&1 &
pid=$!
wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Wardens of Hollowmere$' | head -n 1)
[[ -n "$wid" ]] || { echo "no window"; cat "$log"; exit 1; }

started=no
for attempt in $(seq 1 60); do
  if grep -q "Starting gameloop of scene Vezaz" "$log"; then started=yes; break; fi
  # The START sign, where the camera halts in front of the signs.
  xdotool mousemove --window "$wid" 230 385 click 1
  sleep 1
done
[[ $started == yes ]] || { echo "the level never started"; cat "$log"; exit 1; }

sleep 2
xdotool key --window "$wid" r
for attempt in $(seq 1 30); do
  [[ $(grep -c "Starting gameloop of scene Vezaz" "$log") -ge 2 ]] && break
  sleep 1
done
[[ $(grep -c "Starting gameloop of scene Vezaz" "$log") -ge 2 ]] || { echo "R did not restart the level"; cat "$log"; exit 1; }
sleep 1
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=
grep -vE "Linked|Reading" "$log" | tail -n 20
[[ $status -eq 0 ]] || { echo "exit status $status"; exit 1; }
if grep -E "\[(error|critical)\]" "$log"; then echo "error lines in the log"; exit 1; fi
grep -q "Window deconstruction: glfw terminated" "$log" || exit 1
echo "menu_to_level: ok"
