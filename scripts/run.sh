#!/usr/bin/env bash
# Installs what is missing, builds the program into build/ and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --target dxflist
exec build/dxflist
