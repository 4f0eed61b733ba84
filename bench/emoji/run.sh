#!/usr/bin/env bash
# Builds the emoji benchmark in Release, packs emojione 4.5.0 into a temporary directory
# for the JS comparison (nothing of it is kept), runs the benchmark several times and prints
# the median of each figure over the runs.
#
#   bench/emoji/run.sh [runs]        default 5 runs; build dir: $VESK_BENCH_BUILD (build-release)
#
# Without node or npm, or when the pack fails, the JS comparison is skipped with a line
# saying so and the C++ figures are still measured.
set -euo pipefail
cd "$(dirname "$0")/../.."

runs=${1:-5}
build=${VESK_BENCH_BUILD:-build-release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVESK_BUILD_BENCH=ON \
  -DVESK_BUILD_TESTS=OFF -DVESK_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build" -j2 --target vesk_emoji_bench >/dev/null

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
emojione=()
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "node or npm not found: emojione JS comparison skipped"
elif (cd "$tmp" && npm pack emojione@4.5.0 --silent >/dev/null 2>&1); then
  tar xzf "$tmp"/emojione-4.5.0.tgz -C "$tmp"
  emojione=(--emojione "$tmp/package")
else
  echo "npm pack emojione@4.5.0 failed: emojione JS comparison skipped"
fi

for i in $(seq "$runs"); do
  echo "== run $i of $runs"
  "$build"/bench/emoji/vesk_emoji_bench "${emojione[@]}" | tee "$tmp/run$i.txt"
done

echo "== medians over $runs runs"
cat "$tmp"/run*.txt | grep '^summary ' | tr ' ' '\n' | grep '=' | awk -F= '
  { values[$1] = values[$1] " " $2; if (!($1 in seen)) { seen[$1] = ++n; order[n] = $1 } }
  END {
    for (i = 1; i <= n; ++i) {
      k = order[i]; m = split(substr(values[k], 2), v, " ");
      for (a = 1; a <= m; ++a) for (b = a + 1; b <= m; ++b) if (v[b] + 0 < v[a] + 0) { t = v[a]; v[a] = v[b]; v[b] = t }
      printf "%-24s %s\n", k, v[int((m + 1) / 2)]
    }
  }'
