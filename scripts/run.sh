#!/usr/bin/env bash
# Installs what building VELKO needs (not the test tools), builds velko and velko-cli, and
# starts the window, with FILE in its field when one is given: scripts/run.sh [FILE]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
scripts/build.sh -DVELKO_TESTS=OFF -DVELKO_WIN32=OFF
build=${VELKO_BUILD_DIR:-build}
if [ -z "${DISPLAY:-}" ]; then
  echo "No display: here is velko-cli instead; the window needs an X display." >&2
  exec "$build/velko-cli" --help
fi
exec "$build/velko" "$@"
