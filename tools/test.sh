#!/usr/bin/env bash
# Sets up, builds and runs every test: unit, GL and end-to-end tests in the release build,
# then the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
# GL tests need a display; without one the run happens inside Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh

export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
export ALSOFT_DRIVERS=null
jobs=$(nproc)

bash tools/build.sh release -j "$jobs"
bash tools/build.sh sanitize -j "$jobs" --target unit_tests

run_ctest() {
  ctest --test-dir "$1" --output-on-failure -j "$jobs" "${@:2}"
}

if [[ -z "${DISPLAY:-}" ]]; then
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "$(declare -f run_ctest); jobs=$jobs; run_ctest build/release"
else
  run_ctest build/release
fi

ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build/sanitize -L unit
