#!/usr/bin/env bash
# The preparation the judge checks share (compile, coverage, abi): converts the top-level
# mingw-w64 headers base-first with tqc-convert in each mode of MINIMUMS, and compiles every
# unit once with Free Pascal for Win64 (the target the units are written for; compile only)
# against Free Pascal's own Win64 Windows, ActiveX and Ole2 units. The checks read what it
# leaves in WORK:
#   WORK/skipped                    why the checks cannot run (only when they cannot)
#   WORK/fpcwin64/                  Free Pascal's Win64 units (kept between runs)
#   WORK/MODE/out/NAME.pas          the units; WORK/MODE/order.txt their base-first order
#   WORK/MODE/logs/NAME.log, .rc    the compiler's messages and exit status per unit
#   WORK/MODE/ppu/                  the compiled units; WORK/MODE/own/NAME/ those named like
#                                   a unit Free Pascal ships
#   WORK/MODE/compiled.txt          the units that compile
#   WORK/c/                         the C compiler's side (x86_64-w64-mingw32-gcc), kept while
#                                   the headers and the compiler stay the same: pch/ <windows.h>
#                                   precompiled, aux/ the -aux-info lists, functions.txt the
#                                   functions each header declares (c_functions.pl),
#                                   exports.txt every DLL that exports each function; or
#   WORK/c-skipped                  why it is missing
#   WORK/times.txt                  wall time of each step
# Usage: prepare.sh TQC_CONVERT DATA_DIR MINIMUMS WORK
set -uo pipefail
convert=$1
data=$2
minimums=$3
work=$4
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

mkdir -p "$work"
work=$(cd "$work" && pwd)
rm -f "$work/skipped" "$work/times.txt"
skip() {
  echo "SKIPPED: $*" | tee "$work/skipped"
  exit 0
}
command -v ppcx64 >/dev/null || skip "Free Pascal (fpc-3.2.2) is not installed"
[ -f "/usr/share/fpcsrc/$(ppcx64 -iV)/rtl/win64/system.pp" ] \
  || skip "Free Pascal's sources (fpc-source-$(ppcx64 -iV)) are not installed"
[ -d "$headers" ] || skip "the mingw-w64 headers (mingw-w64-x86-64-dev) are not installed"

step_start
if ! "$here/fpc_win64_units.sh" "$work/fpcwin64"; then
  echo "FAILED: Free Pascal's Win64 units could not be built:"
  tail -5 "$work"/fpcwin64/*.log "$work"/fpcwin64/rtl/*.log
  exit 1
fi
step_end "Free Pascal's Win64 units"

# Generated units named like a unit of Free Pascal's (windows.h, math.h, strings.h ...) would
# hide it from every other unit: they stay out of the search path and are compiled from a
# folder of their own.
find "$work/fpcwin64" -name '*.ppu' -printf '%f\n' | sed 's/\.ppu$//' | tr 'A-Z' 'a-z' \
  | sort -u >"$work/fpc-units.txt"

mapfile -t modes < <(judge_modes "$minimums")
mapfile -d '' files < <(find "$headers" -maxdepth 1 -type f -name '*.h' -print0 | sort -z)

# Both modes convert side by side.
step_start
for mode in "${modes[@]}"; do
  dir="$work/$mode"
  rm -rf "$dir"
  mkdir -p "$dir/home" "$dir/out" "$dir/links" "$dir/ppu" "$dir/logs" "$dir/cwd" "$dir/own"
  cp "$data"/tqc.* "$dir/home/"
  flag=()
  [ "$mode" = default ] || flag=("--$mode")
  "$convert" "${flag[@]}" --home "$dir/home" --date 2026-01-01 --order --out-dir "$dir/out" \
    "${files[@]}" >/dev/null 2>"$dir/convert.txt" &
done
wait
status=0
for mode in "${modes[@]}"; do
  dir="$work/$mode"
  # Base-first order, as the converter reported the units.
  sed -nE 's/^.* -> (.*)\.pas: [0-9]+ lines.*/\1/p' "$dir/convert.txt" >"$dir/order.txt"
  n=$(wc -l <"$dir/order.txt")
  if [ "$n" -ne "${#files[@]}" ]; then
    echo "FAILED: $mode: $n of ${#files[@]} headers converted"
    grep -vE ' -> .*: [0-9]+ lines' "$dir/convert.txt" | head -10
    status=1
  fi
done
[ $status -eq 0 ] || exit 1
step_end "conversion (${#modes[@]} modes)"

