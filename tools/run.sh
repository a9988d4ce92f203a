#!/usr/bin/env bash
# Installs what is needed, builds Lullcast (32-bit, as it ships) and runs it under Wine with a
# demo window titled like a copy in progress; writes the README's screenshots into docs/. On a machine that cannot
# run 32-bit programs it builds and runs the 64-bit program instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
arch=i686
if ! why=$(python3 tools/wine_desktop.py probe); then
    arch=x86_64
    echo "Running the 64-bit Lullcast: $why"
fi
cmake -G Ninja -S . -B build/run-$arch -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/run-$arch -j2 --target Lullcast LullcastHook lcdriver
exec python3 tools/run.py build/run-$arch "$@"
