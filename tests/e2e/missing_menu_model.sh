#!/usr/bin/env bash
# Without the menu's model there is nothing to click: the game ends with a critical line naming
# the file and exit status 1, instead of showing an empty menu. Runs on a copy of the data
# folder (links to the files) with that one file removed.
set -uo pipefail
game=$(realpath "$1")
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
cp -rs "$PWD/GAME_DATA" "$data/GAME_DATA"
rm "$data/GAME_DATA/models/menu_main.fbx"
out=$(cd "$data" && timeout 60 "$game" 2>&1)
status=$?
echo "$out" | grep -vE "Linked|Reading" | tail -n 5
[[ $status -eq 1 ]] || { echo "exit status $status, expected 1"; exit 1; }
grep -q "\[critical\] .*GAME_DATA/models/menu_main.fbx" <<<"$out" || { echo "no critical line naming the file"; exit 1; }
echo "missing_menu_model: ok"
