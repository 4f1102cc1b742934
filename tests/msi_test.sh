#!/usr/bin/env bash
# The MSI as a Windows user gets it, under Wine in a fresh prefix: made from the unpacked zip,
# installed for the machine with velko-cli.exe on the PATH, run from where it went, replaced by
# a newer version, removed: nothing of it is left. Then once more for the user alone.
#   msi_test.sh UNPACKED_DIR VERSION
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$(realpath "$1") version=$2
tmp=$(mktemp -d /tmp/velko-msi.XXXXXX) && trap '[ -n "${KEEP:-}" ] || rm -rf "$tmp"' EXIT
export WINEPREFIX=$tmp/prefix
status=0
fail() { echo "FAIL: $*"; status=1; }
win() { printf 'Z:%s' "${1//\//\\}"; }
IFS=. read -r major minor patch <<<"$version"
newer=$major.$minor.$((patch + 1))
"$here/scripts/make_msi.sh" "$dir" "$version" "$tmp/old.msi" && "$here/scripts/make_msi.sh" "$dir" "$newer" "$tmp/new.msi" || exit 1
property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }
[ "$(property "$tmp/old.msi" ProductVersion)" = "$version" ] || fail "ProductVersion $(property "$tmp/old.msi" ProductVersion)"
[ "$(property "$tmp/old.msi" UpgradeCode)" = "$(property "$tmp/new.msi" UpgradeCode)" ] || fail "the upgrade codes differ"

log=$(win "$tmp/log") env_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
{
  echo "msiexec /i $(win "$tmp/old.msi") /qn ADDLOCAL=ALL"
  echo "echo installed %errorlevel%>>$log"
  echo "\"C:\\Program Files\\VELKO\\velko-cli.exe\" --version >>$log"
  echo "reg query \"$env_key\" /v PATH >>$log"
  echo "msiexec /i $(win "$tmp/new.msi") /qn ADDLOCAL=ALL"
  echo "echo upgraded %errorlevel%>>$log"
  echo "reg query $uninstall_key /s >$(win "$tmp/upgraded")"
  echo "msiexec /x $(win "$tmp/new.msi") /qn"
  echo "echo removed %errorlevel%>>$log"
  echo "reg query \"$env_key\" /v PATH >>$log"
  echo "reg query $uninstall_key /s >$(win "$tmp/removed")"
  echo "reg query HKLM\\Software\\VELKO >>$log 2>&1"
  echo "msiexec /i $(win "$tmp/old.msi") /qn ALLUSERS=2 MSIINSTALLPERUSER=1"
  echo "echo user %errorlevel%>>$log"
  echo "reg query $uninstall_key /s >$(win "$tmp/user")"
  echo "msiexec /x $(win "$tmp/old.msi") /qn ALLUSERS=2 MSIINSTALLPERUSER=1"
  echo "echo user-removed %errorlevel%>>$log"
} | sed 's/$/\r/' >"$tmp/steps.bat"
"$here/scripts/wine.sh" cmd /c "$(win "$tmp/steps.bat")" >/dev/null 2>&1
case $? in 77) exit 77 ;; esac
out=$(iconv -f CP932 -t UTF-8 "$tmp/log" | tr -d '\r')
grep -qx 'installed 0' <<<"$out" || fail "install: $out"
grep -qx "velko-cli $version" <<<"$out" || fail "velko-cli.exe from the installed place: $out"
[ "$(grep -c 'C:\\Program Files\\VELKO' <<<"$out")" = 1 ] || fail "PATH while installed, and after: $out"
grep -qx 'upgraded 0' <<<"$out" && [ "$(grep -c 'DisplayName    REG_SZ    VELKO' "$tmp/upgraded")" = 1 ] &&
  grep -q "DisplayVersion    REG_SZ    $newer" "$tmp/upgraded" || fail "the newer version does not replace the older"
grep -qx 'removed 0' <<<"$out" || fail "uninstall: $out"
! grep -q 'VELKO' "$tmp/removed" || fail "left in Apps & features"
grep -q 'Software\\VELKO' <<<"$out" && fail "left in the registry: $out"
left=$(cd "$WINEPREFIX/drive_c" && find . -iname '*velko*' ! -path './windows/Installer/*' | head)
[ -z "$left" ] || fail "left on disk: $left"
grep -qx 'user 0' <<<"$out" && grep -q 'DisplayName    REG_SZ    VELKO' "$tmp/user" &&
  grep -qx 'user-removed 0' <<<"$out" || fail "for the user alone: $out"
exit $status
