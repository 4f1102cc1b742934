#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, only those that are missing,
# and the Japanese locale that Wine takes its code page (932) from.
set -euo pipefail
packages=(
  cmake g++ make libgtest-dev python3               # the core, velko-cli, their tests
  libfltk1.3-dev fonts-ipafont-gothic               # velko on FLTK
  xvfb xauth xdotool x11-utils imagemagick          # GUI tests and their screenshots
  g++-mingw-w64-x86-64-posix wine64 wine fonts-wine locales  # velko.exe under Wine
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  $sudo sed -i 's/^# *ja_JP.UTF-8/ja_JP.UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi
