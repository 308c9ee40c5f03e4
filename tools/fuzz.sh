#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs each for the given number of seconds (default 60). Findings land in
# fuzz/findings/; copy a crashing input to tests/fixtures/fuzz/ to keep it as a test.
# Usage: tools/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh clang libclang-rt-dev cmake
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(tokenize_line_fuzz convert_header_fuzz include_cache_fuzz string_list_fuzz)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTQC_SANITIZE=ON \
  -DTQC_FUZZ=ON -DTQC_BUILD_TESTS=OFF -DTQC_BUILD_SHELL=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"
mkdir -p fuzz/findings
for t in "${targets[@]}"; do
  corpus=build-fuzz/corpus-$t
  mkdir -p "$corpus"
  # Seed with the test fixtures and examples.
  cp -n examples/*.h tests/fixtures/*.h "$corpus"/ 2>/dev/null || true
  cp -n fuzz/seeds/"$t"/* "$corpus"/ 2>/dev/null || true
  echo "== $t for ${seconds}s"
  build-fuzz/bin/$t -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix=fuzz/findings/"$t"- "$corpus"
done
