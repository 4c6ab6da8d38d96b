#!/usr/bin/env bash
# Installs what is missing, builds and runs every test headless.
#   ./test.sh             the normal build, every test
#   ./test.sh --sanitize  the same with AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")"
dir=build; extra=()
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize; extra=(-DTROVALIS_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
scripts/deps.sh
scripts/build.sh "$dir" "${extra[@]}"
export QT_QPA_PLATFORM=offscreen
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
cd "$dir"
ctest --output-on-failure -j2 --timeout 600
