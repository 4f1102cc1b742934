#!/usr/bin/env bash
# velko-cli.exe under Wine (a Japanese Windows, code page 932), beside velko-cli on Linux:
#   wine_cli_test.sh WINE_SH VELKO_CLI_EXE VELKO_CLI DRIVER_EXE
set -u
wine=$(realpath "$1") exe=$(realpath "$2") linux=$(realpath "$3") driver=$(realpath "$4")
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT && cd "$work" || exit 1
failed=0
check() {  # check WHAT EXPECTED ACTUAL
  [ "$2" == "$3" ] || { failed=$((failed + 1)); printf 'FAIL velko-cli.exe: %s\n  expected: %q\n  actual:   %q\n' "$@"; }
}
hex() { od -An -tx1 "$@" | xargs; }
sjis() { iconv -f CP932 -t UTF-8 "$1" | tr '\n' '|' | sed 's/|$//'; }
part() { printf 'Content-Transfer-Encoding: base64\r\nContent-Disposition: a; %s\r\n\r\n%s\r\n\r\n' "$@"; }

# Japanese messages in the code page of no console (932), the system's reason after an error;
# CR LF by default; names decoded, their case kept.
printf '\x8a\xbf\n' | tee c.txt >/dev/null && "$wine" "$exe" sjis2jis c.txt no.txt >out 2>&1; s=$?
check "a conversion and an error" "1|c.txt: ＳｈｉｆｔＪＩＳからＪＩＳへの変換完了しました|velko-cli: no.txt: 入力ファイルが見つかりません。[no.txt]: " \
  "$s|$(sjis out | sed 's/\]: .*/]: /')"
{ part $'filename="\x1b$B4A;z\x1b(B"' QUJD; part "filename*=UTF-8''%E6%BC%A2.t" QQ==; } >k.eml
"$wine" "$exe" -q b64bin --dir d k.eml && printf '\x8a\xbf\n' | "$wine" "$exe" sjis2jis >f.txt
check "names, CR LF" "漢.t 漢字|1b 24 42 34 41 1b 28 4a 0d 0a 1b 24 42 34 41 1b 28 4a 0d 0a" "$(ls d | xargs)|$(hex c.txt f.txt)"
check "/? is the help" "使い方: velko-cli コマンド [オプション]... FILE..." "$("$wine" "$exe" '/?' | sjis /dev/stdin | cut -d'|' -f1)"

# Any name NTFS holds; never a best-fitted neighbour; wildcards expanded as cmd.exe leaves them.
for f in '한국어 메모.txt' '𠮷野家.txt' Unicode.txt w1.txt w2.txt; do printf '\x8a\xbf\n' >"$f"; done
"$wine" "$exe" -q sjis2jis '한국어 메모.txt' '𠮷野家.txt' 'w*.txt'; s=$?
check "Unicode names, wildcards" "0|8a bf 0a 8a bf 0a 8a bf 0a 8a bf 0a" "$s|$(hex '한국어 메모.BAK' '𠮷野家.BAK' w1.BAK w2.BAK)"
"$wine" "$exe" sjis2jis 'Ünïcode.txt' >/dev/null 2>&1; s=$?
check "no best fit" "1|8a bf 0a|no" "$s|$(hex Unicode.txt)|$([ -e Unicode.BAK ] && echo yes || echo no)"
# In a console after chcp 65001, what goes to a file is in that code page: UTF-8.
cp "$exe" velko-cli.exe && timeout 60 "$wine" wineconsole cmd /c "chcp 65001 >nul & velko-cli.exe jis2sjis no.txt > u8 2>&1"
check "UTF-8 after chcp 65001" "velko-cli: no.txt: 入力ファイルが見つかりません。[no.txt]" "$(sed 's/\]: .*/]/' u8)"

# One file by two spellings: A.BAK is a.BAK, so with --backup=simple the second file is refused;
# one file in and out.
printf '\x8a\xbf\n' | tee a.txt >A.md && "$wine" "$exe" -q sjis2jis --backup=simple a.txt A.md >/dev/null 2>err; s=$?
printf '\x1b$B4A\x1b(B\n' >j && "$wine" "$exe" jis2sjis <j >>j 2>>err
check "one file by two names, in and out" "1 1 2 8a bf 0a" "$s $? $(wc -l <err) $(hex a.BAK)"

# Windows names (as the window names them): a device gets a safe form, a name Windows reduces
# to the folder is refused (and the status says so), a path over MAX_PATH is shortened,
# keeping the extension.
deep=dd/$(printf 'p%.0s' {1..150}) long=$(printf 'q%.0s' {1..120}).txt && mkdir -p "$deep"
for n in CON con.txt NUL.pdf AUX PRN COM1 LPT1.txt 'CONOUT$' ... ' ' '. .'; do
  printf 'Content-Transfer-Encoding: base64\r\nfilename="%s"\r\n\r\nQUJD\r\n\r\n' "$n"
