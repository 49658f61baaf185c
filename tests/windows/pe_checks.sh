#!/usr/bin/env bash
# Checks the PE image of the shipping launcher (the i686 build): an i386 PE32 image for the
# GUI subsystem, an embedded manifest that asks for administrator rights and declares
# Windows Vista, 7, 8, 8.1 and 10, a version resource holding the project version as its
# file and product version, and imports from Windows' own DLLs only (the C++ runtime and
# the threads library linked in).
#   pe_checks.sh EXE VERSION      (VERSION: four dotted numbers)
set -uo pipefail
export LC_ALL=C

exe=$1
version=$2
objdump=i686-w64-mingw32-objdump
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

[ -f "$exe" ] || { echo "FAIL: $exe is missing (build build/win32 first)"; exit 1; }
headers=$("$objdump" -p "$exe") || { echo "FAIL: $objdump cannot read $exe"; exit 1; }

# ---- machine and subsystem
grep -q 'file format pei-i386' <<<"$headers" || fail "not an i386 image"
grep -Eq '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' <<<"$headers" || fail "not PE32 (magic 010b)"
grep -Eq '^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)' <<<"$headers" ||
  fail "subsystem is not Windows GUI"

# ---- manifest: the XML of the RT_MANIFEST resource, as it lies in the file
manifest=$(grep -aoz '<assembly.*</assembly>' "$exe" | tr -d '\0' | tr -s '\r\n\t ' ' ')
if [ -z "$manifest" ]; then
  fail "no embedded manifest"
else
  grep -Eq '<requestedExecutionLevel[^>]*level="requireAdministrator"' <<<"$manifest" ||
    fail "manifest does not require administrator rights"
  for os in 'e2011457-1546-43c5-a5fe-008deee3d3f0 Vista' '35138b9a-5d96-4fbd-8e2d-a2440225f93a 7' \
            '4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 8' '1f676c76-80e1-4239-95bb-83d0f6d0da78 8.1' \
            '8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a 10'; do
    grep -qi "<supportedOS Id=\"{${os% *}}\"" <<<"$manifest" ||
      fail "manifest does not declare Windows ${os#* }"
  done
fi

# ---- version resource: VS_FIXEDFILEINFO, found by its signature 0xFEEF04BD
offsets=$(grep -obUaP '\xBD\x04\xEF\xFE' "$exe" | cut -d: -f1)
if [ "$(wc -w <<<"$offsets")" -ne 1 ]; then
  fail "expected one VS_FIXEDFILEINFO, found $(wc -w <<<"$offsets")"
else
  # After the signature and the structure version: file MS, file LS, product MS, product LS,
  # each a 32-bit little-endian number of two 16-bit parts (high part first in the version).
  read -r -a words < <(od -An -tu2 --endian=little -j $((offsets + 8)) -N 16 "$exe")
  file_version="${words[1]}.${words[0]}.${words[3]}.${words[2]}"
  product_version="${words[5]}.${words[4]}.${words[7]}.${words[6]}"
  [ "$file_version" = "$version" ] || fail "FILEVERSION is $file_version, not $version"
  [ "$product_version" = "$version" ] || fail "PRODUCTVERSION is $product_version, not $version"
fi

# ---- imports: Windows system DLLs only
allowed=' kernel32.dll user32.dll advapi32.dll shell32.dll shlwapi.dll version.dll psapi.dll ws2_32.dll crypt32.dll bcrypt.dll msvcrt.dll '
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || fail "no import table found"
for dll in $imports; do
  [[ "$allowed" == *" $dll "* ]] || fail "imports $dll, which is no Windows system DLL of the allowlist"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures PE check(s) failed for $exe"
  exit 1
fi
echo "PE checks passed for $exe: i386 PE32, GUI, manifest, version $version, imports: $(tr '\n' ' ' <<<"$imports")"
