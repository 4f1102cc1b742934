#!/usr/bin/env bash
# Runs a Windows program under Wine as a Japanese Windows runs it: code page 932, a virtual
# desktop (no window manager needed), the caption-button font; on a private Xvfb when there is
# no display. The tests run velko.exe this way; so can you:
#   scripts/wine.sh build/win32/velko.exe
# WINEPREFIX names the prefix (made on first use; default ~/.cache/velko-wine).
# Status 77 when Wine, Xvfb or the ja_JP.UTF-8 locale is missing.
set -u
for tool in wine wineserver xvfb-run xauth; do
  command -v $tool >/dev/null || { echo "wine.sh: $tool not found (scripts/deps.sh)" >&2; exit 77; }
done
# Wine takes its ANSI code page from the locale; without a generated one it quietly uses 1252.
locale -a | grep -qiE '^ja_JP\.utf-?8$' || { echo "wine.sh: no ja_JP.UTF-8 locale" >&2; exit 77; }
export WINEPREFIX=${WINEPREFIX:-$HOME/.cache/velko-wine} WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree=;mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wine wineboot -i >"$WINEPREFIX/boot.log" 2>&1 || { cat "$WINEPREFIX/boot.log" >&2; exit 1; }
  # A virtual desktop, or every dialog close stalls 2 s without a window manager; set in the
  # registry, as explorer /desktop= would hide the exit code.
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  wineserver -k; wineserver -w
  # Caption buttons are drawn with Marlett; without it they show as letters.
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
# Wine is ended while its X server still runs, or its desktop complains on the way out.
run='wine "$@"; status=$?; wineserver -k; exit $status'
[ -n "${DISPLAY:-}" ] && exec bash -c "$run" - "$@"
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c "$run" - "$@"
