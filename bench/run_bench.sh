#!/usr/bin/env bash
# Whole-program benchmarks: the mingw-w64 header set in one tqc-convert run against the
# time of reading the same files with cat (the floor), the peak memory of that run, and
# the in-process benchmark of one large header converted 100 times.
# Usage: bench/run_bench.sh   (builds a Release tree in build-bench/)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh build-essential cmake libbenchmark-dev libjemalloc-dev mingw-w64-x86-64-dev time
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTQC_BUILD_TESTS=OFF \
  -DTQC_BUILD_SHELL=OFF -DTQC_BENCH=ON >/dev/null
cmake --build build-bench -j"$(nproc)" --target tqc-convert convert_bench >/dev/null
inc=/usr/share/mingw-w64/include
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/out"
cp data/tqc.* "$work/home/"
files=("$inc"/*.h)
best() {  # best of 3 wall-clock seconds of a command
  local b=""
  for _ in 1 2 3; do
    local s e t
    s=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; e=$(date +%s.%N)
    t=$(awk -v a="$s" -v b="$e" 'BEGIN {print b - a}')
    if [ -z "$b" ] || awk -v t="$t" -v b="$b" 'BEGIN {exit !(t < b)}'; then b=$t; fi
  done
  echo "$b"
}
cat "${files[@]}" >/dev/null  # warm the page cache
floor=$(best sh -c 'cat "$@" | wc -l' sh "${files[@]}")
run=$(best build-bench/bin/tqc-convert --home "$work/home" --date 2026-01-01 --out-dir "$work/out" "${files[@]}")
/usr/bin/time -v build-bench/bin/tqc-convert --home "$work/home" --date 2026-01-01 \
  --out-dir "$work/out" "${files[@]}" 2>"$work/time.txt" >/dev/null || true
peak=$(grep 'Maximum resident set size' "$work/time.txt" | awk '{print $NF}')
echo "mingw-w64: ${#files[@]} headers"
echo "  cat floor:   ${floor} s"
echo "  tqc-convert: ${run} s  (ratio $(awk -v a="$run" -v b="$floor" 'BEGIN {printf "%.1f", a / b}')x)"
echo "  peak memory: $((peak / 1024)) MB"
# Both modes with --order, caches present (after a first run of each mode into its own home):
# the CPU time (user + system) of five runs of each, taken in turns, and the median of each;
# the compiler-ready mode is to stay within 1.3 times the default mode.
for mode in default compile-ready; do
  mkdir -p "$work/$mode/home" "$work/$mode/out"
  cp data/tqc.* "$work/$mode/home/"
done
order_run() {  # MODE: prints "user+sys peak_KB"
  local flag=()
  [ "$1" = default ] || flag=(--compile-ready)
  /usr/bin/time -f "%U %S %M" build-bench/bin/tqc-convert "${flag[@]}" --order \
    --home "$work/$1/home" --date 2026-01-01 --out-dir "$work/$1/out" "${files[@]}" \
    2>&1 >/dev/null | tail -1 | awk '{printf "%.2f %d\n", $1 + $2, $3}'
}
order_run default >/dev/null
order_run compile-ready >/dev/null
: >"$work/order.txt"
for _ in 1 2 3 4 5; do
  for mode in default compile-ready; do echo "$mode $(order_run "$mode")" >>"$work/order.txt"; done
done
median() { grep "^$1 " "$work/order.txt" | awk '{print $2}' | sort -n | sed -n 3p; }
peak() { grep "^$1 " "$work/order.txt" | awk '{print $3}' | sort -n | tail -1; }
d=$(median default)
c=$(median compile-ready)
echo "--order, caches present, CPU (user + system), median of five in turns:"
echo "  default:        ${d} s, peak $(( $(peak default) / 1024 )) MB"
echo "  compiler-ready: ${c} s, peak $(( $(peak compile-ready) / 1024 )) MB ($(awk -v a="$c" -v b="$d" 'BEGIN {printf "%.2f", a / b}')x the default)"
build-bench/bin/convert_bench --benchmark_counters_tabular=true
