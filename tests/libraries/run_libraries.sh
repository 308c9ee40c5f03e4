#!/usr/bin/env bash
# The library check: converts the main headers of ordinary C libraries (LIST: installed from
# their Debian -dev packages), with the headers of the package they include, base-first for
# Free Pascal on Linux (--target unix --compile-ready --dll SONAME), and compiles every unit
# with fpc. Prints per library the error lines, the units that compile and the main unit's
# first error; fails when fewer main units compile than MINIMUM records ("main N" lines).
# Then builds and runs the programs of programs/ against the units as converted.
# Usage: run_libraries.sh TQC_CONVERT DATA_DIR LIST MINIMUM
# TQC_LIBRARIES_KEEP=DIR keeps the units and logs in DIR. TQC_LIBRARIES_OPTIONS replaces the
# conversion options (to measure other options: "--call cdecl --compile-ready").
set -uo pipefail
convert=$1
data=$2
list=$3
minimum=$4
here=$(cd "$(dirname "$0")" && pwd)
read -r -a options <<<"${TQC_LIBRARIES_OPTIONS:---target unix --compile-ready}"

if ! command -v fpc >/dev/null; then
  echo "SKIPPED: Free Pascal (fpc-3.2.2) is not installed"
  exit 0
fi
if [ -n "${TQC_LIBRARIES_KEEP:-}" ]; then
  work=$TQC_LIBRARIES_KEEP
  rm -rf "$work"
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
work=$(cd "$work" && pwd)

# The package's header whose path ends in /NAME.
package_header() {
  grep -m1 -E "/$(printf '%s' "$2" | sed 's/[.[\*^$]/\\&/g')\$" "$1"
}

libs=0 mains=0 missing=0
printf '%-14s %6s %9s  %s\n' library errors units "first error of the main unit"
while read -r name package soname headers; do
  case "$name" in '' | '#'*) continue ;; esac
  dir="$work/$name"
  mkdir -p "$dir/home" "$dir/out" "$dir/ppu" "$dir/logs"
  cp "$data"/tqc.* "$dir/home/"
  if ! dpkg-query -L "$package" 2>/dev/null | grep -E '\.h$' >"$dir/files.txt"; then
    echo "$name: SKIPPED ($package is not installed)"
    missing=$((missing + 1))
    continue
  fi
  # The main headers, then what they include from the package, until nothing is added.
  : >"$dir/headers.txt"
  for h in $headers; do package_header "$dir/files.txt" "$h" >>"$dir/headers.txt"; done
  main=$(head -1 "$dir/headers.txt")
  n=0
  while [ "$(wc -l <"$dir/headers.txt")" -ne "$n" ]; do
    n=$(wc -l <"$dir/headers.txt")
    sed -nE 's/^[ \t]*#[ \t]*include[ \t]*[<"]([^>"]+)[>"].*/\1/p' $(cat "$dir/headers.txt") \
      | sort -u | while read -r inc; do package_header "$dir/files.txt" "$inc"; done \
      | cat "$dir/headers.txt" - | awk '!seen[$0]++' >"$dir/next.txt"
    mv "$dir/next.txt" "$dir/headers.txt"
  done
  mapfile -t files <"$dir/headers.txt"
  "$convert" "${options[@]}" --dll "$soname" --home "$dir/home" --date 2026-01-01 --order \
    --out-dir "$dir/out" "${files[@]}" >/dev/null 2>"$dir/convert.txt"
  # Base-first order, as the converter reported the units.
  sed -nE 's/^.* -> (.*)\.pas: [0-9]+ lines.*/\1/p' "$dir/convert.txt" >"$dir/order.txt"
  errors=$(sed -nE 's/^.* -> .*: [0-9]+ lines, ([0-9]+) errors?.*/\1/p' "$dir/convert.txt" \
    | awk '{ s += $1 } END { print s + 0 }')
  mainunit=$(grep -F "$(basename "$main") -> " "$dir/convert.txt" | head -1 \
    | sed -nE 's/^.* -> (.*)\.pas: .*/\1/p')
  ok=0 total=0
  while read -r u; do
    total=$((total + 1))
    if (cd "$dir/out" && fpc -Mdelphi -Cn -FU"$dir/ppu" -Fu"$dir/out" "$u.pas" \
      >"$dir/logs/$u.log" 2>&1); then
      ok=$((ok + 1))
    fi
  done <"$dir/order.txt"
  first=$(grep -m1 -E '(Error|Fatal): ' "$dir/logs/$mainunit.log" 2>/dev/null \
    | grep -v 'returned an error exitcode' | cut -c1-110)
  if [ -n "$mainunit" ] && grep -q '^Linking\|lines compiled' "$dir/logs/$mainunit.log" \
    && [ -z "$first" ]; then
    mains=$((mains + 1))
    first="-"
  fi
  libs=$((libs + 1))
  printf '%-14s %6d %4d of %2d  %s\n' "$name" "$errors" "$ok" "$total" "${first:-(not converted)}"
done <"$list"

# The programs, as a user writes them against the units as converted: built, linked against
# the shared library and run. Those named by "program NAME" lines of MINIMUM must run.
for source in "$here"/programs/*_demo.pas; do
  lib=$(basename "$source" _demo.pas)
  dir="$work/$lib"
  mkdir -p "$dir/program"
  cp "$source" "$dir/program/"
  if (cd "$dir/program" && fpc -Mdelphi -FU"$dir/program" -Fu"$dir/out" "$(basename "$source")" \
    >"$dir/program/build.log" 2>&1) && "$dir/program/${lib}_demo" >"$dir/program/run.log" 2>&1; then
    echo "program $lib: $(tail -1 "$dir/program/run.log")"
  else
    reason=$(grep -m1 -E '(Error|Fatal): ' "$dir/program/build.log" | cut -c1-100)
    echo "program $lib: FAILS: ${reason:-$(tail -1 "$dir/program/run.log" 2>/dev/null)}"
    if grep -qx "program $lib" "$minimum"; then failed_programs="${failed_programs:-} $lib"; fi
  fi
done

want=$(sed -nE 's/^main ([0-9]+).*/\1/p' "$minimum")
echo "main units compiling: $mains of $libs (recorded minimum ${want:-0})"
status=0
if [ "$missing" -gt 0 ]; then
  echo "FAILED: $missing libraries are not installed (tools/deps.sh installs them)"
  status=1
elif [ "$mains" -lt "${want:-0}" ]; then
  echo "FAILED: fewer main units compile than recorded"
  status=1
fi
if [ -n "${failed_programs:-}" ]; then
  echo "FAILED: programs that must run do not:${failed_programs}"
  status=1
fi
exit $status
