#!/usr/bin/env bash
# The compile check: of the units prepare.sh compiled for Win64, how many Free Pascal accepts in
# each mode, and the most frequent first errors of the others. Fails when a mode's rate falls
# below the "compile" figure recorded for it in MINIMUMS.
# Usage: compile.sh WORK MINIMUMS
set -uo pipefail
work=$1
minimums=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
if [ -f "$work/skipped" ]; then
  cat "$work/skipped"
  exit 0
fi

status=0
for mode in $(judge_modes "$minimums"); do
  dir="$work/$mode"
  n=$(wc -l <"$dir/order.txt")
  ok=$(wc -l <"$dir/compiled.txt")
  min=$(judge_minimum "$minimums" compile "$mode")
  rate=$(awk -v a="$ok" -v n="$n" 'BEGIN { printf "%.1f", n ? 100 * a / n : 0 }')
  printf '%s: %d of %d mingw-w64 units compile for Win64 (%s%%; recorded minimum %s%%)\n' \
    "$mode" "$ok" "$n" "$rate" "${min:-none}"
  echo "  most frequent first errors of the other $((n - ok)):"
  # The first error of each unit that does not compile, its position and quoted names taken
  # out so that alike errors count together.
  grep -vxFf "$dir/compiled.txt" "$dir/order.txt" | sed "s|.*|$dir/logs/&.log|" \
    | xargs -r awk 'FNR == 1 { found = 0 }
        !found && /(Error|Fatal): / && !/returned an error exitcode/ {
          found = 1
          sub(/^[^ ]*\([0-9,]+\) /, ""); sub(/^(Error|Fatal): /, ""); gsub(/"[^"]*"/, "\"*\"")
          print
        }' >"$dir/first-errors.txt"
  sort "$dir/first-errors.txt" | uniq -c | sort -rn | head -10 | sed 's/^ */    /'
  if judge_below "$min" "$rate"; then
    echo "FAILED: $mode: the rate fell below the recorded $min%"
    status=1
  fi
done
exit $status
