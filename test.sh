#!/usr/bin/env bash
# Installs what is missing, builds and runs every test headless.
#   ./test.sh             the normal build, every test
#   ./test.sh --sanitize  the same with AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")"
dir=build; extra=()
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize; extra=(-DTROVALIS_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DTROVALIS_BENCH=OFF)
  # Leaks: Qt and WebEngine keep process-lifetime allocations. new_delete_type_mismatch:
  # Debian's WebEngine frees some of its own objects with a sized delete of another
  # size (inside the library, not our code); every other report stops the test.
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:new_delete_type_mismatch=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export QTEST_DISABLE_STACK_DUMP=1  # the sanitizer prints the stack; a debugger attach could hang
fi
scripts/deps.sh
scripts/build.sh "$dir" "${extra[@]}"
export QT_QPA_PLATFORM=offscreen
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
cd "$dir"
ctest --output-on-failure -j2 --timeout 600
