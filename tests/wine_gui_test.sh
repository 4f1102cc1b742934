#!/usr/bin/env bash
# velko.exe under Wine, in a virtual desktop on a virtual X server, worked through its window by
# velko-wine-driver.exe; the driver's screenshots come out as PNG files.
#
#   wine_gui_test.sh VELKO_EXE DRIVER_EXE ARTEFACT_DIR [TEST_EXE...]
#
# Further console test programs run after the driver in the same session, without arguments.
# Exit code: the driver's; 77 (skipped) when Wine, Xvfb or the ja_JP.UTF-8 locale is missing.
# VELKO_WINEPREFIX names a prefix to reuse (made on first use); otherwise a fresh one each run.
set -u

if [ $# -lt 3 ]; then
  echo "usage: $0 VELKO_EXE DRIVER_EXE ARTEFACT_DIR [TEST_EXE...]" >&2
  exit 2
fi
velko=$(realpath "$1")
driver=$(realpath "$2")
artefacts=$3
shift 3
extra=()
for f in "$@"; do extra+=("$(realpath "$f")"); done

skip() {
  echo "SKIP: $*"
  exit 77
}
for tool in wine wineserver xvfb-run xauth timeout; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool not found (apt-get install wine64 wine xvfb xauth)"
done
# Wine takes its ANSI code page from the locale; without a generated one it quietly uses 1252.
locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$' ||
  skip "locale ja_JP.UTF-8 not generated (locale-gen)"
for f in "$velko" "$driver" "${extra[@]}"; do
  [ -f "$f" ] || { echo "missing: $f" >&2; exit 1; }
done

tmp=$(mktemp -d /tmp/velko-wine.XXXXXX)
export WINEPREFIX=${VELKO_WINEPREFIX:-$tmp/prefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" LC_ALL=ja_JP.UTF-8
cleanup() {
  wineserver -k >/dev/null 2>&1
  rm -rf "$tmp"
}
trap cleanup EXIT

# Windows path of a Unix one: Wine maps / to drive Z:.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

start=$SECONDS
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot -i >"$tmp/wineboot.log" 2>&1 || { cat "$tmp/wineboot.log"; exit 1; }
fi
# A virtual desktop: without a window manager every dialog close would stall about 2 s. Set in
# the registry rather than with explorer /desktop=, which hides the program's exit code.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
wineserver -k
wineserver -w
# Caption buttons are drawn with this font; without it they show as letters.
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
echo "prefix ready in $((SECONDS - start)) s: $WINEPREFIX"

work=$tmp/work
shots=$tmp/shots
mkdir -p "$work" "$shots" "$artefacts"
rm -f "$artefacts"/*.png

# Wine is stopped while its X server still runs, or the desktop process complains on the way out.
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
  driver=$1 velko=$2 work=$3 shots=$4
  shift 4
  timeout 240 wine "$driver" "$velko" "$work" "$shots"
  status=$?
  for program in "$@"; do
    echo "== $(basename "$program")"
    timeout 60 wine "$program"
    s=$?
    [ $status -eq 0 ] && status=$s
  done
  wineserver -k >/dev/null 2>&1
  exit $status' driver "$driver" "$(winpath "$velko")" "$(winpath "$work")" "$(winpath "$shots")" \
  "${extra[@]}"
status=$?
[ $status -eq 124 ] && echo "FAIL: the driver did not end within 240 s"

for bmp in "$shots"/*.bmp; do
  [ -f "$bmp" ] || continue
  png=$artefacts/$(basename "${bmp%.bmp}").png
  convert "$bmp" "$png" && echo "screenshot: $png"
done
echo "whole test: $((SECONDS - start)) s"
exit $status
