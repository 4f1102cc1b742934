#!/usr/bin/env bash
# Installs what is missing, builds, and starts VELKO.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
exec "${VELKO_BUILD_DIR:-build}/velko-cli" --help
