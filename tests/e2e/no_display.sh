#!/usr/bin/env bash
# Without a display the window cannot open: one critical line and exit status 1, no crash.
set -uo pipefail
game=$(realpath "$1")
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$game" 2>&1)
status=$?
echo "$out"
[[ $status -eq 1 ]] || { echo "exit status $status, expected 1"; exit 1; }
grep -q "\[critical\] Critical failure while starting game loop: Error initializing GLFW-Framework" <<<"$out" || exit 1
echo "no_display: ok"
