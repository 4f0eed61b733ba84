#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a short while.
#   scripts/run-fuzz.sh [seconds-per-target]   (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVESK_BUILD_FUZZ=ON -DVESK_BUILD_TESTS=OFF -DVESK_BUILD_BENCH=OFF -DVESK_BUILD_TOOLS=OFF \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld >/dev/null
cmake --build build-fuzz -j "$(nproc)"
for target in build-fuzz/fuzz/*_fuzz; do
  name=$(basename "$target" _fuzz)
  corpus=$(mktemp -d)
  [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
  echo "fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 "$corpus" 2>&1 | tail -n 3
  rm -rf "$corpus"
done
