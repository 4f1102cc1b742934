#!/usr/bin/env bash
# The original survives: a run stopped at random points, a second run, two runs at once, names
# spelt two ways, one file in and out, bytes the text rules drop, access lists, numbered backups.
. "$(dirname "${BASH_SOURCE[0]}")/check.sh"
cli=$(realpath "$1")
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT && cd "$work" || exit 1
sum() { md5sum <"$1" | cut -c1-32; }
orig=$(printf '\x8a\xbf\xb1\n')  # 漢 and a half-width kana

# Stopped by KILL, INT or TERM at a random point, 24 times: never a part of a file under a real
# name. INT and TERM put the original back under its name; after KILL it is whole under .BAK,
# and a second run refuses the missing file. Attachments likewise: whole or not there.
python3 -c "import sys; sys.stdout.buffer.write(b'\x8a\xbf\x82\xa0 text \x86\xa2\r\n' * 2000000)" >big.orig
python3 - >mail.eml <<'EOF'
import base64, sys
body = base64.encodebytes(b'\x00\x01' * 6000000).replace(b'\n', b'\r\n')
sys.stdout.buffer.write(b'Content-Transfer-Encoding: base64\r\nfilename="a.bin"\r\n\r\n' + body + b'\r\n')
EOF
cp big.orig whole.txt && "$cli" -q sjis2jis whole.txt
big=$(sum big.orig) whole=$(sum whole.txt) bad=0 stopped=0
for i in $(seq 24); do
  sig=$(( i % 3 == 0 ? 9 : i % 3 == 1 ? 2 : 15 ))
  rm -rf t && mkdir t && cp big.orig t/big.txt && mkdir t/att
  "$cli" -q sjis2jis t/big.txt & pid=$!
  "$cli" -q b64bin --dir t/att mail.eml & pid2=$!
  sleep "0.0$((RANDOM % 9))$((RANDOM % 10))"
  kill -$sig $pid $pid2 2>/dev/null; wait $pid 2>/dev/null; s1=$?; wait $pid2 2>/dev/null
  [ $s1 -gt 128 ] && stopped=$((stopped + 1))
  for f in t/big.txt t/big.BAK; do  # each is the original, the whole result, or not there
    [ -e $f ] && [ "$(sum $f)" != "$big" ] && [ "$(sum $f)" != "$whole" ] && bad=$((bad + 1))
  done
  [ -e t/big.txt ] || [ -e t/big.BAK ] || bad=$((bad + 1))
  [ $sig != 9 ] && [ ! -e t/big.txt ] && bad=$((bad + 1))     # INT, TERM: back under its name
  [ $sig != 9 ] && ls -A t t/att | grep -q velko && bad=$((bad + 1))  # and no temporary left
  [ -e t/att/a.bin ] && [ "$(wc -c <t/att/a.bin)" != 12000000 ] && bad=$((bad + 1))
  if [ $sig = 9 ] && [ ! -e t/big.txt ]; then  # the next run leaves the backup alone
    "$cli" -q sjis2jis t/big.txt 2>/dev/null; [ "$(sum t/big.BAK)" = "$big" ] || bad=$((bad + 1))
  fi
done
check "stopped runs: no part of a file under a real name" "0" "$bad"
[ $stopped -ge 12 ] || echo "note: only $stopped of 24 runs were stopped before they ended"

# A second run, or input already in the form the command makes, or EUC-JP where Shift_JIS is
# read: refused, the original kept; --force converts.
printf '%s' "$orig" >x.txt && "$cli" -q sjis2jis x.txt && "$cli" sjis2jis x.txt 2>err
check "twice" "1|velko-cli: x.txt: is JIS already: not converted (--force converts it)|$orig" \
  "$?|$(cat err)|$(cat x.BAK)"
