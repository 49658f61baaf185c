#!/usr/bin/env bash
# The launcher's main job against the bundled update server, on this machine:
#   1. first install of the demo program from a 7z package (the 7-Zip tool is fetched too)
#   2. the next start finds everything current and downloads nothing
#   3. a second version is published; the next start asks the running program to close,
#      backs the old installation up, installs the new one and starts it
# Releases are made, signed and published with zeb-release; the demo's launcher is built
# with the demo publisher's public key (demo/keys/, kept between runs) and installs only
# what that key signed. Everything lives below demo/ in the repository; the server is
# stopped at the end.
#
#   scripts/demo.sh             the Linux build
#   scripts/demo.sh --windows   the Windows build (x86-64) under Wine, in a Wine prefix below
#                               demo/, with 7-Zip's Windows program as the 7-Zip tool
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
windows=0
if [ "${1:-}" = "--windows" ]; then windows=1; fi
bash scripts/setup.sh

demo=$root/demo
port=8443
prg_id=demo-app
short_nm=ZebSample

# The demo publisher's key pair, made once and kept, so that the builds embedding its
# public key are not configured anew on every run.
keys=$demo/keys
mkdir -p "$demo"
find "$demo" -mindepth 1 -maxdepth 1 ! -name keys -exec rm -rf {} +

# Builds of the demo's own (they hold the demo key, which the tests' builds must not).
build=${ZEB_DEMO_BUILD_DIR:-build/demo}
cmake -S . -B "$build" -G Ninja -DZEB_SANITIZE=OFF -DZEB_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target zeb-release
release_tool=$build/tools/zeb-release
if [ ! -f "$keys/demo.pem" ]; then
  mkdir -p "$keys"
  echo "== the demo publisher's key pair (key id $("$release_tool" keygen --private "$keys/demo.pem" \
    --public "$keys/demo.pub.json"))"
fi
cmake -S . -B "$build" -DZEB_RELEASE_PUBLIC_KEYS="$keys/demo.pub.json" >/dev/null
if [ "$windows" = 1 ]; then
  cmake --build "$build" --target zeb-update-server
  # Under Wine, TLS matches certificate names only for host names: the launcher's built-in
  # addresses name localhost.
  bash scripts/thirdparty.sh x86_64
  winbuild=${ZEB_DEMO_WINDOWS_BUILD_DIR:-build/win64-demo}
  cmake -S . -B "$winbuild" -G Ninja -C build/thirdparty/x86_64.cmake -DZEB_BUILD_TESTS=OFF \
    -DZEB_UPDATE_SERVER_URL="https://localhost:$port/comp/zeb/update/v1/" \
    -DZEB_OBJECT_STORAGE_URL="https://localhost:$port/zeb-mh/" \
    -DZEB_RELEASE_PUBLIC_KEYS="$keys/demo.pub.json" >/dev/null
  cmake --build "$winbuild" --target zeb_launcher_exe zeb-sample-app
  launcher_exe=$winbuild/ZEB.Launcher.exe
  sample_app=$winbuild/tools/zeb-sample-app.exe
  seven_zip=$(sed -n 's/^ZEB_TP_7ZA:FILEPATH=//p' "$winbuild/CMakeCache.txt")
else
  cmake --build "$build" --target zeb_launcher_exe zeb-update-server zeb-sample-app
  launcher_exe=$build/ZEB.Launcher.exe
  sample_app=$build/tools/zeb-sample-app
  seven_zip=$(command -v 7zz)
fi

mkdir -p "$demo/certs" "$demo/server"

# The server's host name in its addresses, where the program is installed, as the server
# names it, and the launcher's data folder.
if [ "$windows" = 1 ]; then
  host=localhost
  install_dir='%ProgramData%Vantrel\Apps\'"$short_nm"'\'
  prefix=$demo/wineprefix
  program_data=$prefix/drive_c/ProgramData
  export WINEPREFIX=$prefix WINEDEBUG=-all TMPDIR=$demo/tmp
  export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installers
  mkdir -p "$TMPDIR"
  # Windows programs with the ANSI code page of a Korean system.
  wine() { env LC_ALL=ko_KR.UTF-8 wine "$@"; }
