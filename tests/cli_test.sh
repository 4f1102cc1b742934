#!/usr/bin/env bash
# velko-cli as a process: arguments, exit status, stdout and stderr, language and encoding,
# line ends, names kept in --dir.
. "$(dirname "${BASH_SOURCE[0]}")/check.sh"
cli=$(realpath "$1")
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT && cd "$work" || exit 1
lines() { tr '\n' '|' <"$1" | sed 's/|$//'; }
sj="converted from Shift_JIS to JIS" nf="No such file or directory"
bin="2 saved, 0 skipped, 0 failed (messages: 1)" raw="2 saved, 0 skipped, 0 failed (attachments extracted)"
mail() {  # mail NAME BASE64 ...
  for ((i = 1; i < $#; i += 2)); do
    printf 'Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename="%s"\r\n\r\n%s\r\n\r\n' "${@:i:2}"
  done
}

# Options anywhere, '--' ends them; a line for each file, naming it; status 1 for an error, with
# the system's reason. The backup of あ.txt is あ.BAK; x.eml would replace x.BAK made from x.txt.
printf '\x8a\xbf\n' | tee 'あ.txt' x.txt x.eml >-q
"$cli" sjis2jis --backup=simple missing.txt 'あ.txt' x.txt -- x.eml -q >out 2>err; check "status 1" 1 "$?"
check "stdout" "あ.txt: $sj|x.txt: $sj|-q: $sj" "$(lines out)"
check "stderr" "velko-cli: missing.txt: C'ant find input file. [missing.txt]: $nf|velko-cli: x.eml: its backup x.BAK was made from another file in this run: not converted (--backup=numbered keeps both)" "$(lines err)"
check "backups, -q as a file after --" "8a bf 0a|$(hex x.eml)|1b 24 42 34 41 1b 28 4a 0a" \
  "$(hex 'あ.BAK')|$(hex x.BAK)|$(hex ./-q)"
"$cli" -q sjis2jis x.eml >out; check "numbered by default" "0||x.BAK.~1~" "$?|$(cat out)|$(echo x.BAK.*)"
# Usage errors: one line and the pointer to --help, status 2; an unknown option as typed.
for args in "" "frob a" "sjis2jis --bogus a" "b64bin --names=odd m" "b64bin -o x m" "sjis2jis -o o a b" \
  "sjis2jis --backup=often a" "b64bin --exists maybe m" "jis2sjis --dir . a" "sjis2jis --eol=lf a"; do
  "$cli" $args >/dev/null 2>err; check "usage: $args" "2 2 Try 'velko-cli --help'." "$? $(wc -l <err) $(tail -1 err)"
done
# Each command's help names its own options only, and they are refused elsewhere.
check "help per command" "      --kana|" "$("$cli" help sjis2jis | grep -o -- '^ *--kana')|$("$cli" jis2sjis --help | grep -o -- '^ *--kana')"
"$cli" jis2sjis --kana=full a 2>err; check "option of another command" "2 velko-cli: --kana is for sjis2jis" "$? $(head -1 err)"
"$cli" sjis2jis -Lu a.txt 2>err; check "unknown option" "velko-cli: unknown option '-L'" "$(head -1 err)"
check "version" "velko-cli 1.0.0" "$("$cli" --version | head -n 1)"
check "kernels asked for" "kernels: scalar" "$(VELKO_ISA=scalar "$cli" --version | tail -n 1)"

# Line ends: kept as they are by default, or by the Windows rules with --eol=crlf (CR LF read
# as LF, a 0x1A ends the text, LF written as CR LF).
printf 'a\r\nb\nc\x1ad\n\x1a\x8a\xbf\n' >e.txt
"$cli" sjis2jis <e.txt >keep 2>/dev/null; "$cli" sjis2jis --eol=crlf <e.txt >crlf 2>/dev/null
check "--eol=keep" "61 0d 0a 62 0a 63 1a 64 0a 1a 1b 24 42 34 41 1b 28 4a 0a" "$(hex keep)"
check "--eol=crlf" "61 0d 0a 62 0d 0a 63 64 0d 0a" "$(hex crlf)"

# Filter mode gives the bytes in place gives, with no notice; -o leaves FILE as it is, and OUT
# whole or as it was; -o - is standard output. A UTF-8 file is refused, unless --force.
printf 'a\r\n\x86\xa2\x86\xa4 \x1b$B,$\x1b(B\rb\n\x1a' > r.txt
cp r.txt r.orig && "$cli" nec2jis <r.txt >filtered && "$cli" nec2jis - -o piped <r.txt >/dev/null
"$cli" nec2jis r.txt -o - >dashed
"$cli" nec2jis r.txt -o copy >out; check "-o leaves FILE" "$(cat r.orig) copy: NEC ruled lines converted to JIS ones" "$(cat r.txt) $(cat out)"
"$cli" nec2jis r.txt >/dev/null && m=$(md5sum <r.txt)
check "filter, -o: the bytes of in place" "$m $m $m $m" "$(md5sum <filtered) $(md5sum <piped) $(md5sum <copy) $(md5sum <dashed)"
printf '漢字\n' >u.txt && cp u.txt u.orig && printf 'kept' >o.txt
"$cli" sjis2jis u.txt -o o.txt 2>err; s=$?
check "UTF-8 refused" "1 kept $(md5sum <u.orig)" "$s $(cat o.txt) $(md5sum <u.txt)"
check "UTF-8 said" "velko-cli: u.txt: looks like UTF-8, not Shift_JIS: not converted (--force converts it)" "$(cat err)"
"$cli" sjis2jis --force u.txt >/dev/null; s=$?; check "--force" "0 $(md5sum <u.orig)" "$s $(md5sum <u.BAK)"
mkdir folder; "$cli" sjis2jis folder 2>err; check "a folder" "1 velko-cli: folder: Input file open err. [folder]: it is a folder" "$? $(cat err)"

# Attachments: names as the mail gives them, one line a file, the mail from standard input,
# --dir made when missing, --exists, and the question on a terminal (o, a, s or the words,
# asked again, end of input).
mail report.pdf 'AA0KGgD/' "$(printf '\x1b$B4A;z\x1b(B')" 'QUJD' >two.eml
"$cli" b64bin --dir d/e - <two.eml >out; check "b64bin -" "d/e/report.pdf: saved (6 bytes)|d/e/漢字: saved (3 bytes)|-: $bin" "$(lines out)"
"$cli" b64bin --names=raw --dir d - <two.eml >out; check "--names=raw" "d/REPORT.PDF: saved (6 bytes)|d/漢字: saved (3 bytes)|-: $raw" "$(lines out)"
touch plain && "$cli" b64bin --dir plain/x two.eml 2>err; check "--dir not made" "1 velko-cli: plain/x: the folder for --dir cannot be made: Not a directory" "$? $(cat err)"
sizes=$(for p in append skip overwrite rename; do
  printf o >d/report.pdf && "$cli" b64bin --dir d --exists $p two.eml >/dev/null 2>&1 && wc -c <d/report.pdf
done | xargs)
check "--exists append, skip, overwrite, rename" "7 1 6 1 6" "$sizes $(wc -c <'d/report(1).pdf')"
"$cli" b64bin --dir d two.eml </dev/null >/dev/null 2>err
check "no terminal" "velko-cli: two.eml: line 1: attachment not extracted: d/report.pdf exists, and no terminal to ask (see --exists)" "$(head -1 err)"
printf 'o' >d/report.pdf
printf 'maybe\nAPPEND\ns\n' | script -qec "$cli b64bin --dir d two.eml" /dev/null >out
check "asked" "3 7 3" "$(grep -o 'exists: \[o\]verwrite, \[a\]ppend, \[s\]kip, \[r\]ename' out | wc -l) $(wc -c <d/report.pdf) $(wc -c <d/漢字)"
# A capital answers for all the rest; an mbox or a folder of mails renames by default.
printf 'R\n' | script -qec "$cli b64bin --dir d two.eml" /dev/null >out
check "R for all" "1 6 3" "$(grep -c 'exists: ' out) $(wc -c <'d/report(2).pdf') $(wc -c <'d/漢字(1)')"
{ printf 'From a\n'; cat two.eml; printf '\nFrom b\n'; cat two.eml; } >two.mbox && mkdir m arc && cp two.eml m/
printf o >arc/report.pdf && "$cli" b64bin --dir arc two.mbox m </dev/null >/dev/null 2>err
s=$?; check "archives renamed" "0 0 3 o" "$s $(wc -l <err) $(ls arc | grep -c 'report(') $(cat arc/report.pdf)"

# Names that try to leave --dir keep their last part (a quoted backslash is a mail's escape, so
# '..\..\e4' is ....e4); a lead byte before '/' smuggles no folder in; unusable names are
# skipped; 100 kanji are shortened to 255 bytes, extension kept.
mkdir -p a/b/out
mail ../../e1 QUJD "$work/e2" QUJD 'C:\e3' QUJD '..\..\e4' QUJD .. QUJD $'t\tab' QUJD \
  "$(printf 'a\x81/e5')" QUJD "$(printf '\x8a\xbf%.0s' {1..100}).pdf" QUJD > escape.eml
"$cli" b64bin --dir a/b/out escape.eml >/dev/null 2>err </dev/null; check "escape status" 0 "$?"
check "escape files" "....e4 e1 e2 e3 e5 escape-1-1.4.txt escape-1-1.5.txt $(printf '漢%.0s' {1..83}).pdf" "$(ls -A a/b/out | sort | tr '\n' ' ' | sed 's/ $//')"
check "escape renamed" "2 0" "$(grep -c 'no usable file name in .*; saved as escape-1-1.[45].txt' err) $(grep -c "attachment not extracted" err)"
check "nothing outside" "" "$(find . -iname 'e[1-5]' -not -path './a/b/out/*')"
# The locale: its language, and its encoding, where what it cannot show is '?'.
got=$(for l in C ja_JP.UTF-8; do LC_ALL=$l "$cli" b64bin --dir d --exists overwrite two.eml | sed -n 2,3p; done)
check "locales C and ja_JP.UTF-8" "d/??: saved (3 bytes)|two.eml: $bin|d/漢字: 保存しました (3 バイト)|two.eml: 保存 2、スキップ 0、失敗 0 (メッセージ: 1)" \
  "$(tr '\n' '|' <<<"$got" | sed 's/|$//')"
check "Japanese help" "使い方: velko-cli コマンド [オプション]... FILE..." "$(LC_ALL=ja_JP.UTF-8 "$cli" --help | head -1)"
# Counts in the grammar of the language: one thing, or several (English); one form (Japanese).
mkdir -p plural && cd plural || exit 1
printf '\xfa\x40\n' >one.txt && printf '\xfa\x40\xfa\x41\n' >two.txt
mail a.bin QQ== >one.eml && mail a.bin QUI= >two.eml
for l in C.UTF-8 ja_JP.UTF-8; do
  for n in one two; do
    LC_ALL=$l "$cli" check $n.txt | grep -o '[0-9] IBM[^,;]*\|IBM 拡張文字 [0-9]\|sjis2jis writes [0-9] codes*[^,;]*\|外のコードを [0-9] 個'
    LC_ALL=$l "$cli" b64bin --list $n.eml | sed -n 's/.*a.bin (\([^)]*\)).*/\1/p'
  done
done >got
check "one and several" "1 IBM extension|sjis2jis writes 1 code outside the JIS rows|1 byte|2 IBM extensions|sjis2jis writes 2 codes outside the JIS rows|2 bytes|IBM 拡張文字 1|外のコードを 1 個|1 バイト|IBM 拡張文字 2|外のコードを 2 個|2 バイト" "$(lines got)"
cd .. || exit 1
# Names in the terminal's encoding: one in Shift_JIS read as Shift_JIS under UTF-8, one in the
# locale's EUC-JP as EUC-JP, bytes that read as neither as \xNN (iconv is the reference).
mkdir -p names && cd names || exit 1
sjis=$(printf '日本.txt' | iconv -t CP932) euc=$(printf '表.txt' | iconv -t EUC-JP) bad=$(printf 'b\x80\xff.txt')
printf 'a\n' | tee "$sjis" "$euc" "$bad" >/dev/null
localedef -i ja_JP -f EUC-JP "$work/ja_JP.EUC-JP" 2>/dev/null
check "Shift_JIS name, UTF-8 terminal" "$(printf '%s' "$sjis" | iconv -f CP932 -t UTF-8)" "$("$cli" check --tsv "$sjis" | sed -n '2s/\t.*//p')"
check "bytes that read as nothing" 'b\x80\xFF.txt' "$("$cli" check --tsv "$bad" | sed -n '2s/\t.*//p')"
check "EUC-JP name, EUC-JP terminal" "$euc" "$(LOCPATH=$work LC_ALL=ja_JP.EUC-JP "$cli" check --tsv "$euc" | sed -n '2s/\t.*//p')"
check "error naming it" "velko-cli: $(printf '%s' "$sjis" | iconv -f CP932 -t UTF-8): C'ant find input file." \
  "$("$cli" sjis2jis "$sjis.none" 2>&1 | sed 's/\.none.*/: C'"'"'ant find input file./')"
cd .. || exit 1
exit $((failed > 0))
