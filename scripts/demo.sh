#!/usr/bin/env bash
# The launcher's main job against the bundled update server, on this machine:
#   1. first install of the demo program from a 7z package (the 7-Zip tool is fetched too)
#   2. the next start finds everything current and downloads nothing
#   3. a second version is published; the next start asks the running program to close,
#      backs the old installation up, installs the new one and starts it
# Everything lives below demo/ in the repository; the server is stopped at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/setup.sh

build=${ZEB_DEMO_BUILD_DIR:-build/release}
cmake -S . -B "$build" -G Ninja -DZEB_SANITIZE=OFF >/dev/null
cmake --build "$build" --target zeb_launcher_exe zeb-update-server zeb-sample-app

demo=$root/demo
port=8443
prg_id=demo-app
short_nm=ZebSample
rm -rf "$demo"
mkdir -p "$demo/certs" "$demo/server/releases" "$demo/server/zeb-mh/Tools/7z" "$demo/ProgramData"

echo "== certificates: a local authority and a server certificate for 127.0.0.1"
certs=$demo/certs
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=zeb-demo-ca \
  -keyout "$certs/ca.key" -out "$certs/ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 \
  -keyout "$certs/server.key" -out "$certs/server.csr" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nsubjectAltName=IP:127.0.0.1,DNS:localhost\n' > "$certs/ext.cnf"
openssl x509 -req -in "$certs/server.csr" -CA "$certs/ca.pem" -CAkey "$certs/ca.key" \
  -CAcreateserial -days 2 -extfile "$certs/ext.cnf" -out "$certs/server.pem" 2>/dev/null

echo "== release folder: Debian's 7-Zip as the launcher's 7-Zip tool"
cp "$(command -v 7zz)" "$demo/server/zeb-mh/Tools/7z/7za.exe"

