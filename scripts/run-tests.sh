#!/usr/bin/env bash
# Installs dependencies, builds and runs the whole test suite.
#   scripts/run-tests.sh                     normal build in build/
#   scripts/run-tests.sh --sanitize address,undefined
#   scripts/run-tests.sh --sanitize thread
#                                            sanitizer build in build-<sanitizers>/
# Tests start their own development servers on 127.0.0.1 (ephemeral ports).
# The normal pass also runs the `engine` tests (WebKitGTK) under Xvfb; their
# screenshots land in build/engine-screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize=""
if [ "${1:-}" = "--sanitize" ]; then
  sanitize="${2:?--sanitize needs a list, e.g. address,undefined}"
fi

bash scripts/install-deps.sh

jobs=$(nproc)
# lld links the large test binaries several times faster than the default
# linker; line tables (-g1) are all a failure report needs.
build_flags=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld)
if [ -n "$sanitize" ]; then
  dir="build-${sanitize//,/-}"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVESK_SANITIZE="$sanitize" \
    -DVESK_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1 "${build_flags[@]}"
  cmake --build "$dir" -j "$jobs"
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
  # The installed-package check links a plain consumer; it runs in the normal build.
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" -LE package
else
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" "${build_flags[@]}"
  cmake --build build -j "$jobs"
  ctest --test-dir build --output-on-failure -j "$jobs" -LE engine
  # The real web engine, one test at a time, on a virtual display (the tests
  # skip without a display, so a build without them finds nothing to run).
  GTK_A11Y=none WEBKIT_A11Y_BUS_ADDRESS= xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
    ctest --test-dir build --output-on-failure -L engine
fi
