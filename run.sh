#!/usr/bin/env bash
# Installs what is missing, builds, serves the vendor's site locally and starts Trovalis.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh build
if ! curl -s -o /dev/null "http://127.0.0.1:8017/trvs/trvs.asp"; then
  scripts/serve-vendor.sh 8017 &
  server=$!
  trap 'kill $server 2>/dev/null' EXIT
  sleep 0.5
fi
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
build/src/app/trovalis
