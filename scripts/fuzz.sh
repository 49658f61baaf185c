#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UndefinedBehaviorSanitizer) in
# build/fuzz and runs each of them; fails when any target finds something.
#   scripts/fuzz.sh [--jobs N] [SECONDS]   every target for SECONDS (default 600), N at a time
#   scripts/fuzz.sh --smoke                CI's run: every target for 20 seconds
# Each target starts from its seeds (tests/fuzz/corpus/<name>) and the corpus it grew before
# (build/fuzz/corpus/<name>); what it finds goes to build/fuzz/findings/<name>/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=600
jobs=1
skip_setup=0
while [ $# -gt 0 ]; do
  case "$1" in
    --smoke) seconds=20 ;;
    --jobs) jobs=$2; shift ;;
    --no-setup) skip_setup=1 ;;
    *) seconds=$1 ;;
  esac
  shift
done

[ "$skip_setup" -eq 1 ] || bash scripts/setup.sh
build=build/fuzz
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_DIR=${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/zeb-launcher/ccache}
  export CCACHE_BASEDIR=$PWD
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DZEB_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" >/dev/null
cmake --build "$build" -j 2

# Scratch files of the targets on a memory file system where there is one.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

targets=()
for seeds in tests/fuzz/corpus/*/; do targets+=("$(basename "$seeds")"); done

run_target() {
  local name=$1 corpus=$build/corpus/$1 findings=$build/findings/$1
  mkdir -p "$corpus" "$findings"
  local options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -close_fd_mask=2
                 -print_final_stats=1 -artifact_prefix="$findings/")
  "$build/tests/fuzz/fuzz_$name" "${options[@]}" "$corpus" "tests/fuzz/corpus/$name" \
    >"$build/fuzz_$name.log" 2>&1
}

# One line per target from libFuzzer's closing statistics.
report() {
  local name=$1 status=$2 log=$build/fuzz_$1.log
  local execs cov files
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  files=$(find "$build/corpus/$name" -type f | wc -l)
  printf '%-20s %-8s %12s %8s %8s\n' "$name" "$status" "${execs:-?}" "${cov:-?}" "$files"
}

failed=0
declare -A pids
for name in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_target "$name" &
  pids[$name]=$!
done
printf '%-20s %-8s %12s %8s %8s\n' target result execs cov corpus
for name in "${targets[@]}"; do
  if wait "${pids[$name]}"; then
    report "$name" ok
  else
    report "$name" FINDING
    failed=1
    grep -E 'property broken|^SUMMARY|ERROR: ' "$build/fuzz_$name.log" | head -5 | sed 's/^/    /'
    echo "    input and log: $build/findings/$name/, $build/fuzz_$name.log"
  fi
done
exit "$failed"
