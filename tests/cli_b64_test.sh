#!/usr/bin/env bash
# velko-cli b64text and b64bin end to end: bytes written, lines, exit status, and that no
# attachment name can put a file outside --dir.
set -u
cli=$(realpath "$1")  # absolute: the test works in its own folder
. "$(dirname "$0")/check.sh"
crlf() { printf '%s\r\n' "$@"; }  # one argument a line, each with CR LF
done_b64bin="VELKO.EXE Message: Ｂａｓｅ６４展開完了しました"

cd "$work"

# b64text: a JIS word and a Shift_JIS word (both 漢字) expanded in place, the old text as .BAK.
crlf 'Subject: =?ISO-2022-JP?B?GyRCNEE7ehsoQg==?= / =?shift_jis?B?ir+Omg==?=' 'body' > words.txt
cp words.txt words.orig
out=$("$cli" b64text words.txt 2>err); status=$?
check "b64text status" 0 "$status"
check "b64text line" "VELKO.EXE Message: 行中Ｂａｓｅ６４展開完了しました" "$out"
check "b64text stderr empty" "" "$(cat err)"
check "b64text output" "53 75 62 6a 65 63 74 3a 20 1b 24 42 34 41 3b 7a 1b 28 42 20 2f 20 8a bf 8e 9a 0d 0a 62 6f 64 79 0d 0a" "$(hex words.txt)"
check "b64text backup" "$(hex words.orig)" "$(hex words.BAK)"

# b64bin: two attachments, binary bytes kept (NUL, CR, LF, 0x1A), names upper-cased in --dir.
mail() {  # mail NAME1 B64_1 NAME2 B64_2
  crlf 'From: a@example.com' 'Content-Type: multipart/mixed; boundary="b"' '' '--b' \
    'Content-Type: text/plain' '' 'Hello.' '' \
    '--b' 'Content-Transfer-Encoding: base64' "Content-Disposition: attachment; filename=\"$1\"" \
    '' "$2" '' \
    '--b' 'Content-Transfer-Encoding: base64' "Content-Disposition: attachment; filename=\"$3\"" \
    '' "$4" '' '--b--'
}
mail report.pdf 'AA0KGgD/' notes.txt 'QUJD' > two.eml
cp two.eml two.orig
mkdir d
out=$("$cli" b64bin --dir d two.eml 2>err </dev/null); status=$?
check "b64bin status" 0 "$status"
check "b64bin lines" "saved d/REPORT.PDF (6 bytes)
saved d/NOTES.TXT (3 bytes)
$done_b64bin" "$out"
check "b64bin stderr empty" "" "$(cat err)"
check "b64bin files" "NOTES.TXT REPORT.PDF" "$(ls d | tr '\n' ' ' | sed 's/ $//')"
check "b64bin first file" "00 0d 0a 1a 00 ff" "$(hex d/REPORT.PDF)"
check "b64bin second file" "41 42 43" "$(hex d/NOTES.TXT)"
check "b64bin mail unchanged" "$(hex two.orig)" "$(hex two.eml)"
check "b64bin no backup" "no" "$([ -e two.BAK ] && echo yes || echo no)"

# A name in JIS (漢字.bin) is named here in UTF-8; a table character (表, 95 5C in Shift_JIS)
# is not split at its second byte, a backslash.
mail "$(printf '\x1b$B4A;z\x1b(B.bin')" 'QUJD' "$(printf '\x1b$BI=\x1b(B')" 'QQ==' > jis.eml
mkdir dj
out=$("$cli" b64bin --dir dj jis.eml 2>err); status=$?
check "JIS names status" 0 "$status"
check "JIS names lines" "saved dj/漢字.BIN (3 bytes)
saved dj/表 (1 bytes)
$done_b64bin" "$out"
check "JIS names files" "漢字.BIN 表" "$(ls dj | sort | tr '\n' ' ' | sed 's/ $//')"

# A second run meets both files: --exists decides.
printf 'old' > d/NOTES.TXT
out=$("$cli" b64bin --dir d --exists overwrite two.eml); status=$?
check "overwrite status" 0 "$status"
check "overwrite lines" "saved d/REPORT.PDF (6 bytes)
saved d/NOTES.TXT (3 bytes)
$done_b64bin" "$out"
check "overwrite replaced" "41 42 43" "$(hex d/NOTES.TXT)"
out=$("$cli" b64bin --dir d --exists=append two.eml); status=$?
check "append status" 0 "$status"
check "append lines" "appended d/REPORT.PDF (6 bytes)
appended d/NOTES.TXT (3 bytes)
$done_b64bin" "$out"
check "append added" "41 42 43 41 42 43" "$(hex d/NOTES.TXT)"
check "append added binary" "00 0d 0a 1a 00 ff 00 0d 0a 1a 00 ff" "$(hex d/REPORT.PDF)"
printf 'old' > d/NOTES.TXT
out=$("$cli" b64bin --dir d --exists skip two.eml 2>err); status=$?
check "skip status" 0 "$status"
check "skip lines" "$done_b64bin" "$out"
check "skip stderr empty" "" "$(cat err)"
check "skip untouched" "old" "$(cat d/NOTES.TXT)"

