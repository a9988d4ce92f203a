#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (run as root). Safe to run again.
set -euo pipefail
packages=(cmake ninja-build g++ mingw-w64 wine wine64 wine32:i386 xvfb xauth xdotool fonts-wine nsis
          imagemagick osslsigncode googletest libgtest-dev clang libclang-rt-14-dev python3 procps
          postgresql python3-psycopg2 gunicorn nginx-light wrk openssl ca-certificates
          libxml2-utils libxml2-dev iproute2 systemd python3-yaml)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
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
trap '[ -n "$own_policy" ] && rm -f "$policy"' EXIT
if ! apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
  # The 32-bit Wine needs i386 packages of exactly the versions installed for amd64; while the
  # mirror lacks them (an index that failed above), everything else is installed and the tests
  # run as on a machine without 32-bit programs, which skips the 32-bit build's Wine tests.
  rest=()
  for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
  [ ${#rest[@]} -lt ${#missing[@]} ] || exit 1
  echo "setup: wine32:i386 cannot be installed from this mirror now; the 32-bit Wine tests will be skipped" >&2
  [ ${#rest[@]} -eq 0 ] || apt-get install -y -qq --no-install-recommends "${rest[@]}" >/dev/null
fi
