#!/usr/bin/env bash
# Installs what is missing, builds everything into build/ and runs every test: the engine's
# unit tests, the real program under Xvfb, and the engine tests again built with ASan+UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --test

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DDXFLIST_WERROR=ON
cmake --build build
(cd build && ctest --output-on-failure --timeout 600 -j2)

# The sanitizer build: the engine and its tests only, any report fails the run.
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDXFLIST_WERROR=ON \
    -DDXFLIST_BUILD_UI=OFF -DDXFLIST_BUILD_BENCH=OFF \
    -DCMAKE_CXX_COMPILER=clang++ -DDXFLIST_SANITIZE=ON
cmake --build build/asan
(cd build/asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure --timeout 600 -j2)
echo "All tests passed."
