#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh             the Windows programs (build/win32: the shipping i686 build,
#                               its PE image checked; build/win64: the x86-64 build with the
#                               unit tests, run under Wine), then the Linux build in
#                               build/release and its suite, which also runs the Windows
#                               launcher end to end under Wine, then a short run of every
#                               fuzz target
#   scripts/test.sh --sanitize  the Linux suite under AddressSanitizer + UndefinedBehaviorSanitizer
#                               in build/sanitize (Windows is built and run by the plain run)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

sanitize=0
[ "${1:-}" = "--sanitize" ] && sanitize=1

# Two cores: two compile jobs. Tests mostly wait for child processes, servers and Wine, so
# four run at once.
build_jobs=2
test_jobs=4
cmake_flags=()
# The compiler cache lives outside the clone, so a fresh clone on this machine reuses it.
if command -v ccache >/dev/null; then
  export CCACHE_DIR=${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/zeb-launcher/ccache}
  export CCACHE_BASEDIR=$PWD
  cmake_flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

failed=()

# Both Windows builds name the server as localhost: under Wine, TLS matches certificate names
# only for host names.
windows_flags=(-DZEB_UPDATE_SERVER_URL=https://localhost:8443/comp/zeb/update/v1/
               -DZEB_OBJECT_STORAGE_URL=https://localhost:8443/zeb-mh/)

if [ "$sanitize" -eq 0 ]; then
  # The shipping i686 program, without tests.
  bash scripts/thirdparty.sh i686
  cmake -S . -B build/win32 -G Ninja -C build/thirdparty/i686.cmake -DZEB_BUILD_TESTS=OFF \
    "${windows_flags[@]}" "${cmake_flags[@]}" >/dev/null
  cmake --build build/win32 -j "$build_jobs"

  # The x86-64 build and its unit suite under Wine.
  bash scripts/thirdparty.sh x86_64
  cmake -S . -B build/win64 -G Ninja -C build/thirdparty/x86_64.cmake -DZEB_BUILD_TESTS=ON \
    "${windows_flags[@]}" "${cmake_flags[@]}" >/dev/null
  cmake --build build/win64 -j "$build_jobs"
  ctest --test-dir build/win64 --output-on-failure -j "$test_jobs" ||
    failed+=("Windows suite (build/win64)")
fi

# The Linux build and its suite; the plain run hands it the Windows builds for the PE checks
# and the end-to-end tests under Wine.
build=build/release
flags=(-DZEB_SANITIZE=OFF
       -DZEB_WINDOWS_BUILD_DIR="$PWD/build/win64" -DZEB_WINDOWS_I686_BUILD_DIR="$PWD/build/win32")
if [ "$sanitize" -eq 1 ]; then
  build=build/sanitize
  flags=(-DZEB_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
cmake -S . -B "$build" -G Ninja "${flags[@]}" "${cmake_flags[@]}" >/dev/null
cmake --build "$build" -j "$build_jobs"
ctest --test-dir "$build" --output-on-failure -j "$test_jobs" || failed+=("Linux suite ($build)")

# Fuzz smoke (plain run only): every fuzz target for 20 seconds, two at a time; any finding
# fails.
if [ "$sanitize" -eq 0 ]; then
  bash scripts/fuzz.sh --smoke --no-setup --jobs 2 || failed+=("fuzz smoke")
fi

if [ ${#failed[@]} -gt 0 ]; then
  printf 'test: failed: %s\n' "${failed[@]}" >&2
  exit 1
fi
