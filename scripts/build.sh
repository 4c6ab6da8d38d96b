#!/usr/bin/env bash
# Configures and builds incrementally. Usage: scripts/build.sh BUILD_DIR [cmake args...]
# Builds are serialised with a lock: the machine has two cores.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1; shift
exec 9>/tmp/trovalis-build.lock
flock 9
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja "$@"
fi
cmake --build "$dir" -j2
