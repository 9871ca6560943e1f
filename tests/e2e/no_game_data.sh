#!/usr/bin/env bash
# Started where no game data is (an empty folder, nothing installed beside the program, and
# HOLLOWMERE_DATA naming a folder without data), the game says where it looked and ends with
# status 1 before opening a window, instead of failing later on the first file it cannot read.
set -uo pipefail
game=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
status=0
HOME=$work HOLLOWMERE_DATA=$work "$game" >out.log 2>&1 || status=$?
cat out.log
[[ $status -eq 1 ]] || { echo "exit status $status, not 1"; exit 1; }
grep -q "HOLLOWMERE_DATA=$work is neither a GAME_DATA folder nor a folder holding one; it is ignored." out.log ||
  { echo "no line about HOLLOWMERE_DATA"; exit 1; }
grep -q "No game data found: there is no GAME_DATA below the working directory $work" out.log ||
  { echo "no line saying where the data was looked for"; exit 1; }
grep -q "\[critical\] The game cannot start without its data." out.log || { echo "no critical line"; exit 1; }
[[ $(ls -A "$work") == out.log ]] || { echo "files were made: $(ls -A "$work")"; exit 1; }
echo "no_game_data: ok"
