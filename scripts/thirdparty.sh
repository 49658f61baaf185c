#!/usr/bin/env bash
# Builds the Windows third-party parts for one MinGW target from Debian's own sources, or
# takes them from the per-user cache, and writes build/thirdparty/<arch>.cmake for CMake.
#   scripts/thirdparty.sh i686|x86_64
# Parts: libcurl (static, Schannel, HTTP/HTTPS/FTP), GoogleTest and GoogleMock, 7za.exe
# (x86_64 only: the tests run there) and a RapidJSON + fmt header folder.
# A part's folder is named by its Debian version and a hash of its options and toolchain;
# it is built in a temporary folder and renamed into place only when complete.
set -euo pipefail
shopt -s inherit_errexit

arch=${1:-}
case "$arch" in
  i686) deb_arch=i686 ;;
  x86_64) deb_arch=x86-64 ;;
  *) echo "usage: $0 i686|x86_64" >&2; exit 2 ;;
esac

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache_root=${ZEB_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/zeb-launcher}
cache=$cache_root/$arch
triple=$arch-w64-mingw32
cc=$triple-gcc-posix
cxx=$triple-g++-posix
toolchain=$repo/cmake/toolchain-mingw-$arch.cmake
jobs=2
# What a static program linking libcurl needs from Windows (SSPI is loaded at run time).
curl_libs="ws2_32;crypt32;bcrypt;advapi32"

for tool in "$cc" "$cxx" cmake ninja apt-get dpkg-source 7zz; do
  command -v "$tool" >/dev/null || { echo "thirdparty: $tool missing; run scripts/setup.sh" >&2; exit 1; }
done