else
  host=127.0.0.1
  install_dir="%ProgramData%Vantrel/Apps/$short_nm/"
  program_data=$demo/ProgramData
fi
mkdir -p "$program_data"

echo "== certificates: a local authority and a server certificate for 127.0.0.1 and localhost"
certs=$demo/certs
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=zeb-demo-ca \
  -keyout "$certs/ca.key" -out "$certs/ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 \
  -keyout "$certs/server.key" -out "$certs/server.csr" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nsubjectAltName=IP:127.0.0.1,DNS:localhost\n' > "$certs/ext.cnf"
openssl x509 -req -in "$certs/server.csr" -CA "$certs/ca.pem" -CAkey "$certs/ca.key" \
  -CAcreateserial -days 2 -extfile "$certs/ext.cnf" -out "$certs/server.pem" 2>/dev/null

# The launcher release matches the built launcher, so it does not replace itself here.
launcher_version=$(sed -n 's/^project(ZEBLauncher VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

# publish VERSION: the sample program as this version, packed with 7-Zip, signed with the
# demo key and published into the server's folder, with the 7-Zip tool beside it.
publish() {
  local version=$1 program=$demo/program/$1 stage=$demo/stage/$1
  mkdir -p "$program"
  cp "$sample_app" "$program/$short_nm.exe"
  echo "$version" > "$program/VERSION.txt"
  echo "   zeb-release pack: $short_nm $version"
  "$release_tool" pack --prg-id "$prg_id" --program-folder "$program" --short-name "$short_nm" \
    --version "$version" --install-folder "$install_dir" --run-exe "$short_nm.exe" \
    --server-url "https://$host:$port/" --launcher-version "$launcher_version" \
    --tool-7z "$seven_zip" --stage "$stage" | sed 's/^/     /'
  echo "   zeb-release sign:"
  "$release_tool" sign --key "$keys/demo.pem" --release "$stage/releases/$prg_id.json" | sed 's/^/     /'
  echo "   zeb-release publish:"
  "$release_tool" publish --stage "$stage" --folder "$demo/server" | sed 's/^/     /'
}

echo "== update server on https://$host:$port/"
if [ "$windows" = 1 ]; then
  echo "   the launcher's 7-Zip tool: 7-Zip's Windows program (built from Debian's source)"
else
  echo "   the launcher's 7-Zip tool: Debian's 7-Zip"
fi
publish 1.0.0
server_log=$demo/server.log
"$build/tools/zeb-update-server" --port "$port" --cert "$certs/server.pem" --key "$certs/server.key" \
  --folder "$demo/server" > "$server_log" 2>&1 &
server_pid=$!
cleanup() {
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  if [ "$windows" = 1 ]; then
    wineserver -k 2>/dev/null || true  # the prefix's programs
  else
    pkill -f "$program_data/Vantrel/Apps/" 2>/dev/null || true
  fi
}
trap cleanup EXIT
for _ in $(seq 100); do
  grep -q "listening on" "$server_log" 2>/dev/null && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$server_log"; echo "server did not start"; exit 1; }
  sleep 0.1
done
grep -q "listening on" "$server_log" || { cat "$server_log"; echo "server did not start"; exit 1; }

log=$program_data/Vantrel/logs/zeb.cpp.log
# The switch file turns the log's debug lines on, so the log tells the whole story.
mkdir -p "$(dirname "$log")"
touch "$(dirname "$log")/enable_log_dbg.txt"
app=$program_data/Vantrel/Apps/$short_nm
# What the program notes: its start, and an end asked for through its exit event.
if [ "$windows" = 1 ]; then
  echo
  echo "== a Wine prefix for the demo (Korean code page): $prefix"
  wine wineboot --init >/dev/null 2>&1
  mkdir -p "$prefix/drive_c/ZebDemo"
  cp "$launcher_exe" "$prefix/drive_c/ZebDemo/ZEB.Launcher.exe"
  # The caller's command line, as a shortcut or a batch file hands it to Windows.
  items='--CMD="run" --COMP_ID="demo-company" --COMP_PASS="demo-secret" --CUST_ID="user-1"'
  items+=" --PRG_ID=\"$prg_id\" --PRG_ARGS=\"mode=demo\""
  printf '@"C:\\ZebDemo\\ZEB.Launcher.exe" %s\r\n' "$items" > "$prefix/drive_c/ZebDemo/start.bat"
  record=$prefix/drive_c/ZebDemo/received_args.txt
  exit_record=$prefix/drive_c/ZebDemo/exit.txt
  record_name='C:\ZebDemo\received_args.txt'
  exit_record_name='C:\ZebDemo\exit.txt'
  ca_name="Z:$(printf '%s' "$certs/ca.pem" | tr / '\\')"
else
  record=$demo/received_args.txt
  exit_record=$demo/exit.txt
  record_name=$record
  exit_record_name=$exit_record
  ca_name=$certs/ca.pem
fi

# run_launcher TITLE [ENV=VALUE ...]: one start of the launcher as a caller would make it.
run_launcher() {
  local title=$1; shift
  echo
  echo "== $title"
  rm -f "$record"
  local before
  before=$(wc -l < "$server_log")
  if [ "$windows" = 1 ]; then
    env -u DISPLAY -u WAYLAND_DISPLAY SSL_CERT_FILE="$ca_name" ZEB_SAMPLE_APP_SHORT_NM="$short_nm" \
      ZEB_SAMPLE_APP_RECORD="$record_name" "$@" \
      wine cmd /c 'C:\ZebDemo\start.bat' </dev/null >>"$demo/launcher.stderr" 2>&1
  else
    env -u DISPLAY -u WAYLAND_DISPLAY ProgramData="$program_data" SSL_CERT_FILE="$ca_name" \
      ZEB_SAMPLE_APP_SHORT_NM="$short_nm" ZEB_SAMPLE_APP_RECORD="$record_name" "$@" \
      "$launcher_exe" --CMD=run --COMP_ID=demo-company --COMP_PASS=demo-secret \
      --CUST_ID=user-1 --PRG_ID="$prg_id" --PRG_ARGS="mode=demo" </dev/null 2>>"$demo/launcher.stderr"
  fi
  for _ in $(seq 100); do [ -s "$record" ] && break; sleep 0.1; done
  echo "-- requests the server saw:"
  tail -n +"$((before + 1))" "$server_log" | sed 's/^/   /'
  echo "-- installed version: $(cat "$app/VERSION.txt" 2>/dev/null || echo none)"
  echo "-- what the program received:"
  sed 's/^/   /' "$record" 2>/dev/null || echo "   (the program was not started)"
}

run_launcher "first start: nothing installed yet" ZEB_SAMPLE_APP_EXIT_AT_ONCE=1
run_launcher "second start: everything current, the program keeps running" \
  ZEB_SAMPLE_APP_EXIT_RECORD="$exit_record_name"
running_pid=$(sed -n 's/^pid=//p' "$record")
publish 1.1.0
run_launcher "third start: version 1.1.0 published" ZEB_SAMPLE_APP_EXIT_AT_ONCE=1
if grep -qx event "$exit_record" 2>/dev/null; then
  echo "-- the program of the second start (pid $running_pid) was asked to close through its"
  echo "   exit event and has ended"
fi

echo
echo "== the launcher's log ($log), without libcurl's own trace lines"
sed 's/\r$//' "$log" | awk '/^[0-9][0-9]-[0-9][0-9] /{ skip = /CurlTransferPolicy/ } !skip' 
echo
if grep -q "demo-secret" "$log"; then echo "the company pass reached the log"; exit 1; fi
echo "== done: the server is stopped; everything is below demo/"
if [ "$windows" = 1 ]; then
  echo "   (Wine's own messages are in demo/launcher.stderr)"
else
  echo "   (the launcher's debugger output, standard error here, is in demo/launcher.stderr)"
fi
