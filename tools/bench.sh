#!/usr/bin/env bash
# Builds the release configuration and runs every benchmark (under Xvfb when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh release -j "$(nproc)"
run() { for b in build/release/bench/*Bench; do "$b" "$@"; done; }
if [[ -z "${DISPLAY:-}" ]]; then
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "$(declare -f run); run $*"
else
  run "$@"
fi