mkdir -p "$cache"
# One run at a time (two compile jobs on this machine); the lock also makes the leftovers
# of interrupted runs safe to remove.
exec 9>"$cache_root/.lock"
flock 9
rm -rf "$cache_root"/*/.tmp-*

compiler_id=$("$cxx" --version | head -n1
  dpkg-query -W -f='${Package} ${Version}\n' "gcc-mingw-w64-$deb_arch-posix" \
    "g++-mingw-w64-$deb_arch-posix" "mingw-w64-$deb_arch-dev" "binutils-mingw-w64-$deb_arch")
cmake_id="$compiler_id $(sha256sum <"$toolchain")"

# Newest version of a source package, the one apt-get source fetches.
source_version() {
  local best="" v
  for v in $(apt-cache showsrc --only-source "$1" 2>/dev/null | awk '/^Version:/ { print $2 }'); do
    if [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
  done
  [ -n "$best" ] || { echo "thirdparty: no source package $1; run scripts/setup.sh (deb-src)" >&2; exit 1; }
  echo "$best"
}

installed_source_version() {
  dpkg-query -W -f='${source:Version}' "$1"
}

# Folder of a part: its name, its Debian version and a short hash of what else shapes it.
part_dir() {
  local name=$1 version=$2; shift 2
  local hash
  hash=$(printf '%s\n' "$@" | sha256sum | cut -c1-12)
  echo "$cache/$name-${version//:/_}-$hash"
}

# Unpacks a Debian source package, with Debian's patches, into the current folder and
# prints the unpacked folder.
fetch_source() {
  apt-get source -q --only-source "$1=$2" >&2
  find "$PWD" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -n1
}

# Runs the builder of a part unless its folder exists. The builder works in a scratch
# folder and installs for the final prefix below $DESTDIR; the staged result is renamed
# into place only when the builder succeeded.
part() {
  local name=$1 dir=$2 builder=$3
  if [ -d "$dir" ]; then
    echo "thirdparty $arch: $name cached ($dir)"
    return
  fi
  local work start status
  work=$(mktemp -d "$cache/.tmp-$name-XXXXXX")
  start=$SECONDS
  set +e
  (set -e; cd "$work"; export DESTDIR=$work/stage; "$builder" "$dir") >"$work/build.log" 2>&1
  status=$?
  set -e
  if [ "$status" -ne 0 ]; then
    mv "$work/build.log" "$cache/$name-failed.log"
    rm -rf "$work"
    tail -n 30 "$cache/$name-failed.log" >&2
    echo "thirdparty $arch: $name failed; log: $cache/$name-failed.log" >&2
    exit 1
  fi
  mv "$work/build.log" "$work/stage$dir/build.log"
  mv -T "$work/stage$dir" "$dir"
  rm -rf "$work" "$cache/$name-failed.log"
  echo "thirdparty $arch: $name built in $((SECONDS - start)) s ($dir)"
}

cmake_part() {
  local src=$1 prefix=$2; shift 2
  cmake -S "$src" -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@"
  cmake --build build -j "$jobs"
  cmake --install build
}

curl_options=(
  -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF
  -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none
  # File names handed to libcurl (CURLOPT_CAINFO) are UTF-8, not the ANSI code page.
  -DENABLE_UNICODE=ON
  # The oldest Windows the launcher supports (Vista), as in the project's own build.
  -DCURL_TARGET_WINDOWS_VERSION=0x0600
  -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_LIBIDN2=OFF -DCURL_USE_LIBPSL=OFF
  -DUSE_NGHTTP2=OFF -DCURL_USE_LIBSSH2=OFF -DENABLE_UNIX_SOCKETS=OFF
  -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON -DCURL_DISABLE_DICT=ON -DCURL_DISABLE_TELNET=ON
  -DCURL_DISABLE_TFTP=ON -DCURL_DISABLE_GOPHER=ON -DCURL_DISABLE_SMB=ON -DCURL_DISABLE_RTSP=ON
  -DCURL_DISABLE_MQTT=ON -DCURL_DISABLE_POP3=ON -DCURL_DISABLE_IMAP=ON -DCURL_DISABLE_SMTP=ON
  -DCURL_DISABLE_FILE=ON
)
build_curl() {
  local src
  src=$(fetch_source curl "$curl_version")
  cmake_part "$src" "$1" "${curl_options[@]}"
}

gtest_options=(-DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON)
build_gtest() {
  cmake_part /usr/src/googletest "$1" "${gtest_options[@]}"
}

sevenzip_options=(IS_MINGW=1 "CC=$cc" "CXX=$cxx" "RC=$triple-windres" "RM=rm -f" "MY_MKDIR=mkdir -p" O=out)
build_7za() {
  local src
  src=$(fetch_source 7zip "$sevenzip_version")
  make -C "$src/CPP/7zip/Bundles/Alone" -f makefile.gcc -j "$jobs" "${sevenzip_options[@]}"
  check_7za "$src/CPP/7zip/Bundles/Alone/out/7za.exe"
  mkdir -p "$DESTDIR$1/bin"
  cp "$src/CPP/7zip/Bundles/Alone/out/7za.exe" "$DESTDIR$1/bin/"
}

# The program must unpack what Debian's 7-Zip packs, under Wine, with no MinGW DLL beside it.
check_7za() {
  local exe=$1 wine
  wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
  mkdir -p check/in/sub
  printf 'zeb\n' >check/in/a.txt
  head -c 65536 /dev/urandom >check/in/sub/b.bin
  (cd check && 7zz a -bd -bso0 a.7z in)
  env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX="$PWD/check/prefix" WINEDEBUG=-all \
    "$wine" "$exe" x -y -bso0 -ocheck/out check/a.7z
  WINEPREFIX="$PWD/check/prefix" wineserver -k 2>/dev/null || true
  diff -r check/in check/out/in
}

build_headers() {
  mkdir -p "$DESTDIR$1/include"
  cp -a /usr/include/rapidjson /usr/include/fmt "$DESTDIR$1/include/"
}

curl_version=$(source_version curl)
curl_dir=$(part_dir curl "$curl_version" "${curl_options[@]}" "$cmake_id")
part curl "$curl_dir" build_curl

gtest_dir=$(part_dir gtest "$(installed_source_version googletest)" "${gtest_options[@]}" "$cmake_id")
part gtest "$gtest_dir" build_gtest

sevenzip_exe=""
if [ "$arch" = x86_64 ]; then
  sevenzip_version=$(source_version 7zip)
  sevenzip_dir=$(part_dir 7za "$sevenzip_version" "${sevenzip_options[@]}" "$compiler_id")
  part 7za "$sevenzip_dir" build_7za
  sevenzip_exe=$sevenzip_dir/bin/7za.exe
fi

headers_dir=$(part_dir headers \
  "rapidjson-$(installed_source_version rapidjson-dev)-fmt-$(installed_source_version libfmt-dev)")
part headers "$headers_dir" build_headers

out=$repo/build/thirdparty/$arch.cmake
mkdir -p "$(dirname "$out")"
cat >"$out.tmp" <<EOF
# Written by scripts/thirdparty.sh $arch. Use as: cmake -C $out ...
set(CMAKE_TOOLCHAIN_FILE "$toolchain" CACHE FILEPATH "MinGW-w64 toolchain")
set(ZEB_TP_ARCH "$arch" CACHE STRING "Windows target of the third-party parts" FORCE)
set(ZEB_TP_CURL_ROOT "$curl_dir" CACHE PATH "Static libcurl (Schannel); consumers define CURL_STATICLIB" FORCE)
set(ZEB_TP_CURL_LIBS "$curl_libs" CACHE STRING "Windows libraries a static libcurl needs" FORCE)
set(ZEB_TP_GTEST_ROOT "$gtest_dir" CACHE PATH "GoogleTest and GoogleMock (static)" FORCE)
set(ZEB_TP_HEADERS "$headers_dir/include" CACHE PATH "RapidJSON and fmt (FMT_HEADER_ONLY)" FORCE)
set(ZEB_TP_7ZA "$sevenzip_exe" CACHE FILEPATH "7-Zip console program for Windows, empty when not built" FORCE)
EOF
mv "$out.tmp" "$out"
