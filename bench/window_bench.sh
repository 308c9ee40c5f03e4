#!/usr/bin/env bash
# The window with a large unit: the time from Open to the unit on screen, the time until the
# whole unit is in the pane and the longest pause of the window's event loop meanwhile, against
# tqc-convert's time for the same header. Runs are taken in turns, best of five each.
# Usage: bench/window_bench.sh [HEADER]   (default: mingw-w64's mshtml.h; builds a Release
# tree in build-bench-window/, the window offscreen)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh build-essential cmake qt6-base-dev libjemalloc-dev mingw-w64-x86-64-dev
header=${1:-/usr/share/mingw-w64/include/mshtml.h}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! { cmake -S . -B build-bench-window -DCMAKE_BUILD_TYPE=Release -DTQC_BUILD_TESTS=OFF &&
  cmake --build build-bench-window -j"$(nproc)" --target tqc-convert tqc-open-timing; } \
  >"$work/build.log" 2>&1; then
  cat "$work/build.log" >&2
  exit 1
fi
bin=build-bench-window/bin
cat "$header" >/dev/null  # warm the page cache
export QT_QPA_PLATFORM=offscreen
cli=() shown=() whole=() pause=()
for _ in 1 2 3 4 5; do
  s=$(date +%s.%N)
  "$bin/tqc-convert" --home "$bin" --date 2026-01-01 -o "$work/unit.pas" "$header" 2>/dev/null
  e=$(date +%s.%N)
  cli+=("$(awk -v a="$s" -v b="$e" 'BEGIN {printf "%.1f", (b - a) * 1000}')")
  line=$("$bin/tqc-open-timing" "$header" 2>/dev/null | tail -1)
  # "NAME: shown in A ms, N lines in B ms (longest pause C ms); ..."
  shown+=("$(sed -E 's/.*shown in ([0-9.]+) ms.*/\1/' <<<"$line")")
  whole+=("$(sed -E 's/.* lines in ([0-9.]+) ms.*/\1/' <<<"$line")")
  pause+=("$(sed -E 's/.*longest pause ([0-9.]+) ms.*/\1/' <<<"$line")")
done
min() { printf '%s\n' "$@" | sort -g | head -1; }
c=$(min "${cli[@]}") s=$(min "${shown[@]}") w=$(min "${whole[@]}") p=$(min "${pause[@]}")
echo "$(basename "$header"): $(wc -c <"$header") bytes, unit $(wc -c <"$work/unit.pas") bytes"
echo "  tqc-convert:        ${c} ms"
echo "  window, on screen:  ${s} ms  ($(awk -v a="$s" -v b="$c" 'BEGIN {printf "%.2f", a / b}')x)"
echo "  window, whole unit: ${w} ms, longest pause ${p} ms"