# One make target per unit, after the generated units its uses line names (earlier in the
# base-first order only, so that circular uses cannot make a cycle): each unit is compiled once
# its own units are, and -j runs independent units of both modes side by side.
step_start
flags="-n -Twin64 -Px86_64 -Mdelphi -Fu$work/fpcwin64/rtl -Fu$work/fpcwin64"
rm -f "$work/Makefile.new"
for mode in "${modes[@]}"; do
  dir="$work/$mode"
  while read -r u; do
    grep -qxiF "$u" "$work/fpc-units.txt" || ln -s "$dir/out/$u.pas" "$dir/links/$u.pas"
  done <"$dir/order.txt"
  awk -v dir="$dir" -v fpcunits="$work/fpc-units.txt" -v flags="$flags -Fu$dir/links" '
    BEGIN { while ((getline u < fpcunits) > 0) shadow[u] = 1 }
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
          printf "\tmkdir -p %s/own/%s && cp %s %s/own/%s/ && cd %s/own/%s && ppcx64 %s -FU. %s.pas >%s/logs/%s.log 2>&1; echo $$? >$@\n", dir, u, file, dir, u, dir, u, flags, u, dir, u
        else
          printf "\tcd %s/cwd && ppcx64 %s -FU%s/ppu %s/links/%s.pas >%s/logs/%s.log 2>&1; echo $$? >$@\n", dir, flags, dir, dir, u, dir, u
      }
    }' "$dir/order.txt" >"$dir/Makefile"
  printf '%s:\n\t$(MAKE) -f %s/Makefile all\n' "$mode" "$dir" >>"$work/Makefile.new"
done
{
  echo "all: ${modes[*]}"
  cat "$work/Makefile.new"
} >"$work/Makefile"
rm -f "$work/Makefile.new"

# The C compiler's lists of functions join the same make run.
cdir="$work/c"
rm -f "$work/c-skipped"
if ! command -v x86_64-w64-mingw32-gcc >/dev/null; then
  echo "SKIPPED: the C compiler (gcc-mingw-w64-x86-64) is not installed" >"$work/c-skipped"
else
  cstamp="$(x86_64-w64-mingw32-gcc --version | head -1) $({
    find -L "$headers" -type f -printf '%P %s %T@\n'
    find /usr/x86_64-w64-mingw32/lib -maxdepth 1 -name 'lib*.a' -printf '%P %s %T@\n'
  } | sort | md5sum)"
  if [ ! -f "$cdir/functions.txt" ] || [ "$(cat "$cdir/stamp" 2>/dev/null)" != "$cstamp" ]; then
    rm -rf "$cdir"
    mkdir -p "$cdir/pch" "$cdir/aux"
    echo '#include <windows.h>' >"$cdir/pch/judge-pch.h"
    x86_64-w64-mingw32-gcc -x c-header "$cdir/pch/judge-pch.h" -o "$cdir/pch/judge-pch.h.gch"
    # Every DLL that exports each function, for the bindings (while make runs).
    # Its status goes to a file: a shell keeps the status of only so many ended children.
    (
      "$here/../../tools/gen-dll-exports.sh" --all >"$cdir/exports.txt" 2>"$cdir/exports.err"
      echo $? >"$cdir/exports.rc"
    ) &
    exports_pid=$!
    {
      printf 'all: c\nc:'
      for f in "${files[@]}"; do b=${f##*/}; printf ' %s/aux/%s.err' "$cdir" "${b%.h}"; done
      echo
      for f in "${files[@]}"; do
        b=${f##*/}
        printf '%s/aux/%s.err:\n\t%s/c_aux.sh %s/pch %s %s/aux\n' "$cdir" "${b%.h}" "$here" \
          "$cdir" "$b" "$cdir"
      done
    } >>"$work/Makefile"
  fi
fi

make -s -k -j"$jobs" -f "$work/Makefile" all >/dev/null 2>&1
if [ -n "${exports_pid:-}" ]; then
  wait "$exports_pid" 2>/dev/null || true
  read -r exports_rc <"$cdir/exports.rc" 2>/dev/null || exports_rc=1
fi
if [ -n "${exports_pid:-}" ] && [ "$exports_rc" != 0 ]; then
  echo "FAILED: the DLL exports could not be read from the import libraries:"
  cat "$cdir/exports.err"
  rm -rf "$cdir"
  exit 1
fi
for mode in "${modes[@]}"; do
  dir="$work/$mode"
  while read -r u; do
    rc=
    [ -f "$dir/logs/$u.rc" ] && read -r rc <"$dir/logs/$u.rc"
    [ "$rc" = 0 ] && echo "$u"
  done <"$dir/order.txt" >"$dir/compiled.txt"
done
if [ -d "$cdir/aux" ] && [ ! -f "$cdir/functions.txt" ]; then
  find "$cdir/aux" -name '*.aux' -print0 | sort -z | xargs -0 perl "$here/c_functions.pl" \
    >"$cdir/functions.txt" 2>"$cdir/functions-left-out.txt"
  echo "$cstamp" >"$cdir/stamp"
fi
step_end "compiling every unit for Win64 (${#modes[@]} modes) and listing the C functions"
cat "$work/times.txt"
