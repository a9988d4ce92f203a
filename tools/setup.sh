#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (run as root). Safe to run again.
set -euo pipefail
packages=(cmake ninja-build g++ mingw-w64 wine wine64 wine32:i386 xvfb xauth xdotool fonts-wine nsis
          imagemagick googletest libgtest-dev clang libclang-rt-14-dev python3 procps
          libxml2-utils libxml2-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -q i386 || dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
