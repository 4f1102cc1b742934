#!/usr/bin/env bash
# Installs the Debian 12 packages that are missing, for one of:
#   deps.sh run       building and running velko and velko-cli
#   deps.sh package   and making the .deb, the Windows zip and the MSI (scripts/package.sh)
#   deps.sh test      and every test (the default), with the Japanese locale that Wine takes
#                     its code page (932) from
set -euo pipefail
mode=${1:-test}
packages=(cmake g++ make gettext libfltk1.3-dev fonts-ipafont-gothic libacl1-dev libattr1-dev nettle-dev)
if [ "$mode" != run ]; then
  packages+=(dpkg-dev file g++-mingw-w64-x86-64-posix)     # CPack's .deb, velko.exe
  packages+=(wixl msitools unzip)                          # the MSI
fi
if [ "$mode" = test ]; then
  packages+=(
    libgtest-dev python3 clang                             # the core's and velko-cli's tests
    pkgconf                                                # the library built as others build
    acl attr                                               # access lists kept
    desktop-file-utils groff-base lintian icoutils         # the packages' tests
    zsh                                                    # the completions asked in zsh
    xvfb xauth xdotool x11-utils imagemagick               # GUI tests and their screenshots
    wine64 wine fonts-wine locales                         # velko.exe under Wine
  )
fi
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
if [ "$mode" = test ] && ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  $sudo sed -i 's/^# *ja_JP.UTF-8/ja_JP.UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi
