#!/usr/bin/env bash
# The main job: build vesk-chat and run a short scripted session against its
# embedded development server.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_BUILD_BENCH=OFF >/dev/null
cmake --build build -j "$(nproc)" --target vesk-chat
printf 'setup\nevent opened {"screen":"main"}\nprop name Ann\nprop --op add visits 1\nauth customer-1 %s\nwait 500\nquit\n' \
  "$(build/apps/vesk-chat/vesk-chat --json </dev/null | sed -n 's/.*"userAuthKey":"\([^"]*\)".*/\1/p')" |
  build/apps/vesk-chat/vesk-chat
