#!/usr/bin/env bash
# Serves the vendor's site with an update waiting, so that an online update
# can be tried on one machine:
#   1. cmake --build build --target trovalis
#   2. mkdir -p /tmp/trovalis-demo && cp build/src/app/trovalis /tmp/trovalis-demo/
#   3. scripts/serve-update-demo.sh            (leave it running)
#   4. /tmp/trovalis-demo/trovalis              answer the questions with Yes
# The announced build 20170324 is the executable given as NEW_BUILD (default:
# this tree's build of trovalis), delivered as "Temp.png", together with an
# archive "demo.xls" that unpacks "更新说明.txt" into the program folder.
# Everything the client acts on is signed with the demo key in scripts/, which
# a build trusts unless TROVALIS_UPDATE_PUBLIC_KEY names another key.
# Usage: scripts/serve-update-demo.sh [NEW_BUILD] [PORT]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
new_build=${1:-$here/build/src/app/trovalis}
port=${2:-8017}
[ -f "$new_build" ] || { echo "no executable at $new_build: build trovalis first" >&2; exit 1; }
command -v minisign >/dev/null || { echo "minisign is missing: scripts/deps.sh installs it" >&2; exit 1; }
key="$here/scripts/demo-update-key.DO-NOT-USE.key"
root="$(mktemp -d)"
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$root"' EXIT
trap 'exit 0' INT TERM
cp -r "$here/server/." "$root/"
cp "$new_build" "$root/trvs/Temp.png"
python3 - "$root/trvs" <<'PY'
import sys, zipfile
trvs = sys.argv[1]
with open(f"{trvs}/UpdateInfor.inf", "wb") as f:
    f.write(b"20170324\r\n2\r\nTemp.png\r\ndemo.xls\r\n")
with open(f"{trvs}/Uplog.inf", "wb") as f:
    f.write("Trovalis 2017.3.24：演示更新，修正了若干问题。\r\n".encode("gbk"))
with zipfile.ZipFile(f"{trvs}/demo.xls", "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("更新说明.txt", "这是一次演示更新。\n".encode("utf-8"))
PY
# Each file S gets S.minisig beside it, as a vendor's release does.
(cd "$root/trvs" && minisign -S -s "$key" -m UpdateInfor.inf Temp.png demo.xls >/dev/null)
echo "update server: http://127.0.0.1:$port/trvs (Ctrl-C stops it)"
python3 - "$root" "$port" <<'PY' &
import http.server, functools, sys
root, port = sys.argv[1], int(sys.argv[2])
class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".asp": "text/html; charset=utf-8", ".aspx": "text/html; charset=utf-8",
                      ".inf": "text/plain", ".png": "application/octet-stream",
                      ".xls": "application/octet-stream"}
    def log_message(self, *args): pass
http.server.ThreadingHTTPServer(("127.0.0.1", port), functools.partial(Handler, directory=root)).serve_forever()
PY
server=$!
wait "$server"
