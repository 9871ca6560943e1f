#!/usr/bin/env bash
# Configures and builds one configuration: release (default), debug or sanitize.
# Usage: tools/build.sh [release|debug|sanitize|fuzz] [cmake --build arguments...]
# fuzz: clang with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer, harnesses only.
set -euo pipefail
cd "$(dirname "$0")/.."

config=${1:-release}
shift || true
case "$config" in
  release)  args=(-DCMAKE_BUILD_TYPE=Release) ;;
  debug)    args=(-DCMAKE_BUILD_TYPE=Debug) ;;
  sanitize) args=(-DCMAKE_BUILD_TYPE=Debug -DHOLLOWMERE_SANITIZE=ON -DHOLLOWMERE_BENCHMARKS=OFF) ;;
  fuzz)     args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
                  -DHOLLOWMERE_FUZZ=ON -DHOLLOWMERE_TESTS=OFF -DHOLLOWMERE_BENCHMARKS=OFF) ;;
  *) echo "unknown configuration: $config" >&2; exit 2 ;;
esac

# HOLLOWMERE_WERROR=1 (the CI run) makes warnings errors; the configuration follows the setting.
werror=OFF
if [[ ${HOLLOWMERE_WERROR:-0} == 1 ]]; then werror=ON; fi
args+=(-DHOLLOWMERE_WERROR=$werror)

dir=build/$config
if [[ ! -f $dir/build.ninja ]] || ! grep -qx "HOLLOWMERE_WERROR:BOOL=$werror" "$dir/CMakeCache.txt"; then
  cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null
fi
cmake --build "$dir" "$@"
