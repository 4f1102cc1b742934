#!/usr/bin/env bash
# Installs what is missing, builds, and starts VELKO (the window on FLTK).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
build=${VELKO_BUILD_DIR:-build}
if [ -z "${DISPLAY:-}" ]; then
  echo "No display: here is velko-cli instead; the window needs an X display." >&2
  exec "$build/velko-cli" --help
fi
exec "$build/velko"
