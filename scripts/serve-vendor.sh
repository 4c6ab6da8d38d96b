#!/usr/bin/env bash
# Serves the vendor's site (server/) on 127.0.0.1:8017 with a real web server,
# .asp pages as HTML. Usage: scripts/serve-vendor.sh [PORT]
set -euo pipefail
root="$(cd "$(dirname "$0")/../server" && pwd)"
port=${1:-8017}
exec python3 - "$root" "$port" <<'PY'
import http.server, functools, sys
root, port = sys.argv[1], int(sys.argv[2])
class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".asp": "text/html; charset=utf-8", ".aspx": "text/html; charset=utf-8",
                      ".inf": "text/plain", ".png": "application/octet-stream"}
    def log_message(self, *args): pass
http.server.ThreadingHTTPServer(("127.0.0.1", port), functools.partial(Handler, directory=root)).serve_forever()
PY
