#!/usr/bin/env bash
# Sets up, builds and runs every test: unit, GL and end-to-end tests in the release build (among
# them the Debian package of that build, installed and played: tests/e2e/installed_game.sh),
# then the unit and GL tests and the game's end-to-end play again under AddressSanitizer and
# UndefinedBehaviorSanitizer, with leak checks.
# GL tests need a display; without one the run happens inside Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh

# House rules and formatting first: they take a second and need no build.
bash tools/check_house_rules.sh
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
export ALSOFT_DRIVERS=null
# Warnings are errors here (not in everyday builds).
export HOLLOWMERE_WERROR=1
jobs=$(nproc)

bash tools/build.sh release -j "$jobs"
bash tools/build.sh sanitize -j "$jobs" --target unit_tests gl_tests hollowmere hollowmere-check

run_ctest() {
  ctest --test-dir "$1" --output-on-failure -j "$jobs" "${@:2}"
}

with_display() {
  if [[ -z "${DISPLAY:-}" ]]; then
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "$(declare -f run_ctest); jobs=$jobs; run_ctest $*"
  else
    run_ctest "$@"
  fi
}

with_display build/release

# A few seconds of every fuzz harness from its committed seeds; a finding fails the run.
bash tools/fuzz.sh all 5

# The golden plays run in the release build only: some twenty-six whole levels, many times slower
# under the sanitizers, which the simulator tests above already play through.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build/sanitize -L unit -E '^tools\.sim_golden$'
# Leak checks on the GL tests and on the game itself (menu, START, build, replay, quit). The
# sanitizer build keeps the GL driver loaded to the end (see RenderDevice.cpp), so what it still
# holds at exit is reachable and nothing needs suppressing.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 with_display build/sanitize -L gl -E e2e
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 with_display build/sanitize -R e2e.menu_to_level
