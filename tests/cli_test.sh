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
lines() { tr '\n' '|' <"$1" | sed 's/|$//'; }
sj="ＳｈｉｆｔＪＩＳからＪＩＳへの変換完了しました" bin="Ｂａｓｅ６４展開完了しました"
mail() {  # mail NAME BASE64 ...
  for ((i = 1; i < $#; i += 2)); do
    printf 'Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename="%s"\r\n\r\n%s\r\n\r\n' "${@:i:2}"
  done
}

# Options anywhere, '--' ends them; a line for each file, naming it; status 1 for an error. The
# backup of あ.txt is あ.BAK; x.eml would replace x.BAK made from x.txt in the same run: refused.
printf '\x8a\xbf\n' | tee 'あ.txt' x.txt x.eml >-q
"$cli" sjis2jis missing.txt 'あ.txt' x.txt -- x.eml -q >out 2>err; check "status 1" 1 "$?"
check "stdout" "あ.txt: $sj|x.txt: $sj|-q: $sj" "$(lines out)"
check "stderr" "velko-cli: missing.txt: C'ant find input file. [missing.txt]|velko-cli: x.eml: its backup x.BAK was made from another file in this run: not converted (--backup=numbered keeps both)" "$(lines err)"
check "backups, -q as a file after --" "$(printf '\x8a\xbf\n')|$(cat x.eml)|$(printf '\x1b$B4A\x1b(J\r')" \
  "$(cat 'あ.BAK')|$(cat x.BAK)|$(cat ./-q)"
"$cli" -q sjis2jis --backup=numbered x.eml >out; check "numbered" "0||x.BAK.~1~" "$?|$(cat out)|$(echo x.BAK.*)"
# Usage errors: one line and the pointer to --help, status 2.
for args in "" "frob a" "sjis2jis --bogus a" "b64bin --dir nosuch m" "b64bin -o x m" "sjis2jis -o o a b" \
  "sjis2jis --backup=often a" "b64bin --exists maybe m" "jis2sjis --dir . a"; do
  "$cli" $args >/dev/null 2>err; check "usage: $args" "2 2 Try 'velko-cli --help'." "$? $(wc -l <err) $(tail -1 err)"
done
check "version" "velko-cli 1.0.0" "$("$cli" --version)"

# Filter mode gives the bytes in place gives, with no notice; -o leaves FILE as it is, and OUT
# whole or as it was. A UTF-8 file is refused, unless --force.
printf 'a\r\n\x86\xa2\x86\xa4 \x1b$B,$\x1b(B\rb\n\x1a' > r.txt
cp r.txt r.orig && "$cli" nec2jis <r.txt >filtered && "$cli" nec2jis - -o piped <r.txt >/dev/null
"$cli" nec2jis r.txt -o copy >out; check "-o leaves FILE" "$(cat r.orig) copy: ＮＥＣからＪＩＳ罫線への変換完了しました" "$(cat r.txt) $(cat out)"
"$cli" nec2jis r.txt >/dev/null && m=$(md5sum <r.txt)
check "filter, -o: the bytes of in place" "$m $m $m" "$(md5sum <filtered) $(md5sum <piped) $(md5sum <copy)"
printf '漢字\n' >u.txt && cp u.txt u.orig && printf 'kept' >o.txt
"$cli" sjis2jis u.txt -o o.txt 2>err; s=$?
check "UTF-8 refused" "1 kept $(md5sum <u.orig)" "$s $(cat o.txt) $(md5sum <u.txt)"
check "UTF-8 said" "velko-cli: u.txt: looks like UTF-8, not Shift_JIS: not converted (--force converts it)" "$(cat err)"
"$cli" sjis2jis --force u.txt >/dev/null; s=$?; check "--force" "0 $(md5sum <u.orig)" "$s $(md5sum <u.BAK)"
mkdir folder; "$cli" sjis2jis folder 2>err; check "a folder" "1 velko-cli: folder: Input file open err. [folder]" "$? $(cat err)"

# Attachments: names upper-cased in --dir, one line a file, the mail from standard input,
# --exists, and the question on a terminal (o, a, s or the words, asked again, end of input).
mail report.pdf 'AA0KGgD/' "$(printf '\x1b$B4A;z\x1b(B')" 'QUJD' >two.eml && mkdir d
"$cli" b64bin --dir d - <two.eml >out; check "b64bin -" "d/REPORT.PDF: saved (6 bytes)|d/漢字: saved (3 bytes)|-: $bin" "$(lines out)"
sizes=$(for p in append skip overwrite rename; do
  printf o >d/REPORT.PDF && "$cli" b64bin --dir d --exists $p two.eml >/dev/null 2>&1 && wc -c <d/REPORT.PDF
done | xargs)
check "--exists append, skip, overwrite, rename" "7 1 6 1 6" "$sizes $(wc -c <'d/REPORT(1).PDF')"
"$cli" b64bin --dir d two.eml </dev/null >/dev/null 2>err
check "no terminal" "velko-cli: two.eml: line 1: attachment not extracted: d/REPORT.PDF exists, and no terminal to ask (see --exists)" "$(head -1 err)"
printf 'o' >d/REPORT.PDF
printf 'maybe\nAPPEND\ns\n' | script -qec "$cli b64bin --dir d two.eml" /dev/null >out
check "asked" "3 7 3" "$(grep -o 'exists: \[o\]verwrite, \[a\]ppend, \[s\]kip? ' out | wc -l) $(wc -c <d/REPORT.PDF) $(wc -c <d/漢字)"

# Names that try to leave --dir keep their last part; a lead byte before '/' smuggles no folder
# in; unusable names are skipped; 100 kanji are shortened to 255 bytes, extension kept.
mkdir -p a/b/out
mail ../../e1 QUJD "$work/e2" QUJD 'C:\e3' QUJD '..\..\e4' QUJD .. QUJD $'t\tab' QUJD \
  "$(printf 'a\x81/e5')" QUJD "$(printf '\x8a\xbf%.0s' {1..100}).pdf" QUJD > escape.eml
"$cli" b64bin --dir a/b/out escape.eml >/dev/null 2>err </dev/null; check "escape status" 0 "$?"
check "escape files" "E1 E2 E3 E4 E5 $(printf '漢%.0s' {1..83}).PDF" "$(ls a/b/out | sort | tr '\n' ' ' | sed 's/ $//')"
check "escape skipped" "2 2" "$(grep -c 'not extracted: no usable file name' err) $(grep -c "line [0-9]*: attachment not extracted" err)"
check "nothing outside" "" "$(find . -iname 'e[1-5]' -not -path './a/b/out/*')"
# The locale: what it cannot show is '?', in texts and in names alike.
got=$(for l in C ja_JP.UTF-8; do LC_ALL=$l "$cli" b64bin --dir d --exists overwrite two.eml | sed -n 2p; done)
check "locales C and ja_JP.UTF-8" "d/??: saved (3 bytes)|d/漢字: saved (3 bytes)" "$(tr '\n' '|' <<<"$got" | sed 's/|$//')"
exit $((failed > 0))
