#!/usr/bin/env bash
# Runs the libFuzzer harnesses of fuzz/.
#   tools/fuzz.sh                          lists the harness names
#   tools/fuzz.sh NAME SECONDS [ARGS...]   builds fuzz_NAME (build/fuzz) and fuzzes it for SECONDS,
#                                          extra ARGS going to libFuzzer (e.g. -runs=1000000)
#   tools/fuzz.sh all SECONDS [ARGS...]    the same for every harness in turn, one line each; the
#                                          output of a run with a finding is printed in full
# The committed seeds in fuzz/corpus/NAME are read, never written: what the fuzzer finds on the
# way is kept in build/fuzz/corpus/NAME, a crashing input in build/fuzz/findings/NAME/. A finding
# (crash, sanitizer report, leak, timeout, out of memory) ends the run with a non-zero status.
set -euo pipefail
cd "$(dirname "$0")/.."

if (($# == 0)); then
  for harness in fuzz/*.cpp; do basename "$harness" .cpp; done
  exit 0
fi
if (($# < 2)) || [[ ! -f fuzz/$1.cpp && $1 != all ]] || ! [[ $2 =~ ^[0-9]+$ ]]; then
  echo "usage: tools/fuzz.sh [NAME|all SECONDS [libFuzzer arguments...]]; names: $(bash "$0" | tr '\n' ' ')" >&2
  exit 2
fi
name=$1 seconds=$2
shift 2

export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
build() {
  local output
  if ! output=$(bash tools/build.sh fuzz -j "$(nproc)" --target "$@" 2>&1); then
    echo "$output" >&2
    exit 1
  fi
}

if [[ $name == all ]]; then
  names=$(bash "$0")
  build $(printf 'fuzz_%s ' $names)
  for harness in $names; do
    log=build/fuzz/$harness.log
    if ! bash "$0" "$harness" "$seconds" "$@" >"$log" 2>&1; then
      cat "$log"
      echo "fuzz_$harness: a finding (the run's output is above)" >&2
      exit 1
    fi
    echo "fuzz_$harness: $(sed -n 's/^stat::number_of_executed_units: *//p' "$log") runs in $seconds s, no finding"
  done
  exit 0
fi

build "fuzz_$name"

work=build/fuzz/corpus/$name findings=build/fuzz/findings/$name
mkdir -p "$work" "$findings" "fuzz/corpus/$name"
# Symbolised reports need llvm-symbolizer; llvm-14 installs it under its own folder only.
if [[ -z ${ASAN_SYMBOLIZER_PATH:-} && -x /usr/lib/llvm-14/bin/llvm-symbolizer ]]; then
  export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/fuzz/leak_suppressions.txt:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Ten seconds on one input is a hang for every loader here; 2 GB is more than any file may cost.
"build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$findings/" "$@" "$work" "fuzz/corpus/$name"
