#!/usr/bin/env bash
# velko-cli end to end on real files: output bytes, BAK files, lines, exit status.
set -u
cli=$1
. "$(dirname "$0")/check.sh"

cd "$work"

# Shift_JIS to JIS and back, with a UTF-8 file name whose backup must be あ.BAK.
printf '\x8a\xbf\x8e\x9a\r\na\x82\xa0b\n' > 'あ.txt'
out=$("$cli" sjis2jis 'あ.txt' 2>err); status=$?
check "sjis2jis status" 0 "$status"
check "sjis2jis line" "VELKO.EXE Message: ＳｈｉｆｔＪＩＳからＪＩＳへの変換完了しました" "$out"
check "sjis2jis stderr empty" "" "$(cat err)"
check "sjis2jis output" "1b 24 42 34 41 3b 7a 1b 28 4a 0d 0a 61 1b 24 42 24 22 1b 28 4a 62 0d 0a" "$(hex 'あ.txt')"
check "sjis2jis backup" "8a bf 8e 9a 0d 0a 61 82 a0 62 0a" "$(hex 'あ.BAK')"
out=$("$cli" jis2sjis 'あ.txt'); status=$?
check "jis2sjis status" 0 "$status"
check "jis2sjis line" "VELKO.EXE Message: ＪＩＳからＳｈｉｆｔＪＩＳへの変換完了しました" "$out"
check "jis2sjis output" "8a bf 8e 9a 0d 0a 61 82 a0 62 0d 0a" "$(hex 'あ.txt')"

# Ruled lines, several files in one call.
printf '\x86\xa2\x86\xec\n' > t1.txt
printf '\x84\x9f\n' > t2.txt
out=$("$cli" nec2jis t1.txt t2.txt); status=$?
check "nec2jis status" 0 "$status"
check "nec2jis two lines" "2" "$(printf '%s\n' "$out" | grep -c 'ＮＥＣからＪＩＳ罫線への変換完了しました')"
check "nec2jis t1" "84 9f 84 b4 0d 0a" "$(hex t1.txt)"
"$cli" jis2nec t1.txt >/dev/null
check "jis2nec t1" "86 a2 86 ed 0d 0a" "$(hex t1.txt)"

# Errors: the box goes to stderr, the other files are still converted, status 1.
printf 'x\n' > ok.txt
out=$("$cli" sjis2jis missing.txt ok.txt 2>err); status=$?
check "missing status" 1 "$status"
check "missing stderr" "VELKO.EXE Error Message: C'ant find input file. [missing.txt]" "$(cat err)"
check "missing stdout" "VELKO.EXE Message: ＳｈｉｆｔＪＩＳからＪＩＳへの変換完了しました" "$out"
check "next file converted" "78 0d 0a" "$(hex ok.txt)"

# A name longer than 511 bytes is refused whole, never cut.
long=$(printf 'n%.0s' $(seq 1 512))
"$cli" sjis2jis "$long" >out 2>err; status=$?
check "long name status" 1 "$status"
check "long name message" "1" "$(grep -c 'longer than 511 bytes' err)"
check "long name nothing on stdout" "" "$(cat out)"

# Usage errors.
"$cli" >/dev/null 2>&1; check "no arguments" 2 "$?"
"$cli" frobnicate a.txt >/dev/null 2>&1; check "unknown command" 2 "$?"
"$cli" sjis2jis >/dev/null 2>&1; check "no file" 2 "$?"
"$cli" --help >out 2>&1; status=$?
check "help status" 0 "$status"
check "help names the commands" "4" "$(grep -cE '^  (nec2jis|jis2nec|sjis2jis|jis2sjis) ' out)"

# In a locale that is not UTF-8 the Japanese text is converted, not sent raw.
printf 'x\n' > c.txt
out=$(LC_ALL=C "$cli" sjis2jis c.txt); status=$?
check "C locale status" 0 "$status"
check "C locale: no raw UTF-8" "0" "$(printf '%s' "$out" | LC_ALL=C grep -c $'\xef\xbc')"

finish cli
