#!/usr/bin/env bash
# hollowmere-check as a designer and the CI call it: its exit status (0 no error, 1 errors, 2 usage)
# and its lines in compiler form, on a copy of the shipped Vezaz level with a typo and a second road
# that its model lacks.
#
#   tests/tools/check_cli.sh path/to/hollowmere-check
set -uo pipefail
check=$(realpath "$1")
cd "$(dirname "$0")/../.."

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect STATUS COMMAND...: the command ends with STATUS; its output is in $out.
expect() {
  local want=$1
  shift
  out=$("$@" 2>"$scratch/stderr")
  local got=$?
  [[ $got == "$want" ]] || fail "'$*' ended with $got, not $want: $out $(cat "$scratch/stderr")"
}

expect 0 "$check"
[[ -z $out ]] || fail "the shipped data has findings: $out"
grep -q "0 errors" "$scratch/stderr" || fail "no summary on standard error: $(cat "$scratch/stderr")"

expect 2 "$check" --frobnicate
expect 2 "$check" GAME_DATA/levels
expect 0 "$check" --help

sed -e 's/^walking = 10$/walkng = 10/' -e 's/^floating = 0.7$/floating = 0.7, 2/' \
  GAME_DATA/levels/Vezaz.ini >"$scratch/Broken.ini"
typo=$(grep -n '^walkng' "$scratch/Broken.ini" | cut -d: -f1)
road=$(grep -n '^floating = 0.7, 2' "$scratch/Broken.ini" | cut -d: -f1)
expect 1 "$check" "$scratch/Broken.ini"
grep -qxF "$scratch/Broken.ini:$typo: error: unknown monster kind \"walkng\" (floating, walking, massive)" <<<"$out" ||
  fail "no line for the typo: $out"
grep -qxF "$scratch/Broken.ini:$road: error: road 2 is not in the model Vezaz.fbx (1 road)" <<<"$out" ||
  fail "no line for the road: $out"

expect 1 "$check" "$scratch/Missing.fbx"
grep -qxF "$scratch/Missing.fbx: error: the model file does not exist" <<<"$out" || fail "missing model: $out"

if ((failures)); then
  echo "$failures failures"
  exit 1
fi
echo "hollowmere-check: exit statuses and lines as documented"
