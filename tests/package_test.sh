#!/usr/bin/env bash
# The packages as a user gets them, made by CPack from this build.
#   package_test.sh deb CPACK_CONFIG VERSION   the .deb unpacked into a scratch root
#   package_test.sh zip CPACK_CONFIG VERSION DIR   the zip unpacked into DIR (the Wine test runs it)
#   package_test.sh prefix BUILD_DIR               cmake --install to a scratch prefix
set -u
mode=$1 config=$2 version=${3:-}
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }
# Runs a command under ja_JP.UTF-8: the system's, or one made in the scratch folder when the
# system has none (LOCPATH; no root, no display needed).
locales=
if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
  locales=$work/locales && mkdir -p "$locales"
  localedef -i ja_JP -f UTF-8 "$locales/ja_JP.UTF-8" 2>/dev/null || fail "no ja_JP.UTF-8 locale can be made"
fi
japanese() { env ${locales:+LOCPATH=$locales} -u LANGUAGE LC_ALL=ja_JP.UTF-8 "$@"; }
# The installed programs under root ROOT speak Japanese in a Japanese locale: their help, and an
# error with the system's reason.
speaks_japanese() {
  local root=$1 line
  [ "$(japanese locale charmap 2>/dev/null)" = UTF-8 ] || fail "ja_JP.UTF-8 is not in effect"
  line=$(japanese "$root/bin/velko-cli" --help | head -n 1)
  [ "$line" = "使い方: velko-cli コマンド [オプション]... FILE..." ] || fail "velko-cli --help in $root: $line"
  line=$(cd "$work" && japanese "$root/bin/velko-cli" sjis2jis missing.txt 2>&1)
  [ "$line" = "velko-cli: missing.txt: 入力ファイルが見つかりません。[missing.txt]: そのようなファイルやディレクトリはありません" ] ||
    fail "velko-cli's error in $root: $line"
  if [ -x "$root/bin/velko" ]; then
    line=$(japanese "$root/bin/velko" --help | head -n 1)
    [ "$line" = "使い方: velko [FILE]" ] || fail "velko --help in $root: $line"
  fi
  # Through a link elsewhere (as /usr/local/bin links to a program kept in /opt), still found.
  ln -sf "$root/bin/velko-cli" "$work/linked-cli"
  line=$(japanese "$work/linked-cli" --help | head -n 1)
  [[ $line == 使い方:* ]] || fail "velko-cli through a link: $line"
}
if [ "$mode" = prefix ]; then
  # An install where the build never looked: the programs find their catalogue from their own
  # folder.
  prefix=$work/some/prefix
  cmake --install "$config" --prefix "$prefix" >"$work/log" 2>&1 || { cat "$work/log"; exit 1; }
  [ -f "$prefix/share/locale/ja/LC_MESSAGES/velko-cli.mo" ] || fail "no catalogue under $prefix"
  for page in man1/velko-cli.1.gz ja/man1/velko-cli.1.gz; do
    [ -f "$prefix/share/man/$page" ] || fail "no $page under $prefix"
  done
  speaks_japanese "$prefix"
  here=$(dirname "$0")/..
  cmp -s "$prefix/share/bash-completion/completions/velko-cli" "$here/res/completion/velko-cli.bash" ||
    fail "bash completion not installed"
  cmp -s "$prefix/share/zsh/vendor-completions/_velko-cli" "$here/res/completion/_velko-cli" ||
    fail "zsh completion not installed"
  exit $status
fi
cpack --config "$config" -B "$work/out" >"$work/log" 2>&1 || { cat "$work/log"; exit 1; }
if [ "$mode" = zip ]; then
  zip=$work/out/velko-$version-win64.zip dir=$4
  rm -rf "$dir" && mkdir -p "$dir" && unzip -q "$zip" -d "$dir" || exit 1
  files=$(cd "$dir" && find . -type f | sort | tr '\n' ' ')
  top=./velko-$version-win64
  [ "$files" = "$top/LICENSE.txt $top/README.txt $top/velko-cli.exe $top/velko.exe " ] || fail "zip holds $files"
  cmp -s "$dir/$top/LICENSE.txt" "$(dirname "$0")/../LICENSE" || fail "LICENSE.txt is not LICENSE"
  # What Windows shows of each program, in English and in Japanese.
  for exe in velko velko-cli; do
    info=$(python3 "$(dirname "$0")/version_resource.py" "$dir/$top/$exe.exe") || { fail "$exe.exe: no version"; continue; }
    for want in "040904b0 ProductName=VELKO" "040904b0 FileVersion=$version" "040904b0 OriginalFilename=$exe.exe" \
      "041104b0 ProductVersion=$version" "041104b0 LegalCopyright=Copyright (c) 2026 The VELKO developers. MIT ライセンス。" \
      "Translation 0409:1200 0411:1200"; do
      grep -qixF "$want" <<<"$info" || fail "$exe.exe: no '$want' in: $info"
    done
    grep -qi '^041104b0 FileDescription=.*日本語\|^041104b0 FileDescription=.*コマンド' <<<"$info" || fail "$exe.exe: Japanese description"
  done
  # The window's icon at the four sizes Windows asks for.
  wrestool -x -t 14 "$dir/$top/velko.exe" >"$work/icon.ico" && sizes=$(icotool -l "$work/icon.ico" | grep -o 'width=[0-9]*' | xargs)
  [ "${sizes:-}" = "width=16 width=32 width=48 width=256" ] || fail "velko.exe's icon: ${sizes:-none}"
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
want+="./usr/share/bash-completion/completions/velko-cli "
want+="./usr/share/doc/velko/changelog.gz ./usr/share/doc/velko/copyright "
for size in 128 16 256 32 48 64; do want+="./usr/share/icons/hicolor/${size}x$size/apps/velko.png "; done
want+="./usr/share/icons/hicolor/scalable/apps/velko.svg "
want+="./usr/share/locale/ja/LC_MESSAGES/velko-cli.mo "
want+="./usr/share/man/ja/man1/velko-cli.1.gz ./usr/share/man/ja/man1/velko.1.gz "
want+="./usr/share/man/man1/velko-cli.1.gz ./usr/share/man/man1/velko.1.gz "
want+="./usr/share/zsh/vendor-completions/_velko-cli "
[ "$files" = "$want" ] || fail "the .deb holds $files"
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libfltk1.3* && $depends == *"fonts-ipafont-gothic | fonts-japanese-gothic"* ]] || fail "Depends: $depends"
# apt search finds it by what people look for.
description=$(dpkg-deb -f "$deb" Description)
for word in UTF-8 Shift_JIS ISO-2022-JP EUC-JP PC-98 attachments; do
  grep -qF -- "$word" <<<"$description" || fail "the description never says $word"
