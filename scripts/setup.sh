#!/usr/bin/env bash
# Installs every Debian package the project needs, skipping those already present, and
# enables the source packages of the machine's own suites (the Windows third-party parts
# are built from them by scripts/thirdparty.sh).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config make ccache
  libcurl4-openssl-dev rapidjson-dev libfmt-dev
  libcpp-httplib-dev libssl-dev openssl
  libgtest-dev libgmock-dev googletest
  7zip vsftpd curl ca-certificates
  # Windows build: MinGW-w64 with the posix thread model, Wine to run it, wixl for MSI packages.
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine64 wixl
  # The Korean UTF-8 locale the Windows tests run Wine in (built by tests/windows/wine-prefix.sh).
  locales
  # GUI checks under a virtual display; Korean glyphs for message boxes.
  xvfb fonts-nanum xdotool x11-utils x11-apps
  # apt-get source and unpacking of source packages.
  dpkg-dev xz-utils
  clang libclang-rt-14-dev lld
)

src_file=/etc/apt/sources.list.d/zeb-deb-src.sources

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

# Prints deb-src stanzas (deb822) for the given suites, copying the URIs, components and
# signing key of the machine's own Debian entries (deb822 or one-line format).
deb_src_stanzas() {
  local wanted="$*"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    awk -v wanted="$wanted" '
      function flush(   n, s, i, keep) {
        if (types ~ /(^| )deb( |$)/ && tolower(enabled) != "no" && uris != "") {
          n = split(suites, s, " "); keep = ""
          for (i = 1; i <= n; i++) if ((" " wanted " ") ~ (" " s[i] " ")) keep = keep (keep ? " " : "") s[i]
          if (keep != "") {
            printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n", uris, keep, comps
            if (signed != "") printf "Signed-By: %s\n", signed
            print ""
          }
        }
        types = uris = suites = comps = signed = enabled = ""; field = ""
      }
      /^#/ { next }
      /^[ \t]*$/ { flush(); next }
      /^[ \t]/ { if (field == "signed-by") signed = signed "\n" $0; next }
      {
        field = tolower(substr($0, 1, index($0, ":") - 1))
        value = substr($0, index($0, ":") + 1); sub(/^[ \t]+/, "", value); sub(/[ \t]+$/, "", value)
        if (field == "types") types = value
        else if (field == "uris") uris = value
        else if (field == "suites") suites = value
        else if (field == "components") comps = value
        else if (field == "signed-by") signed = value
        else if (field == "enabled") enabled = value
      }
      END { flush() }' /etc/apt/sources.list.d/debian.sources
  fi
  if [ -f /etc/apt/sources.list ]; then
    awk -v wanted="$wanted" '
      $1 != "deb" { next }
      {
        signed = ""; i = 2
        if ($2 ~ /^\[/) {
          for (; i <= NF; i++) {
            if ($i ~ /^\[?signed-by=/) { signed = $i; sub(/^\[?signed-by=/, "", signed); sub(/\]$/, "", signed) }
            if ($i ~ /\]$/) { i++; break }
          }
        }
        uri = $i; suite = $(i + 1); comps = ""
        for (j = i + 2; j <= NF && $j !~ /^#/; j++) comps = comps (comps ? " " : "") $j
        if ((" " wanted " ") !~ (" " suite " ")) next
        printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n", uri, suite, comps
        if (signed != "") printf "Signed-By: %s\n", signed
        print ""
      }' /etc/apt/sources.list
  fi
}

# Suites whose deb-src entry a source file other than ours configures.
source_suites_configured_elsewhere() {
  local parts f
  parts=$(mktemp -d)
  for f in /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    if [ -e "$f" ] && [ "$f" != "$src_file" ]; then ln -s "$f" "$parts/"; fi
  done
  apt-get -o Dir::Etc::sourceparts="$parts" update --print-uris 2>/dev/null \
    | sed -n 's/.*_dists_\([^_]*\)_.*_source_Sources .*/\1/p' | sort -u
  rm -rf "$parts"
}

need_update=0

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
expected=$(deb_src_stanzas "$codename" "$codename-updates" "$codename-security" \
  | sed -n 's/^Suites: //p' | tr ' ' '\n' | sort -u)
if [ -z "$expected" ]; then
  echo "setup: warning: no Debian entry for $codename in the apt sources; source packages stay off" >&2
else
  downloaded=$(apt-get indextargets --format '$(RELEASE)' 'Created-By: Sources' | sort -u)
  if [ -n "$(comm -23 <(echo "$expected") <(echo "$downloaded"))" ]; then
    wanted=$(comm -23 <(echo "$expected") <(source_suites_configured_elsewhere))
    if [ -n "$wanted" ]; then
      stanzas=$(deb_src_stanzas $wanted)
      if [ "$(cat "$src_file" 2>/dev/null)" != "$stanzas" ]; then
        echo "setup: enabling source packages in $src_file"
        printf '%s\n' "$stanzas" | $SUDO tee "$src_file" >/dev/null
      fi
    elif [ -e "$src_file" ]; then
      # Another file configures them all now; ours would only duplicate it.
      $SUDO rm -f "$src_file"
    fi
    need_update=1
  fi
fi

installed=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${packages[@]}" 2>/dev/null \
  | awk '$1 == "ii" { print $2 }' || true)
missing=()
for p in "${packages[@]}"; do
  grep -qxF "$p" <<<"$installed" || missing+=("$p")
done

export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ] || [ "$need_update" -eq 1 ]; then
  $SUDO apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
