#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh             normal build in build/release
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer in build/sanitize
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

build=build/release
flags=(-DZEB_SANITIZE=OFF)
if [ "${1:-}" = "--sanitize" ]; then
  build=build/sanitize
  flags=(-DZEB_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build"
jobs=$(( $(nproc) * 3 ))
ctest --test-dir "$build" --output-on-failure -j "$jobs"

# Fuzz smoke (plain run only): every fuzz target for 20 seconds; any finding fails.
if [ "${1:-}" != "--sanitize" ]; then
  bash scripts/fuzz.sh --smoke --no-setup
fi
