#!/usr/bin/env bash
# The release command: installs what is needed, builds both Windows builds of Lullcast in Release
# and makes the installer into dist/, with its SHA-256 sum in dist/SHA256SUMS and the winget
# manifest in dist/winget. The same commit gives the same bytes on any machine, in any folder.
# With LULLCAST_SIGN_PKCS12 and LULLCAST_SIGN_PASSWORD_FILE naming a certificate, every program,
# library, the uninstaller and the installer are signed (see tools/make_installer.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
for arch in x86_64 i686; do
    cmake -G Ninja -S . -B build/release-$arch -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake \
          -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build/release-$arch -j2
done
rm -rf dist
bash tools/make_installer.sh build/release-x86_64 build/release-i686 dist
cat dist/SHA256SUMS
