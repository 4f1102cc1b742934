#!/usr/bin/env bash
# velko.exe worked by velko-wine-driver.exe under scripts/wine.sh, in a fresh prefix; its
# screenshots come out as PNG files. Then velko-cli.exe as a process.
#   wine_gui_test.sh VELKO_EXE DRIVER_EXE ARTEFACT_DIR VELKO_CLI_EXE
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
# velko-cli.exe: a conversion and an error (status 1), a Shift_JIS attachment name, an RFC 2231
# UTF-8 one (--decode-names), a filter.
cd "$tmp/work" && mkdir cli && cd cli && printf '\x8a\xbf\n' >c.txt && mkdir d || exit 1
printf 'Content-Transfer-Encoding: base64\r\nfilename="\x1b$B4A;z\x1b(B"\r\n\r\nQUJD\r\n\r\n' >k.eml
"$wine" "$4" sjis2jis c.txt no.txt >out 2>&1; s=$?
printf "Content-Transfer-Encoding: base64\r\nContent-Disposition: a; filename*=UTF-8''%%E6%%BC%%A2.t\r\n\r\nQQ==\r\n" >u.eml
"$wine" "$4" b64bin --dir d k.eml >>out 2>&1 && "$wine" "$4" b64bin --decode-names --dir d u.eml >>out 2>&1 && printf '\x8a\xbf\n' | "$wine" "$4" sjis2jis >f.txt
got="$s|$(iconv -f CP932 -t UTF-8 out | tr '\n' '|')$(ls d | tr '\n' '|')$(od -An -tx1 c.txt f.txt | xargs)"
want="1|c.txt: ＳｈｉｆｔＪＩＳからＪＩＳへの変換完了しました|velko-cli: no.txt: C'ant find input file. [no.txt]|"
want+="D/漢字: saved (3 bytes)|k.eml: Ｂａｓｅ６４展開完了しました|D/漢.T: saved (1 bytes)|"
want+="u.eml: Ｂａｓｅ６４展開完了しました|漢.T|漢字|"
want+="1b 24 42 34 41 1b 28 4a 0d 0a 1b 24 42 34 41 1b 28 4a 0d 0a"
[ "$got" = "$want" ] || { printf 'FAIL velko-cli.exe\n  want %s\n  got  %s\n' "$want" "$got"; status=1; }
# One file by two spellings: A.BAK is a.BAK, so the second file is refused; one file in and out.
printf '\x8a\xbf\n' | tee a.txt >A.md && "$wine" "$4" -q sjis2jis a.txt A.md >/dev/null 2>err; s=$?
printf '\x1b$B4A\x1b(B\n' >j && "$wine" "$4" jis2sjis <j >>j 2>>err; s="$s $? $(wc -l <err) $(od -An -tx1 a.BAK | xargs)"
[ "$s" = "1 1 2 8a bf 0a" ] || { printf 'FAIL velko-cli.exe, one file by two names: %s\n' "$s"; cat err; status=1; }
# Windows names: a device gets a safe form, a name Windows reduces to the folder is refused, a
# path over MAX_PATH is shortened, keeping the extension; one part's failure is its own.
deep=dd/$(printf 'p%.0s' {1..150}) long=$(printf 'q%.0s' {1..120}).txt && mkdir -p "$deep"
for n in CON con.txt NUL.pdf AUX PRN COM1 LPT1.txt 'CONOUT$' ... ' ' '. .'; do
  printf 'Content-Transfer-Encoding: base64\r\nfilename="%s"\r\n\r\nQUJD\r\n\r\n' "$n"
done >dev.eml
printf 'Content-Transfer-Encoding: base64\r\nfilename="%s"\r\n\r\nQUJD\r\n\r\n' "$long" >long.eml
"$wine" "$4" b64bin --dir dd dev.eml >/dev/null 2>err; s="$? $(ls dd | grep -v p | xargs) $(grep -c 'no usable file name' err)"
"$wine" "$4" b64bin --dir "$deep" long.eml >/dev/null 2>>err; full="Z:$PWD/$deep/$(ls "$deep")"; s="$s $? ${#full} ${full: -5}"
want="0 _AUX _COM1 _CON _CON.TXT _CONOUT\$ _LPT1.TXT _NUL.PDF _PRN 3 0 259 Q.TXT"
[ "$s" = "$want" ] || { printf 'FAIL velko-cli.exe, Windows names\n  want %s\n  got  %s\n' "$want" "$s"; cat err; status=1; }
exit $status
