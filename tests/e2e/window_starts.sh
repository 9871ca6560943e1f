#!/usr/bin/env bash
# The real program, started with the game's data but without a settings file: it prints the
# settings line, opens an 800x800 window titled "Wardens of Hollowmere" and shuts down cleanly
# on SIGTERM (destroying its one general input handler, the frame-time key).
set -euo pipefail
game=$(realpath "$1")
data=$(realpath GAME_DATA)
work=$(mktemp -d)
pid=
trap 'if [[ -n "$pid" ]]; then kill -9 "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
mkdir "$work/GAME_DATA"
for entry in "$data"/*; do
  [[ $(basename "$entry") == settings.ini ]] || ln -s "$entry" "$work/GAME_DATA/"
done
cd "$work"

"$game" >out.log 2>&1 &
pid=$!

wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Wardens of Hollowmere$' | head -n 1)
geometry=$(xdotool getwindowgeometry "$wid")
echo "$geometry"
grep -q "Geometry: 800x800" <<<"$geometry" || { echo "wrong window size"; exit 1; }
sleep 0.5
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
cat out.log
[[ $status -eq 0 ]] || { echo "exit status $status"; exit 1; }
grep -qx "ERROR: Failed to load 'GAME_DATA/settings.ini'. Using default values instead." out.log
grep -q "Starting gameloop of scene Unnamed Scene" out.log
grep -q "Window deconstruction: glfw terminated, and 1 general input handlers destroyed" out.log
echo "window_starts: ok"