done >dev.eml
printf 'Content-Transfer-Encoding: base64\r\nfilename="%s"\r\n\r\nQUJD\r\n\r\n' "$long" >long.eml
"$wine" "$exe" b64bin --names=raw --dir dd dev.eml >/dev/null 2>err; s="$? $(ls dd | grep -v p | xargs) $(wc -l <err)"
"$wine" "$exe" b64bin --names=raw --dir "$deep" long.eml >/dev/null 2>>err; full="Z:$PWD/$deep/$(ls "$deep")"
check "Windows names" "1 _AUX _COM1 _CON _CON.TXT _CONOUT\$ _LPT1.TXT _NUL.PDF _PRN 3 0 259 Q.TXT" "$s $? ${#full} ${full: -5}"

# In place in a folder of 250 characters (its temporary past MAX_PATH): converted, and the
# backups as on Linux (an older one kept as .~1~; simple replaces it; a run with nothing to
# convert changes nothing); an attachment there gets a name within MAX_PATH.
far=ff/$(printf 'r%.0s' {1..120})/$(printf 's%.0s' $(seq $((123 - ${#PWD})))) && mkdir -p "$far" lin-far
for d in "$far" lin-far; do printf '\x8a\xbf\n' | tee $d/a.txt $d/b.txt >/dev/null; printf old | tee $d/a.BAK $d/b.BAK >/dev/null; done
"$wine" "$exe" -q sjis2jis "$far/a.txt" && "$wine" "$exe" -q sjis2jis --backup=simple "$far/b.txt"
"$linux" -q --eol=crlf sjis2jis lin-far/a.txt && "$linux" -q --eol=crlf sjis2jis --backup=simple lin-far/b.txt
"$wine" "$exe" sjis2jis --force "$far/b.txt" >out 2>&1
check "in place, far down" "250|a.BAK a.BAK.~1~ a.txt b.BAK b.txt||1" \
  "$(printf 'Z:%s/%s' "$PWD" "$far" | wc -c)|$(ls "$far" | xargs)|$(diff -r "$far" lin-far)|$(iconv -f CP932 -t UTF-8 out | grep -c '変換するものはありません')"
part 'filename="long-attachment-name.txt"' QUJD >far.eml && "$wine" "$exe" -q b64bin --names=raw --dir "$far" far.eml
check "an attachment far down" "259" "$(printf 'Z:%s/%s/%s' "$PWD" "$far" "$(ls "$far" | grep -v '^[ab]\.')" | wc -c)"

# Through a link (the host's, which Wine shows as a file): the file it leads to is converted,
# its backup beside it, and the link stays.
mkdir lk && printf '\x8a\xbf\n' >lk/n.txt && ln -s lk/n.txt n.txt && "$wine" "$exe" -q sjis2jis n.txt
check "a link" "lk/n.txt|1b 24 42 34 41 1b 28 4a 0d 0a|8a bf 0a|no" \
  "$(readlink n.txt)|$(hex lk/n.txt)|$(hex lk/n.BAK)|$([ -e n.BAK ] && echo yes || echo no)"

# A name that is the short (8.3) name of another file is that file: never written over.
printf mine >report-2024.pdf && short=$("$wine" "$driver" --short report-2024.pdf | tr -d '\r')
part "filename=\"$short\"" QUJD >short.eml && "$wine" "$exe" -q b64bin --exists overwrite --dir . short.eml 2>/dev/null
check "short name" "mine|ABC" "$(cat report-2024.pdf)|$(cat "${short%.*}(1).${short##*.}")"

# A Maildir, read in name order, and the manifest's SHA-256 by Windows' own hashing.
mkdir -p md/cur md/new
for m in cur/1 new/2; do
  printf 'Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename="m%s.txt"\r\n\r\nQUJD\r\n' "${m#*/}" >md/$m
done
"$wine" "$exe" b64bin --dir mo --manifest mo.tsv md >/dev/null 2>&1; s=$?
check "a Maildir" "0 m1.txt m2.txt b5d4045c3f466fa91fe2cc6abe79232a1a57cdf104f7a26e716e0a1e2789df78" \
  "$s $(ls mo | xargs) $(sed -n 2p mo.tsv | cut -f12)"

# --eol=crlf --names=raw on Linux write byte for byte what velko-cli.exe writes as the window.
printf 'a\r\n\x86\xa2\x8a\xbf\x86\xa4 =?shift_jis?B?ir8=?= \x1b$B,$\x1b(B\rb\n\x1a\x8a\xbf\n' >t.txt
{ part 'filename="Report.pdf"' 'AA0KGgD/'; part 'filename="x.txt"' QUJD; } >m.eml
mkdir win lin && for c in nec2jis jis2nec sjis2jis jis2sjis b64text; do
  "$wine" "$exe" --force $c <t.txt >win/$c 2>/dev/null; "$linux" --force --eol=crlf $c <t.txt >lin/$c 2>/dev/null
done
"$wine" "$exe" -q b64bin --names=raw --dir win m.eml; "$linux" -q b64bin --names=raw --dir lin m.eml
# In place with the window's backup rule: the file and the .BAK it replaced as on Windows.
for d in win lin; do mkdir $d/ip && cp t.txt $d/ip/a.txt && echo old >$d/ip/a.BAK; done
(cd win/ip && "$wine" "$exe" -q --force --backup=simple sjis2jis a.txt 2>/dev/null)
(cd lin/ip && "$linux" -q --force --eol=crlf --backup=simple sjis2jis a.txt 2>/dev/null)
check "in place, --backup=simple" "$(cat t.txt)" "$(cat lin/ip/a.BAK)"
# The commands to and from UTF-8 keep line ends on both unless asked.
printf 'a\r\n\x86\xa2\x8a\xbf\xb1\n\x85\x40\x1a\n' >s.txt
printf '\xe2\x94\x84\xef\xbd\xb1\xe2\x91\xa0\r\n\xc2\xa5\n' >u.txt
printf 'a\xa4\xa2\x8e\xb1\x8f\xb0\xa1\xab\xa4\r\n\xa1\xc1\n' >e.txt
for c in sjis2utf8:s.txt utf82sjis:u.txt utf82jis:u.txt jis2utf8:t.txt eucjp2utf8:e.txt \
         utf82eucjp:u.txt; do
  "$wine" "$exe" --force ${c%:*} -o - ${c#*:} >win/${c%:*} 2>/dev/null
  "$linux" --force ${c%:*} -o - ${c#*:} >lin/${c%:*} 2>/dev/null
done
"$wine" "$exe" sjis2utf8 --eol=crlf -o - s.txt >win/crlf 2>/dev/null
"$linux" sjis2utf8 --eol=crlf -o - s.txt >lin/crlf 2>/dev/null
# --unmapped=fail in place reads the file once, through the hold on it, and moves nothing.
cp s.txt sf.txt && cp s.txt sl.txt
"$wine" "$exe" sjis2utf8 --unmapped=fail sf.txt 2>/dev/null; s=$?
"$linux" sjis2utf8 --unmapped=fail sl.txt 2>/dev/null
check "--unmapped=fail in place" "1 no" "$s $([ -e sf.BAK ] && echo yes || echo no)"
mv sf.txt win/fail && mv sl.txt lin/fail
# and where all maps, renames the file it holds open to its backup and puts the new one in place.
printf 'a\x82\xa0\r\n' >cw.txt && cp cw.txt cl.txt
"$wine" "$exe" sjis2utf8 --unmapped=fail cw.txt >/dev/null 2>&1; s=$?
"$linux" sjis2utf8 --unmapped=fail cl.txt >/dev/null 2>&1
check "--unmapped=fail in place, all mapped" "0 $(hex cl.BAK)" "$s $(hex cw.BAK)"
mv cw.txt win/clean && mv cl.txt lin/clean
# Text long enough for the wide kernels' blocks, with every kernel set Windows chooses.
for i in $(seq 2000); do
  printf '%*s\x8a\xbf%s\xb1\x82\xa0\x82\xa0%*s\r\n' $((i % 37)) '' "$i" $((i % 5)) ''
done >g.txt
"$linux" --force --eol=crlf sjis2jis <g.txt >lin/g.jis && "$linux" --force --eol=crlf jis2sjis <lin/g.jis >lin/g.sjis
for isa in scalar sse2 avx2; do
  VELKO_ISA=$isa "$wine" "$exe" --force sjis2jis <g.txt >win/g.jis.$isa 2>/dev/null
  VELKO_ISA=$isa "$wine" "$exe" --force jis2sjis <lin/g.jis >win/g.sjis.$isa 2>/dev/null
  cmp -s win/g.jis.$isa lin/g.jis && cmp -s win/g.sjis.$isa lin/g.sjis && rm win/g.*.$isa
done
rm lin/g.*
check "the same bytes on both" "" "$(diff -r win lin 2>&1)"
check "and there are some" "17" "$(ls win | wc -l)"
exit $((failed > 0))
