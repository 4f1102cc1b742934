#!/usr/bin/env bash
# Configures and builds into build/ (or $VELKO_BUILD_DIR); arguments go to the configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VELKO_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release "$@"
cmake --build "$build" -j "$(nproc)"
