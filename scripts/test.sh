#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh             the Windows programs (build/win32: the shipping i686 build,
#                               its PE image checked; build/win64: the x86-64 build with the
#                               tests, run under Wine), then the Linux build in build/release
#                               and its suite
#   scripts/test.sh --sanitize  the Linux suite under AddressSanitizer + UndefinedBehaviorSanitizer
#                               in build/sanitize (Windows is built and run by the plain run)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

sanitize=0
[ "${1:-}" = "--sanitize" ] && sanitize=1

jobs=$(nproc)
cmake_flags=()
# The compiler cache lives outside the clone, so a fresh clone on this machine reuses it.
if command -v ccache >/dev/null; then
  export CCACHE_DIR=${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/zeb-launcher/ccache}
  export CCACHE_BASEDIR=$PWD
  cmake_flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

failed=()

if [ "$sanitize" -eq 0 ]; then
  bash scripts/thirdparty.sh i686
  bash scripts/thirdparty.sh x86_64
  cmake -S . -B build/win32 -G Ninja -C build/thirdparty/i686.cmake -DZEB_BUILD_TESTS=OFF \
    "${cmake_flags[@]}" >/dev/null
  cmake --build build/win32 -j "$jobs"
  cmake -S . -B build/win64 -G Ninja -C build/thirdparty/x86_64.cmake -DZEB_BUILD_TESTS=ON \
    "${cmake_flags[@]}" >/dev/null
  cmake --build build/win64 -j "$jobs"
  # Each test program is one Wine process; four run at once.
  ctest --test-dir build/win64 --output-on-failure -j 4 || failed+=("Windows suite (build/win64)")
fi

build=build/release
flags=(-DZEB_SANITIZE=OFF
       # The Linux-built tests that inspect or run the Windows programs find them here.
       -DZEB_WINDOWS_BUILD_DIR="$PWD/build/win64" -DZEB_WINDOWS_I686_BUILD_DIR="$PWD/build/win32")
if [ "$sanitize" -eq 1 ]; then
  build=build/sanitize
  flags=(-DZEB_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

cmake -S . -B "$build" -G Ninja "${flags[@]}" "${cmake_flags[@]}" >/dev/null
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j $((jobs * 3)) || failed+=("Linux suite ($build)")

if [ ${#failed[@]} -gt 0 ]; then
  printf 'test: failed: %s\n' "${failed[@]}" >&2
  exit 1
fi
