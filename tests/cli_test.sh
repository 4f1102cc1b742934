#!/usr/bin/env bash
# velko-cli as a process: arguments, exit status, stdout and stderr, locale, names kept in --dir.
set -u
cli=$(realpath "$1")
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT && cd "$work" || exit 1
export LC_ALL=C.UTF-8
failed=0
check() {  # check WHAT EXPECTED ACTUAL
  [ "$2" == "$3" ] || { failed=$((failed + 1)); printf 'FAIL: %s\n  expected: %q\n  actual:   %q\n' "$@"; }
}
done_sj="VELKO.EXE Message: ＳｈｉｆｔＪＩＳからＪＩＳへの変換完了しました"
done_bin="VELKO.EXE Message: Ｂａｓｅ６４展開完了しました"

# Several files, one missing: its error on stderr, the others converted, status 1. A UTF-8
# name keeps its characters in the backup's name.
printf '\x8a\xbf\n' > 'あ.txt'
out=$("$cli" sjis2jis missing.txt 'あ.txt' 2>err); check "status" 1 "$?"
check "lines" "$done_sj|VELKO.EXE Error Message: C'ant find input file. [missing.txt]|$(printf '\x8a\xbf')" \
  "$out|$(cat err)|$(cat 'あ.BAK')"
"$cli" sjis2jis "$(printf 'n%.0s' {1..512})" >out 2>err; check "long name" "1 0" "$? $(wc -c <out)"
out=$(LC_ALL=C "$cli" sjis2jis 'あ.txt'); check "C locale: no raw UTF-8" 0 "$(grep -c $'\xef\xbc' <<<"$out")"
for args in "" "frobnicate a" "sjis2jis" "b64bin --frob x m" "b64bin --exists maybe m" \
  "b64bin --dir nosuch m" "b64bin --dir"; do
  "$cli" $args >/dev/null 2>&1; check "usage: $args" 2 "$?"
done
"$cli" --help >out; check "help" "0 6" "$? $(grep -cE '^  (nec2jis|jis2nec|sjis2jis|jis2sjis|b64text|b64bin) ' out)"

# Attachments: names upper-cased in --dir, binary bytes kept, one line a file, --exists.
mail() {  # mail NAME BASE64 ...
  for ((i = 1; i < $#; i += 2)); do
    printf 'Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename="%s"\r\n\r\n%s\r\n\r\n' "${@:i:2}"
  done
}
mail report.pdf 'AA0KGgD/' "$(printf '\x1b$B4A;z\x1b(B')" 'QUJD' > two.eml
mkdir d
out=$("$cli" b64bin --dir d two.eml 2>err </dev/null); check "b64bin status" 0 "$?"
check "b64bin lines" "saved d/REPORT.PDF (6 bytes)|saved d/漢字 (3 bytes)|$done_bin|" "$(tr '\n' '|' <<<"$out")"
sizes=$(for p in append skip overwrite; do
  printf o >d/REPORT.PDF && "$cli" b64bin --dir d --exists $p two.eml >/dev/null && wc -c <d/REPORT.PDF
done | xargs)
check "--exists append, skip, overwrite" "7 1 6" "$sizes"
"$cli" b64bin --dir d two.eml </dev/null 2>err >/dev/null; check "nobody to ask" 2 "$(grep -c 'skipped' err)"

# Names that try to leave --dir keep their last part; a lead byte before '/' smuggles no folder
# in; unusable names are skipped; 100 kanji are shortened to 255 bytes, extension kept.
mkdir -p a/b/out
mail ../../e1 QUJD "$work/e2" QUJD 'C:\e3' QUJD '..\..\e4' QUJD .. QUJD $'t\tab' QUJD \
  "$(printf 'a\x81/e5')" QUJD "$(printf '\x8a\xbf%.0s' {1..100}).pdf" QUJD > escape.eml
"$cli" b64bin --dir a/b/out escape.eml >/dev/null 2>err </dev/null; check "escape status" 0 "$?"
check "escape files" "E1 E2 E3 E4 E5 $(printf '漢%.0s' {1..83}).PDF" "$(ls a/b/out | sort | tr '\n' ' ' | sed 's/ $//')"
check "escape skipped" 2 "$(grep -c 'attachment skipped' err)"
check "nothing outside" "a d err escape.eml out two.eml あ.BAK あ.txt" "$(ls | tr '\n' ' ' | sed 's/ $//')"
exit $((failed > 0))
