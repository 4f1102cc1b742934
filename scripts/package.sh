#!/usr/bin/env bash
# Installs what is missing, builds, and makes the packages in dist/:
# velko_VERSION_amd64.deb and velko-VERSION-win64.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh package
# A build of their own, without the tests.
export VELKO_BUILD_DIR=${VELKO_BUILD_DIR:-build-dist}
build=$VELKO_BUILD_DIR
scripts/build.sh -DVELKO_TESTS=OFF -DVELKO_WIN32=ON
mkdir -p dist
for config in "$build/CPackConfig.cmake" "$build/win32/CPackConfig.cmake"; do
  cpack --config "$config" -B dist
done
rm -rf dist/_CPack_Packages
ls -l dist
