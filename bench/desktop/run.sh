#!/usr/bin/env bash
# Builds the desktop benchmark and runs it under Xvfb, the way CI runs the engine tests.
#
#   bench/desktop/run.sh [openings per side] [replies per side] [flood]   defaults 10, 100, 10000
#   build dir: $VESK_BENCH_BUILD (default build)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${VESK_BENCH_BUILD:-build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j2 --target vesk_desktop_bench >/dev/null
uptime
GTK_A11Y=none WEBKIT_A11Y_BUS_ADDRESS= xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
  "$build"/bench/desktop/vesk_desktop_bench "$@"
