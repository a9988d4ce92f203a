#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (run as root). Safe to run again.
set -euo pipefail
packages=(cmake ninja-build g++ mingw-w64 wine wine64 xvfb xauth xdotool fonts-wine nsis
          imagemagick osslsigncode googletest libgtest-dev clang libclang-rt-14-dev python3 procps
          postgresql python3-psycopg2 python3-gevent gunicorn nginx-light wrk openssl ca-certificates
          libxml2-utils libxml2-dev iproute2 systemd python3-yaml)
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
# The 32-bit Wine, and the emulator that runs it where the kernel refuses 32-bit programs: Debian
# 12's qemu-user (7.2) crashes in 32-bit Wine programs of Lullcast's size, the one of
# bookworm-backports (10.0) runs them.
qemu_ok() {
  local v
  v=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null) && installed qemu-user &&
    dpkg --compare-versions "$v" ge 1:10
}
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
want_wine32=; installed wine32:i386 || want_wine32=1
want_qemu=; qemu_ok || want_qemu=1
[ ${#missing[@]} -eq 0 ] && [ -z "$want_wine32" ] && [ -z "$want_qemu" ] && exit 0
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -q i386 || dpkg --add-architecture i386
# A mirror being synced answers an index of the wrong size for a while: try again, then go on
# with the indexes that did arrive (the install fails by itself if a package is not in them).
for attempt in 1 2 3; do
  apt-get update -qq && break
  sleep $((attempt * 10))
done
# PostgreSQL and nginx are only run by the tests, privately: their packages start no system-wide
# server while they are installed here.
policy=/usr/sbin/policy-rc.d
own_policy=
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' > "$policy" && chmod 755 "$policy" && own_policy=1
fi
# Other apt sources for one command are given to apt in a folder of their own (Dir::Etc options),
# so that the machine's sources are never changed, not even for a moment.
sources=$(mktemp -d)
trap 'rm -rf "$sources"; [ -n "$own_policy" ] && rm -f "$policy"' EXIT
quiet_install() { apt-get install -y -qq --no-install-recommends "$@" >/dev/null; }
[ ${#missing[@]} -eq 0 ] || quiet_install "${missing[@]}"

# The machine's sources as they are, written into $sources/$1 with each line given to awk ($2)
# for the deb822 files and ($3) for the one-line ones.
copy_sources() {
  local into=$sources/$1 f
  mkdir -p "$into"
  [ ! -f /etc/apt/sources.list ] || awk "$3" /etc/apt/sources.list > "$into/sources.list"
  for f in /etc/apt/sources.list.d/*.sources; do [ ! -f "$f" ] || awk "$2" "$f" > "$into/${f##*/}"; done
  for f in /etc/apt/sources.list.d/*.list; do [ ! -f "$f" ] || awk "$3" "$f" > "$into/${f##*/}"; done
}
with_sources() {
  local parts=$sources/$1; shift
  apt-get -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$parts" "$@"
}

if [ -n "$want_wine32" ] && ! quiet_install --no-remove wine32:i386 2>/dev/null; then
  # The i386 packages must be of exactly the amd64 versions installed. While the mirror's security
  # index for i386 is stale, both come from the point release: its suite alone, and any amd64
  # library that the security suite made newer taken back to the point release's version.
  copy_sources no-security \
    '/^Suites:/ { s = ""; for (i = 2; i <= NF; i++) if ($i !~ /-security$/) s = s " " $i;
                  print (s == "" ? "Enabled: no" : "Suites:" s); if (s == "") print; next } { print }' \
    '/-security/ { next } { print }'
  # Packages that apt would remove for it are kept, at the version of their i386 twin.
  candidate() {
    apt-cache -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$sources/no-security" \
      show --no-all-versions "$1" 2>/dev/null | awk '$1 == "Version:" { print $2; exit }' || true
  }
  pinned=()
  for p in $(with_sources no-security -s install --no-install-recommends wine32:i386 2>/dev/null |
             awk '$1 == "Remv" { print $2 }'); do
    v=$(candidate "$p:i386"); [ -n "$v" ] || v=$(candidate "$p")
    pinned+=("$p${v:+=$v}")
  done
  if ! with_sources no-security install -y -qq --no-install-recommends --allow-downgrades \
         wine32:i386 "${pinned[@]}" >/dev/null; then
    echo "setup: wine32:i386 cannot be installed from this mirror now; the 32-bit Wine tests will be skipped" >&2
  fi
fi

if [ -n "$want_qemu" ]; then
  backports='Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg'
  mkdir -p "$sources/backports-only"
  echo "$backports" > "$sources/backports-only/backports.sources"
  copy_sources backports '{ print }' '{ print }'
  echo "$backports" > "$sources/backports/backports.sources"
  # Only the backports index is fetched (List-Cleanup=0 keeps the others as they are).
  if ! with_sources backports-only -qq -o APT::Get::List-Cleanup=0 update ||
     ! with_sources backports install -y -qq --no-install-recommends -t bookworm-backports qemu-user >/dev/null; then
    echo "setup: qemu-user 10 cannot be installed from bookworm-backports; 32-bit programs will not be emulated" >&2
  fi
fi
