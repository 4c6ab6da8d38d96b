#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs each one in
# turn for a bounded time, seeded from the project's fixtures, the vendor's
# pages and ../shared/data. Corpora and findings go to fuzz/out/<target>/;
# every run appends a line to fuzz/out/runs.tsv.
#   fuzz/run.sh [seconds per target] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}; shift || true
root=$PWD
shared=$root/../shared/data
all=(fuzz_rtf fuzz_docx fuzz_textdecoding fuzz_resultpage fuzz_thesauruspage fuzz_ciku fuzz_compare fuzz_manifest fuzz_numberprefix fuzz_zip fuzz_signature)
targets=("${@:-${all[@]}}")
[ $# -gt 0 ] || targets=("${all[@]}")

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  echo "fuzz/run.sh needs clang and libFuzzer: apt-get install clang libclang-rt-14-dev" >&2
  exit 1
fi
if [ ! -f build-fuzz/build.ninja ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTROVALIS_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
flock /tmp/trovalis-build.lock cmake --build build-fuzz -j2 --target "${targets[@]}"

# Seed folders for one target: what exists of its kinds of files.
seed_dirs() {
  local target=$1 seeds=fuzz/out/$1/seeds
  rm -rf "$seeds"; mkdir -p "$seeds"
  [ -d "fuzz/seeds/$target" ] && cp fuzz/seeds/"$target"/* "$seeds"/
  [ -d "fuzz/regressions/$target" ] && cp fuzz/regressions/"$target"/* "$seeds"/
  local patterns=()
  case $target in
    fuzz_rtf)           patterns=("$shared/rtf/*.rtf") ;;
    fuzz_textdecoding)  patterns=("$shared/rtf/*.txt" "$shared/doc/*.txt") ;;
    fuzz_resultpage)    patterns=("$shared/serp/*.html" "server/trvs/tj.asp") ;;
    fuzz_thesauruspage) patterns=("server/trvs/ck.asp") ;;
    fuzz_manifest)      patterns=("server/trvs/*.inf") ;;
    fuzz_zip)           patterns=("$shared/zip/*.zip") ;;
    fuzz_signature)     patterns=("server/trvs/*.minisig" "scripts/*.pub") ;;
    fuzz_docx)          patterns=("$shared/docx/*.docx") ;;
  esac
  local p f
  for p in "${patterns[@]}"; do
    for f in $p; do
      # Large pages are cut: the fuzzer's inputs stay small and fast.
      [ -f "$f" ] && head -c 60000 "$f" > "$seeds/$(basename "$f")"
    done
  done
  echo "$seeds"
}

max_len() {
  case $1 in
    fuzz_resultpage|fuzz_rtf|fuzz_docx|fuzz_thesauruspage) echo 65536 ;;
    fuzz_ciku|fuzz_compare) echo 4096 ;;
    *) echo 16384 ;;
  esac
}

# The readers under test write scratch files: keep them in memory.
export TMPDIR=${TMPDIR:-/dev/shm}
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p fuzz/out
status=0
for target in "${targets[@]}"; do
  out=fuzz/out/$target
  mkdir -p "$out/corpus" "$out/findings"
  seeds=$(seed_dirs "$target")
  log=$out/last.log
  started=$(date +%s)
  set +e
  nice -n 19 build-fuzz/fuzz/"$target" "$out/corpus" "$seeds" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$(max_len "$target")" \
    -artifact_prefix="$out/findings/" -print_final_stats=1 >"$log" 2>&1
  rc=$?
  set -e
  elapsed=$(( $(date +%s) - started ))
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  # date, target, seconds run, inputs tried, exit status (0: no finding)
  printf '%s\t%s\t%s\t%s\t%s\n' "$(date -u +%FT%TZ)" "$target" "$elapsed" "${runs:-0}" "$rc" >> fuzz/out/runs.tsv
  echo "$target: ${elapsed}s, ${runs:-0} inputs, exit $rc"
  [ $rc -eq 0 ] || { status=1; tail -40 "$log"; }
done
exit $status