# The launcher release matches the built launcher, so it does not replace itself here.
launcher_version=$(sed -n 's/^project(ZEBLauncher VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

# publish VERSION: packs the sample program as this version and describes the release.
publish() {
  local version=$1 stage=$demo/stage/$1 package_dir=$demo/server/files/$short_nm/$1
  mkdir -p "$stage" "$package_dir"
  cp "$build/tools/zeb-sample-app" "$stage/$short_nm.exe"
  echo "$version" > "$stage/VERSION.txt"
  rm -f "$package_dir/$short_nm.7z"
  (cd "$stage" && 7zz a -bd -bso0 "$package_dir/$short_nm.7z" ./*)
  local size
  size=$(stat -c %s "$package_dir/$short_nm.7z")
  cat > "$demo/server/releases/$prg_id.json.tmp" <<JSON
{
  "UPDATE_PRG_INFO": {
    "INSTALL_GB": "ZIP",
    "SHORT_NM": "$short_nm",
    "UP_VERSION": "$version",
    "ROOT_DIR_CLI_INST": "%ProgramData%Vantrel/Apps/$short_nm/",
    "RUN_EXE_NAME": "$short_nm.exe",
    "CFG_FROM_SVR": "",
    "SVR_URL": "https://127.0.0.1:$port/",
    "ROOT_DIR_SVR": "files/$short_nm/",
    "FILES": [
      {"FILE_NM": "$short_nm.7z", "SUB_DIR_SVR": "$version/", "SUB_DIR_CLI": "",
       "FILE_VERSION": "$version", "FILE_SIZE": $size, "FILE_SIZE_7Z": $size, "TYPE_GB": "Z"}
    ]
  },
  "UPDATE_LAUNCHER_INFO": {
    "INSTALL_GB": "LAUNCHER",
    "SHORT_NM": "ZebLauncher",
    "UP_VERSION": "$launcher_version",
    "ROOT_DIR_CLI_INST": "",
    "RUN_EXE_NAME": "ZEB.Launcher.exe",
    "CFG_FROM_SVR": "",
    "SVR_URL": "https://127.0.0.1:$port/",
    "ROOT_DIR_SVR": "files/ZebLauncher/",
    "FILES": []
  }
}
JSON
  mv "$demo/server/releases/$prg_id.json.tmp" "$demo/server/releases/$prg_id.json"
  echo "   published $short_nm $version"
}

echo "== update server on https://127.0.0.1:$port/"
publish 1.0.0
server_log=$demo/server.log
"$build/tools/zeb-update-server" --port "$port" --cert "$certs/server.pem" --key "$certs/server.key" \
  --folder "$demo/server" > "$server_log" 2>&1 &
server_pid=$!
cleanup() {
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  pkill -f "$demo/ProgramData/Vantrel/Apps/" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do
  grep -q "listening on" "$server_log" 2>/dev/null && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$server_log"; echo "server did not start"; exit 1; }
  sleep 0.1
done
grep -q "listening on" "$server_log" || { cat "$server_log"; echo "server did not start"; exit 1; }

record=$demo/received_args.txt
log=$demo/ProgramData/Vantrel/logs/zeb.cpp.log
# The switch file turns the log's debug lines on, so the log tells the whole story.
mkdir -p "$(dirname "$log")"
touch "$(dirname "$log")/enable_log_dbg.txt"
app=$demo/ProgramData/Vantrel/Apps/$short_nm

# run_launcher TITLE [ENV=VALUE ...]: one start of the launcher as a caller would make it.
run_launcher() {
  local title=$1; shift
  echo
  echo "== $title"
  rm -f "$record"
  local before
  before=$(wc -l < "$server_log")
  env -u DISPLAY -u WAYLAND_DISPLAY ProgramData="$demo/ProgramData" SSL_CERT_FILE="$certs/ca.pem" \
    ZEB_SAMPLE_APP_SHORT_NM="$short_nm" ZEB_SAMPLE_APP_RECORD="$record" "$@" \
    "$build/ZEB.Launcher.exe" --CMD=run --COMP_ID=demo-company --COMP_PASS=demo-secret \
    --CUST_ID=user-1 --PRG_ID="$prg_id" --PRG_ARGS="mode=demo" </dev/null 2>>"$demo/launcher.stderr"
  for _ in $(seq 100); do [ -s "$record" ] && break; sleep 0.1; done
  echo "-- requests the server saw:"
  tail -n +"$((before + 1))" "$server_log" | sed 's/^/   /'
  echo "-- installed version: $(cat "$app/VERSION.txt" 2>/dev/null || echo none)"
  echo "-- what the program received:"
  sed 's/^/   /' "$record" 2>/dev/null || echo "   (the program was not started)"
}

run_launcher "first start: nothing installed yet" ZEB_SAMPLE_APP_EXIT_AT_ONCE=1
run_launcher "second start: everything current, the program keeps running"
running_pid=$(sed -n 's/^pid=//p' "$record")
publish 1.1.0
run_launcher "third start: version 1.1.0 published" ZEB_SAMPLE_APP_EXIT_AT_ONCE=1
# Ended means gone, or a zombie its new parent has not collected yet.
state=$(sed -n 's/^[^)]*) \(.\).*/\1/p' "/proc/$running_pid/stat" 2>/dev/null || true)
if [ -n "$running_pid" ] && { [ -z "$state" ] || [ "$state" = Z ]; }; then
  echo "-- the program of the second start (pid $running_pid) was asked to close and has ended"
fi

echo
echo "== the launcher's log ($log), without libcurl's own trace lines"
sed 's/\r$//' "$log" | awk '/^[0-9][0-9]-[0-9][0-9] /{ skip = /CurlTransferPolicy/ } !skip' 
echo
if grep -q "demo-secret" "$log"; then echo "the company pass reached the log"; exit 1; fi
echo "== done: the server is stopped; everything is below demo/"
echo "   (the launcher's debugger output, standard error here, is in demo/launcher.stderr)"
