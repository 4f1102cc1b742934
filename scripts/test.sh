#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (the sanitizer build included).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
cd "${VELKO_BUILD_DIR:-build}"
ctest --no-tests=error --output-on-failure -j "$(nproc)"
