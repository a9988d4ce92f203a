#!/usr/bin/env bash
# Installs what is needed, builds everything (native, Windows x64 and x86) and runs all tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
export CC=clang CXX=clang++
cmake -G Ninja -S . -B build -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2 --timeout 1200
