#!/usr/bin/env bash
# velko.exe worked by velko-wine-driver.exe under scripts/wine.sh, in a fresh prefix; its
# screenshots come out as PNG files. Then velko-cli.exe as a process.
#   wine_gui_test.sh VELKO_EXE DRIVER_EXE ARTEFACT_DIR VELKO_CLI_EXE VELKO_CLI
set -u
shopt -s nullglob
wine=$(dirname "$0")/../scripts/wine.sh velko=$(realpath "$1") artefacts=$3
tmp=$(mktemp -d /tmp/velko-wine.XXXXXX) && trap 'rm -rf "$tmp"' EXIT
export WINEPREFIX=${VELKO_WINEPREFIX:-$tmp/prefix}
win() { printf 'Z:%s' "${1//\//\\}"; }  # Wine maps / to drive Z:
mkdir -p "$tmp/work" "$tmp/shots" "$artefacts" && rm -f "$artefacts"/*.png
# Into a file, not a pipe, which velko.exe would hold open; the programs write Shift_JIS.
timeout 240 "$wine" "$2" "$(win "$velko")" "$(win "$tmp/work")" "$(win "$tmp/shots")" >"$tmp/log"
status=$?
iconv -c -f CP932 -t UTF-8 "$tmp/log"
for bmp in "$tmp"/shots/*.bmp; do convert "$bmp" "$artefacts/$(basename "${bmp%.bmp}").png"; done
# velko-cli.exe, in the same prefix, beside velko-cli on Linux.
bash "$(dirname "$0")/wine_cli_test.sh" "$wine" "$4" "$5" "$2" || status=1
exit $status
