#!/usr/bin/env bash
# A sample of damaged data (tools/damaged_data.sh runs every file): a settings file and the
# interface click cut in half leave a running menu with a line naming each file; a missing
# vertex shader ends the game with status 1 after a critical line naming the shader. Each run
# works on its own copy of the data folder.
set -uo pipefail
game=$(realpath "$1")
data=$(mktemp -d)
pid=
trap 'if [[ -n "$pid" ]]; then kill -9 "$pid" 2>/dev/null || true; fi; rm -rf "$data"' EXIT

fresh_copy() {
  rm -rf "$data/GAME_DATA"
  cp -r "$PWD/GAME_DATA" "$data/GAME_DATA"
}
cut_in_half() {
  local size
  size=$(stat -c %s "$1")
  truncate -s $((size / 2)) "$1"
}

fresh_copy
cut_in_half "$data/GAME_DATA/settings.ini"
cut_in_half "$data/GAME_DATA/sounds/UiClick_01.wav"
(cd "$data" && exec "$game" >"$data/log" 2>&1) &
pid=$!
for _ in $(seq 1 60); do
  grep -q "Starting gameloop of scene" "$data/log" && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.5
done
kill -TERM "$pid" 2>/dev/null
status=0
wait "$pid" || status=$?
pid=
grep -vE "Linked|Reading" "$data/log" | tail -n 8
[[ $status -eq 0 ]] || { echo "cut files: exit status $status, expected 0"; exit 1; }
grep -q "Settings GAME_DATA/settings.ini: no value for" "$data/log" || { echo "no line names the settings"; exit 1; }
grep -q "UiClick: the file is truncated: .* frames.*UiClick_01.wav" "$data/log" ||
  { echo "no line names the cut sound"; exit 1; }

fresh_copy
rm "$data/GAME_DATA/shaders/vertex/depth.vert"
status=0
(cd "$data" && timeout 60 "$game" >"$data/log" 2>&1) || status=$?
grep -vE "Linked|Reading" "$data/log" | tail -n 4
[[ $status -eq 1 ]] || { echo "missing shader: exit status $status, expected 1"; exit 1; }
grep -q "\[critical\] No shader was found with the name depth" "$data/log" ||
  { echo "no critical line names the shader"; exit 1; }
echo "damaged_data_sample: ok"
