#!/usr/bin/env bash
# Converts real third-party Windows header sets with tqc-convert and checks that nothing
# crashes, hangs or fails inside the converter, that the conditional directives of every
# unit pair up, and that every word of a header's code appears in its unit (translated, in a
# comment or in an error line; coverage.pl lists the intended exceptions). Every set is
# converted base-first (--order), in each mode (default and --compile-ready) twice: from an
# empty home and again over the caches that run left; both runs must give the same units and
# caches byte for byte. Prints the figures of each set.
# Usage: run_corpus.sh TQC_CONVERT DATA_DIR [once]
# With "once" (the sanitizer build, where a run takes ten times as long) each set is converted
# once, in the default mode, and the runs are not repeated.
set -uo pipefail
convert=$1
data=$2
once=${3:-}
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
# A home with the shipped tables and no include cache.
fresh_home() {
  rm -rf "$1"
  mkdir -p "$1"
  cp "$data"/tqc.* "$1/"
}
# Checksums of the units under $1 and of the caches of the home $2.
snapshot() {
  find "$1" -type f -name '*.pas' -print0 | sort -z | xargs -0 md5sum
  find "$2/inc" -type f -name '*.tqc' -print0 | sort -z | xargs -0 md5sum
}
status=0
for s in "${sets[@]}"; do
  name=${s%%:*}
  dir=${s#*:}
  mapfile -d '' files < <(find "$dir" -type f \( -name '*.h' -o -name '*.idl' \) -print0 | sort -z)
  # Each unit goes beside its input, in views of the set's folders: folders of links to
  # everything in the real folder, so that each input still finds its neighbours. Files of one
  # base name (x.h and x.idl, or two x.h in different folders) would share a unit or an include
  # cache: the second is taken from a second view and converted in a run of its own, so that
  # every file of the set gives its own unit.
  out="$work/views-$name"
  declare -A taken=()
  groups=0
  for f in "${files[@]}"; do
    d=${f%/*}
    b=${f##*/}
    k=0
    while [ -n "${taken[${b%.*}/$k]:-}" ]; do k=$((k + 1)); done
    taken[${b%.*}/$k]=1
    [ $k -lt $groups ] || groups=$((k + 1))
    rel=${d#"$dir"}
    view="$out/$k/_${rel//\//%}"
    if [ ! -d "$view" ]; then
      mkdir -p "$view"
      ln -s "$d"/* "$view"/
    fi
    printf '%s\0' "$view/$b" >>"$work/group-$name-$k"
  done
  unset taken
  inputs=()
  for ((k = 0; k < groups; k++)); do
    mapfile -d '' -O "${#inputs[@]}" inputs <"$work/group-$name-$k"
  done
  # Converts every group into the home $1 with the options that follow; the exit status is the
  # worst of the runs.
  convert_set() {
    local home=$1 rc=0 k group
    shift
    for ((k = 0; k < groups; k++)); do
      mapfile -d '' group <"$work/group-$name-$k"
      "$convert" "$@" --home "$home" --date 2026-01-01 --order "${group[@]}" >/dev/null || rc=$?
    done
    return $rc
  }
  fresh_home "$work/home"
  start=$(date +%s.%N)
  convert_set "$work/home" 2>"$work/err-$name.txt"
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
  # The same batch again, over the caches the first run left, gives the same files; so does
  # the compiler-ready mode, from an empty home and then over its own caches.
  modes=(default compile-ready)
  [ "$once" = once ] && modes=()
  for mode in "${modes[@]}"; do
    flags=()
    if [ "$mode" = compile-ready ]; then
      flags=(--compile-ready)
      fresh_home "$work/home"
      convert_set "$work/home" "${flags[@]}" 2>/dev/null
    fi
    snapshot "$out" "$work/home" >"$work/first-$name-$mode.txt"
    start=$(date +%s.%N)
    convert_set "$work/home" "${flags[@]}" 2>/dev/null
    end=$(date +%s.%N)
    snapshot "$out" "$work/home" >"$work/again-$name-$mode.txt"
    differ=$(diff "$work/first-$name-$mode.txt" "$work/again-$name-$mode.txt" | grep -c '^>')
    printf '%s: %s mode again over its caches: %d of %d files differ, %.2f s\n' "$name" "$mode" \
      "$differ" "$(wc -l <"$work/first-$name-$mode.txt")" \
      "$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')"
    if [ "$differ" -ne 0 ]; then
      echo "FAILED: $name: identical --order runs in $mode mode give different files"
      diff "$work/first-$name-$mode.txt" "$work/again-$name-$mode.txt" | grep '^>' | head -10
      status=1
    fi
  done
done
exit $status
