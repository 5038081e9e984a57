#!/usr/bin/env bash
# Installs what is missing, builds Drovane and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target drovane
exec build/src/app/drovane
