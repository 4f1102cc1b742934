#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test (the sanitizer build, the
# packages and both windows included).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
scripts/build.sh -DVELKO_TESTS=ON -DVELKO_WIN32=ON
cd "${VELKO_BUILD_DIR:-build}"
ctest --no-tests=error --output-on-failure -j "$(nproc)"
