#!/usr/bin/env bash
# Installs what is needed, builds Lullcast (32-bit, as it ships) and runs it under Wine with a
# demo window titled like a copy in progress; writes docs/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -G Ninja -S . -B build/run-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/run-i686 -j2 --target Lullcast LullcastHook lcdriver
exec python3 tools/run.py build/run-i686 "$@"