done
# As a packager checks it: no error, no warning, no pedantic or informational tag.
if command -v lintian >/dev/null; then
  tags=$(lintian --pedantic -I --fail-on none "$deb" 2>&1 | grep -E '^(E|W|P|I):')
  [ -z "$tags" ] || fail "lintian: $tags"
else
  fail "lintian is not installed (scripts/deps.sh)"
fi
velko=$root/usr/bin/velko
[ "$("$velko" --version)" = "velko $version"$'\n'"License: MIT" ] || fail "velko --version: $("$velko" --version 2>&1)"
"$velko" --help | head -n 1 | grep -qx 'Usage: velko \[FILE\]' || fail "velko --help"
"$velko" --bogus 2>/dev/null; [ $? = 2 ] || fail "velko --bogus"
[ "$("$root/usr/bin/velko-cli" --version | sed -n 2p)" = "License: MIT" ] || fail "velko-cli --version names no licence"
cli=$root/usr/bin/velko-cli
speaks_japanese "$root/usr"
[ "$("$cli" --version | head -n 1)" = "velko-cli $version" ] || fail "installed velko-cli --version: $("$cli" --version)"
[ "$(printf '\x8a\xbf\n' | "$cli" sjis2jis | od -An -tx1 | xargs)" = "1b 24 42 34 41 1b 28 4a 0a" ] ||
  fail "installed velko-cli sjis2jis"
! LC_ALL=C ldd "$root/usr/bin/velko" | grep 'not found' || fail "velko misses a library"
desktop=$root/usr/share/applications/velko.desktop
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop" || fail "velko.desktop"; fi
grep -qx 'Exec=velko %f' "$desktop" && grep -qx 'Icon=velko' "$desktop" || fail "Exec or Icon in velko.desktop"
for size in 16 32 48 64 128 256; do
  file "$root/usr/share/icons/hicolor/${size}x$size/apps/velko.png" | grep -q "PNG image data, $size x $size" ||
    fail "the ${size}x$size icon"
done
# The manual pages, English and Japanese, render cleanly, point to the others and the peers, and
# name the options the commands' help names, no more and no fewer.
options() { grep -o -- '--[a-z][a-z-]*' | sort -u | tr '\n' ' '; }
commands=$("$cli" --help | sed -n 's/^  \([a-z0-9]*\)  *[A-Za-z0-9].*/\1/p')
in_help=$(for c in $commands; do "$cli" help "$c"; done | options)
for lang in "" ja/; do
  for page in velko velko-cli; do
    man=$work/$page.${lang%/}.1
    gunzip -c "$root/usr/share/man/${lang}man1/$page.1.gz" >"$man"
    warnings=$(LC_ALL=C.UTF-8 preconv "$man" | groff -man -Tutf8 -ww -z 2>&1) && [ -z "$warnings" ] ||
      fail "groff ${lang}$page: $warnings"
    for other in velko velko-cli nkf iconv munpack; do
      [ $other = $page ] || sed -n '/^\.SH \(SEE ALSO\|関連項目\)/,$p' "$man" | grep -q "^\.BR $other (1)" ||
        fail "${lang}$page names no $other(1)"
    done
    grep -q "\"velko $version\"" "$man" || fail "the version of ${lang}$page"
  done
  in_man=$(sed 's/\\-/-/g' "$work/velko-cli.${lang%/}.1" | options)
  [ "$in_help" = "$in_man" ] || fail "options: --help has $in_help, the ${lang}manual $in_man"
done
# man -L ja finds the Japanese page, and it reads in Japanese.
line=$(MANPATH=$root/usr/share/man MANWIDTH=80 japanese man -L ja velko-cli 2>&1 | sed -n 3p)
[ "$line" = "名前" ] || fail "man -L ja velko-cli: $line"
exit $status
