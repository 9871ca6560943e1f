#!/usr/bin/env bash
# Runs the libFuzzer harnesses of fuzz/.
#   tools/fuzz.sh                          lists the harness names
#   tools/fuzz.sh NAME SECONDS [ARGS...]   builds fuzz_NAME (build/fuzz) and fuzzes it for SECONDS,
#                                          extra ARGS going to libFuzzer (e.g. -runs=1000000)
# The committed seeds in fuzz/corpus/NAME are read, never written: what the fuzzer finds on the
# way is kept in build/fuzz/corpus/NAME, a crashing input in build/fuzz/findings/NAME/. A finding
# (crash, sanitizer report, leak, timeout, out of memory) ends the run with a non-zero status.
set -euo pipefail
cd "$(dirname "$0")/.."

if (($# == 0)); then
  for harness in fuzz/*.cpp; do basename "$harness" .cpp; done
  exit 0
fi
if (($# < 2)) || [[ ! -f fuzz/$1.cpp ]] || ! [[ $2 =~ ^[0-9]+$ ]]; then
  echo "usage: tools/fuzz.sh [NAME SECONDS [libFuzzer arguments...]]; names: $(bash "$0" | tr '\n' ' ')" >&2
  exit 2
fi
name=$1 seconds=$2
shift 2

export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
bash tools/build.sh fuzz --target "fuzz_$name" >/dev/null

work=build/fuzz/corpus/$name findings=build/fuzz/findings/$name
mkdir -p "$work" "$findings" "fuzz/corpus/$name"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# A second per input is a hang for every loader here; 2 GB is far more than a sound file may cost.
"build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$findings/" "$@" "$work" "fuzz/corpus/$name"
