#!/usr/bin/env bash
# Fails, naming each file, when a C++ source file the repository tracks is not
# as clang-format-14 writes it with the project's .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format-14 || true)
if [ -z "$format" ]; then
  echo "clang-format-14 is missing (scripts/deps.sh installs it)" >&2
  exit 1
fi
bad=0
while IFS= read -r -d '' file; do
  [ -f "$file" ] || continue
  if ! "$format" --dry-run --Werror "$file" >/dev/null 2>&1; then
    echo "not formatted: $file (run: clang-format-14 -i $file)"
    bad=1
  fi
done < <(git ls-files -z -- '*.cpp' '*.h' 2>/dev/null || find src tests bench fuzz -name '*.cpp' -print0 -o -name '*.h' -print0)
exit $bad
