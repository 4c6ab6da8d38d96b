#!/usr/bin/env bash
# Installs Trovalis into a program folder of its own and adds it to the desktop.
#   scripts/install-desktop.sh [--no-build] [--build-dir BUILD] [DIR]
#       builds (unless --no-build), installs into DIR (default ~/.local/opt/trovalis) and adds
#       the menu entry, the icon and the AppStream metainfo to the user's data folder
#   scripts/install-desktop.sh --remove [DIR]
#       takes away what the installation added, and the files the program writes by itself
#
# The program keeps its files beside its executable and replaces itself when it updates,
# so DIR must be a folder the user owns. Every file and folder the installation creates is
# written to a record in DIR; --remove deletes exactly those (folders only when empty) and
# says what it kept.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
app_id=org.trovalis.Trovalis
record_name=.install-record

usage() {
  sed -n '3,7s/^# \{0,1\}//p' "$0" >&2
  exit 2
}

mode=install build=1 build_dir="$source_dir/build" dir=""
while (($#)); do
  case "$1" in
    --remove) mode=remove ;;
    --no-build) build=0 ;;
    --build-dir) (($# >= 2)) || usage; build_dir=$2; shift ;;
    --help|-h) usage ;;
    --) shift; break ;;
    -*) echo "install-desktop.sh: unknown option $1" >&2; usage ;;
    *) [ -z "$dir" ] || usage; dir=$1 ;;
  esac
  shift
done
if (($#)); then
  [ -z "$dir" ] && (($# == 1)) || usage
  dir=$1
fi
: "${HOME:?HOME is not set}"
dir=$(realpath -m -- "${dir:-$HOME/.local/opt/trovalis}")
data_home=$(realpath -m -- "${XDG_DATA_HOME:-$HOME/.local/share}")
record="$dir/$record_name"
case "$dir$data_home" in
  *$'\n'*) echo "install-desktop.sh: a folder name with a line break is not supported" >&2; exit 1 ;;
esac

# The files the program itself writes into its folder: the thesaurus, the update
# check's local copies, and what a download or a hand-over leaves.
program_files=(ciku.txt UpdateInfor.inf Uplog.inf up.inf Temp.png up up.png)

declare -a created=()  # record lines: "d PATH" (a folder made here) or "f PATH"

# Makes folder $1 and every missing parent, recording the ones it made.
make_dir() {
  local path=$1 missing=()
  while [ ! -d "$path" ]; do
    missing=("$path" "${missing[@]}")
    path=$(dirname -- "$path")
  done
  local m
  for m in "${missing[@]}"; do
    mkdir -- "$m"
    created+=("d $m")
  done
}

do_remove() {
  if [ ! -f "$record" ]; then
    echo "install-desktop.sh: $dir holds no installation made by this script (no $record_name)" >&2
    exit 1
  fi
  local name
  for name in "${program_files[@]}"; do
    if [ -f "$dir/$name" ] && [ ! -L "$dir/$name" ]; then
      rm -f -- "$dir/$name"
      echo "removed $dir/$name"
    fi
  done
  local lines=() line
  mapfile -t lines <"$record"
  for line in "${lines[@]}"; do
    if [ "${line:0:2}" = "f " ] && { [ -f "${line:2}" ] || [ -L "${line:2}" ]; }; then
      rm -f -- "${line:2}"
      echo "removed ${line:2}"
    fi
  done
  rm -f -- "$record"
  local i path
  for ((i = ${#lines[@]} - 1; i >= 0; i--)); do
    line=${lines[i]}
    path=${line:2}
    if [ "${line:0:2}" = "d " ] && [ -d "$path" ]; then
      rmdir -- "$path" 2>/dev/null && echo "removed $path/" || true
    fi
  done
  if [ -e "$dir" ]; then
    echo "kept $dir: it holds files the installation did not put there:"
    (cd "$dir" && find . -mindepth 1 ! -type d | sed 's|^\./|  |')
  fi
}

do_install() {
  if [ -e "$dir" ] && [ ! -d "$dir" ]; then
    echo "install-desktop.sh: $dir exists and is not a folder" >&2
    exit 1
  fi
  # A folder of the user's own (their home, say) must never become the program folder:
  # --remove would then have to tell the program's files from theirs.
  if [ -d "$dir" ] && [ ! -f "$record" ] && [ -n "$(ls -A -- "$dir")" ]; then
    echo "install-desktop.sh: $dir is not empty and holds no earlier installation; choose a new or empty folder" >&2
    exit 1
  fi
  if ((build)); then
    "$source_dir/scripts/deps.sh"
    "$source_dir/scripts/build.sh" "$build_dir"
  fi
  if [ ! -f "$build_dir/cmake_install.cmake" ]; then
    echo "install-desktop.sh: $build_dir is not a configured build folder" >&2
    exit 1
  fi
  local previous=()
  [ -f "$record" ] && mapfile -t previous <"$record"

  make_dir "$dir"
  local before
  before=$(cd "$dir" && find . -type d | sort)
  cmake --install "$build_dir" --prefix "$dir" >/dev/null
  local path
  while IFS= read -r path; do
    [ "$path" = . ] || created+=("d $dir/${path#./}")
  done < <(comm -13 <(printf '%s\n' "$before") <(cd "$dir" && find . -type d | sort))
  # The manifest's last line has no line break.
  while IFS= read -r path || [ -n "$path" ]; do
    created+=("f $path")
  done <"$build_dir/install_manifest.txt"

  local targets=(
    "$dir/share/applications/$app_id.desktop|$data_home/applications"
    "$dir/share/icons/hicolor/scalable/apps/$app_id.svg|$data_home/icons/hicolor/scalable/apps"
    "$dir/share/metainfo/$app_id.metainfo.xml|$data_home/metainfo"
  )
  local pair from to
  for pair in "${targets[@]}"; do
    from=${pair%%|*}
    to=${pair#*|}
    make_dir "$to"
    cp -- "$from" "$to/"
    created+=("f $to/$(basename -- "$from")")
  done
  # Desktops that keep an icon cache notice the new icon when the theme folder changes.
  touch -c -- "$data_home/icons/hicolor"

  # An earlier installation's record is kept, so that folders it made still go on --remove.
  printf '%s\n' "${previous[@]}" "${created[@]}" | awk 'NF && !seen[$0]++' >"$record.new"
  mv -- "$record.new" "$record"
  echo "Trovalis is installed in $dir"
  echo "menu entry: $data_home/applications/$app_id.desktop"
  echo "remove it with: $0 --remove '$dir'"
}

"do_$mode"
