#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those still missing.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  clang-format-14                 # the source format, checked by every test run
  qt6-base-dev qt6-webengine-dev libgl-dev
  libminizip-dev zlib1g-dev libcpp-httplib-dev
  libopencc-dev libopencc-data    # traditional characters compared as simplified ones
  libsodium-dev minisign          # update signatures: checking them, and making them in tests and the demo
  antiword                        # .doc text
  poppler-utils                   # pdftotext: the report test reads the exported PDF back
  qt6-pdf-dev                     # PDF text (Qt PDF)
  libreoffice-writer-nogui        # .doc text antiword cannot read; reads our RTF in tests
  similarity-tester               # sim_text, the comparer benchmark's peer
  manpages-zh                     # Chinese prose for the comparer benchmark
  fortunes-zh                     # Chinese sayings and poems, the comparer benchmark's second text
  qt6-translations-l10n           # Qt's own buttons and dialogs in Chinese
  xvfb xauth imagemagick          # screenshots
  libqt6svg6                      # the windows' icon is an SVG
  desktop-file-utils appstream    # the menu entry's and the metainfo's validators, in tests
  fonts-wqy-microhei              # a CJK font, so the windows show Chinese text
  zip unzip curl python3          # archive fixtures, benchmarks' peers, the vendor's server
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