printf '\xb4\xc1\xbb\xfa\n' >euc.txt; printf '\x1b$B4A\x1b(B\n' >jis.txt
cp x.BAK sj.txt && for c in "sjis2jis euc.txt" "nec2jis euc.txt" "jis2sjis sj.txt"; do "$cli" $c 2>>err2; echo $?; done >status
check "refused" "1 1 1" "$(xargs <status)"
check "said" "looks like EUC-JP, not Shift_JIS|looks like EUC-JP, not Shift_JIS|has no JIS escape sequence and looks like Shift_JIS already" \
  "$(sed 's/^[^:]*: [^:]*: //; s/: not converted.*//' err2 | tr '\n' '|' | sed 's/|$//')"
"$cli" -q sjis2jis --force euc.txt; check "--force" "0 $(printf '\xb4\xc1\xbb\xfa\n')" "$? $(cat euc.BAK)"

# Two runs at once: the one that finds the file held refuses it.
printf '%s' "$orig" >held.txt && flock held.txt sh -c 'touch holding; sleep 5' & holder=$!
for i in $(seq 500); do [ -e holding ] && break; sleep 0.01; done
"$cli" sjis2jis held.txt 2>err; check "held" "1|velko-cli: held.txt: File busy err. [held.txt]|$orig" "$?|$(cat err)|$(cat held.txt)"
kill $holder; wait

# One file by two spellings: the second backup would replace the first one's original.
printf '%s' "$orig" >a.txt && cp a.txt a.md
"$cli" -q sjis2jis --backup=simple a.txt ./a.md ./a.txt 2>err; check "spellings" "1|$orig|2" "$?|$(cat a.BAK)|$(grep -c "not converted" err)"

# One file in and out: refused, the file as it was.
printf '\x1b$B4A\x1b(B\n' >f && cp f f.orig
"$cli" jis2sjis <f >>f 2>err; s=$?; check "stdin is stdout" "1 $(sum f.orig)" "$s $(sum f)"
"$cli" jis2sjis f -o f 2>err; s=$?
check "-o is FILE" "1 $(sum f.orig) velko-cli: f: f is this file itself: not converted" "$s $(sum f) $(cat err)"

# The Windows text rules drop bytes: said, with where, and the status is 1.
printf 'a\x00b\nc\x1ad\n\x1ae\n' | "$cli" --eol=crlf jis2sjis >out 2>err; s=$?
check "drops" "1|61 63 64 0d 0a|3" "$s|$(od -An -tx1 out | xargs)|$(wc -l <err)"
check "drop places: the end, a 0x1A, a NUL" "byte 8 byte 5 byte 1" "$(grep -o 'byte [0-9]*' err | xargs)"

# An access list and an extended attribute go with the file, in place and with -o.
if setfacl -m u:nobody:--- x.txt 2>/dev/null && setfattr -n user.velko -v kept x.txt 2>/dev/null; then
  "$cli" -q jis2sjis x.txt && cp x.txt y.txt && "$cli" -q sjis2jis y.txt -o x.txt
  check "access list" "user:nobody:---|kept" "$(getfacl -cp x.txt | grep nobody)|$(getfattr --only-values -n user.velko x.txt)"
else
  echo "skipped: this file system takes no access lists or user attributes"
fi

# Numbered backups: one above the highest there, whatever stands under the name.
printf '%s' "$orig" >n.txt && touch n.BAK n.BAK.~2~ && "$cli" -q --backup=numbered sjis2jis n.txt
check "numbered" "n.BAK n.BAK.~2~ n.BAK.~3~" "$(echo n.BAK*)"
printf '%s' "$orig" >m.txt && mkdir m.BAK && "$cli" sjis2jis m.txt >out 2>/dev/null
check "numbered folder" "0|m.txt: converted from Shift_JIS to JIS; the older m.BAK is kept as m.BAK.~1~|$orig|yes" \
  "$?|$(cat out)|$(cat m.BAK)|$([ -d m.BAK.~1~ ] && echo yes)"
exit $((failed > 0))
