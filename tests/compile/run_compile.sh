#!/usr/bin/env bash
# The compile check: converts the mingw-w64 header set base-first with tqc-convert and
# compiles every unit with Free Pascal in Delphi mode against FPC's own Windows, ActiveX and
# Ole2 units. Prints the rate and the most frequent first errors, and fails when the rate
# of a mode falls below the figure recorded for it in RATES (lines "MODE PERCENT", MODE
# "default" or a tqc-convert option without its dashes).
# Usage: run_compile.sh TQC_CONVERT DATA_DIR RATES
# TQC_COMPILE_KEEP=DIR keeps the converted units and the compiler logs in DIR.
set -uo pipefail
convert=$1
data=$2
rates=$3
here=$(cd "$(dirname "$0")" && pwd)
headers=/usr/share/mingw-w64/include

if ! command -v fpc >/dev/null; then
  echo "SKIPPED: Free Pascal (fpc-3.2.2) is not installed"
  exit 0
fi
fpcsrc=/usr/share/fpcsrc/$(fpc -iV)
if [ ! -f "$fpcsrc/rtl/win64/windows.pp" ]; then
  echo "SKIPPED: Free Pascal's sources (fpc-source-$(fpc -iV)) are not installed"
  exit 0
fi
if [ ! -d "$headers" ]; then
  echo "SKIPPED: the mingw-w64 headers (mingw-w64-x86-64-dev) are not installed"
  exit 0
fi

if [ -n "${TQC_COMPILE_KEEP:-}" ]; then
  work=$TQC_COMPILE_KEEP
  rm -rf "$work"
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
work=$(cd "$work" && pwd)

if ! "$here/fpc_windows_units.sh" "$work/fpcwin"; then
  echo "FAILED: FPC's Windows units could not be built:"
  tail -5 "$work"/fpcwin/*.log
  exit 1
fi

# Generated units named like a unit FPC ships (windows.h, math.h, errors.h ...) would shadow
# FPC's: they stay out of the search path and are compiled from a folder of their own.
ver=$(fpc -iV)
target=$(fpc -iTP)-$(fpc -iTO)
{
  printf '%s\n' windows activex ole2
  find /usr/lib /usr/local/lib -maxdepth 6 -type d -path "*/fpc/$ver/units/$target" 2>/dev/null \
    | while read -r d; do find "$d" -name '*.ppu' -printf '%f\n'; done | sed 's/\.ppu$//'
} | tr 'A-Z' 'a-z' | sort -u >"$work/fpc-units.txt"

jobs=$(nproc 2>/dev/null || echo 2)
mapfile -d '' files < <(find "$headers" -maxdepth 1 -type f -name '*.h' -print0 | sort -z)
status=0

# Compiles the units of one mode; prints its figures; 1 when the rate is below MIN.
check_mode() {
  local mode=$1 min=$2 flag=() dir="$work/$1"
  [ "$mode" = default ] || flag=("--$mode")
  mkdir -p "$dir/home" "$dir/out" "$dir/links" "$dir/ppu" "$dir/logs" "$dir/cwd" "$dir/own"
  cp "$data"/tqc.* "$dir/home/"
  "$convert" "${flag[@]}" --home "$dir/home" --date 2026-01-01 --order --out-dir "$dir/out" \
    "${files[@]}" >/dev/null 2>"$dir/convert.txt"
  # Base-first order, as the converter reported the units.
  sed -nE 's/^.* -> (.*)\.pas: [0-9]+ lines.*/\1/p' "$dir/convert.txt" >"$dir/order.txt"
  local n
  n=$(wc -l <"$dir/order.txt")
  if [ "$n" -ne "${#files[@]}" ]; then
    echo "FAILED: $mode: $n of ${#files[@]} headers converted"
    grep -vE ' -> .*: [0-9]+ lines' "$dir/convert.txt" | head -10
    return 1
  fi
  # One make target per unit, after the generated units its uses line names (earlier in the
  # base-first order only, so that circular uses cannot make a cycle): each unit is compiled
  # once its own units are, and -j runs independent units side by side.
  awk -v dir="$dir" -v fpcunits="$work/fpc-units.txt" -v fpcwin="$work/fpcwin" '
    BEGIN {
      while ((getline u < fpcunits) > 0) shadow[u] = 1
      flags = "-Mdelphi -Cn -Fu" fpcwin " -Fu" dir "/links"
    }
    { unit[NR] = $0; pos[tolower($0)] = NR }
    END {
      printf "all:"; for (i = 1; i <= NR; i++) printf " %s/logs/%s.rc", dir, unit[i]; print ""
      for (i = 1; i <= NR; i++) {
        u = unit[i]; lu = tolower(u); deps = ""
        file = dir "/out/" u ".pas"
        while ((getline line < file) > 0) {
          if (line !~ /^uses /) continue
          sub(/^uses /, "", line); sub(/;.*$/, "", line); gsub(/[ \r]/, "", line)
          k = split(line, used, ",")
          for (j = 1; j <= k; j++) {
            d = tolower(used[j]); sub(/^&/, "", d)
            if ((d in pos) && pos[d] < i && !(d in shadow)) deps = deps " " dir "/logs/" unit[pos[d]] ".rc"
          }
          break
        }
        close(file)
        printf "%s/logs/%s.rc:%s\n", dir, u, deps
        if (lu in shadow)
          printf "\tmkdir -p %s/own/%s && cp %s %s/own/%s/ && cd %s/own/%s && fpc %s -FU. %s.pas >%s/logs/%s.log 2>&1; echo $$? >$@\n", dir, u, file, dir, u, dir, u, flags, u, dir, u
        else
          printf "\tcd %s/cwd && fpc %s -FU%s/ppu %s/links/%s.pas >%s/logs/%s.log 2>&1; echo $$? >$@\n", dir, flags, dir, dir, u, dir, u
      }
    }' "$dir/order.txt" >"$dir/Makefile"
  while read -r u; do
    grep -qxiF "$u" "$work/fpc-units.txt" || ln -s "$dir/out/$u.pas" "$dir/links/$u.pas"
  done <"$dir/order.txt"
  make -s -k -j"$jobs" -f "$dir/Makefile" all >/dev/null 2>&1
  local ok=0 u
  : >"$dir/first-errors.txt"
  while read -r u; do
    if [ "$(cat "$dir/logs/$u.rc" 2>/dev/null)" = 0 ]; then
      ok=$((ok + 1))
    else
      grep -m1 -E '(Error|Fatal): ' "$dir/logs/$u.log" | grep -v 'returned an error exitcode' \
        | sed -E 's/^[^ ]*\([0-9,]+\) //; s/^(Error|Fatal): //; s/"[^"]*"/"*"/g' \
        >>"$dir/first-errors.txt"
    fi
  done <"$dir/order.txt"
  local rate=$((ok * 1000 / n)) want
  want=$(awk -v m="$min" 'BEGIN { printf "%d", m * 10 + 0.5 }')
  printf '%s: %d of %d mingw-w64 units compile (%d.%d%%; recorded minimum %s%%)\n' \
    "$mode" "$ok" "$n" $((rate / 10)) $((rate % 10)) "$min"
  echo "  most frequent first errors of the other $((n - ok)):"
  sort "$dir/first-errors.txt" | uniq -c | sort -rn | head -10 | sed 's/^ */    /'
  if [ "$rate" -lt "$want" ]; then
    echo "FAILED: $mode: the rate fell below the recorded $min%"
    return 1
  fi
}

while read -r mode min; do
  case "$mode" in '' | '#'*) continue ;; esac
  check_mode "$mode" "$min" || status=1
done <"$rates"
exit $status
