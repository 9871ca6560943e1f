#!/usr/bin/env bash
# Golden plays: every line of tests/tools/golden/LEVEL.txt is "ARGUMENTS => RESULT", the arguments
# given to hollowmere-sim for that level and the result line it printed when the file was written.
# A change of rules or data that alters an outcome shows here as a difference, to be accepted on
# purpose by rewriting the file (--update) in a commit that says why.
#
#   tests/tools/sim_golden.sh path/to/hollowmere-sim [--update]
set -uo pipefail
sim=$(realpath "$1")
update=${2:-}
cd "$(dirname "$0")/../.."

status=0
for golden in tests/tools/golden/*.txt; do
  level=$(basename "$golden" .txt)
  fresh=$(mktemp)
  while IFS= read -r line; do
    [[ -z $line || $line == \#* ]] && { echo "$line" >>"$fresh"; continue; }
    args=${line%% => *}
    # shellcheck disable=SC2086  # the arguments are words on purpose
    result=$("$sim" "$level" $args 2>/dev/null | tail -n 1)
    echo "$args => $result" >>"$fresh"
  done <"$golden"
  if [[ $update == --update ]]; then
    mv "$fresh" "$golden"
  elif ! diff -u "$golden" "$fresh"; then
    echo "$level: the plays above differ from $golden"
    status=1
    rm -f "$fresh"
  else
    echo "$level: $(grep -c ' => ' "$golden") plays as recorded"
    rm -f "$fresh"
  fi
done
exit $status
