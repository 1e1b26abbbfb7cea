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

# The fuzzer: seeded with the real drawings, about a minute; any crash, leak, sanitizer report
# or broken listing invariant fails the run and leaves the input in build/fuzz/artifacts/.
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDXFLIST_WERROR=ON \
    -DDXFLIST_BUILD_UI=OFF -DDXFLIST_BUILD_TESTS=OFF -DDXFLIST_BUILD_BENCH=OFF \
    -DCMAKE_CXX_COMPILER=clang++ -DDXFLIST_FUZZ=ON
cmake --build build/fuzz
(cd build/fuzz && ctest --output-on-failure --timeout 600)
rm -rf build/fuzz/corpus && mkdir -p build/fuzz/corpus build/fuzz/artifacts
build/fuzz/tests/fuzz/dxflist_fuzzer -max_total_time="${DXFLIST_FUZZ_SECONDS:-60}" \
    -max_len=16384 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -dict=tests/fuzz/dxf.dict -artifact_prefix=build/fuzz/artifacts/ \
    build/fuzz/corpus tests/corpus/public tests/corpus/odd tests/fuzz/crashers

echo "All tests passed."
