#!/usr/bin/env bash
# Checks that C++ sources follow the project's .clang-format.
#   scripts/check-format.sh          every tracked source
#   scripts/check-format.sh <base>   only the sources changed since commit <base>
# Prints each file that would change and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -gt 0 ]; then
  files=$(git diff --name-only --diff-filter=d "$1" -- '*.cpp' '*.hpp')
else
  files=$(git ls-files '*.cpp' '*.hpp')
fi
# Generated.
files=$(printf '%s\n' "$files" | grep -v 'emoji_table_data\.cpp$' || true)
[ -n "$files" ] || exit 0

bad=0
while IFS= read -r f; do
  if ! clang-format --dry-run -Werror "$f" >/dev/null 2>&1; then
    echo "not formatted: $f (clang-format -i $f)"
    bad=1
  fi
done <<< "$files"
exit $bad