# Nobody to ask: the default policy with stdin not a terminal skips, and that is no error.
out=$("$cli" b64bin --dir d two.eml </dev/null 2>err); status=$?
check "ask status" 0 "$status"
check "ask lines" "$done_b64bin" "$out"
check "ask says why, once a file" "2" "$(grep -c 'nobody can be asked: skipped' err)"
check "ask untouched" "old" "$(cat d/NOTES.TXT)"

# A folder where the file should go: the open fails after the question, the first file stays.
rm -rf d && mkdir -p d/NOTES.TXT
out=$("$cli" b64bin --dir d --exists overwrite two.eml 2>err); status=$?
check "folder status" 1 "$status"
check "folder stdout" "saved d/REPORT.PDF (6 bytes)" "$out"
check "folder stderr" "VELKO.EXE Error Message: Output file open err. [d/NOTES.TXT]" "$(cat err)"
check "folder first file kept" "00 0d 0a 1a 00 ff" "$(hex d/REPORT.PDF)"

# Names that try to leave --dir keep only their last part; names with nothing usable are
# skipped. The folder is two levels down, so "../../" would still land inside $work.
mkdir -p a/b/out abs
{
  crlf 'Content-Type: multipart/mixed; boundary="b"' ''
  for name in '../../esc1' "$work/abs/esc2" 'C:\esc3' '..\..\esc4' '..' '.' 'sub/..' \
    $'tab\there' 'C:..'; do
    crlf '--b' 'Content-Transfer-Encoding: base64' "Content-Disposition: attachment; filename=\"$name\"" '' 'QUJD' ''
  done
  crlf '--b--'
} > escape.eml
before=$(find "$work" -path "$work/a/b/out" -prune -o -print | sort)
out=$("$cli" b64bin --dir a/b/out escape.eml 2>err </dev/null); status=$?
check "escape status" 0 "$status"
check "escape files" "ESC1 ESC2 ESC3 ESC4" "$(ls a/b/out | tr '\n' ' ' | sed 's/ $//')"
check "escape lines" "4" "$(grep -c '^saved a/b/out/ESC[1-4] (3 bytes)$' <<<"$out")"
check "escape completion" "$done_b64bin" "$(tail -n 1 <<<"$out")"
check "escape skipped on stderr" "5" "$(grep -c 'attachment skipped' err)"
check "nothing written outside" "$before" "$(find "$work" -path "$work/a/b/out" -prune -o -print | sort)"

# A lead byte before '/' smuggles no folder in, and stops nothing; a name too long for the
# file system (100 kanji: 300 bytes in UTF-8) is shortened, keeping its extension and whole
# characters.
mail "$(printf 'a\x81/b.txt')" 'QUJD' "$(printf '\x8a\xbf%.0s' $(seq 100)).pdf" 'QQ==' > lead.eml
mkdir dl
out=$("$cli" b64bin --dir dl lead.eml 2>err); status=$?
check "lead byte status" 0 "$status"
check "lead byte files" "B.TXT $(printf '漢%.0s' $(seq 83)).PDF" "$(ls dl | sort | tr '\n' ' ' | sed 's/ $//')"

# Errors and usage.
out=$("$cli" b64bin missing.eml 2>err); status=$?
check "missing status" 1 "$status"
check "missing stderr" "VELKO.EXE Error Message: C'ant find input file. [missing.eml]" "$(cat err)"
check "missing stdout" "" "$out"
"$cli" b64bin --frob x two.eml >/dev/null 2>&1; check "unknown option" 2 "$?"
"$cli" b64bin --exists maybe two.eml >/dev/null 2>&1; check "bad --exists value" 2 "$?"
"$cli" b64bin --dir nosuch two.eml >/dev/null 2>&1; check "missing --dir folder" 2 "$?"
"$cli" b64bin --dir two.eml two.eml >/dev/null 2>&1; check "--dir names a file" 2 "$?"
"$cli" b64bin --dir >/dev/null 2>&1; check "--dir without value" 2 "$?"
"$cli" b64bin >/dev/null 2>&1; check "b64bin without mail" 2 "$?"

finish cli-b64
