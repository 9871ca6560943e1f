#!/usr/bin/env bash
# Sets up, builds and starts the game from the repository root (where GAME_DATA is).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh release --target hollowmere
exec build/release/hollowmere
