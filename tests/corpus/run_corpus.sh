#!/usr/bin/env bash
# Converts real third-party Windows header sets with tqc-convert and checks that nothing
# crashes, hangs or fails inside the converter, that the conditional directives of every
# unit pair up, and that every word of a header's code appears in its unit (translated, in a
# comment or in an error line; coverage.pl lists the intended exceptions). Prints the
# figures of each set.
# Usage: run_corpus.sh TQC_CONVERT DATA_DIR
set -uo pipefail
convert=$1
data=$2
here=$(cd "$(dirname "$0")" && pwd)
sets=()
[ -d /usr/share/mingw-w64/include ] && sets+=("mingw-w64:/usr/share/mingw-w64/include")
[ -d /usr/include/wine/wine ] && sets+=("wine:/usr/include/wine/wine")
if [ ${#sets[@]} -eq 0 ]; then
  echo "SKIPPED: neither mingw-w64-x86-64-dev nor libwine-dev is installed"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home"
cp "$data"/tqc.* "$work/home/"
status=0
for s in "${sets[@]}"; do
  name=${s%%:*}
  dir=${s#*:}
  mapfile -d '' files < <(find "$dir" -type f \( -name '*.h' -o -name '*.idl' \) -print0 | sort -z)
  # Each unit goes beside its input, in views of the set's folders: folders of links to
  # everything in the real folder, so that each input still finds its neighbours. A header
  # whose folder already gave a unit of its name (x.h and x.idl) is taken from a second view,
  # so that every file of the set gives its own unit in one run.
  out="$work/views-$name"
  declare -A taken=()
  inputs=()
  for f in "${files[@]}"; do
    d=${f%/*}
    b=${f##*/}
    k=0
    while [ -n "${taken[$d/${b%.*}/$k]:-}" ]; do k=$((k + 1)); done
    taken[$d/${b%.*}/$k]=1
    rel=${d#"$dir"}
    view="$out/$k/_${rel//\//%}"
    if [ ! -d "$view" ]; then
      mkdir -p "$view"
      ln -s "$d"/* "$view"/
    fi
    inputs+=("$view/$b")
  done
  unset taken
  start=$(date +%s.%N)
  "$convert" --home "$work/home" --date 2026-01-01 "${inputs[@]}" \
    >/dev/null 2>"$work/err-$name.txt"
  rc=$?
  end=$(date +%s.%N)
  lines=$(grep -E ' -> .*: [0-9]+ lines' "$work/err-$name.txt" | sed -E 's/.*: ([0-9]+) lines.*/\1/' | awk '{s+=$1} END {print s+0}')
  errors=$(grep -E ' -> .*: [0-9]+ lines' "$work/err-$name.txt" | sed -E 's/.*, ([0-9]+) errors/\1/' | awk '{s+=$1} END {print s+0}')
  converted=$(grep -cE ' -> .*: [0-9]+ lines' "$work/err-$name.txt")
  apperr=$(grep -c ': application error' "$work/err-$name.txt")
  faults=$(grep -c 'application error (converter fault)' "$work/err-$name.txt")
  printf '%s: %d files, %d converted, %s unit lines, %s error lines, %d application errors (%d converter faults), %.2f s, exit %d\n' \
    "$name" "${#files[@]}" "$converted" "${lines:-0}" "${errors:-0}" "$apperr" "$faults" \
    "$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')" "$rc"
  if [ "$rc" -ne 0 ] || [ "$converted" -ne "${#files[@]}" ] || [ "$faults" -ne 0 ]; then
    echo "FAILED: $name"
    grep -vE ' -> .*: [0-9]+ lines' "$work/err-$name.txt" | head -20
    status=1
  fi
  mapfile -d '' units < <(find "$out" -type f -name '*.pas' -print0 | sort -z)
  awk -f "$here/balance.awk" "${units[@]}" >"$work/balance-$name.txt"
  tail -n 1 "$work/balance-$name.txt"
  if ! grep -qx 'unbalanced units: 0' "$work/balance-$name.txt"; then
    echo "FAILED: $name: conditional directives that do not pair up"
    head -n 20 "$work/balance-$name.txt"
    status=1
  fi
  perl "$here/coverage.pl" "$data" "" "${inputs[@]}" >"$work/coverage-$name.txt"
  tail -n 1 "$work/coverage-$name.txt"
  if ! grep -qx 'words missing from their units: 0' "$work/coverage-$name.txt"; then
    echo "FAILED: $name: words of headers that appear nowhere in their units"
    head -n 20 "$work/coverage-$name.txt"
    status=1
  fi
done
exit $status
