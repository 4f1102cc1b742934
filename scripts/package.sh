#!/usr/bin/env bash
# Installs what is missing, builds, and makes the packages in dist/:
# velko_VERSION_amd64.deb, velko-VERSION-win64.zip and velko-VERSION-win64.msi.
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
# The MSI holds what the zip holds.
version=$(sed -n 's/^project(velko VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
unpacked=$(mktemp -d) && trap 'rm -rf "$unpacked"' EXIT
unzip -q "dist/velko-$version-win64.zip" -d "$unpacked"
scripts/make_msi.sh "$unpacked/velko-$version-win64" "$version" "dist/velko-$version-win64.msi"
ls -l dist
