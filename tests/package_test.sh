#!/usr/bin/env bash
# The packages as a user gets them, made by CPack from this build.
#   package_test.sh deb CPACK_CONFIG VERSION   the .deb unpacked into a scratch root
#   package_test.sh zip CPACK_CONFIG VERSION DIR   the zip unpacked into DIR (the Wine test runs it)
set -u
mode=$1 config=$2 version=$3
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
cpack --config "$config" -B "$work/out" >"$work/log" 2>&1 || { cat "$work/log"; exit 1; }
status=0
fail() { echo "FAIL: $*"; status=1; }
if [ "$mode" = zip ]; then
  zip=$work/out/velko-$version-win64.zip dir=$4
  rm -rf "$dir" && mkdir -p "$dir" && unzip -q "$zip" -d "$dir" || exit 1
  files=$(cd "$dir" && find . -type f | sort | tr '\n' ' ')
  [ "$files" = "./velko-$version-win64/README.txt ./velko-$version-win64/velko-cli.exe ./velko-$version-win64/velko.exe " ] ||
    fail "zip holds $files"
  readme=$dir/velko-$version-win64/README.txt
  [ "$(head -c3 "$readme" | od -An -tx1)" = " ef bb bf" ] || fail "README.txt has no BOM"
  grep -q $'^Installing: .*\r$' "$readme" && grep -q $'^インストール: .*\r$' "$readme" ||
    fail "README.txt lacks the English or the Japanese part, or CR LF"
  exit $status
fi

deb=$work/out/velko_${version}_amd64.deb root=$work/root
dpkg-deb -x "$deb" "$root" || exit 1
files=$(cd "$root" && find . -type f | sort | tr '\n' ' ')
want="./usr/bin/velko ./usr/bin/velko-cli ./usr/share/applications/velko.desktop "
want+="./usr/share/icons/hicolor/32x32/apps/velko.png ./usr/share/icons/hicolor/48x48/apps/velko.png "
want+="./usr/share/locale/ja/LC_MESSAGES/velko-cli.mo ./usr/share/man/man1/velko-cli.1 "
[ "$files" = "$want" ] || fail "the .deb holds $files"
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libfltk1.3* && $depends == *fonts-ipafont-gothic* ]] || fail "Depends: $depends"
cli=$root/usr/bin/velko-cli
[ "$("$cli" --version | head -n 1)" = "velko-cli $version" ] || fail "installed velko-cli --version: $("$cli" --version)"
[ "$(printf '\x8a\xbf\n' | "$cli" sjis2jis | od -An -tx1 | xargs)" = "1b 24 42 34 41 1b 28 4a 0a" ] ||
  fail "installed velko-cli sjis2jis"
! LC_ALL=C ldd "$root/usr/bin/velko" | grep 'not found' || fail "velko misses a library"
desktop=$root/usr/share/applications/velko.desktop
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop" || fail "velko.desktop"; fi
grep -qx 'Exec=velko %f' "$desktop" && grep -qx 'Icon=velko' "$desktop" || fail "Exec or Icon in velko.desktop"
for size in 32 48; do
  file "$root/usr/share/icons/hicolor/${size}x$size/apps/velko.png" | grep -q "PNG image data, $size x $size" ||
    fail "the ${size}x$size icon"
done
# The manual page renders cleanly and names the options --help names, no more and no fewer.
man=$root/usr/share/man/man1/velko-cli.1
warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$man" 2>&1) && [ -z "$warnings" ] || fail "groff: $warnings"
options() { grep -o -- '--[a-z][a-z-]*' | sort -u | tr '\n' ' '; }
in_help=$("$cli" --help | options) in_man=$(sed 's/\\-/-/g' "$man" | options)
[ "$in_help" = "$in_man" ] || fail "options: --help has $in_help, the manual $in_man"
grep -q "\"velko $version\"" "$man" || fail "the manual's version"
exit $status
