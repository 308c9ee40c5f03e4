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
build-bench/bin/convert_bench --benchmark_counters_tabular=true
